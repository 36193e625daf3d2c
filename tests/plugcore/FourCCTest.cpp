#include "plugcore/FourCC.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(FourCC, FirstCharacterIsTheMostSignificantByte)
{
    struct Case {
        const char (&code)[5];
        uint32_t value;
    };
    // The effect's ID, the VST record's magic and a preset file's tag as hosts know them, and
    // characters above 0x7F, which must not spread their sign into the other bytes.
    const Case cases[] = {
        {"korw", 0x6B6F7277u},          {"VstP", 0x56737450u}, {"CcnK", 0x43636E4Bu}, {"\xFF\x01\x80\x7F", 0xFF01807Fu},
        {"a\xFE\xFF\x01", 0x61FEFF01u},
    };
    for (const Case& c : cases) EXPECT_EQ(static_cast<uint32_t>(FourCC(c.code)), c.value) << c.code;
    static_assert(FourCC("korw") == 0x6B6F7277, "usable where a constant is needed");
}

} // namespace
