#include "KorWayfarerDsp.h"

#include <cstdint>
#include <initializer_list>

const char* const KorWayfarerDsp::kEffectName = "Free Wayfarer-Phase Modifier";
const char* const KorWayfarerDsp::kMakerName = "Tarnbek";
const char* const KorWayfarerDsp::kPanName = "Pan";
const char* const KorWayfarerDsp::kWetMixName = "Wet Mix";
const double KorWayfarerDsp::kWetMixStep = 0.01;

// k * ln 10 for k = -0.6, -0.3 and -0.15, as stored constants so every build computes the same.
const double KorWayfarerDsp::kLn12dB = -1.3815510557964275;
const double KorWayfarerDsp::kLn6dB = -0.6907755278982137;
const double KorWayfarerDsp::kLn3dB = -0.34538776394910686;

namespace {

// Gains this close to zero count as zero, so rounding noise never attenuates.
const double kEpsilon = 2.220446049250313e-16;

struct ProgramTable {
    KorWayfarerDsp::Program programs[KorWayfarerDsp::kNumPrograms];

    ProgramTable()
    {
        const double a12 = KorWayfarerDsp::AttenuationFor(KorWayfarerDsp::kLn12dB);
        const double a6 = KorWayfarerDsp::AttenuationFor(KorWayfarerDsp::kLn6dB);
        const double a3 = KorWayfarerDsp::AttenuationFor(KorWayfarerDsp::kLn3dB);
        const int left = KorWayfarerDsp::kPanLeft, right = KorWayfarerDsp::kPanRight;
        const KorWayfarerDsp::Program rows[KorWayfarerDsp::kNumPrograms] = {
            // clang-format off
            // name                 default  Pan     Wet Mix
            {"RESET to defaults",   true,    left,   0.0},
            {"Pan hard left",       false,   right,  -a12},
            {"Pan left",            false,   right,  -a6},
            {"Pan slight left",     false,   right,  -a3},
            {"Pan center",          true,    left,   0.0},
            {"Pan slight right",    false,   left,   a3},
            {"Pan right",           false,   left,   a6},
            {"Pan hard right",      false,   left,   a12},
            {"User 1",              true,    left,   0.0},
            {"User 2",              true,    left,   0.0},
            {"User 3",              true,    left,   0.0},
            {"User 4",              true,    left,   0.0},
            // clang-format on
        };
        for (int i = 0; i < KorWayfarerDsp::kNumPrograms; ++i) programs[i] = rows[i];
    }
};

double Clamp(double value, double low, double high) { return value < low ? low : (value > high ? high : value); }

bool Overlaps(const float* a, const float* b, int n)
{
    const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    const auto bytes = static_cast<uintptr_t>(n) * sizeof(float);
    return x < y + bytes && y < x + bytes;
}

// out = float(g * double(in)), negated when asked. A unity gain needs no widening: the product
// is the input itself, so the float copy is bit for bit the same and twice as fast.
template <bool negate> void ScaleFloats(const float* in, float* out, double gain, int n)
{
    if (gain == 1.0) {
        for (int i = 0; i < n; ++i) out[i] = negate ? -in[i] : in[i];
    } else {
        for (int i = 0; i < n; ++i) {
            const double scaled = gain * static_cast<double>(in[i]);
            out[i] = static_cast<float>(negate ? -scaled : scaled);
        }
    }
}

} // namespace

const KorWayfarerDsp::Program* KorWayfarerDsp::GetProgram(int idx)
{
    // Made on first use: the attenuations come from std::exp, which a constant table cannot call.
    static const ProgramTable table;
    return idx >= 0 && idx < kNumPrograms ? &table.programs[idx] : nullptr;
}

double KorWayfarerDsp::PanFromHost(double value, double current)
{
    if (std::isnan(value)) return current;
    return std::floor(Clamp(value, kPanLeft, kPanRight) + 0.5);
}

