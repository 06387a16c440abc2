#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// The copies of the flash that updates save before their first erase, each an update image
// that puts back what the update erased. They live in the state folder's "copies".
namespace FlashCopies {

// How many copies stay after an update that ended in "Done".
constexpr int kept = 5;

struct Copy
{
    QString path;
    QDateTime time; // UTC, from the name
    qint64 size;
};

QString folder();

// A name that no copy has yet, from the UTC time: flash-20261206-201503.tarnru.
QString newPath(const QDateTime &utc);

// The copies, newest first.
QList<Copy> list();

// Deletes all but the newest copies. Only after an update has ended in "Done": until then a
// copy may be the only way back.
void prune();

} // namespace FlashCopies
