#include "Session.h"

#include "AudioFile.h"
#include "FileSystem.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace hosttool {

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// A whole non-negative decimal number, as a program index is given.
bool ParseIndex(const std::string& text, long& index)
{
    if (text.empty() || text.size() > 9) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    index = std::strtol(text.c_str(), nullptr, 10);
    return true;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

void DescribeLayout(VstSpeakerArrangement& layout, int channels)
{
    layout = VstSpeakerArrangement{};
    layout.numChannels = channels;
    layout.type = channels == 1 ? kSpeakerArrMono : channels == 2 ? kSpeakerArrStereo : kSpeakerArrUserDefined;
    for (int i = 0; i < channels && i < 8; ++i) {
        VstSpeakerProperties& speaker = layout.speakers[i];
        speaker.type = channels == 1 ? kSpeakerM : channels == 2 ? (i == 0 ? kSpeakerL : kSpeakerR) : kSpeakerUndefined;
        std::snprintf(speaker.name, sizeof speaker.name, "%s",
                      channels == 1   ? "M"
                      : channels == 2 ? (i == 0 ? "L" : "R")
                                      : "");
    }
}

} // namespace

Session::~Session()
{
    if (m_plugin && m_resumed) Suspend();
    m_plugin.reset();
}

bool Session::Open(const std::string& path, double sampleRate, int blockSize, std::string& error)
{
    // The loaders' messages for a missing file are vague ("Module not found"); say it plainly.
    std::string reason;
    std::FILE* file = OpenFile(path, "rb", reason);
    if (file == nullptr) {
        error = "cannot open the plug-in " + Quoted(path) + ": " + reason;
        return false;
    }
    std::fclose(file);
    return Start(path, nullptr, sampleRate, blockSize, error);
}

bool Session::OpenBuiltIn(VstPluginMainProc entry, const std::string& label, double sampleRate, int blockSize,
                          std::string& error)
{
    return Start(label, entry, sampleRate, blockSize, error);
}

bool Session::Start(const std::string& path, VstPluginMainProc builtIn, double sampleRate, int blockSize,
                    std::string& error)
{
    vsthost::HostConfig config;
    config.productString = "wayfarer-host";
    config.vendorString = "Tarnbek";
    config.vendorVersion = 10200;
    config.sampleRate = sampleRate;
    config.blockSize = blockSize;
    // An offline file host: no MIDI, no transport, no window to size.
    config.canDo = {};
    m_host.SetConfig(config);

    std::string reason;
    m_plugin = builtIn != nullptr ? m_host.LoadBuiltIn(builtIn, path, &reason) : m_host.Load(path, &reason);
    if (!m_plugin) {
        error = reason + " (is it a VST 2.4 plug-in built for this platform?)";
        return false;
    }
    m_path = path;
    const AEffect& effect = Effect();
    if (effect.numOutputs < 1 || effect.numInputs < 0 || effect.numParams < 0) {
        error = Quoted(path) + " reports " + std::to_string(effect.numInputs) + " inputs, " +
                std::to_string(effect.numOutputs) + " outputs and " + std::to_string(effect.numParams) +
                " parameters; it cannot process audio";
        m_plugin.reset();
        return false;
    }
    m_plugin->Open();
    m_plugin->Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    m_plugin->Dispatch(effSetBlockSize, 0, blockSize);
    return true;
}

bool Session::SetInputChannels(int channels, std::string& error)
{
    const AEffect& effect = Effect();
    if (channels < 1 || channels > effect.numInputs) {
        error = "the input has " + std::to_string(channels) + " channel" + (channels == 1 ? "" : "s") +
                "; the plug-in takes " + (effect.numInputs == 1 ? "1" : "1 to " + std::to_string(effect.numInputs));
        return false;
    }
    VstSpeakerArrangement inputs;
    VstSpeakerArrangement outputs;
    DescribeLayout(inputs, channels);
    DescribeLayout(outputs, effect.numOutputs);
    m_plugin->Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&inputs), &outputs);
    Select(static_cast<VstInt32>(m_plugin->Dispatch(effGetProgram)));
    return true;
}

void Session::Select(VstInt32 program)
{
    m_plugin->Dispatch(effBeginSetProgram);
    m_plugin->Dispatch(effSetProgram, 0, program);
    m_plugin->Dispatch(effEndSetProgram);
}

