#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// Which update images may be written: the OpenPGP keyrings whose keys are trusted, and whether
// an image must be signed by one of them. Both come from fixed places that only root and the
// packages write, never from the user's own GnuPG keyring:
// - the keyrings (*.gpg binary, *.asc armoured) in /usr/share/vorlan-update/keyrings (a
//   vendor's key package) and /etc/vorlan-update/keyrings (the administrator's);
// - /etc/vorlan-update/vorlan-update.conf, [Signatures] Required=auto|yes|no. auto, also when
//   the file or the key is missing, requires a signature as soon as one trusted keyring is
//   installed; any other value, and a file that cannot be read, requires one.
// VORLAN_UPDATE_SYSCONFDIR and VORLAN_UPDATE_DATADIR move the two folders, for tests.
class TrustPolicy
{
    Q_DECLARE_TR_FUNCTIONS(TrustPolicy)

public:
    static TrustPolicy load();

    static QString configFolder();
    static QString dataFolder();
    static QString configFile();

    // The trusted keyring files, in name order, the administrator's first.
    QStringList keyrings() const { return keyringFiles; }
    bool signatureRequired() const;
    // Why an image without a signature is refused, naming the policy file.
    QString requirement() const;

private:
    QStringList keyringFiles;
    bool unlistedKeys = false; // a keyring folder that cannot be listed may hold keys
    QString required;          // as the file says it, "auto" when it says nothing
    bool fileMissing = false;
    bool fileUnreadable = false;
};
