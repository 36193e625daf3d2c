// What the wayfarer-host tests share: running the tool in-process, scratch directories, small
// audio files written and read exactly, and the effect's documented signal flow as a reference.
//
//   Pan    inputs   out0          out1
//   Left   stereo   g0*in0        -(g1*in1)
//   Right  stereo   -(g0*in0)     g1*in1
//   either mono     as stereo, with in1 = in0 and g1 = g0
//
// with g0 = 1 - w for Wet Mix w > 2^-52, g1 = 1 + w for w < -2^-52, and 1 otherwise. The float
// paths round the plug-in's double result to float; integer files then round to nearest and clip.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tooltest {

// Names the cases of a parameterised test after their `name` field.
struct ByName {
    template <typename Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};

// The plug-in binary under test: $WAYFARER_PLUGIN when set, else the one this build produced.
std::string PluginPath();

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};
RunResult RunTool(const std::vector<std::string>& args);

// A fresh directory under the system's temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string Path(const std::string& name) const;
    // The names of the files in it, sorted.
    std::vector<std::string> Files() const;

private:
    std::string m_path;
};

// Interleaved samples as values in [-1, 1); integer formats hold exact multiples of their step.
struct Audio {
    int format = 0; // libsndfile major | subtype
    int channels = 0;
    int sampleRate = 0;
    std::vector<double> samples;
    long Frames() const { return channels > 0 ? static_cast<long>(samples.size()) / channels : 0; }
    double At(long frame, int channel) const { return samples[static_cast<std::size_t>(frame * channels + channel)]; }
};

// A deterministic signal that is exact in `format`: pseudo-random values with full scale of
// both signs and zero mixed in.
Audio MakeSignal(int format, int channels, long frames, std::uint32_t seed, int sampleRate = 48000);
void WriteAudio(const std::string& path, const Audio& audio);
Audio ReadAudio(const std::string& path);

// ---- Reference ----------------------------------------------------------------------------

enum class Path { Float, Double, Accumulate };
const char* PathOption(Path path);

struct Setting {
    double pan;    // plain: 0 Left, 1 Right
    double wetMix; // plain
};

// The exact plain values the plug-in holds for a program, read back from its program chunk.
Setting ProgramValues(int program);
// The plain "Wet Mix" that a normalised value gives, as the plug-in computes it.
double WetMixAt(float normalized);

// The file the tool should write for `input` under `setting`.
Audio Expected(const Audio& input, const Setting& setting, Path path, int outputFormat);

// Every sample equal; or, with a tolerance, each within `tolerance` plus one step of the format.
void ExpectSameAudio(const Audio& actual, const Audio& expected, double tolerance = 0.0);

bool FileExists(const std::string& path);
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

} // namespace tooltest
