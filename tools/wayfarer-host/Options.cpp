#include "Options.h"

#include "AudioFile.h"

#include <cmath>

namespace hosttool {

namespace {

constexpr long kMaxBlockSize = 1 << 20;
constexpr long kMinSampleRate = 1000;
constexpr long kMaxSampleRate = 768000;
constexpr double kMaxSeconds = 3600.0;
constexpr long kMaxOpenings = 100;

// Sets the kind of `action` when `name` is one of the editor's pointer options.
bool EditorActionKind(const std::string& name, EditorAction& action)
{
    static const struct {
        const char* name;
        EditorAction::Kind kind;
    } kinds[] = {
        {"--click", EditorAction::Kind::Click},
        {"--right-click", EditorAction::Kind::RightClick},
        {"--double-click", EditorAction::Kind::DoubleClick},
        {"--drag", EditorAction::Kind::Drag},
        {"--wheel", EditorAction::Kind::Wheel},
    };
    for (const auto& k : kinds) {
        if (name == k.name) {
            action = EditorAction();
            action.kind = k.kind;
            return true;
        }
    }
    return false;
}

bool ParseWhole(const std::string& text, long low, long high, long& value)
{
    double number = 0.0;
    if (!ParseNumber(text, number) || number != std::floor(number) || number < static_cast<double>(low) ||
        number > static_cast<double>(high)) {
        return false;
    }
    value = static_cast<long>(number);
    return true;
}

const char* CommandName(Command command)
{
    switch (command) {
    case Command::Info: return "info";
    case Command::Process: return "process";
    case Command::SavePreset: return "save-preset";
    case Command::RenderEditor: return "render-editor";
    default: return "";
    }
}

} // namespace

const char* UsageText()
{
    return R"(wayfarer-host runs a VST 2.4 effect plug-in on audio files.

usage:
  wayfarer-host info PLUGIN [state options]
  wayfarer-host process PLUGIN [INPUT] -o OUTPUT [state options] [audio options]
  wayfarer-host save-preset PLUGIN FILE.fxp|FILE.fxb [state options]
  wayfarer-host render-editor [PLUGIN] -o FILE.png [state options] [editor options]
  wayfarer-host --help | --version

PLUGIN is the plug-in binary (FreeWayfarer.so natively, FreeWayfarer.dll in the Windows builds).
INPUT is a WAV file, or any other file libsndfile reads, with at most as many channels as the
plug-in has inputs. Without INPUT the built-in test signal is processed: 440 Hz at 0.5 on the
left, 1 kHz at 0.25 on the right.

info prints what the plug-in is: names, version, unique ID, channels, flags, parameters,
programs and its canDo answers. save-preset writes its program (.fxp) or all its programs
(.fxb) after the state options are applied. render-editor writes a picture of the editor as it
looks after the state options and the editor options; without PLUGIN it draws the editor of the
Free Wayfarer built into wayfarer-host.

state options, applied in this order:
  --preset FILE         load a bank (.fxb) first, or a program (.fxp) after --program
  -p, --program P       select a program by index (from 0) or by name
  --param NAME=VALUE    set a parameter; repeat for more. VALUE is a plain value as the plug-in
                        shows it ("-0.5", "Right") or the position of a shown text ("1")
  --normalized          read --param numbers as normalized values from 0 to 1

audio options (process):
  -o, --output FILE     the processed audio; the container follows the extension (.wav, .aiff,
                        .au, .caf, .w64, and .flac in the Linux build), else the input's
  --format F            pcm16, pcm24, pcm32, float or double; default: the input's (float for
                        the test signal)
  --block N             frames per plug-in call (default 1024)
  --path P              float (processReplacing, default), double (processDoubleReplacing) or
                        accumulate (process)
  --rate HZ             sample rate of the test signal (default 48000)
  --seconds S           length of the test signal (default 3)

editor options (render-editor), performed in the order given; X,Y are editor pixels:
  --openings N          open the editor N times before the picture (default 1); the first
                        three openings put up the splash panel, which stays until clicked
  --click X,Y           a left click; --right-click X,Y and --double-click X,Y likewise
  --drag X,Y:X2,Y2      press the left button at X,Y, move to X2,Y2, release
  --wheel X,Y:N         turn the wheel N notches (negative towards the user)

Exit status: 0 on success; 1 when the command fails: a file, the plug-in, or a program,
parameter or value that the plug-in does not have; 2 when the command line cannot be read.
Nothing is written under an output's name unless the command succeeded.
)";
}

