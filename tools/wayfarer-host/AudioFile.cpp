#include "AudioFile.h"

#include "FileSystem.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace hosttool {

namespace {

constexpr double kPi = 3.14159265358979323846;

// sin(2 pi step / steps) for 0 <= step < steps, from the quadrant and a series on [0, pi/2]. Only
// +, - and * in a fixed order, so every build computes the same bits; the C libraries' sin
// differ in the last bit between glibc and mingw, and the test signal should not.
double SineOfCycle(std::int64_t step, std::int64_t steps)
{
    const double quarters = 4.0 * static_cast<double>(step) / static_cast<double>(steps);
    const auto quadrant = static_cast<int>(quarters);
    const double angle = (quarters - quadrant) * (kPi / 2.0);
    const double square = angle * angle;
    double sine = 0.0;
    double cosine = 0.0;
    double sineTerm = angle;
    double cosineTerm = 1.0;
    for (int n = 1; n <= 12; ++n) {
        sine += sineTerm;
        cosine += cosineTerm;
        sineTerm *= -square / ((2.0 * n) * (2.0 * n + 1.0));
        cosineTerm *= -square / ((2.0 * n - 1.0) * (2.0 * n));
    }
    switch (quadrant) {
    case 0: return sine;
    case 1: return cosine;
    case 2: return -sine;
    default: return -cosine;
    }
}
// libsndfile hands every integer PCM format but 16-bit to sf_readf_int left-justified in 32 bits.
constexpr double kInt32Scale = 2147483648.0;
constexpr double kInt16Scale = 32768.0;

// Interleaved samples into planes, scaled. One and two channels get loops of their own, which
// the compiler turns into vector code.
template <class From, class To>
void Deinterleave(const From* in, int channels, long frames, To* const* planes, To scale)
{
    if (channels == 1) {
        To* mono = planes[0];
        for (long i = 0; i < frames; ++i) mono[i] = static_cast<To>(in[i]) * scale;
    } else if (channels == 2) {
        To* left = planes[0];
        To* right = planes[1];
        for (long i = 0; i < frames; ++i) {
            left[i] = static_cast<To>(in[2 * i]) * scale;
            right[i] = static_cast<To>(in[2 * i + 1]) * scale;
        }
    } else {
        for (int c = 0; c < channels; ++c) {
            for (long i = 0; i < frames; ++i) planes[c][i] = static_cast<To>(in[i * channels + c]) * scale;
        }
    }
}

template <class From, class To> void Interleave(const From* const* planes, int channels, long frames, To* out)
{
    for (int c = 0; c < channels; ++c) {
        const From* plane = planes[c];
        for (long i = 0; i < frames; ++i) out[i * channels + c] = static_cast<To>(plane[i]);
    }
}

// Round to nearest, ties to even, as lrint does in the default mode, but without a library call
// per sample: adding and taking away 1.5 * 2^(mantissa bits) leaves no bits below the units.
// Good for magnitudes below 2^22 in float and 2^51 in double.
template <class Math> constexpr Math kRoundingShifter = sizeof(Math) == sizeof(float) ? 12582912.0 : 6755399441055744.0;

// The conversion proper, for planes without NaN. Math is float where that is exact (float
// samples to at most 16 bits: the scaling is by a power of two and every step fits the mantissa),
// which gives the vectoriser four lanes instead of two; double otherwise. Branch-free, so that
// the loops become vector code (see the CMakeLists).
template <class Math, class Sample, class Out>
int QuantizeFinite(const Sample* const* planes, int channels, long frames, int bits, Out* out)
{
    const auto scale = static_cast<Math>(std::ldexp(1.0, bits - 1));
    const Math highest = scale - 1;
    const Math lowest = -scale;
    const Math shifter = kRoundingShifter<Math>;
    const int shift = static_cast<int>(8 * sizeof(Out)) - bits;
    auto convert = [=](Sample sample, int& clipped) {
        Math scaled = static_cast<Math>(sample) * scale;
        clipped += static_cast<int>(scaled > highest) + static_cast<int>(scaled < lowest);
        scaled = scaled < highest ? scaled : highest;
        scaled = scaled > lowest ? scaled : lowest;
        const auto whole = static_cast<std::int32_t>((scaled + shifter) - shifter);
        if constexpr (sizeof(Out) == sizeof(std::int16_t))
            return static_cast<Out>(whole);
        else
            return static_cast<Out>(static_cast<std::uint32_t>(whole) << shift);
    };
    int clipped = 0;
    if (channels == 2) {
        const Sample* left = planes[0];
        const Sample* right = planes[1];
#pragma omp simd reduction(+ : clipped)
        for (long i = 0; i < frames; ++i) {
            out[2 * i] = convert(left[i], clipped);
            out[2 * i + 1] = convert(right[i], clipped);
        }
    } else {
        for (int c = 0; c < channels; ++c) {
            const Sample* plane = planes[c];
#pragma omp simd reduction(+ : clipped)
            for (long i = 0; i < frames; ++i) out[i * channels + c] = convert(plane[i], clipped);
        }
    }
    return clipped;
}

// Planes into interleaved integers of `bits` bits, rounded to nearest and clipped, NaN as 0;
// 16-bit samples as they are, wider types left-justified as libsndfile's int calls take them.
// Returns how many samples were clipped.
template <class Sample, class Out>
int Quantize(const Sample* const* planes, int channels, long frames, int bits, Out* out)
{
    // NaN is rare and would cost every sample a select, so it is looked for first: anything
    // times zero is zero unless it is NaN or infinite.
    Sample probe = 0;
    for (int c = 0; c < channels; ++c) {
        const Sample* plane = planes[c];
#pragma omp simd reduction(+ : probe)
        for (long i = 0; i < frames; ++i) probe += plane[i] * 0;
    }
    std::vector<std::vector<Sample>> cleaned;
    std::vector<const Sample*> cleanedPlanes;
    if (probe != 0) {
        for (int c = 0; c < channels; ++c) {
            cleaned.emplace_back(planes[c], planes[c] + frames);
            for (Sample& sample : cleaned.back()) sample = std::isnan(sample) ? 0 : sample;
            cleanedPlanes.push_back(cleaned.back().data());
        }
        planes = cleanedPlanes.data();
    }
    if constexpr (sizeof(Sample) == sizeof(float)) {
        if (bits <= 16) return QuantizeFinite<float>(planes, channels, frames, bits, out);
    }
    return QuantizeFinite<double>(planes, channels, frames, bits, out);
}

int PcmBits(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_16: return 16;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32: return 32;
    default: return 0;
    }
}

