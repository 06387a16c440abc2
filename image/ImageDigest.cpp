#include "ImageDigest.h"

#include "ImageChecks.h"
#include "ImageReader.h"
#include "Sha256.h"
#include "SignatureCheck.h"
#include "TrustPolicy.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr qint64 chunkSize = 1024 * 1024;
// A detached signature is a few hundred bytes, even with several signers.
constexpr qint64 largestSignature = 64 * 1024;

// The signature file beside the image; a name that is there in any form counts, a dangling
// link too, so that a signature cannot go missing without a refusal.
QString signatureBeside(const QString &filename)
{
    for (const char *suffix : {".sig", ".asc"}) {
        const QFileInfo info(filename + QLatin1String(suffix));
        if (info.exists() || info.isSymLink())
            return info.filePath();
    }
    return QString();
}

// Why the signature file cannot be handed to gpgv, or an empty string.
QString readSignature(const QString &path, QByteArray *signature)
{
    QFile file;
    QString problem;
    if (!openImageFile(file, path, &problem))
        return problem;
    *signature = file.read(largestSignature + 1);
    if (file.error() != QFileDevice::NoError)
        return ImageDigest::tr("it cannot be read");
    if (signature->size() > largestSignature)
        return ImageDigest::tr("it is larger than %1 KiB, which no detached signature is")
            .arg(largestSignature / 1024);
    return QString();
}

} // namespace

ImageDigest::ImageDigest(const QString &filename, const QList<ComponentRecord> &components)
    : filename(filename), components(components)
{
}

void ImageDigest::setExpectedSha256(const QByteArray &hex)
{
    expected = hex.trimmed().toLower();
}

void ImageDigest::setOwnCopy(bool ownCopy)
{
    this->ownCopy = ownCopy;
}

bool ImageDigest::read(QFile &image)
{
    componentSha256.clear();
    hash.clear();
    verdict = SignatureResult();
    std::unique_ptr<SignatureCheck> check;
    signatureFile = ownCopy ? QString() : signatureBeside(filename);
    if (!ownCopy) {
        const TrustPolicy policy = TrustPolicy::load();
        signatureRequired = policy.signatureRequired();
        requirement = policy.requirement();
        QByteArray signature;
        if (!signatureFile.isEmpty())
            verdict.failure = readSignature(signatureFile, &signature);
        if (!verdict.failure.isEmpty()) {
            verdict.status = SignatureResult::Bad;
        } else if (!signatureFile.isEmpty()) {
            check = std::make_unique<SignatureCheck>();
            check->start(signature, policy.keyrings());
        }
    }
    const bool whole = pass(image, check.get());
    if (check)
        verdict = check->finish();

    if (!whole)
        problem =
            imageReadError(filename, image.error() == QFileDevice::NoError
                                         ? tr("a component's data is cut short")
                                         : tr("it cannot be read: %1").arg(image.errorString()));
    else if (ownCopy && expected.isEmpty())
        problem = tr("The copy of the flash %1 cannot be checked: no SHA-256 was kept "
                     "for it.")
                      .arg(filename);
    else if (!expected.isEmpty() && expected != hash)
        problem = tr("The SHA-256 of the update image %1 is %2, not the expected %3.")
                      .arg(filename, QString::fromLatin1(hash), QString::fromLatin1(expected));
    else
        problem = ownCopy ? QString() : signatureProblem();
    return problem.isEmpty();
}

// Every component's data must arrive whole, and the hash covers every byte up to the end.
bool ImageDigest::pass(QFile &image, SignatureCheck *check)
{
    Sha256 sha;
    if (!sha.usable() || !image.seek(0))
        return false;
    std::vector<Sha256> running(size_t(components.size()));
    QByteArray chunk(int(chunkSize), Qt::Uninitialized);
    qint64 at = 0;
    for (;;) {
        const qint64 count = image.read(chunk.data(), chunkSize);
        if (count < 0)
            return false;
        if (count == 0)
            break;
        for (int i = 0; i < components.size(); ++i) {
            const ComponentRecord &c = components.at(i);
            const qint64 from = std::max(at, qint64(c.fileOffset) + ImageFormat::headerSize);
            const qint64 to = std::min(at + count, qint64(c.fileOffset) + c.size);
            if (from < to)
                running[size_t(i)].addData(chunk.constData() + from - at, to - from);
        }
        sha.addData(chunk.constData(), count);
        if (check)
            check->feed(chunk.constData(), count);
        at += count;
    }
    for (int i = 0; i < components.size(); ++i) {
        const ComponentRecord &c = components.at(i);
        if (qint64(c.fileOffset) + c.size > at)
            return false;
        componentSha256.insert(c.fileOffset, running[size_t(i)].result());
    }
    hash = sha.result().toHex();
    return true;
}

QString ImageDigest::signatureProblem() const
{
    switch (verdict.status) {
    case SignatureResult::Good:
        return QString();
    case SignatureResult::None:
        return signatureRequired ? tr("The update image %1 is not signed (there is no %1.sig or "
                                      "%1.asc), and %2.")
                                       .arg(filename, requirement)
                                 : QString();
    case SignatureResult::Untrusted:
        return tr("The update image %1 is signed by a key that is not trusted "
                  "(…%2). Trusted keys are those in %3/keyrings and %4/keyrings.")
            .arg(filename, verdict.keyId(), TrustPolicy::configFolder(), TrustPolicy::dataFolder());
    case SignatureResult::Expired:
        return tr("The update image %1 is signed by a key that has expired or been "
                  "revoked (%2, key …%3).")
            .arg(filename, verdict.signer, verdict.keyId());
    default:
        if (!verdict.failure.isEmpty())
            return tr("The signature %1 of the update image %2 cannot be checked: "
                      "%3.")
                .arg(signatureFile, filename, verdict.failure);
        return tr("The signature %1 does not match the update image %2.")
            .arg(signatureFile, filename);
    }
}
