// How the host's speaker arrangement reaches the audio: a one-channel input feeds both outputs
// once Pan changes, disconnected channels read silence or are left alone, and odd channel counts
// are clipped rather than trusted.
#include "AudioHarness.h"

#include <vector>

namespace hosttest {
namespace {

const AudioPath kAllPaths[] = {AudioPath::Accumulating, AudioPath::Replacing, AudioPath::ReplacingInPlace,
                               AudioPath::Double, AudioPath::DoubleInPlace};

void checkAllPaths(vsthost::Plugin& plugin, const Expectation& expectation, std::uint32_t seed)
{
    for (AudioPath path : kAllPaths) {
        for (VstInt32 frames : {1, 7, 64, 1500}) checkBlock(plugin, path, expectation, frames, seed++);
    }
}

// The effect reads the arrangement only when Pan changes; until then the disconnected second
// input is silent.
// A layout announced after effOpen re-routes at once: no output waits for a value to change.
TEST_F(OpenPlugin, OneInputTakesEffectAtOnce)
{
    setPlainValues(*plugin, 0.0, 0.5);
    setInputChannels(*plugin, 1);
    checkAllPaths(*plugin, Expectation{0.0, 0.5, Feed::OneInput}, 1);

    plugin->SetParameter(kPan, 0.0f);
    checkAllPaths(*plugin, Expectation{0.0, 0.5, Feed::OneInput}, 100);

    plugin->SetParameter(kPan, 1.0f);
    checkAllPaths(*plugin, Expectation{1.0, 0.5, Feed::OneInput}, 200);
}

TEST_F(OpenPlugin, NegativeWetMixIsInaudibleWithOneInput)
{
    applyExpectation(*plugin, Expectation{1.0, -0.6, Feed::OneInput});
    double in0[3] = {0.5, -0.25, 1.0};
    double in1[3] = {9.0, 9.0, 9.0};
    double out0[3] = {};
    double out1[3] = {};
    double* inputs[2] = {in0, in1};
    double* outputs[2] = {out0, out1};
    plugin->ProcessDoubleReplacing(inputs, outputs, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out0[i], -in0[i]);
        EXPECT_EQ(out1[i], in0[i]);
    }
}

TEST_F(OpenPlugin, BackToStereoAtOnce)
{
    applyExpectation(*plugin, Expectation{0.0, 0.25, Feed::OneInput});
    setInputChannels(*plugin, 2);
    checkAllPaths(*plugin, Expectation{0.0, 0.25, Feed::Stereo}, 1);
    plugin->SetParameter(kPan, 0.0f);
    checkAllPaths(*plugin, Expectation{0.0, 0.25, Feed::Stereo}, 100);
}

TEST_F(OpenPlugin, NoInputsGiveSilence)
{
    applyExpectation(*plugin, Expectation{0.0, 0.5, Feed::NoInput});
    checkAllPaths(*plugin, Expectation{0.0, 0.5, Feed::NoInput}, 1);
}

TEST_F(OpenPlugin, ChannelCountsAreClippedToTheEffectsChannels)
{
    VstSpeakerArrangement input{};
    VstSpeakerArrangement output{};
    output.numChannels = 2;

    // A negative count connects nothing.
    input.numChannels = -3;
    EXPECT_EQ(plugin->Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 1);
    plugin->SetParameter(kPan, 1.0f);
    checkAllPaths(*plugin, Expectation{1.0, 0.0, Feed::NoInput}, 1);

    input.numChannels = 1000;
    EXPECT_EQ(plugin->Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 1);
    plugin->SetParameter(kPan, 1.0f);
    checkAllPaths(*plugin, Expectation{1.0, 0.0, Feed::Stereo}, 100);
}

// A host that drops to fewer inputs after playing must not hear the last block it sent through
// the input it disconnected.
TEST_F(OpenPlugin, DisconnectedInputsAreSilentAfterCarryingAudio)
{
    setPlainValues(*plugin, 0.0, 0.0);
    checkAllPaths(*plugin, Expectation{0.0, 0.0, Feed::Stereo}, 1);
    setInputChannels(*plugin, 1);
    checkAllPaths(*plugin, Expectation{0.0, 0.0, Feed::OneInput}, 100);
    setInputChannels(*plugin, 0);
    plugin->SetParameter(kPan, 0.0f);
    checkAllPaths(*plugin, Expectation{0.0, 0.0, Feed::NoInput}, 200);
}

TEST_F(OpenPlugin, ArrangementWithoutRecordsChangesNothing)
{
    applyExpectation(*plugin, Expectation{0.0, -0.25, Feed::OneInput});
    EXPECT_EQ(plugin->Dispatch(effSetSpeakerArrangement, 0, 0, nullptr), 1);
    plugin->SetParameter(kPan, 0.0f);
    checkAllPaths(*plugin, Expectation{0.0, -0.25, Feed::OneInput}, 1);
}

// With one output connected, the effect takes only the host's first output buffer; the second
// stays exactly as the host left it.
TEST_F(OpenPlugin, OneOutputLeavesTheSecondHostBufferAlone)
{
    VstSpeakerArrangement input{};
    input.numChannels = 2;
    VstSpeakerArrangement output{};
    output.numChannels = 1;
    EXPECT_EQ(plugin->Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 1);
    setPlainValues(*plugin, 1.0, 0.5);

    constexpr int kFrames = 37;
    const Expectation expectation{1.0, 0.5, Feed::Stereo};
    std::vector<float> in0(kFrames), in1(kFrames), out0(kFrames, 5.0f), out1(kFrames, 5.0f);
    std::vector<double> din0(kFrames), din1(kFrames), dout0(kFrames, 5.0), dout1(kFrames, 5.0);
    for (int i = 0; i < kFrames; ++i) {
        in0[i] = static_cast<float>(testSample(7, static_cast<std::size_t>(i)));
        in1[i] = static_cast<float>(testSample(8, static_cast<std::size_t>(i)));
        din0[i] = in0[i];
        din1[i] = in1[i];
    }
    float* inputs[2] = {in0.data(), in1.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    double* dinputs[2] = {din0.data(), din1.data()};
    double* doutputs[2] = {dout0.data(), dout1.data()};

    plugin->ProcessReplacing(inputs, outputs, kFrames);
    plugin->ProcessDoubleReplacing(dinputs, doutputs, kFrames);
    for (int i = 0; i < kFrames; ++i) {
        const Frame frame = referenceFrame(expectation, din0[i], din1[i]);
        EXPECT_EQ(out0[i], static_cast<float>(frame.out0)) << "frame " << i;
        EXPECT_EQ(dout0[i], frame.out0) << "frame " << i;
        EXPECT_EQ(out1[i], 5.0f) << "frame " << i;
        EXPECT_EQ(dout1[i], 5.0) << "frame " << i;
    }

    plugin->Process(inputs, outputs, kFrames);
    for (int i = 0; i < kFrames; ++i) EXPECT_EQ(out1[i], 5.0f) << "frame " << i;
}

} // namespace
} // namespace hosttest
