#include "UpdateVerdict.h"

#include "ImageReader.h"
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

const QString notBeforeDone =
    QStringLiteral("do not restart the computer before an update has ended with \"Done\".");

} // namespace

UpdateVerdict::UpdateVerdict(QObject *parent) : QObject(parent) {}

void UpdateVerdict::follow(UpdaterThread *worker, const QList<ComponentRecord> &components)
{
    {
        QMutexLocker locker(&mutex);
        this->components = components;
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
    noteEnd(outcome);
}

void UpdateVerdict::assumeIncomplete(const QString &since)
{
    QMutexLocker locker(&mutex);
    incompleteSince = since;
}

void UpdateVerdict::noteEnd(const UpdateOutcome &outcome)
{
    QMutexLocker locker(&mutex);
    last = outcome;
    state = Ended;
    if (outcome.result == UpdateOutcome::Written)
        incompleteSince = outcome.incompleteSince;
    else if (outcome.result == UpdateOutcome::Failed)
        incompleteSince = QStringLiteral("since the update that failed at component ") + failedAt();
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
    return !incompleteSince.isEmpty() || (state == Ended && last.result == UpdateOutcome::Busy);
}

int UpdateVerdict::exitStatus() const
{
    return alarming() ? 1 : 0;
}

QString UpdateVerdict::describe() const
{
    if (state != Ended)
        return QString();
    switch (last.result) {
    case UpdateOutcome::Written: {
        QString text = components.size() == 1
                           ? QStringLiteral("The component was written and verified.")
                           : QStringLiteral("All %1 components were written and verified.")
                                 .arg(components.size());
        if (!incompleteSince.isEmpty())
            text += QStringLiteral(" The flash still does not hold a complete image %1: put "
                                   "that image or its copy back before restarting the computer.")
                        .arg(incompleteSince);
        return text + unrecorded();
    }
    case UpdateOutcome::Failed: {
        QString text = QStringLiteral("Update failed at component %1. The flash does not hold "
                                      "this image: ")
                           .arg(failedAt()) +
                       notBeforeDone;
        if (!last.copyPath.isEmpty())
            text += QStringLiteral(" A copy of the flash as it was before is in %1.")
                        .arg(last.copyPath);
        else if (last.copyDeclined)
            text += QStringLiteral(" No copy of the flash was saved before this update.");
        return text + unrecorded();
    }
    case UpdateOutcome::Busy:
        return QStringLiteral("Another program is updating the flash. Do not restart the "
                              "computer before it has finished.");
    default:
        if (!incompleteSince.isEmpty())
            return QStringLiteral("The flash was not changed by this update, and it still does "
                                  "not hold a complete image %1: ")
                       .arg(incompleteSince) +
                   notBeforeDone;
        return QStringLiteral("The flash was not changed. It is safe to restart the computer.");
    }
}

QString UpdateVerdict::unrecorded() const
{
    return last.unrecorded ? QStringLiteral(" No record of this update could be saved: a tool "
                                            "started after a crash would not warn of it.")
                           : QString();
}

// "KERN (2 of 3, at 0x200000)", or "0x200000 (2 of 3)" for a component without a readable name.
QString UpdateVerdict::failedAt() const
{
    const int k = last.failedComponent;
    const QString count = QStringLiteral("%1 of %2").arg(k).arg(components.size());
    if (k < 1 || k > components.size())
        return QStringLiteral("(%1)").arg(count);
    const ComponentRecord &failed = components.at(k - 1);
    const QString address = QStringLiteral("0x") + QString::number(failed.flashAddress, 16);
    const QString name = componentName(failed);
    return printable(name) ? QStringLiteral("%1 (%2, at %3)").arg(name, count, address)
                           : QStringLiteral("%1 (%2)").arg(address, count);
}
