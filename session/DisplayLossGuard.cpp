#include "DisplayLossGuard.h"

#include "UpdateVerdict.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<const UpdateVerdict *> guarded{nullptr};
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
    const UpdateVerdict *verdict = guarded.load();
    if (type != QtWarningMsg || !verdict || !displayLost(message) || !verdict->waitForEnd())
        return;
    std::fflush(stderr);
    std::_Exit(verdict->exitStatus());
}

} // namespace

DisplayLossGuard::DisplayLossGuard(const UpdateVerdict *verdict, QObject *parent)
    : QObject(parent), verdict(verdict)
{
    // One handler for the process, installed once: a second guard must not chain to the first.
    static const bool installed = (previousHandler = qInstallMessageHandler(onMessage)) != nullptr;
    Q_UNUSED(installed);
    guarded = verdict;
}

DisplayLossGuard::~DisplayLossGuard()
{
    const UpdateVerdict *mine = verdict;
    guarded.compare_exchange_strong(mine, nullptr);
}
