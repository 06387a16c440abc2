#pragma once

#include "ImageWriter.h"

#include <QStringList>
#include <QTemporaryDir>

// The driver simulator as one test sees it: its own flash file and call trace in a temporary
// folder, and the simulator's settings, which it reads at every open of a node.
class SimulatedDevice
{
public:
    explicit SimulatedDevice(int flashSize = 0x400000);
    ~SimulatedDevice();

    void set(const char *name, const QByteArray &value) const; // VORLAN_SIM_<name>
    QByteArray flash() const;
    void setFlash(const QByteArray &content) const;
    QStringList trace(const QString &pattern) const; // the lines that match
    QString path(const QString &name) const { return dir.filePath(name); }
    QString makeImage(const QList<ImageComponent> &components,
                      const QString &name = QStringLiteral("image.tarnru")) const;

private:
    QTemporaryDir dir;
};

// Bytes that look like a component's data: not erased, not repetitive.
QByteArray componentData(int length, quint32 seed = 1);
