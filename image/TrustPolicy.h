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
//   the file is missing, requires a signature as soon as one keyring is installed.
// Both are trusted as OpenSSH trusts a user's keys: the file, its folder and every folder
// above it must belong to root or to the effective user and be writable by no one else (a
// folder such as /tmp, root's and sticky, aside). A keyring that fails is not used but still
// counts as installed; a policy file that fails, cannot be read or says anything but the one
// setting requires a signature, with a warning that names the file, the line and why.
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
    // Why each keyring that is installed is not used: "FILE is writable by others: it is not
    // trusted."
    QStringList refusedKeyrings() const { return refusals; }
    // What in the policy file made it require signatures, one text a problem.
    QStringList warnings() const { return problems; }
    bool signatureRequired() const;
    // Why an image without a signature is refused, naming the policy file.
    QString requirement() const;
    // The policy in force and where it comes from, as one line.
    QString description() const;
    // "auto", "yes" or "no", as it is in force.
    QString setting() const { return required; }

private:
    void readFile();

    QStringList keyringFiles;
    QStringList refusals;
    QStringList problems;
    bool unlistedKeys = false; // a keyring folder that cannot be listed may hold keys
    QString required = QStringLiteral("auto");
    bool fileMissing = false;
};