bool ParseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error)
{
    options = Options{};
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    const std::string& command = args[0];
    if (command == "-h" || command == "--help" || command == "help") {
        options.command = Command::Help;
        return true;
    }
    if (command == "--version") {
        options.command = Command::Version;
        return true;
    }
    if (command == "info")
        options.command = Command::Info;
    else if (command == "process")
        options.command = Command::Process;
    else if (command == "save-preset")
        options.command = Command::SavePreset;
    else if (command == "render-editor")
        options.command = Command::RenderEditor;
    else {
        error = "unknown command '" + command + "'; the commands are info, process, save-preset and render-editor";
        return false;
    }
    const bool processing = options.command == Command::Process;
    const bool rendering = options.command == Command::RenderEditor;
    const std::string commandName = CommandName(options.command);

    std::vector<std::string> positional;
    bool signalShaped = false;
    EditorAction action;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        const std::size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            inlineValue = true;
        }
        auto takeValue = [&]() {
            if (inlineValue) return true;
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };

        if (name == "-h" || name == "--help") {
            options.command = Command::Help;
            return true;
        }
        if (name == "--normalized") {
            if (inlineValue) {
                error = "--normalized takes no value";
                return false;
            }
            options.state.normalized = true;
        } else if (name == "-p" || name == "--program") {
            if (!takeValue()) return false;
            if (value.empty()) {
                error = "--program needs a program index or name";
                return false;
            }
            options.state.program = value;
        } else if (name == "--preset") {
            if (!takeValue()) return false;
            options.state.preset = value;
        } else if (name == "--param") {
            if (!takeValue()) return false;
            ParamSetting setting;
            if (!ParseParamSetting(value, setting)) {
                error = "--param takes NAME=VALUE, not '" + value + "'";
                return false;
            }
            options.state.params.push_back(setting);
        } else if (rendering && name == "--openings") {
            long openings = 0;
            if (!takeValue()) return false;
            if (!ParseWhole(value, 1, kMaxOpenings, openings)) {
                error = "--openings takes a whole number from 1 to " + std::to_string(kMaxOpenings) + ", not '" +
                        value + "'";
                return false;
            }
            options.editor.openings = static_cast<int>(openings);
        } else if (rendering && EditorActionKind(name, action)) {
            std::string why;
            if (!takeValue()) return false;
            if (!ParseEditorAction(value, action, why)) {
                error = name;
                error += " " + why;
                return false;
            }
            options.editor.actions.push_back(action);
        } else if ((processing || rendering) && (name == "-o" || name == "--output")) {
            if (!takeValue()) return false;
            options.output = value;
        } else if (processing && name == "--format") {
            if (!takeValue()) return false;
            options.outputSubtype = SubtypeByName(value);
            if (options.outputSubtype == 0) {
                error = "--format takes pcm16, pcm24, pcm32, float or double, not '" + value + "'";
                return false;
            }
        } else if (processing && name == "--block") {
            long frames = 0;
            if (!takeValue()) return false;
            if (!ParseWhole(value, 1, kMaxBlockSize, frames)) {
                error = "--block takes a whole number of frames from 1 to " + std::to_string(kMaxBlockSize) +
                        ", not '" + value + "'";
                return false;
            }
            options.blockSize = static_cast<int>(frames);
        } else if (processing && name == "--path") {
            if (!takeValue()) return false;
            if (value == "float")
                options.path = ProcessPath::Float;
            else if (value == "double")
                options.path = ProcessPath::Double;
            else if (value == "accumulate")
                options.path = ProcessPath::Accumulate;
            else {
                error = "--path takes float, double or accumulate, not '" + value + "'";
                return false;
            }
        } else if (processing && name == "--rate") {
            long rate = 0;
            if (!takeValue()) return false;
            if (!ParseWhole(value, kMinSampleRate, kMaxSampleRate, rate)) {
                error = "--rate takes a sample rate in Hz from " + std::to_string(kMinSampleRate) + " to " +
                        std::to_string(kMaxSampleRate) + ", not '" + value + "'";
                return false;
            }
            options.sampleRate = static_cast<int>(rate);
            signalShaped = true;
        } else if (processing && name == "--seconds") {
            double seconds = 0.0;
            if (!takeValue()) return false;
            if (!ParseNumber(value, seconds) || seconds <= 0.0 || seconds > kMaxSeconds) {
                error = "--seconds takes a length above 0 and up to 3600, not '" + value + "'";
                return false;
            }
            options.seconds = seconds;
            signalShaped = true;
        } else {
            error = "unknown option '" + name + "' for ";
            error += commandName + " (see wayfarer-host --help)";
            return false;
        }
    }

    if (rendering) {
        if (positional.size() > 1) {
            error = "unexpected argument '" + positional[1] + "' for render-editor";
            return false;
        }
        if (!positional.empty()) options.plugin = positional[0];
        if (options.output.empty()) {
            error = "name the picture with -o FILE.png";
            return false;
        }
        return true;
    }
    if (positional.empty()) {
        error = "name the plug-in binary: wayfarer-host " + commandName + " PLUGIN";
        return false;
    }
    options.plugin = positional[0];
    const std::size_t allowed = options.command == Command::Info ? 1 : 2;
    if (positional.size() > allowed) {
        error = "unexpected argument '" + positional[allowed] + "' for " + commandName;
        return false;
    }
    if (options.command == Command::SavePreset) {
        if (positional.size() < 2) {
            error = "name the preset file: wayfarer-host save-preset PLUGIN FILE.fxp|FILE.fxb";
            return false;
        }
        options.output = positional[1];
    }
    if (processing) {
        if (positional.size() == 2) options.input = positional[1];
        if (options.output.empty()) {
            error = "name the output file with -o FILE";
            return false;
        }
        if (!options.input.empty() && signalShaped) {
            error = "--rate and --seconds shape the built-in test signal; they do not apply to an input file";
            return false;
        }
    }
    return true;
}

} // namespace hosttool
