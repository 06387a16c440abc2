#include "UpdateRun.h"

#include "Console.h"
#include "InterruptGuard.h"
#include "ShutdownInhibitor.h"
#include "TimeDisplay.h"
#include "UpdateVerdict.h"

#include <QEventLoop>
#include <QThread>

namespace {

// The worker's status texts that say which stage it is in. The texts it gives for every page,
// block and comparison are not shown one by one: the progress line carries them.
struct StageText
{
    const char *text;
    bool prefix;
    bool shown;
    const char *stage;
};

const StageText stageTexts[] = {
    {"Updater initialization...", false, true, "starting"},
    {"Saving a copy of the flash to ", true, true, "saving a copy"},
    {"Started erasing Flash memory...", false, true, "erasing"},
    {"Erasing page at 0x", true, false, "erasing"},
    {"Started writing to Flash memory...", false, true, "writing"},
    {"Writing to Flash memory at 0x", true, false, "writing"},
    {"Verifying Flash memory...", false, true, "reading back"},
    {"Reading from Flash memory at 0x", true, false, "reading back"},
    {"Verifying Flash memory content.", false, false, "comparing"},
};

const StageText *stageText(const QString &text)
{
    for (const StageText &entry : stageTexts) {
        if (entry.prefix ? text.startsWith(QLatin1String(entry.text))
                         : text == QLatin1String(entry.text))
            return &entry;
    }
    return nullptr;
}

} // namespace

UpdateRun::UpdateRun(Console *console, UpdateVerdict *verdict, QObject *parent)
    : QObject(parent), console(console), verdict(verdict), interruptGuard(new InterruptGuard(this)),
      shutdownInhibitor(new ShutdownInhibitor(this))
{
    connect(interruptGuard, &InterruptGuard::interrupted, this, [this] {
        this->console->warn(QStringLiteral("The tool will quit when the update has finished."));
    });
}

bool UpdateRun::exec(const QString &image, const QList<ComponentRecord> &components,
                     const QByteArray &sha256, UpdaterThread::CopyMode copyMode)
{
    stage = QStringLiteral("starting");
    component = 0;
    this->components = components.size();
    current = total = 0;
    reportedCurrent = reportedTotal = -1;
    sinceShown.invalidate();

    shutdownInhibitor->acquire();
    interruptGuard->hold();
    QThread thread;
    auto *worker = new UpdaterThread;
    worker->setFilename(image);
    worker->setConfirmedComponents(components);
    worker->setExpectedSha256(sha256);
    worker->setCopyMode(copyMode);
    verdict->follow(worker, components);
    worker->moveToThread(&thread);
    connect(&thread, &QThread::started, worker, &UpdaterThread::process);
    connect(worker, &UpdaterThread::finished, &thread, &QThread::quit);
    connect(worker, &UpdaterThread::finished, worker, &QObject::deleteLater);
    connect(worker, &UpdaterThread::updateStatusText, this, &UpdateRun::showStatus);
    connect(worker, &UpdaterThread::updateCurrentProgress, this,
            [this](int progress) { current = progress; });
    connect(worker, &UpdaterThread::updateTotalProgress, this, &UpdateRun::showProgress);
    // The thread's end comes after every report of the worker: the loop has shown them all.
    QEventLoop loop;
    connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
    clock.start();
    thread.start();
    loop.exec();
    thread.wait();

    if (console->json() && (current != reportedCurrent || total != reportedTotal))
        reportProgress();
    shutdownInhibitor->release();
    return interruptGuard->release();
}

void UpdateRun::showStatus(const QString &text)
{
    const StageText *known = stageText(text);
    if (known) {
        stage = QLatin1String(known->stage);
        if (text == QLatin1String("Started erasing Flash memory..."))
            ++component;
    }
    if (!known || known->shown)
        console->report(text, QStringLiteral("status"), {{QStringLiteral("text"), text}});
}

// At most ten times a second, as dd and apt do.
void UpdateRun::showProgress(int totalProgress)
{
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
    console->showProgress(QStringLiteral("%1 %2 %3%  total %4%  elapsed %5  remaining %6")
                              .arg(stage.leftJustified(13), part.leftJustified(5))
                              .arg(current, 3)
                              .arg(total, 3)
                              .arg(durationText(quint32(elapsedMs / 1000)),
                                   remainingTimeText(elapsedMs / 1000, elapsedMs, total)));
}
