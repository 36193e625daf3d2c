#include "ToolHarness.h"

#include "Commands.h"
#include "VstHost.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace tooltest {

namespace {

int PcmBits(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_16: return 16;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32: return 32;
    default: return 0;
    }
}

double Quantize(double value, int format)
{
    const int bits = PcmBits(format);
    if (bits == 0) return (format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT ? static_cast<float>(value) : value;
    const double scale = std::ldexp(1.0, bits - 1);
    const double step = std::clamp(std::nearbyint(value * scale), -scale, scale - 1.0);
    return step / scale;
}

} // namespace

std::string PluginPath()
{
    const char* overridden = std::getenv("WAYFARER_PLUGIN");
    return overridden != nullptr && *overridden != '\0' ? overridden : WAYFARER_PLUGIN_PATH;
}

RunResult RunTool(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    hosttool::Console console{out, err, false};
    RunResult result;
    result.status = hosttool::RunCommandLine(args, console);
    result.out = out.str();
    result.err = err.str();
    return result;
}

ScratchDir::ScratchDir()
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path path =
        fs::temp_directory_path() / ("wayfarer-host-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(path);
    m_path = path.string();
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::string ScratchDir::Path(const std::string& name) const { return (fs::path(m_path) / name).string(); }

std::vector<std::string> ScratchDir::Files() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_path)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Audio MakeSignal(int format, int channels, long frames, std::uint32_t seed, int sampleRate)
{
    Audio audio;
    audio.format = format;
    audio.channels = channels;
    audio.sampleRate = sampleRate;
    audio.samples.resize(static_cast<std::size_t>(frames * channels));
    const int bits = PcmBits(format);
    std::uint32_t state = seed * 2654435761u + 1u;
    for (std::size_t i = 0; i < audio.samples.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        const double unit = static_cast<double>(state >> 8) / 16777216.0 * 2.0 - 1.0; // [-1, 1)
        const long frame = static_cast<long>(i) / channels;
        // The edges: full scale of both signs and zero, where rounding and clipping show.
        const double value = frame == 0 ? -1.0 : frame == 1 ? 1.0 : frame == 2 ? 0.0 : unit;
        audio.samples[i] = Quantize(bits != 0 ? value : static_cast<float>(value), format);
    }
    return audio;
}

