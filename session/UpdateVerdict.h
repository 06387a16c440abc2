#pragma once

#include "ComponentRecord.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QWaitCondition>

class UpdaterThread;

// Where the flash stands after an update, told from the worker's status texts and the
// components the user confirmed. It follows the worker's signals on the worker's own thread,
// so it knows the end even while the GUI thread cannot run; it is read from any thread.
class UpdateVerdict : public QObject
{
    Q_OBJECT

public:
    enum Outcome
    {
        None, // no update has been started
        Running,
        Succeeded,
        Unchanged, // the run ended before the flash was touched
        Failed
    };

    explicit UpdateVerdict(QObject *parent = nullptr);

    void follow(UpdaterThread *worker, const QList<ComponentRecord> &components);
    Outcome outcome() const;
    // Blocks until the update that is followed has ended; false when there is none.
    bool waitForEnd() const;
    QString text() const;
    // The process's exit status when it ends because of this update's outcome.
    int exitStatus() const;

private:
    void noteStatus(const QString &status);
    void noteFinished();
    QString describe() const; // with the mutex held
    QString failureText() const;

    mutable QMutex mutex;
    mutable QWaitCondition ended;
    QList<ComponentRecord> components;
    Outcome state = None;
    int started = 0; // components whose erase began
    QString lastStatus;
};
