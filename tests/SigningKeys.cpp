#include "SigningKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

const char *const emails[] = {"vendor@example.invalid", "stranger@example.invalid",
                              "old@example.invalid"};
const char *const names[] = {"Vendor Test", "Stranger Test", "Old Test"};
// Old is made and signs on a day of 2020, and expires the day after.
const QString past = QStringLiteral("20200101T010000");

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

SigningKeys::SigningKeys()
{
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("VORLAN_UPDATE_SYSCONFDIR", QFile::encodeName(configFolder()));
    qputenv("VORLAN_UPDATE_DATADIR", QFile::encodeName(dataFolder()));
    for (Key key : {Vendor, Stranger, Old}) {
        QStringList arguments{"--passphrase", "",        "--quick-gen-key",
                              signer(key),    "ed25519", "sign"};
        if (key == Old)
            arguments = QStringList{"--faked-system-time", past} + arguments + QStringList{"1d"};
        gpg(arguments);
    }
}

SigningKeys::~SigningKeys()
{
    run("gpgconf", {"--homedir", dir.filePath("gnupg"), "--kill", "all"});
}

QByteArray SigningKeys::gpg(const QStringList &arguments) const
{
    return run("gpg",
               QStringList{"--homedir", dir.filePath("gnupg"), "--batch", "--yes", "--quiet"} +
                   arguments);
}

QByteArray SigningKeys::run(const QString &program, const QStringList &arguments) const
{
    QDir().mkpath(dir.filePath("gnupg"));
    QFile::setPermissions(dir.filePath("gnupg"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcess process;
    // gpg and its agent go without the simulator and the sanitizers' runtime.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LD_PRELOAD");
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        qFatal("%s %s failed: %s", qPrintable(program), qPrintable(arguments.join(' ')),
               process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

QString SigningKeys::signer(Key key)
{
    return QStringLiteral("%1 <%2>").arg(names[key], emails[key]);
}

QString SigningKeys::fingerprint(Key key) const
{
    const QList<QByteArray> lines = gpg({"--with-colons", "--list-keys", emails[key]}).split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("fpr:"))
            return QString::fromLatin1(line.split(':').value(9));
    }
    return QString();
}

void SigningKeys::reset() const
{
    QDir(configFolder()).removeRecursively();
    QDir(dataFolder()).removeRecursively();
}

void SigningKeys::trust(Key key, bool armoured) const
{
    const QStringList armour = armoured ? QStringList{"--armor"} : QStringList{};
    write(armoured ? configFolder() + "/keyrings/" + emails[key] + ".asc"
                   : dataFolder() + "/keyrings/" + emails[key] + ".gpg",
          gpg(armour + QStringList{"--export", emails[key]}));
}

void SigningKeys::setRequired(const QByteArray &value) const
{
    write(configFolder() + "/vorlan-update.conf", "[Signatures]\nRequired=" + value + '\n');
}

void SigningKeys::sign(Key key, const QString &file, const QString &signature,
                       const QStringList &options) const
{
    const QStringList time = key == Old ? QStringList{"--faked-system-time", past} : QStringList{};
    gpg(time + QStringList{"--local-user", emails[key], "--output", signature} + options +
        QStringList{file});
}
