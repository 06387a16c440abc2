#include "UpdaterThread.h"

#include "ComponentRecord.h"
#include "ImageReader.h"
#include "VorlanDriver.h"

#include <QDebug>
#include <QFile>
#include <QVector>
#include <QtEndian>

#include <fcntl.h>
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
constexpr qint64 blockHeaderSize = 32;

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
    return std::unique_ptr<char[]>(new (std::nothrow) char[componentBufferSize]);
}

// Reads a component's data from the image. Whatever the read leaves unfilled up to the end of
// the component's last page (a short image, or the bytes past the end of the file) holds 0xFF,
// the erased value, so that nothing undefined is ever programmed.
void readComponentData(QFile &image, u_int32_t fileOffset, u_int32_t length, char *buffer)
{
    image.seek(qint64(fileOffset) + blockHeaderSize);
    const qint64 got = qMax<qint64>(0, image.read(buffer, length));
    const qint64 end = qint64(pagesIn(length)) * flashPageSize;
    std::memset(buffer + got, 0xFF, size_t(end - got));
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

size_t writeAll(int fd, const char *data, size_t count)
{
    return transferAll(data, count, [fd](const char *at, size_t n) { return write(fd, at, n); });
}

// Reads flash content; bytes that could not be read are set to differ from the image, so that
// an unread word can never pass for a correct one.
void readFlash(int fd, char *flash, const char *image, size_t count)
{
    const auto readSome = [fd](char *at, size_t n) { return read(fd, at, n); };
    for (size_t i = transferAll(flash, count, readSome); i < count; ++i)
        flash[i] = char(~image[i]);
}

u_int32_t wordAt(const char *buffer, u_int32_t offset)
{
    return qFromLittleEndian<quint32>(buffer + offset);
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
    if (length > componentBufferSize)
        return -1;
    const std::unique_ptr<char[]> buffer = allocateComponentBuffer();
    if (!allocated(buffer.get()))
        return -1;
    readComponentData(file, fileOffset, length, buffer.get());

    lseek(fd, address, SEEK_SET);
    const u_int32_t blocks = length / transferBlockSize;
    for (u_int32_t k = 0; k < blocks; ++k) {
        reportProgress(1, float(k) / float(blocks));
        writeAll(fd, buffer.get() + k * transferBlockSize, transferBlockSize);
        emit updateStatusText(QStringLiteral("Writing to Flash memory at 0x") +
                              hex(address + k * transferBlockSize));
    }
    const u_int32_t written = blocks * transferBlockSize;
    writeAll(fd, buffer.get() + written, length - written);
    return 0;
}

int UpdaterThread::verifyAndRepair(int fd, QFile &file, u_int32_t fileOffset, u_int32_t address,
                                   u_int32_t length)
{
    qDebug() << "int UpdaterThread::verifyAndRepair(int, QFile&, u_int32_t, u_int32_t, u_int32_t)";
    if (length > componentBufferSize)
        return -1;
    const std::unique_ptr<char[]> fileBuffer = allocateComponentBuffer();
    const std::unique_ptr<char[]> flashBuffer = allocateComponentBuffer();
    if (!allocated(fileBuffer.get()) || !allocated(flashBuffer.get()))
        return -1;
    char *const image = fileBuffer.get();
    char *const flash = flashBuffer.get();
    const u_int32_t words = length / 4;
    const u_int32_t blocks = length / transferBlockSize;
    QVector<int> repairsOfPage(int(pagesIn(length)), 0);

    for (;;) {
        reportProgress(2, 0.0f);
        readComponentData(file, fileOffset, length, image);
        lseek(fd, address, SEEK_SET);
        for (u_int32_t k = 0; k < blocks; ++k) {
            const u_int32_t offset = k * transferBlockSize;
            reportProgress(2, float(k) / float(blocks));
            readFlash(fd, flash + offset, image + offset, transferBlockSize);
            emit updateStatusText(QStringLiteral("Reading from Flash memory at 0x") +
                                  hex(address + offset));
        }
        const u_int32_t read = blocks * transferBlockSize;
        readFlash(fd, flash + read, image + read, length - read);
        emit updateStatusText(QStringLiteral("Verifying Flash memory content."));

        u_int32_t w = 0;
        for (; w < words; ++w) {
            if (w % 100 == 0)
                reportProgress(3, float(w) / float(words));
            const u_int32_t offset = 4 * w;
            const u_int32_t expected = wordAt(image, offset);
            const u_int32_t found = wordAt(flash, offset);
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
                writeAll(fd, image + offset, 4);
                usleep(wordRepairPause);
                lseek(fd, address + offset, SEEK_SET);
                char check[4];
                readFlash(fd, check, image + offset, sizeof check);
                const u_int32_t checkWord = wordAt(check, 0);
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

QString UpdaterThread::imageProblem(int readResult, const QList<ComponentRecord> &components) const
{
    if (readResult < 0 || components.isEmpty())
        return QStringLiteral("Error reading update image ") + filename;
    for (const ComponentRecord &component : components) {
        const QString at = QStringLiteral("Component at 0x") + hex(component.flashAddress);
        if (component.size > componentBufferSize)
            return at + QStringLiteral(" is too large.");
        if (quint64(component.flashAddress) + component.size > 0x100000000ull)
            return at + QStringLiteral(" runs past the end of the flash address space.");
    }
    // Each component's erase would wipe whatever an earlier one wrote into a page they share,
    // and the update would end in "Done" over a flash that does not hold the image.
    struct PageSpan
    {
        quint64 first;
        quint64 last;
        u_int32_t address;
    };
    std::vector<PageSpan> spans;
    for (const ComponentRecord &component : components) {
        const u_int32_t erases = qMax<u_int32_t>(pagesIn(component.size), 1);
        const quint64 first = component.flashAddress / flashPageSize;
        const quint64 last =
            (quint64(component.flashAddress) + quint64(erases - 1) * flashPageSize) / flashPageSize;
        spans.push_back({first, last, component.flashAddress});
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
    const QString problem = imageProblem(readResult, components);
    if (!problem.isEmpty()) {
        emit updateStatusText(problem);
        emit finished();
        return;
    }

    QFile image(filename);
    image.open(QIODevice::ReadOnly);
    const int fd = open(flashNodePath, O_RDWR);
    if (fd < 0) {
        emit updateStatusText(QStringLiteral("Error opening ") + QLatin1String(flashNodePath));
        emit finished();
        return;
    }
    if (updateComponents(fd, image, components)) {
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
    quint64 totalSize = 0;
    for (const ComponentRecord &component : components)
        totalSize += component.size;
    QVector<float> shares;
    shares.reserve(components.size());
    for (const ComponentRecord &component : components)
        shares.append(float(component.size) / float(totalSize));

    unlockFlash(fd);
    completedShare = 0.0f;
    for (int i = 0; i < components.size(); ++i) {
        const ComponentRecord &c = components.at(i);
        componentShare = shares.at(i);
        emit updateStatusText(QStringLiteral("Started erasing Flash memory..."));
        if (eraseFlash(fd, c.flashAddress, c.size) < 0 ||
            eraseFlash(fd, c.flashAddress, c.size) < 0)
            return false;
        emit updateStatusText(QStringLiteral("Started writing to Flash memory..."));
        if (writeToFlash(fd, image, c.fileOffset, c.flashAddress, c.size) < 0)
            return false;
        emit updateStatusText(QStringLiteral("Verifying Flash memory..."));
        if (verifyAndRepair(fd, image, c.fileOffset, c.flashAddress, c.size) < 0)
            return false;
        completedShare += componentShare;
    }
    return true;
}
