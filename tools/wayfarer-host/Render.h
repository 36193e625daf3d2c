#pragma once
// Runs audio from a source through the plug-in into a writer, block by block, and measures the
// levels on the way in and out.
#include "AudioFile.h"
#include "VstHost.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace hosttool {

enum class ProcessPath {
    Float,      // processReplacing
    Double,     // processDoubleReplacing
    Accumulate, // process, onto cleared outputs
};

const char* ProcessPathName(ProcessPath path);

// Peak and RMS per channel.
class Levels {
public:
    void Reset(int channels);
    // Channel c from planes[c].
    template <class Sample> void Add(const Sample* const* planes, long frames);

    int Channels() const { return static_cast<int>(m_peak.size()); }
    double Peak(int channel) const { return m_peak[static_cast<std::size_t>(channel)]; }
    double Rms(int channel) const;

private:
    std::vector<double> m_peak;
    std::vector<double> m_sumOfSquares;
    std::int64_t m_frames = 0;
};

struct RenderResult {
    Levels in;
    Levels out;
    std::int64_t frames = 0;
};

// Called after each stretch of audio with the frames done so far.
using RenderProgress = std::function<void(std::int64_t done)>;

// The plug-in must be resumed and told the block size; frames go to it in blocks of at most
// `blockSize`. The output has as many channels as the plug-in has outputs.
bool Render(vsthost::Plugin& plugin, AudioSource& source, AudioFileWriter& writer, ProcessPath path, int blockSize,
            const RenderProgress& progress, RenderResult& result, std::string& error);

} // namespace hosttool
