#include "RasterModel.h"
#include "raster/LiceDraw.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <set>
#include <utility>

using namespace raster_test;

namespace {

using Points = std::set<std::pair<int, int>>;

// The logical positions of every pixel that differs from `background`.
Points Touched(const TestBitmap& bmp, LICE_ColorWord background = 0)
{
    Points out;
    const Image img = bmp.Snapshot();
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, y) != background) out.insert({x, y});
    return out;
}

const LICE_ColorWord kWhite = 0xFFFFFFFF;
const float kPi = 3.14159265f;

// --- Pixels and areas against the model ------------------------------------------------------

TEST(PlotPixelAndFillArea, MatchTheModel)
{
    const float weights[] = {1.0f, 0.5f, 0.25f, 0.75f, 0.0f, 0.9f, -0.3f, 1.7f, 0.125f};
    for (int seed = 1; seed <= 1500; ++seed) {
        Rng rng(static_cast<unsigned>(seed));
        const Image base = RandomImage(rng, 1 + static_cast<int>(rng() % 20), 1 + static_cast<int>(rng() % 12));
        TestBitmap bmp(base, rng() & 1);
        Image model = base;
        const LICE_ColorWord color = rng();
        const float weight = weights[rng() % 9];
        const int mode = static_cast<int>(rng() % 7) | (rng() & 1 ? LICE_FLAG_SOURCE_ALPHA : 0);
        const int x = static_cast<int>(rng() % 30) - 8, y = static_cast<int>(rng() % 20) - 6;
        if (seed % 2) {
            LICE_PlotPixel(&bmp, x, y, color, weight, mode);
            ModelPlotPixel(model, x, y, color, weight, mode);
        } else {
            const int w = static_cast<int>(rng() % 30) - 4, h = static_cast<int>(rng() % 20) - 4;
            LICE_FillArea(&bmp, x, y, w, h, color, weight, mode);
            ModelFillArea(model, x, y, w, h, color, weight, mode);
        }
        const std::string diff = FirstDifference(model, bmp.Snapshot());
        ASSERT_TRUE(diff.empty()) << "seed " << seed << ": " << diff;
        ASSERT_TRUE(bmp.GuardsIntact()) << "seed " << seed;
    }
}

TEST(FillArea, SourceAlphaAt128RunsTheKernelNotTheHalfAverage)
{
    // FillRectangle's default blend: source-alpha flag, weight 1.0, colour alpha 128. The weight
    // becomes 128/255 (w = 128), so the kernel runs and keeps the low bits the word average drops.
    TestBitmap bmp(Image(2, 2, 0x01010101));
    LICE_FillArea(&bmp, 0, 0, 2, 2, 0x80010101, 1.0f, LICE_FLAG_SOURCE_ALPHA | LICE_MODE_COPY);
    EXPECT_EQ(bmp.Snapshot().at(1, 1), 0x40010101u);
}

TEST(FillArea, AlphaFollowsTheWeight)
{
    TestBitmap opaque(Image(1, 1, 0xFF000000)), clear(Image(1, 1, 0x00000000)), stored(Image(1, 1));
    LICE_FillArea(&stored, 0, 0, 1, 1, 0x12345678, 1.0f, LICE_MODE_COPY);
    EXPECT_EQ(stored.Snapshot().at(0, 0), 0x12345678u);
    // At 0.9 (w = 230) the destination alpha moves toward 230, whatever the colour's alpha.
    LICE_FillArea(&opaque, 0, 0, 1, 1, 0x00FFFFFF, 0.9f, LICE_MODE_COPY);
    LICE_FillArea(&clear, 0, 0, 1, 1, 0xFFFFFFFF, 0.9f, LICE_MODE_COPY);
    EXPECT_EQ(LICE_GETA(opaque.Snapshot().at(0, 0)), 232);
    EXPECT_EQ(LICE_GETA(clear.Snapshot().at(0, 0)), 206);
}

