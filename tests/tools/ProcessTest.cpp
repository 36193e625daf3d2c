// wayfarer-host process, run on small generated files: the written samples must be the effect's
// documented routing and gains applied to the input, exactly where the plug-in's values are
// known exactly, for every factory program, sample format, processing path and block size.
#include "AudioFile.h"
#include "ToolHarness.h"

#include <sndfile.h>

#include <cmath>
#include <sstream>

namespace tooltest {
namespace {

constexpr int kWavFloat = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int kWav24 = SF_FORMAT_WAV | SF_FORMAT_PCM_24;

// Writes `input`, processes it with `options` and returns what the tool wrote.
Audio Process(const ScratchDir& dir, const Audio& input, const std::vector<std::string>& options,
              RunResult* run = nullptr)
{
    WriteAudio(dir.Path("in.wav"), input);
    std::vector<std::string> args = {"process", PluginPath(), dir.Path("in.wav"), "-o", dir.Path("out.wav")};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult result = RunTool(args);
    EXPECT_EQ(result.status, 0) << result.err;
    if (run != nullptr) *run = result;
    return ReadAudio(dir.Path("out.wav"));
}

// ---- Every factory program -------------------------------------------------------------------

const char* const kProgramNames[] = {
    "RESET to defaults", "Pan hard left",  "Pan left", "Pan slight left", "Pan center", "Pan slight right",
    "Pan right",         "Pan hard right", "User 1",   "User 2",          "User 3",     "User 4"};

class FactoryPrograms : public ::testing::TestWithParam<int> {};

TEST_P(FactoryPrograms, RouteAndScaleAsTheProgramSays)
{
    const int program = GetParam();
    const Setting setting = ProgramValues(program);
    // What the programs are documented to hold, so that a plug-in with wrong programs fails here
    // rather than passing against its own values.
    const double a12 = 1.0 - std::pow(10.0, -0.6), a6 = 1.0 - std::pow(10.0, -0.3), a3 = 1.0 - std::pow(10.0, -0.15);
    const double documented[][2] = {{0, 0},  {1, -a12}, {1, -a6}, {1, -a3}, {0, 0}, {0, a3},
                                    {0, a6}, {0, a12},  {0, 0},   {0, 0},   {0, 0}, {0, 0}};
    EXPECT_EQ(setting.pan, documented[program][0]);
    EXPECT_NEAR(setting.wetMix, documented[program][1], 1e-14);

    ScratchDir dir;
    const Audio input = MakeSignal(kWavFloat, 2, 3000, 11u + static_cast<unsigned>(program));
    // Odd programs by index, even ones by name.
    const std::string which = program % 2 != 0 ? std::to_string(program) : kProgramNames[program];
    RunResult run;
    const Audio output = Process(dir, input, {"--program", which}, &run);
    ExpectSameAudio(output, Expected(input, setting, Path::Float, kWavFloat));
    EXPECT_NE(run.out.find("program   " + std::to_string(program) + " \"" + kProgramNames[program] + "\""),
              std::string::npos)
        << run.out;
}

INSTANTIATE_TEST_SUITE_P(Tool, FactoryPrograms, ::testing::Range(0, 12));

// ---- Sample formats and channel counts -------------------------------------------------------

struct FormatCase {
    const char* name;
    int inputFormat;
    int channels;
    const char* formatOption; // --format, or null to keep the input's
    int outputFormat;
};

class Formats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Formats, KeepTheInputFormatAndRoundToNearest)
{
    const FormatCase& c = GetParam();
    ScratchDir dir;
    const Audio input = MakeSignal(c.inputFormat, c.channels, 4000, 5u);
    // "Pan hard right" scales the left input by about 0.25, so nearly every sample rounds.
    std::vector<std::string> options = {"-p", "Pan hard right"};
    if (c.formatOption != nullptr) options.insert(options.end(), {"--format", c.formatOption});
    RunResult run;
    const Audio output = Process(dir, input, options, &run);
    ExpectSameAudio(output, Expected(input, ProgramValues(7), Path::Float, c.outputFormat));
}

INSTANTIATE_TEST_SUITE_P(
    Tool, Formats,
    ::testing::Values(FormatCase{"Pcm16", kWav16, 2, nullptr, kWav16}, FormatCase{"Pcm24", kWav24, 2, nullptr, kWav24},
                      FormatCase{"Float", kWavFloat, 2, nullptr, kWavFloat},
                      FormatCase{"MonoPcm16", kWav16, 1, nullptr, kWav16},
                      FormatCase{"MonoFloat", kWavFloat, 1, nullptr, kWavFloat},
                      FormatCase{"FloatToPcm16", kWavFloat, 2, "pcm16", kWav16},
                      FormatCase{"Pcm16ToDouble", kWav16, 2, "double", SF_FORMAT_WAV | SF_FORMAT_DOUBLE}),
    ByName());

TEST(Tool, ClipsTheInvertedNegativeFullScaleAndSaysSo)
{
    ScratchDir dir;
    // Frame 0 is -1.0 on both sides; the default program inverts the right side to +1.0, one
    // step above what 16 bits hold.
    const Audio input = MakeSignal(kWav16, 2, 100, 3u);
    RunResult run;
    const Audio output = Process(dir, input, {}, &run);
    EXPECT_EQ(output.At(0, 1), 32767.0 / 32768.0);
    EXPECT_NE(run.err.find("1 samples were clipped"), std::string::npos) << run.err;
}

// ---- Processing paths and block sizes ----------------------------------------------------------

struct BlockCase {
    std::string name;
    Path path;
    int block;
};

class PathsAndBlocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(PathsAndBlocks, GiveTheSameRoutingForAnyBlockSize)
{
    const BlockCase& c = GetParam();
    ScratchDir dir;
    // Not a multiple of any block size below, nor of the tool's own read size.
    const Audio input = MakeSignal(kWav24, 2, 20011, 17u);
    const Audio output =
        Process(dir, input, {"-p", "Pan left", "--path", PathOption(c.path), "--block", std::to_string(c.block)});
    ExpectSameAudio(output, Expected(input, ProgramValues(2), c.path, kWav24));
}

// 1024 is the plug-in's own maximum until a host announces more; 4096 and 10000 go beyond it.
std::vector<BlockCase> AllBlockCases()
{
    std::vector<BlockCase> cases;
    for (Path path : {Path::Float, Path::Double, Path::Accumulate}) {
        for (int block : {1, 7, 1024, 4096, 10000}) {
            cases.push_back({std::string(PathOption(path)) + "_" + std::to_string(block), path, block});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Tool, PathsAndBlocks, ::testing::ValuesIn(AllBlockCases()), ByName());

// ---- Explicit parameter values -----------------------------------------------------------------

// The plug-in's exact values are only known once it is loaded, so the cases name them lazily.
using SettingFn = Setting (*)();

struct ParamCase {
    const char* name;
    std::vector<std::string> options;
    SettingFn setting;
    double tolerance; // 0 where the plug-in's value is known exactly
};

class ExplicitParams : public ::testing::TestWithParam<ParamCase> {};

TEST_P(ExplicitParams, SetWhatTheUserAskedFor)
{
    const ParamCase& c = GetParam();
    ScratchDir dir;
    const Audio input = MakeSignal(kWavFloat, 2, 3000, 23u);
    const Audio output = Process(dir, input, c.options);
    ExpectSameAudio(output, Expected(input, c.setting(), Path::Float, kWavFloat), c.tolerance);
}

// Plain values go through the probed range, good to about 1e-7 of it; the ends and the middle
// of the range are hit exactly.
INSTANTIATE_TEST_SUITE_P(Tool, ExplicitParams,
                         ::testing::Values(ParamCase{"PlainValues",
                                                     {"--param", "Pan=Right", "--param", "Wet Mix=0.5"},
                                                     [] {
                                                         return Setting{1, 0.5};
                                                     },
                                                     1e-6},
                                           ParamCase{"NamesAndTextsInAnyCase",
                                                     {"--param", "pan=left", "--param", "WET MIX=-0.3"},
                                                     [] {
                                                         return Setting{0, -0.3};
                                                     },
                                                     1e-6},
                                           ParamCase{"TextByPosition",
                                                     {"--param", "Pan=1", "--param", "Wet Mix=0.125"},
                                                     [] {
                                                         return Setting{1, 0.125};
                                                     },
                                                     1e-6},
                                           ParamCase{"MiddleIsExact",
                                                     {"-p", "Pan hard right", "--param", "Wet Mix=0"},
                                                     [] {
                                                         return Setting{0, 0.0};
                                                     },
                                                     0.0},
                                           ParamCase{"TopIsExact",
                                                     {"--param", "Wet Mix=0.748811356849042"},
                                                     [] { return ProgramValues(7); },
                                                     0.0},
                                           ParamCase{"ShownEndIsTheEnd",
                                                     {"--param", "Wet Mix=-0.75"},
                                                     [] {
                                                         return Setting{0, ProgramValues(1).wetMix};
                                                     },
                                                     0.0},
                                           ParamCase{"Normalized",
                                                     {"--normalized", "--param", "Wet Mix=0.3", "--param", "Pan=1"},
                                                     [] {
                                                         return Setting{1, WetMixAt(0.3f)};
                                                     },
                                                     0.0},
                                           ParamCase{"OverAProgram",
                                                     {"-p", "Pan left", "--param", "Pan=Left"},
                                                     [] {
                                                         return Setting{0, ProgramValues(2).wetMix};
                                                     },
                                                     0.0}),
                         ByName());

// ---- Mono input ----------------------------------------------------------------------------------

struct MonoCase {
    const char* name;
    std::vector<std::string> options;
    SettingFn setting;
};

class MonoInput : public ::testing::TestWithParam<MonoCase> {};

TEST_P(MonoInput, FeedsBothOutputsFromTheOneChannel)
{
    const MonoCase& c = GetParam();
    ScratchDir dir;
    const Audio input = MakeSignal(kWav16, 1, 3000, 31u);
    const Audio output = Process(dir, input, c.options);
    ExpectSameAudio(output, Expected(input, c.setting(), Path::Float, kWav16));
}

// A negative Wet Mix only scales the right input, which a mono input does not have.
INSTANTIATE_TEST_SUITE_P(Tool, MonoInput,
                         ::testing::Values(MonoCase{"Defaults",
                                                    {},
                                                    [] {
                                                        return Setting{0, 0.0};
                                                    }},
                                           MonoCase{
                                               "LeftProgramHasNoEffect", {"-p", "1"}, [] { return ProgramValues(1); }},
                                           MonoCase{"RightProgramScales", {"-p", "6"}, [] { return ProgramValues(6); }},
                                           MonoCase{"PanRightOnly",
                                                    {"--param", "Pan=Right"},
                                                    [] {
                                                        return Setting{1, 0.0};
                                                    }}),
                         ByName());

// ---- The built-in test signal and the report ---------------------------------------------------

TEST(Tool, ProcessesTheBuiltInSignalAtTheChosenRateAndLength)
{
    ScratchDir dir;
    const RunResult run = RunTool({"process", PluginPath(), "-o", dir.Path("out.wav"), "-p", "Pan slight left",
                                   "--rate", "44100", "--seconds", "0.5"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Audio output = ReadAudio(dir.Path("out.wav"));

    Audio input;
    input.format = kWavFloat;
    input.channels = 2;
    input.sampleRate = 44100;
    for (long f = 0; f < 22050; ++f) {
        double left = 0.0;
        double right = 0.0;
        hosttool::TestSignal::Frame(44100, 22050, f, left, right);
        input.samples.push_back(static_cast<float>(left));
        input.samples.push_back(static_cast<float>(right));
    }
    ExpectSameAudio(output, Expected(input, ProgramValues(3), Path::Float, kWavFloat));
    // Distinct content on the two sides, so that routing mistakes cannot cancel out.
    EXPECT_NE(input.At(1000, 0), input.At(1000, 1));
}

// The report's peak and RMS columns, read back and compared with the files themselves.
TEST(Tool, ReportsPeakAndRmsOfWhatWentInAndOut)
{
    ScratchDir dir;
    const Audio input = MakeSignal(kWav24, 2, 5000, 41u);
    RunResult run;
    const Audio output = Process(dir, input, {"-p", "Pan right"}, &run);

    auto levels = [](const Audio& audio, int channel, double& peak, double& rms) {
        peak = 0.0;
        double sum = 0.0;
        for (long f = 0; f < audio.Frames(); ++f) {
            peak = std::max(peak, std::fabs(audio.At(f, channel)));
            sum += audio.At(f, channel) * audio.At(f, channel);
        }
        rms = std::sqrt(sum / static_cast<double>(audio.Frames()));
    };
    const struct {
        const char* row;
        const Audio& audio;
        int channel;
    } rows[] = {{"in  L", input, 0}, {"in  R", input, 1}, {"out L", output, 0}, {"out R", output, 1}};
    for (const auto& row : rows) {
        const std::size_t at = run.out.find(std::string("\n") + row.row);
        ASSERT_NE(at, std::string::npos) << row.row << " missing from\n" << run.out;
        std::istringstream line(run.out.substr(at + 7));
        double peak = 0.0, peakDb = 0.0, rms = 0.0, rmsDb = 0.0;
        line >> peak >> peakDb >> rms >> rmsDb;
        double expectedPeak = 0.0, expectedRms = 0.0;
        levels(row.audio, row.channel, expectedPeak, expectedRms);
        // The output is measured before it is rounded to 24 bits.
        EXPECT_NEAR(peak, expectedPeak, 1e-6) << row.row;
        EXPECT_NEAR(rms, expectedRms, 1e-6) << row.row;
        EXPECT_NEAR(peakDb, 20.0 * std::log10(expectedPeak), 0.01) << row.row;
        EXPECT_NEAR(rmsDb, 20.0 * std::log10(expectedRms), 0.01) << row.row;
    }
}

} // namespace
} // namespace tooltest
