#pragma once

#include "ImageFormat.h"

#include <cstring>
#include <sys/types.h>

// One component block of an update image, as the reader finds it.
struct ComponentRecord
{
    u_int32_t version;
    u_int32_t flashAddress;
    u_int32_t minHW;
    u_int32_t size;       // the whole block, its 32-byte header included
    u_int32_t fileOffset; // where the block starts; its data starts 32 bytes later
    char name[4];         // raw bytes; a shorter name ends with a zero byte

    // The bytes that the component puts into the flash: its block less the block's header.
    u_int32_t dataLength() const { return size - ImageFormat::headerSize; }

    bool operator==(const ComponentRecord &other) const
    {
        return version == other.version && flashAddress == other.flashAddress &&
               minHW == other.minHW && size == other.size && fileOffset == other.fileOffset &&
               std::memcmp(name, other.name, sizeof name) == 0;
    }
    bool operator!=(const ComponentRecord &other) const { return !(*this == other); }
};
