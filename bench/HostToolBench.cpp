// A whole `wayfarer-host process` run on a five-minute stereo file at 48 kHz (load the plug-in,
// probe and apply the state, read, process, measure, write, rename), against the plainest copy
// of the same file through libsndfile: read into a float buffer and write it back out in the
// same format. The goal is at most 1.2 times the copy.
//
// The files live in a scratch folder under the system's temporary folder, made once per run.
#include "BenchMain.h"
#include "Commands.h"
#include "VstHost.h"

#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSampleRate = 48000;
constexpr long kFrames = 5L * 60L * kSampleRate;
constexpr long kCopyFrames = 4096;

class Scratch {
public:
    Scratch()
    {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        m_dir = fs::temp_directory_path() / ("wayfarer-host-bench-" + std::to_string(stamp));
        fs::create_directories(m_dir);
    }
    ~Scratch()
    {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // The long input in the given subtype, written once and kept for the run.
    std::string Input(int subtype)
    {
        const std::string path = Path("long-" + std::to_string(subtype) + ".wav");
        if (fs::exists(path)) return path;
        SF_INFO info{};
        info.samplerate = kSampleRate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | subtype;
        SNDFILE* file = sf_open(vsthost::NativePath(path).c_str(), SFM_WRITE, &info);
        if (file == nullptr) return path;
        std::vector<float> block(2 * kCopyFrames);
        for (long start = 0; start < kFrames; start += kCopyFrames) {
            for (long i = 0; i < kCopyFrames; ++i) {
                const double t = static_cast<double>(start + i) / kSampleRate;
                block[static_cast<std::size_t>(2 * i)] =
                    static_cast<float>(0.5 * std::sin(2.0 * 3.14159265 * 220.0 * t));
                block[static_cast<std::size_t>(2 * i + 1)] =
                    static_cast<float>(0.25 * std::sin(2.0 * 3.14159265 * 330.0 * t));
            }
            sf_writef_float(file, block.data(), std::min(kCopyFrames, kFrames - start));
        }
        sf_close(file);
        return path;
    }

private:
    fs::path m_dir;
};

Scratch& Files()
{
    static Scratch scratch;
    return scratch;
}

void Process(benchmark::State& state, int subtype)
{
    const std::string input = Files().Input(subtype);
    const std::vector<std::string> args = {"process", WAYFARER_PLUGIN_PATH, input, "-o", Files().Path("processed.wav"),
                                           "-p",      "Pan hard left"};
    for (auto _ : state) {
        std::ostringstream out;
        std::ostringstream err;
        hosttool::Console console{out, err, false};
        if (hosttool::RunCommandLine(args, console) != 0) {
            state.SkipWithError(err.str().c_str());
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kFrames * 2 * static_cast<long>(sizeof(float)));
}

void Copy(benchmark::State& state, int subtype)
{
    const std::string input = Files().Input(subtype);
    const std::string output = Files().Path("copied.wav");
    std::vector<float> buffer(2 * kCopyFrames);
    for (auto _ : state) {
        SF_INFO info{};
        SNDFILE* in = sf_open(vsthost::NativePath(input).c_str(), SFM_READ, &info);
        SNDFILE* out = sf_open(vsthost::NativePath(output).c_str(), SFM_WRITE, &info);
        if (in == nullptr || out == nullptr) {
            state.SkipWithError("cannot open the copy's files");
            return;
        }
        sf_count_t frames = 0;
        while ((frames = sf_readf_float(in, buffer.data(), kCopyFrames)) > 0)
            sf_writef_float(out, buffer.data(), frames);
        sf_close(in);
        sf_close(out);
    }
    state.SetBytesProcessed(state.iterations() * kFrames * 2 * static_cast<long>(sizeof(float)));
}

BENCHMARK_CAPTURE(Process, Pcm16, SF_FORMAT_PCM_16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Copy, Pcm16, SF_FORMAT_PCM_16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Process, Float, SF_FORMAT_FLOAT)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Copy, Float, SF_FORMAT_FLOAT)->Unit(benchmark::kMillisecond)->UseRealTime();

WAYFARER_RATIO("Process/Pcm16/real_time", "Copy/Pcm16/real_time");
WAYFARER_RATIO("Process/Float/real_time", "Copy/Float/real_time");

} // namespace
