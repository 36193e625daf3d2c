// The format-free core: how a host's plain values become settings, and the float path against the
// double path whatever buffers a host shares.
#include "effect/KorWayfarerDsp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kA12 = KorWayfarerDsp::AttenuationFor(KorWayfarerDsp::kLn12dB);
const double kA6 = KorWayfarerDsp::AttenuationFor(KorWayfarerDsp::kLn6dB);
const double kA3 = KorWayfarerDsp::AttenuationFor(KorWayfarerDsp::kLn3dB);

double FloatOf(double v) { return static_cast<double>(static_cast<float>(v)); }

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct HostCase {
    const char* what;
    double value;
    double current;
    double expected;
};

TEST(DspFromHost, Pan)
{
    const HostCase cases[] = {
        {"NaN keeps the setting", kNaN, 1.0, 1.0},
        {"left", 0.0, 1.0, 0.0},
        {"right", 1.0, 0.0, 1.0},
        {"below half rounds left", 0.49, 1.0, 0.0},
        {"half rounds right", 0.5, 0.0, 1.0},
        {"below the range", -3.0, 1.0, 0.0},
        {"above the range", 7.0, 0.0, 1.0},
        {"minus infinity", -kInf, 1.0, 0.0},
        {"plus infinity", kInf, 0.0, 1.0},
    };
    for (const HostCase& c : cases) EXPECT_EQ(KorWayfarerDsp::PanFromHost(c.value, c.current), c.expected) << c.what;
}

TEST(DspFromHost, WetMix)
{
    const double exact = 0.1; // no float holds it
    const HostCase cases[] = {
        {"NaN keeps the setting", kNaN, -0.25, -0.25},
        {"a plain value", 0.25, 0.0, 0.25},
        {"the float of a value", FloatOf(0.3), 0.0, FloatOf(0.3)},
        {"the float of the setting keeps it exact", FloatOf(exact), exact, exact},
        {"another float replaces it", FloatOf(0.2), exact, FloatOf(0.2)},
        {"above the range", 5.0, 0.0, kA12},
        {"below the range", -5.0, 0.0, -kA12},
        {"plus infinity", kInf, 0.0, kA12},
        {"minus infinity", -kInf, 0.0, -kA12},
        {"the float of the bound", FloatOf(kA12), 0.0, kA12},
        {"the float of -12 dB", FloatOf(-kA12), 0.0, -kA12},
        {"the float of 6 dB", FloatOf(kA6), 0.0, kA6},
        {"the float of -6 dB", FloatOf(-kA6), 0.0, -kA6},
        {"the float of 3 dB", FloatOf(kA3), 0.0, kA3},
        {"the float of -3 dB", FloatOf(-kA3), 0.0, -kA3},
        {"zero", 0.0, kA6, 0.0},
    };
    for (const HostCase& c : cases)
        EXPECT_TRUE(SameBits(KorWayfarerDsp::WetMixFromHost(c.value, c.current), c.expected))
            << c.what << ": " << KorWayfarerDsp::WetMixFromHost(c.value, c.current);
}

