#pragma once

#include "ComponentRecord.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QString>

#include <sys/types.h>

#include <memory>
#include <optional>

class QFile;

// The data of the component being programmed as the image's check recorded it: read into a
// buffer before its first erase, held to the SHA-256 the check recorded for it, and padded with
// 0xFF, the erased value, to the end of its last page (a page repair writes whole pages). They
// are the only bytes that are written, compared with the flash or used to repair it; every
// later read of the image must still find them.
class CheckedData
{
    Q_DECLARE_TR_FUNCTIONS(CheckedData)

public:
    CheckedData();
    ~CheckedData();
    CheckedData(const CheckedData &) = delete;
    CheckedData &operator=(const CheckedData &) = delete;

    // The image's path, as its read errors name it.
    void setFilename(const QString &filename) { this->filename = filename; }
    // Each component's SHA-256, by its file offset, as the image's check recorded them.
    void setHashes(const QHash<u_int32_t, QByteArray> &hashes) { this->hashes = hashes; }

    // Before a component's first erase: reads its data, which must have its recorded SHA-256.
    // False, with why in problem(), when it cannot be read or has another.
    bool take(QFile &image, const ComponentRecord &component, const QString &name);
    // The checked bytes of the data at the file offset, once the image has been read again and
    // found to hold them still; null, with why, when it does not. A flash operation called on
    // its own, without a checked copy, takes its first read as one.
    const char *bytes(QFile &image, u_int32_t fileOffset, u_int32_t address, u_int32_t length);
    QString problem() const { return trouble; }

private:
    bool load(QFile &image, u_int32_t fileOffset, u_int32_t length, const QString &name);

    QString filename;
    QHash<u_int32_t, QByteArray> hashes;
    std::unique_ptr<char[]> buffer;
    std::optional<u_int32_t> offset; // of the data the buffer holds, once checked
    QString changed; // why the component fails when the image no longer has those bytes
    QString trouble;
};
