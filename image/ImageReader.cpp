#include "ImageReader.h"

#include <QDebug>
#include <QFile>
#include <QtEndian>

#include <cstring>

namespace {

constexpr qint64 headerSize = 32;
constexpr qint64 blockLengthOffset = 28;

bool readAt(QFile &file, qint64 offset, char *buffer, qint64 length)
{
    return file.seek(offset) && file.read(buffer, length) == length;
}

} // namespace

int readImageComponents(const QString &filename, QList<ComponentRecord> &components)
{
    QFile file(filename);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "Failed opening file: " << filename;
        return -1;
    }

    const qint64 fileSize = file.size();
    // Offsets and sizes are 32-bit: a larger file cannot be described by its own headers.
    if (fileSize > 0xFFFFFFFF)
        return -1;
    qint64 offset = 0;
    // Every step moves forward by at least one byte, so the walk ends within the file's size.
    while (offset + headerSize <= fileSize) {
        uchar words[16];
        uchar lengthWord[4];
        if (!readAt(file, offset, reinterpret_cast<char *>(words), sizeof words) ||
            !readAt(file, offset + blockLengthOffset, reinterpret_cast<char *>(lengthWord),
                    sizeof lengthWord))
            break;

        const u_int32_t blockLength = qFromLittleEndian<quint32>(lengthWord);
        ComponentRecord record;
        record.version = qFromLittleEndian<quint32>(words);
        record.flashAddress = qFromLittleEndian<quint32>(words + 4);
        record.minHW = qFromLittleEndian<quint32>(words + 8);
        std::memcpy(record.name, words + 12, sizeof record.name);
        record.fileOffset = static_cast<u_int32_t>(offset);
        record.size = blockLength != 0 ? blockLength : static_cast<u_int32_t>(fileSize - offset);
        components.append(record);

        if (blockLength == 0)
            return 0;
        offset += blockLength;
    }
    // The chain ran into the end of the file before a block said it was the last one.
    return -1;
}
