#pragma once
// The names hosts know the LV2 plug-in by. Hosts store them in their sessions and presets, so none
// of them may ever change: a new port takes a new index and symbol, and an old one keeps its own.

#include "effect/KorWayfarerDsp.h"

namespace lv2names {

constexpr const char* kPluginUri = "urn:tarnbek:free-wayfarer";
constexpr const char* kUiUri = "urn:tarnbek:free-wayfarer:ui";
// Where the plug-in's own state keys and preset names live.
constexpr const char* kStatePanUri = "urn:tarnbek:free-wayfarer:state:pan";
constexpr const char* kStateWetMixUri = "urn:tarnbek:free-wayfarer:state:wet_mix";
constexpr const char* kPresetUriPrefix = "urn:tarnbek:free-wayfarer:preset:";

constexpr const char* kBinaryName = "FreeWayfarer.so";
constexpr const char* kUiBinaryName = "FreeWayfarer_ui.so";
constexpr const char* kPluginTurtle = "FreeWayfarer.ttl";
constexpr const char* kPresetsTurtle = "presets.ttl";

enum EPort { kInL = 0, kInR = 1, kOutL = 2, kOutR = 3, kPan = 4, kWetMix = 5, kNumPorts };

struct Port {
    const char* symbol;
    const char* name; // null for a control port: it shows its setting's own name
    bool input;
    bool audio;
    int param; // the setting a control port carries; -1 for audio
};

// Indexed by EPort.
constexpr Port kPorts[kNumPorts] = {
    {"in_l", "Left In", true, true, -1},
    {"in_r", "Right In", true, true, -1},
    {"out_l", "Left Out", false, true, -1},
    {"out_r", "Right Out", false, true, -1},
    {"pan", nullptr, true, false, KorWayfarerDsp::kPan},
    {"wet_mix", nullptr, true, false, KorWayfarerDsp::kWetMix},
};

} // namespace lv2names