bool Session::SelectProgram(const std::string& which, std::string& error)
{
    const VstInt32 count = Effect().numPrograms;
    long index = -1;
    if (ParseIndex(which, index)) {
        if (index >= count) {
            error = "there is no program " + which + "; the plug-in has programs 0 to " + std::to_string(count - 1);
            return false;
        }
    } else {
        for (VstInt32 i = 0; i < count && index < 0; ++i) {
            if (m_plugin->ProgramNameIndexed(i) == which) index = i;
        }
        for (VstInt32 i = 0; i < count && index < 0; ++i) {
            if (EqualsIgnoringCase(m_plugin->ProgramNameIndexed(i), which)) index = i;
        }
        if (index < 0) {
            error = "unknown program " + Quoted(which) + "; the plug-in's programs are:";
            for (VstInt32 i = 0; i < count; ++i) {
                error += "\n  " + std::to_string(i) + "  " + m_plugin->ProgramNameIndexed(i);
            }
            return false;
        }
    }
    Select(static_cast<VstInt32>(index));
    return true;
}

bool Session::ApplyState(const StateOptions& state, std::string& error)
{
    FxFile preset;
    const bool havePreset = !state.preset.empty();
    if (havePreset) {
        std::vector<unsigned char> bytes;
        if (!ReadWholeFile(state.preset, bytes, error)) return false;
        std::string reason;
        if (!DecodeFxFile(bytes, preset, reason)) {
            error = Quoted(state.preset) + " is not a preset file that can be read: " + reason;
            return false;
        }
    }
    if (havePreset && preset.isBank && !Restore(preset, state.preset, error)) return false;
    if (!state.program.empty() && !SelectProgram(state.program, error)) return false;
    if (havePreset && !preset.isBank && !Restore(preset, state.preset, error)) return false;
    ParameterMapper mapper(*m_plugin);
    for (const ParamSetting& setting : state.params) {
        if (!mapper.Apply(setting, state.normalized, error)) return false;
    }
    return true;
}

FxFile Session::CaptureProgram()
{
    const AEffect& effect = Effect();
    FxFile file;
    file.fxID = effect.uniqueID;
    file.fxVersion = effect.version;
    FxProgram& program = file.program;
    program.name = m_plugin->ProgramName();
    program.numParams = effect.numParams;
    void* chunk = nullptr;
    const VstIntPtr size = (effect.flags & effFlagsProgramChunks) != 0
                               ? m_plugin->Dispatch(effGetChunk, 1, 0, static_cast<void*>(&chunk))
                               : 0;
    if (size > 0 && chunk != nullptr) {
        program.opaque = true;
        program.chunk.assign(static_cast<unsigned char*>(chunk), static_cast<unsigned char*>(chunk) + size);
        return file;
    }
    for (VstInt32 i = 0; i < effect.numParams; ++i) program.params.push_back(m_plugin->GetParameter(i));
    return file;
}

FxFile Session::CaptureBank()
{
    const AEffect& effect = Effect();
    FxFile file;
    file.isBank = true;
    file.fxID = effect.uniqueID;
    file.fxVersion = effect.version;
    FxBank& bank = file.bank;
    const auto current = static_cast<VstInt32>(m_plugin->Dispatch(effGetProgram));
    bank.currentProgram = current;
    bank.numPrograms = effect.numPrograms;
    void* chunk = nullptr;
    const VstIntPtr size = (effect.flags & effFlagsProgramChunks) != 0
                               ? m_plugin->Dispatch(effGetChunk, 0, 0, static_cast<void*>(&chunk))
                               : 0;
    if (size > 0 && chunk != nullptr) {
        bank.opaque = true;
        bank.chunk.assign(static_cast<unsigned char*>(chunk), static_cast<unsigned char*>(chunk) + size);
        return file;
    }
    // Parameters are only readable for the current program, so each one is visited in turn. A
    // plug-in keeps edits of the current program when the host switches away, so the bank holds
    // them too.
    for (VstInt32 i = 0; i < effect.numPrograms; ++i) {
        Select(i);
        bank.programs.push_back(CaptureProgram().program);
    }
    Select(current);
    return file;
}

