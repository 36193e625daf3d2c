#include "effect/KorFreeWayfarer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const double kA12 = 0.748811356849042;
const double kA6 = 0.498812766372728;
const double kA3 = 0.292054215615862;

class Effect : public testing::Test {
protected:
    Effect() { plug.NotifyAllParamsChanged(); }

    void Set(double pan, double wetMix)
    {
        plug.GetParam(0)->Set(pan);
        plug.GetParam(1)->Set(wetMix);
        plug.HandleParamChange(0);
        plug.HandleParamChange(1);
    }

    // Runs the effect on separate buffers and returns {out0, out1}.
    std::vector<std::vector<double>> Run(const std::vector<double>& in0, const std::vector<double>& in1)
    {
        std::vector<double> a = in0, b = in1, o0(in0.size(), 99.0), o1(in0.size(), 99.0);
        double* ins[] = {a.data(), b.data()};
        double* outs[] = {o0.data(), o1.data()};
        plug.ProcessAudio(ins, outs, static_cast<int>(in0.size()));
        return {o0, o1};
    }

    KorFreeWayfarer plug{nullptr};
};

TEST_F(Effect, Identity)
{
    EXPECT_STREQ(plug.GetEffectName(), "Free Wayfarer-Phase Modifier");
    EXPECT_STREQ(plug.GetMfrName(), "Tarnbek");
    EXPECT_STREQ(plug.GetProductName(), "");
    EXPECT_EQ(plug.GetUniqueID(), 0x6b6f7277);
    EXPECT_EQ(plug.GetMfrID(), 0x626b6f72);
    EXPECT_EQ(plug.GetEffectVersion(true), 10200);
    EXPECT_STREQ(plug.GetVersionText(), "v1.2");
    EXPECT_EQ(plug.NParams(), 2);
    EXPECT_EQ(plug.NPresets(), 12);
    EXPECT_EQ(plug.SplashShowsLeft(), 3);
}

TEST_F(Effect, AttenuationConstants)
{
    EXPECT_NEAR(KorFreeWayfarer::AttenuationFor(KorFreeWayfarer::kLn12dB), kA12, 1e-15);
    EXPECT_NEAR(KorFreeWayfarer::AttenuationFor(KorFreeWayfarer::kLn6dB), kA6, 1e-15);
    EXPECT_NEAR(KorFreeWayfarer::AttenuationFor(KorFreeWayfarer::kLn3dB), kA3, 1e-15);
    EXPECT_EQ(plug.GetParam(1)->GetMax(), KorFreeWayfarer::AttenuationFor(KorFreeWayfarer::kLn12dB));
    EXPECT_EQ(plug.GetParam(1)->GetMin(), -plug.GetParam(1)->GetMax());
}

TEST_F(Effect, FactoryPrograms)
{
    const struct {
        const char* name;
        double pan, wetMix;
    } expected[] = {
        {"RESET to defaults", 0, 0.0},
        {"Pan hard left", 1, -kA12},
        {"Pan left", 1, -kA6},
        {"Pan slight left", 1, -kA3},
        {"Pan center", 0, 0.0},
        {"Pan slight right", 0, kA3},
        {"Pan right", 0, kA6},
        {"Pan hard right", 0, kA12},
        {"User 1", 0, 0.0},
        {"User 2", 0, 0.0},
        {"User 3", 0, 0.0},
        {"User 4", 0, 0.0},
    };
    for (int i = 0; i < 12; ++i) {
        EXPECT_STREQ(plug.GetPresetName(i), expected[i].name);
        ASSERT_TRUE(plug.LoadPreset(i)) << i;
        EXPECT_EQ(plug.GetParam(0)->Value(), expected[i].pan) << i;
        EXPECT_NEAR(plug.GetParam(1)->Value(), expected[i].wetMix, 1e-15) << i;
    }
    plug.LoadPreset(1);
    EXPECT_EQ(plug.GetParam(0)->GetNormalizedValue(), 1.0);
    EXPECT_EQ(plug.GetParam(1)->GetNormalizedValue(), 0.0);
}

