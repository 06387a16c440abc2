#include "AtomicFile.h"

#include "SystemError.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

AtomicFile::AtomicFile(const StateFolder &folder, StateFolder::Place place, const QString &name)
    : folder(folder), place(place), name(name)
{
}

AtomicFile::~AtomicFile()
{
    if (fd >= 0)
        close(fd);
    if (!temporary.isEmpty())
        unlinkat(folder.descriptor(place), temporary.constData(), 0);
}

bool AtomicFile::fail(const QString &reason)
{
    error = reason;
    return false;
}

bool AtomicFile::open()
{
    if (!folder.usable())
        return fail(folder.problem());
    const QByteArray target = QFile::encodeName(name);
    struct stat info;
    if (fstatat(folder.descriptor(place), target.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(info.st_mode))
        return fail((S_ISLNK(info.st_mode) ? tr("%1/%2 is a symbolic link")
                                           : tr("%1/%2 is not a regular file"))
                        .arg(folder.path(place), name));
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        temporary =
            '.' + target + '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd = openat(folder.descriptor(place), temporary.constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0660);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int reason = errno;
        temporary.clear();
        return fail(systemErrorText(reason));
    }
    // Every user who may write the flash reads and replaces what the others saved: a strict
    // umask must not hide it from them.
    if (fchmod(fd, 0660) != 0)
        return fail(systemErrorText(errno));
    return true;
}

bool AtomicFile::write(const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(systemErrorText(n < 0 ? errno : ENOSPC));
        done += n;
    }
    hash.addData(bytes);
    written += done;
    return true;
}

bool AtomicFile::commit()
{
    const int dirFd = folder.descriptor(place);
    if (fsync(fd) != 0)
        return fail(systemErrorText(errno));
    const int closed = close(fd);
    fd = -1;
    if (closed != 0)
        return fail(systemErrorText(errno));
    if (renameat(dirFd, temporary.constData(), dirFd, QFile::encodeName(name).constData()) != 0)
        return fail(systemErrorText(errno));
    temporary.clear();
    if (!folder.sync(place))
        return fail(systemErrorText(errno));
    return true;
}
