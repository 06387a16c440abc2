#include "FlashCopies.h"

#include "Sha256.h"
#include "StateFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FlashCopies {

namespace {

// The time and the sequence in a copy's name; sequence 0 when it is no copy's name.
struct NameParts
{
    QString time;
    int sequence = 0;
};

NameParts nameParts(const QString &name)
{
    const auto digits = [](const QString &text) {
        return !text.isEmpty() && text.size() <= 9 &&
               std::all_of(text.begin(), text.end(),
                           [](QChar c) { return c.isDigit() && c < 128; });
    };
    const QString prefix = QStringLiteral("flash-"), suffix = QStringLiteral(".tarnru");
    if (!name.startsWith(prefix) || !name.endsWith(suffix))
        return {};
    const QStringList parts =
        name.mid(prefix.size(), name.size() - prefix.size() - suffix.size()).split('-');
    if (parts.size() < 2 || parts.size() > 3 || parts[0].size() != 8 || parts[1].size() != 6 ||
        !std::all_of(parts.begin(), parts.end(), digits))
        return {};
    return {parts[0] + '-' + parts[1], parts.size() == 3 ? parts[2].toInt() : 1};
}

} // namespace

bool isCopyName(const QString &name)
{
    return nameParts(name).sequence > 0;
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
        const NameParts parts = nameParts(name);
        struct stat info;
        if (parts.sequence == 0 ||
            fstatat(folder.descriptor(StateFolder::Copies), QFile::encodeName(name).constData(),
                    &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        QDateTime time = QDateTime::fromString(parts.time, QStringLiteral("yyyyMMdd-HHmmss"));
        time.setTimeSpec(Qt::UTC);
        entries.push_back({{folder.path(StateFolder::Copies) + QLatin1Char('/') + name, time,
                            qint64(info.st_size)},
                           parts.sequence});
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

QByteArray sha256(const StateFolder &folder, const QString &name, qint64 *size)
{
    const int fd = folder.openFile(StateFolder::Copies, name, size);
    if (fd < 0)
        return QByteArray();
    Sha256 hash;
    QByteArray block(1 << 20, Qt::Uninitialized);
    qint64 total = 0;
    ssize_t n = 1;
    while (n > 0 && total <= *size) {
        n = ::read(fd, block.data(), size_t(block.size()));
        if (n > 0) {
            hash.addData(block.constData(), n);
            total += n;
        }
    }
    close(fd);
    return n == 0 && total == *size ? hash.result() : QByteArray();
}

bool unchanged(const StateFolder &folder, const QString &name, qint64 size,
               const QByteArray &sha256, QString *reason)
{
    qint64 found = -1;
    if (FlashCopies::sha256(folder, name, &found) == sha256 && found == size)
        return true;
    *reason =
        QCoreApplication::translate("FlashCopies", "The copy %1 has changed since it was saved.")
            .arg(folder.path(StateFolder::Copies) + QLatin1Char('/') + name);
    return false;
}

QString timeText(const QDateTime &time)
{
    const QLocale locale;
    const QDateTime local = time.toLocalTime();
    if (locale.language() == QLocale::C)
        return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           local.time().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace FlashCopies
