// A stand-in for the VORLAN kernel driver, loaded with LD_PRELOAD. It serves the two device
// nodes at the system-call boundary and passes every other call on to the C library untouched.
//
// The flash is a file with NOR semantics: programming can only clear bits,
// and an erase sets a whole 0x20000-byte page back to ones. Faults and device timing are set
// through environment variables (see README.md); they are read again at every open of a node,
// and every counter ("the nth request") counts within one open descriptor.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

// The driver's side of the interface, written out here rather than taken from the program's
// header, so that a wrong number in the program cannot be hidden by the simulator sharing it.
constexpr const char *mailboxPath = "/dev/tarn_mailbox";
constexpr const char *flashPath = "/dev/tarn_flash";
constexpr unsigned long requestMailbox = 0xC008420A;
constexpr unsigned long requestUnlock = 0x40084232;
constexpr unsigned long requestErase = 0x4004423C;
constexpr uint32_t pageSize = 0x20000;
constexpr const char *unlockToken = "mindful!!";

enum class Node
{
    Mailbox,
    Flash
};

// A byte address and a bit mask, as the fault variables list them.
struct BitFault
{
    uint64_t address;
    uint64_t value;
};

struct Config
{
    uint32_t software = 0x05000301;
    uint32_t hwTimestamp = 0x692f5a00;
    uint32_t pid = 0x02000100;
    int mailboxStatus = -1;
    long mailboxFail = 0;
    std::string flashFile = "vorlan-sim-flash.bin";
    uint64_t flashSize = 64u << 20;
    bool refuseUnlock = false;
    std::vector<BitFault> eraseFail; // page address : nth erase of that page
    std::vector<BitFault> stuckBits; // byte address : bits stuck at 0
    std::vector<BitFault> weakBits;  // byte address : bits that the first programming loses
    long shortRead = 0;
    long shortWrite = 0;
    long readFail = 0;
    long writeFail = 0;
    long killAtWrite = 0;
    long lseekFail = 0;
    long eraseMicroseconds = 0;
    long writeMicrosecondsPerKiB = 0;
};

struct OpenNode
{
    Node node;
    Config config;
    uint64_t position = 0;
    bool unlocked = false;
    bool readOnly = false; // opened O_RDONLY: writes are refused, as the kernel refuses them
    long requests = 0;
    long reads = 0;
    long writes = 0;
    long seeks = 0;
    std::map<uint64_t, long> erasesOfPage;
    std::vector<bool> weakBitUsed;
    int flashFile = -1; // read and written with pread and pwrite, so it stays out of RSS

    uint64_t size = 0;
    timespec busyUntil{};
};

using OpenFn = int (*)(const char *, int, ...);
using OpenatFn = int (*)(int, const char *, int, ...);
using CheckedOpenFn = int (*)(const char *, int);
using CheckedOpenatFn = int (*)(int, const char *, int);
using CloseFn = int (*)(int);
using IoctlFn = int (*)(int, unsigned long, ...);
using LseekFn = off_t (*)(int, off_t, int);
using ReadFn = ssize_t (*)(int, void *, size_t);
using WriteFn = ssize_t (*)(int, const void *, size_t);

