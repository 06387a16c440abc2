#pragma once

#include "ComponentRecord.h"
#include "UpdateOutcome.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QWaitCondition>

class UpdaterThread;

// Where the flash stands after each update of one front end's life, from the outcome that the
// worker reports and the components the user confirmed. It follows the worker on the worker's
// own thread, so it knows the end even while the GUI thread cannot run; it is read from any
// thread. A run that changes nothing does not make a flash safe that an earlier one left
// without a complete image.
class UpdateVerdict : public QObject
{
    Q_OBJECT

public:
    explicit UpdateVerdict(QObject *parent = nullptr);

    void follow(UpdaterThread *worker, const QList<ComponentRecord> &components);
    // An update that was refused, with this status text, before a worker could start.
    void noteRefused(const QString &status);
    // The flash may not hold a complete image since... (an unfinished update found at start).
    void assumeIncomplete(const QString &since);

    bool running() const;
    // Blocks until the update that is followed has ended; false when none was started.
    bool waitForEnd() const;
    UpdateOutcome outcome() const; // of the last update that ended
    QString text() const;
    // Whether the text tells the user not to restart the computer.
    bool alarming() const;
    // The process's exit status when it ends because of where the flash stands: 0 when it is
    // safe to restart, 1 when not.
    int exitStatus() const;

private:
    void noteEnd(const UpdateOutcome &outcome);
    QString describe() const; // with the mutex held
    QString failedAt() const;
    QString unrecorded() const;

    mutable QMutex mutex;
    mutable QWaitCondition ended;
    QList<ComponentRecord> components;
    enum
    {
        Idle,
        Running,
        Ended
    } state = Idle;
    UpdateOutcome last;
    QString incompleteSince; // empty while the flash is known to be safe
};
