#pragma once
// wayfarer-host's command line: which command, which plug-in, and the options for it.
#include "EditorRender.h"
#include "Render.h"
#include "Session.h"

#include <string>
#include <vector>

namespace hosttool {

enum class Command { Help, Version, Info, Process, SavePreset, RenderEditor };

struct Options {
    Command command = Command::Help;
    std::string plugin;
    std::string input;  // process: empty for the built-in test signal
    std::string output; // process: the audio file; save-preset: the preset file; render-editor: the PNG
    StateOptions state;
    EditorScript editor; // render-editor

    int blockSize = 1024;
    ProcessPath path = ProcessPath::Float;
    int outputSubtype = 0; // a libsndfile subtype; 0 keeps the input's
    int sampleRate = 48000;
    double seconds = 3.0;
};

// The arguments after the program name. On failure the error says what is wrong, in words the
// user typed.
bool ParseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error);

// What --help prints: the usage, then every option that the command line reads, by section.
std::string UsageText();

} // namespace hosttool
