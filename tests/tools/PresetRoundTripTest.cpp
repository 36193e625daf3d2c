// Preset files through the real plug-in: saved from one state, loaded over another, they bring
// back the same output.
#include "PresetFile.h"
#include "ToolHarness.h"

#include <sndfile.h>

#include <cmath>
#include <vector>

namespace tooltest {
namespace {

constexpr int kWavFloat = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

class PresetRoundTrip : public ::testing::Test {
protected:
    void SetUp() override { WriteAudio(dir.Path("in.wav"), MakeSignal(kWavFloat, 2, 3000, 7u)); }

    void Save(const std::string& file, const std::vector<std::string>& state)
    {
        std::vector<std::string> args = {"save-preset", PluginPath(), dir.Path(file)};
        args.insert(args.end(), state.begin(), state.end());
        const RunResult run = RunTool(args);
        ASSERT_EQ(run.status, 0) << run.err;
    }

    Audio Process(const std::string& out, const std::vector<std::string>& state)
    {
        std::vector<std::string> args = {"process", PluginPath(), dir.Path("in.wav"), "-o", dir.Path(out)};
        args.insert(args.end(), state.begin(), state.end());
        const RunResult run = RunTool(args);
        EXPECT_EQ(run.status, 0) << run.err;
        return ReadAudio(dir.Path(out));
    }

    hosttool::FxFile Decode(const std::string& file)
    {
        const std::string text = ReadText(dir.Path(file));
        const std::vector<unsigned char> bytes(text.begin(), text.end());
        hosttool::FxFile decoded;
        std::string error;
        EXPECT_TRUE(hosttool::DecodeFxFile(bytes, decoded, error)) << error;
        return decoded;
    }

    ScratchDir dir;
};

TEST_F(PresetRoundTrip, ProgramFileRestoresTheSoundOverAnotherProgram)
{
    const std::vector<std::string> state = {"-p", "Pan left", "--param", "Wet Mix=-0.1"};
    Save("edited.fxp", state);

    const hosttool::FxFile file = Decode("edited.fxp");
    EXPECT_FALSE(file.isBank);
    EXPECT_EQ(file.fxID, FourCC("korw"));
    EXPECT_EQ(file.fxVersion, 10200);
    EXPECT_EQ(file.program.name, "Pan left");
    ASSERT_EQ(file.program.params.size(), 2u);
    EXPECT_EQ(file.program.params[0], 1.0f); // Pan: Right
    EXPECT_NEAR(file.program.params[1], (-0.1 + 0.748811356849042) / (2 * 0.748811356849042), 1e-6);

    const Audio direct = Process("direct.wav", state);
    const Audio restored = Process("restored.wav", {"-p", "Pan hard right", "--preset", dir.Path("edited.fxp")});
    ExpectSameAudio(restored, direct);
}

TEST_F(PresetRoundTrip, BankFileRestoresEveryProgramAndTheCurrentOne)
{
    Save("bank.fxb", {"-p", "Pan slight right", "--param", "Pan=Right"});

    const hosttool::FxFile file = Decode("bank.fxb");
    ASSERT_TRUE(file.isBank);
    EXPECT_EQ(file.bank.currentProgram, 5);
    ASSERT_EQ(file.bank.programs.size(), 12u);
    EXPECT_EQ(file.bank.programs[3].name, "Pan slight left");
    EXPECT_EQ(file.bank.programs[5].params[0], 1.0f); // the edit went into the current program
    EXPECT_EQ(file.bank.programs[6].params[0], 0.0f); // and nowhere else

    // Loaded over a fresh instance, the bank selects its current program with the edit in it.
    // Factory values pass through the file's floats, a rounding of about 1e-8 of the range.
    const Audio edited = Process("edited.wav", {"-p", "Pan slight right", "--param", "Pan=Right"});
    ExpectSameAudio(Process("bank-current.wav", {"--preset", dir.Path("bank.fxb")}), edited, 1e-7);
    // Its other programs are the factory ones.
    const Audio slightLeft = Process("slight-left.wav", {"-p", "3"});
    ExpectSameAudio(Process("bank-3.wav", {"--preset", dir.Path("bank.fxb"), "-p", "3"}), slightLeft, 1e-7);

    // A bank saved from the loaded bank is the same file.
    Save("again.fxb", {"--preset", dir.Path("bank.fxb")});
    EXPECT_EQ(ReadText(dir.Path("again.fxb")), ReadText(dir.Path("bank.fxb")));
}

TEST_F(PresetRoundTrip, ProgramFileKeepsItsNameInTheSlotItIsLoadedInto)
{
    Save("hard-left.fxp", {"-p", "Pan hard left"});
    const RunResult info = RunTool({"info", PluginPath(), "-p", "User 2", "--preset", dir.Path("hard-left.fxp")});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("current 9"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("    9  Pan hard left"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Pan                  Right"), std::string::npos) << info.out;
}

} // namespace
} // namespace tooltest
