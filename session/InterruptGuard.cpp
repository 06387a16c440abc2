#include "InterruptGuard.h"

#include "SystemError.h"

#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
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

sigset_t guardedSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int number : guardedSignals())
        sigaddset(&set, number);
    return set;
}

struct sigaction usualActions[NSIG];
// The write end of the holding guard's pipe; a signal handler may do no more than write to it.
volatile sig_atomic_t holderPipe = -1;

void onSignal(int)
{
    // The handler runs between any two instructions of the thread it interrupts, which may be
    // about to look at errno.
    const int error = errno;
    const char byte = 1;
    if (holderPipe >= 0 && write(holderPipe, &byte, 1) < 0) {
        // Nothing can be done about a full pipe here; a byte is already waiting in it.
    }
    errno = error;
}

} // namespace

InterruptGuard::InterruptGuard(QObject *parent) : QObject(parent) {}

InterruptGuard::~InterruptGuard()
{
    release();
}

// The pipe is there only while the signals are held.
QString InterruptGuard::hold()
{
    const auto unprotected = [](int error) {
        return tr("The tool could not protect the update against signals: %1.")
            .arg(systemErrorText(error));
    };
    if (held)
        return QString();
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return unprotected(errno);
    holderPipe = pipeEnds[1];
    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    const std::vector<int> numbers = guardedSignals();
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (sigaction(numbers[i], &action, &usualActions[numbers[i]]) != 0) {
            const int error = errno;
            // All or none: those already held act as usual again.
            while (i-- > 0)
                sigaction(numbers[i], &usualActions[numbers[i]], nullptr);
            holderPipe = -1;
            close(pipeEnds[0]);
            close(pipeEnds[1]);
            return unprotected(error);
        }
    }
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        if (drain())
            emit interrupted();
    });
    held = true;
    return QString();
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
    delete notifier;
    notifier = nullptr;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    const bool any = caught;
    caught = false;
    return any;
}

void InterruptGuard::startBlocked(QThread &thread)
{
    // A new thread starts with the signal mask of the thread that creates it.
    const sigset_t blocked = guardedSet();
    sigset_t usual;
    pthread_sigmask(SIG_BLOCK, &blocked, &usual);
    thread.start();
    pthread_sigmask(SIG_SETMASK, &usual, nullptr);
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
