#include "PerUserRecord.h"

#include "AtomicFile.h"
#include "FlashCopies.h"
#include "FlashJournal.h"
#include "Sha256.h"
#include "StateFolder.h"
#include "SystemError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *recordName = "unfinished-update.json";
constexpr const char *takenInName = "unfinished-update.json.taken-in";

// Opens a folder or a file below parent that belongs to the user the tool runs as, never
// through a link; -1 otherwise. Nobody else may change a folder's entries; a file's group may
// be the user's own.
int openOwn(int parent, const QString &name, int flags)
{
    const int fd = openat(parent, QFile::encodeName(name).constData(),
                          flags | O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    if (fd >= 0 &&
        (fstat(fd, &info) != 0 || info.st_uid != geteuid() || (info.st_mode & S_IWOTH) ||
         (S_ISDIR(info.st_mode) ? (info.st_mode & S_IWGRP) != 0 : !S_ISREG(info.st_mode)))) {
        close(fd);
        errno = EPERM;
        return -1;
    }
    return fd;
}

// Hands the file to take block by block; false unless every byte was read.
template <typename Take> bool readAll(int fd, qint64 limit, Take take)
{
    QByteArray block(1 << 20, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, block.data(), size_t(block.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        total += n;
        if (total > limit || !take(block.left(int(n))))
            return false;
    }
}

// Copies a copy of the per-user folder into the machine's, when it is still what its record
// says; the name it has there, or empty.
QString takeCopy(const StateFolder &folder, int copies, const FlashJournal::Copy &copy)
{
    const int fd = openOwn(copies, copy.file, 0);
    if (fd < 0)
        return QString();
    const QString name = folder.exists(StateFolder::Copies, copy.file)
                             ? FlashCopies::newName(folder, QDateTime::currentDateTimeUtc())
                             : copy.file;
    AtomicFile file(folder, StateFolder::Copies, name);
    const bool read = file.open() && readAll(fd, copy.size, [&file](const QByteArray &bytes) {
                          return file.write(bytes);
                      });
    close(fd);
    return read && file.size() == copy.size && file.sha256() == copy.sha256 && file.commit()
               ? name
               : QString();
}

} // namespace

QString PerUserRecord::location()
{
    QString base = QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME"));
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base + QStringLiteral("/vorlan-update"));
}

bool PerUserRecord::waiting()
{
    struct stat info;
    return lstat(QFile::encodeName(location() + QLatin1Char('/') + QLatin1String(recordName))
                     .constData(),
                 &info) == 0;
}

QString PerUserRecord::takeIn(const StateFolder &folder)
{
    const QString place = location();
    // The machine's folder is never its own earlier self.
    if (!folder.usable() || QDir(place) == QDir(folder.path()))
        return QString();
    const int dir = openOwn(AT_FDCWD, place, O_DIRECTORY);
    const int fd = dir >= 0 ? openOwn(dir, QLatin1String(recordName), 0) : -1;
    if (fd < 0) {
        const int error = errno;
        if (dir >= 0)
            close(dir);
        return error == ENOENT ? QString()
                               : tr("The record of an earlier update in %1 is not taken in: it "
                                    "could have been changed by another user.")
                                     .arg(place);
    }
    QByteArray content;
    const bool read = readAll(fd, FlashJournal::sizeLimit, [&content](const QByteArray &bytes) {
        content += bytes;
        return true;
    });
    close(fd);
    const FlashJournal earlier = FlashJournal::parse(content);
    QString problem;
    if (!read || earlier.damaged()) {
        // Kept as a damaged record of the machine's: nobody can tell what it named.
        AtomicFile kept(
            folder, StateFolder::Top,
            QLatin1String(FlashJournal::damagedPrefix) +
                QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                QStringLiteral("-per-user.json"));
        if (!kept.open() || !kept.write(content) || !kept.commit())
            problem = kept.errorString();
    } else if (!earlier.pages.isEmpty()) {
        FlashJournal journal = FlashJournal::load(folder);
        const int copies = openOwn(dir, QStringLiteral("copies"), O_DIRECTORY);
        QList<int> taken;
        for (const FlashJournal::Copy &copy : earlier.copies) {
            const QString name = copies >= 0 ? takeCopy(folder, copies, copy) : QString();
            taken << (name.isEmpty() ? -1 : journal.addCopy({name, copy.size, copy.sha256}));
        }
        if (copies >= 0)
            close(copies);
        if (journal.pages.isEmpty()) {
            journal.image = earlier.image;
            journal.started = earlier.started;
            journal.failure = earlier.failure;
            journal.updates = 0;
        }
        journal.updates += earlier.updates;
        journal.pending += earlier.pending;
        // A page at risk in both keeps the machine's copy; one without a copy still is at risk.
        for (auto it = earlier.pages.constBegin(); it != earlier.pages.constEnd(); ++it) {
            if (!journal.atRisk(it.key()))
                journal.pages.insert(it.key(), it.value() >= 0 ? taken.value(it.value()) : -1);
        }
        journal.save(folder, &problem);
    }
    if (problem.isEmpty() && renameat(dir, recordName, dir, takenInName) != 0)
        problem = systemErrorText(errno);
    close(dir);
    if (!problem.isEmpty())
        return tr("The record of an earlier update in %1 could not be taken in: %2.")
            .arg(place, problem);
    if (read && !earlier.damaged() && earlier.pages.isEmpty())
        return QString();
    return tr("The record of an earlier update in %1 is now kept for the flash of the machine "
              "in %2.")
        .arg(place, folder.path());
}
