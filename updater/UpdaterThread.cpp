#include "UpdaterThread.h"

#include "FlashCopies.h"
#include "ImageChecks.h"
#include "ImageDigest.h"
#include "ImageReader.h"
#include "ImageWriter.h"
#include "InstalledVersions.h"
#include "NodePermission.h"
#include "StateFolder.h"
#include "UpdateProgress.h"
#include "UpdateRecord.h"
#include "VorlanDriver.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QVector>
#include <QtEndian>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

namespace {

constexpr u_int32_t transferBlockSize = 1024;
constexpr useconds_t wordRepairPause = 50000;
// A page that still differs after this many erase-and-rewrites will not get better.
constexpr int pageRepairLimit = 3;

QString hex(u_int32_t value)
{
    return QString::number(value, 16);
}

u_int32_t pagesIn(u_int32_t length)
{
    return u_int32_t((quint64(length) + flashPageSize - 1) / flashPageSize);
}

std::unique_ptr<char[]> allocateComponentBuffer()
{
    // Pages of the block that are never written are never made resident.
    return std::unique_ptr<char[]>(new (std::nothrow) char[largestComponentData]);
}

quint32 checksum(const char *data, u_int32_t length)
{
    return quint32(crc32_z(crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef *>(data), length));
}

// Reads a component's data from the image; false unless every byte of it arrived. The rest of
// the component's last page holds 0xFF, the erased value: a page repair writes whole pages.
bool readComponentData(QFile &image, u_int32_t fileOffset, u_int32_t length, char *buffer)
{
    const bool whole = image.seek(qint64(fileOffset) + ImageFormat::headerSize) &&
                       image.read(buffer, length) == qint64(length);
    const qint64 end = qint64(pagesIn(length)) * flashPageSize;
    std::memset(buffer + length, 0xFF, size_t(end - length));
    return whole;
}

// The node may take or deliver fewer bytes than asked for; the rest is asked for again until
// it refuses. A request is made even for no bytes at all. Returns the bytes transferred.
template <typename Byte, typename Transfer>
size_t transferAll(Byte *data, size_t count, Transfer transfer)
{
    size_t done = 0;
    do {
        const ssize_t n = transfer(data + done, count - done);
        if (n <= 0)
            break;
        done += size_t(n);
    } while (done < count);
    return done;
}

bool writeAll(int fd, const char *data, size_t count)
{
    const auto writeSome = [fd](const char *at, size_t n) { return write(fd, at, n); };
    return transferAll(data, count, writeSome) == count;
}

// Reads until count bytes have arrived or the node refuses; returns how many arrived.
size_t readUpTo(int fd, char *data, size_t count)
{
    const auto readSome = [fd](char *at, size_t n) { return read(fd, at, n); };
    return transferAll(data, count, readSome);
}

// Reads flash content; bytes that could not be read are set to differ from the image, so that
// an unread word can never pass for a correct one. Returns whether every byte was read.
bool readFlash(int fd, char *flash, const char *image, size_t count)
{
    const size_t done = readUpTo(fd, flash, count);
    for (size_t i = done; i < count; ++i)
        flash[i] = char(~image[i]);
    return done == count;
}

// The bytes of the comparison unit at offset: a whole word, or the 1 to 3 bytes that end a
// component, padded alike in both buffers so that only real bytes can differ.
u_int32_t wordAt(const char *buffer, u_int32_t offset, u_int32_t count)
{
    if (count == 4)
        return qFromLittleEndian<quint32>(buffer + offset);
    uchar bytes[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    std::memcpy(bytes, buffer + offset, count);
    return qFromLittleEndian<quint32>(bytes);
}

// Holds the flash node open; closed on every way out, an exception's included.
struct FlashNode
{
    int fd = open(flashNodePath, O_RDWR);
    ~FlashNode()
    {
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

UpdaterThread::UpdaterThread(QObject *parent)
    : QObject(parent), componentShare(0.0f), completedShare(0.0f)
{
}

UpdaterThread::~UpdaterThread() = default;

void UpdaterThread::setFilename(const QString &filename)
{
    this->filename = filename;
}

void UpdaterThread::setConfirmedComponents(const QList<ComponentRecord> &components)
{
    confirmed = components;
}

void UpdaterThread::setCopyMode(CopyMode mode)
{
    copyMode = mode;
}

void UpdaterThread::setExpectedSha256(const QByteArray &hex)
{
    expectedSha256 = hex;
}

void UpdaterThread::setOwnCopy(const QByteArray &sha256Hex)
{
    expectedSha256 = sha256Hex;
    ownCopy = true;
}

void UpdaterThread::reportProgress(int stage, float fraction)
{
    const ProgressValues values = progressValues(stage, fraction, componentShare, completedShare);
    emit updateCurrentProgress(values.current);
    emit updateTotalProgress(values.total);
}

bool UpdaterThread::allocated(const void *buffer)
{
    if (!buffer)
        emit updateStatusText(QStringLiteral("Not enough memory to update the flash."));
    return buffer != nullptr;
}

// Every read of a component's data after the first must give the bytes of the first: the flash
// is never programmed towards bytes that another image put under the same name meanwhile.
bool UpdaterThread::readImage(QFile &image, u_int32_t fileOffset, u_int32_t length, char *buffer)
{
    if (!readComponentData(image, fileOffset, length, buffer)) {
        emit updateStatusText(imageReadError(filename));
        return false;
    }
    const auto first = checksums.constFind(fileOffset);
    if (first != checksums.constEnd() && *first != checksum(buffer, length)) {
        emit updateStatusText(
            QStringLiteral("The update image %1 changed during the update.").arg(filename));
        return false;
    }
    return true;
}

// Moves length bytes through the node in transfer blocks from the flash address, with one seek
// for the whole run, and announces each whole block. A block that did not go through whole
// would leave the node's position short, so the next block seeks to its own address.
void UpdaterThread::transferBlocks(int fd, u_int32_t address, u_int32_t length, int stage,
                                   const QString &announcement,
                                   const std::function<bool(u_int32_t, u_int32_t)> &transfer)
{
    lseek(fd, address, SEEK_SET);
    const u_int32_t blocks = length / transferBlockSize;
    for (u_int32_t k = 0; k < blocks; ++k) {
        const u_int32_t offset = k * transferBlockSize;
        reportProgress(stage, float(k) / float(blocks));
        if (!transfer(offset, transferBlockSize))
            lseek(fd, address + offset + transferBlockSize, SEEK_SET);
        emit updateStatusText(announcement + hex(address + offset));
    }
    const u_int32_t rest = blocks * transferBlockSize;
    transfer(rest, length - rest);
}

int UpdaterThread::unlockFlash(int fd)
{
    qDebug() << "int UpdaterThread::unlockFlash(int)";
    const int result = ioctl(fd, IOCTL_FLASH_UNLOCK, unlockToken);
    if (result < 0)
        emit updateStatusText(QStringLiteral("Error unlocking Flash memory."));
    return result;
}

int UpdaterThread::eraseFlash(int fd, u_int32_t address, u_int32_t length)
{
    qDebug() << "int UpdaterThread::eraseFlash(int, u_int32_t, u_int32_t)";
    const u_int32_t pages = pagesIn(length);
    for (u_int32_t k = 0; k < pages; ++k) {
        const u_int32_t page = address + k * flashPageSize;
        reportProgress(0, float(k) / float(pages));
        emit updateStatusText(QStringLiteral("Erasing page at 0x") + hex(page));
        const int result = ioctl(fd, IOCTL_FLASH_ERASE, page);
        if (result < 0) {
            emit updateStatusText(QStringLiteral("Error erasing page at 0x") + hex(page));
            return result;
        }
    }
    reportProgress(0, 1.0f);
    return 0;
}

int UpdaterThread::writeToFlash(int fd, QFile &file, u_int32_t fileOffset, u_int32_t address,
                                u_int32_t length)
{
    qDebug() << "int UpdaterThread::writeToFlash(int, QFile&, u_int32_t, u_int32_t, u_int32_t)";
    reportProgress(1, 0.0f);
    if (length == 0)
        return 0;
    if (length > largestComponentData)
        return -1;
    const std::unique_ptr<char[]> buffer = allocateComponentBuffer();
    if (!allocated(buffer.get()) || !readImage(file, fileOffset, length, buffer.get()))
        return -1;
    const char *const data = buffer.get();
    transferBlocks(fd, address, length, 1, QStringLiteral("Writing to Flash memory at 0x"),
                   [fd, data](u_int32_t offset, u_int32_t count) {
                       return writeAll(fd, data + offset, count);
                   });
    return 0;
}

// The image is read once per call, and every pass compares with those bytes.
int UpdaterThread::verifyAndRepair(int fd, QFile &file, u_int32_t fileOffset, u_int32_t address,
                                   u_int32_t length)
{
    qDebug() << "int UpdaterThread::verifyAndRepair(int, QFile&, u_int32_t, u_int32_t, u_int32_t)";
    if (length == 0)
        return 0;
    if (length > largestComponentData)
        return -1;
    const std::unique_ptr<char[]> fileBuffer = allocateComponentBuffer();
    const std::unique_ptr<char[]> flashBuffer = allocateComponentBuffer();
    if (!allocated(fileBuffer.get()) || !allocated(flashBuffer.get()))
        return -1;
    char *const image = fileBuffer.get();
    char *const flash = flashBuffer.get();
    if (!readImage(file, fileOffset, length, image))
        return -1;
    // The last unit holds the 1 to 3 bytes of a length that is not a multiple of 4.
    const u_int32_t words = (length + 3) / 4;
    QVector<int> repairsOfPage(int(pagesIn(length)), 0);

    for (;;) {
        reportProgress(2, 0.0f);
        transferBlocks(fd, address, length, 2, QStringLiteral("Reading from Flash memory at 0x"),
                       [fd, image, flash](u_int32_t offset, u_int32_t count) {
                           return readFlash(fd, flash + offset, image + offset, count);
                       });
        emit updateStatusText(QStringLiteral("Verifying Flash memory content."));

        u_int32_t w = 0;
        for (; w < words; ++w) {
            if (w % 100 == 0)
                reportProgress(3, float(w) / float(words));
            const u_int32_t offset = 4 * w;
            const u_int32_t count = std::min<u_int32_t>(4, length - offset);
            const u_int32_t expected = wordAt(image, offset, count);
            const u_int32_t found = wordAt(flash, offset, count);
            if (expected == found)
                continue;

            qDebug() << "-----------------------------------";
            qDebug() << QStringLiteral("Mismatch between buffers at 0x") + hex(offset);
            qDebug() << hex(expected) + QStringLiteral(" != ") + hex(found);
            qDebug() << "Trying to repair things...";
            // Programming only clears bits: a word that lacks a 1 bit it needs wants an erase.
            if ((expected & found) == expected) {
                emit updateStatusText(QStringLiteral("Writing to Flash memory at 0x") +
                                      hex(offset));
                lseek(fd, address + offset, SEEK_SET);
                writeAll(fd, image + offset, count);
                usleep(wordRepairPause);
                lseek(fd, address + offset, SEEK_SET);
                char check[4];
                readFlash(fd, check, image + offset, count);
                const u_int32_t checkWord = wordAt(check, 0, count);
                qDebug() << QStringLiteral("Check: ") + hex(checkWord);
                if (checkWord == expected)
                    continue;
            }
            int &repairs = repairsOfPage[int(offset / flashPageSize)];
            if (repairs == pageRepairLimit) {
                emit updateStatusText(QStringLiteral("Error verifying Flash memory at 0x") +
                                      hex(address + (offset & ~(flashPageSize - 1))));
                return -1;
            }
            ++repairs;
            repairPage(fd, image, address, offset);
            break;
        }
        if (w == words)
            return 0;
    }
}

// Erases the page that holds the component offset and writes it again from the image.
void UpdaterThread::repairPage(int fd, const char *fileBuffer, u_int32_t address, u_int32_t offset)
{
    qDebug() << "**************************************";
    const u_int32_t pageOffset = offset & ~(flashPageSize - 1);
    const u_int32_t page = address + pageOffset;
    qDebug() << QStringLiteral("Erasing page at 0x") + hex(page);
    emit updateStatusText(QStringLiteral("Erasing page at 0x") + hex(page));
    ioctl(fd, IOCTL_FLASH_ERASE, page);
    emit updateStatusText(QStringLiteral("Writing to Flash memory at 0x") + hex(page));
    lseek(fd, page, SEEK_SET);
    qDebug() << QStringLiteral("Writing Flash page at 0x") + hex(pageOffset);
    writeAll(fd, fileBuffer + pageOffset, flashPageSize);
    qDebug() << "-----------------------------------\n\n";
}

void UpdaterThread::end(UpdateOutcome::Result outcome, const QString &status)
{
    if (!status.isEmpty())
        emit updateStatusText(status);
    // Whatever stops a run after its first erase leaves the flash without a complete image.
    result.result =
        current > 0 && outcome != UpdateOutcome::Written ? UpdateOutcome::Failed : outcome;
    result.failedComponent = result.result == UpdateOutcome::Failed ? current : 0;
}

void UpdaterThread::process()
{
    emit updateStatusText(QStringLiteral("Updater initialization..."));
    reportProgress(0, 0.0f);
    result = UpdateOutcome();
    result.copyDeclined = copyMode == CopyMode::Declined;
    // The last status text is the outcome's, whichever way the run ends.
    const QMetaObject::Connection lastText = connect(
        this, &UpdaterThread::updateStatusText, this,
        [this](const QString &text) { result.status = text; }, Qt::DirectConnection);
    try {
        run();
    } catch (const std::exception &) {
        // Out of memory outside the component buffers, most likely: the run ends like any
        // other failure, with the node closed and finished() once.
        end(UpdateOutcome::Refused, QStringLiteral("Not enough memory to update the flash."));
    }
    disconnect(lastText);
    emit finished();
}

// Everything is taken from one open descriptor of the image: renaming or replacing the file
// under its name changes nothing from here on.
void UpdaterThread::run()
{
    QFile image;
    QList<ComponentRecord> components;
    const int readResult =
        openImageFile(image, filename) ? readImageComponents(image, components) : -1;
    // An image that cannot be used must leave the flash exactly as it is.
    const QString problem = imageProblem(filename, readResult, components);
    if (!problem.isEmpty())
        return end(UpdateOutcome::Refused, problem);
    if (confirmed && components != *confirmed)
        return end(UpdateOutcome::Refused,
                   QStringLiteral("The update image changed after it was shown. Check it and "
                                  "press Update again."));
    // The bytes that will be written, their checksums, hash and signature, in one read.
    ImageDigest digest(filename, components);
    digest.setExpectedSha256(expectedSha256);
    digest.setOwnCopy(ownCopy);
    if (!digest.read(image))
        return end(UpdateOutcome::Refused, digest.refusal());
    checksums = digest.checksums();

    FlashNode node;
    if (node.fd < 0) {
        QString text = QStringLiteral("Error opening ") + QLatin1String(flashNodePath);
        if (errno == EACCES || errno == EPERM)
            text += QStringLiteral(": permission denied. ") + nodePermissionAdvice();
        return end(UpdateOutcome::NoDevice, text);
    }
    // Two updates interleaved on one flash would each end in "Done" over a mix of both images.
    if (flock(node.fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return end(UpdateOutcome::Busy,
                   QStringLiteral("The flash memory is being updated by another program."));
    update(node.fd, image, components);
}

void UpdaterThread::update(int fd, QFile &image, const QList<ComponentRecord> &components)
{
    unlockFlash(fd);
    if (copyMode == CopyMode::Save && !saveCopy(fd, components))
        return;
    result.unrecorded = !UpdateRecord::beginning(filename, components, result.copyPath).save();
    if (!updateComponents(fd, image, components))
        return end(UpdateOutcome::Failed, QString());
    image.close();
    FlashCopies::prune();
    if (UpdateRecord::finished(components)) {
        // Pages that an earlier update left erased or half written lie outside this image.
        result.incompleteSince = UpdateRecord::load().since();
        end(UpdateOutcome::Written,
            QStringLiteral("Done updating, but the flash still does not hold a complete image %1. "
                           "Update again before restarting the computer.")
                .arg(result.incompleteSince));
    } else {
        end(UpdateOutcome::Written,
            QStringLiteral("Done updating. It is now safe to restart the computer."));
    }
    emit updateCurrentProgress(100);
    emit updateTotalProgress(100);
}

// Saves the pages that the update will erase, as an image that puts them back, before the
// first erase. Its component list says what it holds: the installed software version.
bool UpdaterThread::saveCopy(int fd, const QList<ComponentRecord> &components)
{
    InstalledVersionWords installed{0, 0, 0};
    readInstalledVersionWords(&installed);
    const QString folder = FlashCopies::folder();
    const QString path = FlashCopies::newPath(QDateTime::currentDateTimeUtc());
    emit updateStatusText(QStringLiteral("Saving a copy of the flash to %1...").arg(path));

    QSaveFile file(path);
    u_int32_t unread = 0;
    QString problem;
    if (!QDir().mkpath(folder)) {
        problem = QStringLiteral("cannot make the folder %1").arg(folder);
    } else if (!file.open(QIODevice::WriteOnly)) {
        problem = file.errorString();
    } else if (!copyPages(fd, components, installed.software, file, &unread)) {
        end(UpdateOutcome::Refused, QStringLiteral("Error reading Flash memory at 0x%1 for a "
                                                   "copy. The flash was not changed.")
                                        .arg(hex(unread)));
        return false;
    } else if (!file.commit()) {
        problem = file.errorString();
    } else if (!syncFolder(folder)) {
        // Only a copy that survives a power loss may let the erase begin.
        problem = QStringLiteral("cannot sync the folder %1").arg(folder);
    }
    if (!problem.isEmpty()) {
        end(UpdateOutcome::CopyNotSaved,
            QStringLiteral("No copy of the flash could be saved: %1.").arg(problem));
        return false;
    }
    result.copyPath = path;
    return true;
}

// Streams the pages into the copy one at a time, in transfer blocks as the read-back reads, so
// it costs no more memory than one page. False, with the address, when the flash cannot be
// read; a failed write of the file shows when it is committed.
bool UpdaterThread::copyPages(int fd, const QList<ComponentRecord> &components, u_int32_t version,
                              QSaveFile &file, u_int32_t *unread)
{
    quint64 total = 0;
    for (const ComponentRecord &c : components)
        total += quint64(pagesIn(c.dataLength())) * flashPageSize;
    QByteArray page(int(flashPageSize), Qt::Uninitialized);
    quint64 done = 0;
    for (int i = 0; i < components.size(); ++i) {
        const ComponentRecord &c = components.at(i);
        const u_int32_t length = pagesIn(c.dataLength()) * flashPageSize;
        ComponentRecord fields = c;
        fields.version = version;
        const bool last = i == components.size() - 1;
        file.write(blockHeader(fields, last ? 0 : length + ImageFormat::headerSize));
        lseek(fd, c.flashAddress, SEEK_SET);
        for (u_int32_t offset = 0; offset < length; offset += flashPageSize) {
            for (u_int32_t at = 0; at < flashPageSize; at += transferBlockSize) {
                if (readUpTo(fd, page.data() + at, transferBlockSize) != transferBlockSize) {
                    *unread = c.flashAddress + offset + at;
                    return false;
                }
            }
            file.write(page);
            done += flashPageSize;
            emit updateCurrentProgress(int(done * 100 / total));
        }
    }
    return true;
}

// Erases twice, writes and verifies each component in turn; stops at the first failure.
bool UpdaterThread::updateComponents(int fd, QFile &image, const QList<ComponentRecord> &components)
{
    const QVector<float> shares = componentShares(components);
    completedShare = 0.0f;
    for (int i = 0; i < components.size(); ++i) {
        const ComponentRecord &c = components.at(i);
        const u_int32_t length = c.dataLength();
        componentShare = shares.at(i);
        current = i + 1;
        emit updateStatusText(QStringLiteral("Started erasing Flash memory..."));
        if (eraseFlash(fd, c.flashAddress, length) < 0 ||
            eraseFlash(fd, c.flashAddress, length) < 0)
            return false;
        emit updateStatusText(QStringLiteral("Started writing to Flash memory..."));
        if (writeToFlash(fd, image, c.fileOffset, c.flashAddress, length) < 0)
            return false;
        emit updateStatusText(QStringLiteral("Verifying Flash memory..."));
        if (verifyAndRepair(fd, image, c.fileOffset, c.flashAddress, length) < 0)
            return false;
        completedShare += componentShare;
    }
    return true;
}