TEST(DspFromState, ValuesAreKeptExactlyOrClamped)
{
    const struct {
        int param;
        double value;
        double expected;
    } cases[] = {
        {KorWayfarerDsp::kWetMix, 0.1, 0.1},     {KorWayfarerDsp::kWetMix, -kA3, -kA3},
        {KorWayfarerDsp::kWetMix, kNaN, 0.0},    {KorWayfarerDsp::kWetMix, 2.0, kA12},
        {KorWayfarerDsp::kWetMix, -kInf, -kA12}, {KorWayfarerDsp::kPan, 1.0, 1.0},
        {KorWayfarerDsp::kPan, kNaN, 0.0},       {KorWayfarerDsp::kPan, 9.0, 1.0},
        {KorWayfarerDsp::kPan, -1.0, 0.0},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(SameBits(KorWayfarerDsp::FromState(c.param, c.value), c.expected))
            << "param " << c.param << " value " << c.value;
}

TEST(DspPrograms, FactoryValuesAreInRangeAndNamed)
{
    EXPECT_EQ(KorWayfarerDsp::GetProgram(-1), nullptr);
    EXPECT_EQ(KorWayfarerDsp::GetProgram(KorWayfarerDsp::kNumPrograms), nullptr);
    for (int i = 0; i < KorWayfarerDsp::kNumPrograms; ++i) {
        const KorWayfarerDsp::Program* p = KorWayfarerDsp::GetProgram(i);
        ASSERT_NE(p, nullptr);
        EXPECT_GT(std::strlen(p->name), 0u);
        EXPECT_TRUE(p->pan == KorWayfarerDsp::kPanLeft || p->pan == KorWayfarerDsp::kPanRight) << p->name;
        EXPECT_LE(std::fabs(p->wetMix), kA12) << p->name;
        // A host hands the value back as a float; it must come back as the program's own value.
        EXPECT_TRUE(SameBits(KorWayfarerDsp::WetMixFromHost(FloatOf(p->wetMix), 0.0), p->wetMix)) << p->name;
    }
}

// ---- The float path against the double path, for every way a host may share buffers ----------

struct Layout {
    const char* what;
    // Which of the four arrays (in0, in1, out0, out1 = 0..3) each role uses.
    int in0, in1, out0, out1;
};

const Layout kLayouts[] = {
    {"separate", 0, 1, 2, 3},    {"in place", 0, 1, 0, 1},           {"crossed in place", 0, 1, 1, 0},
    {"one input", 0, 0, 2, 3},   {"one input in place", 0, 0, 0, 1}, {"shared outputs", 0, 1, 2, 2},
    {"out0 on in1", 0, 1, 1, 3}, {"out1 on in0", 0, 1, 2, 0},
};

const int kFrames = 37;

template <class Sample> std::vector<std::vector<Sample>> Arrays()
{
    std::vector<std::vector<Sample>> a(4, std::vector<Sample>(kFrames));
    for (int i = 0; i < kFrames; ++i) {
        a[0][i] = static_cast<Sample>(std::sin(0.3 * i) * 0.8);
        a[1][i] = static_cast<Sample>(std::cos(0.7 * i) * 0.6 + 1e-3);
        a[2][i] = static_cast<Sample>(0.125 * i);
        a[3][i] = static_cast<Sample>(-0.0625 * i);
    }
    return a;
}

TEST(DspFloatPath, MatchesTheDoublePathInEveryLayout)
{
    const struct {
        int pan;
        bool stereo;
        double wetMix;
    } settings[] = {{0, true, 0.0}, {1, true, -kA12}, {0, true, kA6}, {1, false, 0.3}, {0, false, -0.2}};

    for (const auto& s : settings) {
        KorWayfarerDsp dsp;
        dsp.SetPan(s.pan, s.stereo);
        dsp.SetWetMix(s.wetMix);
        for (const Layout& layout : kLayouts) {
            for (const bool accumulate : {false, true}) {
                // Adding twice into one shared output depends on which result goes first; no host
                // asks for that, and the reference below could only restate the effect's order.
                if (accumulate && layout.out0 == layout.out1) continue;
                auto f = Arrays<float>();
                auto d = Arrays<double>();
                float* fin[2] = {f[layout.in0].data(), f[layout.in1].data()};
                float* fout[2] = {f[layout.out0].data(), f[layout.out1].data()};
                dsp.ProcessFloat(fin, fout, kFrames, accumulate);

                // The double path on the same values, converted as a host's wrapper would.
                for (auto& array : d)
                    for (double& v : array) v = static_cast<double>(static_cast<float>(v));
                std::vector<std::vector<double>> result;
                if (accumulate) {
                    // Accumulating adds the effect's output, computed from the inputs as they were.
                    std::vector<double> o0(kFrames), o1(kFrames);
                    double* din[2] = {d[layout.in0].data(), d[layout.in1].data()};
                    double* dout[2] = {o0.data(), o1.data()};
                    dsp.Process(din, dout, kFrames);
                    for (int i = 0; i < kFrames; ++i) {
                        d[layout.out0][i] = static_cast<float>(d[layout.out0][i] + o0[i]);
                        d[layout.out1][i] = static_cast<float>(d[layout.out1][i] + o1[i]);
                    }
                } else {
                    double* din[2] = {d[layout.in0].data(), d[layout.in1].data()};
                    double* dout[2] = {d[layout.out0].data(), d[layout.out1].data()};
                    dsp.Process(din, dout, kFrames);
                }
                for (int a = 0; a < 4; ++a)
                    for (int i = 0; i < kFrames; ++i)
                        ASSERT_EQ(f[a][i], static_cast<float>(d[a][i]))
                            << layout.what << (accumulate ? " accumulating" : "") << ", pan " << s.pan << ", wet mix "
                            << s.wetMix << ", array " << a << ", frame " << i;
            }
        }
    }
}

TEST(DspFloatPath, RoutesAndScales)
{
    // Pan picks the inverted output; a positive Wet Mix scales the left input, a negative one the
    // right; mono feeds both outputs from the first input.
    const struct {
        int pan;
        bool stereo;
        double wetMix;
        float out0, out1; // for inputs 1 and 2
    } cases[] = {
        {0, true, 0.0, 1.0f, -2.0f},  {1, true, 0.0, -1.0f, 2.0f},  {0, true, 0.5, 0.5f, -2.0f},
        {0, true, -0.5, 1.0f, -1.0f}, {1, true, -0.5, -1.0f, 1.0f}, {0, false, 0.0, 1.0f, -1.0f},
        {1, false, 0.5, -0.5f, 0.5f},
    };
    for (const auto& c : cases) {
        KorWayfarerDsp dsp;
        dsp.SetPan(c.pan, c.stereo);
        dsp.SetWetMix(c.wetMix);
        float in0 = 1.0f, in1 = 2.0f, out0 = 9.0f, out1 = 9.0f;
        float* ins[2] = {&in0, &in1};
        float* outs[2] = {&out0, &out1};
        dsp.ProcessFloat(ins, outs, 1, false);
        EXPECT_EQ(out0, c.out0) << "pan " << c.pan << " stereo " << c.stereo << " wet mix " << c.wetMix;
        EXPECT_EQ(out1, c.out1) << "pan " << c.pan << " stereo " << c.stereo << " wet mix " << c.wetMix;
    }
}

} // namespace
