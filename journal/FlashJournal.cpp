#include "FlashJournal.h"

#include "AtomicFile.h"
#include "FlashCopies.h"
#include "StateFolder.h"
#include "SystemError.h"
#include "VorlanDriver.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr quint64 flashSpace = 0x100000000ull;

// /proc/PID/stat's start time, in clock ticks since boot; 0 when there is no such process.
quint64 startTime(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.read(4096);
    // The command name may hold blanks and parentheses: the fields start after the last ')'.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.value(19).toULongLong();
}

QString bootId()
{
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.read(64).trimmed())
                                          : QString();
}

// A whole number within [low, high], or -1.
qint64 whole(const QJsonValue &value, qint64 low, qint64 high)
{
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || number != std::floor(number) || number < double(low) ||
        number > double(high))
        return -1;
    return qint64(number);
}

QString hex(u_int32_t value)
{
    return QStringLiteral("0x") + QString::number(value, 16);
}

// The name under which a damaged record stays once the user has cleared it.
QString clearedName(const QString &damaged)
{
    return QStringLiteral("cleared-record-") +
           damaged.mid(int(strlen(FlashJournal::damagedPrefix)));
}

} // namespace

FlashJournal::Process FlashJournal::Process::current()
{
    return {qint64(getpid()), bootId(), startTime(getpid())};
}

bool FlashJournal::Process::isRunning() const
{
    return pid > 0 && boot == bootId() && start != 0 && startTime(pid) == start;
}

FlashJournal FlashJournal::load(const StateFolder &folder)
{
    QByteArray content;
    QString reason;
    FlashJournal journal;
    switch (folder.read(StateFolder::Top, QLatin1String(fileName), sizeLimit, &content, &reason)) {
    case StateFolder::Read::Missing:
        break;
    case StateFolder::Read::Refused:
        journal.damage = reason;
        journal.damagedFile = true;
        break;
    case StateFolder::Read::Done:
        journal = parse(content);
        if (journal.damaged()) {
            journal.damage = folder.path() + QLatin1Char('/') + QLatin1String(fileName);
            journal.damagedFile = true;
        }
        break;
    }
    const QStringList kept = keptDamaged(folder);
    if (!journal.damaged() && !kept.isEmpty())
        journal.damage = tr("kept as %1").arg(folder.path() + QLatin1Char('/') + kept.first());
    return journal;
}

QStringList FlashJournal::keptDamaged(const StateFolder &folder)
{
    QStringList kept =
        folder.names(StateFolder::Top)
            .filter(QRegularExpression(QStringLiteral("^") + QLatin1String(damagedPrefix) +
                                       QStringLiteral("[0-9-]+\\.json$")));
    kept.sort();
    return kept;
}

bool FlashJournal::setAsideDamaged(const StateFolder &folder, QString *reason)
{
    const FlashJournal journal = load(folder);
    struct stat info;
    // A link or a pipe in its place was put there by hand: the record is not saved over it.
    if (!journal.damagedFile ||
        fstatat(folder.descriptor(StateFolder::Top), fileName, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode))
        return true;
    const QString stem = QLatin1String(damagedPrefix) + QDateTime::currentDateTimeUtc().toString(
                                                            QStringLiteral("yyyyMMdd-HHmmss"));
    QString kept = stem + QStringLiteral(".json");
    // Nor the name of one cleared before it, which would be renamed over that one.
    for (int n = 2; folder.exists(StateFolder::Top, kept) ||
                    folder.exists(StateFolder::Top, clearedName(kept));
         ++n)
        kept = stem + QStringLiteral("-%1.json").arg(n);
    if (folder.rename(StateFolder::Top, QLatin1String(fileName), kept))
        return true;
    *reason = tr("the damaged record %1 cannot be set aside: %2")
                  .arg(journal.damage, systemErrorText(errno));
    return false;
}

bool FlashJournal::clearDamaged(const StateFolder &folder, QStringList *kept, QString *reason)
{
    if (!setAsideDamaged(folder, reason))
        return false;
    for (const QString &name : keptDamaged(folder)) {
        const QString cleared = clearedName(name);
        if (!folder.rename(StateFolder::Top, name, cleared)) {
            *reason = tr("%1 cannot be renamed: %2")
                          .arg(folder.path() + QLatin1Char('/') + name, systemErrorText(errno));
            return false;
        }
        kept->append(folder.path() + QLatin1Char('/') + cleared);
    }
    return true;
}

