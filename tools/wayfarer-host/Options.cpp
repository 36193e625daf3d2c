#include "Options.h"

#include "AudioFile.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace hosttool {

namespace {

constexpr long kMaxBlockSize = 1 << 20;
constexpr long kMinSampleRate = 1000;
constexpr long kMaxSampleRate = 768000;
constexpr double kMaxSeconds = 3600.0;
constexpr long kMaxOpenings = 100;

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

const struct {
    const char* name;
    Command command;
} kCommands[] = {
    {"info", Command::Info},
    {"process", Command::Process},
    {"save-preset", Command::SavePreset},
    {"render-editor", Command::RenderEditor},
};

// A set of commands, one bit each, for the commands that take an option.
constexpr unsigned Bit(Command command) { return 1u << static_cast<unsigned>(command); }
constexpr unsigned kInfo = Bit(Command::Info);
constexpr unsigned kProcess = Bit(Command::Process);
constexpr unsigned kSavePreset = Bit(Command::SavePreset);
constexpr unsigned kRenderEditor = Bit(Command::RenderEditor);
constexpr unsigned kEveryCommand = kInfo | kProcess | kSavePreset | kRenderEditor;

// One command line as it is read: where the options go, and what they tell the reading itself.
struct Reading {
    Reading(Options& into, std::string& errorOut) : options(into), error(errorOut) {}

