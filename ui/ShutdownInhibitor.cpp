#include "ShutdownInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>

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
         << QStringLiteral("Updating flash memory") << QStringLiteral("block");
    const QDBusReply<QDBusUnixFileDescriptor> reply = bus.call(call, QDBus::Block, 2000);
    if (reply.isValid())
        lock = reply.value();
}

void ShutdownInhibitor::release()
{
    lock = QDBusUnixFileDescriptor();
}

bool ShutdownInhibitor::isHeld() const
{
    return lock.isValid();
}
