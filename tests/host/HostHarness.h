// What the host tests share: where the plug-in is, fixtures that load it, the effect's documented
// constants computed here independently, and byte-level helpers for chunks and host buffers.
#pragma once

#include "VstHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hosttest {

// The plug-in binary under test: $WAYFARER_PLUGIN when set, else the one this build produced.
std::string pluginPath();

// Loads the plug-in through its entry point. On failure the test fails with the reason and the
// result is null, so callers follow with ASSERT_TRUE.
std::unique_ptr<vsthost::Plugin> loadPlugin(vsthost::Host& host);

// ---- The effect's documented identity and constants --------------------------------------

constexpr VstInt32 kNumPrograms = 12;
constexpr VstInt32 kNumParams = 2;
constexpr VstInt32 kPan = 0;
constexpr VstInt32 kWetMix = 1;

// Attenuation amounts 1 - 10^-0.6, 1 - 10^-0.3, 1 - 10^-0.15 as the effect derives them. The last
// bit may differ from the plug-in's exp, so compare them with a tolerance.
inline double a12() { return 1.0 - std::exp(-1.3815510557964275); }
inline double a6() { return 1.0 - std::exp(-0.6907755278982137); }
inline double a3() { return 1.0 - std::exp(-0.34538776394910686); }

// The normalised value that the host sees for a plain "Wet Mix" value.
inline double wetNormalized(double plain) { return (plain + a12()) / (2.0 * a12()); }

extern const char* const kFactoryProgramNames[kNumPrograms];

// Names the cases of a parameterised test after their `name` field.
struct ByName {
    template <typename Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};

// ---- Fixtures ------------------------------------------------------------------------------

// A fresh instance that the host has not opened yet.
class LoadedPlugin : public ::testing::Test {
protected:
    void SetUp() override;
    vsthost::Host host;
    std::unique_ptr<vsthost::Plugin> plugin;
};

// A fresh instance after effOpen, with the host's log cleared.
class OpenPlugin : public LoadedPlugin {
protected:
    void SetUp() override;
};

// ---- Chunks --------------------------------------------------------------------------------

using Bytes = std::vector<unsigned char>;

constexpr VstInt32 kBankChunk = 0;    // effGetChunk / effSetChunk index for the whole bank
constexpr VstInt32 kProgramChunk = 1; // any other index means the current program

void appendInt32(Bytes& bytes, std::int32_t value);
void appendDouble(Bytes& bytes, double value);
std::int32_t readInt32(const unsigned char* at);
double readDouble(const unsigned char* at);

// "tffp" followed by format version 0x00010000, as little-endian int32s.
Bytes chunkHeader();
// A program chunk with the given plain parameter values.
Bytes programChunk(double pan, double wetMix);

// effGetChunk, copied out of the plug-in's buffer; empty when the plug-in answered 0.
Bytes getChunk(vsthost::Plugin& plugin, VstInt32 kind);
VstIntPtr setChunk(vsthost::Plugin& plugin, VstInt32 kind, const Bytes& bytes);

// The current plain parameter values, read back from a program chunk.
struct PlainValues {
    double pan;
    double wetMix;
};
PlainValues plainValues(vsthost::Plugin& plugin);
// Sets both plain values exactly (through a program chunk; setParameter goes through floats).
void setPlainValues(vsthost::Plugin& plugin, double pan, double wetMix);

// One program record of a bank chunk.
struct BankRecord {
    std::string name;
    bool initialized = false;
    std::vector<double> values;
};
// Parses a bank chunk of this effect; `ok` is false when the bytes do not hold exactly a header
// and kNumPrograms records.
std::vector<BankRecord> parseBank(const Bytes& bank, bool* ok);
Bytes buildBank(const std::vector<BankRecord>& records);

// ---- Host buffers ----------------------------------------------------------------------------

// A host text buffer prefilled with a canary byte, to see exactly how far the plug-in wrote.
class CanaryBuffer {
public:
    static constexpr unsigned char kCanary = 0xA5;
    explicit CanaryBuffer(std::size_t size = 512) : bytes_(size, kCanary) {}
    char* data() { return reinterpret_cast<char*>(bytes_.data()); }
    // The text up to the first zero byte (or the whole buffer if there is none).
    std::string text() const;
    bool untouched() const { return untouchedFrom(0); }
    bool untouchedFrom(std::size_t offset) const;
    unsigned char operator[](std::size_t i) const { return bytes_[i]; }
    void setFirstByteZero() { bytes_[0] = 0; }

private:
    std::vector<unsigned char> bytes_;
};

} // namespace hosttest