    Options& options;
    std::string& error;
    std::string name;          // the option at hand as the user wrote it, "-p" or "--program"
    bool finished = false;     // nothing after the option at hand is read
    bool signalShaped = false; // --rate or --seconds, which only the test signal takes
};

// Puts an option's value into the reading (a switch gets an empty one). False with the error set
// when the value is not one the option takes.
using Apply = bool (*)(Reading& reading, const std::string& value);

// Where --help shows an option. The usage lines already show the hidden ones.
enum class Section { Hidden, State, Audio, Editor };

const struct {
    Section section;
    const char* heading;
} kSections[] = {
    {Section::State, "state options, applied in this order:"},
    {Section::Audio, "audio options (process):"},
    {Section::Editor, "editor options (render-editor), performed in the order given; X,Y are editor pixels:"},
};

struct OptionRow {
    const char* name;      // "--program"
    const char* shortName; // "-p", or null
    const char* value;     // what --help calls the value; null for a switch, which takes none
    unsigned commands;     // the Bit() of every command that takes it
    Section section;
    const char* help; // for --help; each '\n' starts a line under the first
    Apply apply;
};

bool AddEditorAction(Reading& reading, EditorAction::Kind kind, const std::string& value)
{
    EditorAction action;
    action.kind = kind;
    std::string why;
    if (!ParseEditorAction(value, action, why)) {
        reading.error = reading.name + " " + why;
        return false;
    }
    reading.options.editor.actions.push_back(action);
    return true;
}

// Every option of every command, in the order --help lists them: an option is a row here and
// nothing more. A row's messages name the option's long form; reading.name is how the user wrote
// it.
const OptionRow kOptions[] = {
    {"--help", "-h", nullptr, kEveryCommand, Section::Hidden, "show how to use wayfarer-host, and do nothing else",
     [](Reading& r, const std::string&) {
         r.options.command = Command::Help;
         r.finished = true;
         return true;
     }},

    {"--preset", nullptr, "FILE", kEveryCommand, Section::State,
     "load a bank (.fxb) first, or a program (.fxp) after --program",
     [](Reading& r, const std::string& value) {
         r.options.state.preset = value;
         return true;
     }},
    {"--program", "-p", "P", kEveryCommand, Section::State, "select a program by index (from 0) or by name",
     [](Reading& r, const std::string& value) {
         if (value.empty()) {
             r.error = "--program needs a program index or name";
             return false;
         }
         r.options.state.program = value;
         return true;
     }},
    {"--param", nullptr, "NAME=VALUE", kEveryCommand, Section::State,
     "set a parameter; repeat for more. VALUE is a plain value as the plug-in\n"
     "shows it (\"-0.5\", \"Right\") or the position of a shown text (\"1\")",
     [](Reading& r, const std::string& value) {
         ParamSetting setting;
         if (!ParseParamSetting(value, setting)) {
             r.error = "--param takes NAME=VALUE, not '" + value + "'";
             return false;
         }
         r.options.state.params.push_back(setting);
         return true;
     }},
    {"--normalized", nullptr, nullptr, kEveryCommand, Section::State,
     "read --param numbers as normalized values from 0 to 1",
     [](Reading& r, const std::string&) {
         r.options.state.normalized = true;
         return true;
     }},

    {"--output", "-o", "FILE", kProcess | kRenderEditor, Section::Audio,
     "the processed audio; the container follows the extension (.wav, .aiff,\n"
     ".au, .caf, .w64, and .flac in the Linux build), else the input's",
     [](Reading& r, const std::string& value) {
         r.options.output = value;
         return true;
     }},
    {"--format", nullptr, "F", kProcess, Section::Audio,
     "pcm16, pcm24, pcm32, float or double; default: the input's (float for\n"
     "the test signal)",
     [](Reading& r, const std::string& value) {
         r.options.outputSubtype = SubtypeByName(value);
         if (r.options.outputSubtype == 0) {
             r.error = "--format takes pcm16, pcm24, pcm32, float or double, not '" + value + "'";
             return false;
         }
         return true;
     }},
    {"--block", nullptr, "N", kProcess, Section::Audio, "frames per plug-in call (default 1024)",
     [](Reading& r, const std::string& value) {
         long frames = 0;
         if (!ParseWhole(value, 1, kMaxBlockSize, frames)) {
             r.error = "--block takes a whole number of frames from 1 to " + std::to_string(kMaxBlockSize) + ", not '" +
                       value + "'";
             return false;
         }
         r.options.blockSize = static_cast<int>(frames);
         return true;
     }},
    {"--path", nullptr, "P", kProcess, Section::Audio,
     "float (processReplacing, default), double (processDoubleReplacing) or\n"
     "accumulate (process)",
     [](Reading& r, const std::string& value) {
         if (value == "float")
             r.options.path = ProcessPath::Float;
         else if (value == "double")
             r.options.path = ProcessPath::Double;
         else if (value == "accumulate")
             r.options.path = ProcessPath::Accumulate;
         else {
             r.error = "--path takes float, double or accumulate, not '" + value + "'";
             return false;
         }
         return true;
     }},
    {"--rate", nullptr, "HZ", kProcess, Section::Audio, "sample rate of the test signal (default 48000)",
     [](Reading& r, const std::string& value) {
         long rate = 0;
         if (!ParseWhole(value, kMinSampleRate, kMaxSampleRate, rate)) {
             r.error = "--rate takes a sample rate in Hz from " + std::to_string(kMinSampleRate) + " to " +
                       std::to_string(kMaxSampleRate) + ", not '" + value + "'";
             return false;
         }
         r.options.sampleRate = static_cast<int>(rate);
         r.signalShaped = true;
         return true;
     }},
    {"--seconds", nullptr, "S", kProcess, Section::Audio, "length of the test signal (default 3)",
     [](Reading& r, const std::string& value) {
         double seconds = 0.0;
         if (!ParseNumber(value, seconds) || seconds <= 0.0 || seconds > kMaxSeconds) {
             r.error = "--seconds takes a length above 0 and up to 3600, not '" + value + "'";
             return false;
         }
         r.options.seconds = seconds;
         r.signalShaped = true;
         return true;
     }},

    {"--openings", nullptr, "N", kRenderEditor, Section::Editor,
     "open the editor N times before the picture (default 1); the first\n"
     "three openings put up the splash panel, which stays until clicked",
     [](Reading& r, const std::string& value) {
         long openings = 0;
         if (!ParseWhole(value, 1, kMaxOpenings, openings)) {
             r.error =
                 "--openings takes a whole number from 1 to " + std::to_string(kMaxOpenings) + ", not '" + value + "'";
             return false;
         }
         r.options.editor.openings = static_cast<int>(openings);
         return true;
     }},
    {"--click", nullptr, "X,Y", kRenderEditor, Section::Editor, "a left click",
     [](Reading& r, const std::string& value) { return AddEditorAction(r, EditorAction::Kind::Click, value); }},
    {"--right-click", nullptr, "X,Y", kRenderEditor, Section::Editor, "a right click",
     [](Reading& r, const std::string& value) { return AddEditorAction(r, EditorAction::Kind::RightClick, value); }},
    {"--double-click", nullptr, "X,Y", kRenderEditor, Section::Editor, "a left double click",
     [](Reading& r, const std::string& value) { return AddEditorAction(r, EditorAction::Kind::DoubleClick, value); }},
    {"--drag", nullptr, "X,Y:X2,Y2", kRenderEditor, Section::Editor,
     "press the left button at X,Y, move to X2,Y2, release",
     [](Reading& r, const std::string& value) { return AddEditorAction(r, EditorAction::Kind::Drag, value); }},
    {"--wheel", nullptr, "X,Y:N", kRenderEditor, Section::Editor,
     "turn the wheel N notches (negative towards the user)",
     [](Reading& r, const std::string& value) { return AddEditorAction(r, EditorAction::Kind::Wheel, value); }},
};

const OptionRow* FindOption(const std::string& name)
{
    for (const OptionRow& row : kOptions) {
        if (name == row.name || (row.shortName != nullptr && name == row.shortName)) return &row;
    }
    return nullptr;
}

// The option part of --help, a section at a time, each option's help in one column.
std::string OptionHelp()
{
    constexpr std::size_t kHelpColumn = 24;
    constexpr std::size_t kLeastGap = 2;
    std::string text;
    for (const auto& section : kSections) {
        text += '\n';
        text += section.heading;
        text += '\n';
        for (const OptionRow& row : kOptions) {
            if (row.section != section.section) continue;
            std::string line = "  ";
            if (row.shortName != nullptr) line += std::string(row.shortName) + ", ";
            line += row.name;
            if (row.value != nullptr) line += std::string(" ") + row.value;
            // A name too long for its column puts the help on the next line.
            if (line.size() + kLeastGap > kHelpColumn)
                line += '\n' + std::string(kHelpColumn, ' ');
            else
                line.resize(kHelpColumn, ' ');
            for (const char* c = row.help; *c != '\0'; ++c) {
                line += *c;
                if (*c == '\n') line.append(kHelpColumn, ' ');
            }
            text += line + '\n';
        }
    }
    return text;
}

} // namespace

