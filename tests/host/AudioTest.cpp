// All three audio callbacks against the reference, for every routing row, a spread of Wet Mix
// values and block sizes from empty to several times the announced maximum.
#include "AudioHarness.h"

#include <string>
#include <tuple>

namespace hosttest {
namespace {

using vsthost::Plugin;

struct Row {
    const char* name;
    double pan;
    Feed feed;
};

const Row kRows[] = {
    {"LeftStereo", 0.0, Feed::Stereo},
    {"RightStereo", 1.0, Feed::Stereo},
    {"LeftOneInput", 0.0, Feed::OneInput},
    {"RightOneInput", 1.0, Feed::OneInput},
};

struct Wet {
    const char* name;
    double plain;
};

const Wet kWets[] = {
    {"Zero", 0.0},
    {"Half", 0.5},                    // attenuates input 0
    {"NegativeThreeEighths", -0.375}, // attenuates input 1; inaudible with one input
    // Inside ±2^-52 both gains are exactly 1; a threshold at zero would give 1 - 2e-16 here.
    {"JustBelowThreshold", 2e-16},
    {"JustAboveNegativeThreshold", -2e-16},
    {"JustAboveThreshold", 3e-16},
    {"NearTop", 0.7488},
    {"NearBottom", -0.7488},
};

const AudioPath kPaths[] = {AudioPath::Accumulating, AudioPath::Replacing, AudioPath::ReplacingInPlace,
                            AudioPath::Double, AudioPath::DoubleInPlace};

// 5000 is beyond the announced 1024 and must come out as if processed in one piece.
const VstInt32 kBlockSizes[] = {0, 1, 3, 4, 5, 7, 64, 1024, 5000};

using AudioCase = std::tuple<AudioPath, Row, Wet>;

class Audio : public OpenPlugin, public ::testing::WithParamInterface<AudioCase> {};

TEST_P(Audio, MatchesTheRoutingTableForEveryBlockSize)
{
    const AudioPath path = std::get<0>(GetParam());
    const Row row = std::get<1>(GetParam());
    const Expectation expectation{row.pan, std::get<2>(GetParam()).plain, row.feed};

    // What a host does before it starts playing.
    plugin->Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    plugin->Dispatch(effSetBlockSize, 0, 1024);
    plugin->Dispatch(effMainsChanged, 0, 1);
    applyExpectation(*plugin, expectation);

    std::uint32_t seed = 1;
    for (VstInt32 frames : kBlockSizes) checkBlock(*plugin, path, expectation, frames, seed++);
    EXPECT_EQ(host.Log().Size(), 0u) << "processing asks nothing of the host";
}

INSTANTIATE_TEST_SUITE_P(Host, Audio,
                         ::testing::Combine(::testing::ValuesIn(kPaths), ::testing::ValuesIn(kRows),
                                            ::testing::ValuesIn(kWets)),
                         [](const ::testing::TestParamInfo<AudioCase>& tested) {
                             return std::string(pathName(std::get<0>(tested.param))) + "_" +
                                    std::get<1>(tested.param).name + "_" + std::get<2>(tested.param).name;
                         });

// The factory programs, with the values the effect itself stores, including the ±12 dB ends.
TEST_F(OpenPlugin, FactoryProgramsSoundAsTheirValuesSay)
{
    for (VstInt32 program = 0; program < kNumPrograms; ++program) {
        SCOPED_TRACE(testing::Message() << "program " << program);
        plugin->Dispatch(effSetProgram, 0, program);
        const PlainValues plain = plainValues(*plugin);
        const Expectation expectation{plain.pan, plain.wetMix, Feed::Stereo};
        checkBlock(*plugin, AudioPath::Double, expectation, 64, 100u + static_cast<std::uint32_t>(program));
        checkBlock(*plugin, AudioPath::Replacing, expectation, 64, 200u + static_cast<std::uint32_t>(program));
    }
}

TEST_F(OpenPlugin, HardRightScalesTheLeftInputByMinusTwelveDecibels)
{
    plugin->Dispatch(effSetProgram, 0, 7);
    double in0[1] = {1.0};
    double in1[1] = {1.0};
    double out0[1] = {0.0};
    double out1[1] = {0.0};
    double* inputs[2] = {in0, in1};
    double* outputs[2] = {out0, out1};
    plugin->ProcessDoubleReplacing(inputs, outputs, 1);
    EXPECT_NEAR(out0[0], 0.251188643150958, 1e-12);
    EXPECT_EQ(out1[0], -1.0);
}

} // namespace
} // namespace hosttest
