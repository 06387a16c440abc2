#pragma once

#include <QObject>

class QSocketNotifier;

// While held, SIGINT, SIGTERM, SIGHUP and SIGQUIT do not end the process: each one is reported
// through interrupted() on the GUI thread instead. Released, they act as usual again.
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
