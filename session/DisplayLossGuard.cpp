#include "DisplayLossGuard.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<const DisplayLossGuard *> guarded{nullptr};
std::function<int()> waitForUpdate; // of the guard that is guarded
QtMessageHandler previousHandler = nullptr;

// The warnings that Qt's X11 and Wayland platforms give right before they exit.
bool displayLost(const QString &message)
{
    return message.startsWith(QLatin1String("The X11 connection broke")) ||
           message.startsWith(QLatin1String("The Wayland connection broke"));
}

void onMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    previousHandler(type, context, message);
    if (type != QtWarningMsg || !guarded.load() || !displayLost(message))
        return;
    const int status = waitForUpdate();
    if (status < 0)
        return;
    std::fflush(stderr);
    std::_Exit(status);
}

} // namespace

DisplayLossGuard::DisplayLossGuard(std::function<int()> waitForEnd, QObject *parent)
    : QObject(parent)
{
    // One handler for the process, installed once: a second guard must not chain to the first.
    static const bool installed = (previousHandler = qInstallMessageHandler(onMessage)) != nullptr;
    Q_UNUSED(installed);
    guarded = nullptr;
    waitForUpdate = std::move(waitForEnd);
    guarded = this;
}

DisplayLossGuard::~DisplayLossGuard()
{
    const DisplayLossGuard *mine = this;
    guarded.compare_exchange_strong(mine, nullptr);
}
