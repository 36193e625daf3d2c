#include "RasterModel.h"
#include "raster/LiceBlit.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace raster_test;

namespace {

// Runs a test body with the fast paths on and again with them off; both must match the model.
class BothPaths : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { LICE_SetFastPaths(GetParam()); }
    void TearDown() override { LICE_SetFastPaths(true); }
};

float PickWeight(Rng& rng)
{
    const float fixed[] = {1.0f, 0.5f, 0.25f, 0.75f, 0.0f, 0.3f, 1.0f, 0.5f};
    const unsigned pick = rng() % 10;
    if (pick < 8) return fixed[pick];
    return static_cast<float>(static_cast<int>(rng() % 2000) - 500) / 1000.0f;
}

int PickMode(Rng& rng, bool channelCopy)
{
    const unsigned pick = rng() % 16;
    int mode = static_cast<int>(pick % 6);
    if (pick == 12) mode = 6; // no kernel
    if (pick == 13 && channelCopy) mode = 0xF0 | static_cast<int>(rng() & 0xF);
    if (rng() & 1) mode |= LICE_FLAG_SOURCE_ALPHA;
    const int filters[] = {0, 0, 0x100, 0x200};
    return mode | filters[rng() % 4];
}

struct Pair {
    Image src, dst;
    TestBitmap srcBmp, dstBmp;
    Pair(Rng& rng, int maxW, int maxH)
        : src(RandomImage(rng, 1 + static_cast<int>(rng() % maxW), 1 + static_cast<int>(rng() % maxH))),
          dst(RandomImage(rng, 1 + static_cast<int>(rng() % maxW), 1 + static_cast<int>(rng() % maxH))),
          srcBmp(src, rng() & 1),
          dstBmp(dst, rng() & 1)
    {
    }
    // Compares the bitmap with the model and checks that the source and the row padding survived.
    void Check(const Image& model, const std::string& what)
    {
        const std::string diff = FirstDifference(model, dstBmp.Snapshot());
        ASSERT_TRUE(diff.empty()) << what << ": " << diff;
        ASSERT_TRUE(dstBmp.GuardsIntact() && srcBmp.GuardsIntact()) << what << ": wrote outside the rows";
        ASSERT_TRUE(FirstDifference(src, srcBmp.Snapshot()).empty()) << what << ": source changed";
    }
};

std::string Describe(int seed, int mode, float weight)
{
    char buf[96];
    snprintf(buf, sizeof buf, "seed %d mode %05X weight %g", seed, mode, static_cast<double>(weight));
    return buf;
}

TEST_P(BothPaths, BlitRectMatchesTheModel)
{
    for (int seed = 1; seed <= 3000; ++seed) {
        Rng rng(static_cast<unsigned>(seed));
        Pair p(rng, 40, 16);
        const int x = static_cast<int>(rng() % 90) - 45, y = static_cast<int>(rng() % 40) - 20;
        const int mode = PickMode(rng, true);
        const float weight = PickWeight(rng);
        LICE_Rect r = {static_cast<int>(rng() % 50) - 5, static_cast<int>(rng() % 24) - 5,
                       static_cast<int>(rng() % 50) - 5, static_cast<int>(rng() % 24) - 5};
        const LICE_Rect* rect = rng() % 3 ? &r : nullptr;
        Image model = p.dst;
        ModelBlitRect(model, p.src, x, y, rect, weight, mode);
        LICE_BlitRect(&p.dstBmp, &p.srcBmp, x, y, rect, weight, mode);
        p.Check(model, Describe(seed, mode, weight));
        if (HasFatalFailure()) return;
    }
}

