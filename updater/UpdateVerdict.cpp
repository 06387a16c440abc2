#include "UpdateVerdict.h"

#include "ExitStatus.h"
#include "FlashJournal.h"
#include "ImageReader.h"
#include "StateFolder.h"
#include "UpdaterThread.h"
#include "VisibleText.h"

#include <QDebug>

#include <algorithm>

namespace {

bool printable(const QString &name)
{
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](QChar c) {
        return c.isPrint() && c != QChar::ReplacementCharacter;
    });
}

// A text to translate and the translator's hint to it.
struct Source
{
    const char *text;
    const char *comment;
};

} // namespace

UpdateVerdict::UpdateVerdict(QObject *parent) : QObject(parent) {}

void UpdateVerdict::follow(UpdaterThread *worker, const QList<ComponentRecord> &components,
                           bool putBack)
{
    {
        QMutexLocker locker(&mutex);
        this->components = components;
        puttingBack = putBack;
        state = Running;
    }
    connect(
        worker, &UpdaterThread::finished, this, [this, worker] { noteEnd(worker->outcome()); },
        Qt::DirectConnection);
}

void UpdateVerdict::noteRefused(const QString &status)
{
    UpdateOutcome outcome;
    outcome.status = status;
    {
        QMutexLocker locker(&mutex);
        puttingBack = false;
    }
    noteEnd(outcome);
}

void UpdateVerdict::noteEnd(const UpdateOutcome &outcome)
{
    const StateFolder folder;
    // Where no record can be read, nothing is known of pages at risk, and nothing is said.
    FlashJournal journal = folder.usable() ? FlashJournal::load(folder) : FlashJournal();
    QMutexLocker locker(&mutex);
    last = outcome;
    state = Ended;
    unknown = !folder.usable();
    damage = journal.damage;
    // The damaged record has a sentence of its own; the pages at risk are told apart from it.
    journal.damage.clear();
    incompleteSince = journal.isEmpty() ? QString() : journal.since();
    atRisk = journal.atRiskText();
    copies = journal.wayBack(folder.path(StateFolder::Copies));
    withoutCopy = journal.withoutCopyText();
    updater = journal.updatingElsewhere() ? journal.process.pid : 0;
    // One line for a terminal or a journal, also when nobody sees the window any more. It is
    // written before those waiting for the end wake up, since one of them may end the process.
    qInfo().noquote() << visibleText(describe());
    ended.wakeAll();
}

bool UpdateVerdict::running() const
{
    QMutexLocker locker(&mutex);
    return state == Running;
}

bool UpdateVerdict::waitForEnd() const
{
    QMutexLocker locker(&mutex);
    while (state == Running)
        ended.wait(&mutex);
    return state != Idle;
}

UpdateOutcome UpdateVerdict::outcome() const
{
    QMutexLocker locker(&mutex);
    return last;
}

QString UpdateVerdict::text() const
{
    QMutexLocker locker(&mutex);
    return describe();
}

bool UpdateVerdict::alarming() const
{
    QMutexLocker locker(&mutex);
    return state == Ended && (!incompleteSince.isEmpty() || !damage.isEmpty() ||
                              !last.recordProblem.isEmpty() || last.result == UpdateOutcome::Busy);
}

int UpdateVerdict::exitStatus() const
{
    return alarming() ? 1 : 0;
}

int UpdateVerdict::commandExitStatus() const
{
    QMutexLocker locker(&mutex);
    switch (last.result) {
    case UpdateOutcome::Written:
        // This image verified, but an earlier update left other pages without theirs, or
        // nobody can tell, or the record still counts this update's pages.
        return incompleteSince.isEmpty() && damage.isEmpty() && last.recordProblem.isEmpty()
                   ? Success
                   : UpdateFailed;
    case UpdateOutcome::Failed:
        return UpdateFailed;
    case UpdateOutcome::NoDevice:
        return NoDriver;
    case UpdateOutcome::Busy:
        return FlashBusy;
    default:
        return Refused;
    }
}