void WriteAudio(const std::string& path, const Audio& audio)
{
    SF_INFO info{};
    info.format = audio.format;
    info.channels = audio.channels;
    info.samplerate = audio.sampleRate;
    SNDFILE* file = sf_open(vsthost::NativePath(path).c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    const int bits = PcmBits(audio.format);
    if (bits != 0) {
        std::vector<int> ints(audio.samples.size());
        for (std::size_t i = 0; i < ints.size(); ++i) {
            const auto step = static_cast<std::int32_t>(audio.samples[i] * std::ldexp(1.0, bits - 1));
            ints[i] = static_cast<int>(static_cast<std::uint32_t>(step) << (32 - bits));
        }
        EXPECT_EQ(sf_writef_int(file, ints.data(), audio.Frames()), audio.Frames());
    } else {
        EXPECT_EQ(sf_writef_double(file, audio.samples.data(), audio.Frames()), audio.Frames());
    }
    sf_close(file);
}

Audio ReadAudio(const std::string& path)
{
    Audio audio;
    SF_INFO info{};
    SNDFILE* file = sf_open(vsthost::NativePath(path).c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    if (file == nullptr) return audio;
    audio.format = info.format;
    audio.channels = info.channels;
    audio.sampleRate = info.samplerate;
    audio.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    if (PcmBits(info.format) != 0) {
        std::vector<int> ints(audio.samples.size());
        sf_readf_int(file, ints.data(), info.frames);
        for (std::size_t i = 0; i < ints.size(); ++i) audio.samples[i] = ints[i] / 2147483648.0;
    } else {
        sf_readf_double(file, audio.samples.data(), info.frames);
    }
    sf_close(file);
    return audio;
}

const char* PathOption(Path path)
{
    switch (path) {
    case Path::Float: return "float";
    case Path::Double: return "double";
    case Path::Accumulate: return "accumulate";
    }
    return "";
}

Setting ProgramValues(int program)
{
    vsthost::Host host;
    std::string error;
    std::unique_ptr<vsthost::Plugin> plugin = host.Load(PluginPath(), &error);
    EXPECT_TRUE(plugin) << error;
    if (!plugin) return {};
    plugin->Open();
    plugin->Dispatch(effSetProgram, 0, program);
    void* chunk = nullptr;
    // The effect's program chunk: "tffp", its format version, then one double per parameter.
    const VstIntPtr size = plugin->Dispatch(effGetChunk, 1, 0, static_cast<void*>(&chunk));
    EXPECT_EQ(size, 24);
    Setting setting{};
    if (size != 24 || chunk == nullptr) return setting;
    std::memcpy(&setting.pan, static_cast<unsigned char*>(chunk) + 8, 8);
    std::memcpy(&setting.wetMix, static_cast<unsigned char*>(chunk) + 16, 8);
    return setting;
}

double WetMixAt(float normalized)
{
    // "Pan hard right" holds the top of the range exactly.
    static const double top = ProgramValues(7).wetMix;
    const double bottom = -top;
    return bottom + static_cast<double>(normalized) * (top - bottom);
}

Audio Expected(const Audio& input, const Setting& setting, Path path, int outputFormat)
{
    constexpr double epsilon = 2.220446049250313e-16;
    const double w = setting.wetMix;
    const double g0 = w > epsilon ? 1.0 - w : 1.0;
    const double g1 = input.channels == 1 ? g0 : w < -epsilon ? 1.0 + w : 1.0;
    const bool floats = path != Path::Double;
    Audio out;
    out.format = outputFormat;
    out.channels = 2;
    out.sampleRate = input.sampleRate;
    out.samples.resize(static_cast<std::size_t>(input.Frames() * 2));
    for (long f = 0; f < input.Frames(); ++f) {
        double in0 = input.At(f, 0);
        double in1 = input.channels == 1 ? in0 : input.At(f, 1);
        if (floats) {
            in0 = static_cast<float>(in0);
            in1 = static_cast<float>(in1);
        }
        double out0 = g0 * in0;
        double out1 = g1 * in1;
        if (setting.pan == 0.0)
            out1 = -out1;
        else
            out0 = -out0;
        if (floats) {
            out0 = static_cast<float>(out0);
            out1 = static_cast<float>(out1);
        }
        out.samples[static_cast<std::size_t>(2 * f)] = Quantize(out0, outputFormat);
        out.samples[static_cast<std::size_t>(2 * f + 1)] = Quantize(out1, outputFormat);
    }
    return out;
}

void ExpectSameAudio(const Audio& actual, const Audio& expected, double tolerance)
{
    EXPECT_EQ(actual.format, expected.format) << std::hex << actual.format << " vs " << expected.format;
    EXPECT_EQ(actual.channels, expected.channels);
    EXPECT_EQ(actual.sampleRate, expected.sampleRate);
    ASSERT_EQ(actual.Frames(), expected.Frames());
    const int bits = PcmBits(expected.format);
    const double allowed = tolerance > 0.0 ? tolerance + (bits != 0 ? std::ldexp(1.0, 1 - bits) : 0.0) : 0.0;
    long differing = 0;
    for (std::size_t i = 0; i < actual.samples.size(); ++i) {
        if (std::fabs(actual.samples[i] - expected.samples[i]) <= allowed) continue;
        if (differing++ == 0) {
            ADD_FAILURE() << "frame " << i / static_cast<std::size_t>(actual.channels) << ", channel "
                          << i % static_cast<std::size_t>(actual.channels) << ": " << actual.samples[i]
                          << " instead of " << expected.samples[i] << " (difference "
                          << actual.samples[i] - expected.samples[i] << ")";
        }
    }
    EXPECT_EQ(differing, 0) << "samples that differ";
}

bool FileExists(const std::string& path) { return fs::exists(path); }

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

} // namespace tooltest
