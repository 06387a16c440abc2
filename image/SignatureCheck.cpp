#include "SignatureCheck.h"

#include "ImageReader.h"

#include <QDebug>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <functional>

namespace {

// gpgv that takes this long for one step has hung.
constexpr int patienceMs = 30000;
// Data that gpgv has not taken yet: one chunk in flight while the next one is read.
constexpr qint64 backlog = 1024 * 1024;
// Keyrings of whole distributions stay far below this.
constexpr qint64 largestKeyring = 16 * 1024 * 1024;

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

SignatureCheck::SignatureCheck() = default;

SignatureCheck::~SignatureCheck()
{
    if (gpgv.state() != QProcess::NotRunning) {
        gpgv.kill();
        gpgv.waitForFinished(patienceMs);
    }
}

bool SignatureCheck::start(const QByteArray &signature, const QStringList &keyrings)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("gpgv"));
    QStringList arguments;
    if (program.isEmpty()) {
        giveUp(tr("gpgv is not installed"));
    } else if (!home.isValid() || !prepare(signature, keyrings, &arguments)) {
        giveUp(tr("no private folder for gpgv could be made"));
    } else {
        // Nothing of the caller's environment: no preloaded library, no GnuPG settings.
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        gpgv.setProcessEnvironment(environment);
        gpgv.setStandardErrorFile(QProcess::nullDevice());
        gpgv.start(program, arguments);
        if (!gpgv.waitForStarted(patienceMs))
            giveUp(tr("gpgv cannot be started"));
    }
    return failure.isEmpty();
}

// The signature and the keyrings are read once and handed over as copies in gpgv's home, so
// what gpgv checks is what was read.
bool SignatureCheck::prepare(const QByteArray &signature, const QStringList &keyrings,
                             QStringList *arguments)
{
    const auto save = [](const QString &path, const QByteArray &bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
    };
    *arguments = QStringList{QStringLiteral("--homedir"), home.path(),
                             QStringLiteral("--status-fd"), QStringLiteral("1")};
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
        const QString copy = home.filePath(QStringLiteral("keyring-%1.gpg").arg(arguments->size()));
        if (!save(copy, keys))
            return false;
        *arguments << QStringLiteral("--keyring") << copy;
    }
    const QString signatureCopy = home.filePath(QStringLiteral("signature"));
    *arguments << signatureCopy << QStringLiteral("-");
    return save(signatureCopy, signature);
}

void SignatureCheck::giveUp(const QString &why)
{
    if (failure.isEmpty())
        failure = why;
    if (gpgv.state() != QProcess::NotRunning) {
        gpgv.kill();
        gpgv.waitForFinished(patienceMs);
    }
}

void SignatureCheck::feed(const char *data, qint64 size)
{
    // gpgv stops reading as soon as it knows that the signature file is no signature.
    if (!failure.isEmpty() || gpgv.state() != QProcess::Running)
        return;
    gpgv.write(data, size);
    while (gpgv.bytesToWrite() > backlog && gpgv.state() == QProcess::Running) {
        if (!gpgv.waitForBytesWritten(patienceMs) && gpgv.state() == QProcess::Running)
            return giveUp(
                tr("gpgv did not take the image within %1 seconds").arg(patienceMs / 1000));
    }
}

SignatureResult SignatureCheck::finish()
{
    if (failure.isEmpty()) {
        gpgv.closeWriteChannel();
        if (!gpgv.waitForFinished(patienceMs))
            giveUp(tr("gpgv did not answer within %1 seconds").arg(patienceMs / 1000));
        else if (gpgv.exitStatus() != QProcess::NormalExit)
            giveUp(tr("gpgv ended abnormally"));
    }
    SignatureResult result;
    if (failure.isEmpty()) {
        result = interpret(gpgv.readAllStandardOutput());
    } else {
        result.status = SignatureResult::Bad;
        result.failure = failure;
    }
    return result;
}

SignatureResult SignatureCheck::interpret(const QByteArray &status)
{
    struct Signature
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
    QList<Signature> signatures;
    bool notDetached = false;
    for (const QByteArray &line : status.split('\n')) {
        if (!line.startsWith("[GNUPG:] "))
            continue;
        const QByteArray rest = line.mid(9).trimmed();
        const QList<QByteArray> words = rest.split(' ');
        const QByteArray &keyword = words.first();
        if (keyword == "NODATA" || keyword.startsWith("PLAINTEXT")) {
            notDetached = true;
            continue;
        }
        if (keyword == "NEWSIG" || signatures.isEmpty())
            signatures.append(Signature());
        Signature &s = signatures.last();
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

    SignatureResult result;
    result.status = SignatureResult::Bad;
    const auto take = [&](SignatureResult::Status status,
                          const std::function<bool(const Signature &)> &matches) {
        const auto found = std::find_if(signatures.cbegin(), signatures.cend(), matches);
        if (found == signatures.cend())
            return false;
        result.status = status;
        result.signer = found->signer;
        result.fingerprint = found->fingerprint.isEmpty() ? found->keyId : found->fingerprint;
        return true;
    };
    if (notDetached || take(SignatureResult::Bad, [](const Signature &s) { return s.bad; }))
        return result;
    take(SignatureResult::Good,
         [](const Signature &s) { return s.good && s.valid && !s.expired; }) ||
        take(SignatureResult::Expired, [](const Signature &s) { return s.expired; }) ||
        take(SignatureResult::Untrusted, [](const Signature &s) { return s.noKey; });
    return result;
}