TEST_F(Effect, Displays)
{
    char out[MAX_PARAM_DISPLAY_LEN];
    const struct {
        int param;
        double normalized;
        const char* text;
    } cases[] = {{1, 1.0, "0.75"}, {1, 0.0, "-0.75"}, {1, 0.5, "0"}, {0, 0.0, "Left"}, {0, 1.0, "Right"}};
    for (const auto& c : cases) {
        plug.GetParam(c.param)->SetNormalizedValue(c.normalized);
        plug.GetParam(c.param)->GetDisplayForHost(out);
        EXPECT_STREQ(out, c.text);
        EXPECT_STREQ(plug.GetParam(c.param)->GetLabelForHost(), "");
    }
    EXPECT_STREQ(plug.GetParam(0)->GetNameForHost(), "Pan");
    EXPECT_STREQ(plug.GetParam(1)->GetNameForHost(), "Wet Mix");
}

TEST_F(Effect, RoutingAndGains)
{
    const std::vector<double> in0 = {0.5, -0.25, 1.0}, in1 = {-0.75, 0.125, 0.3};
    const struct {
        double pan, wetMix;
        double g0, g1;
        bool invertLeft;
    } cases[] = {
        {0, 0.0, 1.0, 1.0, false},    {0, kA12, 1.0 - kA12, 1.0, false}, {1, -kA12, 1.0, 1.0 - kA12, true},
        {1, 0.3, 0.7, 1.0, true},     {0, 1e-17, 1.0, 1.0, false}, // inside +-2^-52: no attenuation at all
        {0, -1e-17, 1.0, 1.0, false},
    };
    for (const auto& c : cases) {
        Set(c.pan, c.wetMix);
        const auto out = Run(in0, in1);
        for (size_t i = 0; i < in0.size(); ++i) {
            const double left = c.g0 * in0[i], right = c.g1 * in1[i];
            EXPECT_EQ(out[0][i], c.invertLeft ? -left : left) << c.pan << " " << c.wetMix;
            EXPECT_EQ(out[1][i], c.invertLeft ? right : -right) << c.pan << " " << c.wetMix;
        }
    }
}

TEST_F(Effect, MonoFeedsBothOutputsFromInputZero)
{
    plug.SetInputConnections(1, 1, false);
    for (double pan : {0.0, 1.0}) {
        Set(pan, -0.5); // a negative mix only touches the unused right gain
        const auto out = Run({0.5, 0.25}, {7.0, 7.0});
        const double sign = pan == 0.0 ? 1.0 : -1.0;
        EXPECT_EQ(out[0][0], sign * 0.5);
        EXPECT_EQ(out[1][0], -sign * 0.5);
        EXPECT_EQ(out[1][1], -sign * 0.25);
    }
}

TEST_F(Effect, InPlaceMonoScalesTheInputOnce)
{
    plug.SetInputConnections(1, 1, false);
    Set(0, 0.5);
    std::vector<double> buf0 = {0.8, -0.4, 0.2}, buf1 = {9, 9, 9};
    double* ins[] = {buf0.data(), buf1.data()};
    double* outs[] = {buf0.data(), buf1.data()};
    plug.ProcessAudio(ins, outs, 3);
    EXPECT_EQ(buf0, (std::vector<double>{0.5 * 0.8, 0.5 * -0.4, 0.5 * 0.2}));
    EXPECT_EQ(buf1, (std::vector<double>{-(0.5 * 0.8), -(0.5 * -0.4), -(0.5 * 0.2)}));
}

TEST_F(Effect, ZeroFramesWritesNothing)
{
    const auto out = Run({}, {});
    EXPECT_TRUE(out[0].empty());
    std::vector<double> a = {1}, o = {99};
    double* ins[] = {a.data(), a.data()};
    double* outs[] = {o.data(), o.data()};
    plug.ProcessAudio(ins, outs, 0);
    EXPECT_EQ(o[0], 99);
}

TEST_F(Effect, RoutingBeforeOpenIsTheDefault)
{
    KorFreeWayfarer fresh(nullptr);
    std::vector<double> a = {0.5}, b = {0.25}, o0 = {0}, o1 = {0};
    double* ins[] = {a.data(), b.data()};
    double* outs[] = {o0.data(), o1.data()};
    fresh.ProcessAudio(ins, outs, 1);
    EXPECT_EQ(o0[0], 0.5);
    EXPECT_EQ(o1[0], -0.25);
}

} // namespace

