#include "CheckedData.h"

#include "ImageChecks.h"
#include "ImageFormat.h"
#include "Sha256.h"
#include "VorlanDriver.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// The image is read again in blocks of this size and compared with the checked bytes.
constexpr u_int32_t compareBlockSize = 64 * 1024;

// Why a read of a component's data from the image did not deliver all of it.
QString dataReadProblem(const QFile &image)
{
    return image.error() == QFileDevice::NoError
               ? CheckedData::tr("a component's data is cut short")
               : CheckedData::tr("it cannot be read: %1").arg(image.errorString());
}

} // namespace

CheckedData::CheckedData() = default;

CheckedData::~CheckedData() = default;

bool CheckedData::load(QFile &image, u_int32_t fileOffset, u_int32_t length, const QString &name)
{
    offset.reset();
    changed = tr("The update image changed after it was checked: %1.").arg(name);
    // Pages of the block that are never written are never made resident.
    if (!buffer)
        buffer.reset(new (std::nothrow) char[largestComponentData]);
    if (!buffer) {
        trouble = tr("Not enough memory to update the flash.");
        return false;
    }
    const bool whole = image.seek(qint64(fileOffset) + ImageFormat::headerSize) &&
                       image.read(buffer.get(), length) == qint64(length);
    const u_int32_t end =
        u_int32_t((quint64(length) + flashPageSize - 1) / flashPageSize * flashPageSize);
    std::memset(buffer.get() + length, 0xFF, size_t(end - length));
    if (!whole) {
        trouble = imageReadError(filename, dataReadProblem(image));
        return false;
    }
    offset = fileOffset;
    return true;
}

bool CheckedData::take(QFile &image, const ComponentRecord &component, const QString &name)
{
    const u_int32_t length = component.dataLength();
    if (length == 0)
        return true;
    if (!load(image, component.fileOffset, length, name))
        return false;
    Sha256 sha;
    sha.addData(buffer.get(), length);
    if (sha.result() == hashes.value(component.fileOffset))
        return true;
    offset.reset();
    trouble = changed;
    return false;
}

const char *CheckedData::bytes(QFile &image, u_int32_t fileOffset, u_int32_t address,
                               u_int32_t length)
{
    if (!offset || *offset != fileOffset)
        return load(image, fileOffset, length, QStringLiteral("0x") + QString::number(address, 16))
                   ? buffer.get()
                   : nullptr;
    QByteArray block(int(std::min(length, compareBlockSize)), Qt::Uninitialized);
    const bool sought = image.seek(qint64(fileOffset) + ImageFormat::headerSize);
    for (u_int32_t done = 0; done < length;) {
        const u_int32_t count = std::min(length - done, compareBlockSize);
        if (!sought || image.read(block.data(), count) != qint64(count)) {
            trouble = imageReadError(filename, dataReadProblem(image));
            return nullptr;
        }
        if (std::memcmp(block.constData(), buffer.get() + done, count) != 0) {
            trouble = changed;
            return nullptr;
        }
        done += count;
    }
    return buffer.get();
}
