#pragma once

#include <QMutex>
#include <QObject>
#include <QStringList>

#include <memory>

class UpdaterThread;

// Everything a worker reports, in order: "status:<text>", "current:<n>", "total:<n>", and
// "finished". Connected directly, so it sees the worker's own order from any thread.
class WorkerRecorder : public QObject
{
    Q_OBJECT

public:
    explicit WorkerRecorder(UpdaterThread *worker);

    QStringList events() const;
    QStringList statusTexts() const;
    QList<int> values(const QString &kind) const;
    int finishedCount() const;

private:
    void record(const QString &event);

    mutable QMutex mutex;
    QStringList recorded;
};

// Runs a whole update of the image as the window does, the worker in its own QThread, and
// returns what it reported.
std::unique_ptr<WorkerRecorder> runUpdate(const QString &imagePath);

// Qt's debug lines, as Qt's default handler would print them, captured from every thread.
class DebugLog
{
public:
    DebugLog();
    ~DebugLog();
    QStringList lines() const;
};
