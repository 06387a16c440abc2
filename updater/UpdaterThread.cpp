#include "UpdaterThread.h"

#include "ComponentRecord.h"
#include "ImageReader.h"
#include "VorlanDriver.h"

#include <QDebug>
#include <QFile>
#include <QVector>
#include <QtEndian>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// Each stage's part of a component's share of the whole update: erase, write, read-back, compare.
constexpr float stageWeights[] = {0.05f, 0.88f, 0.04f, 0.03f};

constexpr u_int32_t componentBufferSize = 0x2000000;
constexpr u_int32_t transferBlockSize = 1024;
constexpr useconds_t wordRepairPause = 50000;
// A page that still differs after this many erase-and-rewrites will not get better.
constexpr int pageRepairLimit = 3;
constexpr u_int32_t blockHeaderSize = 32;

QString hex(u_int32_t value)
{
    return QString::number(value, 16);
}

u_int32_t pagesIn(u_int32_t length)
{
    return u_int32_t((quint64(length) + flashPageSize - 1) / flashPageSize);
}

// The bytes that a component puts into the flash: its block less the block's header.
u_int32_t dataLength(const ComponentRecord &component)
{
    return component.size - blockHeaderSize;
}

std::unique_ptr<char[]> allocateComponentBuffer()
{
    // Pages of the block that are never written are never made resident.
    return std::unique_ptr<char[]>(new (std::nothrow) char[componentBufferSize]);
}

