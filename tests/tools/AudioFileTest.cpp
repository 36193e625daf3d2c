// The conversion to integer files on its own: round to nearest with ties to even, clip what does
// not fit and count it, write NaN as silence; and a partial file never appears under its name,
// nor fails without saying why.
#include "AudioFile.h"
#include "FileSystem.h"
#include "ToolHarness.h"

#include <sndfile.h>

#include <cmath>
#include <limits>

namespace tooltest {
namespace {

struct QuantizeCase {
    const char* name;
    int subtype;
    bool doubles; // write through the double path
};

class Quantizing : public ::testing::TestWithParam<QuantizeCase> {};

template <class Sample>
bool WritePlanes(hosttool::AudioFileWriter& writer, const std::vector<double>& left, const std::vector<double>& right,
                 std::string& error)
{
    const std::vector<Sample> l(left.begin(), left.end());
    const std::vector<Sample> r(right.begin(), right.end());
    const Sample* planes[] = {l.data(), r.data()};
    return writer.Write(planes, static_cast<long>(l.size()), error);
}

TEST_P(Quantizing, RoundsHalfStepsToEvenClipsAndSilencesNaN)
{
    const QuantizeCase& c = GetParam();
    const int bits = c.subtype == SF_FORMAT_PCM_16 ? 16 : 24;
    const double step = std::ldexp(1.0, 1 - bits);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Pairs of (sample, expected whole steps); the right channel holds the same negated.
    const struct {
        double sample;
        double steps;
    } cases[] = {{0.0, 0},
                 {0.5 * step, 0},
                 {1.5 * step, 2},
                 {2.5 * step, 2},
                 {2.75 * step, 3},
                 {0.25, 0.25 / step},
                 {1.0 - step, 1.0 / step - 1},
                 {1.0, 1.0 / step - 1}, // clipped on the left; fits on the right
                 {1.5, 1.0 / step - 1}, // clipped on both sides
                 {inf, 1.0 / step - 1}, // clipped on both sides
                 {nan, 0}};
    std::vector<double> left;
    std::vector<double> right;
    for (const auto& entry : cases) {
        left.push_back(entry.sample);
        right.push_back(-entry.sample);
    }

    ScratchDir dir;
    const std::string path = dir.Path("q.wav");
    std::string error;
    {
        hosttool::AudioFileWriter writer;
        ASSERT_TRUE(writer.Open(path, SF_FORMAT_WAV | c.subtype, 2, 48000, error)) << error;
        ASSERT_TRUE(c.doubles ? WritePlanes<double>(writer, left, right, error)
                              : WritePlanes<float>(writer, left, right, error))
            << error;
        EXPECT_EQ(writer.ClippedSamples(), 5);
        ASSERT_TRUE(writer.Close(error)) << error;
    }
    const Audio written = ReadAudio(path);
    ASSERT_EQ(written.Frames(), static_cast<long>(std::size(cases)));
    for (long f = 0; f < written.Frames(); ++f) {
        const double steps = cases[f].steps;
        const double negated = std::isnan(cases[f].sample) ? 0.0 : -steps - (std::fabs(cases[f].sample) >= 1.0 ? 1 : 0);
        EXPECT_EQ(written.At(f, 0) / step, steps) << "sample " << cases[f].sample;
        EXPECT_EQ(written.At(f, 1) / step, negated) << "sample " << -cases[f].sample;
    }
}

INSTANTIATE_TEST_SUITE_P(AudioFile, Quantizing,
                         ::testing::Values(QuantizeCase{"Pcm16FromFloat", SF_FORMAT_PCM_16, false},
                                           QuantizeCase{"Pcm16FromDouble", SF_FORMAT_PCM_16, true},
                                           QuantizeCase{"Pcm24FromFloat", SF_FORMAT_PCM_24, false},
                                           QuantizeCase{"Pcm24FromDouble", SF_FORMAT_PCM_24, true}),
                         ByName());

TEST(PendingFile, AppearsOnlyOnCommitAndReplacesWhatWasThere)
{
    ScratchDir dir;
    const std::string target = dir.Path("result.fxp");
    WriteText(target, "old");
    std::string error;
    {
        hosttool::PendingFile abandoned(target);
        WriteText(abandoned.TemporaryPath(), "half");
    }
    EXPECT_EQ(ReadText(target), "old");
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"result.fxp"});
    {
        hosttool::PendingFile pending(target);
        WriteText(pending.TemporaryPath(), "new");
        ASSERT_TRUE(pending.Commit(error)) << error;
    }
    EXPECT_EQ(ReadText(target), "new");
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"result.fxp"});
}

TEST(PendingFile, TwoForOneTargetWriteApart)
{
    ScratchDir dir;
    const std::string target = dir.Path("out.wav");
    hosttool::PendingFile first(target);
    hosttool::PendingFile second(target);
    EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
    // Beside the target, so that committing is a rename within one file system.
    for (const std::string& temporary : {first.TemporaryPath(), second.TemporaryPath()})
        EXPECT_EQ(temporary.compare(0, target.size(), target), 0) << temporary;
}

TEST(PendingFile, SaysWhyItCannotCommit)
{
    ScratchDir dir;
    const std::string target = dir.Path("nowhere") + "/out.wav";
    hosttool::PendingFile pending(target);
    std::string error;
    EXPECT_FALSE(pending.Commit(error));
    const std::string said = "cannot write '" + target + "': ";
    EXPECT_EQ(error.compare(0, said.size(), said), 0) << error;
    EXPECT_GT(error.size(), said.size()) << "no reason given";
}

TEST(FileSystem, SaysWhyAFileCannotBeOpenedOrMoved)
{
    ScratchDir dir;
    std::string reason;
    EXPECT_EQ(hosttool::OpenFile(dir.Path("missing.wav"), "rb", reason), nullptr);
    EXPECT_FALSE(reason.empty());

    reason.clear();
    WriteText(dir.Path("here.txt"), "kept");
    EXPECT_FALSE(hosttool::MoveOver(dir.Path("here.txt"), dir.Path("nowhere") + "/there.txt", reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(ReadText(dir.Path("here.txt")), "kept");
}

} // namespace
} // namespace tooltest
