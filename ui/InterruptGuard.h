#pragma once

#include <QObject>

class QSocketNotifier;

// While held, SIGINT, SIGTERM and SIGHUP do not end the process: each one is reported through
// interrupted() on the GUI thread instead. Released, they act as usual again.
class InterruptGuard : public QObject
{
    Q_OBJECT

public:
    explicit InterruptGuard(QObject *parent = nullptr);
    ~InterruptGuard() override;

    void hold();
    void release();

signals:
    void interrupted();

private:
    void drain();

    int pipeEnds[2];
    QSocketNotifier *notifier;
    bool held = false;
};