namespace {

// The float paths are an optimisation of "widen, ProcessAudio, round (or add) back": they must
// give the same bits, in place or not, for every routing.
class FloatPath : public testing::TestWithParam<std::tuple<int, bool, bool, bool>> {};

TEST_P(FloatPath, MatchesTheDoublePathBitForBit)
{
    const auto [setting, mono, inPlace, accumulate] = GetParam();
    const double wetMix[] = {0.0, 0.61, -0.61, 0.748811356849042};
    KorFreeWayfarer plug(nullptr);
    plug.SetInputConnections(0, 2, true);
    plug.SetOutputConnections(0, 2, true);
    if (mono) plug.SetInputConnections(1, 1, false);
    plug.GetParam(0)->Set(setting % 2);
    plug.GetParam(1)->Set(wetMix[setting % 4]);
    plug.NotifyAllParamsChanged();

    const int n = 37;
    std::vector<float> in0(n), in1(n), out0(n), out1(n);
    uint32_t seed = 12345u + static_cast<uint32_t>(setting);
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<int32_t>(seed)) / 2147483648.0f;
    };
    for (int i = 0; i < n; ++i) {
        in0[i] = next();
        in1[i] = next();
        out0[i] = next();
        out1[i] = next();
    }

    // What the double path delivers.
    std::vector<double> d0(in0.begin(), in0.end()), d1(in1.begin(), in1.end()), r0(n), r1(n);
    if (mono) std::fill(d1.begin(), d1.end(), 0.0);
    double* dins[] = {d0.data(), d1.data()};
    double* douts[] = {r0.data(), r1.data()};
    plug.ProcessAudio(dins, douts, n);
    std::vector<float> expected0(n), expected1(n);
    for (int i = 0; i < n; ++i) {
        const float base0 = inPlace ? in0[i] : out0[i], base1 = inPlace ? in1[i] : out1[i];
        expected0[i] = accumulate ? static_cast<float>(static_cast<double>(base0) + r0[i]) : static_cast<float>(r0[i]);
        expected1[i] = accumulate ? static_cast<float>(static_cast<double>(base1) + r1[i]) : static_cast<float>(r1[i]);
    }

    float* ins[] = {in0.data(), in1.data()};
    float* outs[] = {inPlace ? in0.data() : out0.data(), inPlace ? in1.data() : out1.data()};
    plug.AttachInputs(0, 2, ins, n);
    plug.AttachOutputs(0, 2, outs);
    if (accumulate)
        plug.RunProcessAccumulating(n);
    else
        plug.RunProcessFloat(n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(outs[0][i], expected0[i]) << "frame " << i;
        ASSERT_EQ(outs[1][i], expected1[i]) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(AllRoutings, FloatPath,
                         testing::Combine(testing::Range(0, 8), testing::Bool(), testing::Bool(), testing::Bool()));

// A host may hand the same buffer as both outputs, and as an input too. Whatever stays in it must
// be what the double path leaves there: the inverted output is written last.
TEST(FloatPathAliasing, BothOutputsOnOneInputMatchTheDoublePath)
{
    for (int setting = 0; setting < 8; ++setting) {
        for (int shared = 0; shared < 2; ++shared) {
            SCOPED_TRACE(testing::Message() << "setting " << setting << ", outputs on input " << shared);
            KorFreeWayfarer plug(nullptr);
            plug.SetInputConnections(0, 2, true);
            plug.SetOutputConnections(0, 2, true);
            plug.GetParam(0)->Set(setting % 2);
            plug.GetParam(1)->Set(setting < 4 ? 0.0 : (setting < 6 ? 0.61 : -0.61));
            plug.NotifyAllParamsChanged();

            const int n = 19;
            std::vector<float> f[2] = {std::vector<float>(n), std::vector<float>(n)};
            for (int i = 0; i < n; ++i) {
                f[0][i] = 0.25f + 0.01f * static_cast<float>(i);
                f[1][i] = -0.5f + 0.03f * static_cast<float>(i);
            }
            std::vector<double> d[2] = {std::vector<double>(f[0].begin(), f[0].end()),
                                        std::vector<double>(f[1].begin(), f[1].end())};
            double* dins[] = {d[0].data(), d[1].data()};
            double* douts[] = {d[shared].data(), d[shared].data()};
            plug.ProcessAudio(dins, douts, n);

            float* ins[] = {f[0].data(), f[1].data()};
            float* outs[] = {f[shared].data(), f[shared].data()};
            plug.AttachInputs(0, 2, ins, n);
            plug.AttachOutputs(0, 2, outs);
            plug.RunProcessFloat(n);
            for (int i = 0; i < n; ++i) ASSERT_EQ(f[shared][i], static_cast<float>(d[shared][i])) << "frame " << i;
        }
    }
}

} // namespace
