#include "StateFolder.h"

#include "SystemError.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QString &name)
{
    return QFile::encodeName(name);
}

// Why nobody but this user may trust the folder open at fd, or an empty string.
QString untrusted(int fd, const QString &path)
{
    struct stat info;
    if (fstat(fd, &info) != 0)
        return StateFolder::tr("%1 cannot be examined: %2").arg(path, systemErrorText(errno));
    if (info.st_uid != geteuid())
        return StateFolder::tr("%1 belongs to user %2, not to user %3")
            .arg(path)
            .arg(info.st_uid)
            .arg(geteuid());
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return StateFolder::tr("%1 is writable by others").arg(path);
    return QString();
}

// Opens the folder name below parent, making it 0700 when it is missing. A link is refused
// where followLinks is false.
int openFolder(int parent, const QString &name, const QString &path, bool followLinks,
               QString *problem)
{
    const QByteArray bytes = encoded(name);
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
    int fd = openat(parent, bytes.constData(), flags);
    if (fd < 0 && errno == ENOENT) {
        if (mkdirat(parent, bytes.constData(), 0700) != 0 && errno != EEXIST) {
            *problem = StateFolder::tr("%1 cannot be made: %2").arg(path, systemErrorText(errno));
            return -1;
        }
        fd = openat(parent, bytes.constData(), flags);
    }
    if (fd < 0) {
        struct stat info;
        const bool link =
            errno == ELOOP || errno == ENOTDIR
                ? fstatat(parent, bytes.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(info.st_mode)
                : false;
        const int error = errno;
        *problem =
            link ? StateFolder::tr("%1 is a symbolic link").arg(path)
                 : StateFolder::tr("%1 cannot be opened: %2").arg(path, systemErrorText(error));
        return -1;
    }
    *problem = untrusted(fd, path);
    if (!problem->isEmpty()) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

StateFolder::StateFolder()
{
    const QString home = QDir::cleanPath(QDir::homePath());
    QString base = QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME"));
    // Only an absolute path counts, as the base directory rules have it.
    if (!QDir::isAbsolutePath(base))
        base = home + QStringLiteral("/.local/state");
    base = QDir::cleanPath(base);
    // The folders from the user's home down are checked; one that lies elsewhere from its own
    // start on.
    const bool inHome = base.startsWith(home + QLatin1Char('/')) && home != QLatin1String("/");
    const QString start = inHome ? home : base;
    QStringList levels = inHome ? base.mid(home.size() + 1).split(QLatin1Char('/')) : QStringList();
    levels << QStringLiteral("vorlan-update") << QStringLiteral("copies");
    paths[Top] = base + QStringLiteral("/vorlan-update");
    paths[Copies] = paths[Top] + QStringLiteral("/copies");

    QString problem;
    int fd = inHome ? open(encoded(start).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                    : openFolder(AT_FDCWD, start, start, true, &problem);
    if (fd < 0 && problem.isEmpty())
        problem = StateFolder::tr("%1 cannot be opened: %2").arg(start, systemErrorText(errno));
    QString path = start;
    for (int i = 0; fd >= 0 && i < levels.size(); ++i) {
        path += QLatin1Char('/') + levels[i];
        // The folders above the tool's own may be links, as a ~/.local on another disk is.
        const bool own = i >= levels.size() - 2;
        const int next = openFolder(fd, levels[i], path, !own, &problem);
        if (i == levels.size() - 1)
            fds[Copies] = next;
        else
            close(fd); // the tool's own folder stays open, as the copies' parent
        if (i == levels.size() - 2)
            fds[Top] = next;
        fd = next;
    }
    if (!problem.isEmpty()) {
        trouble = StateFolder::tr("The state folder cannot be used: %1.").arg(problem);
        for (int &open : fds) {
            if (open >= 0)
                close(open);
            open = -1;
        }
    }
}

StateFolder::~StateFolder()
{
    for (const int fd : fds) {
        if (fd >= 0)
            close(fd);
    }
}

QString StateFolder::path(Place place) const
{
    return paths[place];
}

int StateFolder::openFile(Place place, const QString &name, qint64 *size) const
{
    const int fd = openat(fds[place], encoded(name).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    if (fd < 0)
        return -1;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    *size = qint64(info.st_size);
    return fd;
}

StateFolder::Read StateFolder::read(Place place, const QString &name, qint64 limit,
                                    QByteArray *content, QString *reason) const
{
    const QString path = paths[place] + QLatin1Char('/') + name;
    qint64 size = 0;
    const int fd = openFile(place, name, &size);
    if (fd < 0) {
        if (errno == ENOENT)
            return Read::Missing;
        *reason = errno == ELOOP    ? StateFolder::tr("%1 is a symbolic link").arg(path)
                  : errno == EINVAL ? StateFolder::tr("%1 is not a regular file").arg(path)
                                    : QStringLiteral("%1: %2").arg(path, systemErrorText(errno));
        return Read::Refused;
    }
    Read result = Read::Refused;
    if (size > limit) {
        *reason = StateFolder::tr("%1 is larger than %2 bytes").arg(path).arg(limit);
    } else {
        content->resize(int(size));
        qint64 done = 0;
        // Read one byte more than the size said: a file that grew meanwhile is refused too.
        QByteArray extra(1, '\0');
        for (ssize_t n = 1; n > 0 && done < content->size(); done += n)
            n = ::read(fd, content->data() + done, size_t(content->size() - done));
        if (done == content->size() && ::read(fd, extra.data(), 1) == 0)
            result = Read::Done;
        else
            *reason = StateFolder::tr("%1 could not be read whole").arg(path);
    }
    close(fd);
    return result;
}

bool StateFolder::exists(Place place, const QString &name) const
{
    struct stat info;
    return fds[place] >= 0 &&
           fstatat(fds[place], encoded(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool StateFolder::remove(Place place, const QString &name) const
{
    if (unlinkat(fds[place], encoded(name).constData(), 0) != 0)
        return errno == ENOENT;
    return sync(place);
}

QStringList StateFolder::names(Place place) const
{
    QStringList found;
    const int fd = fds[place] >= 0 ? dup(fds[place]) : -1;
    DIR *dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            close(fd);
        return found;
    }
    rewinddir(dir);
    while (const dirent *entry = readdir(dir)) {
        struct stat info;
        if (fstatat(fds[place], entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode))
            found << QFile::decodeName(entry->d_name);
    }
    closedir(dir);
    return found;
}

bool StateFolder::sync(Place place) const
{
    return fds[place] >= 0 && fsync(fds[place]) == 0;
}
