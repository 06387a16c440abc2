#include "PutBackImage.h"

#include "AtomicFile.h"
#include "FlashJournal.h"
#include "ImageFormat.h"
#include "ImageReader.h"
#include "ImageWriter.h"
#include "Sha256.h"
#include "StateFolder.h"
#include "VorlanDriver.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>

#include <algorithm>
#include <functional>
#include <unistd.h>

namespace {

// A run of pages at risk that one block of one copy holds one after the other.
struct Run
{
    int copy;
    ComponentRecord block; // the copy's block, its flash address and size those of the run
    qint64 source;         // where the run's first page lies in the copy
};

// Reads the copy once from start to end, hashing all of it and handing the bytes of each run to
// take, in the order of the runs. False when it cannot be read whole or not as given.
bool readCopy(int fd, qint64 size, const QByteArray &sha256, const QList<Run> &runs,
              const std::function<bool(const Run &, const QByteArray &)> &take)
{
    Sha256 hash;
    QByteArray bytes;
    qint64 at = 0;
    // Hashes and keeps count bytes from where the last read ended.
    const auto read = [&](qint64 count) {
        bytes.resize(int(count));
        for (qint64 done = 0; done < count;) {
            const ssize_t n = pread(fd, bytes.data() + done, size_t(count - done), at + done);
            if (n <= 0)
                return false;
            done += n;
        }
        hash.addData(bytes);
        at += count;
        return true;
    };
    const auto skipTo = [&](qint64 end) {
        while (at < end) {
            if (!read(qMin<qint64>(end - at, flashPageSize)))
                return false;
        }
        return true;
    };
    for (const Run &run : runs) {
        if (run.source < at || run.source + run.block.dataLength() > size)
            return false;
        for (qint64 page = 0; page < run.block.dataLength(); page += flashPageSize) {
            if (!skipTo(run.source + page) || !read(flashPageSize) || !take(run, bytes))
                return false;
        }
    }
    if (!skipTo(size))
        return false;
    char extra;
    return pread(fd, &extra, 1, at) == 0 && hash.result() == sha256;
}

} // namespace

bool PutBackImage::build(const StateFolder &folder, const FlashJournal &journal, QString *refusal)
{
    const QList<u_int32_t> pages = journal.pagesAtRisk();
    if (pages.size() == journal.pagesWithoutCopy().size()) {
        *refusal = pages.isEmpty() ? tr("No update has left pages of the flash at risk: there is "
                                        "nothing to put back.")
                                   : tr("No copy holds the flash at %1: it cannot be put back.")
                                         .arg(journal.withoutCopyText());
        return false;
    }
    const QString copies = folder.path(StateFolder::Copies);
    QList<Run> runs;
    QList<int> fds;
    const auto closeAll = [&fds] {
        for (const int fd : fds)
            close(fd);
    };
    for (int c = 0; c < journal.copies.size(); ++c) {
        const FlashJournal::Copy &copy = journal.copies.at(c);
        *refusal = tr("The copy %1/%2 has changed since it was saved.").arg(copies, copy.file);
        qint64 size = -1;
        const int fd = folder.openFile(StateFolder::Copies, copy.file, &size);
        if (fd < 0) {
            *refusal = tr("The copy cannot be used: %1.")
                           .arg(folder.openProblem(StateFolder::Copies, copy.file, errno));
            closeAll();
            return false;
        }
        QFile file;
        QList<ComponentRecord> blocks;
        QString readProblem;
        if ((fds.append(fd), size != copy.size) || !file.open(fd, QIODevice::ReadOnly) ||
            readImageComponents(file, blocks, &readProblem) != 0) {
            closeAll();
            return false;
        }
        for (const u_int32_t page : pages) {
            if (journal.copyOf(page) != c)
                continue;
            const auto holder = std::find_if(blocks.begin(), blocks.end(), [page](auto &b) {
                return b.flashAddress <= page &&
                       quint64(page) + flashPageSize <= quint64(b.flashAddress) + b.dataLength();
            });
            if (holder == blocks.end()) {
                closeAll();
                return false;
            }
            const qint64 source = qint64(holder->fileOffset) + ImageFormat::headerSize +
                                  (page - holder->flashAddress);
            Run *last = runs.isEmpty() ? nullptr : &runs.last();
            if (last && last->copy == c && last->source + last->block.dataLength() == source &&
                quint64(last->block.flashAddress) + last->block.dataLength() == page) {
                last->block.size += flashPageSize;
            } else {
                ComponentRecord block = *holder;
                block.flashAddress = page;
                block.size = ImageFormat::headerSize + flashPageSize;
                runs.append({c, block, source});
            }
        }
    }
    if (runs.size() > ImageFormat::componentLimit) {
        closeAll();
        *refusal = tr("The pages at risk lie in more than %1 pieces: put back the "
                      "copies one by one.")
                       .arg(ImageFormat::componentLimit);
        return false;
    }
    std::stable_sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) {
        return a.copy != b.copy ? a.copy < b.copy : a.source < b.source;
    });

    AtomicFile image(folder, StateFolder::Top, QLatin1String(fileName));
    bool written = image.open();
    if (!written) {
        closeAll();
        *refusal = tr("The flash cannot be put back: %1 cannot be written: %2.")
                       .arg(folder.path() + QLatin1Char('/') + QLatin1String(fileName),
                            image.errorString());
        return false;
    }
    components.clear();
    qint64 started = -1; // the source of the run whose block is being written
    for (int c = 0; written && c < journal.copies.size(); ++c) {
        QList<Run> mine;
        for (const Run &run : runs) {
            if (run.copy == c)
                mine.append(run);
        }
        if (mine.isEmpty())
            continue;
        started = -1;
        *refusal = tr("The copy %1/%2 has changed since it was saved.")
                       .arg(copies, journal.copies.at(c).file);
        written = readCopy(fds.at(c), journal.copies.at(c).size, journal.copies.at(c).sha256, mine,
                           [&](const Run &run, const QByteArray &page) {
                               if (started != run.source) {
                                   ComponentRecord block = run.block;
                                   block.fileOffset = u_int32_t(image.size());
                                   const bool last = components.size() == runs.size() - 1;
                                   components.append(block);
                                   started = run.source;
                                   if (!image.write(blockHeader(block, last ? 0 : block.size)))
                                       return false;
                               }
                               return image.write(page);
                           });
        if (!written)
            break;
    }
    closeAll();
    if (!written)
        return false;
    if (!image.commit()) {
        *refusal = tr("The flash cannot be put back: %1 cannot be written: %2.")
                       .arg(folder.path() + QLatin1Char('/') + QLatin1String(fileName),
                            image.errorString());
        return false;
    }
    path = folder.path() + QLatin1Char('/') + QLatin1String(fileName);
    sha256 = image.sha256();
    refusal->clear();
    return true;
}
