// The format-free core: how a host's plain values and a saved state's values become settings. Its
// processing is tested through the VST effect (KorFreeWayfarerTest) and the LV2 plug-in.
#include "effect/KorWayfarerDsp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

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

} // namespace