std::string LowerExtension(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// Opening with the C library first tells "missing or unreadable" apart from "not audio", which
// libsndfile's own message does not.
bool CheckReadable(const std::string& path, std::string& error)
{
    std::string reason;
    std::FILE* file = OpenFile(path, "rb", reason);
    if (file == nullptr) {
        error = "cannot open '" + path + "': " + reason;
        return false;
    }
    std::fclose(file);
    return true;
}

} // namespace

// ---- Formats ---------------------------------------------------------------------------------

std::string DescribeFormat(int format)
{
    static const struct {
        int code;
        const char* name;
    } containers[] = {{SF_FORMAT_WAV, "WAV"},   {SF_FORMAT_AIFF, "AIFF"}, {SF_FORMAT_AU, "AU"},
                      {SF_FORMAT_RAW, "raw"},   {SF_FORMAT_W64, "W64"},   {SF_FORMAT_CAF, "CAF"},
                      {SF_FORMAT_RF64, "RF64"}, {SF_FORMAT_FLAC, "FLAC"}, {SF_FORMAT_OGG, "Ogg"},
                      {SF_FORMAT_WAVEX, "WAV"}};
    static const struct {
        int code;
        const char* name;
    } subtypes[] = {
        {SF_FORMAT_PCM_S8, "8-bit PCM"},    {SF_FORMAT_PCM_U8, "8-bit PCM"},  {SF_FORMAT_PCM_16, "16-bit PCM"},
        {SF_FORMAT_PCM_24, "24-bit PCM"},   {SF_FORMAT_PCM_32, "32-bit PCM"}, {SF_FORMAT_FLOAT, "32-bit float"},
        {SF_FORMAT_DOUBLE, "64-bit float"}, {SF_FORMAT_ULAW, "u-law"},        {SF_FORMAT_ALAW, "A-law"},
        {SF_FORMAT_IMA_ADPCM, "IMA ADPCM"}, {SF_FORMAT_MS_ADPCM, "MS ADPCM"}, {SF_FORMAT_GSM610, "GSM 6.10"},
        {SF_FORMAT_VORBIS, "Vorbis"},       {SF_FORMAT_OPUS, "Opus"}};
    std::string container = "format";
    for (const auto& entry : containers) {
        if ((format & SF_FORMAT_TYPEMASK) == entry.code) container = entry.name;
    }
    for (const auto& entry : subtypes) {
        if ((format & SF_FORMAT_SUBMASK) == entry.code) return container + " " + entry.name;
    }
    char code[32];
    std::snprintf(code, sizeof code, " 0x%06x", static_cast<unsigned>(format));
    return container + code;
}

