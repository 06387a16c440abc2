#include "UpdateSession.h"

#include "FlashCopies.h"
#include "FlashJournal.h"
#include "FlashNode.h"
#include "FlashVerifier.h"
#include "ImageChecks.h"
#include "InterruptGuard.h"
#include "PerUserRecord.h"
#include "PutBackImage.h"
#include "ShutdownInhibitor.h"
#include "StateFolder.h"
#include "UpdateVerdict.h"

#include <QFileInfo>
#include <QThread>

namespace {

// What an update of the image is, for the history: "put-back" of the image that puts the flash
// back, "restore" of one of the tool's own copies, or "update" of any other image.
QString kindOf(const StateFolder &folder, const QString &image)
{
    if (image == folder.path() + QLatin1Char('/') + QLatin1String(PutBackImage::fileName))
        return QStringLiteral("put-back");
    if (QFileInfo(image).canonicalPath() ==
        QFileInfo(folder.path(StateFolder::Copies)).canonicalFilePath())
        return QStringLiteral("restore");
    return QStringLiteral("update");
}

} // namespace

UpdateSession::UpdateSession(const QString &frontEnd, QObject *parent)
    : QObject(parent), updateVerdict(new UpdateVerdict(this)),
      interruptGuard(new InterruptGuard(this)), shutdownInhibitor(new ShutdownInhibitor(this)),
      frontEnd(frontEnd)
{
    connect(interruptGuard, &InterruptGuard::interrupted, this, &UpdateSession::interrupted);
    const StateFolder folder;
    if (!folder.usable()) {
        startNotice = folder.problem();
        return;
    }
    // What the release before kept per user is taken in first, under the flash's lock; when
    // the lock cannot be had now, the next update takes it in.
    QString takenIn;
    if (PerUserRecord::waiting()) {
        FlashNode node;
        QString trouble;
        if (node.claim(FlashNode::Access::ReadOnly, &trouble) == FlashNode::Claim::Taken)
            takenIn = PerUserRecord::takeIn(folder);
    }
    const FlashJournal journal = FlashJournal::load(folder);
    if (!journal.isEmpty())
        startNotice = journal.warning(folder.path(StateFolder::Copies));
    if (!takenIn.isEmpty())
        startNotice = (takenIn + QLatin1Char(' ') + startNotice).trimmed();
}

UpdateSession::~UpdateSession() = default;

bool UpdateSession::pagesAtRisk() const
{
    const StateFolder folder;
    return !folder.usable() || !FlashJournal::load(folder).isEmpty();
}

bool UpdateSession::prepare(UpdaterThread *worker, const Plan &plan, QString *refusal)
{
    last = plan;
    started = true;
    // An update that a signal could cut short does not start.
    *refusal = interruptGuard->hold();
    if (!refusal->isEmpty()) {
        updateVerdict->noteRefused(*refusal);
        return false;
    }
    worker->setConfirmedComponents(plan.components);
    worker->setCopyMode(plan.copyMode);
    // A copy that the record keeps is the tool's own, named or not.
    const QByteArray kept = plan.ownCopy ? plan.sha256 : keptSha256(plan.image);
    if (!kept.isEmpty())
        worker->setOwnCopy(kept);
    else
        worker->setExpectedSha256(plan.sha256);
    updateVerdict->follow(worker, plan.components, plan.putBack);
    history = FlashHistory::Entry::begin(kindOf(StateFolder(), plan.image), frontEnd);
    flashOpened = false;
    connect(
        worker, &UpdaterThread::flashOpened, this,
        [this, worker] {
            flashOpened = true;
            history.setImage(last.image, last.components, worker->outcome().sha256,
                             worker->outcome().signature);
            FlashHistory::record(history);
        },
        Qt::DirectConnection);
    shutdownInhibitor->acquire();
    return true;
}

void UpdateSession::start(QThread *thread)
{
    InterruptGuard::startBlocked(*thread);
}