// Reads a component's data from the image; false unless every byte of it arrived. The rest of
// the component's last page holds 0xFF, the erased value: a page repair writes whole pages.
bool readComponentData(QFile &image, u_int32_t fileOffset, u_int32_t length, char *buffer)
{
    const bool whole = image.seek(qint64(fileOffset) + blockHeaderSize) &&
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

// Reads flash content; bytes that could not be read are set to differ from the image, so that
// an unread word can never pass for a correct one. Returns whether every byte was read.
bool readFlash(int fd, char *flash, const char *image, size_t count)
{
    const auto readSome = [fd](char *at, size_t n) { return read(fd, at, n); };
    const size_t done = transferAll(flash, count, readSome);
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

void UpdaterThread::reportProgress(int stage, float fraction)
{
    emit updateCurrentProgress(int(100.0f * fraction));
    float stageBase = 0.0f;
    for (int i = 0; i < stage; ++i)
        stageBase += stageWeights[i];
    const float total =
        ((stageBase + fraction * stageWeights[stage]) * componentShare + completedShare) * 100.0f;
    emit updateTotalProgress(int(total));
}

bool UpdaterThread::allocated(const void *buffer)
{
    if (!buffer)
        emit updateStatusText(QStringLiteral("Not enough memory to update the flash."));
    return buffer != nullptr;
}

bool UpdaterThread::readImage(QFile &image, u_int32_t fileOffset, u_int32_t length, char *buffer)
{
    if (readComponentData(image, fileOffset, length, buffer))
        return true;
    emit updateStatusText(readErrorText());
    return false;
}

QString UpdaterThread::readErrorText() const
{
    return QStringLiteral("Error reading update image ") + filename;
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
    static const char token[] = "mindful!!";
    const int result = ioctl(fd, IOCTL_FLASH_UNLOCK, token);
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
    if (length > componentBufferSize)
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

int UpdaterThread::verifyAndRepair(int fd, QFile &file, u_int32_t fileOffset, u_int32_t address,
                                   u_int32_t length)
{
    qDebug() << "int UpdaterThread::verifyAndRepair(int, QFile&, u_int32_t, u_int32_t, u_int32_t)";
    if (length == 0)
        return 0;
    if (length > componentBufferSize)
        return -1;
    const std::unique_ptr<char[]> fileBuffer = allocateComponentBuffer();
    const std::unique_ptr<char[]> flashBuffer = allocateComponentBuffer();
    if (!allocated(fileBuffer.get()) || !allocated(flashBuffer.get()))
        return -1;
    char *const image = fileBuffer.get();
    char *const flash = flashBuffer.get();
    // The last unit holds the 1 to 3 bytes of a length that is not a multiple of 4.
    const u_int32_t words = (length + 3) / 4;
    QVector<int> repairsOfPage(int(pagesIn(length)), 0);

    for (;;) {
        reportProgress(2, 0.0f);
        if (!readImage(file, fileOffset, length, image))
            return -1;
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

// Why the image cannot be programmed, or an empty string. Each kind of problem is looked for
// in every component before the next kind.
QString UpdaterThread::imageProblem(int readResult, const QList<ComponentRecord> &components) const
{
    // A block shorter than its own header is no component at all.
    const auto broken = [](const ComponentRecord &c) { return c.size < blockHeaderSize; };
    if (readResult < 0 || components.isEmpty() ||
        std::any_of(components.begin(), components.end(), broken))
        return readErrorText();

    const auto at = [](const ComponentRecord &c) {
        return QStringLiteral("Component at 0x") + hex(c.flashAddress);
    };
    const std::function<QString(const ComponentRecord &)> checks[] = {
        [&](const ComponentRecord &c) {
            return dataLength(c) > componentBufferSize ? at(c) + QStringLiteral(" is too large.")
                                                       : QString();
        },
        [&](const ComponentRecord &c) {
            return quint64(c.flashAddress) + dataLength(c) > 0x100000000ull
                       ? at(c) + QStringLiteral(" runs past the end of the flash address space.")
                       : QString();
        },
        // The driver erases whole pages; what it does with an address inside one is undefined.
        [&](const ComponentRecord &c) {
            return dataLength(c) > 0 && c.flashAddress % flashPageSize != 0
                       ? at(c) + QStringLiteral(" does not start on a flash page.")
                       : QString();
        },
    };
    for (const auto &check : checks) {
        for (const ComponentRecord &component : components) {
            const QString problem = check(component);
            if (!problem.isEmpty())
                return problem;
        }
    }
    return sharedPage(components);
}

// Each component's erase would wipe whatever an earlier one wrote into a page they share, and
// the update would end in "Done" over a flash that does not hold the image.
QString UpdaterThread::sharedPage(const QList<ComponentRecord> &components)
{
    struct PageSpan
    {
        u_int32_t first;
        u_int32_t last;
        u_int32_t address;
    };
    std::vector<PageSpan> spans;
    for (const ComponentRecord &c : components) {
        if (dataLength(c) > 0)
            spans.push_back(
                {c.flashAddress / flashPageSize,
                 u_int32_t((quint64(c.flashAddress) + dataLength(c) - 1) / flashPageSize),
                 c.flashAddress});
    }
    std::sort(spans.begin(), spans.end(),
              [](const PageSpan &a, const PageSpan &b) { return a.first < b.first; });
    for (size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first <= spans[i - 1].last)
            return QStringLiteral("Components at 0x") + hex(spans[i - 1].address) +
                   QStringLiteral(" and 0x") + hex(spans[i].address) +
                   QStringLiteral(" share a flash page.");
    }
    return QString();
}

void UpdaterThread::process()
{
    emit updateStatusText(QStringLiteral("Updater initialization..."));
    reportProgress(0, 0.0f);

    QList<ComponentRecord> components;
    const int readResult = readImageComponents(filename, components);
    // An image that cannot be used must leave the flash exactly as it is.
    QString problem = imageProblem(readResult, components);
    QFile image;
    if (problem.isEmpty() && !openImageFile(image, filename))
        problem = readErrorText();
    if (!problem.isEmpty()) {
        emit updateStatusText(problem);
        emit finished();
        return;
    }

    const int fd = open(flashNodePath, O_RDWR);
    if (fd < 0) {
        emit updateStatusText(QStringLiteral("Error opening ") + QLatin1String(flashNodePath));
        emit finished();
        return;
    }
    // Two updates interleaved on one flash would each end in "Done" over a mix of both images.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        emit updateStatusText(
            QStringLiteral("The flash memory is being updated by another program."));
    } else if (updateComponents(fd, image, components)) {
        image.close();
        emit updateStatusText(
            QStringLiteral("Done updating. It is now safe to restart the computer."));
        emit updateCurrentProgress(100);
        emit updateTotalProgress(100);
    }
    close(fd);
    emit finished();
}

// Erases twice, writes and verifies each component in turn; stops at the first failure.
bool UpdaterThread::updateComponents(int fd, QFile &image, const QList<ComponentRecord> &components)
{
    quint64 totalLength = 0;
    for (const ComponentRecord &component : components)
        totalLength += dataLength(component);
    QVector<float> shares;
    shares.reserve(components.size());
    for (const ComponentRecord &component : components)
        shares.append(totalLength ? float(dataLength(component)) / float(totalLength)
                                  : 1.0f / float(components.size()));

    unlockFlash(fd);
    completedShare = 0.0f;
    for (int i = 0; i < components.size(); ++i) {
        const ComponentRecord &c = components.at(i);
        const u_int32_t length = dataLength(c);
        componentShare = shares.at(i);
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
