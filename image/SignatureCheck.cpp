#include "SignatureCheck.h"

#include "ImageReader.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

namespace {

// gpgv that takes this long for one step has hung.
constexpr int patienceMs = 30000;
// Data that gpgv has not taken yet: one chunk in flight while the next one is read.
constexpr qint64 backlog = 1024 * 1024;
// Keyrings of whole distributions stay far below this.
constexpr qint64 largestKeyring = 16 * 1024 * 1024;

// Fixed when the tool is built: a verifier found through PATH could be anyone's.
const QString gpgvProgram = QStringLiteral(VORLAN_GPGV);
const QString sqvProgram = QStringLiteral(VORLAN_SQV);

// A verifier whose standard input holds a whole chunk of the image: it hashes one chunk while
// this process reads and hashes the next, rather than a pipe's 64 KiB at a time.
class WidePipeProcess : public QProcess
{
protected:
    void setupChildProcess() override { fcntl(STDIN_FILENO, F_SETPIPE_SZ, int(backlog)); }
};

bool installed(const QString &program)
{
    return QFileInfo(program).isExecutable();
}

// What gpgv's status lines say about one signature.
struct Signer
{
    bool good = false;
    bool valid = false;
    bool bad = false;
    bool expired = false;
    bool noKey = false;
    QString signer;
    QString keyId;
    QString fingerprint;
};

// The signatures that gpgv reports, in order; notDetached when the file is no detached
// signature of the data.
QList<Signer> signersIn(const QByteArray &status, bool *notDetached);

// The packets of every armoured block: the base64 lines between a "-----BEGIN PGP" line and
// its "-----END PGP" line, less the armour headers and the checksum line.
QByteArray dearmoured(const QByteArray &text)
{
    QByteArray packets;
    QByteArray base64;
    enum
    {
        Outside,
        Headers,
        Body
    } place = Outside;
    for (const QByteArray &raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (place == Outside) {
            if (line.startsWith("-----BEGIN PGP "))
                place = Headers;
        } else if (line.startsWith("-----END PGP ")) {
            packets += QByteArray::fromBase64(base64);
            base64.clear();
            place = Outside;
        } else if (place == Headers && (line.isEmpty() || line.contains(": "))) {
            place = line.isEmpty() ? Body : Headers;
        } else if (!line.startsWith('=')) {
            place = Body;
            base64 += line;
        }
    }
    return packets;
}

QString readable(const QByteArray &escaped)
{
    QString text = QString::fromUtf8(QByteArray::fromPercentEncoding(escaped));
    std::replace_if(
        text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; },
        QLatin1Char('?'));
    return text;
}

} // namespace

SignatureCheck::Verifier SignatureCheck::preferred()
{
    return installed(sqvProgram) ? Verifier::Sqv : Verifier::Gpgv;
}

SignatureCheck::SignatureCheck(Verifier verifier)
    : verifier(verifier), checker(std::make_unique<WidePipeProcess>())
{
}

SignatureCheck::~SignatureCheck()
{
    for (QProcess *process : {checker.get(), &metadata}) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(patienceMs);
        }
    }
}

bool SignatureCheck::start(const QByteArray &signature, const QStringList &keyrings)
{
    const bool sqv = verifier == Verifier::Sqv;
    if (!installed(sqv ? sqvProgram : gpgvProgram)) {
        giveUp(tr("%1 is not installed").arg(sqv ? sqvProgram : gpgvProgram));
    } else if (!home.isValid() || !prepare(signature, keyrings)) {
        giveUp(tr("no private folder for the signature check could be made"));
    } else if (!sqv) {
        launch(*checker, gpgvProgram,
               QStringList{QStringLiteral("--homedir"), home.path(), QStringLiteral("--status-fd"),
                           QStringLiteral("1")} +
                   keyringArguments + QStringList{signatureCopy, QStringLiteral("-")});
    } else {
        launch(*checker, sqvProgram,
               keyringArguments + QStringList{signatureCopy, QStringLiteral("/dev/stdin")});
        // Who signed, with which key and whether it is in force, from the signatures alone.
        if (failure.isEmpty() && installed(gpgvProgram)) {
            metadata.setStandardInputFile(QProcess::nullDevice());
            launch(metadata, gpgvProgram,
                   QStringList{QStringLiteral("--homedir"), home.path(),
                               QStringLiteral("--status-fd"), QStringLiteral("1")} +
                       keyringArguments + QStringList{signatureCopy, QProcess::nullDevice()});
        }
    }
    return failure.isEmpty();
}