TEST_P(BothPaths, StretchBlitMatchesTheModel)
{
    for (int seed = 1; seed <= 3000; ++seed) {
        Rng rng(static_cast<unsigned>(seed));
        Pair p(rng, 24, 16);
        auto coord = [&](int range) { return static_cast<int>(rng() % (2 * range)) - range / 2; };
        int dw = coord(40), dh = coord(30);
        if (!dw) dw = 7;
        if (!dh) dh = -3;
        const bool unscaled = rng() % 4 == 0;
        const float sx = rng() & 1 ? static_cast<float>(coord(16)) : static_cast<float>(coord(1600)) / 64.0f;
        const float sy = rng() & 1 ? static_cast<float>(coord(12)) : static_cast<float>(coord(1200)) / 64.0f;
        const float sw = unscaled ? static_cast<float>(dw) : static_cast<float>(coord(3200)) / 64.0f;
        const float sh = unscaled ? static_cast<float>(dh) : static_cast<float>(coord(2400)) / 64.0f;
        const int dx = coord(40), dy = coord(30), mode = PickMode(rng, false);
        const float weight = PickWeight(rng);
        Image model = p.dst;
        ModelStretchBlit(model, p.src, dx, dy, dw, dh, sx, sy, sw, sh, weight, mode);
        LICE_StretchBlit(&p.dstBmp, &p.srcBmp, dx, dy, dw, dh, sx, sy, sw, sh, weight, mode);
        p.Check(model, Describe(seed, mode, weight));
        if (HasFatalFailure()) return;
    }
}

TEST_P(BothPaths, RotateBlitMatchesTheModel)
{
    for (int seed = 1; seed <= 2000; ++seed) {
        Rng rng(static_cast<unsigned>(seed));
        Pair p(rng, 24, 16);
        auto coord = [&](int range) { return static_cast<int>(rng() % (2 * range)) - range / 2; };
        int dw = coord(40), dh = coord(30);
        if (!dw) dw = 5;
        if (!dh) dh = 9;
        const float sx = static_cast<float>(coord(640)) / 64.0f, sy = static_cast<float>(coord(640)) / 64.0f;
        const float sw = static_cast<float>(coord(2400)) / 64.0f, sh = static_cast<float>(coord(1600)) / 64.0f;
        const float angle = static_cast<float>(coord(2000)) / 200.0f;
        const bool clip = rng() & 1;
        const float ox = static_cast<float>(coord(8)) / 2.0f, oy = static_cast<float>(coord(8)) / 2.0f;
        const int dx = coord(40), dy = coord(30), mode = PickMode(rng, false);
        const float weight = PickWeight(rng);
        Image model = p.dst;
        ModelRotateBlit(model, p.src, dx, dy, dw, dh, sx, sy, sw, sh, angle, clip, weight, mode, ox, oy);
        LICE_RotateBlit(&p.dstBmp, &p.srcBmp, dx, dy, dw, dh, sx, sy, sw, sh, angle, clip, weight, mode, ox, oy);
        p.Check(model, Describe(seed, mode, weight));
        if (HasFatalFailure()) return;
    }
}

TEST_P(BothPaths, BilinearMagnificationMatchesTheModel)
{
    // Whole and fractional factors put rows and columns exactly on source pixels (fractions 0)
    // as well as between them, over rows long enough for the vector loops.
    Rng rng(77);
    const Image src = RandomImage(rng, 37, 23), base = RandomImage(rng, 90, 70);
    const float factors[][4] = {
        {0, 0, 2, 2}, {0.5f, 0, 3, 1.5f}, {-1, 2, 1.25f, 2}, {3.5f, 1, 2.5f, 3}, {0, 0, -2, -1.5f}};
    for (const auto& f : factors) {
        for (int mode :
             {LICE_MODE_COPY | LICE_FLAG_BILINEAR, LICE_FLAG_SOURCE_ALPHA | LICE_MODE_COPY | LICE_FLAG_BILINEAR}) {
            TestBitmap s(src, true), d(base);
            Image model = base;
            const int dw = static_cast<int>(37 * f[2]), dh = static_cast<int>(23 * f[3]);
            const int dx = dw < 0 ? 80 : -3, dy = dh < 0 ? 60 : 2;
            ModelStretchBlit(model, src, dx, dy, dw, dh, f[0], f[1], 37, 23, 1.0f, mode);
            LICE_StretchBlit(&d, &s, dx, dy, dw, dh, f[0], f[1], 37, 23, 1.0f, mode);
            EXPECT_IMAGE_EQ(model, d.Snapshot());
        }
    }
}