int SubtypeByName(const std::string& name)
{
    if (name == "pcm16") return SF_FORMAT_PCM_16;
    if (name == "pcm24") return SF_FORMAT_PCM_24;
    if (name == "pcm32") return SF_FORMAT_PCM_32;
    if (name == "float") return SF_FORMAT_FLOAT;
    if (name == "double") return SF_FORMAT_DOUBLE;
    return 0;
}

int ContainerForPath(const std::string& path)
{
    const std::string extension = LowerExtension(path);
    if (extension == "wav") return SF_FORMAT_WAV;
    if (extension == "aif" || extension == "aiff") return SF_FORMAT_AIFF;
    if (extension == "au" || extension == "snd") return SF_FORMAT_AU;
    if (extension == "caf") return SF_FORMAT_CAF;
    if (extension == "w64") return SF_FORMAT_W64;
    if (extension == "rf64") return SF_FORMAT_RF64;
    if (extension == "flac") return SF_FORMAT_FLAC;
    return 0;
}

// ---- Reading ---------------------------------------------------------------------------------

AudioFileReader::~AudioFileReader()
{
    if (m_file != nullptr) sf_close(m_file);
}

bool AudioFileReader::Open(const std::string& path, std::string& error)
{
    if (!CheckReadable(path, error)) return false;
    SF_INFO info{};
    m_file = sf_open(SystemPath(path).c_str(), SFM_READ, &info);
    if (m_file == nullptr) {
        error = "'" + path + "' is not an audio file that can be read: " + sf_strerror(nullptr);
        return false;
    }
    m_path = path;
    m_format = info.format;
    m_channels = info.channels;
    m_sampleRate = info.samplerate;
    m_frames = info.frames;
    m_pcmBits = PcmBits(info.format);
    return true;
}

template <class Sample> long AudioFileReader::ReadAs(Sample* const* planes, long frames)
{
    if (m_file == nullptr) return -1;
    const std::size_t samples = static_cast<std::size_t>(frames) * static_cast<std::size_t>(m_channels);
    sf_count_t got = 0;
    if (m_pcmBits == 16) {
        m_shorts.resize(samples);
        got = sf_readf_short(m_file, m_shorts.data(), frames);
        Deinterleave(m_shorts.data(), m_channels, static_cast<long>(got), planes,
                     static_cast<Sample>(1.0 / kInt16Scale));
    } else if (m_pcmBits != 0) {
        m_ints.resize(samples);
        got = sf_readf_int(m_file, m_ints.data(), frames);
        Deinterleave(m_ints.data(), m_channels, static_cast<long>(got), planes, static_cast<Sample>(1.0 / kInt32Scale));
    } else if constexpr (sizeof(Sample) == sizeof(float)) {
        m_floats.resize(samples);
        got = sf_readf_float(m_file, m_floats.data(), frames);
        Deinterleave(m_floats.data(), m_channels, static_cast<long>(got), planes, 1.0f);
    } else {
        m_doubles.resize(samples);
        got = sf_readf_double(m_file, m_doubles.data(), frames);
        Deinterleave(m_doubles.data(), m_channels, static_cast<long>(got), planes, 1.0);
    }
    if (got == 0 && sf_error(m_file) != SF_ERR_NO_ERROR) return -1;
    return static_cast<long>(got);
}

long AudioFileReader::Read(float* const* planes, long frames) { return ReadAs(planes, frames); }
long AudioFileReader::Read(double* const* planes, long frames) { return ReadAs(planes, frames); }

std::string AudioFileReader::Describe() const
{
    char text[160];
    std::snprintf(text, sizeof text, ": %s, %d ch, %d Hz, %.3f s", DescribeFormat(m_format).c_str(), m_channels,
                  m_sampleRate, m_sampleRate > 0 ? static_cast<double>(m_frames) / m_sampleRate : 0.0);
    return m_path + text;
}

// ---- Test signal -----------------------------------------------------------------------------

void TestSignal::Frame(int sampleRate, std::int64_t frames, std::int64_t index, double& left, double& right)
{
    const double rate = sampleRate;
    const double fadeFrames = std::max(1.0, 0.010 * rate);
    const double fromEnd = static_cast<double>(frames - 1 - index);
    const double fade = std::min({1.0, static_cast<double>(index) / fadeFrames, fromEnd / fadeFrames});
    left = 0.5 * fade * SineOfCycle(index * 440 % sampleRate, sampleRate);
    right = 0.25 * fade * SineOfCycle(index * 1000 % sampleRate, sampleRate);
}

template <class Sample> long TestSignal::ReadAs(Sample* const* planes, long frames)
{
    const long count = static_cast<long>(std::min<std::int64_t>(frames, m_frames - m_position));
    for (long i = 0; i < count; ++i) {
        double left = 0.0;
        double right = 0.0;
        Frame(m_sampleRate, m_frames, m_position + i, left, right);
        planes[0][i] = static_cast<Sample>(left);
        planes[1][i] = static_cast<Sample>(right);
    }
    m_position += count;
    return count;
}

