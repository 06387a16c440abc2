#pragma once

#include "ComponentRecord.h"
#include "SignatureCheck.h"
#include "SignatureResult.h"
#include "TrustPolicy.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

class QFile;

// One sequential read of a whole update image, from the descriptor that an update then takes
// every byte from, before the flash node is opened: the SHA-256 of each component's data and of
// the file, and the check of the detached signatures beside it (IMAGE.sig, IMAGE.asc) all see
// the same bytes. What is later written or compared must have the SHA-256 recorded here, so
// bytes changed after the check, in place or by another file, never reach the flash. Its
// verdict says whether an update may take the image; the window, vorlan-flash and its verify
// check an image alike through it.
class ImageDigest
{
    Q_DECLARE_TR_FUNCTIONS(ImageDigest)

public:
    ImageDigest(const QString &filename, const QList<ComponentRecord> &components);

    // The SHA-256 that the image must have, in hexadecimal; empty for any.
    void setExpectedSha256(const QByteArray &hex);
    // The image is the tool's own copy of the flash: no signature is asked for, and it must
    // have the expected SHA-256, which the tool kept for it.
    void setOwnCopy(bool ownCopy);

    // Which verifier reads the bytes first; gpgv always decides what sqv leaves open.
    void setVerifier(SignatureCheck::Verifier verifier) { firstVerifier = verifier; }

    // Reads the image from its start to its end. Returns whether an update may take it.
    bool read(QFile &image);

    // The SHA-256 of each component's data, by the block's file offset.
    const QHash<u_int32_t, QByteArray> &componentHashes() const { return componentSha256; }
    // Of the whole file, in lower-case hexadecimal.
    QByteArray sha256() const { return hash; }
    const SignatureResult &signature() const { return verdict; }
    // Why an update must refuse the image, or empty.
    QString refusal() const { return problem; }

    // The policy that the check followed; the default one for the tool's own copies.
    const TrustPolicy &trustPolicy() const { return policy; }

private:
    // A signature file beside the image, as read, and its check.
    struct Signed
    {
        QString path;
        QByteArray signature;
        SignatureResult result;
        std::unique_ptr<SignatureCheck> check;
    };

    bool check(QFile &image, std::vector<Signed> &files);
    bool pass(QFile &image, const std::vector<SignatureCheck *> &checks);
    QString signatureProblem() const;

    QString filename;
    QList<ComponentRecord> components;
    QByteArray expected;
    bool ownCopy = false;
    QString signatureFile; // the one beside the image that decided the verdict, or empty
    TrustPolicy policy;
    SignatureCheck::Verifier firstVerifier = SignatureCheck::preferred();

    QHash<u_int32_t, QByteArray> componentSha256;
    QByteArray hash;
    SignatureResult verdict;
    QString problem;
};
