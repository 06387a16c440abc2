#pragma once

#include "ComponentRecord.h"
#include "UpdaterThread.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

class Console;
class InterruptGuard;
class ShutdownInhibitor;
class UpdateVerdict;

// One run of the updater as vorlan-flash shows it: the worker in a thread of its own, its
// status texts and progress on the console, the terminating signals held and shutdown blocked
// until it has ended. The verdict follows it.
class UpdateRun : public QObject
{
    Q_OBJECT

public:
    UpdateRun(Console *console, UpdateVerdict *verdict, QObject *parent = nullptr);

    // Runs the update to its end, the event loop running meanwhile; the image must have that
    // SHA-256 (any when empty). Returns whether a terminating signal arrived while it ran.
    bool exec(const QString &image, const QList<ComponentRecord> &components,
              const QByteArray &sha256, UpdaterThread::CopyMode copyMode);

private:
    void showStatus(const QString &text);
    void showProgress(int totalProgress);
    void reportProgress();

    Console *console;
    UpdateVerdict *verdict;
    InterruptGuard *interruptGuard;
    ShutdownInhibitor *shutdownInhibitor;
    QElapsedTimer clock;
    QElapsedTimer sinceShown; // the last progress shown
    QString stage;
    int component = 0; // being programmed, from 1
    int components = 0;
    int current = 0;
    int total = 0;
    int reportedCurrent = -1;
    int reportedTotal = -1;
};
