#include "UpdaterThread.h"

#include "FlashNode.h"
#include "ImageChecks.h"
#include "ImageDigest.h"
#include "ImageReader.h"
#include "StateFolder.h"
#include "SystemError.h"
#include "UpdateProgress.h"
#include "UpdateRecord.h"
#include "UpdateVerdict.h"
#include "VorlanDriver.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QVector>
#include <QtEndian>

#include <cerrno>
#include <ctime>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

namespace {

constexpr u_int32_t transferBlockSize = 1024;
constexpr long wordRepairPauseNs = 50000000;
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

// Reads flash content; bytes that could not be read are set to differ from the image, so that
// an unread word can never pass for a correct one. Returns whether every byte was read.
bool readFlash(FlashNode &node, char *flash, const char *image, size_t count)
{
    const size_t done = node.readUpTo(flash, count);
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

// The time the flash needs to program a word, in full: a signal that wakes the thread early
// does not cut it short.
void pauseForProgramming()
{
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_nsec += wordRepairPauseNs;
    deadline.tv_sec += deadline.tv_nsec / 1000000000;
    deadline.tv_nsec %= 1000000000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
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
    checked.setFilename(filename);
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
        emit updateStatusText(tr("Not enough memory to update the flash."));
    return buffer != nullptr;
}

// The checked bytes of the component's data; null, said why, when the image no longer holds
// them.
const char *UpdaterThread::checkedBytes(QFile &image, u_int32_t fileOffset, u_int32_t address,
                                        u_int32_t length)
{
    const char *const bytes = checked.bytes(image, fileOffset, address, length);
    if (!bytes)
        emit updateStatusText(checked.problem());
    return bytes;
}

// Every transfer after a failed seek would land at a wrong place: the component fails instead.
bool UpdaterThread::seekFlash(FlashNode &node, u_int32_t address)
{
    if (node.seek(address))
        return true;
    const int error = errno;
    emit updateStatusText(
        tr("Error seeking Flash memory to 0x%1: %2").arg(hex(address), systemErrorText(error)));
    return false;
}

// Moves length bytes through the node in transfer blocks from the flash address, with one seek
// for the whole run, and announces each whole block. A block that did not go through whole
// would leave the node's position short, so the next block seeks to its own address. False
// when a seek failed.
bool UpdaterThread::transferBlocks(int fd, u_int32_t address, u_int32_t length, int stage,
                                   const QString &announcement,
                                   const std::function<bool(u_int32_t, u_int32_t)> &transfer)
{
    FlashNode node(fd);
    if (!seekFlash(node, address))
        return false;
    const u_int32_t blocks = length / transferBlockSize;
    for (u_int32_t k = 0; k < blocks; ++k) {
        const u_int32_t offset = k * transferBlockSize;
        reportProgress(stage, float(k) / float(blocks));
        if (!transfer(offset, transferBlockSize) &&
            !seekFlash(node, address + offset + transferBlockSize))
            return false;
        emit updateStatusText(announcement.arg(hex(address + offset)));
    }
    const u_int32_t rest = blocks * transferBlockSize;
    // What the last transfer missed shows in the comparison.
    transfer(rest, length - rest);
    return true;
}

int UpdaterThread::unlockFlash(int fd)
{
    qDebug() << "int UpdaterThread::unlockFlash(int)";
    FlashNode node(fd);
    const int result = node.unlock();
    if (result < 0)
        emit updateStatusText(tr("Error unlocking Flash memory."));
    return result;
}

int UpdaterThread::eraseFlash(int fd, u_int32_t address, u_int32_t length)
{
    qDebug() << "int UpdaterThread::eraseFlash(int, u_int32_t, u_int32_t)";
    FlashNode node(fd);
    const u_int32_t pages = pagesIn(length);
    for (u_int32_t k = 0; k < pages; ++k) {
        const u_int32_t page = address + k * flashPageSize;
        reportProgress(0, float(k) / float(pages));
        emit updateStatusText(tr("Erasing page at 0x%1").arg(hex(page)));
        const int result = node.erase(page);
        if (result < 0) {
            emit updateStatusText(tr("Error erasing page at 0x%1").arg(hex(page)));
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
    const char *const data = checkedBytes(file, fileOffset, address, length);
    if (!data)
        return -1;
    FlashNode node(fd);
    const bool written =
        transferBlocks(fd, address, length, 1, tr("Writing to Flash memory at 0x%1"),
                       [&node, data](u_int32_t offset, u_int32_t count) {
                           return node.writeAll(data + offset, count);
                       });
    return written ? 0 : -1;
}

// The image is read once per call and must still hold the checked bytes, which every pass
// compares with.
int UpdaterThread::verifyAndRepair(int fd, QFile &file, u_int32_t fileOffset, u_int32_t address,
                                   u_int32_t length)
{
    qDebug() << "int UpdaterThread::verifyAndRepair(int, QFile&, u_int32_t, u_int32_t, u_int32_t)";
    if (length == 0)
        return 0;
    if (length > largestComponentData)
        return -1;
    const char *const image = checkedBytes(file, fileOffset, address, length);
    if (!image)
        return -1;
    const std::unique_ptr<char[]> flashBuffer = allocateComponentBuffer();
    if (!allocated(flashBuffer.get()))
        return -1;
    char *const flash = flashBuffer.get();
    FlashNode node(fd);
    // The last unit holds the 1 to 3 bytes of a length that is not a multiple of 4.
    const u_int32_t words = (length + 3) / 4;
    QVector<int> repairsOfPage(int(pagesIn(length)), 0);

    for (;;) {
        currentStage = Stage::ReadingBack;
        reportProgress(2, 0.0f);
        if (!transferBlocks(fd, address, length, 2, tr("Reading from Flash memory at 0x%1"),
                            [&node, image, flash](u_int32_t offset, u_int32_t count) {
                                return readFlash(node, flash + offset, image + offset, count);
                            }))
            return -1;
        currentStage = Stage::Comparing;
        emit updateStatusText(tr("Verifying Flash memory content."));

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
                if (!seekFlash(node, address + offset))
                    return -1;
                emit updateStatusText(tr("Writing to Flash memory at 0x%1").arg(hex(offset)));
                // A rewrite that the node refuses leaves only the erase.
                if (node.writeAll(image + offset, count)) {
                    pauseForProgramming();
                    if (!seekFlash(node, address + offset))
                        return -1;
                    char check[4];
                    readFlash(node, check, image + offset, count);
                    const u_int32_t checkWord = wordAt(check, 0, count);
                    qDebug() << QStringLiteral("Check: ") + hex(checkWord);
                    if (checkWord == expected)
                        continue;
                }
            }
            int &repairs = repairsOfPage[int(offset / flashPageSize)];
            if (repairs == pageRepairLimit) {
                emit updateStatusText(tr("Error verifying Flash memory at 0x%1")
                                          .arg(hex(address + (offset & ~(flashPageSize - 1)))));
                return -1;
            }
            ++repairs;
            if (!repairPage(fd, image, address, offset))
                return -1;
            break;
        }
        if (w == words)
            return 0;
    }
}

// Erases the page that holds the component offset and writes it again from the image. False
// when the page could not be erased or reached.
bool UpdaterThread::repairPage(int fd, const char *fileBuffer, u_int32_t address, u_int32_t offset)
{
    qDebug() << "**************************************";
    FlashNode node(fd);
    const u_int32_t pageOffset = offset & ~(flashPageSize - 1);
    const u_int32_t page = address + pageOffset;
    qDebug() << QStringLiteral("Erasing page at 0x") + hex(page);
    emit updateStatusText(tr("Erasing page at 0x%1").arg(hex(page)));
    if (node.erase(page) < 0) {
        emit updateStatusText(tr("Error erasing page at 0x%1").arg(hex(page)));
        return false;
    }
    if (!seekFlash(node, page))
        return false;
    emit updateStatusText(tr("Writing to Flash memory at 0x%1").arg(hex(page)));
    qDebug() << QStringLiteral("Writing Flash page at 0x") + hex(pageOffset);
    // Whatever the page did not take, the next pass finds and repairs again.
    static_cast<void>(node.writeAll(fileBuffer + pageOffset, flashPageSize));
    qDebug() << "-----------------------------------\n\n";
    return true;
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
    emit updateStatusText(tr("Updater initialization..."));
    reportProgress(0, 0.0f);
    result = UpdateOutcome();
    // The last status text is the outcome's, whichever way the run ends.
    const QMetaObject::Connection lastText = connect(
        this, &UpdaterThread::updateStatusText, this,
        [this](const QString &text) { result.status = text; }, Qt::DirectConnection);
    try {
        run();
    } catch (const std::exception &) {
        // Out of memory outside the component buffers, most likely: the run ends like any
        // other failure, with the node closed and finished() once.
        end(UpdateOutcome::Refused, tr("Not enough memory to update the flash."));
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
    // An image that cannot be used must leave the flash exactly as it is.
    const QString problem = readCheckedImage(image, filename, components);
    if (!problem.isEmpty())
        return end(UpdateOutcome::Refused, problem);
    if (confirmed && components != *confirmed)
        return end(UpdateOutcome::Refused,
                   tr("The update image changed after it was shown. Check it and "
                      "press Update again."));
    // The bytes that will be written, their hashes and signatures, in one read.
    ImageDigest digest(filename, components);
    digest.setExpectedSha256(expectedSha256);
    digest.setOwnCopy(ownCopy);
    if (!digest.read(image))
        return end(UpdateOutcome::Refused, digest.refusal());
    checked.setHashes(digest.componentHashes());
    result.sha256 = digest.sha256();
    result.signature = digest.signature();
    // The record and the copies decide what is written back one day: a folder that anyone
    // else could change is not used, and then nothing is done.
    const StateFolder folder;
    if (!folder.usable())
        return end(UpdateOutcome::Refused, folder.problem());

    FlashNode node;
    QString trouble;
    switch (node.claim(FlashNode::Access::ReadWrite, &trouble)) {
    case FlashNode::Claim::Taken:
        break;
    case FlashNode::Claim::Unavailable:
        return end(UpdateOutcome::NoDevice, trouble);
    // Two updates interleaved on one flash would each end in "Done" over a mix of both images.
    case FlashNode::Claim::Busy:
        return end(UpdateOutcome::Busy, trouble);
    case FlashNode::Claim::Refused:
        return end(UpdateOutcome::Refused, trouble);
    }
    emit flashOpened();
    update(node.descriptor(), image, components, folder, digest.sha256());
}

// The record is written once before the first erase and once at the end; the flash
// operations between know nothing of it.
void UpdaterThread::update(int fd, QFile &image, const QList<ComponentRecord> &components,
                           const StateFolder &folder, const QByteArray &sha256)
{
    unlockFlash(fd);
    UpdateRecord record(folder, fd,
                        {[this](const QString &path) {
                             currentStage = Stage::SavingCopy;
                             emit updateStatusText(
                                 tr("Saving a copy of the flash to %1...").arg(path));
                         },
                         [this](int percent) { emit updateCurrentProgress(percent); }});
    switch (record.begin(components, QFileInfo(filename).absoluteFilePath(), sha256,
                         copyMode == CopyMode::Save)) {
    case UpdateRecord::Begun::Ready:
        break;
    case UpdateRecord::Begun::CopyNotSaved:
        return end(UpdateOutcome::CopyNotSaved, record.problem());
    default:
        return end(UpdateOutcome::Refused, record.problem());
    }
    result.copyPath = record.copyPath();
    if (!updateComponents(fd, image, components)) {
        record.failed(UpdateVerdict::componentAt(components, current, false));
        return end(UpdateOutcome::Failed, QString());
    }
    image.close();
    switch (record.verified()) {
    case UpdateRecord::Ended::Complete:
        end(UpdateOutcome::Written, tr("Done updating. It is now safe to restart the computer."));
        break;
    case UpdateRecord::Ended::OthersAtRisk:
        // Pages that an earlier update left erased or half written lie outside this image.
        end(UpdateOutcome::Written,
            tr("Done updating, but the flash still does not hold a complete image %1. "
               "Update again before restarting the computer.")
                .arg(record.since()));
        break;
    case UpdateRecord::Ended::Unknown:
        end(UpdateOutcome::Written,
            tr("Done updating, but the record of an earlier update is damaged, so the tool "
               "cannot tell whether other pages of the flash are at risk."));
        break;
    case UpdateRecord::Ended::NotRecorded:
        result.recordProblem = record.problem();
        end(UpdateOutcome::Written,
            tr("Done updating: the flash holds the image, but the record of the pages at risk "
               "could not be updated: %1.")
                .arg(record.problem()));
        break;
    }
    emit updateCurrentProgress(100);
    emit updateTotalProgress(100);
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
        if (!checked.take(image, c, UpdateVerdict::componentAt(components, current))) {
            emit updateStatusText(checked.problem());
            return false;
        }
        currentStage = Stage::Erasing;
        emit updateStatusText(tr("Started erasing Flash memory..."));
        if (eraseFlash(fd, c.flashAddress, length) < 0 ||
            eraseFlash(fd, c.flashAddress, length) < 0)
            return false;
        currentStage = Stage::Writing;
        emit updateStatusText(tr("Started writing to Flash memory..."));
        if (writeToFlash(fd, image, c.fileOffset, c.flashAddress, length) < 0)
            return false;
        currentStage = Stage::ReadingBack;
        emit updateStatusText(tr("Verifying Flash memory..."));
        if (verifyAndRepair(fd, image, c.fileOffset, c.flashAddress, length) < 0)
            return false;
        completedShare += componentShare;
    }
    return true;
}
