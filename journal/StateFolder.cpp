#include "StateFolder.h"

#include "SystemError.h"
#include "VorlanDriver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QString &name)
{
    return QFile::encodeName(name);
}

QString groupName(gid_t gid)
{
    group entry;
    group *found = nullptr;
    char buffer[4096];
    if (getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(gid);
}

// The group of the flash node, whose members can write the flash; -1 where there is no node.
gid_t flashGroup()
{
    struct stat info;
    return stat(flashNodePath, &info) == 0 ? info.st_gid : gid_t(-1);
}

// Examines the folder open at fd into info. Why it cannot be examined or belongs to someone
// other than root or the effective user; empty when neither.
QString foreignOwner(int fd, const QString &path, struct stat &info)
{
    if (fstat(fd, &info) != 0)
        return QCoreApplication::translate("StateFolder", "%1 cannot be examined: %2")
            .arg(path, systemErrorText(errno));
    if (info.st_uid != 0 && info.st_uid != geteuid())
        return QCoreApplication::translate("StateFolder",
                                           "%1 belongs to user %2, not to root or user %3")
            .arg(path)
            .arg(info.st_uid)
            .arg(geteuid());
    return QString();
}

// Why the tool must not trust the folder open at fd: it belongs to someone else, others may
// reach into it, or a group other than the flash node's may. Empty when it may.
QString untrusted(int fd, const QString &path, gid_t nodeGroup)
{
    struct stat info;
    const QString owner = foreignOwner(fd, path, info);
    if (!owner.isEmpty())
        return owner;
    if (info.st_mode & S_IWOTH)
        return QCoreApplication::translate("StateFolder", "%1 is writable by others").arg(path);
    if (info.st_mode & (S_IROTH | S_IXOTH))
        return QCoreApplication::translate("StateFolder", "%1 is readable by others").arg(path);
    if ((info.st_mode & S_IRWXG) && info.st_gid != nodeGroup)
        return QCoreApplication::translate(
                   "StateFolder", "%1 is open to the group %2, which is not the group of %3")
            .arg(path, groupName(info.st_gid), QLatin1String(flashNodePath));
    return QString();
}

// Why a folder above the state folder lets someone else replace it: it belongs to another
// user, or others may rename its entries. Empty when it does not.
QString unsafeParent(int fd, const QString &path)
{
    struct stat info;
    const QString owner = foreignOwner(fd, path, info);
    if (!owner.isEmpty())
        return owner;
    // The sticky bit keeps others from renaming what is not theirs, as in /tmp.
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) && !(info.st_mode & S_ISVTX))
        return QCoreApplication::translate("StateFolder", "%1 is writable by others").arg(path);
    return QString();
}

