// wayfarer-host's command line, read without running anything: what each accepted line sets, and
// the exact words of each refusal, since users and scripts see them.
#include "Options.h"
#include "AudioFile.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

namespace {

using hosttool::Command;
using hosttool::EditorAction;
using hosttool::Options;
using hosttool::ParseCommandLine;
using hosttool::ProcessPath;

struct ByName {
    template <typename Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};

const char* CommandWord(Command command)
{
    switch (command) {
    case Command::Help: return "help";
    case Command::Version: return "version";
    case Command::Info: return "info";
    case Command::Process: return "process";
    case Command::SavePreset: return "save-preset";
    case Command::RenderEditor: return "render-editor";
    }
    return "?";
}

const char* ActionWord(EditorAction::Kind kind)
{
    switch (kind) {
    case EditorAction::Kind::Click: return "click";
    case EditorAction::Kind::RightClick: return "right-click";
    case EditorAction::Kind::DoubleClick: return "double-click";
    case EditorAction::Kind::Drag: return "drag";
    case EditorAction::Kind::Wheel: return "wheel";
    }
    return "?";
}

// The command and whatever differs from the defaults, in a fixed order, so that a case states
// everything a command line set and a stray setting shows up as a difference.
std::string Summary(const Options& options)
{
    const Options plain;
    std::ostringstream text;
    text << CommandWord(options.command);
    if (options.plugin != plain.plugin) text << " plugin=" << options.plugin;
    if (options.input != plain.input) text << " input=" << options.input;
    if (options.output != plain.output) text << " output=" << options.output;
    if (options.state.preset != plain.state.preset) text << " preset=" << options.state.preset;
    if (options.state.program != plain.state.program) text << " program=" << options.state.program;
    for (const auto& param : options.state.params) text << " param[" << param.name << "]=" << param.value;
    if (options.state.normalized) text << " normalized";
    if (options.blockSize != plain.blockSize) text << " block=" << options.blockSize;
    if (options.path == ProcessPath::Double) text << " path=double";
    if (options.path == ProcessPath::Accumulate) text << " path=accumulate";
    if (options.outputSubtype != plain.outputSubtype) text << " subtype=" << options.outputSubtype;
    if (options.sampleRate != plain.sampleRate) text << " rate=" << options.sampleRate;
    if (options.seconds != plain.seconds) text << " seconds=" << options.seconds;
    if (options.editor.openings != plain.editor.openings) text << " openings=" << options.editor.openings;
    for (const EditorAction& action : options.editor.actions) {
        text << ' ' << ActionWord(action.kind) << '=' << action.x << ',' << action.y;
        if (action.kind == EditorAction::Kind::Drag) text << ':' << action.toX << ',' << action.toY;
        if (action.kind == EditorAction::Kind::Wheel) text << ':' << action.notches;
    }
    return text.str();
}

struct Accepted {
    const char* name;
    std::vector<std::string> args;
    std::string summary;
};

class CommandLineAccepts : public ::testing::TestWithParam<Accepted> {};

TEST_P(CommandLineAccepts, AndSetsWhatItSays)
{
    const Accepted& c = GetParam();
    Options options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(c.args, options, error)) << error;
    EXPECT_EQ(Summary(options), c.summary);
}

