#include "AudioHarness.h"

#include <cmath>
#include <cstring>
#include <sstream>
#include <type_traits>
#include <vector>

namespace hosttest {

namespace {

// Samples past the end of the block, which no callback may touch.
constexpr std::size_t kGuard = 16;
// Prefills replacing outputs: no product of the test signal and a gain of at most 1 reaches it.
constexpr double kUnwritten = 777.25;

bool isFloatPath(AudioPath path)
{
    return path == AudioPath::Accumulating || path == AudioPath::Replacing || path == AudioPath::ReplacingInPlace;
}

bool isInPlace(AudioPath path) { return path == AudioPath::ReplacingInPlace || path == AudioPath::DoubleInPlace; }

double roundedToFloat(double value) { return static_cast<double>(static_cast<float>(value)); }

// Bit patterns, not values: -0.0 must stay -0.0, and a NaN would not compare equal to itself.
bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Compares a whole channel and reports the first difference with exact values.
void expectChannel(const char* what, const std::vector<double>& expected, const std::vector<double>& actual,
                   std::size_t frames)
{
    std::size_t mismatches = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (!sameBits(expected[i], actual[i])) {
            if (mismatches++ == 0) first = i;
        }
    }
    if (mismatches == 0) return;
    std::ostringstream message;
    message << std::hexfloat << what << ": " << mismatches << " samples differ; first at " << first
            << (first < frames ? " (in the block)" : " (past the end of the block)") << ": expected " << expected[first]
            << ", got " << actual[first];
    ADD_FAILURE() << message.str();
}

template <typename Sample> std::vector<Sample> convert(const std::vector<double>& values)
{
    return std::vector<Sample>(values.begin(), values.end());
}

template <typename Sample> std::vector<double> widen(const std::vector<Sample>& values)
{
    return std::vector<double>(values.begin(), values.end());
}

// Runs the callback on buffers of Sample type; returns what ends up in the two outputs and the
// two inputs.
template <typename Sample>
void run(vsthost::Plugin& plugin, AudioPath path, VstInt32 frames, const std::vector<double> (&in)[2],
         const std::vector<double> (&prefill)[2], std::vector<double> (&out)[2], std::vector<double> (&inAfter)[2])
{
    std::vector<Sample> inputs[2] = {convert<Sample>(in[0]), convert<Sample>(in[1])};
    std::vector<Sample> outputs[2] = {convert<Sample>(prefill[0]), convert<Sample>(prefill[1])};
    Sample* inputPointers[2] = {inputs[0].data(), inputs[1].data()};
    Sample* outputPointers[2] = {outputs[0].data(), outputs[1].data()};
    if (isInPlace(path)) {
        outputPointers[0] = inputPointers[0];
        outputPointers[1] = inputPointers[1];
    }

    bool called = false;
    if constexpr (std::is_same<Sample, float>::value) {
        if (path == AudioPath::Accumulating) {
            called = plugin.Process(inputPointers, outputPointers, frames);
        } else {
            called = plugin.ProcessReplacing(inputPointers, outputPointers, frames);
        }
    } else {
        called = plugin.ProcessDoubleReplacing(inputPointers, outputPointers, frames);
    }
    EXPECT_TRUE(called) << "the effect has no such callback";

    for (int c = 0; c < 2; ++c) {
        out[c] = widen(isInPlace(path) ? inputs[c] : outputs[c]);
        inAfter[c] = widen(inputs[c]);
    }
}

} // namespace

const char* pathName(AudioPath path)
{
    switch (path) {
    case AudioPath::Accumulating: return "Accumulating";
    case AudioPath::Replacing: return "Replacing";
    case AudioPath::ReplacingInPlace: return "ReplacingInPlace";
    case AudioPath::Double: return "Double";
    case AudioPath::DoubleInPlace: return "DoubleInPlace";
    }
    return "?";
}

void referenceGains(double wetMix, double& g0, double& g1)
{
    const double epsilon = std::ldexp(1.0, -52);
    g0 = 1.0;
    g1 = 1.0;
    if (wetMix > epsilon) {
        g0 = 1.0 - wetMix;
    } else if (wetMix < -epsilon) {
        g1 = 1.0 + wetMix;
    }
}

Frame referenceFrame(const Expectation& expectation, double in0, double in1)
{
    double g0;
    double g1;
    referenceGains(expectation.wetMix, g0, g1);
    const bool right = expectation.pan != 0.0;
    switch (expectation.feed) {
    case Feed::NoInput: in0 = 0.0; [[fallthrough]];
    case Feed::OneInput: {
        const double a = g0 * in0;
        return right ? Frame{-a, a} : Frame{a, -a};
    }
    case Feed::Stereo: break;
    }
    const double a = g0 * in0;
    const double b = g1 * in1;
    return right ? Frame{-a, b} : Frame{a, -b};
}