// Starts the process without waiting for it: the image is read meanwhile, and a verifier that
// cannot be started is named when its answer is awaited.
void SignatureCheck::launch(QProcess &process, const QString &program, const QStringList &arguments)
{
    // Nothing of the caller's environment: no preloaded library, no GnuPG settings. An
    // environment that held a variable is one that Qt passes on, empty.
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.remove(QStringLiteral("LC_ALL"));
    process.setProcessEnvironment(environment);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
}

// The signature and the keyrings are read once and handed over as copies in the verifier's
// home, so what it checks is what was read.
bool SignatureCheck::prepare(const QByteArray &signature, const QStringList &keyrings)
{
    const auto save = [](const QString &path, const QByteArray &bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
    };
    for (const QString &keyring : keyrings) {
        QFile file;
        QByteArray keys;
        QString problem;
        if (openImageFile(file, keyring, &problem) && file.size() <= largestKeyring)
            keys = file.read(largestKeyring);
        if (keyring.endsWith(QLatin1String(".asc")))
            keys = dearmoured(keys);
        if (keys.isEmpty()) {
            qDebug() << "Keyring skipped, it cannot be read:" << keyring;
            continue;
        }
        const QString copy =
            home.filePath(QStringLiteral("keyring-%1.gpg").arg(keyringArguments.size()));
        if (!save(copy, keys))
            return false;
        keyringArguments << QStringLiteral("--keyring") << copy;
    }
    signatureCopy = home.filePath(QStringLiteral("signature"));
    return save(signatureCopy, signature);
}

void SignatureCheck::giveUp(const QString &why)
{
    if (failure.isEmpty())
        failure = why;
    for (QProcess *process : {checker.get(), &metadata}) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(patienceMs);
        }
    }
}

void SignatureCheck::feed(const char *data, qint64 size)
{
    // A verifier stops reading as soon as it knows its answer without the bytes (the signature
    // file is no signature, no keyring holds the key): its answer then says why.
    const auto stopped = [this] {
        return checker->state() == QProcess::NotRunning || checker->error() == QProcess::WriteError;
    };
    if (!failure.isEmpty() || stopped())
        return;
    checker->write(data, size);
    checker->waitForBytesWritten(0);
    while (checker->bytesToWrite() > backlog && !stopped()) {
        if (!checker->waitForBytesWritten(patienceMs) && !stopped())
            return giveUp(tr("%1 did not take the image within %2 seconds")
                              .arg(checker->program())
                              .arg(patienceMs / 1000));
    }
}

// Waits for the process to end of itself; false, with the reason kept, when it did not.
bool SignatureCheck::await(QProcess &process, const QString &program)
{
    if (!failure.isEmpty())
        return false;
    if (process.state() != QProcess::NotRunning)
        process.waitForFinished(patienceMs);
    if (process.error() == QProcess::FailedToStart)
        giveUp(tr("%1 cannot be started").arg(program));
    else if (process.state() != QProcess::NotRunning)
        giveUp(tr("%1 did not answer within %2 seconds").arg(program).arg(patienceMs / 1000));
    else if (process.exitStatus() != QProcess::NormalExit)
        giveUp(tr("%1 ended abnormally").arg(program));
    return failure.isEmpty();
}

SignatureResult SignatureCheck::finish()
{
    open = false;
    SignatureResult result;
    if (failure.isEmpty())
        checker->closeWriteChannel();
    if (await(*checker, checker->program())) {
        if (verifier == Verifier::Gpgv) {
            result = interpret(checker->readAllStandardOutput());
        } else if (metadata.program().isEmpty()) {
            // Without gpgv beside it, sqv's word is all there is: who signed stays unknown.
            const QByteArray confirmed = checker->readAllStandardOutput().trimmed();
            result.status = checker->exitCode() == 0 && !confirmed.isEmpty() ? SignatureResult::Good
                                                                             : SignatureResult::Bad;
            result.fingerprint = QString::fromLatin1(confirmed.split('\n').first());
        } else if (await(metadata, gpgvProgram)) {
            result =
                combine(metadata.readAllStandardOutput(),
                        checker->exitCode() == 0 ? checker->readAllStandardOutput() : QByteArray());
        }
    }
    if (!failure.isEmpty()) {
        open = false;
        result = SignatureResult();
        result.status = SignatureResult::Bad;
        result.failure = failure;
    }
    return result;
}

