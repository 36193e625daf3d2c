// Audio checks against a reference computed here from the effect's documented routing table:
//
//   Pan    inputs      out0          out1
//   Left   stereo      g0·in0        −(g1·in1)
//   Right  stereo      −(g0·in0)     g1·in1
//   Left   one input   g0·in0        −(g0·in0)
//   Right  one input   −(g0·in0)     g0·in0
//
// with g0 = 1 − w for Wet Mix w > 2^−52, g1 = 1 + w for w < −2^−52, and 1 otherwise. The double
// callback must produce exactly these products; the float callbacks the same products rounded
// to float (the accumulating one: the old sample plus the product, summed in double, rounded).
#pragma once

#include "HostHarness.h"

#include <cstdint>

namespace hosttest {

enum class AudioPath {
    Accumulating,     // process: adds onto what the output buffers hold
    Replacing,        // processReplacing
    ReplacingInPlace, // processReplacing with each output buffer the same as its input
    Double,           // processDoubleReplacing
    DoubleInPlace,    // processDoubleReplacing with each output buffer the same as its input
};
const char* pathName(AudioPath path);

// Where the effect's two inputs come from, as the host's arrangement made it.
enum class Feed {
    Stereo,   // both inputs connected
    OneInput, // only input 0 connected: it feeds both outputs
    NoInput,  // no input connected: both outputs from a silent input 0
};

struct Expectation {
    double pan;    // plain: 0 Left, 1 Right
    double wetMix; // plain
    Feed feed;
};

struct Frame {
    double out0;
    double out1;
};

// The gains, written out from the documented thresholds.
void referenceGains(double wetMix, double& g0, double& g1);
Frame referenceFrame(const Expectation& expectation, double in0, double in1);

// Announces one or two input channels (and two outputs) to the effect.
void setInputChannels(vsthost::Plugin& plugin, VstInt32 inputs);

// Applies the plain values and feed of an expectation the way a host would: the arrangement
// first, then the values, then a Pan change so that the effect picks up the arrangement.
void applyExpectation(vsthost::Plugin& plugin, const Expectation& expectation);

// Runs one block of `frames` through the path with a signal generated from `seed`, then checks
// every output sample against the reference, and that nothing outside the block (and no input,
// unless in place) was written.
void checkBlock(vsthost::Plugin& plugin, AudioPath path, const Expectation& expectation, VstInt32 frames,
                std::uint32_t seed);

// A deterministic test signal: pseudo-random samples in [-1, 1) with zeros of both signs, full
// scale and out-of-range values mixed in.
double testSample(std::uint32_t seed, std::size_t index);

} // namespace hosttest
