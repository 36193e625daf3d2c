// Parameter values through getParameter/setParameter: the normalised mapping, the display texts,
// what happens to wild values at the door, and that automation is never echoed to the host.
#include "HostHarness.h"

#include <climits>
#include <limits>
#include <string>

namespace hosttest {
namespace {

using vsthost::Host;
using vsthost::Plugin;

TEST_F(OpenPlugin, StartsAtLeftWithNoWetMix)
{
    EXPECT_EQ(plugin->GetParameter(kPan), 0.0f);
    EXPECT_EQ(plugin->GetParameter(kWetMix), 0.5f);
    const PlainValues plain = plainValues(*plugin);
    EXPECT_EQ(plain.pan, 0.0);
    EXPECT_EQ(plain.wetMix, 0.0);
}

struct SetCase {
    const char* name;
    VstInt32 index;
    float value;
    float expected;      // what getParameter reads back
    const char* display; // effGetParamDisplay afterwards
};

class SetParameter : public OpenPlugin, public ::testing::WithParamInterface<SetCase> {};

TEST_P(SetParameter, ReadsBackNormalisedAndDisplaysThePlainValue)
{
    const SetCase& c = GetParam();
    plugin->SetParameter(c.index, c.value);
    EXPECT_NEAR(plugin->GetParameter(c.index), c.expected, 1e-6);
    EXPECT_EQ(plugin->ParamDisplay(c.index), c.display);
    EXPECT_EQ(plugin->ParamLabel(c.index), "");

    // Whatever came in, the plain values stay inside their ranges, so no gain can turn negative.
    const PlainValues plain = plainValues(*plugin);
    EXPECT_TRUE(plain.pan == 0.0 || plain.pan == 1.0) << plain.pan;
    EXPECT_LE(plain.wetMix, a12() + 1e-12);
    EXPECT_GE(plain.wetMix, -a12() - 1e-12);
}

constexpr float kInfinity = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Host, SetParameter,
    ::testing::Values(
        SetCase{"PanZero", kPan, 0.0f, 0.0f, "Left"}, SetCase{"PanJustBelowHalf", kPan, 0.49f, 0.0f, "Left"},
        SetCase{"PanHalf", kPan, 0.5f, 1.0f, "Right"}, SetCase{"PanOne", kPan, 1.0f, 1.0f, "Right"},
        SetCase{"WetMixTop", kWetMix, 1.0f, 1.0f, "0.75"}, SetCase{"WetMixBottom", kWetMix, 0.0f, 0.0f, "-0.75"},
        SetCase{"WetMixMiddle", kWetMix, 0.5f, 0.5f, "0"},
        SetCase{"WetMixThreeQuarters", kWetMix, 0.75f, 0.75f, "0.37"},
        SetCase{"WetMixQuarter", kWetMix, 0.25f, 0.25f, "-0.37"}, SetCase{"WetMixTenth", kWetMix, 0.1f, 0.1f, "-0.60"},
        // Out of 0..1: clamped at the door.
        SetCase{"WetMixAboveOne", kWetMix, 1.5f, 1.0f, "0.75"},
        SetCase{"WetMixBelowZero", kWetMix, -0.5f, 0.0f, "-0.75"}, SetCase{"WetMixHuge", kWetMix, 1e30f, 1.0f, "0.75"},
        SetCase{"WetMixHugeNegative", kWetMix, -1e30f, 0.0f, "-0.75"},
        SetCase{"WetMixInfinity", kWetMix, kInfinity, 1.0f, "0.75"},
        SetCase{"WetMixMinusInfinity", kWetMix, -kInfinity, 0.0f, "-0.75"},
        SetCase{"PanAboveOne", kPan, 2.0f, 1.0f, "Right"}, SetCase{"PanBelowZero", kPan, -1.0f, 0.0f, "Left"}),
    ByName());

TEST_F(OpenPlugin, MiddleOfWetMixIsExactlyZero)
{
    plugin->SetParameter(kWetMix, 0.9f);
    plugin->SetParameter(kWetMix, 0.5f);
    EXPECT_EQ(plainValues(*plugin).wetMix, 0.0);
}

// A clamped value must land exactly where the in-range extreme does.
TEST(HostParameters, WildValuesLandExactlyOnTheRangeEnds)
{
    struct Case {
        VstInt32 index;
        float wild;
        float tame;
    };
    const Case cases[] = {
        {kWetMix, -0.5f, 0.0f},     {kWetMix, 1.5f, 1.0f}, {kWetMix, -kInfinity, 0.0f},
        {kWetMix, kInfinity, 1.0f}, {kPan, -1.0f, 0.0f},   {kPan, 7.0f, 1.0f},
    };
    Host host;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " value " << c.wild);
        std::unique_ptr<Plugin> wild = loadPlugin(host);
        std::unique_ptr<Plugin> tame = loadPlugin(host);
        ASSERT_TRUE(wild && tame);
        wild->Open();
        tame->Open();
        wild->SetParameter(c.index, c.wild);
        tame->SetParameter(c.index, c.tame);
        EXPECT_EQ(getChunk(*wild, kProgramChunk), getChunk(*tame, kProgramChunk));
    }
}