// gpgv's account of the signatures, given no data, with the fingerprints of those that sqv
// found valid. Only what both settle is decided here.
SignatureResult SignatureCheck::combine(const QByteArray &status, const QByteArray &confirmed)
{
    QSet<QString> valid;
    for (const QByteArray &line : confirmed.split('\n')) {
        if (!line.trimmed().isEmpty())
            valid.insert(QString::fromLatin1(line.trimmed()).toUpper());
    }
    bool notDetached = false;
    const QList<Signer> signers = signersIn(status, &notDetached);
    QList<SignatureResult> results;
    open = signers.isEmpty() && !notDetached;
    for (const Signer &s : signers) {
        SignatureResult r;
        r.signer = s.signer;
        r.fingerprint = s.fingerprint.isEmpty() ? s.keyId : s.fingerprint;
        const auto confirmedBy = std::find_if(valid.cbegin(), valid.cend(), [&](const QString &f) {
            return !s.keyId.isEmpty() && f.endsWith(s.keyId.toUpper());
        });
        if (s.noKey) {
            r.status = SignatureResult::Untrusted;
        } else if (confirmedBy != valid.cend()) {
            r.status = s.expired ? SignatureResult::Expired : SignatureResult::Good;
            r.fingerprint = *confirmedBy;
        } else {
            open = true;
        }
        results << r;
    }
    if (notDetached)
        results = {SignatureResult()};
    return SignatureResult::combined(results);
}

SignatureResult SignatureCheck::interpret(const QByteArray &status)
{
    bool notDetached = false;
    QList<SignatureResult> results;
    for (const Signer &s : signersIn(status, &notDetached)) {
        SignatureResult r;
        r.signer = s.signer;
        r.fingerprint = s.fingerprint.isEmpty() ? s.keyId : s.fingerprint;
        if (s.bad)
            r.status = SignatureResult::Bad;
        else if (s.good && s.valid && !s.expired)
            r.status = SignatureResult::Good;
        else if (s.expired)
            r.status = SignatureResult::Expired;
        else if (s.noKey)
            r.status = SignatureResult::Untrusted;
        results << r;
    }
    if (notDetached)
        results = {SignatureResult()};
    return SignatureResult::combined(results);
}

namespace {

QList<Signer> signersIn(const QByteArray &status, bool *notDetached)
{
    QList<Signer> signatures;
    for (const QByteArray &line : status.split('\n')) {
        if (!line.startsWith("[GNUPG:] "))
            continue;
        const QByteArray rest = line.mid(9).trimmed();
        const QList<QByteArray> words = rest.split(' ');
        const QByteArray &keyword = words.first();
        if (keyword == "NODATA" || keyword.startsWith("PLAINTEXT")) {
            *notDetached = true;
            continue;
        }
        // A signature's lines start with NEWSIG; those before it (errors about the keyrings)
        // belong to none, unless a gpgv without NEWSIG starts with the signature's own line.
        const bool own = keyword == "GOODSIG" || keyword == "BADSIG" || keyword == "ERRSIG" ||
                         keyword == "EXPKEYSIG" || keyword == "REVKEYSIG" || keyword == "VALIDSIG";
        if (keyword == "NEWSIG" || (signatures.isEmpty() && own))
            signatures.append(Signer());
        if (signatures.isEmpty())
            continue;
        Signer &s = signatures.last();
        const QString first = QString::fromLatin1(words.value(1));
        // The key id and, where the line has them, the user id: "GOODSIG KEYID NAME <EMAIL>".
        const auto signedBy = [&] {
            s.keyId = first;
            s.signer = readable(rest.mid(keyword.size() + words.value(1).size() + 2));
        };
        if (keyword == "GOODSIG") {
            s.good = true;
            signedBy();
        } else if (keyword == "BADSIG") {
            s.bad = true;
            signedBy();
        } else if (keyword == "EXPKEYSIG" || keyword == "REVKEYSIG") {
            s.expired = true;
            signedBy();
        } else if (keyword == "KEYEXPIRED" || keyword == "KEYREVOKED" || keyword == "EXPSIG") {
            s.expired = true;
        } else if (keyword == "VALIDSIG") {
            s.valid = true;
            // The primary key's fingerprint comes last; older versions give the signing key's only.
            s.fingerprint = QString::fromLatin1(words.size() > 10 ? words.at(10) : words.value(1));
        } else if (keyword == "ERRSIG") {
            s.keyId = first;
            s.fingerprint = QString::fromLatin1(words.value(7));
        } else if (keyword == "NO_PUBKEY") {
            s.noKey = true;
        }
    }
    return signatures;
}

} // namespace
