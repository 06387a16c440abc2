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

// The signature files beside the image; a name that is there in any form counts, a dangling
// link too, so that a signature cannot go missing without a refusal.
QStringList signaturesBeside(const QString &filename)
{
    QStringList files;
    for (const char *suffix : {".sig", ".asc"}) {
        const QFileInfo info(filename + QLatin1String(suffix));
        if (info.exists() || info.isSymLink())
            files << info.filePath();
    }
    return files;
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
    signatureFile.clear();
    std::vector<Signed> files;
    if (!ownCopy) {
        policy = TrustPolicy::load();
        for (const QString &path : signaturesBeside(filename)) {
            Signed file{path, {}, {}, nullptr};
            file.result.failure = readSignature(path, &file.signature);
            if (!file.result.failure.isEmpty())
                file.result.status = SignatureResult::Bad;
            else
                file.check = std::make_unique<SignatureCheck>(firstVerifier);
            files.push_back(std::move(file));
        }
    }
    bool whole = check(image, files);
    // Where sqv left a verdict open, gpgv reads the bytes once more; they must be the same.
    const QByteArray first = hash;
    bool again = false;
    for (Signed &file : files) {
        again |= file.check && file.check->undecided();
        if (!file.check || !file.check->undecided())
            file.check.reset();
        else
            file.check = std::make_unique<SignatureCheck>(SignatureCheck::Verifier::Gpgv);
    }
    const bool changed = whole && again && !(check(image, files) && hash == first);
    whole = whole && !changed;

    QList<SignatureResult> results;
    for (const Signed &file : files)
        results << file.result;
    if (!files.empty()) {
        verdict = SignatureResult::combined(results);
        for (const Signed &file : files) {
            if (file.result.status == verdict.status) {
                signatureFile = file.path;
                break;
            }
        }
    }

    if (changed)
        problem = tr("The update image %1 changed while it was checked.").arg(filename);
    else if (!whole)
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

// Reads the image once, feeding every check that has not decided yet.
bool ImageDigest::check(QFile &image, std::vector<Signed> &files)
{
    std::vector<SignatureCheck *> checks;
    for (Signed &file : files) {
        if (file.check) {
            file.check->start(file.signature, policy.keyrings());
            checks.push_back(file.check.get());
        }
    }
    const bool whole = pass(image, checks);
    for (Signed &file : files) {
        if (file.check)
            file.result = file.check->finish();
    }
    return whole;
}

// Every component's data must arrive whole, and the hash covers every byte up to the end.
bool ImageDigest::pass(QFile &image, const std::vector<SignatureCheck *> &checks)
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
        // The verifiers first: they hash the chunk in their own processes while this one does.
        for (SignatureCheck *check : checks)
            check->feed(chunk.constData(), count);
        for (int i = 0; i < components.size(); ++i) {
            const ComponentRecord &c = components.at(i);
            const qint64 from = std::max(at, qint64(c.fileOffset) + ImageFormat::headerSize);
            const qint64 to = std::min(at + count, qint64(c.fileOffset) + c.size);
            if (from < to)
                running[size_t(i)].addData(chunk.constData() + from - at, to - from);
        }
        sha.addData(chunk.constData(), count);
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
        return policy.signatureRequired()
                   ? tr("The update image %1 is not signed (there is no %1.sig or %1.asc), and "
                        "%2.")
                         .arg(filename, policy.requirement())
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
