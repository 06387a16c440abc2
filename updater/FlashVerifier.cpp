#include "FlashVerifier.h"

#include "FlashNode.h"
#include "ImageChecks.h"
#include "ImageDigest.h"
#include "ImageReader.h"
#include "Sha256.h"
#include "UpdateVerdict.h"
#include "VorlanDriver.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstring>

namespace {

constexpr u_int32_t requestSize = 1024;

// Reads count bytes from the node in 1024-byte requests; a request that delivered fewer bytes
// is asked again for the rest. Returns how many arrived before the node refused.
u_int32_t readFlash(FlashNode &node, char *data, u_int32_t count)
{
    u_int32_t done = 0;
    while (done < count) {
        const u_int32_t asked = std::min(count - done, requestSize);
        const size_t arrived = node.readUpTo(data + done, asked);
        done += u_int32_t(arrived);
        if (arrived < asked)
            break;
    }
    return done;
}

} // namespace

FlashVerifier::Result FlashVerifier::verify(const QString &filename, const QByteArray &sha256)
{
    expectedSha256 = sha256;
    compared.clear();
    QFile image;
    QList<ComponentRecord> components;
    const QString problem = checkImage(image, filename, components);
    if (!problem.isEmpty())
        return end(Refused, problem);

    FlashNode node;
    QString trouble;
    switch (node.claim(FlashNode::Access::ReadOnly, &trouble)) {
    case FlashNode::Claim::Taken:
        break;
    case FlashNode::Claim::Unavailable:
        return end(NoDevice, trouble);
    case FlashNode::Claim::Busy:
        return end(Busy, trouble);
    case FlashNode::Claim::Refused:
        return end(Refused, trouble);
    }
    for (int i = 0; i < components.size(); ++i) {
        compared.append({components.at(i), -1});
        const Read read = compare(node, image, compared.last());
        if (read != Read::Checked) {
            compared.clear();
            if (read == Read::Changed)
                return end(Refused, QCoreApplication::translate("FlashVerifier",
                                                                "The update image changed after "
                                                                "it was checked: %1.")
                                        .arg(UpdateVerdict::componentAt(components, i + 1)));
            return end(Refused, imageReadError(filename, image.error() == QFileDevice::NoError
                                                             ? tr("a component's "
                                                                  "data is cut short")
                                                             : image.errorString()));
        }
    }
    return end(differing() == 0 ? Matches : Differs, QString());
}

FlashVerifier::Result FlashVerifier::end(Result result, const QString &problem)
{
    outcome = result;
    why = problem;
    return result;
}

// What an update checks before it opens the flash node, its signature and SHA-256 included;
// empty when the image passes.
QString FlashVerifier::checkImage(QFile &image, const QString &filename,
                                  QList<ComponentRecord> &components)
{
    const QString problem = readCheckedImage(image, filename, components);
    if (!problem.isEmpty())
        return problem;
    ImageDigest digest(filename, components);
    digest.setExpectedSha256(expectedSha256);
    if (!digest.read(image))
        return digest.refusal();
    checkedHashes = digest.componentHashes();
    return QString();
}

// A page of the image at a time against the same bytes of the flash, up to the first that
// differs. A flash that holds every byte counts only when those bytes are the ones checked.
FlashVerifier::Read FlashVerifier::compare(FlashNode &node, QFile &image, Comparison &comparison)
{
    const ComponentRecord &c = comparison.component;
    if (!image.seek(qint64(c.fileOffset) + ImageFormat::headerSize))
        return Read::Short;
    Sha256 sha;
    QByteArray expected(int(flashPageSize), Qt::Uninitialized);
    QByteArray found(int(flashPageSize), Qt::Uninitialized);
    if (!node.seek(c.flashAddress)) {
        comparison.firstDifference = c.flashAddress;
        return Read::Checked;
    }
    for (u_int32_t done = 0; done < c.dataLength();) {
        const u_int32_t count = std::min(c.dataLength() - done, flashPageSize);
        if (image.read(expected.data(), count) != qint64(count))
            return Read::Short;
        sha.addData(expected.constData(), count);
        const u_int32_t arrived = readFlash(node, found.data(), count);
        const char *first = expected.constData();
        // The whole page at once first: only a page that differs is searched byte by byte.
        if (arrived != count || std::memcmp(first, found.constData(), count) != 0) {
            const char *mismatch = std::mismatch(first, first + arrived, found.constData()).first;
            comparison.firstDifference = qint64(c.flashAddress) + done + (mismatch - first);
            return Read::Checked;
        }
        done += count;
    }
    return sha.result() == checkedHashes.value(c.fileOffset) ? Read::Checked : Read::Changed;
}

int FlashVerifier::differing() const
{
    return int(std::count_if(compared.begin(), compared.end(),
                             [](const Comparison &c) { return c.firstDifference >= 0; }));
}

int FlashVerifier::firstDiffering() const
{
    for (int i = 0; i < compared.size(); ++i) {
        if (compared.at(i).firstDifference >= 0)
            return i;
    }
    return -1;
}

QString FlashVerifier::text() const
{
    switch (outcome) {
    case Matches:
        return tr("The flash holds this image: every component matches.");
    case Differs: {
        const int first = firstDiffering();
        QList<ComponentRecord> components;
        for (const Comparison &c : compared)
            components.append(c.component);
        const QString which = UpdateVerdict::componentAt(components, first + 1);
        const int n = differing();
        return n == 1 ? tr("The flash does not hold this image: component %1 "
                           "differs.")
                            .arg(which)
                      : tr("The flash does not hold this image: %1 of %2 components "
                           "differ, the first of them %3.")
                            .arg(n)
                            .arg(compared.size())
                            .arg(which);
    }
    case Busy:
        return tr("The flash was not compared with this image: another program is "
                  "updating it. Do not restart the computer before that program has "
                  "finished.");
    default:
        return tr("The flash was not compared with this image.");
    }
}
