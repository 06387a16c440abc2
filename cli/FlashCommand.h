#pragma once

#include "ComponentRecord.h"
#include "Console.h"
#include "Invocation.h"
#include "UpdaterThread.h"

#include <QList>
#include <QObject>

class UpdateRun;
class UpdateVerdict;

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
    int restore();
    int update(const QString &image, UpdaterThread::CopyMode copyMode);
    bool confirmed(int count);
    int finish(const QList<ComponentRecord> &components, bool interrupted);
    void list(const QString &image, const QList<ComponentRecord> &components);
    QString inspect(const QString &image, QList<ComponentRecord> *components, QByteArray *sha256);

    Invocation invocation;
    Console console;
    UpdateVerdict *verdict;
    UpdateRun *run;
};
