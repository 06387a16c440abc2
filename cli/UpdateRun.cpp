#include "UpdateRun.h"

#include "Console.h"
#include "TimeDisplay.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

namespace {

// The worker's texts for every page, block and comparison are not shown one by one: the
// progress line carries them. They are known by what comes before their address, in the
// language they are shown in.
bool everyBlock(const QString &text)
{
    static const QStringList prefixes = [] {
        QStringList translated;
        for (const char *source :
             {QT_TRANSLATE_NOOP("UpdaterThread", "Erasing page at 0x%1"),
              QT_TRANSLATE_NOOP("UpdaterThread", "Writing to Flash memory at 0x%1"),
              QT_TRANSLATE_NOOP("UpdaterThread", "Reading from Flash memory at 0x%1"),
              QT_TRANSLATE_NOOP("UpdaterThread", "Verifying Flash memory content.")})
            translated << QCoreApplication::translate("UpdaterThread", source)
                              .section(QStringLiteral("%1"), 0, 0);
        return translated;
    }();
    for (const QString &prefix : prefixes) {
        if (text.startsWith(prefix))
            return true;
    }
    return false;
}

QString stageWords(UpdaterThread::Stage stage)
{
    switch (stage) {
    case UpdaterThread::Stage::Starting:
        return UpdateRun::tr("starting");
    case UpdaterThread::Stage::SavingCopy:
        return UpdateRun::tr("saving a copy");
    case UpdaterThread::Stage::Erasing:
        return UpdateRun::tr("erasing");
    case UpdaterThread::Stage::Writing:
        return UpdateRun::tr("writing");
    case UpdaterThread::Stage::ReadingBack:
        return UpdateRun::tr("reading back");
    case UpdaterThread::Stage::Comparing:
        return UpdateRun::tr("comparing");
    }
    return QString();
}

} // namespace

UpdateRun::UpdateRun(Console *console, UpdateSession *session, QObject *parent)
    : QObject(parent), console(console), session(session)
{
    connect(session, &UpdateSession::interrupted, this, [this] {
        this->console->warn(tr("The tool will quit when the update has finished."));
    });
}

bool UpdateRun::exec(const UpdateSession::Plan &plan, QString *refusal)
{
    stage = UpdaterThread::Stage::Starting;
    component = 0;
    components = plan.components.size();
    current = total = 0;
    reportedCurrent = reportedTotal = -1;
    sinceShown.invalidate();

    QThread thread;
    auto *worker = new UpdaterThread;
    worker->setFilename(plan.image);
    if (!session->prepare(worker, plan, refusal)) {
        delete worker;
        return false;
    }
    worker->moveToThread(&thread);
    connect(&thread, &QThread::started, worker, &UpdaterThread::process);
    connect(worker, &UpdaterThread::finished, &thread, &QThread::quit);
    connect(worker, &UpdaterThread::finished, worker, &QObject::deleteLater);
    connect(worker, &UpdaterThread::updateStatusText, this, &UpdateRun::showStatus);
    connect(worker, &UpdaterThread::updateCurrentProgress, this,
            [this](int progress) { current = progress; });
    // The stage is taken on the worker's thread, as the progress it goes with is reported.
    connect(
        worker, &UpdaterThread::updateTotalProgress, worker,
        [this, worker](int progress) {
            const UpdaterThread::Stage now = worker->stage();
            const int at = worker->component();
            QMetaObject::invokeMethod(
                this, [this, now, at, progress] { showProgress(now, at, progress); },
                Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    // The thread's end comes after every report of the worker: the loop has shown them all.
    QEventLoop loop;
    connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
    clock.start();
    session->start(&thread);
    loop.exec();
    thread.wait();

    if (console->json() && (current != reportedCurrent || total != reportedTotal))
        reportProgress();
    return session->end();
}

void UpdateRun::showStatus(const QString &text)
{
    if (!everyBlock(text))
        console->report(text, QStringLiteral("status"), {{QStringLiteral("text"), text}});
}

// At most ten times a second, as dd and apt do.
void UpdateRun::showProgress(UpdaterThread::Stage now, int at, int totalProgress)
{
    stage = now;
    component = at;
    total = totalProgress;
    if (sinceShown.isValid() && sinceShown.elapsed() < 100)
        return;
    sinceShown.start();
    reportProgress();
}

void UpdateRun::reportProgress()
{
    reportedCurrent = current;
    reportedTotal = total;
    if (console->json()) {
        console->report(QString(), QStringLiteral("progress"),
                        {{QStringLiteral("current"), current}, {QStringLiteral("total"), total}});
        return;
    }
    const qint64 elapsedMs = clock.elapsed();
    const QString part =
        component > 0 ? QStringLiteral("%1/%2").arg(component).arg(components) : QString();
    console->showProgress(tr("%1 %2 %3%  total %4%  elapsed %5  remaining %6")
                              .arg(stageWords(stage).leftJustified(13), part.leftJustified(5))
                              .arg(current, 3)
                              .arg(total, 3)
                              .arg(durationText(quint32(elapsedMs / 1000)),
                                   remainingTimeText(elapsedMs / 1000, elapsedMs, total)));
}
