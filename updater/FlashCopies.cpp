#include "FlashCopies.h"

#include "StateFolder.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>

namespace FlashCopies {

namespace {

// flash-YYYYMMDD-HHMMSS.tarnru, or with -N before the extension for the Nth of the same second.
const QRegularExpression copyName(QStringLiteral("^flash-(\\d{8}-\\d{6})(?:-(\\d+))?\\.tarnru$"));

} // namespace

QString folder()
{
    return stateFolder() + QStringLiteral("/copies");
}

QString newPath(const QDateTime &utc)
{
    const QString stem =
        folder() + QStringLiteral("/flash-") + utc.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = stem + QStringLiteral(".tarnru");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QStringLiteral("-%1.tarnru").arg(n);
    return path;
}

QList<Copy> list()
{
    struct Entry
    {
        Copy copy;
        int sequence;
    };
    std::vector<Entry> entries;
    const QFileInfoList files = QDir(folder()).entryInfoList(QDir::Files);
    for (const QFileInfo &file : files) {
        const QRegularExpressionMatch match = copyName.match(file.fileName());
        if (!match.hasMatch())
            continue;
        QDateTime time =
            QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
        time.setTimeSpec(Qt::UTC);
        entries.push_back({{file.absoluteFilePath(), time, file.size()},
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

void prune()
{
    const QList<Copy> copies = list();
    for (int i = kept; i < copies.size(); ++i)
        QFile::remove(copies.at(i).path);
    if (copies.size() > kept)
        syncFolder(folder());
}

} // namespace FlashCopies
