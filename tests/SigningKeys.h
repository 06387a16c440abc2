#pragma once

#include <QStringList>
#include <QTemporaryDir>

// Throwaway Ed25519 keys made once per test program in a temporary GnuPG home, and the two
// folders the tool takes its trusted keyrings and its policy from (the test's environment
// points VORLAN_UPDATE_SYSCONFDIR and VORLAN_UPDATE_DATADIR at them). The keys are named
// "vendor", "stranger", "old", which expired in 2020, and "revoked".
class SigningKeys
{
public:
    SigningKeys();

    QString fingerprint(const QByteArray &key) const;
    QString keyId(const QByteArray &key) const { return fingerprint(key).right(16); }
    QString configFolder() const { return dir.filePath("etc"); }
    QString dataFolder() const { return dir.filePath("share"); }

    // No trusted key and no policy file, as on a machine without them.
    void reset() const;
    // The key in the vendor's folder as a binary keyring; "KEY.asc" armoured in the
    // administrator's.
    void trust(const QByteArray &key) const;
    void setRequired(const QByteArray &value) const;
    // Puts IMAGE.sig (or the suffix given) beside the image: a detached signature by the key
    // ("vendor.asc" armoured), or by vendor: a signed "message", a signature of an "other"
    // file, or one of the image after which its last byte is "changed".
    void sign(const QByteArray &how, const QString &image, const QString &suffix = ".sig") const;

private:
    QByteArray gpg(const QStringList &arguments, const QString &homeName = "gnupg") const;

    QTemporaryDir dir;
};
