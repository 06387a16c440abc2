#include "FlashHistory.h"

#include "AtomicFile.h"
#include "ImageReader.h"
#include "StateFolder.h"
#include "SystemError.h"
#include "SystemJournal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QRandomGenerator>
#include <QThread>

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList kinds{QStringLiteral("update"), QStringLiteral("put-back"),
                        QStringLiteral("restore"), QStringLiteral("verify")};
const QStringList outcomes{QStringLiteral("written"),   QStringLiteral("failed"),
                           QStringLiteral("unchanged"), QStringLiteral("matches"),
                           QStringLiteral("differs"),   QStringLiteral("unfinished")};

QString userName(uid_t uid)
{
    struct passwd entry;
    struct passwd *found = nullptr;
    char buffer[4096];
    return getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found
               ? QString::fromLocal8Bit(found->pw_name)
               : QString();
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QDateTime time(const QJsonValue &value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODate).toUTC();
}

// A whole number within [low, high], or low - 1.
qint64 whole(const QJsonValue &value, qint64 low, qint64 high)
{
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || number != std::floor(number) || number < double(low) ||
        number > double(high))
        return low - 1;
    return qint64(number);
}

QString hex(quint32 value)
{
    return QStringLiteral("0x") + QString::number(value, 16);
}

// Reads the last limit bytes of the open file of the given size.
bool readTail(int fd, qint64 size, qint64 limit, QByteArray *content)
{
    const qint64 start = size > limit ? size - limit : 0;
    content->resize(int(size - start));
    qint64 done = 0;
    while (done < content->size()) {
        const ssize_t n =
            pread(fd, content->data() + done, size_t(content->size() - done), off_t(start + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    content->truncate(int(done));
    return done == size - start;
}

QString fileProblem(const StateFolder &folder, int error)
{
    return folder.openProblem(StateFolder::Top, QLatin1String(FlashHistory::fileName), error);
}

QString unreadable(const StateFolder &folder, int error)
{
    return QCoreApplication::translate("FlashHistory", "The history cannot be read: %1.")
        .arg(fileProblem(folder, error));
}

QByteArray line(const FlashHistory::Entry &entry)
{
    return QJsonDocument(entry.toJson()).toJson(QJsonDocument::Compact) + '\n';
}

// Rewrites the file with the newest entries that fit three quarters of both bounds, so that
// the next appends do not rewrite it again.
bool trim(const StateFolder &folder, const QList<FlashHistory::Entry> &entries, QString *reason)
{
    QByteArray kept;
    int count = 0;
    for (int i = entries.size() - 1; i >= 0 && count < FlashHistory::entryLimit * 3 / 4; --i) {
        const QByteArray next = line(entries.at(i));
        if (kept.size() + next.size() > FlashHistory::sizeLimit * 3 / 4)
            break;
        kept.prepend(next);
        ++count;
    }
    AtomicFile file(folder, StateFolder::Top, QLatin1String(FlashHistory::fileName));
    if (file.open() && file.write(kept) && file.commit())
        return true;
    *reason = file.errorString();
    return false;
}

// Another process's append takes milliseconds: one that holds the lock for longer has hung, or
// means harm, and the update goes on without its history line rather than wait for it.
bool lockWithin(int fd, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

// Opens the file for appending and locks it against other processes' appends; the lock is on
// the file under its name now, not on one that a trim has replaced meanwhile.
int openLocked(const StateFolder &folder, QString *reason)
{
    const QByteArray name = QFile::encodeName(QLatin1String(FlashHistory::fileName));
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd =
            openat(folder.descriptor(StateFolder::Top), name.constData(),
                   O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0660);
        if (fd < 0) {
            *reason = fileProblem(folder, errno);
            return -1;
        }
        struct stat opened, named;
        if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            close(fd);
            *reason = fileProblem(folder, EINVAL);
            return -1;
        }
        // Who ran what is for those who may use the folder, as the record and the copies are,
        // whatever the umask of the process that made the file.
        if ((opened.st_mode & 0777) != 0660)
            fchmod(fd, 0660);
        const bool locked = lockWithin(fd, FlashHistory::lockWait);
        if (locked &&
            fstatat(folder.descriptor(StateFolder::Top), name.constData(), &named,
                    AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_ino == opened.st_ino && named.st_dev == opened.st_dev)
            return fd;
        close(fd);
        if (!locked)
            break;
    }
    *reason = fileProblem(folder, EAGAIN);
    return -1;
}

} // namespace

FlashHistory::Entry FlashHistory::Entry::begin(const QString &kind, const QString &frontEnd)
{
    Entry entry;
    entry.id = QString::number(QRandomGenerator::global()->generate64(), 36);
    entry.kind = kind;
    entry.frontEnd = frontEnd;
    entry.started = QDateTime::currentDateTimeUtc();
    entry.uid = getuid();
    entry.user = userName(getuid());
    return entry;
}

void FlashHistory::Entry::setImage(const QString &path, const QList<ComponentRecord> &records,
                                   const QByteArray &sha256Hex, const SignatureResult &origin)
{
    // Read later from anywhere: a name relative to where the tool was started tells nothing.
    image = QFileInfo(path).absoluteFilePath();
    sha256 = QString::fromLatin1(sha256Hex);
    signature = origin.statusName();
    signer = origin.signer;
    fingerprint = origin.fingerprint;
    components.clear();
    for (const ComponentRecord &c : records)
        components.append(
            {componentName(c), componentVersionText(c.version), c.flashAddress, c.dataLength()});
}

bool FlashHistory::Entry::failed() const
{
    return outcome == QLatin1String("failed") || outcome == QLatin1String("unfinished");
}

QString FlashHistory::Entry::kindText() const
{
    if (kind == QLatin1String("update"))
        return QCoreApplication::translate("FlashHistory", "update");
    if (kind == QLatin1String("put-back"))
        return QCoreApplication::translate("FlashHistory", "put back");
    if (kind == QLatin1String("restore"))
        return QCoreApplication::translate("FlashHistory", "restore");
    return QCoreApplication::translate("FlashHistory", "verify");
}

QString FlashHistory::Entry::outcomeText() const
{
    if (outcome == QLatin1String("written"))
        return QCoreApplication::translate("FlashHistory", "written");
    if (outcome == QLatin1String("failed"))
        return QCoreApplication::translate("FlashHistory", "failed");
    if (outcome == QLatin1String("unchanged"))
        return QCoreApplication::translate("FlashHistory", "unchanged");
    if (outcome == QLatin1String("matches"))
        return QCoreApplication::translate("FlashHistory", "matches");
    if (outcome == QLatin1String("differs"))
        return QCoreApplication::translate("FlashHistory", "differs");
    return QCoreApplication::translate("FlashHistory", "unfinished");
}

QString FlashHistory::Entry::startText() const
{
    return QLocale().toString(started.toLocalTime(), QLocale::ShortFormat);
}

QString FlashHistory::Entry::signatureText() const
{
    SignatureResult origin;
    const QStringList names{QStringLiteral("none"), QStringLiteral("good"), QStringLiteral("bad"),
                            QStringLiteral("untrusted"), QStringLiteral("expired")};
    origin.status = SignatureResult::Status(qMax(0, names.indexOf(signature)));
    origin.signer = signer;
    origin.fingerprint = fingerprint;
    return origin.line();
}

QJsonObject FlashHistory::Entry::toJson() const
{
    QJsonArray list;
    for (const Component &c : components)
        list.append(QJsonObject{{"name", c.name},
                                {"version", c.version},
                                {"address", hex(c.address)},
                                {"size", double(c.size)}});
    return QJsonObject{
        {"id", id},
        {"kind", kind},
        {"started", started.toString(Qt::ISODate)},
        {"ended", ended.isValid() ? QJsonValue(ended.toString(Qt::ISODate)) : QJsonValue()},
        {"uid", double(uid)},
        {"user", user},
        {"frontEnd", frontEnd},
        {"image", image},
        {"sha256", textOrNull(sha256)},
        {"signature", QJsonObject{{"status", textOrNull(signature)},
                                  {"signer", textOrNull(signer)},
                                  {"fingerprint", textOrNull(fingerprint)}}},
        {"components", list},
        {"outcome", outcome},
        {"verdict", verdict},
        {"copy", textOrNull(copy)}};
}

// What a later reader relies on is checked: the id, kind, outcome and start time are there and
// known, the numbers are numbers, and no component list is longer than an image's.
bool FlashHistory::Entry::fromJson(const QJsonObject &object, Entry *entry)
{
    Entry read;
    read.id = object.value(QLatin1String("id")).toString();
    read.kind = object.value(QLatin1String("kind")).toString();
    read.started = time(object.value(QLatin1String("started")));
    read.ended = time(object.value(QLatin1String("ended")));
    read.uid = whole(object.value(QLatin1String("uid")), -1, 0xFFFFFFFFll);
    read.user = object.value(QLatin1String("user")).toString();
    read.frontEnd = object.value(QLatin1String("frontEnd")).toString();
    read.image = object.value(QLatin1String("image")).toString();
    read.sha256 = object.value(QLatin1String("sha256")).toString();
    const QJsonObject signature = object.value(QLatin1String("signature")).toObject();
    read.signature = signature.value(QLatin1String("status")).toString();
    read.signer = signature.value(QLatin1String("signer")).toString();
    read.fingerprint = signature.value(QLatin1String("fingerprint")).toString();
    read.outcome = object.value(QLatin1String("outcome")).toString();
    read.verdict = object.value(QLatin1String("verdict")).toString();
    read.copy = object.value(QLatin1String("copy")).toString();
    const QJsonArray list = object.value(QLatin1String("components")).toArray();
    if (read.id.isEmpty() || !kinds.contains(read.kind) || !outcomes.contains(read.outcome) ||
        !read.started.isValid() || read.uid < -1 || list.size() > 256)
        return false;
    for (const QJsonValue &value : list) {
        const QJsonObject c = value.toObject();
        bool ok = false;
        const QString address = c.value(QLatin1String("address")).toString();
        const quint32 at =
            address.startsWith(QLatin1String("0x")) ? address.mid(2).toUInt(&ok, 16) : 0;
        const qint64 size = whole(c.value(QLatin1String("size")), 0, 0xFFFFFFFFll);
        if (!ok || size < 0)
            return false;
        read.components.append({c.value(QLatin1String("name")).toString(),
                                c.value(QLatin1String("version")).toString(), at, quint32(size)});
    }
    *entry = read;
    return true;
}

QString FlashHistory::path(const StateFolder &folder)
{
    return folder.path() + QLatin1Char('/') + QLatin1String(fileName);
}

FlashHistory::Contents FlashHistory::load(const StateFolder &folder)
{
    Contents contents;
    if (!folder.usable()) {
        contents.refusal = folder.problem();
        return contents;
    }
    qint64 size = 0;
    const int fd = folder.openFile(StateFolder::Top, QLatin1String(fileName), &size);
    if (fd < 0) {
        if (errno != ENOENT)
            contents.refusal = unreadable(folder, errno);
        return contents;
    }
    QByteArray content;
    const bool whole = readTail(fd, size, sizeLimit, &content);
    const int error = errno;
    close(fd);
    if (!whole) {
        contents.refusal = unreadable(folder, error ? error : EIO);
        return contents;
    }
    // Of a file larger than the tool ever writes, only the newest entries count; the line cut
    // at the start of what was read is one that could not be read.
    const bool cut = size > sizeLimit;
    contents = parse(cut ? content.mid(content.indexOf('\n') + 1) : content);
    contents.skipped += cut;
    return contents;
}

// A later line of an entry takes the place of its earlier ones.
FlashHistory::Contents FlashHistory::parse(const QByteArray &lines)
{
    Contents contents;
    QHash<QString, int> index;
    int start = 0;
    while (start < lines.size()) {
        int end = lines.indexOf('\n', start);
        if (end < 0)
            end = lines.size();
        const QByteArray line = lines.mid(start, end - start);
        start = end + 1;
        if (line.trimmed().isEmpty())
            continue;
        Entry entry;
        QJsonParseError error;
        const QJsonDocument document =
            line.size() > lineLimit ? QJsonDocument() : QJsonDocument::fromJson(line, &error);
        if (!document.isObject() || !Entry::fromJson(document.object(), &entry)) {
            ++contents.skipped;
            continue;
        }
        const auto known = index.constFind(entry.id);
        if (known != index.constEnd()) {
            contents.entries[*known] = entry;
        } else {
            index.insert(entry.id, contents.entries.size());
            contents.entries.append(entry);
        }
    }
    return contents;
}

bool FlashHistory::append(const StateFolder &folder, const Entry &entry, QString *reason)
{
    if (!folder.usable()) {
        *reason = folder.problem();
        return false;
    }
    const QByteArray next = line(entry);
    if (next.size() > lineLimit) {
        *reason = QStringLiteral("the entry is longer than %1 bytes").arg(lineLimit);
        return false;
    }
    const int fd = openLocked(folder, reason);
    if (fd < 0)
        return false;
    struct stat info;
    fstat(fd, &info);
    Contents contents = load(folder);
    bool ok = true;
    bool known = false;
    for (const Entry &e : contents.entries)
        known = known || e.id == entry.id;
    if (info.st_size + next.size() > sizeLimit || contents.entries.size() + !known > entryLimit) {
        // The file is replaced: this process's lock goes with the file it held. What cannot be
        // read is not thrown away.
        if (!contents.refusal.isEmpty())
            *reason = contents.refusal;
        ok = contents.refusal.isEmpty() && trim(folder, contents.entries, reason);
        close(fd);
        return ok && append(folder, entry, reason);
    }
    QByteArray bytes = next;
    // A line that a crash cut short ends here, so that the new one stands on its own.
    char last = '\n';
    if (info.st_size > 0 && pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n')
        bytes.prepend('\n');
    qint64 done = 0;
    errno = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? n : 0;
    }
    if (!ok || fdatasync(fd) != 0) {
        *reason = fileProblem(folder, errno ? errno : ENOSPC);
        ok = false;
    }
    close(fd);
    return ok;
}

void FlashHistory::record(const Entry &entry)
{
    const StateFolder folder;
    QString reason;
    if (!append(folder, entry, &reason))
        qWarning().noquote() << "The history of the flash could not be written:" << reason;
    SystemJournal::send(entry);
}
