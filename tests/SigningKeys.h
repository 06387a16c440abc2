#pragma once

#include <QStringList>
#include <QTemporaryDir>

// Throwaway Ed25519 keys made once per test program in a temporary GnuPG home, and the two
// folders the tool takes its trusted keyrings and its policy from (the test's environment
// points VORLAN_UPDATE_SYSCONFDIR and VORLAN_UPDATE_DATADIR at them). Old expired in 2020.
class SigningKeys
{
public:
    enum Key
    {
        Vendor,
        Stranger,
        Old
    };

    SigningKeys();
    ~SigningKeys(); // stops the GnuPG agent

    QString fingerprint(Key key) const;
    QString keyId(Key key) const { return fingerprint(key).right(16); }
    static QString signer(Key key);
    QString configFolder() const { return dir.filePath("etc"); }
    QString dataFolder() const { return dir.filePath("share"); }

    // No trusted key and no policy file, as on a machine without them.
    void reset() const;
    // The key in the vendor's folder as a binary keyring, or armoured in the administrator's.
    void trust(Key key, bool armoured = false) const;
    void setRequired(const QByteArray &value) const;
    // Signs file into signature with gpg's options ("--detach-sign", "--armor", "--sign").
    void sign(Key key, const QString &file, const QString &signature,
              const QStringList &options) const;

private:
    QByteArray gpg(const QStringList &arguments) const;
    QByteArray run(const QString &program, const QStringList &arguments) const;

    QTemporaryDir dir;
};
