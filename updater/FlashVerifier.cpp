#include "FlashVerifier.h"

#include "FlashNode.h"
#include "ImageChecks.h"
#include "ImageDigest.h"
#include "ImageReader.h"
#include "UpdateVerdict.h"
#include "VorlanDriver.h"

#include <QByteArray>
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
    for (const ComponentRecord &component : components) {
        compared.append({component, -1});
        if (!compare(node, image, compared.last())) {
            compared.clear();
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
    return digest.read(image) ? QString() : digest.refusal();
}

// A page of the image at a time against the same bytes of the flash, up to the first that
// differs. Returns false when the image did not deliver the component's data.
bool FlashVerifier::compare(FlashNode &node, QFile &image, Comparison &comparison)
{
    const ComponentRecord &c = comparison.component;
    if (!image.seek(qint64(c.fileOffset) + ImageFormat::headerSize))
        return false;
    QByteArray expected(int(flashPageSize), Qt::Uninitialized);
    QByteArray found(int(flashPageSize), Qt::Uninitialized);
    if (!node.seek(c.flashAddress)) {
        comparison.firstDifference = c.flashAddress;
        return true;
    }
    for (u_int32_t done = 0; done < c.dataLength();) {
        const u_int32_t count = std::min(c.dataLength() - done, flashPageSize);
        if (image.read(expected.data(), count) != qint64(count))
            return false;
        const u_int32_t arrived = readFlash(node, found.data(), count);
        const char *first = expected.constData();
        // The whole page at once first: only a page that differs is searched byte by byte.
        if (arrived != count || std::memcmp(first, found.constData(), count) != 0) {
            const char *mismatch = std::mismatch(first, first + arrived, found.constData()).first;
            comparison.firstDifference = qint64(c.flashAddress) + done + (mismatch - first);
            return true;
        }
        done += count;
    }
    return true;
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
