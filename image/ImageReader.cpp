#include "ImageReader.h"

#include "SystemError.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool readAt(QFile &file, qint64 offset, char *buffer, qint64 length)
{
    return file.seek(offset) && file.read(buffer, length) == length;
}

QString unreadable(const QString &reason)
{
    return QCoreApplication::translate("ImageReader", "it cannot be read: %1").arg(reason);
}

// Why the walk stopped at offset before a block said it was the last one.
QString chainProblem(const QFile &file, qint64 offset, int records)
{
    using namespace ImageFormat;
    const qint64 fileSize = file.size();
    if (file.error() != QFileDevice::NoError)
        return unreadable(file.errorString());
    if (records == componentLimit)
        return QCoreApplication::translate("ImageReader", "it has more than %1 components")
            .arg(componentLimit);
    if (fileSize == 0)
        return QCoreApplication::translate("ImageReader", "it is empty");
    if (offset < fileSize)
        return QCoreApplication::translate("ImageReader", "a component header is cut short");
    return QCoreApplication::translate("ImageReader", "the chain of blocks leaves the file");
}

} // namespace

bool openImageFile(QFile &file, const QString &filename, QString *problem)
{
    const int fd = open(QFile::encodeName(filename).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *problem = errno == ENOENT ? QCoreApplication::translate("ImageReader", "it does not exist")
                                   : unreadable(systemErrorText(errno));
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0)
        *problem = unreadable(systemErrorText(errno));
    else if (S_ISDIR(info.st_mode))
        *problem = QCoreApplication::translate("ImageReader", "it is a folder");
    else if (!S_ISREG(info.st_mode))
        *problem = QCoreApplication::translate("ImageReader", "it is not a regular file");
    else if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    else
        *problem = unreadable(file.errorString());
    close(fd);
    return false;
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
    QString problem;
    if (!openImageFile(file, filename, &problem)) {
        qDebug() << "Failed opening file: " << filename;
        return -1;
    }
    return readImageComponents(file, components, &problem);
}

int readImageComponents(QFile &file, QList<ComponentRecord> &components, QString *problem)
{
    using namespace ImageFormat;
    const qint64 fileSize = file.size();
    // Offsets and sizes are 32-bit: a larger file cannot be described by its own headers.
    if (fileSize > 0xFFFFFFFF) {
        *problem = QCoreApplication::translate("ImageReader", "it is larger than 4 GiB");
        return -1;
    }
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
    *problem = chainProblem(file, offset, records);
    return -1;
}