bool UpdateSession::end()
{
    shutdownInhibitor->release();
    if (flashOpened) {
        const UpdateOutcome outcome = updateVerdict->outcome();
        history.ended = QDateTime::currentDateTimeUtc();
        history.outcome = outcome.result == UpdateOutcome::Written  ? QStringLiteral("written")
                          : outcome.result == UpdateOutcome::Failed ? QStringLiteral("failed")
                                                                    : QStringLiteral("unchanged");
        history.verdict = updateVerdict->text();
        history.copy = outcome.copyPath;
        FlashHistory::record(history);
        flashOpened = false;
    }
    const StateFolder folder;
    // The image that put the flash back has served: the copies stay the way back.
    if (kindOf(folder, last.image) == QLatin1String("put-back"))
        folder.remove(StateFolder::Top, QLatin1String(PutBackImage::fileName));
    return interruptGuard->release();
}

UpdateSession::NextStep UpdateSession::nextStep() const
{
    const UpdateOutcome::Result result = updateVerdict->outcome().result;
    if (started && result == UpdateOutcome::CopyNotSaved)
        return NextStep::UpdateWithoutCopy;
    if (started && result != UpdateOutcome::Failed)
        return NextStep::Nothing;
    return wayBack().isEmpty() ? NextStep::Nothing : NextStep::PutBack;
}

QString UpdateSession::question() const
{
    switch (nextStep()) {
    case NextStep::UpdateWithoutCopy:
        return tr("%1 Update without a copy?").arg(updateVerdict->outcome().status);
    case NextStep::PutBack:
        if (started && last.putBack)
            return tr("Try again to put back the pages at risk as they were before?");
        return started ? tr("Put back the flash as it was before this update?")
                       : tr("Put back the flash as it was before the update that "
                            "did not finish?");
    default:
        return QString();
    }
}

UpdateSession::Plan UpdateSession::withoutCopy() const
{
    Plan plan = last;
    plan.copyMode = UpdaterThread::CopyMode::Skip;
    return plan;
}

bool UpdateSession::putBack(Plan *plan, QString *refusal) const
{
    const StateFolder folder;
    if (!folder.usable()) {
        *refusal = folder.problem();
        return false;
    }
    FlashJournal journal = FlashJournal::load(folder);
    if (journal.damaged()) {
        *refusal = tr("The record of an earlier update is damaged (%1), so the tool cannot tell "
                      "which pages to put back.")
                       .arg(journal.damage);
        return false;
    }
    if (journal.updatingElsewhere()) {
        *refusal = journal.warning(folder.path(StateFolder::Copies));
        return false;
    }
    const bool atRisk = !journal.isEmpty();
    if (!settlePending(folder, &journal, refusal))
        return false;
    if (atRisk && journal.isEmpty()) {
        *refusal = tr("The flash holds the whole image of the update that did not finish, as "
                      "it is compared now: no page is at risk any more, and there is nothing to "
                      "put back. It is safe to restart the computer.");
        return false;
    }
    PutBackImage image;
    if (!image.build(folder, journal, refusal))
        return false;
    // Every page of it is at risk already: the update saves no copy of them.
    *plan = {
        image.path, image.components, UpdaterThread::CopyMode::Save, image.sha256.toHex(), true,
        true};
    return true;
}

// A put-back must never undo pages that were written and verified: an update whose end could
// not be recorded is still pending, and the flash is compared with its image first.
bool UpdateSession::settlePending(const StateFolder &folder, FlashJournal *journal,
                                  QString *refusal) const
{
    const QList<FlashJournal::Pending> pending = journal->pending;
    for (const FlashJournal::Pending &entry : pending) {
        FlashVerifier verifier;
        if (verifier.verify(entry.image, entry.sha256) != FlashVerifier::Matches)
            continue;
        QList<ComponentRecord> held;
        for (const FlashVerifier::Comparison &comparison : verifier.comparisons())
            held << comparison.component;
        journal->takeOff(pagesOf(held));
        journal->pending.removeAll(entry);
        QString reason;
        if (!journal->save(folder, &reason)) {
            *refusal = tr("The flash holds %1 whole, as its update wrote and verified it, but the "
                          "record of the pages at risk could not be updated: %2. Putting the "
                          "flash back now would undo that update.")
                           .arg(entry.image, reason);
            return false;
        }
    }
    return true;
}

