#pragma once

#include "SignatureResult.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// Checks one file of detached OpenPGP signatures against the trusted keyrings, as apt does: the
// verifier runs by its absolute path, fixed when the tool is built, with an empty environment
// and a fresh private folder as its home, so that no user's keyring or settings are ever looked
// at; the signed bytes are fed to its standard input as the caller reads them, and every wait
// on it is bounded.
//
// sqv, where it is installed, checks the bytes: gpgv 2.2 hashes them a byte at a time. gpgv
// then only reads the signatures against no data, which tells in an instant who made each and
// whether that key is known and in force. A signature that sqv confirms by a key in force is
// good, one by a key that no keyring holds is untrusted; anything else is left undecided, and
// gpgv must check the bytes itself, so that both give the same verdicts.
class SignatureCheck
{
    Q_DECLARE_TR_FUNCTIONS(SignatureCheck)

public:
    enum class Verifier
    {
        Sqv,
        Gpgv
    };

    // sqv where it is installed, gpgv otherwise.
    static Verifier preferred();

    explicit SignatureCheck(Verifier verifier = preferred());
    ~SignatureCheck();

    // Starts the verifier. Armoured keyrings are given to it dearmoured, since gpgv reads
    // binary ones only. False when it is not installed or has no home; finish() then says
    // why, as it does for a verifier that cannot be started.
    bool start(const QByteArray &signature, const QStringList &keyrings);
    // The next bytes of the signed data.
    void feed(const char *data, qint64 size);
    // Ends the data and gives the verdict.
    SignatureResult finish();
    // After finish(): sqv's answer left the verdict open, and gpgv must check the bytes.
    bool undecided() const { return open; }

    // gpgv's status lines (--status-fd) turned into a verdict. Good needs a GOODSIG with its
    // VALIDSIG from a key in force; a BADSIG, or a sign that the file holds no detached
    // signature of these bytes (NODATA, PLAINTEXT), makes any signature file bad.
    static SignatureResult interpret(const QByteArray &status);

private:
    bool prepare(const QByteArray &signature, const QStringList &keyrings);
    void launch(QProcess &process, const QString &program, const QStringList &arguments);
    bool await(QProcess &process, const QString &program);
    SignatureResult combine(const QByteArray &status, const QByteArray &confirmed);
    void giveUp(const QString &why);

    Verifier verifier;
    QTemporaryDir home;
    QStringList keyringArguments;
    QString signatureCopy;
    std::unique_ptr<QProcess> checker; // reads the bytes: sqv or gpgv
    QProcess metadata;                 // gpgv on the signatures alone, beside sqv
    QString failure;
    bool open = false;
};
