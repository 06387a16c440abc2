#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <sys/types.h>

class StateFolder;

// Which flash pages may not hold what they should, and where each one's content from before is.
// A page is put at risk before an update's first erase, with the copy of the flash that holds
// it as it was then, and stays at risk until an update that ends in "Done" has written and
// verified it. A page at risk keeps the copy from before it was first put at risk: what a later
// copy would hold is a half-written page. So any sequence of updates, crashes and failures adds
// up, and putting back every page from its copy leads all the way back.
//
// It is the state folder's "unfinished-update.json". Read back, it is input like any other:
// bounded in size and checked, and one that does not pass is damaged, which means that pages
// of unknown extent are at risk.
class FlashJournal
{
    Q_DECLARE_TR_FUNCTIONS(FlashJournal)

public:
    struct Copy
    {
        QString file; // in the copies' folder
        qint64 size;
        QByteArray sha256;
    };
    // The process that is updating the flash, told apart from a later one with the same id.
    struct Process
    {
        qint64 pid = 0;
        QString boot;
        quint64 start = 0;

        static Process current();
        bool isRunning() const;
    };

    // An update that put pages at risk and has not taken them off: when its end could not be
    // recorded, the flash may hold its image whole although the record still counts them.
    struct Pending
    {
        QString image;     // the absolute path
        QByteArray sha256; // of the image file, in hexadecimal

        bool operator==(const Pending &other) const
        {
            return image == other.image && sha256 == other.sha256;
        }
    };

    static constexpr const char *fileName = "unfinished-update.json";
    static constexpr qint64 sizeLimit = 1 << 20;
    // A damaged record is kept beside the record under this prefix and the UTC time; while one
    // stands, nothing tells which pages it named, and no copy is deleted.
    static constexpr const char *damagedPrefix = "damaged-record-";

    // The journal in the folder: empty when there is none; damaged() when it cannot be used or
    // a damaged record stands beside it.
    static FlashJournal load(const StateFolder &folder);
    // Under the flash's lock: a record that is a regular file and cannot be read is renamed
    // beside it, and the journal starts afresh, still damaged while the kept file stands. False,
    // with why, when it cannot be renamed.
    static bool setAsideDamaged(const StateFolder &folder, QString *reason);
    // The damaged records that stand, their names in the folder.
    static QStringList keptDamaged(const StateFolder &folder);
    // Under the flash's lock, once the user has checked the flash against a complete image:
    // every damaged record stops counting and stays beside the record under the prefix
    // "cleared-record-". The names it has now; false, with why, when one cannot be renamed.
    static bool clearDamaged(const StateFolder &folder, QStringList *kept, QString *reason);
    static FlashJournal parse(const QByteArray &json);
    // Saves it, or removes the file when no page is at risk.
    bool save(const StateFolder &folder, QString *reason) const;

    bool isEmpty() const { return pages.isEmpty() && damage.isEmpty(); }
    bool damaged() const { return !damage.isEmpty(); }
    bool atRisk(u_int32_t page) const { return pages.contains(page); }
    QList<u_int32_t> pagesAtRisk() const { return pages.keys(); }
    // The copy that holds the page as it was, or -1.
    int copyOf(u_int32_t page) const { return pages.value(page, -1); }
    QList<u_int32_t> pagesWithoutCopy() const;
    // Whether another process, running now, is updating the flash.
    bool updatingElsewhere() const;

    int addCopy(const Copy &copy);
    // Puts the pages at risk with the copy that holds them, or -1; the first update that
    // does so is the one that the texts name.
    void putAtRisk(const QList<u_int32_t> &addresses, int copy, const QString &image);
    void takeOff(const QList<u_int32_t> &addresses);

    // "0x100000 to 0x13ffff, 0x200000 to 0x21ffff": the pages at risk.
    QString atRiskText() const;

    // The start-up warning; copies names the copies' folder.
    QString warning(const QString &copies) const;
    // Why the flash may not hold a complete image, for a later verdict: "since ...". Not for a
    // damaged record, which leaves nothing to tell.
    QString since() const;
    // Where the way back is: the one copy that holds every page at risk that has one, or the
    // copies' folder when several do; empty when none does.
    QString wayBack(const QString &copies) const;
    // "0x100000 to 0x13ffff, 0x200000 to 0x21ffff": the pages at risk that no copy holds.
    QString withoutCopyText() const;

    QString image;     // the first update that put pages at risk
    QDateTime started; // UTC
    QString failure;   // where that update failed, when it did: "KERN (2 of 3, at 0x100000)"
    QList<Copy> copies;
    QMap<u_int32_t, int> pages; // page address to the index of its copy, or -1
    Process process;            // pid 0 when no update is running
    QString damage;             // why the record cannot be used, naming the file
    bool damagedFile = false;   // the record itself is damaged, not yet set aside
    int updates = 0;            // how many unfinished updates put the pages at risk
    QList<Pending> pending;

private:
    QString describe() const;
    static QString runsText(const QList<u_int32_t> &pages);
};
