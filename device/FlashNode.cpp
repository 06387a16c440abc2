#include "FlashNode.h"

#include "NodePermission.h"
#include "SystemError.h"
#include "VorlanDriver.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Moves count bytes in as many requests as the node needs; stops at the first that moves none.
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

} // namespace

FlashNode::~FlashNode()
{
    release();
}

FlashNode::Claim FlashNode::claim(Access access, QString *problem)
{
    const int flags = access == Access::ReadOnly ? O_RDONLY : O_RDWR;
    const int opened = ::open(flashNodePath, flags | O_CLOEXEC);
    if (opened < 0) {
        *problem = nodeOpenError(flashNodePath, errno);
        return Claim::Unavailable;
    }
    release();
    fd = opened;
    owned = true;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return Claim::Taken;
    const int error = errno;
    if (error == EWOULDBLOCK) {
        *problem = tr("The flash memory is being updated by another program.");
        return Claim::Busy;
    }
    *problem = tr("Error locking %1: %2").arg(QLatin1String(flashNodePath), systemErrorText(error));
    return Claim::Refused;
}

int FlashNode::unlock()
{
    return ioctl(fd, IOCTL_FLASH_UNLOCK, unlockToken);
}

int FlashNode::erase(u_int32_t page)
{
    return ioctl(fd, IOCTL_FLASH_ERASE, page);
}

bool FlashNode::seek(u_int32_t address)
{
    const off_t at = lseek(fd, off_t(address), SEEK_SET);
    if (at == off_t(address))
        return true;
    if (at >= 0) // the driver put the node elsewhere
        errno = EIO;
    return false;
}

// Closing on the way out of a failure must not change the reason that it left in errno.
void FlashNode::release()
{
    if (!owned || fd < 0)
        return;
    const int error = errno;
    ::close(fd);
    errno = error;
    fd = -1;
    owned = false;
}

ssize_t FlashNode::read(char *data, size_t count)
{
    return ::read(fd, data, count);
}

ssize_t FlashNode::write(const char *data, size_t count)
{
    return ::write(fd, data, count);
}

size_t FlashNode::readUpTo(char *data, size_t count)
{
    return transferAll(data, count, [this](char *at, size_t n) { return read(at, n); });
}

bool FlashNode::writeAll(const char *data, size_t count)
{
    return transferAll(data, count, [this](const char *at, size_t n) { return write(at, n); }) ==
           count;
}