double KorWayfarerDsp::WetMixFromHost(double value, double current)
{
    if (std::isnan(value)) return current;
    if (value == static_cast<double>(static_cast<float>(current))) return current;
    const double bound = WetMixBound();
    value = Clamp(value, -bound, bound);
    for (const double lnOfGain : {kLn12dB, kLn6dB, kLn3dB}) {
        const double a = AttenuationFor(lnOfGain);
        if (value == static_cast<double>(static_cast<float>(a))) return a;
        if (value == static_cast<double>(static_cast<float>(-a))) return -a;
    }
    return value;
}

double KorWayfarerDsp::FromState(int param, double value)
{
    if (std::isnan(value)) value = 0.0;
    if (param == kPan) return Clamp(value, kPanLeft, kPanRight);
    const double bound = WetMixBound();
    return Clamp(value, -bound, bound);
}

void KorWayfarerDsp::SetPan(int pan, bool stereoInput)
{
    m_plainOut = pan != kPanLeft ? 1 : 0;
    m_invertedOut = pan == kPanLeft ? 1 : 0;
    if (stereoInput) {
        m_plainIn = m_plainOut;
        m_invertedIn = m_invertedOut;
    } else {
        m_plainIn = m_invertedIn = 0;
    }
}

void KorWayfarerDsp::SetWetMix(double wetMix)
{
    if (wetMix > kEpsilon) {
        m_gains[0] = 1.0 - wetMix;
        m_gains[1] = 1.0;
    } else if (wetMix < -kEpsilon) {
        m_gains[0] = 1.0;
        m_gains[1] = 1.0 + wetMix;
    } else {
        m_gains[0] = m_gains[1] = 1.0;
    }
}

void KorWayfarerDsp::Process(double** inputs, double** outputs, int nFrames) const
{
    const double* plainIn = inputs[m_plainIn];
    const double* invertedIn = inputs[m_invertedIn];
    double* plainOut = outputs[m_plainOut];
    double* invertedOut = outputs[m_invertedOut];
    const double plainGain = m_gains[m_plainIn];
    const double invertedGain = m_gains[m_invertedIn];

    // Both inputs of a frame are read before either output is written: with in-place buffers and
    // one input feeding both outputs, writing first would scale that input twice.
    for (int i = 0; i < nFrames; ++i) {
        const double a = plainIn[i];
        const double b = invertedIn[i];
        plainOut[i] = plainGain * a;
        invertedOut[i] = -(invertedGain * b);
    }
}

void KorWayfarerDsp::ProcessFloat(float** inputs, float** outputs, int nFrames, bool accumulate) const
{
    const float* plainIn = inputs[m_plainIn];
    const float* invertedIn = inputs[m_invertedIn];
    float* plainOut = outputs[m_plainOut];
    float* invertedOut = outputs[m_invertedOut];
    const double plainGain = m_gains[m_plainIn];
    const double invertedGain = m_gains[m_invertedIn];

    // One channel at a time is fastest, as long as the first pass cannot overwrite what the second
    // one reads, and the two outputs are apart: where they share memory, the frame-by-frame order
    // (the inverted output written last) decides what stays, as in the double path.
    if (!accumulate && !Overlaps(plainOut, invertedOut, nFrames)) {
        if (!Overlaps(plainOut, invertedIn, nFrames)) {
            ScaleFloats<false>(plainIn, plainOut, plainGain, nFrames);
            ScaleFloats<true>(invertedIn, invertedOut, invertedGain, nFrames);
            return;
        }
        if (!Overlaps(invertedOut, plainIn, nFrames)) {
            ScaleFloats<true>(invertedIn, invertedOut, invertedGain, nFrames);
            ScaleFloats<false>(plainIn, plainOut, plainGain, nFrames);
            return;
        }
    }
    for (int i = 0; i < nFrames; ++i) {
        const double a = plainIn[i];
        const double b = invertedIn[i];
        if (accumulate) {
            plainOut[i] = static_cast<float>(static_cast<double>(plainOut[i]) + plainGain * a);
            invertedOut[i] = static_cast<float>(static_cast<double>(invertedOut[i]) + -(invertedGain * b));
        } else {
            plainOut[i] = static_cast<float>(plainGain * a);
            invertedOut[i] = static_cast<float>(-(invertedGain * b));
        }
    }
}
