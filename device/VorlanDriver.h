#pragma once

#include <sys/types.h>

// What the program relies on of the VORLAN kernel driver's two character devices.

constexpr const char *mailboxNodePath = "/dev/tarn_mailbox";
constexpr const char *flashNodePath = "/dev/tarn_flash";

// The size field of the first two numbers is 8, not the size of their argument: the driver
// was built with these exact numbers, so they are spelled out rather than derived with _IOWR.
constexpr unsigned long IOCTL_MAILBOX = 0xC008420A;
constexpr unsigned long IOCTL_FLASH_UNLOCK = 0x40084232;
constexpr unsigned long IOCTL_FLASH_ERASE = 0x4004423C;

// Sent with IOCTL_FLASH_UNLOCK, NUL-terminated, before any other request on the flash node.
constexpr const char unlockToken[] = "mindful!!";

constexpr u_int32_t flashPageSize = 0x20000;

constexpr u_int32_t mailboxSoftwareVersion = 0x101;
constexpr u_int32_t mailboxHardwareTimestamp = 0x201;
constexpr u_int32_t mailboxPidVersion = 0x301;

// Eight 32-bit words in host order. The program writes the request code into word 0; on
// return word 1 holds the answer, and all four low bits of word 0 set report status 0xF.
struct MailboxRequest
{
    u_int32_t code;
    u_int32_t data[7];
};
static_assert(sizeof(MailboxRequest) == 32, "the driver expects a 32-byte record");
