#pragma once

#include "ComponentRecord.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

class FlashJournal;
class StateFolder;

// An update image that puts back every page at risk that a copy holds, from the copy that holds
// it as it was before it was first put at risk: from several copies when several unfinished
// updates made them. Each copy must still be what was saved, its size and SHA-256 as the record
// keeps them, checked in the same read that takes its pages. The image lives in the state
// folder, where nobody else may change it.
class PutBackImage
{
    Q_DECLARE_TR_FUNCTIONS(PutBackImage)

public:
    static constexpr const char *fileName = "put-back.tarnru";

    // False, with why, when nothing can be put back or a copy is not what was saved.
    bool build(const StateFolder &folder, const FlashJournal &journal, QString *refusal);

    QString path;
    QList<ComponentRecord> components;
    QByteArray sha256;
};
