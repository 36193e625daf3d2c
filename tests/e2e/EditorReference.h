// What the e2e tests of every platform share: the plug-in under test, the shipped layout's
// geometry, a headless reference rendering, pixel comparison, the host's edit requests, and
// loading the effect from the binary or from this program.
#pragma once

#include "EditorCommon.h"
#include "VstHost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

// The plug-in binary this build produced ($WAYFARER_PLUGIN overrides it).
std::string pluginPath();
// A file in the build directory of the e2e tests.
std::string outputPath(const std::string& name);

// The effect built into this program, with this platform's window layer, as the plug-in binary
// makes it. Each platform's harness defines it.
AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host);

// ---- The shipped layout, in editor pixels (right and bottom exclusive) -----------------------

struct Box {
    int l, t, r, b;
    int cx() const { return (l + r) / 2; }
    int cy() const { return (t + b) / 2; }
    bool contains(int x, int y) const { return x >= l && x < r && y >= t && y < b; }
};

constexpr int kEditorW = 275, kEditorH = 212;
constexpr Box kKnob = {99, 85, 176, 162};    // 77 x 77 frames of a 65-frame strip
constexpr Box kSwitch = {53, 109, 222, 130}; // two frames of 169 x 21; the knob covers its middle
constexpr Box kSplash = {25, 61, 250, 151};  // centred 225 x 90 panel
constexpr Box kWhole = {0, 0, kEditorW, kEditorH};
// A point on the switch that the knob does not cover.
constexpr int kSwitchX = 70, kSwitchY = 119;
// Where the splash, once hidden, can be clicked back: the strip along the top.
constexpr int kStripX = 10, kStripY = 10;
constexpr int kPan = 0, kWetMix = 1;
// Normalised "Wet Mix" of plain 0.
constexpr double kWetCentre = 0.5;

// Whether (x, y) lies in a text rectangle (the three labels and the version text), where GDI's
// fonts may differ from the reference.
bool inText(int x, int y);

// ---- Reference rendering ----------------------------------------------------------------------

struct EditorState {
    double pan = 0.0;           // normalised
    double wetMix = kWetCentre; // normalised
    bool splash = false;
};

// The editor drawn by the headless window layer on an in-process effect, from this program's own
// copies of the images.
vsthost::Image renderHeadless(const EditorState& state);

struct PixelDiff {
    int count = 0;
    int x = -1, y = -1;              // the first differing pixel
    std::uint32_t got = 0, want = 0; // its colours
};
// Pixels in `region` where the images differ; text rectangles are skipped when `skipText`.
PixelDiff comparePixels(const vsthost::Image& got, const vsthost::Image& want, const Box& region, bool skipText);
std::string describe(const PixelDiff& diff);

// The host requests about parameter `param` that belong to an edit gesture (begin, automate,
// end), as opcodes in order.
std::vector<VstInt32> editRequests(const vsthost::RequestLog& log, VstInt32 param);

// Loads the effect, from the plug-in binary or through the entry point linked into this program,
// and opens it (effOpen). Null, with the failure reported, when it cannot be loaded.
enum class Source { binary, inProcess };
std::unique_ptr<vsthost::Plugin> openEffect(vsthost::Host& host, Source source);

// Names the cases of a parameterised test after their `name` field.
struct ByName {
    template <typename Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};

} // namespace e2e
