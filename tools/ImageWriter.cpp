#include "ImageWriter.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QtEndian>

namespace {

constexpr qint64 headerSize = 32;

QByteArray header(const ImageComponent &component, quint32 blockLength)
{
    uchar bytes[headerSize] = {};
    qToLittleEndian<quint32>(component.version, bytes);
    qToLittleEndian<quint32>(component.flashAddress, bytes + 4);
    qToLittleEndian<quint32>(component.minHW, bytes + 8);
    const QByteArray name = component.name.toUtf8();
    std::copy(name.begin(), name.end(), bytes + 12);
    qToLittleEndian<quint32>(blockLength, bytes + 28);
    return QByteArray(reinterpret_cast<const char *>(bytes), headerSize);
}

} // namespace

QString writeUpdateImage(const QString &path, const QList<ImageComponent> &components)
{
    if (components.isEmpty())
        return QStringLiteral("An update image needs at least one component.");
    qint64 total = 0;
    for (const ImageComponent &component : components) {
        if (component.name.toUtf8().size() > 4)
            return QStringLiteral("The name \"%1\" is longer than four bytes.").arg(component.name);
        total += headerSize + component.data.size();
    }
    if (total > 0xFFFFFFFFll)
        return QStringLiteral("The image would be 4 GiB or larger; offsets are 32-bit.");

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    for (int i = 0; i < components.size(); ++i) {
        const ImageComponent &component = components.at(i);
        const bool last = i == components.size() - 1;
        file.write(header(component, last ? 0 : quint32(headerSize + component.data.size())));
        file.write(component.data);
    }
    if (!file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
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