QString openFailure(int parent, const QByteArray &name, const QString &path, int error)
{
    struct stat info;
    if ((error == ELOOP || error == ENOTDIR) &&
        fstatat(parent, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
        return QCoreApplication::translate("StateFolder", "%1 is a symbolic link").arg(path);
    return QCoreApplication::translate("StateFolder", "%1 cannot be opened: %2")
        .arg(path, systemErrorText(error));
}

} // namespace

// Opens the folder name below parent, never through a link, and checks it. Only root makes the
// state folder itself, 2770 and of the flash node's group: anyone else would make it their
// own. Whoever may use it makes its copies' folder, alike.
int StateFolder::openOwn(int parent, Place place, const QByteArray &name, gid_t nodeGroup,
                         QString *problem) const
{
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = openat(parent, name.constData(), flags);
    if (fd < 0 && errno == ENOENT && place == Top && geteuid() != 0) {
        const QString group =
            nodeGroup != gid_t(-1) ? groupName(nodeGroup) : QStringLiteral("vorlan");
        *problem = QCoreApplication::translate(
                       "StateFolder",
                       "%1 does not exist. Create it as root: install -d -o root -g %2 -m 2770 %1")
                       .arg(paths[Top], group);
        return -1;
    }
    if (fd < 0 && errno == ENOENT) {
        struct stat above;
        const mode_t mode = place == Copies && fstat(parent, &above) == 0
                                ? (above.st_mode & 07770)
                                : (nodeGroup != gid_t(-1) ? 02770 : 0700);
        if (mkdirat(parent, name.constData(), 0700) != 0 && errno != EEXIST) {
            *problem = QCoreApplication::translate("StateFolder", "%1 cannot be made: %2")
                           .arg(paths[place], systemErrorText(errno));
            return -1;
        }
        fd = openat(parent, name.constData(), flags);
        if (fd >= 0 && ((place == Top && nodeGroup != gid_t(-1) && fchown(fd, 0, nodeGroup) != 0) ||
                        fchmod(fd, mode) != 0)) {
            *problem = QCoreApplication::translate("StateFolder", "%1 cannot be made: %2")
                           .arg(paths[place], systemErrorText(errno));
            close(fd);
            return -1;
        }
    }
    if (fd < 0) {
        *problem = openFailure(parent, name, paths[place], errno);
        return -1;
    }
    *problem = untrusted(fd, paths[place], nodeGroup);
    return fd;
}

QString StateFolder::location()
{
    const QString moved = QString::fromLocal8Bit(qgetenv("VORLAN_UPDATE_STATEDIR"));
    return QDir::isAbsolutePath(moved) ? QDir::cleanPath(moved)
                                       : QStringLiteral("/var/lib/vorlan-update");
}

StateFolder::StateFolder()
{
    paths[Top] = location();
    paths[Copies] = paths[Top] + QStringLiteral("/copies");
    const gid_t nodeGroup = flashGroup();
    QString problem;

    // The folders above it, from the root down, each opened from the one before.
    const QStringList levels = paths[Top].split(QLatin1Char('/'), Qt::SkipEmptyParts);
    int fd = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        problem = QCoreApplication::translate("StateFolder", "%1 cannot be opened: %2")
                      .arg(QStringLiteral("/"), systemErrorText(errno));
    QString path;
    for (int i = 0; fd >= 0 && problem.isEmpty() && i < levels.size() - 1; ++i) {
        path += QLatin1Char('/') + levels[i];
        // A link above the folder is followed, as a /var on another disk is reached; what it
        // leads to is checked.
        const int next =
            openat(fd, encoded(levels[i]).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int error = errno;
        close(fd);
        fd = next;
        if (fd < 0)
            problem = QCoreApplication::translate("StateFolder", "%1 cannot be opened: %2")
                          .arg(path, systemErrorText(error));
        else
            problem = unsafeParent(fd, path);
    }

    if (fd >= 0 && problem.isEmpty())
        fds[Top] = openOwn(fd, Top, encoded(levels.value(levels.size() - 1)), nodeGroup, &problem);
    if (fd >= 0)
        close(fd);
    if (fds[Top] >= 0 && problem.isEmpty())
        fds[Copies] = openOwn(fds[Top], Copies, QByteArrayLiteral("copies"), nodeGroup, &problem);

    struct stat info;
    if (problem.isEmpty() && fstat(fds[Top], &info) == 0 && (info.st_mode & S_IRWXG))
        trustedGroup = info.st_gid;
    if (!problem.isEmpty()) {
        trouble = QCoreApplication::translate("StateFolder", "The state folder cannot be used: %1.")
                      .arg(problem);
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
    int error = 0;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        error = EINVAL;
    // Its owner, or the group that may use the folder, could have written it; nobody else.
    else if ((info.st_mode & S_IWOTH) ||
             (info.st_uid != 0 && info.st_uid != geteuid() &&
              (trustedGroup == gid_t(-1) || info.st_gid != trustedGroup)))
        error = EPERM;
    if (error != 0) {
        close(fd);
        errno = error;
        return -1;
    }
    *size = qint64(info.st_size);
    return fd;
}

QString StateFolder::openProblem(Place place, const QString &name, int error) const
{
    const QString path = paths[place] + QLatin1Char('/') + name;
    struct stat info;
    switch (error) {
    case ENOENT:
        return QCoreApplication::translate("StateFolder", "%1 is missing").arg(path);
    case ELOOP:
        return QCoreApplication::translate("StateFolder", "%1 is a symbolic link").arg(path);
    case EINVAL:
        if (fstatat(fds[place], encoded(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISFIFO(info.st_mode))
            return QCoreApplication::translate("StateFolder",
                                               "%1 is a named pipe, not a regular file")
                .arg(path);
        return QCoreApplication::translate("StateFolder", "%1 is not a regular file").arg(path);
    case EPERM:
        return QCoreApplication::translate(
                   "StateFolder",
                   "%1 could have been changed by a user whom the state folder does not trust")
            .arg(path);
    default:
        return QStringLiteral("%1: %2").arg(path, systemErrorText(error));
    }
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
        *reason = openProblem(place, name, errno);
        return Read::Refused;
    }
    Read result = Read::Refused;
    if (size > limit) {
        *reason = tr("%1 is larger than %2 bytes").arg(path).arg(limit);
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
            *reason = tr("%1 could not be read whole").arg(path);
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

bool StateFolder::rename(Place place, const QString &from, const QString &to) const
{
    return renameat(fds[place], encoded(from).constData(), fds[place], encoded(to).constData()) ==
               0 &&
           sync(place);
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

void StateFolder::removeLeftovers() const
{
    for (const Place place : {Top, Copies}) {
        bool removed = false;
        for (const QString &name : names(place)) {
            // Only the files being saved are hidden: "." and the name they will have.
            if (name.startsWith(QLatin1Char('.')))
                removed = unlinkat(fds[place], encoded(name).constData(), 0) == 0 || removed;
        }
        if (removed)
            sync(place);
    }
}
