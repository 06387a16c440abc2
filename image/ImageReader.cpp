#include "ImageReader.h"

#include <QDebug>
#include <QFile>
#include <QtEndian>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool readAt(QFile &file, qint64 offset, char *buffer, qint64 length)
{
    return file.seek(offset) && file.read(buffer, length) == length;
}

} // namespace

bool openImageFile(QFile &file, const QString &filename)
{
    const int fd = open(QFile::encodeName(filename).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    return file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
}

QString componentName(const ComponentRecord &record)
{
    return QString::fromUtf8(record.name, int(qstrnlen(record.name, sizeof record.name)));
}

QString componentVersionText(u_int32_t version)
{
    return QString::number(version >> 24) + QLatin1Char('.') +
           QString::number((version >> 16) & 0xFF) + QLatin1Char('.') +
           QString::number((version >> 8) & 0xFF) + QString::number(version & 0xFF);
}

int readImageComponents(const QString &filename, QList<ComponentRecord> &components)
{
    QFile file;
    if (!openImageFile(file, filename)) {
        qDebug() << "Failed opening file: " << filename;
        return -1;
    }
    return readImageComponents(file, components);
}

int readImageComponents(QFile &file, QList<ComponentRecord> &components)
{
    using namespace ImageFormat;
    const qint64 fileSize = file.size();
    // Offsets and sizes are 32-bit: a larger file cannot be described by its own headers.
    if (fileSize > 0xFFFFFFFF)
        return -1;
    qint64 offset = 0;
    int records = 0;
    // Every step moves forward by at least one byte, so the walk ends within the file's size.
    while (offset + headerSize <= fileSize && records < componentLimit) {
        uchar words[nameOffset + nameSize];
        uchar lengthWord[4];
        if (!readAt(file, offset, reinterpret_cast<char *>(words), sizeof words) ||
            !readAt(file, offset + blockLengthOffset, reinterpret_cast<char *>(lengthWord),
                    sizeof lengthWord))
            break;

        const u_int32_t blockLength = qFromLittleEndian<quint32>(lengthWord);
        ComponentRecord record;
        record.version = qFromLittleEndian<quint32>(words + versionOffset);
        record.flashAddress = qFromLittleEndian<quint32>(words + flashAddressOffset);
        record.minHW = qFromLittleEndian<quint32>(words + minHWOffset);
        std::memcpy(record.name, words + nameOffset, nameSize);
        record.fileOffset = static_cast<u_int32_t>(offset);
        record.size = blockLength != 0 ? blockLength : static_cast<u_int32_t>(fileSize - offset);
        components.append(record);
        ++records;

        if (blockLength == 0)
            return 0;
        offset += blockLength;
    }
    // The chain ran into the end of the file, or past the limit, before a block said it was the
    // last one.
    return -1;
}