template <typename Fn> Fn next(const char *name)
{
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

std::mutex lock;
std::map<int, OpenNode> nodes;
// A quick answer for the many calls on descriptors that are not ours.
constexpr int fastTableSize = 4096;
std::atomic<bool> served[fastTableSize];

bool isServed(int fd)
{
    if (fd < 0)
        return false;
    if (fd < fastTableSize)
        return served[fd].load(std::memory_order_acquire);
    std::lock_guard<std::mutex> guard(lock);
    return nodes.count(fd) != 0;
}

const char *env(const char *name)
{
    const char *value = getenv(name);
    return value && *value ? value : nullptr;
}

uint64_t envNumber(const char *name, uint64_t fallback)
{
    const char *value = env(name);
    return value ? strtoull(value, nullptr, 0) : fallback;
}

std::vector<BitFault> envFaults(const char *name)
{
    std::vector<BitFault> faults;
    const char *value = env(name);
    while (value && *value) {
        char *end;
        BitFault fault{strtoull(value, &end, 0), 0};
        if (*end == ':')
            fault.value = strtoull(end + 1, &end, 0);
        faults.push_back(fault);
        value = *end == ',' ? end + 1 : nullptr;
    }
    return faults;
}

Config readConfig()
{
    Config c;
    c.software = envNumber("VORLAN_SIM_SOFTWARE", c.software);
    c.hwTimestamp = envNumber("VORLAN_SIM_TIMESTAMP", c.hwTimestamp);
    c.pid = envNumber("VORLAN_SIM_PID", c.pid);
    if (env("VORLAN_SIM_MAILBOX_STATUS"))
        c.mailboxStatus = envNumber("VORLAN_SIM_MAILBOX_STATUS", 0) & 0xF;
    c.mailboxFail = envNumber("VORLAN_SIM_MAILBOX_FAIL", 0);
    if (env("VORLAN_SIM_FLASH"))
        c.flashFile = env("VORLAN_SIM_FLASH");
    c.flashSize = envNumber("VORLAN_SIM_FLASH_SIZE", c.flashSize);
    c.refuseUnlock = env("VORLAN_SIM_UNLOCK") && !strcmp(env("VORLAN_SIM_UNLOCK"), "refuse");
    c.eraseFail = envFaults("VORLAN_SIM_ERASE_FAIL");
    c.stuckBits = envFaults("VORLAN_SIM_STUCK_BITS");
    c.weakBits = envFaults("VORLAN_SIM_WEAK_BITS");
    c.shortRead = envNumber("VORLAN_SIM_SHORT_READ", 0);
    c.shortWrite = envNumber("VORLAN_SIM_SHORT_WRITE", 0);
    c.readFail = envNumber("VORLAN_SIM_READ_FAIL", 0);
    c.writeFail = envNumber("VORLAN_SIM_WRITE_FAIL", 0);
    c.killAtWrite = envNumber("VORLAN_SIM_KILL_AT_WRITE", 0);
    c.lseekFail = envNumber("VORLAN_SIM_LSEEK_FAIL", 0);
    c.eraseMicroseconds = envNumber("VORLAN_SIM_ERASE_US", 0);
    c.writeMicrosecondsPerKiB = envNumber("VORLAN_SIM_WRITE_US_PER_KIB", 0);
    return c;
}

bool isMissing(const char *variable)
{
    return env(variable) && !strcmp(env(variable), "missing");
}

const char *nodeName(Node node)
{
    return node == Node::Mailbox ? "mailbox" : "flash";
}

// One line per served call, appended to the file named by VORLAN_SIM_TRACE, after the
// monotonic time in microseconds.
void trace(const char *format, ...)
{
    const char *path = env("VORLAN_SIM_TRACE");
    if (!path)
        return;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    static std::string openPath;
    static FILE *file = nullptr;
    if (!file || openPath != path) {
        if (file)
            fclose(file);
        file = fopen(path, "a");
        openPath = path;
        if (!file)
            return;
    }
    fprintf(file, "%" PRId64 " ", int64_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
    va_list args;
    va_start(args, format);
    vfprintf(file, format, args);
    va_end(args);
    fputc('\n', file);
    fflush(file);
}

int fail(int error)
{
    errno = error;
    return -1;
}

bool flashBytes(OpenNode &node, uint64_t address, void *bytes, size_t count)
{
    return pread(node.flashFile, bytes, count, off_t(address)) == ssize_t(count);
}

bool setFlashBytes(OpenNode &node, uint64_t address, const void *bytes, size_t count)
{
    return pwrite(node.flashFile, bytes, count, off_t(address)) == ssize_t(count);
}

// Opens the flash file, creating it erased when it does not exist yet.
bool openFlash(OpenNode &node)
{
    static const auto realOpen = next<OpenFn>("open");
    const int fd = realOpen(node.config.flashFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    node.flashFile = fd;
    struct stat info;
    const bool fresh = fstat(fd, &info) == 0 && info.st_size == 0;
    node.size = fresh ? node.config.flashSize : uint64_t(info.st_size);
    bool ok = node.size <= 0x100000000ull;
    if (ok && fresh) {
        const std::vector<uint8_t> erased(pageSize, 0xFF);
        for (uint64_t at = 0; ok && at < node.size; at += pageSize)
            ok = setFlashBytes(node, at, erased.data(),
                               std::min<uint64_t>(pageSize, node.size - at));
    }
    if (!ok) {
        next<CloseFn>("close")(fd);
        node.flashFile = -1;
    }
    return ok;
}

int serveOpen(const char *path, int flags)
{
    Node kind;
    if (!strcmp(path, mailboxPath))
        kind = Node::Mailbox;
    else if (!strcmp(path, flashPath))
        kind = Node::Flash;
    else
        return -2;

    std::lock_guard<std::mutex> guard(lock);
    if (isMissing(kind == Node::Mailbox ? "VORLAN_SIM_MAILBOX" : "VORLAN_SIM_FLASH_NODE")) {
        trace("%s open = -1 missing", nodeName(kind));
        return fail(ENOENT);
    }
    OpenNode node;
    node.node = kind;
    node.readOnly = (flags & O_ACCMODE) == O_RDONLY;
    node.config = readConfig();
    node.weakBitUsed.assign(node.config.weakBits.size(), false);
    if (kind == Node::Flash && !openFlash(node)) {
        trace("%s open = -1 no flash file", nodeName(kind));
        return fail(EIO);
    }
    // The flash node's descriptor is one of the flash file itself, so that a lock the program
    // takes on the node guards this simulated flash and no other.
    static const auto realOpen = next<OpenFn>("open");
    const char *target = kind == Node::Flash ? node.config.flashFile.c_str() : "/dev/null";
    const int fd = realOpen(target, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        if (node.flashFile >= 0)
            next<CloseFn>("close")(node.flashFile);
        return -1;
    }
    nodes[fd] = std::move(node);
    if (fd < fastTableSize)
        served[fd].store(true, std::memory_order_release);
    trace("%s open%s", nodeName(kind), nodes[fd].readOnly ? " read-only" : "");
    return fd;
}

// Device time: the device works on at its own pace while the caller is not much behind it,
// so a late wake-up from one sleep is made good in the next instead of adding up.
timespec deviceDeadline(OpenNode &node, long microseconds)
{
    if (microseconds <= 0)
        return timespec{};
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto toNs = [](const timespec &t) { return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; };
    int64_t start = toNs(node.busyUntil);
    if (toNs(now) - start > 2000000)
        start = toNs(now);
    const int64_t end = start + int64_t(microseconds) * 1000;
    node.busyUntil = timespec{time_t(end / 1000000000), long(end % 1000000000)};
    return node.busyUntil;
}

void waitFor(const timespec &deadline)
{
    if (deadline.tv_sec == 0 && deadline.tv_nsec == 0)
        return; // no device time configured
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

int mailboxRequest(OpenNode &node, uint32_t *request)
{
    const uint32_t code = request[0];
    if (++node.requests == node.config.mailboxFail) {
        trace("mailbox ioctl MAILBOX 0x%x = -1 injected", code);
        return fail(EIO);
    }
    switch (code) {
    case 0x101:
        request[1] = node.config.software;
        break;
    case 0x201:
        request[1] = node.config.hwTimestamp;
        break;
    case 0x301:
        request[1] = node.config.pid;
        break;
    default:
        trace("mailbox ioctl MAILBOX 0x%x = -1 unknown code", code);
        return fail(EINVAL);
    }
    if (node.config.mailboxStatus >= 0)
        request[0] = (code & ~0xFu) | uint32_t(node.config.mailboxStatus);
    trace("mailbox ioctl MAILBOX 0x%x = 0", code);
    return 0;
}

int eraseRequest(OpenNode &node, uint32_t address, timespec &deadline)
{
    const uint64_t page = address & ~uint64_t(pageSize - 1);
    if (!node.unlocked) {
        trace("flash ioctl FLASH_ERASE 0x%x = -1 locked", address);
        return fail(EPERM);
    }
    if (page + pageSize > node.size) {
        trace("flash ioctl FLASH_ERASE 0x%x = -1 out of range", address);
        return fail(EINVAL);
    }
    const long count = ++node.erasesOfPage[page];
    for (const BitFault &f : node.config.eraseFail) {
        if ((f.address & ~uint64_t(pageSize - 1)) == page && long(f.value) == count) {
            trace("flash ioctl FLASH_ERASE 0x%x = -1 injected", address);
            return fail(EIO);
        }
    }
    static const std::vector<uint8_t> erased(pageSize, 0xFF);
    setFlashBytes(node, page, erased.data(), pageSize);
    bool stuck = false;
    for (const BitFault &f : node.config.stuckBits) {
        if (f.address >= page && f.address < page + pageSize) {
            const uint8_t bits = uint8_t(~f.value);
            setFlashBytes(node, f.address, &bits, 1);
            stuck = true;
        }
    }
    deadline = deviceDeadline(node, node.config.eraseMicroseconds);
    trace("flash ioctl FLASH_ERASE 0x%x = 0%s", address, stuck ? " stuck bits injected" : "");
    return 0;
}

int flashRequest(OpenNode &node, unsigned long request, unsigned long argument, timespec &deadline)
{
    if (request == requestUnlock) {
        const char *token = reinterpret_cast<const char *>(argument);
        if (node.config.refuseUnlock) {
            trace("flash ioctl FLASH_UNLOCK = -1 injected");
            return fail(EACCES);
        }
        if (!token || strcmp(token, unlockToken) != 0) {
            trace("flash ioctl FLASH_UNLOCK = -1 wrong token");
            return fail(EPERM);
        }
        node.unlocked = true;
        trace("flash ioctl FLASH_UNLOCK = 0");
        return 0;
    }
    if (request == requestErase)
        return eraseRequest(node, uint32_t(argument), deadline);
    trace("flash ioctl 0x%lx = -1 unknown request", request);
    return fail(ENOTTY);
}

ssize_t flashWrite(OpenNode &node, const uint8_t *data, size_t count, timespec &deadline)
{
    if (node.readOnly) {
        trace("flash write %zu = -1 read-only", count);
        return fail(EBADF);
    }
    if (!node.unlocked) {
        trace("flash write %zu = -1 locked", count);
        return fail(EPERM);
    }
    if (count > 0 && node.position >= node.size) {
        trace("flash write %zu = -1 past the end", count);
        return fail(ENOSPC);
    }
    if (node.writes + 1 == node.config.killAtWrite) {
        // A crash or a power loss in the middle of a component: nothing after this runs.
        trace("flash write 0x%" PRIx64 " %zu killed injected", node.position, count);
        raise(SIGKILL);
    }
    if (++node.writes == node.config.writeFail) {
        trace("flash write 0x%" PRIx64 " %zu = -1 injected", node.position, count);
        return fail(EIO);
    }
    size_t n = std::min<uint64_t>(count, node.size - std::min(node.position, node.size));
    const bool shortened = node.writes == node.config.shortWrite;
    if (shortened)
        n /= 2;
    std::vector<uint8_t> target(n);
    flashBytes(node, node.position, target.data(), n);
    // A weak bit stays 1 the first time a write tries to clear it, and only then.
    std::vector<uint8_t> lost(node.config.weakBits.size(), 0);
    for (size_t i = 0; i < lost.size(); ++i) {
        const BitFault &f = node.config.weakBits[i];
        if (!node.weakBitUsed[i] && f.address >= node.position && f.address < node.position + n) {
            const size_t at = f.address - node.position;
            lost[i] = uint8_t(f.value) & target[at] & ~data[at];
        }
    }
    for (size_t i = 0; i < n; ++i)
        target[i] &= data[i];
    bool weak = false;
    for (size_t i = 0; i < lost.size(); ++i) {
        if (lost[i]) {
            node.weakBitUsed[i] = true;
            target[node.config.weakBits[i].address - node.position] |= lost[i];
            weak = true;
        }
    }
    setFlashBytes(node, node.position, target.data(), n);
    trace("flash write 0x%" PRIx64 " %zu = %zu%s%s", node.position, count, n,
          shortened ? " injected" : "", weak ? " weak bits injected" : "");
    node.position += n;
    deadline = deviceDeadline(node, long(node.config.writeMicrosecondsPerKiB * n / 1024));
    return ssize_t(n);
}

ssize_t flashRead(OpenNode &node, uint8_t *data, size_t count)
{
    if (++node.reads == node.config.readFail) {
        trace("flash read 0x%" PRIx64 " %zu = -1 injected", node.position, count);
        return fail(EIO);
    }
    size_t n = std::min<uint64_t>(count, node.size - std::min(node.position, node.size));
    const bool shortened = node.reads == node.config.shortRead;
    if (shortened)
        n /= 2;
    if (!flashBytes(node, node.position, data, n))
        return fail(EIO);
    trace("flash read 0x%" PRIx64 " %zu = %zu%s", node.position, count, n,
          shortened ? " injected" : "");
    node.position += n;
    return ssize_t(n);
}

// Serves one call under the lock, then lets the device's time pass outside it.
template <typename Serve> auto serveTimed(int fd, Serve serve)
{
    timespec deadline{};
    decltype(serve(nodes.at(fd), deadline)) result;
    {
        std::lock_guard<std::mutex> guard(lock);
        result = serve(nodes.at(fd), deadline);
    }
    const int error = errno;
    waitFor(deadline);
    errno = error;
    return result;
}

// The changes that the program makes to files other than the nodes: writes to regular files,
// syncs, renames and removals, counted across the process from 1 while VORLAN_SIM_FILE_FAULT
// is set ("n:kill", "n:enospc" or "n:eio"; n 0 only counts). Each one leaves a trace line; the
// nth is the one that fails, or at which the process is killed before it is made.
std::atomic<long> fileChanges{0};

bool fileChangeAllowed(const char *call)
{
    const char *fault = env("VORLAN_SIM_FILE_FAULT");
    if (!fault)
        return true;
    char *end;
    const long at = strtol(fault, &end, 0);
    const char *how = *end == ':' ? end + 1 : "";
    const long n = ++fileChanges;
    std::lock_guard<std::mutex> guard(lock);
    if (n != at) {
        trace("file change %ld %s", n, call);
        return true;
    }
    if (!strcmp(how, "kill")) {
        trace("file change %ld %s killed injected", n, call);
        raise(SIGKILL);
    }
    trace("file change %ld %s = -1 injected", n, call);
    errno = strcmp(how, "eio") ? ENOSPC : EIO;
    return false;
}

bool isRegularFile(int fd)
{
    struct stat info;
    return env("VORLAN_SIM_FILE_FAULT") && fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

template <typename Pass> int serveOrPass(const char *path, int flags, Pass pass)
{
    const int fd = path ? serveOpen(path, flags) : -2;
    return fd != -2 ? fd : pass();
}

} // namespace

extern "C" {

// The mode argument is there only when the flags ask for a file to be created.
#define OPEN_MODE(flags)                                                                           \
    mode_t mode = 0;                                                                               \
    if ((flags) & (O_CREAT | O_TMPFILE)) {                                                         \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        mode = va_arg(args, mode_t);                                                               \
        va_end(args);                                                                              \
    }

int open(const char *path, int flags, ...)
{
    OPEN_MODE(flags);
    static const auto real = next<OpenFn>("open");
    return serveOrPass(path, flags, [&] { return real(path, flags, mode); });
}

int open64(const char *path, int flags, ...)
{
    OPEN_MODE(flags);
    static const auto real = next<OpenFn>("open64");
    return serveOrPass(path, flags, [&] { return real(path, flags, mode); });
}

int openat(int dirfd, const char *path, int flags, ...)
{
    OPEN_MODE(flags);
    static const auto real = next<OpenatFn>("openat");
    return serveOrPass(path, flags, [&] { return real(dirfd, path, flags, mode); });
}

int openat64(int dirfd, const char *path, int flags, ...)
{
    OPEN_MODE(flags);
    static const auto real = next<OpenatFn>("openat64");
    return serveOrPass(path, flags, [&] { return real(dirfd, path, flags, mode); });
}

// The checked forms that a program built with _FORTIFY_SOURCE calls. What is not ours goes on to
// the C library's own, which makes the checks.
int __open_2(const char *path, int flags)
{
    static const auto real = next<CheckedOpenFn>("__open_2");
    return serveOrPass(path, flags, [&] { return real(path, flags); });
}

int __open64_2(const char *path, int flags)
{
    static const auto real = next<CheckedOpenFn>("__open64_2");
    return serveOrPass(path, flags, [&] { return real(path, flags); });
}

int __openat_2(int dirfd, const char *path, int flags)
{
    static const auto real = next<CheckedOpenatFn>("__openat_2");
    return serveOrPass(path, flags, [&] { return real(dirfd, path, flags); });
}

int __openat64_2(int dirfd, const char *path, int flags)
{
    static const auto real = next<CheckedOpenatFn>("__openat64_2");
    return serveOrPass(path, flags, [&] { return real(dirfd, path, flags); });
}

int close(int fd)
{
    static const auto real = next<CloseFn>("close");
    if (!isServed(fd))
        return real(fd);
    std::lock_guard<std::mutex> guard(lock);
    auto it = nodes.find(fd);
    if (it != nodes.end()) {
        trace("%s close", nodeName(it->second.node));
        if (it->second.flashFile >= 0)
            real(it->second.flashFile);
        nodes.erase(it);
        if (fd < fastTableSize)
            served[fd].store(false, std::memory_order_release);
    }
    return real(fd);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    const unsigned long argument = va_arg(args, unsigned long);
    va_end(args);
    static const auto real = next<IoctlFn>("ioctl");
    if (!isServed(fd))
        return real(fd, request, argument);

    return serveTimed(fd, [&](OpenNode &node, timespec &deadline) {
        if (node.node == Node::Flash)
            return flashRequest(node, request, argument, deadline);
        return request == requestMailbox
                   ? mailboxRequest(node, reinterpret_cast<uint32_t *>(argument))
                   : fail(ENOTTY);
    });
}

off_t lseek(int fd, off_t offset, int whence)
{
    static const auto real = next<LseekFn>("lseek");
    if (!isServed(fd))
        return real(fd, offset, whence);
    std::lock_guard<std::mutex> guard(lock);
    OpenNode &node = nodes.at(fd);
    int64_t base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? int64_t(node.position)
                                        : int64_t(node.size);
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
        return fail(EINVAL);
    if (base + offset < 0)
        return fail(EINVAL);
    if (node.node == Node::Flash && ++node.seeks == node.config.lseekFail) {
        trace("flash lseek 0x%" PRIx64 " = -1 injected", uint64_t(base + offset));
        return fail(EIO);
    }
    node.position = uint64_t(base + offset);
    trace("%s lseek 0x%" PRIx64, nodeName(node.node), node.position);
    return off_t(node.position);
}

off_t lseek64(int fd, off_t offset, int whence)
{
    return lseek(fd, offset, whence);
}

ssize_t read(int fd, void *buffer, size_t count)
{
    static const auto real = next<ReadFn>("read");
    if (!isServed(fd))
        return real(fd, buffer, count);
    std::lock_guard<std::mutex> guard(lock);
    OpenNode &node = nodes.at(fd);
    if (node.node == Node::Mailbox)
        return fail(EINVAL);
    return flashRead(node, static_cast<uint8_t *>(buffer), count);
}

[[noreturn]] void __chk_fail();

// The compiler passes the size of the buffer that it knows of; as in the C library, reading more
// than that aborts before anything is read.
ssize_t __read_chk(int fd, void *buffer, size_t count, size_t bufferSize)
{
    if (count > bufferSize)
        __chk_fail();
    return read(fd, buffer, count);
}

ssize_t write(int fd, const void *buffer, size_t count)
{
    static const auto real = next<WriteFn>("write");
    if (!isServed(fd))
        return isRegularFile(fd) && !fileChangeAllowed("write") ? -1 : real(fd, buffer, count);
    return serveTimed(fd, [&](OpenNode &node, timespec &deadline) {
        return node.node == Node::Mailbox
                   ? ssize_t(fail(EINVAL))
                   : flashWrite(node, static_cast<const uint8_t *>(buffer), count, deadline);
    });
}

int fsync(int fd)
{
    static const auto real = next<int (*)(int)>("fsync");
    return !isServed(fd) && !fileChangeAllowed("fsync") ? -1 : real(fd);
}

int fdatasync(int fd)
{
    static const auto real = next<int (*)(int)>("fdatasync");
    return !isServed(fd) && !fileChangeAllowed("fdatasync") ? -1 : real(fd);
}

int rename(const char *from, const char *to)
{
    static const auto real = next<int (*)(const char *, const char *)>("rename");
    return fileChangeAllowed("rename") ? real(from, to) : -1;
}

int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    static const auto real = next<int (*)(int, const char *, int, const char *)>("renameat");
    return fileChangeAllowed("rename") ? real(fromDir, from, toDir, to) : -1;
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned flags)
{
    static const auto real =
        next<int (*)(int, const char *, int, const char *, unsigned)>("renameat2");
    return fileChangeAllowed("rename") ? real(fromDir, from, toDir, to, flags) : -1;
}

int unlink(const char *path)
{
    static const auto real = next<int (*)(const char *)>("unlink");
    return fileChangeAllowed("unlink") ? real(path) : -1;
}

int unlinkat(int dir, const char *path, int flags)
{
    static const auto real = next<int (*)(int, const char *, int)>("unlinkat");
    return fileChangeAllowed("unlink") ? real(dir, path, flags) : -1;
}

} // extern "C"
