#pragma once

#include "ComponentRecord.h"
#include "FlashJournal.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <sys/types.h>

#include <functional>
#include <optional>

class AtomicFile;
class StateFolder;

// What one update writes of the way back, under the flash's lock: before its first erase a copy
// of the pages it will erase that are not at risk yet, and the record that puts them at risk;
// at its end the record again, as the run ended. Between the two the update only programs the
// flash: nothing of the record is written while it does.
class UpdateRecord
{
    Q_DECLARE_TR_FUNCTIONS(UpdateRecord)

public:
    enum class Begun
    {
        Ready,
        FlashUnreadable, // a page could not be read for the copy
        CopyNotSaved,
        NotSaved // the record could not be saved; nothing is at risk
    };
    enum class Ended
    {
        Complete,     // no page is at risk any more
        OthersAtRisk, // pages that earlier updates left remain
        Unknown,      // a damaged record stands: nobody can tell what else is at risk
        NotRecorded   // the flash holds the image, but the record still counts its pages
    };
    // How the copy's saving is told: its path as it starts, then its progress in percent.
    struct Report
    {
        std::function<void(const QString &path)> copying;
        std::function<void(int percent)> progress;
    };

    UpdateRecord(const StateFolder &folder, int flashFd, const Report &report);
    // A run that leaves another way than through ended() or failed() still stops being named
    // as the one updating.
    ~UpdateRecord();
    UpdateRecord(const UpdateRecord &) = delete;
    UpdateRecord &operator=(const UpdateRecord &) = delete;

    // Before the first erase of the image's components; the image's SHA-256 in hexadecimal.
    Begun begin(const QList<ComponentRecord> &components, const QString &image,
                const QByteArray &sha256, bool saveCopy);
    // After a failure once the flash was changed, at the component that failed.
    void failed(const QString &component);
    // After every component was written and verified.
    Ended verified();

    // The status text of a begin() that did not get ready, or why the record could not be
    // updated at the end.
    QString problem() const { return trouble; }
    QString copyPath() const { return savedCopy; }
    // Why the flash may still not hold a complete image, after ended(): "since ...".
    QString since() const { return journal.since(); }

private:
    Begun saveCopy(const QList<ComponentRecord> &components, const QList<u_int32_t> &pages,
                   FlashJournal::Copy *saved);
    bool copyPages(const QList<ComponentRecord> &blocks, AtomicFile &file,
                   std::optional<u_int32_t> *unread);
    bool save();

    const StateFolder &folder;
    int fd;
    Report report;
    FlashJournal journal;
    FlashJournal::Pending mine;
    QList<u_int32_t> pages; // of this update
    bool first = false;     // no page was at risk before it
    bool counted = false;   // it counts among the unfinished updates
    bool marked = false;    // the record names this process as updating
    QString savedCopy;
    QString trouble;
};
