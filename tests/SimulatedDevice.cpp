#include "SimulatedDevice.h"

#include <QProcessEnvironment>
#include <QRegularExpression>

namespace {

void clearSettings()
{
    for (const QString &name : QProcessEnvironment::systemEnvironment().keys()) {
        if (name.startsWith(QLatin1String("VORLAN_SIM_")))
            qunsetenv(name.toLatin1().constData());
    }
}

} // namespace

SimulatedDevice::SimulatedDevice(int flashSize)
{
    clearSettings();
    set("FLASH", QFile::encodeName(path("flash.bin")));
    set("TRACE", QFile::encodeName(path("trace.txt")));
    set("FLASH_SIZE", QByteArray::number(flashSize));
    // The record of an unfinished update and the copies of the flash stay in the test's folder.
    qputenv("VORLAN_UPDATE_STATEDIR", QFile::encodeName(path("state")));
    // And no record that an earlier release kept per user is taken from the tester's home.
    qputenv("XDG_STATE_HOME", QFile::encodeName(path("per-user")));
}

SimulatedDevice::~SimulatedDevice()
{
    clearSettings();
}

void SimulatedDevice::set(const char *name, const QByteArray &value) const
{
    qputenv(QByteArray("VORLAN_SIM_") + name, value);
}

QByteArray SimulatedDevice::flash() const
{
    QFile file(path("flash.bin"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void SimulatedDevice::setFlash(const QByteArray &content) const
{
    QFile file(path("flash.bin"));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write the simulated flash");
}

QStringList SimulatedDevice::trace(const QString &pattern) const
{
    QFile file(path("trace.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n').filter(QRegularExpression(pattern));
}

QString SimulatedDevice::makeImage(const QList<ImageComponent> &components,
                                   const QString &name) const
{
    const QString error = writeUpdateImage(path(name), components);
    if (!error.isEmpty())
        qFatal("cannot pack a test image: %s", qPrintable(error));
    return path(name);
}

QByteArray componentData(int length, quint32 seed)
{
    QByteArray data(length, Qt::Uninitialized);
    quint32 state = seed * 2654435761u + 1;
    for (char &byte : data)
        byte = char((state = state * 1664525u + 1013904223u) >> 24);
    return data;
}