std::string UsageText()
{
    static const char* const kUsage = R"(wayfarer-host runs a VST 2.4 effect plug-in on audio files.

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
)";
    static const char* const kExitStatus = R"(
Exit status: 0 on success; 1 when the command fails: a file, the plug-in, or a program,
parameter or value that the plug-in does not have; 2 when the command line cannot be read.
Nothing is written under an output's name unless the command succeeded.
)";
    return kUsage + OptionHelp() + kExitStatus;
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
    const auto known = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const auto& entry) { return command == entry.name; });
    if (known == std::end(kCommands)) {
        error = "unknown command '" + command + "'; the commands are info, process, save-preset and render-editor";
        return false;
    }
    options.command = known->command;
    const std::string commandName = known->name;

    Reading reading(options, error);
    std::vector<std::string> positional;
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
        // Only the long forms take "=VALUE"; "-p=1" is an unknown option, not "-p 1".
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        const std::size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            inlineValue = true;
        }
        const OptionRow* row = FindOption(name);
        if (row == nullptr || (row->commands & Bit(options.command)) == 0) {
            error = "unknown option '" + name + "' for ";
            error += commandName + " (see wayfarer-host --help)";
            return false;
        }
        if (row->value != nullptr && !inlineValue) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        reading.name = name;
        if (!row->apply(reading, value)) return false;
        if (reading.finished) return true;
        // Refused only now, so that --help is honoured however it was written.
        if (row->value == nullptr && inlineValue) {
            error = name + " takes no value";
            return false;
        }
    }

    if (options.command == Command::RenderEditor) {
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
    if (options.command == Command::Process) {
        if (positional.size() == 2) options.input = positional[1];
        if (options.output.empty()) {
            error = "name the output file with -o FILE";
            return false;
        }
        if (!options.input.empty() && reading.signalShaped) {
            error = "--rate and --seconds shape the built-in test signal; they do not apply to an input file";
            return false;
        }
    }
    return true;
}

} // namespace hosttool
