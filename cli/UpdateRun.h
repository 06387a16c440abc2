#pragma once

#include "UpdateSession.h"
#include "UpdaterThread.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class Console;

// One run of the updater as vorlan-flash shows it: the worker in a thread of its own, its
// status texts and progress on the console. The session holds the signals and blocks shutdown
// until it has ended, and follows it to its verdict.
class UpdateRun : public QObject
{
    Q_OBJECT

public:
    UpdateRun(Console *console, UpdateSession *session, QObject *parent = nullptr);

    // Runs the update to its end, the event loop running meanwhile. Returns whether a
    // terminating signal arrived while it ran; refusal says why it did not start.
    bool exec(const UpdateSession::Plan &plan, QString *refusal);

private:
    void showStatus(const QString &text);
    void showProgress(UpdaterThread::Stage stage, int component, int totalProgress);
    void reportProgress();

    Console *console;
    UpdateSession *session;
    QElapsedTimer clock;
    QElapsedTimer sinceShown; // the last progress shown
    UpdaterThread::Stage stage = UpdaterThread::Stage::Starting;
    int component = 0; // being programmed, from 1
    int components = 0;
    int current = 0;
    int total = 0;
    int reportedCurrent = -1;
    int reportedTotal = -1;
};