// Everything is checked before it is used: the pages lie within the 32-bit flash space, on page
// boundaries, and name copies that the file lists by plain names.
FlashJournal FlashJournal::parse(const QByteArray &json)
{
    FlashJournal journal;
    const auto damaged = [] {
        FlashJournal broken;
        broken.damage = QStringLiteral("damaged");
        return broken;
    };
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return damaged();
    const QJsonObject root = document.object();
    journal.image = root.value(QLatin1String("image")).toString();
    journal.started =
        QDateTime::fromString(root.value(QLatin1String("started")).toString(), Qt::ISODate);
    journal.failure = root.value(QLatin1String("failure")).toString();
    for (const QJsonValue &value : root.value(QLatin1String("copies")).toArray()) {
        const QJsonObject copy = value.toObject();
        const QString file = copy.value(QLatin1String("file")).toString();
        const QByteArray sha256 =
            QByteArray::fromHex(copy.value(QLatin1String("sha256")).toString().toLatin1());
        const qint64 size = whole(copy.value(QLatin1String("size")), 0, qint64(1) << 40);
        if (!FlashCopies::isCopyName(file) || sha256.size() != 32 || size < 0)
            return damaged();
        journal.copies.append({file, size, sha256});
    }
    const QJsonValue pages = root.value(QLatin1String("pages"));
    if (!pages.isArray())
        return damaged();
    // No flash has more pages than the 32-bit space holds; a file that names more is not one
    // this tool wrote.
    qint64 named = 0;
    for (const QJsonValue &value : pages.toArray()) {
        const QJsonObject run = value.toObject();
        const qint64 address = whole(run.value(QLatin1String("address")), 0, flashSpace - 1);
        const qint64 count =
            whole(run.value(QLatin1String("count")), 1, qint64(flashSpace / flashPageSize));
        // A copy beyond the list is no copy at all: the record is not one this tool wrote.
        const QJsonValue copyValue = run.value(QLatin1String("copy"));
        const qint64 copy = whole(copyValue, -1, journal.copies.size() - 1);
        if (address < 0 || count < 0 || (copy == -1 && copyValue.toDouble(0) != -1.0) ||
            address % flashPageSize != 0 ||
            quint64(address) + quint64(count) * flashPageSize > flashSpace ||
            (named += count) > qint64(flashSpace / flashPageSize))
            return damaged();
        for (qint64 k = 0; k < count; ++k)
            journal.pages.insert(u_int32_t(address + k * flashPageSize), int(copy));
    }
    journal.updates = int(qMax<qint64>(whole(root.value(QLatin1String("updates")), 1, 1 << 30), 1));
    for (const QJsonValue &value : root.value(QLatin1String("pending")).toArray()) {
        const QJsonObject entry = value.toObject();
        const QByteArray sha256 = entry.value(QLatin1String("sha256")).toString().toLatin1();
        if (QByteArray::fromHex(sha256).size() != 32)
            return damaged();
        journal.pending.append({entry.value(QLatin1String("image")).toString(), sha256});
    }
    const QJsonValue process = root.value(QLatin1String("process"));
    if (process.isObject()) {
        const QJsonObject fields = process.toObject();
        journal.process.pid = whole(fields.value(QLatin1String("pid")), 1, 1 << 30);
        journal.process.boot = fields.value(QLatin1String("boot")).toString();
        journal.process.start =
            quint64(whole(fields.value(QLatin1String("start")), 0, qint64(1) << 52));
        if (journal.process.pid < 0 || journal.process.start == quint64(-1))
            return damaged();
    }
    return journal;
}

bool FlashJournal::save(const StateFolder &folder, QString *reason) const
{
    if (pages.isEmpty()) {
        if (folder.remove(StateFolder::Top, QLatin1String(fileName)))
            return true;
        *reason = tr("it cannot be removed from %1").arg(folder.path());
        return false;
    }
    QJsonArray copyList;
    for (const Copy &copy : copies)
        copyList.append(QJsonObject{{"file", copy.file},
                                    {"size", double(copy.size)},
                                    {"sha256", QString::fromLatin1(copy.sha256.toHex())}});
    // Runs of pages that follow each other and share their copy, so that even a flash whose
    // every page is at risk makes a small file.
    QJsonArray pageList;
    for (auto it = pages.constBegin(); it != pages.constEnd();) {
        const u_int32_t first = it.key();
        const int copy = it.value();
        qint64 count = 0;
        while (it != pages.constEnd() && it.value() == copy &&
               quint64(it.key()) == quint64(first) + quint64(count) * flashPageSize) {
            ++count;
            ++it;
        }
        pageList.append(
            QJsonObject{{"address", double(first)}, {"count", double(count)}, {"copy", copy}});
    }
    QJsonArray pendingList;
    for (const Pending &entry : pending)
        pendingList.append(
            QJsonObject{{"image", entry.image}, {"sha256", QString::fromLatin1(entry.sha256)}});
    QJsonObject root{{"image", image},     {"started", started.toString(Qt::ISODate)},
                     {"updates", updates}, {"copies", copyList},
                     {"pages", pageList},  {"pending", pendingList}};
    if (!failure.isEmpty())
        root.insert(QLatin1String("failure"), failure);
    if (process.pid > 0)
        root.insert(QLatin1String("process"), QJsonObject{{"pid", double(process.pid)},
                                                          {"boot", process.boot},
                                                          {"start", double(process.start)}});
    AtomicFile file(folder, StateFolder::Top, QLatin1String(fileName));
    if (file.open() && file.write(QJsonDocument(root).toJson()) && file.commit())
        return true;
    *reason = file.errorString();
    return false;
}

