#include "TrustPolicy.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

// A policy file is a few lines; a larger one is not one that an administrator wrote.
constexpr qint64 largestConfigFile = 64 * 1024;

QString folderFrom(const char *variable, const char *fallback)
{
    const QString folder = QString::fromLocal8Bit(qgetenv(variable));
    return QDir::isAbsolutePath(folder) ? QDir::cleanPath(folder) : QLatin1String(fallback);
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
        for (const QString &name : names)
            policy.keyringFiles << folder.filePath(name);
    }

    const QFileInfo file(configFile());
    policy.fileMissing = !file.exists();
    policy.required = QStringLiteral("auto");
    if (policy.fileMissing)
        return policy;
    policy.fileUnreadable = !file.isFile() || !file.isReadable() || file.size() > largestConfigFile;
    if (policy.fileUnreadable)
        return policy;
    const QSettings settings(file.filePath(), QSettings::IniFormat);
    policy.fileUnreadable = settings.status() != QSettings::NoError;
    policy.required = settings.value(QStringLiteral("Signatures/Required"), policy.required)
                          .toString()
                          .trimmed()
                          .toLower();
    return policy;
}

bool TrustPolicy::signatureRequired() const
{
    if (required == QLatin1String("no") && !fileUnreadable)
        return false;
    if (required == QLatin1String("auto") && !fileUnreadable)
        return unlistedKeys || !keyringFiles.isEmpty();
    return true;
}

QString TrustPolicy::requirement() const
{
    const QString file = configFile();
    if (fileMissing)
        return tr("without %1 a signature is required once a trusted key is installed").arg(file);
    if (fileUnreadable)
        return tr("%1 cannot be read, so a signature is required").arg(file);
    if (required == QLatin1String("auto"))
        return tr("%1 requires a signature once a trusted key is installed "
                  "(Required=auto)")
            .arg(file);
    if (required == QLatin1String("yes"))
        return tr("%1 requires a signature (Required=yes)").arg(file);
    return tr("%1 requires a signature (Required=%2 is not auto, yes or no)").arg(file, required);
}
