#pragma once

#include <QMutex>
#include <QObject>
#include <QStringList>

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

// Qt's debug lines, as Qt's default handler would print them, captured from every thread.
class DebugLog
{
public:
    DebugLog();
    ~DebugLog();
    QStringList lines() const;
};
