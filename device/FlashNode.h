#pragma once

#include <QCoreApplication>
#include <QString>

#include <sys/types.h>

// The driver's flash node and every system call made on it. Each call returns its result, and
// after a failed one errno says why, as the C library left it. A node opened here is closed on
// every way out; one borrowed from a descriptor held elsewhere is left open.
class FlashNode
{
    Q_DECLARE_TR_FUNCTIONS(FlashNode)

public:
    enum class Access
    {
        ReadWrite,
        ReadOnly
    };

    FlashNode() = default;
    explicit FlashNode(int borrowed) : fd(borrowed) {}
    ~FlashNode();
    FlashNode(const FlashNode &) = delete;
    FlashNode &operator=(const FlashNode &) = delete;

    int descriptor() const { return fd; }

    enum class Claim
    {
        Taken,
        Unavailable, // the node cannot be opened
        Busy,        // another descriptor holds its lock
        Refused      // the lock failed otherwise
    };
    // Opens the node and takes its exclusive lock without waiting, as every user of the flash
    // does, so that nothing reads or writes a flash half-way through another program's update.
    // problem says why, in the user's words, when it is not taken.
    [[nodiscard]] Claim claim(Access access, QString *problem);
    // The driver's requests: 0, or a negative value.
    [[nodiscard]] int unlock();
    [[nodiscard]] int erase(u_int32_t page);
    // Moves to an absolute flash address; false when the node is anywhere else afterwards.
    [[nodiscard]] bool seek(u_int32_t address);
    // One request each: the bytes moved, or -1.
    [[nodiscard]] ssize_t read(char *data, size_t count);
    [[nodiscard]] ssize_t write(const char *data, size_t count);
    // Asks again for the rest until every byte has moved or the node refuses; a request is made
    // even for no bytes at all. Returns the bytes moved.
    [[nodiscard]] size_t readUpTo(char *data, size_t count);
    [[nodiscard]] bool writeAll(const char *data, size_t count);

private:
    void release();

    int fd = -1;
    bool owned = false;
};
