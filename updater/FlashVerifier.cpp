#include "FlashVerifier.h"

#include "ImageChecks.h"
#include "ImageReader.h"
#include "NodePermission.h"
#include "VorlanDriver.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr u_int32_t requestSize = 1024;

// Reads count bytes from the node in 1024-byte requests; a request that delivered fewer bytes
// is asked again for the rest. Returns how many arrived before the node refused.
u_int32_t readFlash(int fd, char *data, u_int32_t count)
{
    u_int32_t done = 0;
    while (done < count) {
        const u_int32_t end = std::min(count, (done / requestSize + 1) * requestSize);
        const ssize_t n = read(fd, data + done, end - done);
        if (n <= 0)
            break;
        done += u_int32_t(n);
    }
    return done;
}

bool printable(const QString &name)
{
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](QChar c) {
        return c.isPrint() && c != QChar::ReplacementCharacter;
    });
}

// Holds the flash node open for reading; closed, and so unlocked, on every way out.
struct ReadOnlyNode
{
    int fd = open(flashNodePath, O_RDONLY | O_CLOEXEC);
    ~ReadOnlyNode()
    {
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

FlashVerifier::Result FlashVerifier::verify(const QString &filename)
{
    compared.clear();
    QFile image;
    QList<ComponentRecord> components;
    const QString problem = checkImage(image, filename, components);
    if (!problem.isEmpty())
        return end(Refused, problem);

    ReadOnlyNode node;
    if (node.fd < 0) {
        QString text = QStringLiteral("Error opening ") + QLatin1String(flashNodePath);
        if (errno == EACCES || errno == EPERM)
            text += QStringLiteral(": permission denied. ") + nodePermissionAdvice();
        return end(NoDevice, text);
    }
    if (flock(node.fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return end(Busy, QStringLiteral("The flash memory is being updated by another program."));
    for (const ComponentRecord &component : components) {
        compared.append({component, -1});
        if (!compare(node.fd, image, compared.last())) {
            compared.clear();
            return end(Refused, imageReadError(filename));
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

// What an update checks before it opens the flash node; empty when the image passes.
QString FlashVerifier::checkImage(QFile &image, const QString &filename,
                                  QList<ComponentRecord> &components)
{
    const int readResult =
        openImageFile(image, filename) ? readImageComponents(image, components) : -1;
    return imageProblem(filename, readResult, components);
}

// A page of the image at a time against the same bytes of the flash, up to the first that
// differs. Returns false when the image did not deliver the component's data.
bool FlashVerifier::compare(int fd, QFile &image, Comparison &comparison)
{
    const ComponentRecord &c = comparison.component;
    if (!image.seek(qint64(c.fileOffset) + ImageFormat::headerSize))
        return false;
    QByteArray expected(int(flashPageSize), Qt::Uninitialized);
    QByteArray found(int(flashPageSize), Qt::Uninitialized);
    lseek(fd, c.flashAddress, SEEK_SET);
    for (u_int32_t done = 0; done < c.dataLength();) {
        const u_int32_t count = std::min(c.dataLength() - done, flashPageSize);
        if (image.read(expected.data(), count) != qint64(count))
            return false;
        const u_int32_t arrived = readFlash(fd, found.data(), count);
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
        return QStringLiteral("The flash holds this image: every component matches.");
    case Differs: {
        const int first = firstDiffering();
        const ComponentRecord &component = compared.at(first).component;
        const QString count = QStringLiteral("%1 of %2").arg(first + 1).arg(compared.size());
        const QString address = QStringLiteral("0x") + QString::number(component.flashAddress, 16);
        const QString name = componentName(component);
        const QString which = printable(name)
                                  ? QStringLiteral("%1 (%2, at %3)").arg(name, count, address)
                                  : QStringLiteral("%1 (%2)").arg(address, count);
        const int n = differing();
        return n == 1 ? QStringLiteral("The flash does not hold this image: component %1 "
                                       "differs.")
                            .arg(which)
                      : QStringLiteral("The flash does not hold this image: %1 of %2 components "
                                       "differ, the first of them %3.")
                            .arg(n)
                            .arg(compared.size())
                            .arg(which);
    }
    case Busy:
        return QStringLiteral("The flash was not compared with this image: another program is "
                              "updating it. Do not restart the computer before that program has "
                              "finished.");
    default:
        return QStringLiteral("The flash was not compared with this image.");
    }
}