TEST(MaskOrArea, ClipsAndCombines)
{
    TestBitmap bmp(Image(4, 3, 0xFF102030), true);
    LICE_MaskOrArea(&bmp, -2, 1, 4, 9, 0x00FFFFFF, 0x01000000);
    const Image out = bmp.Snapshot();
    EXPECT_EQ(out.at(0, 0), 0xFF102030u);
    EXPECT_EQ(out.at(1, 2), 0x01102030u);
    EXPECT_EQ(out.at(2, 2), 0xFF102030u);
    EXPECT_TRUE(bmp.GuardsIntact());
}

TEST(ReadPixel, IsZeroOutsideAndFollowsLogicalRows)
{
    Image img(3, 2);
    img.at(2, 0) = 0xAABBCCDD;
    TestBitmap bmp(img, true);
    EXPECT_EQ(LICE_ReadPixel(&bmp, 2, 0), 0xAABBCCDDu);
    EXPECT_EQ(LICE_ReadPixel(&bmp, 3, 0), 0u);
    EXPECT_EQ(LICE_ReadPixel(&bmp, -1, 0), 0u);
    EXPECT_EQ(LICE_ReadPixel(&bmp, 0, 2), 0u);
    EXPECT_EQ(LICE_ReadPixel(nullptr, 0, 0), 0u);
}

TEST(DrawAlphaMask, NegativeOffsetSkipsMaskColumns)
{
    const unsigned char mask[] = {255, 128, 0, 64};
    TestBitmap bmp(Image(3, 1));
    LICE_DrawAlphaMask(&bmp, -1, 0, kWhite, mask, 4, 1, 1.0f, LICE_MODE_COPY);
    const Image out = bmp.Snapshot();
    EXPECT_EQ(out.at(0, 0), ModelBlendWord(0, kWhite, 128, 0));
    EXPECT_EQ(out.at(1, 0), 0u);
    EXPECT_EQ(out.at(2, 0), ModelBlendWord(0, kWhite, 64, 0));
}

// --- Lines ----------------------------------------------------------------------------------

struct LineCase {
    const char* what;
    int x1, y1, x2, y2;
    Points expected;
};

class PlainLine : public testing::TestWithParam<std::tuple<LineCase, bool>> {};

TEST_P(PlainLine, TouchesExactlyThesePixels)
{
    const LineCase& c = std::get<0>(GetParam());
    TestBitmap bmp(20, 12, std::get<1>(GetParam()));
    LICE_DrawLine(&bmp, c.x1, c.y1, c.x2, c.y2, kWhite, 1.0f, LICE_MODE_COPY, false);
    EXPECT_EQ(Touched(bmp), c.expected) << c.what;
    EXPECT_TRUE(bmp.GuardsIntact());
}

