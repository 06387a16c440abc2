#include "WorkerRecorder.h"

#include "UpdaterThread.h"

#include <QMutexLocker>
#include <QSignalSpy>
#include <QThread>

WorkerRecorder::WorkerRecorder(UpdaterThread *worker)
{
    connect(
        worker, &UpdaterThread::updateStatusText, this,
        [this](const QString &text) { record(QStringLiteral("status:") + text); },
        Qt::DirectConnection);
    connect(
        worker, &UpdaterThread::updateCurrentProgress, this,
        [this](int value) { record(QStringLiteral("current:%1").arg(value)); },
        Qt::DirectConnection);
    connect(
        worker, &UpdaterThread::updateTotalProgress, this,
        [this](int value) { record(QStringLiteral("total:%1").arg(value)); }, Qt::DirectConnection);
    connect(
        worker, &UpdaterThread::finished, this, [this] { record(QStringLiteral("finished")); },
        Qt::DirectConnection);
}

void WorkerRecorder::record(const QString &event)
{
    QMutexLocker locker(&mutex);
    recorded.append(event);
}

QStringList WorkerRecorder::events() const
{
    QMutexLocker locker(&mutex);
    return recorded;
}

QStringList WorkerRecorder::statusTexts() const
{
    QStringList texts;
    for (const QString &event : events()) {
        if (event.startsWith(QLatin1String("status:")))
            texts.append(event.mid(7));
    }
    return texts;
}

QList<int> WorkerRecorder::values(const QString &kind) const
{
    QList<int> found;
    const QString prefix = kind + QLatin1Char(':');
    for (const QString &event : events()) {
        if (event.startsWith(prefix))
            found.append(event.mid(prefix.size()).toInt());
    }
    return found;
}

int WorkerRecorder::finishedCount() const
{
    return events().count(QStringLiteral("finished"));
}

std::unique_ptr<WorkerRecorder> runUpdate(const QString &imagePath)
{
    QThread thread;
    auto *worker = new UpdaterThread;
    worker->setFilename(imagePath);
    auto recorder = std::make_unique<WorkerRecorder>(worker);
    worker->moveToThread(&thread);
    QObject::connect(&thread, &QThread::started, worker, &UpdaterThread::process);
    QObject::connect(worker, &UpdaterThread::finished, &thread, &QThread::quit);
    QObject::connect(worker, &UpdaterThread::finished, worker, &QObject::deleteLater);
    QSignalSpy stopped(&thread, &QThread::finished);
    thread.start();
    if (!stopped.wait(120000))
        qFatal("the update did not end");
    return recorder;
}

namespace {
QMutex logMutex;
QStringList logLines;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg) {
        QMutexLocker locker(&logMutex);
        logLines.append(message);
        return;
    }
    previousHandler(type, context, message);
}
} // namespace

DebugLog::DebugLog()
{
    QMutexLocker locker(&logMutex);
    logLines.clear();
    previousHandler = qInstallMessageHandler(captureMessage);
}

DebugLog::~DebugLog()
{
    qInstallMessageHandler(previousHandler);
}

QStringList DebugLog::lines() const
{
    QMutexLocker locker(&logMutex);
    return logLines;
}
