#include "plugcore/IParam.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

void MakeEnum(IParam& p)
{
    p.InitEnum("Pan", 0, 2);
    p.SetDisplayText(0, "Left");
    p.SetDisplayText(1, "Right");
}

void MakeWetMix(IParam& p) { p.InitDouble("Wet Mix", 0.0, -0.748811356849042, 0.748811356849042, 0.01, ""); }

TEST(IParam, InitDoubleWidensAnEmptyRangeByOneStep)
{
    IParam p;
    p.InitDouble("x", 0, 0, 0, 0.25, "");
    EXPECT_EQ(p.GetMax(), 0.25);
    EXPECT_EQ(p.GetPrecision(), 2);
    EXPECT_EQ(p.Type(), IParam::kTypeDouble);
}

TEST(IParam, PrecisionFollowsTheStep)
{
    const struct {
        double step;
        int precision;
    } cases[] = {{1, 0}, {0.5, 1}, {0.01, 2}, {0.001, 3}, {1.0 / 3.0, 6}, {2, 0}};
    for (const auto& c : cases) {
        IParam p;
        p.InitDouble("x", 0, 0, 10, c.step, "");
        EXPECT_EQ(p.GetPrecision(), c.precision) << "step " << c.step;
    }
}

TEST(IParam, EnumSnapsToTheNearestValue)
{
    IParam p;
    MakeEnum(p);
    EXPECT_EQ(p.Type(), IParam::kTypeEnum);
    const struct {
        double normalized;
        double value;
    } cases[] = {{0.0, 0}, {0.49, 0}, {0.5, 1}, {1.0, 1}, {1.7, 1}};
    for (const auto& c : cases) {
        p.SetNormalizedValue(c.normalized);
        EXPECT_EQ(p.Value(), c.value) << c.normalized;
    }
    p.SetNormalizedValue(1.0);
    EXPECT_EQ(p.GetNormalizedValue(), 1.0);
}

TEST(IParam, ContinuousValuesAreNotSnapped)
{
    IParam p;
    MakeWetMix(p);
    p.SetNormalizedValue(0.5);
    EXPECT_EQ(p.Value(), 0.0);
    p.SetNormalizedValue(0.123456);
    EXPECT_DOUBLE_EQ(p.Value(), -0.748811356849042 + 0.123456 * 2 * 0.748811356849042);
    p.SetNormalizedValue(1.0);
    EXPECT_EQ(p.Value(), 0.748811356849042);
    p.SetNormalizedValue(-0.5); // no lower clamp: hosts supply 0..1
    EXPECT_LT(p.Value(), p.GetMin());
}

TEST(IParam, NormalizedReadClampsIntoTheRange)
{
    IParam p;
    MakeWetMix(p);
    EXPECT_EQ(p.GetNormalizedValue(5.0), 1.0);
    EXPECT_EQ(p.GetNormalizedValue(-5.0), 0.0);
    EXPECT_EQ(p.GetNormalizedValue(0.0), 0.5);
}

TEST(IParam, NaNNeverReachesTheValue)
{
    IParam p;
    MakeWetMix(p);
    p.Set(0.3);
    p.Set(kNaN);
    EXPECT_EQ(p.Value(), 0.0); // missing data reads as 0.0, clamped into the range

    IParam positive;
    positive.InitDouble("y", 5, 2, 10, 1, "");
    positive.Set(kNaN);
    EXPECT_EQ(positive.Value(), 2.0);

    p.Set(0.3);
    p.SetNormalizedValue(kNaN);
    EXPECT_EQ(p.Value(), 0.3);

    p.Set(kInf);
    EXPECT_EQ(p.Value(), p.GetMax());
    p.Set(-kInf);
    EXPECT_EQ(p.Value(), p.GetMin());
}

