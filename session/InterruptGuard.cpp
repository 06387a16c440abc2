#include "InterruptGuard.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace {

// Every signal whose default action ends the process, SIGKILL and SIGSTOP aside, which cannot
// be held; SIGSEGV and its kin report a fault of the process itself and are left alone.
std::vector<int> guardedSignals()
{
    std::vector<int> numbers = {SIGINT,    SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM,
                                SIGVTALRM, SIGPROF, SIGPWR, SIGXCPU, SIGXFSZ, SIGIO,   SIGSTKFLT};
    for (int number = SIGRTMIN; number <= SIGRTMAX; ++number)
        numbers.push_back(number);
    return numbers;
}

struct sigaction usualActions[NSIG];
// The write end of the holding guard's pipe; a signal handler may do no more than write to it.
volatile sig_atomic_t holderPipe = -1;

void onSignal(int)
{
    const char byte = 1;
    if (holderPipe >= 0 && write(holderPipe, &byte, 1) < 0) {
        // Nothing can be done about a full pipe here; a byte is already waiting in it.
    }
}

} // namespace

InterruptGuard::InterruptGuard(QObject *parent) : QObject(parent)
{
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        pipeEnds[0] = pipeEnds[1] = -1;
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    notifier->setEnabled(pipeEnds[0] >= 0);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        if (drain())
            emit interrupted();
    });
}

InterruptGuard::~InterruptGuard()
{
    release();
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

void InterruptGuard::hold()
{
    if (held || pipeEnds[1] < 0)
        return;
    holderPipe = pipeEnds[1];
    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int number : guardedSignals())
        sigaction(number, &action, &usualActions[number]);
    held = true;
}

bool InterruptGuard::release()
{
    if (!held)
        return false;
    for (const int number : guardedSignals())
        sigaction(number, &usualActions[number], nullptr);
    holderPipe = -1;
    held = false;
    // What arrived before the usual actions came back is in the pipe, reported or not; what
    // arrives from now on acts as usual.
    drain();
    const bool any = caught;
    caught = false;
    return any;
}

bool InterruptGuard::drain()
{
    char bytes[64];
    bool any = false;
    while (read(pipeEnds[0], bytes, sizeof bytes) > 0)
        any = true;
    caught = caught || any;
    return any;
}
