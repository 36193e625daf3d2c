#pragma once
// Audio in and out of wayfarer-host: files through libsndfile, the built-in test signal, and an
// output file that appears under its name only once it is complete.
//
// Samples travel as floats or doubles in [-1, 1). Integer PCM is scaled by powers of two both
// ways (a 16-bit sample k reads as k / 32768 and writes back as k), rounded to nearest and
// clipped on the way out. libsndfile's own conversion reads by 2^15 but writes by 2^15 - 1, so
// a file copied through it would not come back bit for bit.
#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace hosttool {

// Where audio comes from: a file or the test signal.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual int Channels() const = 0;
    virtual int SampleRate() const = 0;
    virtual std::int64_t Frames() const = 0;
    // Reads up to `frames` frames, channel c into planes[c]; returns how many were read, 0 at
    // the end and -1 when the file cannot be read further.
    virtual long Read(float* const* planes, long frames) = 0;
    virtual long Read(double* const* planes, long frames) = 0;
    // One line for the report.
    virtual std::string Describe() const = 0;
};

// libsndfile format codes (major type | subtype) in words, e.g. "WAV 24-bit PCM".
std::string DescribeFormat(int format);
// "pcm16", "pcm24", "pcm32", "float" or "double" to a libsndfile subtype; 0 for anything else.
int SubtypeByName(const std::string& name);
// The container that a file name's extension asks for, or 0 when the extension names none.
int ContainerForPath(const std::string& path);

class AudioFileReader : public AudioSource {
public:
    AudioFileReader() = default;
    ~AudioFileReader() override;
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    bool Open(const std::string& path, std::string& error);
    int Format() const { return m_format; }

    int Channels() const override { return m_channels; }
    int SampleRate() const override { return m_sampleRate; }
    std::int64_t Frames() const override { return m_frames; }
    long Read(float* const* planes, long frames) override;
    long Read(double* const* planes, long frames) override;
    std::string Describe() const override;

private:
    template <class Sample> long ReadAs(Sample* const* planes, long frames);

    SNDFILE* m_file = nullptr;
    std::string m_path;
    int m_format = 0;
    int m_channels = 0;
    int m_sampleRate = 0;
    std::int64_t m_frames = 0;
    int m_pcmBits = 0; // 0 when libsndfile converts
    // What libsndfile reads into, by the kind of data: 16-bit PCM, other PCM, floats, the rest.
    std::vector<std::int16_t> m_shorts;
    std::vector<std::int32_t> m_ints;
    std::vector<float> m_floats;
    std::vector<double> m_doubles;
};

// Left: 440 Hz at -6 dBFS; right: 1 kHz at -12 dBFS; 10 ms fades at both ends. Different
// pitches and levels, so that the report and a listener both tell where each side went.
class TestSignal : public AudioSource {
public:
    TestSignal(int sampleRate, std::int64_t frames) : m_sampleRate(sampleRate), m_frames(frames) {}

    // The signal's frame `index`, as Read produces it.
    static void Frame(int sampleRate, std::int64_t frames, std::int64_t index, double& left, double& right);

    int Channels() const override { return 2; }
    int SampleRate() const override { return m_sampleRate; }
    std::int64_t Frames() const override { return m_frames; }
    long Read(float* const* planes, long frames) override;
    long Read(double* const* planes, long frames) override;
    std::string Describe() const override;

private:
    template <class Sample> long ReadAs(Sample* const* planes, long frames);

    int m_sampleRate;
    std::int64_t m_frames;
    std::int64_t m_position = 0;
};

class AudioFileWriter {
public:
    AudioFileWriter() = default;
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    bool Open(const std::string& path, int format, int channels, int sampleRate, std::string& error);
    // Writes `frames` frames, channel c from planes[c].
    bool Write(const float* const* planes, long frames, std::string& error);
    bool Write(const double* const* planes, long frames, std::string& error);
    // Flushes and closes; the file is complete only when this succeeded.
    bool Close(std::string& error);
    // Samples that lay outside what the integer format holds and were clipped.
    std::int64_t ClippedSamples() const { return m_clipped; }

private:
    template <class Sample> bool WriteAs(const Sample* const* planes, long frames, std::string& error);

    SNDFILE* m_file = nullptr;
    int m_channels = 0;
    int m_pcmBits = 0; // 0 when libsndfile converts (float, double and the compressed formats)
    std::int64_t m_clipped = 0;
    std::vector<std::int16_t> m_shorts;
    std::vector<std::int32_t> m_ints;
    std::vector<float> m_floats;
    std::vector<double> m_doubles;
};

// An output written under a temporary name beside its target and renamed over it on Commit, so
// that a failed run never leaves a partial file under the target's name. Without a Commit the
// temporary file is removed.
class PendingFile {
public:
    explicit PendingFile(std::string target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& TemporaryPath() const { return m_temporary; }
    bool Commit(std::string& error);

private:
    std::string m_target;
    std::string m_temporary;
    bool m_committed = false;
};

// Reads or writes a whole small file (preset files), the write through a PendingFile.
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error);
bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error);

} // namespace hosttool
