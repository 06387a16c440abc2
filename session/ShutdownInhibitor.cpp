#include "ShutdownInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

ShutdownInhibitor::ShutdownInhibitor(QObject *parent) : QObject(parent) {}

void ShutdownInhibitor::acquire()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("shutdown:sleep") << QStringLiteral("VORLAN Update Utility")
         << tr("Updating flash memory") << QStringLiteral("block");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000), this);
    pending = watcher;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (watcher != pending)
            return;
        pending = nullptr;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
        if (reply.isValid())
            lock = reply.value();
    });
}

void ShutdownInhibitor::release()
{
    pending = nullptr;
    lock = QDBusUnixFileDescriptor();
}
