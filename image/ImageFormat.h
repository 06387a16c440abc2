#pragma once

#include <sys/types.h>

// The layout of an update image: a chain of component blocks and nothing else. Each block is a
// 32-byte header of little-endian words followed by the component's data; the header's block
// length leads to the next block, and 0 marks the last one, which runs to the end of the file.
namespace ImageFormat {

constexpr u_int32_t headerSize = 32;
constexpr u_int32_t versionOffset = 0;
constexpr u_int32_t flashAddressOffset = 4;
constexpr u_int32_t minHWOffset = 8;
constexpr u_int32_t nameOffset = 12;
constexpr u_int32_t nameSize = 4;
constexpr u_int32_t blockLengthOffset = 28;

// No real image has more; a file of tiny blocks would otherwise make tens of thousands of rows.
constexpr int componentLimit = 256;

} // namespace ImageFormat
