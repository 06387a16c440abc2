#include "UpdateRecord.h"

#include "AtomicFile.h"
#include "FlashCopies.h"
#include "FlashNode.h"
#include "ImageChecks.h"
#include "ImageFormat.h"
#include "ImageWriter.h"
#include "InstalledVersions.h"
#include "PerUserRecord.h"
#include "StateFolder.h"
#include "VorlanDriver.h"

#include <QCoreApplication>
#include <QDateTime>

namespace {

constexpr u_int32_t transferBlockSize = 1024;

QString notSaved(const QString &reason)
{
    return QCoreApplication::translate("UpdateRecord", "The record of this update could not be "
                                                       "saved: %1. The flash was not changed.")
        .arg(reason);
}

QString hex(u_int32_t value)
{
    return QString::number(value, 16);
}

} // namespace

UpdateRecord::UpdateRecord(const StateFolder &folder, int flashFd, const Report &report)
    : folder(folder), fd(flashFd), report(report)
{
}

UpdateRecord::~UpdateRecord()
{
    if (!marked)
        return;
    journal.process = FlashJournal::Process();
    save();
}

UpdateRecord::Begun UpdateRecord::begin(const QList<ComponentRecord> &components,
                                        const QString &image, const QByteArray &sha256,
                                        bool saveCopy)
{
    // Under the lock no other run is saving a file: a hidden one is what a killed run left.
    folder.removeLeftovers();
    QString reason;
    if (!FlashJournal::setAsideDamaged(folder, &reason)) {
        trouble = notSaved(reason);
        return Begun::NotSaved;
    }
    // What the release before kept per user belongs to this flash too.
    PerUserRecord::takeIn(folder);
    // Read under the lock: no other update can change it from here on.
    journal = FlashJournal::load(folder);
    pages = pagesOf(components);
    QList<u_int32_t> unprotected;
    for (const u_int32_t page : pages) {
        if (!journal.atRisk(page))
            unprotected.append(page);
    }
    int copy = -1;
    if (saveCopy && !unprotected.isEmpty()) {
        FlashJournal::Copy saved;
        const Begun copied = this->saveCopy(components, unprotected, &saved);
        if (copied != Begun::Ready)
            return copied;
        copy = journal.addCopy(saved);
    }
    first = journal.pagesAtRisk().isEmpty();
    const int updates = journal.updates;
    journal.putAtRisk(unprotected, copy, image);
    counted = journal.updates > updates;
    mine = {image, sha256};
    if (QByteArray::fromHex(sha256).size() == 32)
        journal.pending.append(mine);
    journal.process = FlashJournal::Process::current();
    // An update that nothing remembers could leave pages half written that no later run knows
    // of: it does not start.
    marked = true;
    if (!save()) {
        marked = false;
        trouble = notSaved(trouble);
        return Begun::NotSaved;
    }
    return Begun::Ready;
}

void UpdateRecord::failed(const QString &component)
{
    if (first)
        journal.failure = component;
    journal.process = FlashJournal::Process();
    marked = false;
    save();
}

UpdateRecord::Ended UpdateRecord::verified()
{
    journal.takeOff(pages);
    // This update is no longer one of the unfinished ones.
    if (counted && journal.updates > 1)
        --journal.updates;
    journal.process = FlashJournal::Process();
    journal.pending.removeAll(mine);
    marked = false;
    // Until the record says so, a later put-back finds the pending update and checks the flash
    // against its image before it undoes anything.
    if (!save())
        return Ended::NotRecorded;
    // While a damaged record stands, any copy may be the only way back.
    if (!journal.damaged()) {
        QStringList named;
        for (const FlashJournal::Copy &held : journal.copies)
            named << held.file;
        FlashCopies::prune(folder, named);
    }
    if (journal.damaged())
        return Ended::Unknown;
    return journal.isEmpty() ? Ended::Complete : Ended::OthersAtRisk;
}

