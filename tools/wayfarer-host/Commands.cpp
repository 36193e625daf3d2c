#include "Commands.h"

#include "AudioFile.h"
#include "EditorRender.h"
#include "Options.h"
#include "PresetFile.h"
#include "Render.h"
#include "Session.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>

#ifndef WAYFARER_VERSION
#define WAYFARER_VERSION "unknown"
#endif

// The effect built into this program (vst/VstMain.cpp), for render-editor without a plug-in binary.
extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback);

namespace hosttool {

namespace {

constexpr int kFailed = 1;
constexpr int kBadCommandLine = 2;
// Inputs shorter than this finish before a progress bar would tell anyone anything.
constexpr double kProgressAfterSeconds = 5.0;
constexpr int kProgressWidth = 32;

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Decibels(double level) { return level > 0.0 ? Format("%7.2f", 20.0 * std::log10(level)) : "   -inf"; }

std::string ChannelName(int channel, int channels)
{
    if (channels == 1) return "M";
    if (channels == 2) return channel == 0 ? "L" : "R";
    return std::to_string(channel + 1);
}

std::string VersionText(VstInt32 version)
{
    if (version < 10000) return std::to_string(version);
    return std::to_string(version / 10000) + "." + std::to_string(version / 100 % 100) + "." +
           std::to_string(version % 100) + " (" + std::to_string(version) + ")";
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && Lower(text.substr(text.size() - end.size())) == end;
}

class ProgressBar {
public:
    ProgressBar(Console& console, std::int64_t total, int sampleRate)
        : m_err(console.err),
          m_total(total),
          m_enabled(console.progress && total > static_cast<std::int64_t>(kProgressAfterSeconds * sampleRate))
    {
    }
    ~ProgressBar() { Finish(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Update(std::int64_t done)
    {
        if (!m_enabled || m_total <= 0) return;
        const auto percent = static_cast<int>(100 * std::min(done, m_total) / m_total);
        if (percent == m_percent) return;
        m_percent = percent;
        m_err << '\r' << ProgressLine(done, m_total) << std::flush;
        m_drawn = true;
    }
    // Wipes the bar so that what follows starts on a clean line.
    void Finish()
    {
        if (!m_drawn) return;
        m_err << '\r' << std::string(ProgressLine(0, 1).size(), ' ') << '\r' << std::flush;
        m_drawn = false;
    }

private:
    std::ostream& m_err;
    std::int64_t m_total;
    bool m_enabled;
    bool m_drawn = false;
    int m_percent = -1;
};

void PrintLevels(std::ostream& out, const RenderResult& result)
{
    out << "\n           peak  peak dBFS       RMS   RMS dBFS\n";
    auto rows = [&](const char* side, const Levels& levels) {
        for (int c = 0; c < levels.Channels(); ++c) {
            out << side << ' ' << ChannelName(c, levels.Channels()) << Format("  %9.6f", levels.Peak(c)) << "    "
                << Decibels(levels.Peak(c)) << Format("  %9.6f", levels.Rms(c)) << "    " << Decibels(levels.Rms(c))
                << '\n';
        }
    };
    rows("in ", result.in);
    rows("out", result.out);
}

// ---- info ------------------------------------------------------------------------------------

void PrintInfo(std::ostream& out, Session& session)
{
    vsthost::Plugin& plugin = session.Plugin();
    const AEffect& effect = session.Effect();
    char text[128];

    out << "plug-in      " << session.Path() << " (entry point " << plugin.EntryName() << ")\n";
    out << "name         " << plugin.EffectName() << '\n';
    out << "vendor       " << plugin.VendorString() << '\n';
    out << "product      " << plugin.ProductString() << '\n';
    out << "version      " << VersionText(effect.version) << '\n';
    std::snprintf(text, sizeof text, "'%s' (0x%08x)", FourCCText(effect.uniqueID).c_str(),
                  static_cast<unsigned>(effect.uniqueID));
    out << "unique ID    " << text << '\n';
    out << "VST version  " << plugin.Dispatch(effGetVstVersion) << '\n';
    static const char* const categories[] = {"unknown",     "effect",      "instrument",  "analysis",
                                             "mastering",   "spatializer", "room effect", "surround effect",
                                             "restoration", "offline",     "shell",       "generator"};
    const VstIntPtr category = plugin.Dispatch(effGetPlugCategory);
    out << "category     " << (category >= 0 && category < 12 ? categories[category] : "unknown") << " (" << category
        << ")\n";

    auto pins = [&](VstInt32 opcode, VstInt32 count) {
        std::string list;
        for (VstInt32 i = 0; i < count; ++i) {
            VstPinProperties pin{};
            if (plugin.Dispatch(opcode, i, 0, &pin) == 0) continue;
            list += std::string(list.empty() ? "" : ", ") +
                    std::string(pin.label, strnlen(pin.label, sizeof pin.label)) +
                    ((pin.flags & kVstPinIsStereo) != 0 ? " (first of a stereo pair)" : "");
        }
        return std::to_string(count) + (list.empty() ? "" : ": " + list);
    };
    out << "inputs       " << pins(effGetInputProperties, effect.numInputs) << '\n';
    out << "outputs      " << pins(effGetOutputProperties, effect.numOutputs) << '\n';
    out << "latency      " << effect.initialDelay << " samples\n";

    static const struct {
        VstInt32 bit;
        const char* name;
    } flagNames[] = {{effFlagsHasEditor, "editor"},
                     {effFlagsCanMono, "mono"},
                     {effFlagsCanReplacing, "replacing"},
                     {effFlagsProgramChunks, "chunks"},
                     {effFlagsIsSynth, "instrument"},
                     {effFlagsNoSoundInStop, "silent when stopped"},
                     {effFlagsCanDoubleReplacing, "double replacing"}};
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(effect.flags));
    out << "flags        " << text;
    const char* separator = ": ";
    for (const auto& flag : flagNames) {
        if ((effect.flags & flag.bit) == 0) continue;
        out << separator << flag.name;
        separator = ", ";
    }
    out << '\n';
    if ((effect.flags & effFlagsHasEditor) != 0) {
        ERect* rect = nullptr;
        if (plugin.Dispatch(effEditGetRect, 0, 0, static_cast<void*>(&rect)) != 0 && rect != nullptr) {
            out << "editor       " << rect->right - rect->left << " x " << rect->bottom - rect->top << " pixels\n";
        }
    }

    out << "\nparameters (" << effect.numParams << ")\n";
    for (VstInt32 i = 0; i < effect.numParams; ++i) {
        const std::string label = plugin.ParamLabel(i);
        std::snprintf(text, sizeof text, "  %3d  %-20s %-12s %-8s normalized %.6f", i, plugin.ParamName(i).c_str(),
                      plugin.ParamDisplay(i).c_str(), label.c_str(), static_cast<double>(plugin.GetParameter(i)));
        out << text << '\n';
    }
    out << "\nprograms (" << effect.numPrograms << ", current " << plugin.Dispatch(effGetProgram) << ")\n";
    for (VstInt32 i = 0; i < effect.numPrograms; ++i) {
        std::snprintf(text, sizeof text, "  %3d  %s", i, plugin.ProgramNameIndexed(i).c_str());
        out << text << '\n';
    }

    // What hosts commonly ask; 1 means yes, -1 no, 0 that the plug-in does not know.
    static const char* const capabilities[] = {"sendVstEvents",
                                               "sendVstMidiEvent",
                                               "receiveVstEvents",
                                               "receiveVstMidiEvent",
                                               "receiveVstTimeInfo",
                                               "offline",
                                               "midiProgramNames",
                                               "bypass",
                                               "1in1out",
                                               "1in2out",
                                               "2in1out",
                                               "2in2out",
                                               "2in4out",
                                               "4in2out",
                                               "hasCockosExtensions",
                                               "hasCockosViewAsConfig"};
    out << "\ncan do\n";
    for (const char* capability : capabilities) {
        const VstIntPtr answer = plugin.CanDo(capability);
        std::string said = answer == 1 ? "yes" : answer == -1 ? "no" : answer == 0 ? "-" : "";
        if (said.empty()) {
            // Read at the width the plug-in answered in: 0xBEEF0000 is negative in 32 bits.
            std::snprintf(text, sizeof text, "0x%llx",
                          static_cast<unsigned long long>(static_cast<std::make_unsigned_t<VstIntPtr>>(answer)));
            said = text;
        }
        std::snprintf(text, sizeof text, "  %-24s %s", capability, said.c_str());
        out << text << '\n';
    }
}

// Loads the plug-in at the test signal's rate and applies the state options; says why if not.
bool OpenWithState(const Options& options, Console& console, Session& session)
{
    std::string error;
    if (session.Open(options.plugin, options.sampleRate, options.blockSize, error) &&
        session.ApplyState(options.state, error))
        return true;
    console.err << "wayfarer-host: " << error << '\n';
    return false;
}

int RunInfo(const Options& options, Console& console)
{
    Session session;
    if (!OpenWithState(options, console, session)) return kFailed;
    PrintInfo(console.out, session);
    return 0;
}

// ---- process ---------------------------------------------------------------------------------

int RunProcess(const Options& options, Console& console)
{
    std::string error;
    auto fail = [&]() {
        console.err << "wayfarer-host: " << error << '\n';
        return kFailed;
    };

    std::unique_ptr<AudioSource> source;
    int inputFormat = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (options.input.empty()) {
        const auto frames = static_cast<std::int64_t>(std::llround(options.seconds * options.sampleRate));
        source = std::make_unique<TestSignal>(options.sampleRate, frames);
    } else {
        auto reader = std::make_unique<AudioFileReader>();
        if (!reader->Open(options.input, error)) return fail();
        inputFormat = reader->Format();
        source = std::move(reader);
    }

    Session session;
    if (!session.Open(options.plugin, source->SampleRate(), options.blockSize, error) ||
        !session.SetInputChannels(source->Channels(), error) || !session.ApplyState(options.state, error)) {
        return fail();
    }

    int container = ContainerForPath(options.output);
    if (container == 0) container = inputFormat & SF_FORMAT_TYPEMASK;
    const int subtype = options.outputSubtype != 0 ? options.outputSubtype : inputFormat & SF_FORMAT_SUBMASK;
    const int outputFormat = container | subtype;
    const int outputs = session.Effect().numOutputs;

    PendingFile pending(options.output);
    AudioFileWriter writer;
    std::string reason;
    if (!writer.Open(pending.TemporaryPath(), outputFormat, outputs, source->SampleRate(), reason)) {
        error = "cannot write '" + options.output + "': " + reason;
        return fail();
    }

    RenderResult result;
    session.Resume();
    bool rendered = false;
    {
        ProgressBar bar(console, source->Frames(), source->SampleRate());
        rendered = Render(
            session.Plugin(), *source, writer, options.path, options.blockSize,
            [&bar](std::int64_t done) { bar.Update(done); }, result, error);
    }
    session.Suspend();
    if (!rendered) return fail();
    if (!writer.Close(reason)) {
        error = "cannot finish '" + options.output + "': " + reason;
        return fail();
    }
    if (!pending.Commit(error)) return fail();

    std::ostream& out = console.out;
    const AEffect& effect = session.Effect();
    out << "plug-in   " << session.Plugin().EffectName() << " by " << session.Plugin().VendorString() << ", version "
        << VersionText(effect.version) << '\n';
    out << "program   " << session.ProgramSummary() << '\n';
    out << "params    " << session.ParameterSummary() << '\n';
    if (!options.state.preset.empty()) out << "preset    " << options.state.preset << '\n';
    out << "input     " << source->Describe() << '\n';
    out << "output    " << options.output << ": " << DescribeFormat(outputFormat) << ", " << outputs << " ch, "
        << source->SampleRate() << " Hz, " << result.frames << " frames\n";
    out << "process   " << ProcessPathName(options.path) << ", blocks of up to " << options.blockSize << " frames\n";
    PrintLevels(out, result);
    if (writer.ClippedSamples() > 0) {
        console.err << "wayfarer-host: warning: " << writer.ClippedSamples() << " samples were clipped to fit "
                    << DescribeFormat(outputFormat) << '\n';
    }
    return 0;
}

// ---- save-preset -----------------------------------------------------------------------------

int RunSavePreset(const Options& options, Console& console)
{
    const bool bank = EndsWith(options.output, ".fxb");
    if (!bank && !EndsWith(options.output, ".fxp")) {
        console.err << "wayfarer-host: name the preset file .fxp for one program or .fxb for a bank, not '"
                    << options.output << "'\n";
        return kBadCommandLine;
    }
    Session session;
    if (!OpenWithState(options, console, session)) return kFailed;
    const FxFile file = bank ? session.CaptureBank() : session.CaptureProgram();
    std::string error;
    if (!WriteWholeFile(options.output, EncodeFxFile(file), error)) {
        console.err << "wayfarer-host: " << error << '\n';
        return kFailed;
    }
    if (bank)
        console.out << "saved " << file.bank.numPrograms << " programs (current " << file.bank.currentProgram << ") to "
                    << options.output << '\n';
    else
        console.out << "saved program " << session.ProgramSummary() << " (" << session.ParameterSummary() << ") to "
                    << options.output << '\n';
    return 0;
}

// ---- render-editor ------------------------------------------------------------------------------

int RunRenderEditor(const Options& options, Console& console)
{
    std::string error;
    auto fail = [&]() {
        console.err << "wayfarer-host: " << error << '\n';
        return kFailed;
    };
    Session session;
    const bool builtIn = options.plugin.empty();
    const bool opened = builtIn ? session.OpenBuiltIn(BuiltInEditorMain, "the built-in Free Wayfarer",
                                                      options.sampleRate, options.blockSize, error)
                                : session.Open(options.plugin, options.sampleRate, options.blockSize, error);
    if (!opened || !session.ApplyState(options.state, error)) return fail();

    EditorImage image;
    std::vector<unsigned char> png;
    if (!RenderEditor(session, builtIn, options.editor, image, error) || !EncodePng(image, png, error) ||
        !WriteWholeFile(options.output, png, error))
        return fail();
    console.out << "wrote the editor (" << image.width << " x " << image.height << ") to " << options.output << "; "
                << session.ParameterSummary() << '\n';
    return 0;
}

} // namespace

std::string ProgressLine(std::int64_t done, std::int64_t total)
{
    const std::int64_t clamped = std::clamp<std::int64_t>(done, 0, std::max<std::int64_t>(total, 1));
    const std::int64_t whole = std::max<std::int64_t>(total, 1);
    const auto filled = static_cast<int>(kProgressWidth * clamped / whole);
    const auto percent = static_cast<int>(100 * clamped / whole);
    char tail[16];
    std::snprintf(tail, sizeof tail, "] %3d%%", percent);
    return "  [" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kProgressWidth - filled), ' ') + tail;
}

int RunCommandLine(const std::vector<std::string>& args, Console& console)
{
    Options options;
    std::string error;
    if (!ParseCommandLine(args, options, error)) {
        console.err << "wayfarer-host: " << error << "\n(wayfarer-host --help shows how to use it)\n";
        return kBadCommandLine;
    }
    switch (options.command) {
    case Command::Help: console.out << UsageText(); return 0;
    case Command::Version: console.out << "wayfarer-host " << WAYFARER_VERSION << '\n'; return 0;
    case Command::Info: return RunInfo(options, console);
    case Command::Process: return RunProcess(options, console);
    case Command::SavePreset: return RunSavePreset(options, console);
    case Command::RenderEditor: return RunRenderEditor(options, console);
    }
    return kFailed;
}

} // namespace hosttool
