#pragma once

#include <QObject>

#include <functional>

// Qt ends the process at once when its connection to the display breaks (the X server died,
// the session ended), which would leave a component half written. The worker needs no
// display, so once an update has been started, that end waits for the update's end instead;
// the verdict has then gone to stderr, and the exit status follows it.
class DisplayLossGuard : public QObject
{
    Q_OBJECT

public:
    // waitForEnd blocks until the update that runs has ended and gives the exit status that
    // follows from its verdict, or -1 when no update was started.
    explicit DisplayLossGuard(std::function<int()> waitForEnd, QObject *parent = nullptr);
    ~DisplayLossGuard() override;
};
