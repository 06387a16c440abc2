#pragma once

#include "ComponentRecord.h"
#include "FlashHistory.h"
#include "UpdaterThread.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class FlashJournal;
class FlashVerifier;
class InterruptGuard;
class StateFolder;
class QThread;
class ShutdownInhibitor;
class UpdateVerdict;

// What a front end does around the worker, decided once for the window and vorlan-flash: what
// the record of the pages at risk says when it starts, holding the terminating signals and
// blocking shutdown while an update runs, what to ask after it (go on without a copy, put the
// flash back), building the update that puts it back, and the verdict. The front ends only show
// and ask.
class UpdateSession : public QObject
{
    Q_OBJECT

public:
    enum class NextStep
    {
        Nothing,
        UpdateWithoutCopy, // no copy could be saved; the flash is as it was
        PutBack            // pages are at risk, and copies hold them as they were
    };

    // One update: the image, the components the user confirmed, and whether to save a copy.
    struct Plan
    {
        QString image;
        QList<ComponentRecord> components;
        UpdaterThread::CopyMode copyMode = UpdaterThread::CopyMode::Save;
        QByteArray sha256; // what the image must hash to, in hexadecimal, where that is known
        // The tool's own copy of the flash: trusted by the SHA-256 the record keeps for it,
        // not by a signature.
        bool ownCopy = false;
        bool putBack = false; // it puts back the pages at risk from their copies
    };

    // The front end names itself for the history: "window" or "vorlan-flash".
    explicit UpdateSession(const QString &frontEnd, QObject *parent = nullptr);
    ~UpdateSession() override;

    // What the record says as the front end starts: an update that did not finish, a damaged
    // record, another program updating the flash now, or a state folder that cannot be used.
    // Empty when the flash is known to be safe.
    QString notice() const { return startNotice; }
    // Whether pages are at risk, or may be: only an update that ends in "Done" takes them off.
    bool pagesAtRisk() const;

    // Gets the worker ready for the plan and follows it; the signals are held and shutdown is
    // blocked until end(), and an update that opens the flash goes into the history as it
    // starts and as it ends. False, with the reason, when the update must not start.
    bool prepare(UpdaterThread *worker, const Plan &plan, QString *refusal);
    // Starts the worker's thread, the held signals blocked in it.
    void start(QThread *thread);
    // Once the worker has finished: lets go of what prepare() held. Returns whether a
    // terminating signal arrived meanwhile, after which the front end ends.
    bool end();

    UpdateVerdict *verdict() const { return updateVerdict; }
    // What to ask now: after the last update, or at start before any.
    NextStep nextStep() const;
    QString question() const;
    // The last plan, without a copy.
    Plan withoutCopy() const;
    // The update that puts back every page at risk from its copy; false, with why, when there
    // is nothing to put back or a copy is not what was saved.
    bool putBack(Plan *plan, QString *refusal) const;
    // Whether another program, running now, is updating the flash by the record.
    bool updatingElsewhere() const;

    // A damaged record leaves no way to tell which pages are at risk. Once the flash has been
    // compared with a complete image, the user may clear it: the records stop counting, and
    // their files stay. Whether one stands:
    bool recordDamaged() const;
    // After the verifier compared the flash with the image: the question that says what
    // clearing drops and which files it keeps; false, with why not, when the flash does not
    // hold the image whole or no damaged record stands.
    bool clearingQuestion(const FlashVerifier &verifier, const QString &image, QString *text) const;
    // Clears the damaged records under the flash's lock. The verdict afterwards, which names
    // the files kept; false, with why, when they could not be cleared.
    bool clearDamaged(QString *text) const;

signals:
    void interrupted();

private:
    // Where the way back is: a copy or the copies' folder; empty when there is none to take.
    QString wayBack() const;
    // The SHA-256 that the record keeps for the image, when it is one of its copies.
    QByteArray keptSha256(const QString &image) const;
    // Takes off the record the pages of updates whose end could not be recorded although the
    // flash holds their image whole; false, with why, when the record cannot be saved.
    bool settlePending(const StateFolder &folder, FlashJournal *journal, QString *refusal) const;

    UpdateVerdict *updateVerdict;
    InterruptGuard *interruptGuard;
    ShutdownInhibitor *shutdownInhibitor;
    QString startNotice;
    bool started = false;
    Plan last;
    QString frontEnd;
    FlashHistory::Entry history; // of the last update
    bool flashOpened = false;    // by the last update; set on the worker's thread
};
