#include "Render.h"

#include <algorithm>
#include <cmath>

namespace hosttool {

namespace {

// Frames read and written per file access: large enough that file calls cost little, small
// enough to stay in cache.
constexpr long kStretchFrames = 16384;

template <class Sample> class Planes {
public:
    Planes(int channels, long frames)
        : m_data(static_cast<std::size_t>(channels), std::vector<Sample>(static_cast<std::size_t>(frames))),
          m_pointers(static_cast<std::size_t>(channels))
    {
    }
    // The channel pointers for a block starting at `offset`.
    Sample** At(long offset)
    {
        for (std::size_t c = 0; c < m_data.size(); ++c) m_pointers[c] = m_data[c].data() + offset;
        return m_pointers.data();
    }

private:
    std::vector<std::vector<Sample>> m_data;
    std::vector<Sample*> m_pointers;
};

bool CheckPath(const AEffect& effect, ProcessPath path, std::string& error)
{
    switch (path) {
    case ProcessPath::Float:
        if ((effect.flags & effFlagsCanReplacing) != 0 && effect.processReplacing != nullptr) return true;
        error = "the plug-in does not offer processReplacing; try --path accumulate";
        return false;
    case ProcessPath::Double:
        if ((effect.flags & effFlagsCanDoubleReplacing) != 0 && effect.processDoubleReplacing != nullptr) return true;
        error = "the plug-in does not offer double-precision processing (processDoubleReplacing)";
        return false;
    case ProcessPath::Accumulate:
        if (effect.process != nullptr) return true;
        error = "the plug-in does not offer the accumulating process callback";
        return false;
    }
    return false;
}

template <class Sample>
bool RenderAs(vsthost::Plugin& plugin, AudioSource& source, AudioFileWriter& writer, ProcessPath path, int blockSize,
              const RenderProgress& progress, RenderResult& result, std::string& error)
{
    const AEffect& effect = *plugin.Effect();
    const int inputs = effect.numInputs;
    const int outputs = effect.numOutputs;
    const long block = blockSize;
    const long stretch = std::max(block, kStretchFrames / block * block);

    // Inputs beyond the source's channels stay silent; a plug-in told of fewer inputs does not
    // read them anyway.
    Planes<Sample> in(inputs, stretch);
    Planes<Sample> out(outputs, stretch);
    result.in.Reset(source.Channels());
    result.out.Reset(outputs);
    result.frames = 0;

    for (;;) {
        const long frames = source.Read(in.At(0), stretch);
        if (frames < 0) {
            error = "reading the input failed after " + std::to_string(result.frames) + " frames";
            return false;
        }
        if (frames == 0) break;
        result.in.Add(in.At(0), frames);

        for (long offset = 0; offset < frames; offset += block) {
            const auto count = static_cast<VstInt32>(std::min(block, frames - offset));
            Sample** inPointers = in.At(offset);
            Sample** outPointers = out.At(offset);
            if constexpr (sizeof(Sample) == sizeof(double)) {
                plugin.ProcessDoubleReplacing(inPointers, outPointers, count);
            } else if (path == ProcessPath::Accumulate) {
                for (int c = 0; c < outputs; ++c) std::fill_n(outPointers[c], count, 0.0f);
                plugin.Process(inPointers, outPointers, count);
            } else {
                plugin.ProcessReplacing(inPointers, outPointers, count);
            }
        }
        result.out.Add(out.At(0), frames);
        std::string reason;
        if (!writer.Write(out.At(0), frames, reason)) {
            error = "writing the output failed: " + reason;
            return false;
        }
        result.frames += frames;
        if (progress) progress(result.frames);
    }
    return true;
}

} // namespace

const char* ProcessPathName(ProcessPath path)
{
    switch (path) {
    case ProcessPath::Float: return "processReplacing (32-bit float)";
    case ProcessPath::Double: return "processDoubleReplacing (64-bit float)";
    case ProcessPath::Accumulate: return "process (accumulating, 32-bit float)";
    }
    return "";
}

void Levels::Reset(int channels)
{
    m_peak.assign(static_cast<std::size_t>(channels), 0.0);
    m_sumOfSquares.assign(static_cast<std::size_t>(channels), 0.0);
    m_frames = 0;
}

template <class Sample> void Levels::Add(const Sample* const* planes, long frames)
{
    // Several running sums and peaks, so that the vector code has independent chains to work on;
    // with one, each addition waits for the one before. Eight fill the vector registers of 64-bit
    // x86; 32-bit x86 has half as many, and with eight it keeps them in memory. The order of the
    // additions changes only the last bits of an RMS.
    constexpr long kLanes = sizeof(void*) == 4 ? 4 : 8;
    for (std::size_t c = 0; c < m_peak.size(); ++c) {
        const Sample* plane = planes[c];
        Sample peaks[kLanes] = {};
        double sums[kLanes] = {};
        long i = 0;
        for (; i + kLanes <= frames; i += kLanes) {
#pragma omp simd
            for (long k = 0; k < kLanes; ++k) {
                const Sample x = plane[i + k];
                const Sample magnitude = std::fabs(x);
                peaks[k] = magnitude > peaks[k] ? magnitude : peaks[k];
                sums[k] += static_cast<double>(x) * static_cast<double>(x);
            }
        }
        for (; i < frames; ++i) {
            const Sample x = plane[i];
            const Sample magnitude = std::fabs(x);
            peaks[0] = magnitude > peaks[0] ? magnitude : peaks[0];
            sums[0] += static_cast<double>(x) * static_cast<double>(x);
        }
        for (long k = 0; k < kLanes; ++k) {
            m_peak[c] = std::max(m_peak[c], static_cast<double>(peaks[k]));
            m_sumOfSquares[c] += sums[k];
        }
    }
    m_frames += frames;
}

template void Levels::Add<float>(const float* const*, long);
template void Levels::Add<double>(const double* const*, long);

double Levels::Rms(int channel) const
{
    if (m_frames == 0) return 0.0;
    return std::sqrt(m_sumOfSquares[static_cast<std::size_t>(channel)] / static_cast<double>(m_frames));
}

bool Render(vsthost::Plugin& plugin, AudioSource& source, AudioFileWriter& writer, ProcessPath path, int blockSize,
            const RenderProgress& progress, RenderResult& result, std::string& error)
{
    if (plugin.Effect() == nullptr || !CheckPath(*plugin.Effect(), path, error)) return false;
    if (blockSize < 1) {
        error = "the block size must be at least 1 frame";
        return false;
    }
    if (path == ProcessPath::Double)
        return RenderAs<double>(plugin, source, writer, path, blockSize, progress, result, error);
    return RenderAs<float>(plugin, source, writer, path, blockSize, progress, result, error);
}

} // namespace hosttool
