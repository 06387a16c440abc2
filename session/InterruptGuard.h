#pragma once

#include <QObject>

class QSocketNotifier;

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

    void hold();
    // Returns whether a signal arrived while they were held, reported yet or not.
    bool release();

signals:
    void interrupted();

private:
    bool drain();

    int pipeEnds[2];
    QSocketNotifier *notifier;
    bool held = false;
    bool caught = false;
};
