#pragma once

#include "ComponentRecord.h"
#include "SignatureResult.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

class StateFolder;

// Every update, put-back, restore and verify that opened the flash: who ran it, with what, from
// which front end, and how it ended. It is the state folder's "history.jsonl", one JSON object
// a line, appended with one write each, so that a crash cuts at most the last line, which the
// reader skips. An update adds its line as it starts and another with the same id as it ends:
// one that never ended stays "unfinished". The file is bounded: past the newest entryLimit
// entries or sizeLimit bytes it is rewritten, crash-safely, with the newest entries only.
//
// Read back it is input like any other: a link is refused, a larger file is read from its end,
// and a line that does not pass is skipped and counted.
class FlashHistory
{
public:
    struct Component
    {
        QString name;
        QString version;
        quint32 address = 0;
        quint32 size = 0; // of its data
    };

    struct Entry
    {
        QString id;
        QString kind; // "update", "put-back", "restore" or "verify"
        QDateTime started;
        QDateTime ended; // invalid while unfinished
        qint64 uid = -1;
        QString user;
        QString frontEnd; // "window" or "vorlan-flash"
        QString image;
        QString sha256;
        QString signature; // "good", "none", ... as the image's check names it
        QString signer;
        QString fingerprint;
        QList<Component> components;
        // "written", "failed", "unchanged", "matches", "differs" or "unfinished"
        QString outcome = QStringLiteral("unfinished");
        QString verdict; // the verdict's text
        QString copy;    // the copy of the flash saved before, or empty

        // A new entry of this process's user, started now, with a fresh id.
        static Entry begin(const QString &kind, const QString &frontEnd);
        // The image as its check found it.
        void setImage(const QString &path, const QList<ComponentRecord> &records,
                      const QByteArray &sha256Hex, const SignatureResult &origin);
        bool failed() const;
        // For a person, in their language: "update", "put back", ...; "written", "failed", ...
        QString kindText() const;
        QString outcomeText() const;
        // The start in local time, as the user's locale writes it.
        QString startText() const;
        // The signature as the image's check said it: "Signed by NAME, key …ID", "Not signed", ...
        QString signatureText() const;
        bool unfinished() const { return outcome == QLatin1String("unfinished"); }
        QJsonObject toJson() const;
        static bool fromJson(const QJsonObject &object, Entry *entry);
    };

    struct Contents
    {
        QList<Entry> entries; // oldest first
        int skipped = 0;      // lines that could not be read
        QString refusal;      // why the file could not be read at all, as a sentence, or empty
    };

    static constexpr const char *fileName = "history.jsonl";
    static constexpr int entryLimit = 1000;
    static constexpr qint64 sizeLimit = 1 << 20;
    // A line longer than this is not one the tool wrote.
    static constexpr int lineLimit = 64 << 10;
    // How long an append waits for another process's, in milliseconds.
    static constexpr int lockWait = 2000;

    // The file's path, for messages.
    static QString path(const StateFolder &folder);
    static Contents load(const StateFolder &folder);
    static Contents parse(const QByteArray &lines);
    // Appends the entry's line, trimming the file first when it would pass its bounds.
    static bool append(const StateFolder &folder, const Entry &entry, QString *reason);
    // Appends the entry to the state folder's history and tells the system's journal. A history
    // that cannot be written is warned of: it never stops an update.
    static void record(const Entry &entry);
};