void setInputChannels(vsthost::Plugin& plugin, VstInt32 inputs)
{
    VstSpeakerArrangement input{};
    input.type = inputs == 0 ? kSpeakerArrEmpty : inputs == 1 ? kSpeakerArrMono : kSpeakerArrStereo;
    input.numChannels = inputs;
    VstSpeakerArrangement output{};
    output.type = kSpeakerArrStereo;
    output.numChannels = 2;
    EXPECT_EQ(plugin.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 1);
}

void applyExpectation(vsthost::Plugin& plugin, const Expectation& expectation)
{
    switch (expectation.feed) {
    case Feed::Stereo:
    case Feed::OneInput:
    case Feed::NoInput:
        setInputChannels(plugin, expectation.feed == Feed::Stereo ? 2 : expectation.feed == Feed::OneInput ? 1 : 0);
        setPlainValues(plugin, expectation.pan, expectation.wetMix);
        plugin.SetParameter(kPan, static_cast<float>(expectation.pan));
        break;
    }
}

double testSample(std::uint32_t seed, std::size_t index)
{
    switch (index % 29) {
    case 3: return 0.0;
    case 11: return -0.0;
    case 17: return 1.0;
    case 23: return -4.5;
    default: break;
    }
    std::uint64_t x = (static_cast<std::uint64_t>(seed) << 32) ^ (index * 0x9E3779B97F4A7C15ull);
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    x ^= x >> 33;
    return static_cast<double>(x >> 11) * 0x1.0p-52 - 1.0;
}

void checkBlock(vsthost::Plugin& plugin, AudioPath path, const Expectation& expectation, VstInt32 frames,
                std::uint32_t seed)
{
    SCOPED_TRACE(testing::Message() << pathName(path) << ", block of " << frames << " frames");
    const std::size_t n = frames > 0 ? static_cast<std::size_t>(frames) : 0;
    const std::size_t size = n + kGuard;
    const bool asFloat = isFloatPath(path);
    auto sample = [asFloat](double value) { return asFloat ? roundedToFloat(value) : value; };

    std::vector<double> in[2] = {std::vector<double>(size), std::vector<double>(size)};
    std::vector<double> prefill[2] = {std::vector<double>(size), std::vector<double>(size)};
    for (std::size_t i = 0; i < size; ++i) {
        in[0][i] = sample(testSample(seed, i));
        in[1][i] = sample(testSample(seed + 0x51ED27u, i));
        // The accumulating callback adds to a signal already there; the others must overwrite.
        const bool accumulating = path == AudioPath::Accumulating;
        prefill[0][i] = accumulating ? sample(testSample(seed + 0xACC0u, i)) : kUnwritten;
        prefill[1][i] = accumulating ? sample(testSample(seed + 0xACC1u, i)) : kUnwritten;
    }

    std::vector<double> expected[2] = {isInPlace(path) ? in[0] : prefill[0], isInPlace(path) ? in[1] : prefill[1]};
    for (std::size_t i = 0; i < n; ++i) {
        const Frame frame = referenceFrame(expectation, in[0][i], in[1][i]);
        const double result[2] = {frame.out0, frame.out1};
        for (int c = 0; c < 2; ++c) {
            switch (path) {
            case AudioPath::Double:
            case AudioPath::DoubleInPlace: expected[c][i] = result[c]; break;
            case AudioPath::Replacing:
            case AudioPath::ReplacingInPlace: expected[c][i] = roundedToFloat(result[c]); break;
            case AudioPath::Accumulating: expected[c][i] = roundedToFloat(prefill[c][i] + result[c]); break;
            }
        }
    }

    std::vector<double> out[2];
    std::vector<double> inAfter[2];
    if (asFloat) {
        run<float>(plugin, path, frames, in, prefill, out, inAfter);
    } else {
        run<double>(plugin, path, frames, in, prefill, out, inAfter);
    }

    expectChannel("output 0", expected[0], out[0], n);
    expectChannel("output 1", expected[1], out[1], n);
    if (!isInPlace(path)) {
        expectChannel("input 0 (must stay as the host wrote it)", in[0], inAfter[0], n);
        expectChannel("input 1 (must stay as the host wrote it)", in[1], inAfter[1], n);
    }
}

} // namespace hosttest
