#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>

class QDBusPendingCallWatcher;

// Asks logind to hold off shutdown and sleep while the flash is being written. The request
// does not wait for logind's answer; where logind cannot be reached on the system bus, the
// update goes on without it.
class ShutdownInhibitor : public QObject
{
    Q_OBJECT

public:
    explicit ShutdownInhibitor(QObject *parent = nullptr);

    void acquire();
    void release();

private:
    // logind keeps the inhibitor for as long as this descriptor stays open.
    QDBusUnixFileDescriptor lock;
    // The request whose answer is still wanted; an answer to any other is dropped.
    QDBusPendingCallWatcher *pending = nullptr;
};
