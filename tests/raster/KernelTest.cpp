#include "RasterModel.h"
#include "raster/LiceKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace raster_test;

namespace {

const int kAllKernels[] = {
    LICE_MODE_COPY, LICE_MODE_ADD, LICE_MODE_DODGE, LICE_MODE_MULTIPLY, LICE_MODE_OVERLAY, LICE_MODE_HSV_ADJUST,
};

struct KernelCase {
    const char* what;
    int mode;
    LICE_ColorWord dest;
    LICE_ColorWord source;
    int w;
    LICE_ColorWord expected;
};

class KernelWorkedCase : public testing::TestWithParam<KernelCase> {};

TEST_P(KernelWorkedCase, Holds)
{
    const KernelCase& c = GetParam();
    LICE_ColorWord d = c.dest;
    LICE_BlendPixel(&d, LICE_GETR(c.source), LICE_GETG(c.source), LICE_GETB(c.source), LICE_GETA(c.source), c.w,
                    c.mode);
    EXPECT_EQ(d, c.expected) << c.what;
}

const int SA = LICE_FLAG_SOURCE_ALPHA;

INSTANTIATE_TEST_SUITE_P(
    Formulas, KernelWorkedCase,
    testing::Values(
        KernelCase{"source alpha 0 leaves the pixel", SA | LICE_MODE_COPY, 0x80402010, 0x00FFFFFF, 256, 0x80402010},
        KernelCase{"source alpha 255 gives the source exactly", SA | LICE_MODE_COPY, 0x80402010, 0xFF123456, 256,
                   0xFF123456},
        // sa 127: w' = 128, each channel (s * 128 + d * 128) / 256
        KernelCase{"source alpha 127 averages", SA | LICE_MODE_COPY, 0x10203040, 0x7F605040, 256, 0x47404040},
        KernelCase{"add saturates", LICE_MODE_ADD, LICE_RGBA(200, 200, 200, 200), LICE_RGBA(100, 10, 0, 0), 256,
                   LICE_RGBA(255, 210, 200, 200)},
        KernelCase{"dodge at s = 255 saturates unless d = 0", LICE_MODE_DODGE, LICE_RGBA(1, 0, 100, 0),
                   LICE_RGBA(255, 255, 255, 0), 256, LICE_RGBA(255, 0, 255, 0)},
        // t = 128: d * 256 / 128
        KernelCase{"dodge doubles at half", LICE_MODE_DODGE, LICE_RGBA(60, 0, 0, 0), LICE_RGBA(128, 0, 0, 0), 256,
                   LICE_RGBA(120, 0, 0, 0)},
        // dodge and overlay run even for a transparent source, with w' = 1
        KernelCase{"source-alpha dodge runs at sa 0", SA | LICE_MODE_DODGE, LICE_RGBA(100, 100, 100, 100),
                   LICE_RGBA(255, 255, 255, 0), 256, LICE_RGBA(100, 100, 100, 100)},
        KernelCase{"multiply by white keeps", LICE_MODE_MULTIPLY, 0x80402010, 0xFFFFFFFF, 256, 0x7F3F1F0F},
        KernelCase{"multiply at weight 0 keeps", LICE_MODE_MULTIPLY, 0x80402010, 0x00000000, 0, 0x80402010},
        KernelCase{"overlay with mid gray keeps", LICE_MODE_OVERLAY, LICE_RGBA(100, 200, 30, 255),
                   LICE_RGBA(128, 128, 128, 128), 256, LICE_RGBA(100, 200, 30, 255)},
        KernelCase{"HSV at 128 keeps pure red", LICE_MODE_HSV_ADJUST, LICE_RGBA(255, 0, 0, 10),
                   LICE_RGBA(128, 128, 128, 77), 256, LICE_RGBA(255, 0, 0, 77)},
        KernelCase{"HSV at 128 keeps gray", LICE_MODE_HSV_ADJUST, LICE_RGBA(128, 128, 128, 255),
                   LICE_RGBA(128, 128, 128, 0), 256, LICE_RGBA(128, 128, 128, 0)},
        KernelCase{"HSV value down to black", LICE_MODE_HSV_ADJUST, LICE_RGBA(200, 100, 50, 255),
                   LICE_RGBA(128, 128, 0, 255), 512, LICE_RGBA(0, 0, 0, 255)},
        KernelCase{"mode 6 does nothing", 6, 0x12345678, 0xFFFFFFFF, 256, 0x12345678}));

TEST(Kernels, MatchTheModelForEveryModeAndWeight)
{
    Rng rng(5);
    const int weights[] = {256, 128, 64, 192, 0, 1, 255, 230, -64, 300, 1024, -16384, 16384};
    for (int sourceAlpha = 0; sourceAlpha < 2; ++sourceAlpha) {
        for (int kind : kAllKernels) {
            const int mode = kind | (sourceAlpha ? LICE_FLAG_SOURCE_ALPHA : 0);
            for (int n = 0; n < 4000; ++n) {
                const LICE_ColorWord d = rng(), s = rng();
                const int w = n < 13 * 100 ? weights[n % 13] : static_cast<int>(rng() % 600) - 100;
                const int a = n % 7 == 0 ? 0 : n % 7 == 1 ? 255 : LICE_GETA(s);
                LICE_ColorWord got = d;
                LICE_BlendPixel(&got, LICE_GETR(s), LICE_GETG(s), LICE_GETB(s), a, w, mode);
                const LICE_ColorWord want = ModelBlend(d, LICE_GETR(s), LICE_GETG(s), LICE_GETB(s), a, w, mode);
                ASSERT_EQ(got, want) << "mode " << mode << " w " << w << " d " << std::hex << d << " s " << s;
            }
        }
    }
}

TEST(Interpolation, MatchesTheModel)
{
    Rng rng(3);
    for (int n = 0; n < 20000; ++n) {
        const LICE_ColorWord p[4] = {rng(), rng(), rng(), rng()};
        const unsigned fx = n < 4 ? (n & 1) * 65535u : rng() & 0xFFFF, fy = n < 4 ? (n >> 1) * 65535u : rng() & 0xFFFF;
        ASSERT_EQ(LICE_Interpolate2(p[0], p[1], fx), ModelInterpolate2(p[0], p[1], static_cast<int>(fx)));
        ASSERT_EQ(LICE_Interpolate4(p[0], p[1], p[2], p[3], fx, fy),
                  ModelInterpolate4(p[0], p[1], p[2], p[3], static_cast<int>(fx), static_cast<int>(fy)));
    }
    // At fraction 0 the first pixel comes back unchanged.
    EXPECT_EQ(LICE_Interpolate4(0x12345678, 1, 2, 3, 0, 0), 0x12345678u);
    EXPECT_EQ(LICE_Interpolate2(0x12345678, 0xFFFFFFFF, 0), 0x12345678u);
}

TEST(Weights, TruncateAndStayInRange)
{
    EXPECT_EQ(LICE_IntWeight(1.0f), 256);
    EXPECT_EQ(LICE_IntWeight(0.9f), 230);
    EXPECT_EQ(LICE_IntWeight(-0.5f), -128);
    EXPECT_EQ(LICE_IntWeight(1e30f), 64 * 256);
    EXPECT_EQ(LICE_IntWeight(-std::numeric_limits<float>::infinity()), -64 * 256);
    EXPECT_EQ(LICE_IntWeight(std::numeric_limits<float>::quiet_NaN()), 0);
}

} // namespace
