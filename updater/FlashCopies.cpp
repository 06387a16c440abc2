#include "FlashCopies.h"

#include "StateFolder.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FlashCopies {

namespace {

const QRegularExpression copyName(QStringLiteral("^flash-(\\d{8}-\\d{6})(?:-(\\d+))?\\.tarnru$"));

} // namespace

bool isCopyName(const QString &name)
{
    return copyName.match(name).hasMatch();
}

QString newName(const StateFolder &folder, const QDateTime &utc)
{
    const QString stem = QStringLiteral("flash-") + utc.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem + QStringLiteral(".tarnru");
    for (int n = 2; folder.exists(StateFolder::Copies, name); ++n)
        name = stem + QStringLiteral("-%1.tarnru").arg(n);
    return name;
}

QList<Copy> list(const StateFolder &folder)
{
    struct Entry
    {
        Copy copy;
        int sequence;
    };
    std::vector<Entry> entries;
    for (const QString &name : folder.names(StateFolder::Copies)) {
        const QRegularExpressionMatch match = copyName.match(name);
        struct stat info;
        if (!match.hasMatch() ||
            fstatat(folder.descriptor(StateFolder::Copies), QFile::encodeName(name).constData(),
                    &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        QDateTime time =
            QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
        time.setTimeSpec(Qt::UTC);
        entries.push_back({{folder.path(StateFolder::Copies) + QLatin1Char('/') + name, time,
                            qint64(info.st_size)},
                           match.captured(2).isEmpty() ? 1 : match.captured(2).toInt()});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.copy.time != b.copy.time ? a.copy.time > b.copy.time : a.sequence > b.sequence;
    });
    QList<Copy> copies;
    for (const Entry &entry : entries)
        copies.append(entry.copy);
    return copies;
}

void prune(const StateFolder &folder, const QStringList &named)
{
    int others = 0;
    for (const Copy &copy : list(folder)) {
        const QString name = copy.path.section(QLatin1Char('/'), -1);
        if (!named.contains(name) && ++others > kept)
            folder.remove(StateFolder::Copies, name);
    }
}

bool unchanged(const StateFolder &folder, const QString &name, qint64 size,
               const QByteArray &sha256, QString *reason)
{
    const QString path = folder.path(StateFolder::Copies) + QLatin1Char('/') + name;
    const int fd =
        openat(folder.descriptor(StateFolder::Copies), QFile::encodeName(name).constData(),
               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray block(1 << 20, Qt::Uninitialized);
    qint64 total = 0;
    bool regular =
        fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == size;
    for (ssize_t n = 1; regular && n > 0 && total <= size;) {
        n = ::read(fd, block.data(), size_t(block.size()));
        if (n < 0)
            regular = false;
        else
            hash.addData(block.constData(), int(n));
        total += qMax<ssize_t>(n, 0);
    }
    if (fd >= 0)
        close(fd);
    if (regular && total == size && hash.result() == sha256)
        return true;
    *reason = QStringLiteral("The copy %1 has changed since it was saved.").arg(path);
    return false;
}

} // namespace FlashCopies
