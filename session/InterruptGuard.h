#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;
class QThread;

// While held, no signal that would end the process by default does (SIGKILL and SIGSTOP aside):
// SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGPWR, the real-time signals and the rest are each
// reported through interrupted() on the thread of the guard instead. Released, they act as usual
// again.
class InterruptGuard : public QObject
{
    Q_OBJECT

public:
    explicit InterruptGuard(QObject *parent = nullptr);
    ~InterruptGuard() override;

    // Returns an empty string, or, when the signals could not be held (then none is), the text
    // that refuses the update: "The tool could not protect the update against signals: Too
    // many open files."
    [[nodiscard]] QString hold();
    // Returns whether a signal arrived while they were held, reported yet or not.
    bool release();

    // Starts the thread with the signals that a guard holds blocked in it, so that they all
    // reach the thread that reports them and none interrupts a call of the new thread.
    static void startBlocked(QThread &thread);

signals:
    void interrupted();

private:
    bool drain();

    int pipeEnds[2] = {-1, -1};
    QSocketNotifier *notifier = nullptr;
    bool held = false;
    bool caught = false;
};