TEST_P(BothPaths, BilinearFractionsOfPositionsJustBeforeZeroCountAsZero)
{
    // A position in (-1, 0) samples pixel 0 alone, like 0 itself; a positive fraction still weighs
    // the next pixel. Both blits, through the store path (copy at weight 1) and a kernel (add onto
    // transparent black, which yields the sample itself).
    struct Case {
        float x, y;
        int fx, fy; // the 16.16 fractions the sample must be taken with
    };
    const Case cases[] = {
        {-0.25f, 0.0f, 0, 0},     {0.0f, -0.25f, 0, 0},     {-0.75f, -0.5f, 0, 0},
        {-0.25f, 0.5f, 0, 32768}, {0.25f, -0.5f, 16384, 0}, {0.25f, 0.5f, 16384, 32768},
    };
    Rng rng(9);
    const Image src = RandomImage(rng, 3, 3);
    for (const Case& c : cases) {
        const LICE_ColorWord want =
            ModelInterpolate4(src.at(0, 0), src.at(1, 0), src.at(0, 1), src.at(1, 1), c.fx, c.fy);
        for (int mode : {LICE_MODE_COPY | LICE_FLAG_BILINEAR, LICE_MODE_ADD | LICE_FLAG_BILINEAR}) {
            TestBitmap s(src), stretched(Image(1, 1)), rotated(Image(1, 1));
            // Twice the source per destination pixel, so that it is not taken for a plain blit.
            LICE_StretchBlit(&stretched, &s, 0, 0, 1, 1, c.x, c.y, 2.0f, 2.0f, 1.0f, mode);
            // Unturned, the first pixel samples the source origin moved by the offset.
            LICE_RotateBlit(&rotated, &s, 0, 0, 1, 1, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, false, 1.0f, mode, c.x, c.y);
            EXPECT_EQ(stretched.Snapshot().at(0, 0), want) << "stretch at " << c.x << ", " << c.y << " mode " << mode;
            EXPECT_EQ(rotated.Snapshot().at(0, 0), want) << "rotate at " << c.x << ", " << c.y << " mode " << mode;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FastPaths, BothPaths, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& param) { return param.param ? "On" : "Off"; });

// Columns numbered into the blue byte, rows into green, opaque.
Image Numbered(int w, int h)
{
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.at(x, y) = LICE_RGBA(0, y, x, 255);
    return img;
}

TEST(BlitRect, NegativeOffsetSkipsSourceColumns)
{
    TestBitmap src(Numbered(10, 4)), dst(Image(8, 4, 0x11111111), true);
    LICE_BlitRect(&dst, &src, -5, 0, nullptr, 1.0f, LICE_MODE_COPY);
    const Image out = dst.Snapshot();
    for (int x = 0; x < 5; ++x) EXPECT_EQ(LICE_GETB(out.at(x, 2)), x + 5);
    EXPECT_EQ(out.at(5, 2), 0x11111111u);
}

TEST(BlitRect, ChannelCopyMovesOneByte)
{
    // Mode 0xF0 | (3 << 2) | 2: red into alpha.
    TestBitmap src(Image(3, 1, LICE_RGBA(0x40, 1, 2, 0xFF))), dst(Image(3, 1, LICE_RGBA(9, 8, 7, 6)));
    LICE_BlitRect(&dst, &src, 0, 0, nullptr, 0.3f, LICE_MODE_CHANNEL_COPY | (3 << 2) | 2);
    EXPECT_EQ(dst.Snapshot().at(1, 0), LICE_RGBA(9, 8, 7, 0x40));
}

TEST(Blits, DoNothingForNullBitmapsZeroWeightOrUnknownModes)
{
    const Image before = Image(6, 6, 0x12345678);
    TestBitmap src(Image(6, 6, 0xFFFFFFFF)), dst(before), empty(0, 0);
    LICE_BlitRect(nullptr, &src, 0, 0, nullptr, 1.0f, 0);
    LICE_BlitRect(&dst, nullptr, 0, 0, nullptr, 1.0f, 0);
    LICE_BlitRect(&dst, &empty, 0, 0, nullptr, 1.0f, 0);
    LICE_BlitRect(&dst, &src, 0, 0, nullptr, 0.0f, 0);
    for (int mode : {6, 0x80, 6 | LICE_FLAG_SOURCE_ALPHA}) {
        LICE_BlitRect(&dst, &src, 0, 0, nullptr, 1.0f, mode);
        LICE_StretchBlit(&dst, &src, 0, 0, 6, 6, 0, 0, 3, 3, 1.0f, mode);
        LICE_RotateBlit(&dst, &src, 0, 0, 6, 6, 0, 0, 6, 6, 0.5f, false, 1.0f, mode, 0, 0);
    }
    LICE_StretchBlit(&dst, &src, 0, 0, 0, 6, 0, 0, 3, 3, 1.0f, 0);
    LICE_RotateBlit(&dst, &src, 0, 0, 6, 6, 0, 0, 6, 6, 0.5f, false, 0.0f, 0, 0, 0);
    EXPECT_IMAGE_EQ(before, dst.Snapshot());
}

TEST(CopyBitmap, ResizesAndCopiesEveryPixel)
{
    Rng rng(1);
    const Image img = RandomImage(rng, 13, 7);
    TestBitmap src(img, true), dst(2, 2);
    LICE_CopyBitmap(&dst, &src);
    EXPECT_IMAGE_EQ(img, dst.Snapshot());
    LICE_CopyBitmap(nullptr, &src);
    LICE_CopyBitmap(&dst, nullptr);
}

TEST(StretchBlit, UnscaledWithWholeOriginIsAPlainBlit)
{
    Rng rng(2);
    const Image img = RandomImage(rng, 12, 9), base = RandomImage(rng, 10, 10);
    for (int mode : {LICE_MODE_COPY, LICE_MODE_COPY | LICE_FLAG_BILINEAR,
                     LICE_FLAG_SOURCE_ALPHA | LICE_MODE_ADD | LICE_FLAG_BILINEAR}) {
        TestBitmap src(img), stretched(base), plain(base);
        LICE_StretchBlit(&stretched, &src, 1, -2, 8, 9, 3.0f, 0.0f, 8.0f, 9.0f, 0.75f, mode);
        LICE_BlitArea(&plain, &src, 1, -2, 3, 0, 8, 9, 0.75f, mode);
        EXPECT_IMAGE_EQ(plain.Snapshot(), stretched.Snapshot());
    }
}

TEST(StretchBlit, NegativeWidthMirrors)
{
    const Image img = Numbered(10, 3);
    for (int mode : {LICE_MODE_COPY, LICE_MODE_COPY | LICE_FLAG_BILINEAR}) {
        TestBitmap src(img), dst(Image(10, 3));
        LICE_StretchBlit(&dst, &src, 10, 0, -10, 3, 0.0f, 0.0f, 10.0f, 3.0f, 1.0f, mode);
        const Image out = dst.Snapshot();
        for (int x = 0; x < 10; ++x) EXPECT_EQ(out.at(x, 1), img.at(9 - x, 1)) << "column " << x;
    }
    // Magnified and mirrored vertically: every source row twice, last row first.
    TestBitmap src(img), dst(Image(4, 6));
    LICE_StretchBlit(&dst, &src, 0, 6, 4, -6, 0.0f, 0.0f, 4.0f, 3.0f, 1.0f, LICE_MODE_COPY);
    const Image out = dst.Snapshot();
    for (int y = 0; y < 6; ++y) EXPECT_EQ(LICE_GETG(out.at(0, y)), 2 - y / 2) << "row " << y;
}

TEST(StretchBlit, DoublesEachPixelAtTwice)
{
    const Image img = Numbered(4, 2);
    TestBitmap src(img), dst(Image(8, 4));
    LICE_StretchBlit(&dst, &src, 0, 0, 8, 4, 0.0f, 0.0f, 4.0f, 2.0f, 1.0f, LICE_MODE_COPY);
    const Image out = dst.Snapshot();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(out.at(x, y), img.at(x / 2, y / 2));
}

TEST(RotateBlit, AngleZeroReproducesTheSource)
{
    Rng rng(4);
    const Image img = RandomImage(rng, 9, 7);
    for (int mode : {LICE_MODE_COPY, LICE_MODE_COPY | LICE_FLAG_BILINEAR}) {
        TestBitmap src(img), dst(Image(9, 7), true);
        LICE_RotateBlit(&dst, &src, 0, 0, 9, 7, 0, 0, 9, 7, 0.0f, true, 1.0f, mode, 0, 0);
        EXPECT_IMAGE_EQ(img, dst.Snapshot());
    }
}

} // namespace