TEST_F(OpenPlugin, NotANumberIsIgnored)
{
    const float nans[] = {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::signaling_NaN()};
    plugin->SetParameter(kPan, 1.0f);
    plugin->SetParameter(kWetMix, 0.8f);
    const Bytes before = getChunk(*plugin, kProgramChunk);
    for (VstInt32 index : {kPan, kWetMix}) {
        for (float nan : nans) plugin->SetParameter(index, nan);
    }
    EXPECT_EQ(getChunk(*plugin, kProgramChunk), before);
    EXPECT_EQ(plugin->GetParameter(kPan), 1.0f);
    EXPECT_NEAR(plugin->GetParameter(kWetMix), 0.8f, 1e-6);
}

TEST_F(OpenPlugin, IndicesOutOfRangeReadZeroAndChangeNothing)
{
    plugin->SetParameter(kPan, 1.0f);
    plugin->SetParameter(kWetMix, 0.8f);
    const Bytes before = getChunk(*plugin, kProgramChunk);
    for (VstInt32 index : {-1, 2, 3, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(testing::Message() << "index " << index);
        EXPECT_EQ(plugin->GetParameter(index), 0.0f);
        plugin->SetParameter(index, 0.3f);
        for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            CanaryBuffer buffer;
            EXPECT_EQ(plugin->Dispatch(opcode, index, 0, buffer.data()), 0);
            EXPECT_TRUE(buffer.untouched()) << "opcode " << opcode;
        }
    }
    EXPECT_EQ(getChunk(*plugin, kProgramChunk), before);
}

TEST_F(OpenPlugin, ParameterTextsWithoutBufferAnswerZero)
{
    for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
        for (VstInt32 index : {kPan, kWetMix}) {
            EXPECT_EQ(plugin->Dispatch(opcode, index, 0, nullptr), 0) << "opcode " << opcode;
        }
    }
}

// The host already knows about changes it makes itself; echoing them would record automation
// twice. None of these host-driven changes may call back at all.
TEST_F(OpenPlugin, HostDrivenChangesAreNotEchoed)
{
    for (int i = 0; i <= 10; ++i) {
        plugin->SetParameter(kPan, static_cast<float>(i % 2));
        plugin->SetParameter(kWetMix, static_cast<float>(i) / 10.0f);
    }
    plugin->Dispatch(effSetProgram, 0, 3);
    char name[] = "Renamed";
    plugin->Dispatch(effSetProgramName, 0, 0, name);
    setPlainValues(*plugin, 1.0, -0.25);
    const Bytes bank = getChunk(*plugin, kBankChunk);
    EXPECT_EQ(setChunk(*plugin, kBankChunk, bank), 1);

    EXPECT_EQ(host.Log().Count(audioMasterAutomate), 0u);
    EXPECT_EQ(host.Log().Count(audioMasterBeginEdit), 0u);
    EXPECT_EQ(host.Log().Count(audioMasterEndEdit), 0u);
    EXPECT_EQ(host.Log().Size(), 0u);
}

} // namespace
} // namespace hosttest
