#pragma once

#include "ComponentRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One component to be packed into an update image.
struct ImageComponent
{
    QString name; // at most four bytes in UTF-8
    quint32 version;
    quint32 flashAddress;
    quint32 minHW;
    QByteArray data;
};

// The 32-byte header of a block: the record's version, flash address, min HW and name, and the
// block length (0 for the last block). Size and file offset are not part of a header.
QByteArray blockHeader(const ComponentRecord &fields, quint32 blockLength);

// Writes the components as a chain of blocks, the last one marked by a block length of 0.
// Returns an empty string, or what made the image impossible to write.
QString writeUpdateImage(const QString &path, const QList<ImageComponent> &components);

// Parses "a.b.c.d" (each 0 to 255) into a version word, most significant byte first.
bool parseVersion(const QString &text, quint32 *version);
