#include "SigningKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

// The name in each key's user id is the key's name with a capital.
QByteArray email(const QByteArray &key)
{
    return key.left(key.indexOf('.') < 0 ? key.size() : key.indexOf('.')) + "@example.invalid";
}

// old is made and signs on a day of 2020, and expires the day after.
QStringList timeOf(const QByteArray &key)
{
    return key == "old" ? QStringList{"--faked-system-time", "20200101T010000"} : QStringList{};
}

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
    qputenv("VORLAN_UPDATE_SYSCONFDIR", QFile::encodeName(configFolder()));
    qputenv("VORLAN_UPDATE_DATADIR", QFile::encodeName(dataFolder()));
    for (const QByteArray key : {"vendor", "stranger", "old", "revoked"}) {
        const QString name = QString::fromLatin1(key.left(1).toUpper() + key.mid(1));
        gpg(timeOf(key) + QStringList{"--passphrase", "", "--quick-gen-key",
                                      name + " Test <" + email(key) + '>', "ed25519", "sign",
                                      key == "old" ? "1d" : "never"});
    }
    // The public keys go revoked into a home of their own, from which revoked is trusted, so
    // that the first one can still sign. gpg keeps a revocation certificate for every key it
    // makes, behind a colon.
    QFile certificate(dir.filePath("gnupg/openpgp-revocs.d/" + fingerprint("revoked") + ".rev"));
    const QString revocation = dir.filePath("revocation.asc");
    const QString keys = dir.filePath("public.gpg");
    if (!certificate.open(QIODevice::ReadOnly))
        qFatal("no revocation certificate");
    write(revocation, certificate.readAll().replace("\n:-----", "\n-----"));
    write(keys, gpg({"--export"}));
    gpg({"--import", keys}, "revoked");
    gpg({"--import", revocation}, "revoked");
}

// The agent that gpg starts for the secret keys is stopped after each call, so that none is
// left behind by a test that aborts.
QByteArray SigningKeys::gpg(const QStringList &arguments, const QString &homeName) const
{
    const QString home = dir.filePath(homeName);
    QDir().mkpath(home);
    QFile::setPermissions(home,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcess process;
    // gpg and its agent go without the simulator and the sanitizers' runtime.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LD_PRELOAD");
    process.setProcessEnvironment(environment);
    process.start("gpg", QStringList{"--homedir", home, "--batch", "--yes", "--quiet"} + arguments);
    process.closeWriteChannel();
    const bool done = process.waitForFinished(30000) && process.exitCode() == 0;
    process.kill();
    process.waitForFinished(5000);
    QProcess agent;
    agent.setProcessEnvironment(environment);
    agent.start("gpgconf", {"--homedir", home, "--kill", "all"});
    agent.waitForFinished(30000);
    if (!done)
        qFatal("gpg %s failed: %s", qPrintable(arguments.join(' ')),
               process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

QString SigningKeys::fingerprint(const QByteArray &key) const
{
    const QList<QByteArray> lines = gpg({"--with-colons", "--list-keys", email(key)}).split('\n');
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

void SigningKeys::trust(const QByteArray &key) const
{
    const bool armoured = key.endsWith(".asc");
    write(armoured ? configFolder() + "/keyrings/" + key
                   : dataFolder() + "/keyrings/" + key + ".gpg",
          gpg(QStringList{armoured ? "--armor" : "--no-armor", "--export", email(key)},
              key == "revoked" ? "revoked" : "gnupg"));
}

void SigningKeys::setRequired(const QByteArray &value) const
{
    write(configFolder() + "/vorlan-update.conf", "[Signatures]\nRequired=" + value + '\n');
}

void SigningKeys::sign(const QByteArray &how, const QString &image, const QString &suffix) const
{
    const bool byVendor = how == "message" || how == "other" || how == "changed";
    QString signedFile = image;
    if (how == "other")
        write(signedFile = image + ".other", "other bytes");
    gpg(timeOf(how) + QStringList{"--local-user", email(byVendor ? "vendor" : how), "--output",
                                  image + suffix, how == "message" ? "--sign" : "--detach-sign",
                                  how.endsWith(".asc") ? "--armor" : "--no-armor", signedFile});
    if (how != "changed")
        return;
    QFile file(image);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(file.size() - 1))
        qFatal("cannot change %s", qPrintable(image));
    const char last = char(file.read(1).at(0) ^ 1);
    file.seek(file.size() - 1);
    file.write(&last, 1);
}
