#pragma once

#include "ComponentRecord.h"

#include <QFile>
#include <QList>
#include <QString>

// The most data one component may carry: the updater holds a component whole in memory, twice.
constexpr u_int32_t largestComponentData = 0x2000000;

// Why an update with this image must be refused before the flash is touched, or an empty
// string. readResult, readProblem and components are what openImageFile and
// readImageComponents gave for the file.
QString imageProblem(const QString &filename, int readResult, const QString &readProblem,
                     const QList<ComponentRecord> &components);

// Opens the image and reads its component list from that one descriptor, which stays open for
// every later read where the file could be opened. Returns why an update must refuse the image,
// or an empty string.
QString readCheckedImage(QFile &file, const QString &filename, QList<ComponentRecord> &components);

// The flash pages that the components' data lie in, in order, each once.
QList<u_int32_t> pagesOf(const QList<ComponentRecord> &components);

// The refusal for an image that cannot be read, or that stops delivering what it held, with
// the reason ("it is a folder").
QString imageReadError(const QString &filename, const QString &reason);