QList<u_int32_t> FlashJournal::pagesWithoutCopy() const
{
    QList<u_int32_t> found;
    for (auto it = pages.constBegin(); it != pages.constEnd(); ++it) {
        if (it.value() < 0)
            found.append(it.key());
    }
    return found;
}

bool FlashJournal::updatingElsewhere() const
{
    return process.pid != getpid() && process.isRunning();
}

int FlashJournal::addCopy(const Copy &copy)
{
    copies.append(copy);
    return copies.size() - 1;
}

void FlashJournal::putAtRisk(const QList<u_int32_t> &addresses, int copy, const QString &image)
{
    if (pages.isEmpty()) {
        this->image = image;
        started = QDateTime::currentDateTimeUtc();
        failure.clear();
        updates = 0;
    }
    // A put-back, or an update of pages all at risk already, adds no unfinished update.
    if (std::any_of(addresses.begin(), addresses.end(),
                    [this](u_int32_t page) { return !pages.contains(page); }))
        ++updates;
    for (const u_int32_t page : addresses) {
        if (!pages.contains(page))
            pages.insert(page, copy);
    }
}

void FlashJournal::takeOff(const QList<u_int32_t> &addresses)
{
    for (const u_int32_t page : addresses)
        pages.remove(page);
    if (pages.isEmpty()) {
        updates = 0;
        pending.clear();
    }
    // Copies that hold no page at risk any more are no longer the way back.
    QList<Copy> kept;
    QMap<int, int> renumbered{{-1, -1}};
    for (auto it = pages.begin(); it != pages.end(); ++it) {
        if (!renumbered.contains(it.value())) {
            renumbered.insert(it.value(), kept.size());
            kept.append(copies.at(it.value()));
        }
        it.value() = renumbered.value(it.value());
    }
    copies = kept;
}

QString FlashJournal::describe() const
{
    const QString name = image.isEmpty() ? tr("an unknown image") : image;
    const QString when =
        started.isValid() ? FlashCopies::timeText(started) : tr("at an unknown time");
    if (updates > 1)
        return tr("the first of %n unfinished updates (%1, started %2)", nullptr, updates)
            .arg(name, when);
    return tr("the last update (%1, started %2)").arg(name, when);
}

QString FlashJournal::warning(const QString &copiesFolder) const
{
    if (damaged())
        return tr("The record of an earlier update is damaged (%1), so the tool cannot tell "
                  "whether pages of the flash are at risk. Put back a copy of the flash that you "
                  "choose, or update with a complete image, and once the flash holds it clear "
                  "the damaged record (vorlan-flash clear-damaged IMAGE, or Clear Damaged Record "
                  "in the window), before restarting the computer.")
            .arg(damage);
    if (updatingElsewhere())
        return tr("Another program is updating the flash now (process %1). Do not "
                  "restart the computer before it has finished.")
            .arg(process.pid);
    QString text = tr("%1 did not finish: the flash may not hold a complete image. Update again, "
                      "or put back the pages that it left at risk as they were, before "
                      "restarting the computer.")
                       .arg(describe());
    text[0] = text.at(0).toUpper();
    const QString back = wayBack(copiesFolder);
    if (back == copiesFolder)
        text += tr(" Copies of the flash as it was before are in %1.").arg(back);
    else if (!back.isEmpty())
        text += tr(" A copy of the flash as it was before is in %1.").arg(back);
    if (!pagesWithoutCopy().isEmpty())
        text += tr(" No copy holds the flash at %1.").arg(withoutCopyText());
    return text;
}

QString FlashJournal::since() const
{
    if (!failure.isEmpty())
        return tr("since the update that failed at component %1").arg(failure);
    return tr("since %1 did not finish").arg(describe());
}

QString FlashJournal::wayBack(const QString &copiesFolder) const
{
    QList<int> used;
    for (const int copy : pages) {
        if (copy >= 0 && !used.contains(copy))
            used.append(copy);
    }
    if (used.size() > 1)
        return copiesFolder;
    return used.isEmpty() ? QString()
                          : copiesFolder + QLatin1Char('/') + copies.at(used.first()).file;
}

QString FlashJournal::withoutCopyText() const
{
    return runsText(pagesWithoutCopy());
}

QString FlashJournal::atRiskText() const
{
    return runsText(pagesAtRisk());
}

QString FlashJournal::runsText(const QList<u_int32_t> &pages)
{
    QStringList runs;
    for (int i = 0; i < pages.size();) {
        int j = i;
        while (j + 1 < pages.size() && quint64(pages[j + 1]) == quint64(pages[j]) + flashPageSize)
            ++j;
        runs << tr("%1 to %2", "a run of flash addresses")
                    .arg(hex(pages[i]), hex(pages[j] + flashPageSize - 1));
        i = j + 1;
    }
    return runs.join(QStringLiteral(", "));
}