Points Row(int y, int x0, int x1)
{
    Points p;
    for (int x = x0; x <= x1; ++x) p.insert({x, y});
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    WorkedCases, PlainLine,
    testing::Combine(
        testing::Values(LineCase{"shallow slope steps after 2/3", 0, 0, 3, 1, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
                        LineCase{"clipped on the left", -10, 5, 10, 5, Row(5, 0, 10)},
                        LineCase{"steep, drawn backwards", 2, 4, 1, 0, {{2, 4}, {2, 3}, {2, 2}, {1, 1}, {1, 0}}},
                        LineCase{"diagonal through the corner", -3, -3, 2, 2, {{0, 0}, {1, 1}, {2, 2}}},
                        LineCase{"vertical span", 7, 9, 7, 6, {{7, 6}, {7, 7}, {7, 8}, {7, 9}}},
                        LineCase{"single point", 4, 4, 4, 4, {{4, 4}}},
                        LineCase{"entirely outside", -5, -1, 30, -8, {}},
                        LineCase{"far beyond int range", INT_MIN, 3, INT_MAX, 3, Row(3, 0, 19)}),
        testing::Bool()));

TEST(DrawLine, AntialiasedDiagonalSpillsAQuarterAhead)
{
    TestBitmap bmp(Image(6, 6, 0xFF000000));
    LICE_DrawLine(&bmp, 1, 1, 3, 3, kWhite, 1.0f, LICE_MODE_COPY, true);
    const Image out = bmp.Snapshot();
    // 3/4 colour + 1/4 pixel and the reverse, on whole words (each byte's low bits drop).
    const LICE_ColorWord centre = 0xFDBEBEBE, side = 0xFD3F3F3F;
    EXPECT_EQ(out.at(1, 1), centre);
    EXPECT_EQ(out.at(2, 2), centre);
    EXPECT_EQ(out.at(3, 3), centre);
    EXPECT_EQ(out.at(2, 1), side);
    EXPECT_EQ(out.at(1, 2), side);
    EXPECT_EQ(out.at(3, 2), side);
    EXPECT_EQ(out.at(2, 3), side);
    EXPECT_EQ(out.at(4, 3), 0xFF000000u); // the last pixel spills nothing
}

TEST(DrawLine, AntialiasedSlopeSplitsCoverage)
{
    TestBitmap bmp(8, 4);
    LICE_DrawLine(&bmp, 0, 0, 4, 1, kWhite, 1.0f, LICE_MODE_COPY, true);
    const Image out = bmp.Snapshot();
    auto at = [](int w) { return ModelBlendWord(0, kWhite, w, 0); };
    // Slope 1/4: fractions 1/4, 1/2, 3/4 along the way; the end takes the last fraction's rest.
    EXPECT_EQ(out.at(0, 0), at(256));
    EXPECT_EQ(out.at(1, 0), at(192));
    EXPECT_EQ(out.at(1, 1), at(64));
    EXPECT_EQ(out.at(2, 0), at(128));
    EXPECT_EQ(out.at(2, 1), at(128));
    EXPECT_EQ(out.at(3, 0), at(64));
    EXPECT_EQ(out.at(3, 1), at(192));
    EXPECT_EQ(out.at(4, 1), at(64));
    EXPECT_EQ(Touched(bmp).size(), 8u);
}

TEST(DrawLine, HalfWeightSpansAverageEachChannel)
{
    // Spans at 0.5 use (c + d) >> 1 per channel; sloped lines use the word average.
    TestBitmap span(Image(4, 4, 0x01010101)), sloped(Image(4, 4, 0x01010101));
    LICE_DrawLine(&span, 0, 1, 3, 1, 0x01010101, 0.5f, LICE_MODE_COPY, false);
    LICE_DrawLine(&sloped, 0, 0, 3, 1, 0x01010101, 0.5f, LICE_MODE_COPY, false);
    EXPECT_EQ(span.Snapshot().at(2, 1), 0x01010101u);
    EXPECT_EQ(sloped.Snapshot().at(0, 0), 0u);
}

TEST(DrawLine, RandomLinesStayInsideTheBitmap)
{
    for (int seed = 1; seed <= 2000; ++seed) {
        Rng rng(static_cast<unsigned>(seed));
        TestBitmap bmp(1 + static_cast<int>(rng() % 30), 1 + static_cast<int>(rng() % 30), rng() & 1);
        auto coord = [&] { return static_cast<int>(rng() % 80) - 25; };
        const int x1 = coord(), y1 = coord(), x2 = coord(), y2 = coord();
        LICE_DrawLine(&bmp, x1, y1, x2, y2, rng(), 0.6f, static_cast<int>(rng() % 6), rng() & 1);
        ASSERT_TRUE(bmp.GuardsIntact()) << "seed " << seed;
    }
}

// --- Circles and arcs -----------------------------------------------------------------------

TEST(CircleMasks, AreClosedSymmetricRings)
{
    for (float r : {2.0f, 2.5f, 3.0f, 3.5f, 4.0f}) {
        for (bool aa : {false, true}) {
            const unsigned char* m = LICE_CircleMask(r, aa);
            ASSERT_NE(m, nullptr);
            const int n = static_cast<int>(2 * r + 1);
            int border = 0;
            for (int y = 0; y < n; ++y) {
                for (int x = 0; x < n; ++x) {
                    const unsigned char v = m[y * n + x];
                    EXPECT_EQ(v, m[y * n + (n - 1 - x)]) << "r " << r;
                    EXPECT_EQ(v, m[x * n + y]) << "r " << r;
                    if (!aa) {
                        EXPECT_TRUE(v == 0 || v == 255);
                    }
                    if (x == 0 && v > 200) ++border;
                }
            }
            EXPECT_EQ(m[(n / 2) * n + n / 2], 0) << "the centre is empty";
            EXPECT_GT(border, 0) << "the ring reaches the edge";
        }
    }
    EXPECT_EQ(LICE_CircleMask(3.2f, false), nullptr);
}

TEST(DrawCircle, MaskRadiusDrawsTheMask)
{
    TestBitmap circle(Image(20, 20)), mask(Image(20, 20));
    LICE_DrawCircle(&circle, 10.5f, 9.0f, 3.0f, kWhite, 1.0f, LICE_MODE_COPY, false);
    LICE_DrawAlphaMask(&mask, 7, 6, kWhite, LICE_CircleMask(3.0f, false), 7, 7, 1.0f, LICE_MODE_COPY);
    EXPECT_IMAGE_EQ(mask.Snapshot(), circle.Snapshot());
}

// The midpoint outline straight from its description: four axis points, then eight points per
// step, each coordinate truncated toward zero.
Points MidpointOutline(double cx, double cy, double r)
{
    Points p;
    auto plot = [&](double x, double y) { p.insert({static_cast<int>(x), static_cast<int>(y)}); };
    plot(cx, cy + r), plot(cx, cy - r), plot(cx + r, cy), plot(cx - r, cy);
    double x = 0, y = r, decision = (5 - 4 * r) / 4;
    while (x < y) {
        x += 1;
        if (decision < 0) {
            decision += 2 * x + 1;
        } else {
            y -= 1;
            decision += 2 * (x - y) + 1;
        }
        for (double sx : {-1.0, 1.0})
            for (double sy : {-1.0, 1.0}) plot(cx + sx * x, cy + sy * y), plot(cx + sx * y, cy + sy * x);
    }
    return p;
}

TEST(DrawCircle, OtherRadiiTraceTheOutline)
{
    for (float r : {3.2f, 7.0f, 11.6f}) {
        TestBitmap bmp(Image(30, 30), true);
        LICE_DrawCircle(&bmp, 15.0f, 14.5f, r, kWhite, 1.0f, LICE_MODE_COPY, false);
        // Stored bottom-up: the centre row is mirrored (logical 14.5 is stored row 14.5), the outline
        // traced in stored rows, and the result read back in logical rows.
        Points expected;
        for (const auto& [x, y] : MidpointOutline(15.0, 14.5, r)) expected.insert({x, 29 - y});
        EXPECT_EQ(Touched(bmp), expected) << "r " << r;
    }
    // The kernel weight is trunc(1.0 * 255), so copy leaves a trace of the old pixel.
    TestBitmap bmp(Image(20, 20));
    LICE_DrawCircle(&bmp, 10.0f, 10.0f, 3.2f, kWhite, 1.0f, LICE_MODE_COPY, false);
    EXPECT_EQ(bmp.Snapshot().at(10, 13), ModelBlendWord(0, kWhite, 255, 0));
    EXPECT_NE(Touched(bmp).size(), 0u);
}

TEST(DrawCircle, AntialiasedOutlineSharesCoverageOutward)
{
    TestBitmap bmp(Image(40, 40));
    LICE_DrawCircle(&bmp, 20.0f, 20.0f, 10.3f, kWhite, 1.0f, LICE_MODE_ADD, true);
    const Image out = bmp.Snapshot();
    // At x = 2 the exact y is sqrt(10.3^2 - 4) = 10.104: rows 30 (inner) and 31 (outer).
    const float y = std::sqrt(10.3f * 10.3f - 4.0f);
    const float f = y - std::floor(y);
    EXPECT_EQ(LICE_GETR(out.at(22, 30)), static_cast<int>(255.0f * (1.0f - f)) * 255 / 256);
    EXPECT_EQ(LICE_GETR(out.at(22, 31)), static_cast<int>(255.0f * f) * 255 / 256);
}

TEST(DrawArc, QuarterStaysInTheUpperRightQuadrant)
{
    for (bool aa : {false, true}) {
        for (bool bottomUp : {false, true}) {
            TestBitmap bmp(40, 40, bottomUp);
            LICE_DrawArc(&bmp, 20.3f, 19.6f, 9.0f, 0.0f, kPi / 2, kWhite, 1.0f, LICE_MODE_COPY, aa);
            const Points p = Touched(bmp);
            EXPECT_GT(p.size(), 8u);
            // Bottom-up, the centre is mirrored to stored row 19.4 and the cut lies at stored row
            // trunc(19.4) = 19, which is logical row 20.
            const int lastRow = bottomUp ? 39 - 19 : 19 - 1;
            for (const auto& [x, y] : p) EXPECT_TRUE(x >= 20 && y <= lastRow) << x << "," << y << " aa " << aa;
        }
    }
}

TEST(DrawArc, ShortArcKeepsToItsEnds)
{
    // From 0.2 to 1.0 rad: the cuts at the two end points alone would keep most of the left half.
    TestBitmap bmp(60, 60);
    LICE_DrawArc(&bmp, 30.0f, 30.0f, 20.0f, 0.2f, 1.0f, kWhite, 1.0f, LICE_MODE_COPY, false);
    const Points p = Touched(bmp);
    EXPECT_GT(p.size(), 10u);
    for (const auto& [x, y] : p) {
        const double a = std::atan2(x + 0.5 - 30.0, 30.0 - (y + 0.5));
        // The cut at each end is exact only to a pixel row or column.
        EXPECT_TRUE(a > -0.1 && a < 1.3) << x << "," << y;
    }
}

TEST(DrawArc, SpanPastTwoPiIsTheCircle)
{
    TestBitmap arc(Image(40, 40)), circle(Image(40, 40));
    LICE_DrawArc(&arc, 20.0f, 20.0f, 12.0f, -1.0f, 6.0f, kWhite, 0.8f, LICE_MODE_COPY, true);
    LICE_DrawCircle(&circle, 20.0f, 20.0f, 12.0f, kWhite, 0.8f, LICE_MODE_COPY, true);
    EXPECT_IMAGE_EQ(circle.Snapshot(), arc.Snapshot());
}

TEST(DrawArc, StartsPastPiStillFinish)
{
    // A start beyond pi with more than pi to go used to split at pi forever.
    TestBitmap bmp(40, 40);
    LICE_DrawArc(&bmp, 20.0f, 20.0f, 12.0f, 4.0f, 7.5f, kWhite, 1.0f, LICE_MODE_COPY, false);
    const Points p = Touched(bmp);
    EXPECT_GT(p.size(), 20u);
    // 4.0 .. 7.5 rad runs from lower left through the top to the right: nothing below-right.
    for (const auto& [x, y] : p) EXPECT_FALSE(x > 21 && y > 21) << x << "," << y;
}

TEST(Primitives, DoNothingForNullBitmapsZeroWeightOrUnknownModes)
{
    const Image before(8, 8, 0x11223344);
    TestBitmap bmp(before);
    for (LICE_IBitmap* target : {static_cast<LICE_IBitmap*>(nullptr), static_cast<LICE_IBitmap*>(&bmp)}) {
        for (auto [weight, mode] : {std::pair<float, int>{0.0f, 0}, {1.0f, 6}, {-1.0f, 0}, {NAN, 1}}) {
            LICE_PlotPixel(target, 1, 1, kWhite, weight, mode);
            LICE_FillArea(target, 0, 0, 8, 8, kWhite, weight, mode | 6 * (weight == 1.0f));
            LICE_DrawLine(target, 0, 0, 7, 3, kWhite, weight, mode, true);
            LICE_DrawCircle(target, 4, 4, 3.0f, kWhite, weight, mode, true);
            LICE_DrawCircle(target, 4, 4, 2.7f, kWhite, weight, mode, false);
            LICE_DrawArc(target, 4, 4, 2.7f, 0, 2, kWhite, weight, mode, false);
        }
    }
    LICE_DrawCircle(&bmp, 4, 4, 1e30f, kWhite, 1.0f, 0, false);
    LICE_DrawArc(&bmp, 4, 4, 3.3f, 0.0f, INFINITY, kWhite, 1.0f, 0, false);
    EXPECT_IMAGE_EQ(before, bmp.Snapshot());
}

} // namespace
