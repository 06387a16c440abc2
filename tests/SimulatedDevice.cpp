#include "SimulatedDevice.h"

#include <QFile>
#include <QRegularExpression>
#include <QtGlobal>

namespace {

const char *const settings[] = {"SOFTWARE",     "TIMESTAMP",   "PID",        "MAILBOX_STATUS",
                                "MAILBOX_FAIL", "MAILBOX",     "FLASH_NODE", "FLASH_SIZE",
                                "UNLOCK",       "ERASE_FAIL",  "STUCK_BITS", "WEAK_BITS",
                                "SHORT_READ",   "SHORT_WRITE", "ERASE_US",   "WRITE_US_PER_KIB"};

// Large enough for every test's components, small enough to create in an instant.
constexpr int flashSize = 0x1000000;

QByteArray variable(const char *name)
{
    return QByteArray("VORLAN_SIM_") + name;
}

} // namespace

SimulatedDevice::SimulatedDevice()
{
    for (const char *name : settings)
        qunsetenv(variable(name));
    qputenv("VORLAN_SIM_FLASH", QFile::encodeName(path(QStringLiteral("flash.bin"))));
    qputenv("VORLAN_SIM_TRACE", QFile::encodeName(path(QStringLiteral("trace.txt"))));
    set("FLASH_SIZE", QByteArray::number(flashSize));
}

SimulatedDevice::~SimulatedDevice()
{
    for (const char *name : settings)
        qunsetenv(variable(name));
    qunsetenv("VORLAN_SIM_FLASH");
    qunsetenv("VORLAN_SIM_TRACE");
}

void SimulatedDevice::set(const char *name, const QByteArray &value)
{
    if (value.isEmpty())
        qunsetenv(variable(name));
    else
        qputenv(variable(name), value);
}

QByteArray SimulatedDevice::flash(quint32 address, int length) const
{
    QFile file(path(QStringLiteral("flash.bin")));
    if (!file.open(QIODevice::ReadOnly) || !file.seek(address))
        return QByteArray();
    return file.read(length);
}

void SimulatedDevice::writeFlash(quint32 address, const QByteArray &bytes)
{
    QFile file(path(QStringLiteral("flash.bin")));
    if (file.size() == 0 && file.open(QIODevice::WriteOnly)) {
        file.write(QByteArray(flashSize, char(0xFF)));
        file.close();
    }
    if (file.open(QIODevice::ReadWrite) && file.seek(address))
        file.write(bytes);
}

QStringList SimulatedDevice::trace() const
{
    QFile file(path(QStringLiteral("trace.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return QStringList();
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList SimulatedDevice::traceMatching(const QString &pattern) const
{
    return trace().filter(QRegularExpression(pattern));
}

void SimulatedDevice::clearTrace()
{
    // Truncated, not removed: the simulator keeps appending to the same file.
    QFile::resize(path(QStringLiteral("trace.txt")), 0);
}

bool SimulatedDevice::holdsComponent(const QString &imagePath,
                                     const QList<ImageComponent> &components, int index) const
{
    QFile file(imagePath);
    file.open(QIODevice::ReadOnly);
    const QByteArray image = file.readAll();
    int offset = 0;
    for (int i = 0; i < index; ++i)
        offset += 32 + components[i].data.size();
    const int size = 32 + components[index].data.size();
    QByteArray expected = image.mid(offset + 32, size);
    expected.append(QByteArray(size - expected.size(), char(0xFF)));
    return flash(components[index].flashAddress, size) == expected;
}

QString SimulatedDevice::makeImage(const QList<ImageComponent> &components,
                                   const QString &name) const
{
    const QString imagePath = path(name);
    const QString error = writeUpdateImage(imagePath, components);
    if (!error.isEmpty())
        qFatal("cannot pack a test image: %s", qPrintable(error));
    return imagePath;
}

QByteArray componentData(int length, quint32 seed)
{
    QByteArray data(length, Qt::Uninitialized);
    quint32 state = seed * 2654435761u + 1;
    for (char &byte : data) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    return data;
}