bool Session::Restore(const FxFile& file, const std::string& path, std::string& error)
{
    const AEffect& effect = Effect();
    if (file.fxID != effect.uniqueID) {
        error = Quoted(path) + " is a preset for the plug-in with ID '" + FourCCText(file.fxID) +
                "', not for this one ('" + FourCCText(effect.uniqueID) + "')";
        return false;
    }
    if (!file.isBank) return RestoreProgram(file.program, path, error);

    const FxBank& bank = file.bank;
    if (bank.opaque) {
        if ((effect.flags & effFlagsProgramChunks) == 0) {
            error = Quoted(path) + " holds a bank chunk, but the plug-in does not take chunks";
            return false;
        }
        std::vector<unsigned char> chunk = bank.chunk;
        if (m_plugin->Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data()) == 0) {
            error = "the plug-in refused the bank chunk in " + Quoted(path);
            return false;
        }
        return true;
    }
    if (bank.programs.size() > static_cast<std::size_t>(effect.numPrograms)) {
        error = Quoted(path) + " holds " + std::to_string(bank.programs.size()) + " programs; the plug-in has " +
                std::to_string(effect.numPrograms);
        return false;
    }
    for (std::size_t i = 0; i < bank.programs.size(); ++i) {
        Select(static_cast<VstInt32>(i));
        if (!RestoreProgram(bank.programs[i], path, error)) return false;
    }
    const bool currentExists = bank.currentProgram >= 0 && bank.currentProgram < effect.numPrograms;
    Select(currentExists ? bank.currentProgram : 0);
    return true;
}

bool Session::RestoreProgram(const FxProgram& program, const std::string& path, std::string& error)
{
    const AEffect& effect = Effect();
    if (program.opaque) {
        if ((effect.flags & effFlagsProgramChunks) == 0) {
            error = Quoted(path) + " holds a program chunk, but the plug-in does not take chunks";
            return false;
        }
        std::vector<unsigned char> chunk = program.chunk;
        if (m_plugin->Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(chunk.size()), chunk.data()) == 0) {
            error = "the plug-in refused the program chunk in " + Quoted(path);
            return false;
        }
    } else {
        if (program.params.size() != static_cast<std::size_t>(effect.numParams)) {
            error = Quoted(path) + " holds " + std::to_string(program.params.size()) +
                    " parameter values; the plug-in has " + std::to_string(effect.numParams) + " parameters";
            return false;
        }
        for (std::size_t i = 0; i < program.params.size(); ++i) {
            const float value = program.params[i];
            if (!(value >= 0.0f && value <= 1.0f)) {
                char text[32];
                std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
                error = Quoted(path) + " gives parameter " + std::to_string(i) + " of program '" + program.name +
                        "' the value " + text + ", outside 0 to 1";
                return false;
            }
        }
        for (std::size_t i = 0; i < program.params.size(); ++i) {
            m_plugin->SetParameter(static_cast<VstInt32>(i), program.params[i]);
        }
    }
    char name[kFxProgramNameSize] = {};
    std::snprintf(name, sizeof name, "%s", program.name.c_str());
    m_plugin->Dispatch(effSetProgramName, 0, 0, name);
    return true;
}

void Session::Resume()
{
    m_plugin->Dispatch(effMainsChanged, 0, 1);
    m_plugin->Dispatch(effStartProcess);
    m_resumed = true;
}

void Session::Suspend()
{
    m_plugin->Dispatch(effStopProcess);
    m_plugin->Dispatch(effMainsChanged, 0, 0);
    m_resumed = false;
}

std::string Session::ParameterSummary()
{
    std::string summary;
    for (VstInt32 i = 0; i < Effect().numParams; ++i) {
        const std::string label = m_plugin->ParamLabel(i);
        summary += (i > 0 ? ", " : "") + m_plugin->ParamName(i) + " = " + m_plugin->ParamDisplay(i) +
                   (label.empty() ? "" : " " + label);
    }
    return summary.empty() ? "(none)" : summary;
}

std::string Session::ProgramSummary()
{
    return std::to_string(m_plugin->Dispatch(effGetProgram)) + " \"" + m_plugin->ProgramName() + "\"";
}

} // namespace hosttool
