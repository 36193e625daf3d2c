#pragma once
// Four-character codes: plug-in and vendor IDs, the VST record's magic number, and the record
// tags of preset files. Plug-in code, the VST interface header and the tools share this one
// definition, so a code written in any of them is the same number.

#include <cstdint>

// The code of a four-character literal ("korw"), first character in the most significant byte.
constexpr int32_t FourCC(const char (&code)[5])
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24 |
                                static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16 |
                                static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8 |
                                static_cast<uint32_t>(static_cast<uint8_t>(code[3])));
}