const std::string kPcm24 = std::to_string(SF_FORMAT_PCM_24);

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLineAccepts,
    ::testing::Values(
        Accepted{"HelpWord", {"help"}, "help"}, Accepted{"HelpShort", {"-h", "whatever", "--bogus"}, "help"},
        Accepted{"HelpLong", {"--help"}, "help"}, Accepted{"Version", {"--version"}, "version"},
        Accepted{"HelpAfterACommand", {"process", "P", "--help", "--bogus"}, "help"},
        Accepted{"HelpShortAfterOptions", {"info", "P", "-p", "2", "-h"}, "help program=2"},
        Accepted{"Info", {"info", "P"}, "info plugin=P"},
        Accepted{"ProcessAFile",
                 {"process", "P", "in.wav", "-o", "out.wav"},
                 "process plugin=P input=in.wav output=out.wav"},
        Accepted{"ProcessTheTestSignal",
                 {"process", "P", "--output", "out.wav", "--rate", "44100", "--seconds", "0.5"},
                 "process plugin=P output=out.wav rate=44100 seconds=0.5"},
        Accepted{"OptionsBeforeThePlugin",
                 {"process", "-o", "o.wav", "P", "i.wav"},
                 "process plugin=P input=i.wav output=o.wav"},
        Accepted{"InlineValues",
                 {"process", "P", "--output=o.wav", "--program=Pan left", "--param=Wet Mix=0.25", "--block=64"},
                 "process plugin=P output=o.wav program=Pan left param[Wet Mix]=0.25 block=64"},
        Accepted{"AnInlineValueMayBeEmpty", {"info", "P", "--preset="}, "info plugin=P"},
        Accepted{"LastValueWins", {"info", "P", "-p", "1", "--program", "User 2"}, "info plugin=P program=User 2"},
        Accepted{"StateOptionsInAnyOrder",
                 {"save-preset", "P", "x.fxb", "--param", "Pan=Right", "--normalized", "--preset", "a.fxp", "--param",
                  "Wet Mix=0.5"},
                 "save-preset plugin=P output=x.fxb preset=a.fxp param[Pan]=Right param[Wet Mix]=0.5 normalized"},
        Accepted{"AudioOptions",
                 {"process", "P", "-o", "o.wav", "--format", "pcm24", "--path", "accumulate", "--block", "1048576"},
                 "process plugin=P output=o.wav block=1048576 path=accumulate subtype=" + kPcm24},
        Accepted{"DoublePath",
                 {"process", "P", "-o", "o.wav", "--path", "double"},
                 "process plugin=P output=o.wav path=double"},
        Accepted{"RateAndLengthAtTheirLimits",
                 {"process", "P", "-o", "o.wav", "--rate", "1000", "--seconds", "3600"},
                 "process plugin=P output=o.wav rate=1000 seconds=3600"},
        Accepted{"DashesEndTheOptions",
                 {"process", "P", "-o", "o.wav", "--", "--in.wav"},
                 "process plugin=P input=--in.wav output=o.wav"},
        Accepted{"ALoneDashIsAName", {"process", "P", "-", "-o", "o.wav"}, "process plugin=P input=- output=o.wav"},
        Accepted{"EditorOfTheBuiltInEffect", {"render-editor", "-o", "e.png"}, "render-editor output=e.png"},
        Accepted{"EditorActionsInTheirOrder",
                 {"render-editor", "P", "-o", "e.png", "--openings", "3", "--wheel", "1,2:-3", "--click", "5,6",
                  "--drag=7,8:9,10", "--right-click", "0,0", "--double-click", "-4,4"},
                 "render-editor plugin=P output=e.png openings=3 wheel=1,2:-3 click=5,6 drag=7,8:9,10 right-click=0,0 "
                 "double-click=-4,4"}),
    ByName());

struct Refused {
    const char* name;
    std::vector<std::string> args;
    std::string error;
};

class CommandLineRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(CommandLineRefuses, AndSaysWhy)
{
    const Refused& c = GetParam();
    Options options;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(c.args, options, error));
    EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLineRefuses,
    ::testing::Values(
        Refused{"Nothing", {}, "no command given"},
        Refused{"UnknownCommand",
                {"render", "P"},
                "unknown command 'render'; the commands are info, process, save-preset and render-editor"},
        Refused{"OptionBeforeTheCommand",
                {"-p", "1", "info"},
                "unknown command '-p'; the commands are info, process, save-preset and render-editor"},
        Refused{
            "UnknownOption", {"info", "P", "--frob"}, "unknown option '--frob' for info (see wayfarer-host --help)"},
        Refused{"UnknownOptionWithAValue",
                {"info", "P", "--frob=1"},
                "unknown option '--frob' for info (see wayfarer-host --help)"},
        Refused{"ShortOptionsTakeNoInlineValue",
                {"info", "P", "-p=1"},
                "unknown option '-p=1' for info (see wayfarer-host --help)"},
        Refused{"HelpAfterAnUnknownOption",
                {"info", "P", "--frob", "--help"},
                "unknown option '--frob' for info (see wayfarer-host --help)"},
        Refused{"AudioOptionForInfo",
                {"info", "P", "--block", "4"},
                "unknown option '--block' for info (see wayfarer-host --help)"},
        Refused{"OutputForSavePreset",
                {"save-preset", "P", "a.fxp", "-o", "b.fxp"},
                "unknown option '-o' for save-preset (see wayfarer-host --help)"},
        Refused{"EditorOptionForProcess",
                {"process", "P", "-o", "o.wav", "--click", "1,1"},
                "unknown option '--click' for process (see wayfarer-host --help)"},
        Refused{"AudioOptionForTheEditor",
                {"render-editor", "-o", "e.png", "--rate", "44100"},
                "unknown option '--rate' for render-editor (see wayfarer-host --help)"},
        Refused{"ValueMissing", {"process", "P", "-o"}, "-o needs a value"},
        Refused{"ValueMissingLong", {"info", "P", "--program"}, "--program needs a value"},
        Refused{"SwitchWithAValue", {"info", "P", "--normalized=yes"}, "--normalized takes no value"},
        Refused{"EmptyProgram", {"info", "P", "-p", ""}, "--program needs a program index or name"},
        Refused{"ParamWithoutValue", {"info", "P", "--param", "Pan"}, "--param takes NAME=VALUE, not 'Pan'"},
        Refused{"ParamWithoutName", {"info", "P", "--param=", "=1"}, "--param takes NAME=VALUE, not ''"},
        Refused{"UnknownFormat",
                {"process", "P", "-o", "o.wav", "--format", "pcm8"},
                "--format takes pcm16, pcm24, pcm32, float or double, not 'pcm8'"},
        Refused{"BlockOfZero",
                {"process", "P", "-o", "o.wav", "--block", "0"},
                "--block takes a whole number of frames from 1 to 1048576, not '0'"},
        Refused{"BlockTooLarge",
                {"process", "P", "-o", "o.wav", "--block=1048577"},
                "--block takes a whole number of frames from 1 to 1048576, not '1048577'"},
        Refused{"BlockNotWhole",
                {"process", "P", "-o", "o.wav", "--block", "1.5"},
                "--block takes a whole number of frames from 1 to 1048576, not '1.5'"},
        Refused{"UnknownPath",
                {"process", "P", "-o", "o.wav", "--path", "quad"},
                "--path takes float, double or accumulate, not 'quad'"},
        Refused{"RateTooLow",
                {"process", "P", "-o", "o.wav", "--rate", "999"},
                "--rate takes a sample rate in Hz from 1000 to 768000, not '999'"},
        Refused{"NoLength",
                {"process", "P", "-o", "o.wav", "--seconds", "0"},
                "--seconds takes a length above 0 and up to 3600, not '0'"},
        Refused{"TooLong",
                {"process", "P", "-o", "o.wav", "--seconds", "3600.5"},
                "--seconds takes a length above 0 and up to 3600, not '3600.5'"},
        Refused{"RateForAFile",
                {"process", "P", "in.wav", "-o", "o.wav", "--rate", "44100"},
                "--rate and --seconds shape the built-in test signal; they do not apply to an input file"},
        Refused{"LengthForAFile",
                {"process", "P", "--seconds", "1", "in.wav", "-o", "o.wav"},
                "--rate and --seconds shape the built-in test signal; they do not apply to an input file"},
        Refused{"NoPlugin", {"info", "-p", "1"}, "name the plug-in binary: wayfarer-host info PLUGIN"},
        Refused{
            "NoPluginToProcess", {"process", "-o", "o.wav"}, "name the plug-in binary: wayfarer-host process PLUGIN"},
        Refused{"InfoOfTwo", {"info", "P", "Q"}, "unexpected argument 'Q' for info"},
        Refused{"ProcessThree",
                {"process", "P", "in.wav", "-o", "o.wav", "x.wav"},
                "unexpected argument 'x.wav' for process"},
        Refused{"NoPresetFile",
                {"save-preset", "P", "-p", "1"},
                "name the preset file: wayfarer-host save-preset PLUGIN FILE.fxp|FILE.fxb"},
        Refused{"NoOutput", {"process", "P", "in.wav"}, "name the output file with -o FILE"},
        Refused{"NoPicture", {"render-editor", "P"}, "name the picture with -o FILE.png"},
        Refused{"EditorOfTwo", {"render-editor", "P", "Q", "-o", "e.png"}, "unexpected argument 'Q' for render-editor"},
        Refused{"NoOpenings",
                {"render-editor", "-o", "e.png", "--openings", "0"},
                "--openings takes a whole number from 1 to 100, not '0'"},
        Refused{"ClickWithoutY",
                {"render-editor", "-o", "e.png", "--click", "10"},
                "--click takes X,Y (a position in editor pixels), not '10'"},
        Refused{"DragWithoutEnd",
                {"render-editor", "-o", "e.png", "--drag=1,2"},
                "--drag takes X,Y:X2,Y2 (from and to, in editor pixels), not '1,2'"},
        Refused{"WheelWithoutNotches",
                {"render-editor", "-o", "e.png", "--wheel", "1,2"},
                "--wheel takes X,Y:NOTCHES (a position and a signed whole number of wheel notches), not '1,2'"}),
    ByName());

// Every option the help text names is one that the command line reads, as a command or as an
// option of some command, so the help cannot offer what the parser refuses.
TEST(Options, HelpNamesOnlyOptionsThatAreRead)
{
    const std::string help = hosttool::UsageText();
    std::vector<std::string> named;
    for (std::size_t at = help.find('-'); at != std::string::npos; at = help.find('-', at + 1)) {
        if (at > 0 && help[at - 1] != ' ' && help[at - 1] != '(') continue;
        std::size_t end = at + 1;
        while (end < help.size() && (std::isalnum(static_cast<unsigned char>(help[end])) != 0 || help[end] == '-'))
            ++end;
        const std::string word = help.substr(at, end - at);
        if (word.size() >= 2 && std::isalpha(static_cast<unsigned char>(word.back())) != 0) named.push_back(word);
    }
    ASSERT_GE(named.size(), 16u) << help;
    for (const std::string& word : named) {
        Options options;
        std::string error;
        // A command, or an option that some command takes (even if the line is not complete yet).
        bool read = ParseCommandLine({word}, options, error);
        for (const char* command : {"info", "process", "save-preset", "render-editor"}) {
            if (read) break;
            read = ParseCommandLine({command, word}, options, error) || error.rfind("unknown option", 0) != 0;
        }
        EXPECT_TRUE(read) << word << " is in the help but no command reads it";
    }
}

} // namespace
