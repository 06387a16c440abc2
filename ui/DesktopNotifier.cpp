#include "DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#include <QWidget>

namespace {

const QString desktopEntry = QStringLiteral("vorlan-update");

} // namespace

DesktopNotifier::DesktopNotifier(QWidget *window) : QObject(window), window(window) {}

void DesktopNotifier::showProgress(int percent)
{
    if (percent != shownPercent)
        sendProgress(percent, true);
}

void DesktopNotifier::showEnd(const QString &verdict, bool alarming)
{
    sendProgress(0, false);
    if (window->isActiveWindow())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const uchar urgency = alarming ? 2 : 1; // critical stays until the user has seen it
    notify << window->windowTitle() << 0u << desktopEntry
           << (alarming ? tr("The update failed") : tr("The update has ended")) << verdict
           << QStringList()
           << QVariantMap{{QStringLiteral("desktop-entry"), desktopEntry},
                          {QStringLiteral("urgency"), QVariant::fromValue(urgency)}}
           << -1;
    notify.setAutoStartService(false);
    QDBusConnection::sessionBus().send(notify);
}

void DesktopNotifier::sendProgress(int percent, bool visible)
{
    shownPercent = visible ? percent : -1;
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/com/keldra/vorlan_update"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    update << QStringLiteral("application://%1.desktop").arg(desktopEntry)
           << QVariantMap{{QStringLiteral("progress"), percent / 100.0},
                          {QStringLiteral("progress-visible"), visible}};
    QDBusConnection::sessionBus().send(update);
}
