// Bad input to wayfarer-host: each case must fail with a message that names the problem and a
// non-zero status, and leave nothing under the output's name, nor a temporary file beside it.
#include "PresetFile.h"
#include "ToolHarness.h"

#include <sndfile.h>

namespace tooltest {
namespace {

// Placeholders in a case's arguments: @ becomes the scratch directory's path for the file named
// after it, PLUGIN the plug-in under test.
struct BadCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> said; // each must appear in the error output
};

void WritePreset(const std::string& path, std::int32_t fxID, std::size_t keepBytes)
{
    hosttool::FxFile file;
    file.fxID = fxID;
    file.fxVersion = 10200;
    file.program.name = "Elsewhere";
    file.program.params = {0.0f, 0.5f};
    std::vector<unsigned char> bytes = hosttool::EncodeFxFile(file);
    bytes.resize(std::min(bytes.size(), keepBytes));
    WriteText(path, std::string(bytes.begin(), bytes.end()));
}

class BadInput : public ::testing::TestWithParam<BadCase> {
protected:
    void SetUp() override
    {
        WriteAudio(dir.Path("stereo.wav"), MakeSignal(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 100, 1u));
        WriteAudio(dir.Path("three.wav"), MakeSignal(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3, 100, 2u));
        WriteText(dir.Path("notes.txt"), "These are words, not samples.\n");
        WritePreset(dir.Path("other.fxp"), FourCC("abcd"), 1000);
        WritePreset(dir.Path("cut.fxp"), FourCC("korw"), 60);
        before = dir.Files();
    }

    std::string Expand(const std::string& arg) const
    {
        if (arg == "PLUGIN") return PluginPath();
        if (arg == "NOENTRY") return WAYFARER_FAKE_NOENTRY;
        if (!arg.empty() && arg[0] == '@') return dir.Path(arg.substr(1));
        return arg;
    }

