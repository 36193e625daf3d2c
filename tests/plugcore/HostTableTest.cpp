#include "plugcore/HostTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(HostTable, MatchesCaseInsensitivelyInTableOrder)
{
    const struct {
        const char* product;
        int host;
    } cases[] = {
        {"Cubase 12", 3},
        {"CUBASE", 3},
        {"Nuendo and Cubase", 3}, // the earlier entry wins, whatever the position
        {"Steinberg Nuendo", 4},
        {"REAPER", 1},
        {"Cakewalk by BandLab", 5},
        {"Samplitude Pro X", 8},
        {"Fruity Wrapper", 7},
        {"Ableton Live 11", 9},
        {"Deliverance", 9}, // "live" inside another word
        {"Melodyne", 12},
        {"vstmanlib", 13},
        {"AULab", 14},
        {"Forte 4", 15},
        {"Chainer", 16},
        {"Adobe Audition", 17},
        {"Orion Platinum", 18},
        {"SAWStudio", 20},
        {"My Studio", 0},
        {"", 0},
        {nullptr, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(LookUpHost(c.product), c.host) << (c.product ? c.product : "(null)");
}

TEST(HostTable, LooksOnlyAtTheFirst255Characters)
{
    std::string text(255, 'x');
    EXPECT_EQ(LookUpHost((text + "reaper").c_str()), 0);
    text[250] = 'r';
    EXPECT_EQ(LookUpHost((std::string(249, 'x') + "reaper" + std::string(1000, 'y')).c_str()), 1);
}

TEST(HostTable, FormatVersion)
{
    char out[32];
    FormatVersion(0x10203, out, sizeof out);
    EXPECT_STREQ(out, "v1.2.3");
    FormatVersion(0x10200, out, sizeof out);
    EXPECT_STREQ(out, "v1.2");
    FormatVersion(0x7fffffff, out, 8);
    EXPECT_EQ(std::string(out).size(), 7u);
}

} // namespace
