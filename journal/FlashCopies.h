#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class StateFolder;

// The copies of the flash that updates save before their first erase, each an update image
// that puts back the pages it holds. They live in the state folder's "copies".
namespace FlashCopies {

// How many copies that no record names stay after an update that ended in "Done".
constexpr int kept = 5;

struct Copy
{
    QString path;
    QDateTime time; // UTC, from the name
    qint64 size;
};

// flash-YYYYMMDD-HHMMSS.tarnru, or with -N before the extension for the Nth of the same second.
bool isCopyName(const QString &name);

// A name that no copy has yet, from the UTC time.
QString newName(const StateFolder &folder, const QDateTime &utc);

// The copies, newest first.
QList<Copy> list(const StateFolder &folder);

// Deletes all copies but those named and the newest others. Only after an update has ended in
// "Done": until then a copy may be the only way back.
void prune(const StateFolder &folder, const QStringList &named);

// The SHA-256 of the copy as it is now, read without following a link, and its size; empty
// when it cannot be read whole.
QByteArray sha256(const StateFolder &folder, const QString &name, qint64 *size);

// Whether the copy is still the file that was saved: its size and SHA-256. Read without
// following a link; reason says what differs.
bool unchanged(const StateFolder &folder, const QString &name, qint64 size,
               const QByteArray &sha256, QString *reason);

// The local time, to the second, as the user's locale writes it; without a locale (and for
// --json) as ISO 8601 does.
QString timeText(const QDateTime &time);

} // namespace FlashCopies