bool UpdateRecord::save()
{
    return journal.save(folder, &trouble);
}

// Saves the pages that the update will erase and that no copy holds yet, as an image that puts
// them back, before the first erase: a block for each run of them within a component. It is
// read back before anything depends on it. The blocks' version is the installed software's.
UpdateRecord::Begun UpdateRecord::saveCopy(const QList<ComponentRecord> &components,
                                           const QList<u_int32_t> &pages, FlashJournal::Copy *saved)
{
    InstalledVersionWords installed{0, 0, 0};
    readInstalledVersionWords(&installed);
    QList<ComponentRecord> blocks;
    for (const ComponentRecord &c : components) {
        bool extending = false;
        for (const u_int32_t page : pagesOf({c})) {
            extending = extending && pages.contains(page);
            if (!pages.contains(page))
                continue;
            if (!extending) {
                ComponentRecord block = c;
                block.version = installed.software;
                block.flashAddress = page;
                block.size = ImageFormat::headerSize;
                blocks.append(block);
                extending = true;
            }
            blocks.last().size += flashPageSize;
        }
    }
    const QString name = FlashCopies::newName(folder, QDateTime::currentDateTimeUtc());
    const QString path = folder.path(StateFolder::Copies) + QLatin1Char('/') + name;
    report.copying(path);

    AtomicFile file(folder, StateFolder::Copies, name);
    std::optional<u_int32_t> unread;
    QString problem;
    if (blocks.size() > ImageFormat::componentLimit) {
        problem = tr("its pages lie in more than %1 pieces").arg(ImageFormat::componentLimit);
    } else if (!file.open()) {
        problem = file.errorString();
    } else if (!copyPages(blocks, file, &unread)) {
        if (unread) {
            trouble =
                tr("Error reading Flash memory at 0x%1 for a copy. The flash was not changed.")
                    .arg(hex(*unread));
            return Begun::FlashUnreadable;
        }
        problem = file.errorString();
    } else if (!file.commit()) {
        problem = file.errorString();
    } else if (!FlashCopies::unchanged(folder, name, file.size(), file.sha256(), &problem)) {
        // Only a copy that reads back as written may let the erase begin.
        problem = tr("it reads back otherwise than it was written");
    }
    if (!problem.isEmpty()) {
        trouble = tr("No copy of the flash could be saved: %1.").arg(problem);
        return Begun::CopyNotSaved;
    }
    *saved = {name, file.size(), file.sha256()};
    savedCopy = path;
    return Begun::Ready;
}

// Streams the pages into the copy one at a time, in transfer blocks as the read-back reads, so
// it costs no more memory than one page. False with the address when the flash cannot be read,
// without one when the file cannot be written.
bool UpdateRecord::copyPages(const QList<ComponentRecord> &blocks, AtomicFile &file,
                             std::optional<u_int32_t> *unread)
{
    FlashNode node(fd);
    quint64 total = 0;
    for (const ComponentRecord &block : blocks)
        total += block.dataLength();
    QByteArray page(int(flashPageSize), Qt::Uninitialized);
    quint64 done = 0;
    for (int i = 0; i < blocks.size(); ++i) {
        const ComponentRecord &block = blocks.at(i);
        const bool last = i == blocks.size() - 1;
        if (!file.write(blockHeader(block, last ? 0 : block.size)))
            return false;
        if (!node.seek(block.flashAddress)) {
            *unread = block.flashAddress;
            return false;
        }
        for (u_int32_t offset = 0; offset < block.dataLength(); offset += flashPageSize) {
            for (u_int32_t at = 0; at < flashPageSize; at += transferBlockSize) {
                if (node.readUpTo(page.data() + at, transferBlockSize) != transferBlockSize) {
                    *unread = block.flashAddress + offset + at;
                    return false;
                }
            }
            if (!file.write(page))
                return false;
            done += flashPageSize;
            report.progress(int(done * 100 / total));
        }
    }
    return true;
}