QString UpdateVerdict::describe() const
{
    if (state != Ended)
        return QString();
    // Whatever else is said, nobody can tell what a damaged record named.
    const QString damaged =
        damage.isEmpty()
            ? QString()
            : tr(" The record of an earlier update is damaged (%1), so the tool cannot tell "
                 "whether other pages of the flash are at risk.")
                  .arg(damage);
    switch (last.result) {
    case UpdateOutcome::Written: {
        QString text = components.size() == 1 ? tr("The component was written and verified.")
                                              : tr("All %n components were written and verified.",
                                                   nullptr, components.size());
        if (!last.recordProblem.isEmpty())
            return text +
                   tr(" The flash holds this image, but the record of the pages at risk could "
                      "not be updated: %1. Until it can be, the tool counts them as at risk; "
                      "putting the flash back checks the flash first and does not undo this "
                      "update.")
                       .arg(last.recordProblem) +
                   damaged;
        if (!incompleteSince.isEmpty())
            text += tr(" The flash still does not hold a complete image %1: put back the pages "
                       "still at risk as they were, or update the rest, before restarting the "
                       "computer.")
                        .arg(incompleteSince) +
                    wayBack();
        return text + damaged;
    }
    case UpdateOutcome::Failed:
        if (puttingBack)
            return tr("Putting the flash back failed at component %1. The flash at %2 is still "
                      "at risk: do not restart the computer before an update has ended with "
                      "\"Done\".")
                       .arg(componentAt(components, last.failedComponent), atRisk) +
                   wayBack() + damaged;
        return tr("Update failed at component %1. The flash does not hold this image: do not "
                  "restart the computer before an update has ended with \"Done\".")
                   .arg(componentAt(components, last.failedComponent)) +
               wayBack() + damaged;
    case UpdateOutcome::Busy:
        if (updater > 0)
            return tr("Another program is updating the flash now (process %1). Do "
                      "not restart the computer before it has finished.")
                .arg(updater);
        return tr("Another program is updating the flash. Do not restart the "
                  "computer before it has finished.");
    default:
        if (!incompleteSince.isEmpty())
            return tr("The flash was not changed by this update, and it still does not hold a "
                      "complete image %1: do not restart the computer before an update has ended "
                      "with \"Done\".")
                       .arg(incompleteSince) +
                   wayBack() + damaged;
        if (unknown || !damaged.isEmpty())
            return tr("The flash was not changed by this update.") + damaged;
        return tr("The flash was not changed. It is safe to restart the computer.");
    }
}

// Where the flash as it was before the first unfinished update is, never a copy of a page that
// an update had already put at risk.
QString UpdateVerdict::wayBack() const
{
    QString text;
    if (copies.endsWith(QLatin1String(".tarnru")))
        text = tr(" A copy of the flash as it was before is in %1.").arg(copies);
    else if (!copies.isEmpty())
        text = tr(" Copies of the flash as it was before are in %1.").arg(copies);
    if (!withoutCopy.isEmpty())
        text += tr(" No copy holds the flash at %1.").arg(withoutCopy);
    return text;
}

QString UpdateVerdict::componentAt(const QList<ComponentRecord> &components, int k, bool translated)
{
    static const Source place = QT_TRANSLATE_NOOP3(
        "UpdateVerdict", "%1 of %2", "the place of a component among those of an image");
    static const Source named = QT_TRANSLATE_NOOP3("UpdateVerdict", "%1 (%2, at %3)",
                                                   "a component's name, place and address");
    const auto text = [translated](const Source &source) {
        return translated ? tr(source.text, source.comment) : QString::fromUtf8(source.text);
    };
    const QString count = text(place).arg(k).arg(components.size());
    if (k < 1 || k > components.size())
        return QStringLiteral("(%1)").arg(count);
    const ComponentRecord &failed = components.at(k - 1);
    const QString address = QStringLiteral("0x") + QString::number(failed.flashAddress, 16);
    const QString name = componentName(failed);
    return printable(name) ? text(named).arg(name, count, address)
                           : QStringLiteral("%1 (%2)").arg(address, count);
}
