#include "ImageWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QtEndian>

#include <cstring>

using namespace ImageFormat;

QByteArray blockHeader(const ComponentRecord &fields, quint32 blockLength)
{
    uchar bytes[headerSize] = {};
    qToLittleEndian<quint32>(fields.version, bytes + versionOffset);
    qToLittleEndian<quint32>(fields.flashAddress, bytes + flashAddressOffset);
    qToLittleEndian<quint32>(fields.minHW, bytes + minHWOffset);
    std::memcpy(bytes + nameOffset, fields.name, nameSize);
    qToLittleEndian<quint32>(blockLength, bytes + blockLengthOffset);
    return QByteArray(reinterpret_cast<const char *>(bytes), headerSize);
}

QString writeUpdateImage(const QString &path, const QList<ImageComponent> &components)
{
    if (components.isEmpty())
        return QCoreApplication::translate("ImageWriter",
                                           "An update image needs at least one component.");
    qint64 total = 0;
    for (const ImageComponent &component : components) {
        if (component.name.toUtf8().size() > int(nameSize))
            return QCoreApplication::translate("ImageWriter",
                                               "The name \"%1\" is longer than four bytes.")
                .arg(component.name);
        total += headerSize + component.data.size();
    }
    if (total > 0xFFFFFFFFll)
        return QCoreApplication::translate(
            "ImageWriter", "The image would be 4 GiB or larger; offsets are 32-bit.");

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QCoreApplication::translate("ImageWriter", "Cannot write %1: %2")
            .arg(path, file.errorString());
    for (int i = 0; i < components.size(); ++i) {
        const ImageComponent &component = components.at(i);
        const bool last = i == components.size() - 1;
        ComponentRecord fields{
            component.version, component.flashAddress, component.minHW, 0, 0, {}};
        const QByteArray name = component.name.toUtf8();
        std::memcpy(fields.name, name.constData(), size_t(name.size()));
        file.write(blockHeader(fields, last ? 0 : quint32(headerSize + component.data.size())));
        file.write(component.data);
    }
    if (!file.commit())
        return QCoreApplication::translate("ImageWriter", "Cannot write %1: %2")
            .arg(path, file.errorString());
    return QString();
}

bool parseVersion(const QString &text, quint32 *version)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    quint32 word = 0;
    for (const QString &part : parts) {
        bool ok = false;
        const uint byte = part.toUInt(&ok);
        if (!ok || byte > 255)
            return false;
        word = (word << 8) | byte;
    }
    *version = word;
    return true;
}