TEST(IParam, DisplayTexts)
{
    IParam p;
    MakeEnum(p);
    p.SetDisplayText(1, "Duplicate");
    EXPECT_STREQ(p.GetDisplayText(1), "Right");
    EXPECT_STREQ(p.GetDisplayText(2), "");
    EXPECT_EQ(p.NumDisplayTexts(), 3);

    int v = 42;
    EXPECT_FALSE(p.MapDisplayText("left", &v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(p.MapDisplayText("Right", &v));
    EXPECT_EQ(v, 1);
}

TEST(IParam, DisplayForHost)
{
    IParam mix;
    MakeWetMix(mix);
    IParam pan;
    MakeEnum(pan);
    char out[MAX_PARAM_DISPLAY_LEN];
    const struct {
        const IParam* param;
        double value;
        bool normalized;
        const char* text;
    } cases[] = {
        {&mix, 0.25, false, "0.25"}, {&mix, 0.0, false, "0"},     {&mix, -0.7488, false, "-0.75"},
        {&mix, 1.0, true, "0.75"},   {&mix, 0.0, true, "-0.75"},  {&mix, 0.5, true, "0"},
        {&pan, 0.0, false, "Left"},  {&pan, 1.0, false, "Right"}, {&pan, 1.0, true, "Right"},
    };
    for (const auto& c : cases) {
        c.param->GetDisplayForHost(c.value, c.normalized, out);
        EXPECT_STREQ(out, c.text) << c.value << (c.normalized ? " normalized" : "");
    }

    IParam whole;
    whole.InitDouble("n", 0, -100, 100, 1, "dB");
    whole.GetDisplayForHost(-7.9, false, out);
    EXPECT_STREQ(out, "-7");
}

TEST(IParam, DisplayOfExtremeValuesStaysInItsBuffer)
{
    IParam whole;
    whole.InitDouble("n", 0, -1e300, 1e300, 1, "");
    IParam fine;
    fine.InitDouble("f", 0, -1e300, 1e300, 0.000001, "");
    char out[MAX_PARAM_DISPLAY_LEN + 8];
    memset(out, 'Z', sizeof out);
    for (double v : {1e300, -1e300, kNaN, kInf, -kInf}) {
        whole.GetDisplayForHost(v, false, out);
        fine.GetDisplayForHost(v, false, out);
        for (size_t i = MAX_PARAM_DISPLAY_LEN; i < sizeof out; ++i) ASSERT_EQ(out[i], 'Z');
    }
    whole.GetDisplayForHost(1e300, false, out);
    EXPECT_EQ(std::string(out), std::to_string(INT_MAX));
}

TEST(IParam, LabelHidesBehindDisplayTexts)
{
    IParam pan;
    MakeEnum(pan);
    EXPECT_STREQ(pan.GetLabelForHost(), "");
    IParam gain;
    gain.InitDouble("Gain", 0, -12, 12, 0.1, "dB");
    EXPECT_STREQ(gain.GetLabelForHost(), "dB");
    gain.SetDisplayText(0, "Unity");
    EXPECT_STREQ(gain.GetLabelForHost(), "");
    gain.Set(3);
    EXPECT_STREQ(gain.GetLabelForHost(), "dB");
}

TEST(IParam, DBToAmp)
{
    IParam p;
    p.InitDouble("g", -6, -60, 12, 0.1, "dB");
    EXPECT_NEAR(p.DBToAmp(), 0.501187, 1e-6);
    EXPECT_EQ(p.DBToAmp(), std::exp(0.1151292546497 * -6));
}

TEST(IParam, TruncToIntHasNoUndefinedCases)
{
    EXPECT_EQ(TruncToInt(kNaN), 0);
    EXPECT_EQ(TruncToInt(1e20), INT_MAX);
    EXPECT_EQ(TruncToInt(-1e20), INT_MIN);
    EXPECT_EQ(TruncToInt(-2.9), -2);
    EXPECT_EQ(TruncToInt(2.9), 2);
}

TEST(IParam, LongTextsAreCut)
{
    IParam p;
    const std::string longName(100, 'n');
    p.InitDouble(longName.c_str(), 0, 0, 1, 1, longName.c_str());
    p.SetDisplayText(0, longName.c_str());
    EXPECT_EQ(strlen(p.GetNameForHost()), MAX_PARAM_NAME_LEN - 1u);
    EXPECT_EQ(strlen(p.GetDisplayText(0)), MAX_PARAM_DISPLAY_LEN - 1u);
}

} // namespace