long TestSignal::Read(float* const* planes, long frames) { return ReadAs(planes, frames); }
long TestSignal::Read(double* const* planes, long frames) { return ReadAs(planes, frames); }

std::string TestSignal::Describe() const
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "built-in test signal: 2 ch, %d Hz, %.3f s (left 440 Hz sine at 0.5, right 1 kHz sine at 0.25)",
                  m_sampleRate, static_cast<double>(m_frames) / m_sampleRate);
    return text;
}

// ---- Writing ---------------------------------------------------------------------------------

AudioFileWriter::~AudioFileWriter()
{
    if (m_file != nullptr) sf_close(m_file);
}

bool AudioFileWriter::Open(const std::string& path, int format, int channels, int sampleRate, std::string& error)
{
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    if (!sf_format_check(&info)) {
        error = "cannot write " + DescribeFormat(format) + " with " + std::to_string(channels) + " channels at " +
                std::to_string(sampleRate) + " Hz";
        return false;
    }
    m_file = sf_open(SystemPath(path).c_str(), SFM_WRITE, &info);
    if (m_file == nullptr) {
        error = sf_strerror(nullptr);
        return false;
    }
    m_channels = channels;
    m_pcmBits = PcmBits(format);
    // The compressed integer formats go through libsndfile's conversion; without this it would
    // wrap overs instead of clipping them.
    if (m_pcmBits == 0) sf_command(m_file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

template <class Sample> bool AudioFileWriter::WriteAs(const Sample* const* planes, long frames, std::string& error)
{
    if (m_file == nullptr) {
        error = "output is not open";
        return false;
    }
    const std::size_t samples = static_cast<std::size_t>(frames) * static_cast<std::size_t>(m_channels);
    sf_count_t written = 0;
    if (m_pcmBits == 16) {
        m_shorts.resize(samples);
        m_clipped += Quantize(planes, m_channels, frames, m_pcmBits, m_shorts.data());
        written = sf_writef_short(m_file, m_shorts.data(), frames);
    } else if (m_pcmBits != 0) {
        m_ints.resize(samples);
        m_clipped += Quantize(planes, m_channels, frames, m_pcmBits, m_ints.data());
        written = sf_writef_int(m_file, m_ints.data(), frames);
    } else if constexpr (sizeof(Sample) == sizeof(float)) {
        m_floats.resize(samples);
        Interleave(planes, m_channels, frames, m_floats.data());
        written = sf_writef_float(m_file, m_floats.data(), frames);
    } else {
        m_doubles.resize(samples);
        Interleave(planes, m_channels, frames, m_doubles.data());
        written = sf_writef_double(m_file, m_doubles.data(), frames);
    }
    if (written != frames) {
        error = sf_strerror(m_file);
        return false;
    }
    return true;
}

bool AudioFileWriter::Write(const float* const* planes, long frames, std::string& error)
{
    return WriteAs(planes, frames, error);
}

bool AudioFileWriter::Write(const double* const* planes, long frames, std::string& error)
{
    return WriteAs(planes, frames, error);
}

bool AudioFileWriter::Close(std::string& error)
{
    if (m_file == nullptr) return true;
    sf_write_sync(m_file);
    const int status = sf_close(m_file);
    m_file = nullptr;
    if (status != 0) {
        error = sf_error_number(status);
        return false;
    }
    return true;
}

// ---- Output files ----------------------------------------------------------------------------

PendingFile::PendingFile(std::string target) : m_target(std::move(target)), m_temporary(TemporaryPathBeside(m_target))
{
}

PendingFile::~PendingFile()
{
    if (!m_committed) RemoveFile(m_temporary);
}

bool PendingFile::Commit(std::string& error)
{
    std::string reason;
    if (!MoveOver(m_temporary, m_target, reason)) {
        error = "cannot write '" + m_target + "': " + reason;
        return false;
    }
    m_committed = true;
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error)
{
    std::string reason;
    std::FILE* file = OpenFile(path, "rb", reason);
    if (file == nullptr) {
        error = "cannot open '" + path + "': " + reason;
        return false;
    }
    bytes.clear();
    unsigned char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "cannot read '" + path + "'";
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error)
{
    PendingFile pending(path);
    std::string reason;
    std::FILE* file = OpenFile(pending.TemporaryPath(), "wb", reason);
    if (file == nullptr) {
        error = "cannot write '" + path + "': " + reason;
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    return pending.Commit(error);
}

} // namespace hosttool