    ScratchDir dir;
    std::vector<std::string> before;
};

TEST_P(BadInput, FailsClearlyAndWritesNothing)
{
    const BadCase& c = GetParam();
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(Expand(arg));
    const RunResult run = RunTool(args);
    EXPECT_EQ(run.status, c.status) << run.err;
    for (const std::string& words : c.said) EXPECT_NE(run.err.find(words), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_EQ(dir.Files(), before) << "files left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Tool, BadInput,
    ::testing::Values(
        BadCase{
            "MissingInput", {"process", "PLUGIN", "@missing.wav", "-o", "@out.wav"}, 1, {"cannot open", "missing.wav"}},
        BadCase{
            "NotAudio", {"process", "PLUGIN", "@notes.txt", "-o", "@out.wav"}, 1, {"notes.txt", "not an audio file"}},
        BadCase{"ThreeChannels",
                {"process", "PLUGIN", "@three.wav", "-o", "@out.wav"},
                1,
                {"the input has 3 channels", "takes 1 to 2"}},
        BadCase{"UnknownProgramName",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "-p", "Pan far left"},
                1,
                {"unknown program 'Pan far left'", "1  Pan hard left", "11  User 4"}},
        BadCase{"ProgramOutOfRange",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "-p", "12"},
                1,
                {"no program 12", "0 to 11"}},
        BadCase{"UnknownParameter",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "--param", "Width=1"},
                1,
                {"unknown parameter 'Width'", "'Pan', 'Wet Mix'"}},
        BadCase{"NotANumber",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "--param", "Wet Mix=loud"},
                1,
                {"'loud'", "not a number", "-0.75 to 0.75"}},
        BadCase{"NotAShownText",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "--param", "Pan=Up"},
                1,
                {"'Up'", "Left, Right"}},
        BadCase{"OutOfRange",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "--param", "Wet Mix=0.8"},
                1,
                {"0.8", "outside its range"}},
        BadCase{"NormalizedOutOfRange",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "--normalized", "--param", "Pan=1.5"},
                1,
                {"outside 0 to 1"}},
        BadCase{"PluginMissing",
                {"process", "@FreeWayfarer.so", "@stereo.wav", "-o", "@out.wav"},
                1,
                {"cannot open the plug-in", "FreeWayfarer.so"}},
        BadCase{"PluginNotABinary", {"info", "@notes.txt"}, 1, {"cannot load", "notes.txt"}},
        BadCase{"PluginWithoutEntryPoint",
                {"process", "NOENTRY", "@stereo.wav", "-o", "@out.wav"},
                1,
                {"exports neither VSTPluginMain nor main"}},
        BadCase{"PresetForAnotherPlugin",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "--preset", "@other.fxp"},
                1,
                {"other.fxp", "'abcd'", "'korw'"}},
        BadCase{"TruncatedPreset",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "--preset", "@cut.fxp"},
                1,
                {"cut.fxp", "not a preset file that can be read"}},
        BadCase{"OutputFolderMissing",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@nowhere/out.wav"},
                1,
                {"cannot write", "out.wav"}},
        BadCase{"NoOutputNamed", {"process", "PLUGIN", "@stereo.wav"}, 2, {"-o FILE"}},
        BadCase{"BlockOfZero",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "--block", "0"},
                2,
                {"--block", "'0'"}},
        BadCase{"UnknownPath",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "--path", "quad"},
                2,
                {"--path", "'quad'"}},
        BadCase{"RateWithAnInputFile",
                {"process", "PLUGIN", "@stereo.wav", "-o", "@out.wav", "--rate", "44100"},
                2,
                {"test signal"}},
        BadCase{"ParamWithoutValue", {"info", "PLUGIN", "--param", "Pan"}, 2, {"NAME=VALUE", "'Pan'"}},
        BadCase{"PresetFileNamedOddly", {"save-preset", "PLUGIN", "@state.txt"}, 2, {".fxp", ".fxb", "state.txt"}},
        BadCase{"UnknownCommand", {"render", "PLUGIN"}, 2, {"unknown command 'render'"}},
        BadCase{"EditorPictureNotNamed", {"render-editor", "--click", "10,10"}, 2, {"-o FILE.png"}},
        BadCase{"EditorTwoPlugins", {"render-editor", "PLUGIN", "PLUGIN", "-o", "@e.png"}, 2, {"unexpected argument"}},
        BadCase{
            "EditorClickWithoutY", {"render-editor", "-o", "@e.png", "--click", "10"}, 2, {"--click", "X,Y", "'10'"}},
        BadCase{"EditorClickNotANumber",
                {"render-editor", "-o", "@e.png", "--right-click", "1e3,5"},
                2,
                {"--right-click", "'1e3,5'"}},
        BadCase{"EditorDragWithoutEnd", {"render-editor", "-o", "@e.png", "--drag", "1,2:3"}, 2, {"--drag", "X2,Y2"}},
        BadCase{"EditorWheelWithoutNotches",
                {"render-editor", "-o", "@e.png", "--wheel", "1,2"},
                2,
                {"--wheel", "NOTCHES", "'1,2'"}},
        BadCase{"EditorFarOutside",
                {"render-editor", "-o", "@e.png", "--click", "99999999999,1"},
                2,
                {"--click", "'99999999999,1'"}},
        BadCase{"EditorNeverOpened", {"render-editor", "-o", "@e.png", "--openings", "0"}, 2, {"--openings", "'0'"}},
        BadCase{"EditorUnknownParameterValue",
                {"render-editor", "-o", "@e.png", "--param", "Pan=Up"},
                1,
                {"'Up'", "Left, Right"}},
        BadCase{"EditorOutputFolderMissing", {"render-editor", "-o", "@nowhere/e.png"}, 1, {"cannot write", "e.png"}}),
    ByName());

TEST(BadInputKeeps, AnExistingOutputUntouched)
{
    ScratchDir dir;
    WriteAudio(dir.Path("in.wav"), MakeSignal(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 100, 1u));
    WriteText(dir.Path("out.wav"), "an earlier result");
    const RunResult run =
        RunTool({"process", PluginPath(), dir.Path("in.wav"), "-o", dir.Path("out.wav"), "--param", "Wet Mix=x"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadText(dir.Path("out.wav")), "an earlier result");
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

#if !defined(_WIN32)
// Only the Windows build has a window to open a plug-in binary's editor in.
TEST(BadInputKeeps, EditorOfABinaryNeedsAWindow)
{
    ScratchDir dir;
    const RunResult run = RunTool({"render-editor", PluginPath(), "-o", dir.Path("e.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("leave out PLUGIN"), std::string::npos) << run.err;
    EXPECT_TRUE(dir.Files().empty());
}
#endif

} // namespace
} // namespace tooltest
