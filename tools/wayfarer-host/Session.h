#pragma once
// One plug-in instance as wayfarer-host drives it, in the order a host does: load and open,
// sample rate and block size, channel layout, then programs, presets and parameters; resume
// before audio and suspend after it; close when the session ends.
#include "Parameters.h"
#include "PresetFile.h"
#include "VstHost.h"

#include <memory>
#include <string>
#include <vector>

namespace hosttool {

// What the user asked the plug-in's state to be. Applied in this order: a bank from `preset`,
// then `program`, then a program from `preset`, then `params` in the order given. So a bank
// provides the programs to choose from, and a program file lands in the chosen slot.
struct StateOptions {
    std::string program; // index or name; empty for the current one
    std::string preset;  // an .fxp or .fxb file; empty for none
    std::vector<ParamSetting> params;
    bool normalized = false; // params hold normalised values
};

class Session {
public:
    Session() = default;
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Loads the binary, checks that it is an effect we can drive and opens it. The error says
    // why not: the loader's own message, a missing entry point, or what is wrong with the effect.
    bool Open(const std::string& path, double sampleRate, int blockSize, std::string& error);
    // The same for an effect linked into this program; `label` names it in messages.
    bool OpenBuiltIn(VstPluginMainProc entry, const std::string& label, double sampleRate, int blockSize,
                     std::string& error);

    vsthost::Plugin& Plugin() { return *m_plugin; }
    const AEffect& Effect() const { return *m_plugin->Effect(); }
    const std::string& Path() const { return m_path; }

    // Tells the plug-in how many input channels the audio has (effSetSpeakerArrangement). The
    // current program is selected again afterwards, so that every parameter is re-applied: a
    // plug-in may read the layout only when a parameter changes (this effect does for Pan).
    bool SetInputChannels(int channels, std::string& error);

    bool ApplyState(const StateOptions& state, std::string& error);
    bool SelectProgram(const std::string& which, std::string& error);

    FxFile CaptureProgram();
    FxFile CaptureBank();
    // Loads a decoded preset file into the plug-in.
    bool Restore(const FxFile& file, const std::string& path, std::string& error);

    // effMainsChanged and effStartProcess around processing.
    void Resume();
    void Suspend();

    // "Pan = Left, Wet Mix = 0": every parameter as the plug-in shows it.
    std::string ParameterSummary();
    std::string ProgramSummary();

private:
    bool Start(const std::string& path, VstPluginMainProc builtIn, double sampleRate, int blockSize,
               std::string& error);
    void Select(VstInt32 program);
    bool RestoreProgram(const FxProgram& program, const std::string& path, std::string& error);

    vsthost::Host m_host;
    std::unique_ptr<vsthost::Plugin> m_plugin;
    std::string m_path;
    bool m_resumed = false;
};

} // namespace hosttool
