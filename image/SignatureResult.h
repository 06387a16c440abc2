#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

// What the detached OpenPGP signatures beside an update image say about it.
struct SignatureResult
{
    Q_DECLARE_TR_FUNCTIONS(SignatureResult)

public:
    enum Status
    {
        None,      // there is no signature file
        Good,      // a valid signature of these bytes by a trusted key that is in force
        Bad,       // anything else that is not one of the below: a signature of other bytes,
                   // no detached signature at all, or the verifier gave no verdict
        Untrusted, // signed by a key that is not in the trusted keyrings
        Expired    // signed by a trusted key that has expired or been revoked
    };

    Status status = None;
    QString signer;      // "NAME <EMAIL>", as the key says it
    QString fingerprint; // of the primary key, or the long key id where that is all gpgv says
    QString failure;     // why the verifier gave no verdict, or empty
    // The long key ids of signers that no keyring holds, beside a good signature.
    QStringList unknownSigners;

    // The verdict of several signatures, of one file or of both beside an image: one that does
    // not match, then one by a key out of force, decides; otherwise a good one does, and
    // signers that no keyring holds beside it are only named. None of them is Bad.
    static SignatureResult combined(const QList<SignatureResult> &results);

    // The line shown under an image's components: "Signed by NAME <EMAIL>, key …LONGKEYID", ...
    QString line() const;
    // "good", "none", "bad", "untrusted" or "expired".
    QString statusName() const;
    // The long key id: the fingerprint's last 16 hexadecimal digits.
    QString keyId() const;
};
