#include "UpdateVerdict.h"

#include "ImageReader.h"
#include "UpdaterThread.h"

#include <QDebug>

#include <algorithm>

namespace {

bool printable(const QString &name)
{
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](QChar c) {
        return c.isPrint() && c != QChar::ReplacementCharacter;
    });
}

} // namespace

UpdateVerdict::UpdateVerdict(QObject *parent) : QObject(parent) {}

void UpdateVerdict::follow(UpdaterThread *worker, const QList<ComponentRecord> &components)
{
    {
        QMutexLocker locker(&mutex);
        this->components = components;
        state = Running;
        started = 0;
        lastStatus.clear();
    }
    connect(worker, &UpdaterThread::updateStatusText, this, &UpdateVerdict::noteStatus,
            Qt::DirectConnection);
    connect(worker, &UpdaterThread::finished, this, &UpdateVerdict::noteFinished,
            Qt::DirectConnection);
}

void UpdateVerdict::noteStatus(const QString &status)
{
    QMutexLocker locker(&mutex);
    if (status == QLatin1String("Started erasing Flash memory..."))
        ++started;
    lastStatus = status;
}

void UpdateVerdict::noteFinished()
{
    QMutexLocker locker(&mutex);
    if (lastStatus == QLatin1String("Done updating. It is now safe to restart the computer."))
        state = Succeeded;
    else
        state = started == 0 ? Unchanged : Failed;
    // One line for a terminal or a journal, also when nobody sees the window any more. It is
    // written before those waiting for the end wake up, since one of them may end the process.
    qInfo().noquote() << describe();
    ended.wakeAll();
}

UpdateVerdict::Outcome UpdateVerdict::outcome() const
{
    QMutexLocker locker(&mutex);
    return state;
}

bool UpdateVerdict::waitForEnd() const
{
    QMutexLocker locker(&mutex);
    while (state == Running)
        ended.wait(&mutex);
    return state != None;
}

QString UpdateVerdict::text() const
{
    QMutexLocker locker(&mutex);
    return describe();
}

QString UpdateVerdict::describe() const
{
    switch (state) {
    case Succeeded:
        return components.size() == 1
                   ? QStringLiteral("The component was written and verified.")
                   : QStringLiteral("All %1 components were written and verified.")
                         .arg(components.size());
    case Unchanged:
        return QStringLiteral("The flash was not changed. It is safe to restart the computer.");
    case Failed:
        return failureText();
    default:
        return QString();
    }
}

QString UpdateVerdict::failureText() const
{
    const QString count = QStringLiteral("%1 of %2").arg(started).arg(components.size());
    QString where = QStringLiteral("(%1)").arg(count);
    if (started <= components.size()) {
        const ComponentRecord &failed = components.at(started - 1);
        const QString address = QStringLiteral("0x") + QString::number(failed.flashAddress, 16);
        const QString name = componentName(failed);
        where = printable(name) ? QStringLiteral("%1 (%2, at %3)").arg(name, count, address)
                                : QStringLiteral("%1 (%2)").arg(address, count);
    }
    return QStringLiteral("Update failed at component %1. The flash does not hold this image: do "
                          "not restart the computer before an update has ended with \"Done\".")
        .arg(where);
}

int UpdateVerdict::exitStatus() const
{
    return outcome() == Failed ? 1 : 0;
}
