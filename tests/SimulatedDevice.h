#pragma once

#include "ImageWriter.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

// The driver simulator as one test sees it: its own flash file and call trace in a temporary
// folder, and the simulator's settings, which it reads at every open of a node.
class SimulatedDevice
{
public:
    SimulatedDevice();
    ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice &) = delete;
    SimulatedDevice &operator=(const SimulatedDevice &) = delete;

    // Sets VORLAN_SIM_<name>; an empty value removes it.
    void set(const char *name, const QByteArray &value);

    QByteArray flash(quint32 address, int length) const;
    void writeFlash(quint32 address, const QByteArray &bytes);
    QStringList trace() const;
    QStringList traceMatching(const QString &pattern) const;
    void clearTrace();

    QString path(const QString &name) const { return dir.filePath(name); }
    // Whether the flash holds component index of the packed image over its whole range: the
    // image's bytes from 32 bytes into the block on, erased where they lie past the file's end.
    bool holdsComponent(const QString &imagePath, const QList<ImageComponent> &components,
                        int index) const;
    // Packs the components into an image in the temporary folder and returns its path.
    QString makeImage(const QList<ImageComponent> &components,
                      const QString &name = QStringLiteral("image.tarnru")) const;

private:
    QTemporaryDir dir;
};

// Bytes that look like a component's data: not erased, not repetitive.
QByteArray componentData(int length, quint32 seed = 1);
