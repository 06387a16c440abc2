#pragma once

#include "SignatureResult.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Checks a detached OpenPGP signature with gpgv, as apt does: in a fresh private folder as its
// home, so that no user's keyring is ever looked at, with the trusted keyrings as the only keys
// it knows, and the signed bytes fed to its standard input as the caller reads them. Every
// wait on gpgv is bounded.
class SignatureCheck
{
    Q_DECLARE_TR_FUNCTIONS(SignatureCheck)

public:
    SignatureCheck();
    ~SignatureCheck();

    // Starts gpgv. Armoured keyrings are given to it dearmoured, since gpgv reads binary ones
    // only. False when gpgv cannot run; finish() then says why.
    bool start(const QByteArray &signature, const QStringList &keyrings);
    // The next bytes of the signed data.
    void feed(const char *data, qint64 size);
    // Ends the data and gives gpgv's verdict.
    SignatureResult finish();

    // gpgv's status lines (--status-fd) turned into a verdict. Good needs a GOODSIG with its
    // VALIDSIG from a key in force; a BADSIG, or a sign that the file holds no detached
    // signature of these bytes (NODATA, PLAINTEXT), makes any signature file bad.
    static SignatureResult interpret(const QByteArray &status);

private:
    bool prepare(const QByteArray &signature, const QStringList &keyrings, QStringList *arguments);
    void giveUp(const QString &why);

    QTemporaryDir home;
    QProcess gpgv;
    QString failure;
};