bool UpdateSession::updatingElsewhere() const
{
    const StateFolder folder;
    return folder.usable() && FlashJournal::load(folder).updatingElsewhere();
}

QByteArray UpdateSession::keptSha256(const QString &image) const
{
    const StateFolder folder;
    if (!folder.usable() || kindOf(folder, image) != QLatin1String("restore"))
        return QByteArray();
    const QFileInfo file(image);
    for (const FlashJournal::Copy &copy : FlashJournal::load(folder).copies) {
        if (copy.file == file.fileName())
            return copy.sha256.toHex();
    }
    // One that the record does not name (an older one, or any after a damaged record) is still
    // the tool's own, in a folder that only those who may write the flash can change: the one
    // the user picks is taken as it is now.
    qint64 size = 0;
    return FlashCopies::sha256(folder, file.fileName(), &size).toHex();
}

QString UpdateSession::wayBack() const
{
    const StateFolder folder;
    const FlashJournal journal = FlashJournal::load(folder);
    if (!folder.usable() || journal.damaged() || journal.updatingElsewhere())
        return QString();
    return journal.wayBack(folder.path(StateFolder::Copies));
}

bool UpdateSession::recordDamaged() const
{
    const StateFolder folder;
    return folder.usable() && FlashJournal::load(folder).damaged();
}

bool UpdateSession::clearingQuestion(const FlashVerifier &verifier, const QString &image,
                                     QString *text) const
{
    const StateFolder folder;
    const FlashJournal journal = folder.usable() ? FlashJournal::load(folder) : FlashJournal();
    if (!journal.damaged()) {
        *text = folder.usable() ? tr("No damaged record of an update stands: there is nothing "
                                     "to clear.")
                                : folder.problem();
        return false;
    }
    if (verifier.comparisons().isEmpty() || verifier.differing() > 0) {
        *text = tr("%1 The damaged record stays: clear it only once the flash holds a complete "
                   "image.")
                    .arg(verifier.text());
        return false;
    }
    *text = tr("The flash holds %1. Clearing the damaged record (%2) drops what it may have "
               "named: the tool will no longer warn that pages of the flash may be at risk "
               "because of it. Clear it only when %1 is a complete image of the flash. The file "
               "stays in %3, its name beginning with \"cleared-record-\". Clear the damaged "
               "record?")
                .arg(image, journal.damage, folder.path());
    return true;
}

bool UpdateSession::clearDamaged(QString *text) const
{
    const StateFolder folder;
    if (!folder.usable()) {
        *text = folder.problem();
        return false;
    }
    // No update may write the record meanwhile.
    FlashNode node;
    QString trouble;
    if (node.claim(FlashNode::Access::ReadOnly, &trouble) != FlashNode::Claim::Taken) {
        *text = trouble;
        return false;
    }
    QStringList kept;
    QString reason;
    if (!FlashJournal::clearDamaged(folder, &kept, &reason)) {
        *text = tr("The damaged record could not be cleared: %1.").arg(reason);
        return false;
    }
    *text = tr("The damaged record was cleared and is kept as %1.")
                .arg(kept.join(QStringLiteral(", ")));
    const FlashJournal journal = FlashJournal::load(folder);
    *text +=
        QLatin1Char(' ') + (journal.isEmpty() ? tr("It is safe to restart the computer.")
                                              : journal.warning(folder.path(StateFolder::Copies)));
    return true;
}
