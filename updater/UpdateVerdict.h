#pragma once

#include "ComponentRecord.h"
#include "UpdateOutcome.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QWaitCondition>

class UpdaterThread;

// Where the flash stands after an update: from the outcome that the worker reports, the
// components the user confirmed, and the record of the pages at risk as the update left it. It
// follows the worker on the worker's own thread, so it knows the end even while the GUI thread
// cannot run; it is read from any thread. No run makes a flash safe while pages are at risk.
class UpdateVerdict : public QObject
{
    Q_OBJECT

public:
    explicit UpdateVerdict(QObject *parent = nullptr);

    // putBack: the update puts back pages at risk from their copies.
    void follow(UpdaterThread *worker, const QList<ComponentRecord> &components,
                bool putBack = false);
    // "KERN (2 of 3, at 0x200000)", or "0x200000 (2 of 3)" for a component without a readable
    // name: the kth of the components, from 1. In the user's language, or untranslated for the
    // record of the flash, which users of every language and scripts read.
    static QString componentAt(const QList<ComponentRecord> &components, int k,
                               bool translated = true);
    // An update that was refused, with this status text, before a worker could start.
    void noteRefused(const QString &status);

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
    // Where the flash stands as vorlan-flash tells scripts, the same for every command: 0 it
    // holds the image, 1 it does not hold a complete image, 2 nothing was done, 3 no driver,
    // 4 another program is updating it.
    int commandExitStatus() const;

private:
    void noteEnd(const UpdateOutcome &outcome);
    QString describe() const; // with the mutex held
    QString wayBack() const;

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
    // From the record after the last update that ended.
    QString incompleteSince; // empty while no page is at risk
    QString copies;          // where the way back is: a copy, or the copies' folder
    QString withoutCopy;     // the pages at risk that no copy holds
    QString atRisk;          // all pages at risk
    QString damage;          // a damaged record stands: which, and why
    bool puttingBack = false;
    qint64 updater = 0;   // the process that holds the flash, when it runs
    bool unknown = false; // no record could be read
};
