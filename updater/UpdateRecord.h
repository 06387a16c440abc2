#pragma once

#include "ComponentRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The note that an update has begun erasing and the flash has not held a complete image since.
// It is written before the first erase and names the flash pages that may not hold what they
// should; a run that ends in "Done" takes its own pages off, and the note goes once none are
// left. So a start after a crash, a kill or a power loss, and a later update of other pages,
// still know that the flash may not hold a complete image.
struct UpdateRecord
{
    QString image;     // of the first update that did not finish
    QDateTime started; // UTC
    QList<ComponentRecord> components;
    QString copy;           // the copy of the flash saved before that update, if any
    QList<u_int32_t> pages; // the addresses of the pages at risk, in order

    // Written to a temporary file, synced and renamed, so a crash leaves the old or the new one.
    bool save() const;

    // Whether a record is there; one that cannot be read counts as there.
    static bool exists();
    // The record; an unreadable one has empty fields.
    static UpdateRecord load();
    static void remove();

    // The record for an update of these components that is about to erase: this one, if any,
    // with their pages added, or a new one.
    static UpdateRecord beginning(const QString &image, const QList<ComponentRecord> &components,
                                  const QString &copy);
    // Takes the pages of these components, now written and verified, off the record, and
    // removes it when none are left. Returns whether any are left.
    static bool finished(const QList<ComponentRecord> &components);

    // The start-up warning.
    QString warning() const;
    // Why the flash may not hold a complete image, for a later verdict: "since ...".
    QString since() const;

private:
    QString describe() const;
};
