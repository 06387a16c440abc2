#pragma once

#include "ComponentRecord.h"
#include "Console.h"
#include "Invocation.h"
#include "UpdateSession.h"

#include <QList>
#include <QObject>

class FlashVerifier;
class TrustPolicy;
class UpdateRun;

// Carries out one command of vorlan-flash and gives its exit status.
class FlashCommand : public QObject
{
    Q_OBJECT

public:
    explicit FlashCommand(const Invocation &invocation, QObject *parent = nullptr);

    int exec();

private:
    int versions();
    int info();
    int copies();
    int history();
    int restore();
    int update(const QString &image);
    // Asks, runs the plan and what the user answers after it, and gives the verdict.
    int perform(const UpdateSession::Plan &plan, bool checked);
    bool confirmed(const QString &question);
    int unchanged(const QString &verdict);
    void reportUnchanged(const QString &text);
    int finish(const QList<ComponentRecord> &components, bool interrupted);
    void list(const QString &image, const QList<ComponentRecord> &components);
    int verify();
    int clearDamaged();
    bool alreadyHeld();
    void warnOfRecord();
    void showComparisons(const FlashVerifier &verifier);
    void warnAbout(const TrustPolicy &policy);
    QString inspect(const QString &image, QList<ComponentRecord> *components, QByteArray *sha256);

    Invocation invocation;
    Console console;
    UpdateSession *session;
    UpdateRun *run;
};
