#include "TrustPolicy.h"

#include "ImageReader.h"
#include "VisibleText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A policy file is a few lines; a larger one is not one that an administrator wrote.
constexpr qint64 largestConfigFile = 64 * 1024;

QString folderFrom(const char *variable, const char *fallback)
{
    const QString folder = QString::fromLocal8Bit(qgetenv(variable));
    return QDir::isAbsolutePath(folder) ? QDir::cleanPath(folder) : QLatin1String(fallback);
}

// Why the file at path cannot be trusted, or an empty string. It and every folder above it
// must belong to root or the effective user and be writable by no one else, as OpenSSH
// requires of a user's keys. A folder that others may write is passed over only where root
// owns it and its sticky bit keeps others from replacing what they do not own (/tmp). Both the
// path as it is named and the one its links lead to are held to this: whoever may replace a
// link in a folder chooses what it points at.
QString distrust(const QString &path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty())
        return TrustPolicy::tr("%1 cannot be found: it is not trusted.").arg(path);
    const QString named = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    for (const QString &start : {named, real}) {
        for (QString at = start;; at = QFileInfo(at).path()) {
            struct stat status;
            if (lstat(QFile::encodeName(at).constData(), &status) != 0)
                return TrustPolicy::tr("%1 cannot be examined: it is not trusted.").arg(path);
            const bool owned = status.st_uid == 0 || status.st_uid == geteuid();
            const bool sticky = S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX) &&
                                status.st_uid == 0 && at != start;
            // A link's own mode is always open to all and means nothing.
            const bool writable =
                !S_ISLNK(status.st_mode) && (status.st_mode & (S_IWGRP | S_IWOTH)) && !sticky;
            if (at == start && !owned)
                return TrustPolicy::tr("%1 belongs to another user: it is not trusted.").arg(path);
            if (at == start && writable)
                return TrustPolicy::tr("%1 is writable by others: it is not trusted.").arg(path);
            if (!owned)
                return TrustPolicy::tr("%1 is not trusted: the folder %2 belongs to another user.")
                    .arg(path, at);
            if (writable)
                return TrustPolicy::tr("%1 is not trusted: the folder %2 is writable by others.")
                    .arg(path, at);
            if (at == QLatin1String("/"))
                break;
        }
    }
    return QString();
}

QString shown(const QByteArray &text)
{
    return visibleText(QString::fromUtf8(text.left(80)));
}

} // namespace

QString TrustPolicy::configFolder()
{
    return folderFrom("VORLAN_UPDATE_SYSCONFDIR", "/etc/vorlan-update");
}

QString TrustPolicy::dataFolder()
{
    return folderFrom("VORLAN_UPDATE_DATADIR", "/usr/share/vorlan-update");
}

QString TrustPolicy::configFile()
{
    return configFolder() + QStringLiteral("/vorlan-update.conf");
}

TrustPolicy TrustPolicy::load()
{
    TrustPolicy policy;
    for (const QString &base : {configFolder(), dataFolder()}) {
        const QDir folder(base + QStringLiteral("/keyrings"));
        if (!folder.exists())
            continue;
        policy.unlistedKeys |= !folder.isReadable();
        const QStringList names =
            folder.entryList({QStringLiteral("*.gpg"), QStringLiteral("*.asc")},
                             QDir::Files | QDir::System, QDir::Name);
        for (const QString &name : names) {
            const QString keyring = folder.filePath(name);
            const QString refusal = distrust(keyring);
            if (refusal.isEmpty())
                policy.keyringFiles << keyring;
            else
                policy.refusals << refusal;
        }
    }
    policy.readFile();
    return policy;
}

// Only [Signatures] with Required=auto, yes or no, once, besides comments and blank lines.
// Anything else is taken as a mistake that must not let an unsigned image through.
void TrustPolicy::readFile()
{
    const QString path = configFile();
    const QFileInfo info(path);
    fileMissing = !info.exists() && !info.isSymLink();
    if (fileMissing)
        return;
    const QString distrusted = distrust(path);
    QFile file;
    QString problem;
    QByteArray content;
    if (distrusted.isEmpty() && openImageFile(file, path, &problem)) {
        content = file.read(largestConfigFile + 1);
        if (file.error() != QFileDevice::NoError)
            problem = file.errorString();
        else if (content.size() > largestConfigFile)
            problem = tr("it is larger than %1 KiB").arg(largestConfigFile / 1024);
    }
    if (!distrusted.isEmpty()) {
        problems << distrusted;
    } else if (!problem.isEmpty()) {
        problems << tr("%1 cannot be read (%2); signatures are required.").arg(path, problem);
    }
    bool inSection = false;
    bool sectionSeen = false;
    bool keySeen = false;
    int number = 0;
    QString value = QStringLiteral("auto");
    for (const QByteArray &raw : content.split('\n')) {
        ++number;
        const QByteArray line = raw.trimmed();
        const auto fault = [&](const QString &why) {
            problems
                << tr("%1 line %2: %3; signatures are required.").arg(path).arg(number).arg(why);
        };
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            if (line != "[Signatures]")
                fault(tr("unknown section \"%1\"").arg(shown(line)));
            else if (sectionSeen)
                fault(tr("the section [Signatures] is there twice"));
            inSection = line == "[Signatures]";
            sectionSeen |= inSection;
            continue;
        }
        const int equals = line.indexOf('=');
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray setting = line.mid(equals + 1).trimmed();
        if (equals < 0)
            fault(tr("\"%1\" is not a section, a setting or a comment").arg(shown(line)));
        else if (key != "Required")
            fault(tr("unknown key \"%1\"").arg(shown(key)));
        else if (!inSection)
            fault(tr("Required is outside the [Signatures] section"));
        else if (keySeen)
            fault(tr("Required is there twice"));
        else if (setting != "auto" && setting != "yes" && setting != "no")
            fault(tr("Required=%1 is not auto, yes or no").arg(shown(setting)));
        else
            value = QString::fromLatin1(setting);
        keySeen |= key == "Required" && inSection;
    }
    required = problems.isEmpty() ? value : QStringLiteral("yes");
}

bool TrustPolicy::signatureRequired() const
{
    if (required == QLatin1String("auto"))
        return unlistedKeys || !keyringFiles.isEmpty() || !refusals.isEmpty();
    return required != QLatin1String("no");
}

QString TrustPolicy::requirement() const
{
    const QString file = configFile();
    if (fileMissing)
        return tr("without %1 a signature is required once a trusted key is installed").arg(file);
    if (!problems.isEmpty())
        return tr("%1 cannot be used as it is, so a signature is required").arg(file);
    if (required == QLatin1String("auto"))
        return tr("%1 requires a signature once a trusted key is installed (Required=auto)")
            .arg(file);
    return tr("%1 requires a signature (Required=yes)").arg(file);
}

QString TrustPolicy::description() const
{
    const QString file = configFile();
    QString source;
    if (fileMissing)
        source = tr("Signature policy: Required=auto, as %1 does not exist.").arg(file);
    else if (!problems.isEmpty())
        source = tr("Signature policy: Required=yes, as %1 cannot be used as it is.").arg(file);
    else
        source = tr("Signature policy: Required=%1, from %2.").arg(required, file);
    return source + QLatin1Char(' ') +
           (signatureRequired() ? tr("An update needs a signature by a trusted key.")
                                : tr("An update needs no signature."));
}
