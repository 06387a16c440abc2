#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>

// Asks logind to hold off shutdown and sleep while the flash is being written. Where logind
// cannot be reached on the system bus, the update goes on without it.
class ShutdownInhibitor : public QObject
{
    Q_OBJECT

public:
    explicit ShutdownInhibitor(QObject *parent = nullptr);

    void acquire();
    void release();
    bool isHeld() const;

private:
    // logind keeps the inhibitor for as long as this descriptor stays open.
    QDBusUnixFileDescriptor lock;
};
