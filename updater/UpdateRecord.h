#pragma once

#include "ComponentRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The note that an update has begun erasing and has not yet ended in "Done". It is written
// before the first erase and removed after "Done", so that a start after a crash, a kill or a
// power loss knows that the flash may not hold a complete image.
struct UpdateRecord
{
    QString image;
    QDateTime started; // UTC
    QList<ComponentRecord> components;
    QString copy; // the copy of the flash saved before the update, if any

    // Written to a temporary file, synced and renamed, so a crash leaves the old or the new one.
    bool save() const;

    // Whether a record is there; one that cannot be read counts as there.
    static bool exists();
    // The record; an unreadable one has empty fields.
    static UpdateRecord load();
    static void remove();

    // The start-up warning.
    QString warning() const;
    // Why the flash may not hold a complete image, for a later verdict: "since ...".
    QString since() const;

private:
    QString describe() const;
};
