#pragma once

#include "ComponentRecord.h"
#include "SignatureResult.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QString>

class QFile;
class SignatureCheck;

// One sequential read of a whole update image, from the descriptor that an update then takes
// every byte from, before the flash node is opened: each component's CRC-32, the SHA-256 of the
// file and gpgv's check of the detached signature beside it (IMAGE.sig or IMAGE.asc) all see
// the same bytes, so a file replaced after the check cannot be written. Its verdict says
// whether an update may take the image; the window, vorlan-flash and its verify check an image
// alike through it.
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

    // Reads the image from its start to its end. Returns whether an update may take it.
    bool read(QFile &image);

    // Of each component's data, by the block's file offset.
    const QHash<u_int32_t, quint32> &checksums() const { return crcs; }
    // Of the whole file, in lower-case hexadecimal.
    QByteArray sha256() const { return hash; }
    const SignatureResult &signature() const { return verdict; }
    // Why an update must refuse the image, or empty.
    QString refusal() const { return problem; }

private:
    bool pass(QFile &image, SignatureCheck *check);
    QString signatureProblem() const;

    QString filename;
    QList<ComponentRecord> components;
    QByteArray expected;
    bool ownCopy = false;
    QString signatureFile; // the one beside the image, or empty
    bool signatureRequired = false;
    QString requirement; // why it is required

    QHash<u_int32_t, quint32> crcs;
    QByteArray hash;
    SignatureResult verdict;
    QString problem;
};
