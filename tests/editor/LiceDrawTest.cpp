// The drawing layer and the headless window layer: pictures composed independently and compared
// with the draw bitmap, clipping to the repainted rectangle, the redraw timer, and the mapping of
// blends onto raster modes.
#include "../plugcore/TestPlug.h"
#include "HeadlessFixture.h"
#include "raster/LiceTypes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

constexpr int kW = 40, kH = 30;
constexpr int kStripW = 10, kFrameH = 12, kFrames = 3;
constexpr LICE_ColorWord kMarker = 0xFF0A0B0C;

LICE_ColorWord BackgroundPixel(int x, int y) { return LICE_RGBA(x * 6, y * 8, 100, 255); }
// Every frame holds transparent, opaque and part-covering pixels, each frame different.
LICE_ColorWord StripPixel(int x, int y)
{
    const int f = y / kFrameH;
    return LICE_RGBA(200, f * 80, x * 20, (x * 29 + (y % kFrameH) * 7 + f * 50) % 256);
}

// Calls a function as its drawing.
class CallbackControl : public IControl {
public:
    CallbackControl(IParamOwner* owner, const IRect& rect, std::function<void(IGraphics*)> draw)
        : IControl(owner, rect), m_draw(std::move(draw))
    {
    }
    bool Draw(IGraphics* g) override
    {
        m_draw(g);
        return true;
    }

private:
    std::function<void(IGraphics*)> m_draw;
};

class HeadlessEditor : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TestGraphics::Provide(600, [](int) { return MakeImage(kW, kH, BackgroundPixel); });
        TestGraphics::Provide(601, [](int) { return MakeImage(kStripW, kFrameH * kFrames, StripPixel); });
    }
    HeadlessEditor() : gui(&plug, kW, kH)
    {
        gui.AttachBackground(600, "img/bg.png");
        strip = new IBitmapControl(&plug, kStripX, kStripY, -1, gui.LoadBitmapResource(601, "img/strip.png", kFrames));
        gui.AttachControl(strip);
        gui.PrepareDrawing();
    }
    // Background, then frame `frame` (from 1) of the strip with source alpha.
    static LICE_ColorWord Expected(int x, int y, int frame)
    {
        LICE_ColorWord c = BackgroundPixel(x, y);
        if (x >= kStripX && x < kStripX + kStripW && y >= kStripY && y < kStripY + kFrameH)
            c = OverModel(c, StripPixel(x - kStripX, y - kStripY + (frame - 1) * kFrameH));
        return c;
    }
    void ExpectPicture(int frame)
    {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                ASSERT_EQ(gui.PixelAt(x, y), Expected(x, y, frame)) << "at " << x << "," << y << " frame " << frame;
    }

    static constexpr int kStripX = 13, kStripY = 9;
    TestPlug plug;
    TestGraphics gui;
    IBitmapControl* strip = nullptr;
};

TEST_F(HeadlessEditor, FirstTickAfterOpeningDrawsTheWholeComposedPicture)
{
    for (double value : {0.0, 0.5, 1.0}) {
        SCOPED_TRACE(value);
        strip->SetValueFromPlug(value);
        gui.OpenWindow(nullptr);
        ASSERT_TRUE(gui.Tick());
        EXPECT_EQ(gui.LastPresented(), IRect(0, 0, kW, kH));
        ExpectPicture(1 + static_cast<int>(value * 2));
        gui.CloseWindow();
    }
}

TEST_F(HeadlessEditor, TimerRedrawsOnlyTheDirtyRectangle)
{
    gui.OpenWindow(nullptr);
    ASSERT_TRUE(gui.Tick());
    while (gui.Tick()) {
    }
    const int presents = gui.PresentCount();

    // Nothing dirty: a tick draws and presents nothing.
    gui.SetPixelDirect(IColor(255, 10, 11, 12), 2, 2);
    gui.SetPixelDirect(IColor(255, 10, 11, 12), kStripX + 1, kStripY + 1);
    EXPECT_FALSE(gui.Tick());
    EXPECT_EQ(gui.PresentCount(), presents);
    EXPECT_EQ(gui.PixelAt(2, 2), kMarker);

    // The strip alone is dirty: only its rectangle is repainted (the background under it first).
    strip->SetValueFromPlug(1.0);
    ASSERT_TRUE(gui.Tick());
    EXPECT_EQ(gui.LastPresented(), IRect(kStripX, kStripY, kStripX + kStripW, kStripY + kFrameH));
    EXPECT_EQ(gui.PixelAt(2, 2), kMarker);
    EXPECT_EQ(gui.PixelAt(kStripX + 1, kStripY + 1), Expected(kStripX + 1, kStripY + 1, 3));
    for (int y = kStripY; y < kStripY + kFrameH; ++y)
        for (int x = kStripX; x < kStripX + kStripW; ++x)
            ASSERT_EQ(gui.PixelAt(x, y), Expected(x, y, 3)) << x << "," << y;
}

TEST_F(HeadlessEditor, ClosedWindowHasNoTimer)
{
    EXPECT_EQ(gui.GetWindow(), nullptr);
    EXPECT_FALSE(gui.WindowIsOpen());
    EXPECT_FALSE(gui.Tick());
    void* token = gui.OpenWindow(nullptr);
    EXPECT_NE(token, nullptr);
    EXPECT_EQ(gui.GetWindow(), token);
    EXPECT_EQ(gui.OpenWindow(nullptr), token);
    gui.CloseWindow();
    EXPECT_EQ(gui.GetWindow(), nullptr);
    EXPECT_EQ(gui.PresentCount(), 0);
}

TEST_F(HeadlessEditor, ResizeFollowsWithTheDrawBitmap)
{
    gui.ResizeGraphics(50, 20);
    EXPECT_EQ(gui.GetDrawBitmap()->Width(), 50);
    EXPECT_EQ(gui.GetDrawBitmap()->Height(), 20);
    EXPECT_EQ(gui.NControls(), 0);
}

TEST_F(HeadlessEditor, PromptsWaitForTheCaller)
{
    gui.PromptUserInput(strip, plug.GetParam(1));
    const auto prompt = gui.TakePrompt();
    EXPECT_EQ(prompt.control, strip);
    EXPECT_EQ(prompt.param, plug.GetParam(1));
    EXPECT_EQ(gui.TakePrompt().control, nullptr);
    GrowString path;
    gui.HostPath(&path);
    EXPECT_STREQ(path.Get(), "");
    IColor color;
    EXPECT_FALSE(gui.PromptForColor(&color, "?"));
    EXPECT_FALSE(gui.OpenURL("http://example.invalid", "", "", ""));
}

// An image copy lands only where its destination meets the rectangle being repainted.
TEST(DrawBitmapRegion, ClipsToTheRepaintedRectangle)
{
    struct Case {
        const char* name;
        IRect paint;
    };
    const Case cases[] = {
        {"covers all", IRect(0, 0, kW, kH)},
        {"left and top cut", IRect(9, 8, kW, kH)},
        {"right and bottom cut", IRect(0, 0, 17, 12)},
        {"inside", IRect(7, 7, 11, 9)},
        {"beside", IRect(25, 0, kW, kH)},
        {"touching the right edge", IRect(24, 5, 30, 20)},
    };
    const IRect dest(5, 5, 24, 20);
    const int srcX = 3, srcY = 2;
    TestGraphics::Provide(610, [](int) { return MakeImage(30, 30, BackgroundPixel); });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestGraphics gui(nullptr, kW, kH);
        const IBitmap img = gui.LoadBitmapResource(610, "x", 1);
        gui.AttachControl(new CallbackControl(nullptr, IRect(0, 0, kW, kH), [&](IGraphics* g) {
            const IChannelBlend replace(IChannelBlend::kBlendReplace);
            g->DrawBitmapRegion(img, dest, srcX, srcY, &replace);
        }));
        gui.PrepareDrawing();
        gui.FillRectangle(IColor(255, 10, 11, 12), IRect(0, 0, kW, kH));
        gui.Paint(c.paint);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const bool drawn = dest.Contains(x, y) && c.paint.Contains(x, y);
                const LICE_ColorWord want = drawn ? BackgroundPixel(x - dest.L + srcX, y - dest.T + srcY) : kMarker;
                ASSERT_EQ(gui.PixelAt(x, y), want) << x << "," << y;
            }
    }
}

TEST(BlendMode, MapsEachMethodOntoARasterMode)
{
    struct Case {
        int method;
        int mode;
    };
    const Case cases[] = {
        {IChannelBlend::kBlendDefault, LICE_MODE_COPY | LICE_FLAG_SOURCE_ALPHA},
        {IChannelBlend::kBlendReplace, LICE_MODE_COPY},
        {IChannelBlend::kBlendAdditive, LICE_MODE_ADD | LICE_FLAG_SOURCE_ALPHA},
        {IChannelBlend::kBlendDodge, LICE_MODE_DODGE | LICE_FLAG_SOURCE_ALPHA},
    };
    for (const Case& c : cases) {
        const IChannelBlend blend(static_cast<IChannelBlend::EBlendMethod>(c.method), 0.5f);
        EXPECT_EQ(IGraphicsLice::BlendMode(&blend), c.mode) << c.method;
        EXPECT_EQ(IGraphicsLice::BlendWeight(&blend), 0.5f);
    }
    EXPECT_EQ(IGraphicsLice::BlendMode(nullptr), LICE_MODE_COPY | LICE_FLAG_SOURCE_ALPHA);
    EXPECT_EQ(IGraphicsLice::BlendWeight(nullptr), 1.0f);
}

class SolidDrawing : public testing::Test {
protected:
    SolidDrawing() : gui(nullptr, 20, 12)
    {
        gui.PrepareDrawing();
        gui.FillRectangle(IColor(255, 0, 0, 0), IRect(0, 0, 20, 12), &replace);
    }
    int CountNot(LICE_ColorWord c)
    {
        int n = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x) n += gui.PixelAt(x, y) != c;
        return n;
    }
    const IChannelBlend replace{IChannelBlend::kBlendReplace};
    TestGraphics gui;
};

TEST_F(SolidDrawing, BeforePrepareDrawingNothingIsDrawn)
{
    TestGraphics fresh(nullptr, 5, 5);
    EXPECT_EQ(fresh.GetDrawPixels(), nullptr);
    EXPECT_TRUE(fresh.FillRectangle(IColor(), IRect(0, 0, 5, 5)));
    EXPECT_TRUE(fresh.DrawVerticalSpan(IColor(), 1, 0, 4));
    EXPECT_TRUE(fresh.SetPixelDirect(IColor(), 1, 1));
    EXPECT_EQ(fresh.ReadPixel(1, 1), IColor(0, 0, 0, 0));
    EXPECT_EQ(gui.GetDrawPixels(), static_cast<void*>(gui.GetDrawBitmap()->Pixels()));
}

TEST_F(SolidDrawing, FillsBlendByAlphaAndMethod)
{
    // Replace stores the word, alpha included.
    gui.FillRectangle(IColor(77, 1, 2, 3), IRect(1, 1, 3, 3), &replace);
    EXPECT_EQ(gui.ReadPixel(2, 2), IColor(77, 1, 2, 3));
    EXPECT_EQ(gui.ReadPixel(3, 3), IColor(255, 0, 0, 0));
    // No blend: source alpha 128 weights the kernel by trunc(128 / 255 * 256) = 128, and the
    // destination alpha moves toward that weight.
    gui.FillRectangle(IColor(128, 200, 100, 50), IRect(5, 5, 6, 6));
    EXPECT_EQ(gui.ReadPixel(5, 5), IColor((128 * 128 + 255 * 128) / 256, 100, 50, 25));
    // Additive saturates.
    const IChannelBlend add(IChannelBlend::kBlendAdditive);
    gui.FillRectangle(IColor(255, 200, 0, 0), IRect(7, 7, 8, 8), &replace);
    gui.FillRectangle(IColor(255, 100, 10, 0), IRect(7, 7, 8, 8), &add);
    EXPECT_EQ(gui.ReadPixel(7, 7).R, 255);
    EXPECT_EQ(gui.ReadPixel(7, 7).G, 10);
}

TEST_F(SolidDrawing, PointsLinesAndSpans)
{
    const IColor white(255, 255, 255, 255);
    const LICE_ColorWord w = 0xFFFFFFFF;
    gui.DrawPointAt(white, 10.6f, 3.2f);
    EXPECT_EQ(gui.PixelAt(11, 3), w);
    EXPECT_EQ(CountNot(0xFF000000), 1);

    gui.SetPixelDirect(white, 25, 3); // outside: ignored
    gui.SetPixelDirect(white, -1, 0);
    EXPECT_EQ(CountNot(0xFF000000), 1);

    gui.DrawVerticalSpan(white, 2, 50, 10); // reversed after clamping: nothing
    EXPECT_EQ(CountNot(0xFF000000), 1);
    gui.DrawVerticalSpan(white, -4, -3, 2); // clamps to column 0, rows 0..2
    EXPECT_EQ(CountNot(0xFF000000), 4);
    EXPECT_EQ(gui.PixelAt(0, 2), w);
    gui.DrawHorizontalSpan(white, 11, 18, 99); // row 11, columns 18..19
    EXPECT_EQ(CountNot(0xFF000000), 6);
    EXPECT_EQ(gui.PixelAt(19, 11), w);

    gui.DrawLineSegment(white, 3.9f, 8.2f, 6.7f, 8.9f, &replace);
    for (int x = 3; x <= 6; ++x) EXPECT_EQ(gui.PixelAt(x, 8), w) << x;
    EXPECT_EQ(CountNot(0xFF000000), 10);
}

TEST_F(SolidDrawing, PointsAndLinesAtNaNInfiniteOrHugeCoordinatesStayDefined)
{
    // As in the raster library's blits, NaN reads as 0 and anything beyond +-2^30 pixels is held
    // there; what is left is clipped like any other point or line. Converted unguarded, these
    // values are undefined behaviour, which the sanitizer build stops at.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        bool line;
        float x1, y1, x2, y2;
        IRect drawn; // exactly the pixels drawn; empty for none
    };
    const Case cases[] = {
        {"point at NaN", false, nan, 3.2f, 0, 0, IRect(0, 3, 1, 4)},
        {"point at +inf", false, inf, 3.2f, 0, 0, IRect()},
        {"point at -inf", false, 4.0f, -inf, 0, 0, IRect()},
        {"point at 1e30", false, 1e30f, 3.0f, 0, 0, IRect()},
        {"point at -1e30", false, -1e30f, -1e30f, 0, 0, IRect()},
        {"line to +inf", true, 2.0f, 5.0f, inf, 5.0f, IRect(2, 5, 20, 6)},
        {"line to 1e30", true, 2.0f, 5.0f, 1e30f, 5.0f, IRect(2, 5, 20, 6)},
        {"line from -inf", true, 3.0f, -inf, 3.0f, 7.0f, IRect(3, 0, 4, 8)},
        {"line from -1e30", true, -1e30f, 9.0f, 4.0f, 9.0f, IRect(0, 9, 5, 10)},
        {"line from NaN", true, nan, 1.0f, 6.0f, 1.0f, IRect(0, 1, 7, 2)},
        {"line from -1e30 to +inf", true, -1e30f, 4.0f, inf, 4.0f, IRect(0, 4, 20, 5)},
    };
    const IColor white(255, 255, 255, 255);
    for (const Case& c : cases) {
        gui.FillRectangle(IColor(255, 0, 0, 0), IRect(0, 0, 20, 12), &replace);
        if (c.line)
            EXPECT_TRUE(gui.DrawLineSegment(white, c.x1, c.y1, c.x2, c.y2, &replace));
        else
            EXPECT_TRUE(gui.DrawPointAt(white, c.x1, c.y1));
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x)
                ASSERT_EQ(gui.PixelAt(x, y), c.drawn.Contains(x, y) ? 0xFFFFFFFFu : 0xFF000000u)
                    << c.what << ": at " << x << "," << y;
    }
}

TEST_F(SolidDrawing, CirclesAndArcsStayOnTheirRadius)
{
    const IColor white(255, 255, 255, 255);
    gui.DrawCircleOutline(white, 10.0f, 6.0f, 4.6f, &replace);
    int n = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            if (gui.PixelAt(x, y) != 0xFF000000u) {
                ++n;
                const double d = std::hypot(x - 10.0, y - 6.0);
                EXPECT_NEAR(d, 4.6, 1.0) << x << "," << y;
            }
    EXPECT_GT(n, 16);

    gui.FillRectangle(IColor(255, 0, 0, 0), IRect(0, 0, 20, 12), &replace);
    gui.DrawArcSegment(white, 10.0f, 6.0f, 4.6f, 0.0f, 1.5707964f);
    EXPECT_GT(CountNot(0xFF000000), 3);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            if (gui.PixelAt(x, y) != 0xFF000000u) {
                EXPECT_GE(x, 10);
                EXPECT_LE(y, 6);
            }
}

TEST_F(SolidDrawing, RotatedBitmapsAtAngleZeroLandCentred)
{
    TestGraphics::Provide(620, [](int) { return MakeImage(6, 4, BackgroundPixel); });
    const IBitmap img = gui.LoadBitmapResource(620, "x", 1);
    gui.DrawBitmapRotated(img, 10, 6, 0.0, 0, &replace);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) ASSERT_EQ(gui.PixelAt(7 + x, 4 + y), BackgroundPixel(x, y)) << x << "," << y;
    EXPECT_EQ(CountNot(0xFF000000), 24);
}

TEST_F(SolidDrawing, RotatedMaskBuildsCoverageUnderTheTopImage)
{
    // Base colour with its coverage dropped, the mask's colour added with its alpha as the new
    // coverage, the top image over it; then copied with source alpha, clipped to the repaint.
    TestGraphics::Provide(630,
                          [](int) { return MakeImage(8, 8, [](int, int) { return LICE_RGBA(100, 100, 100, 9); }); });
    TestGraphics::Provide(631, [](int) {
        return MakeImage(8, 8, [](int x, int) { return x < 4 ? LICE_RGBA(10, 20, 30, 255) : LICE_RGBA(0, 0, 0, 0); });
    });
    TestGraphics::Provide(632, [](int) {
        return MakeImage(8, 8, [](int x, int y) { return x == 1 && y == 1 ? LICE_RGBA(255, 0, 0, 255) : 0u; });
    });
    const IBitmap base = gui.LoadBitmapResource(630, "b", 1);
    const IBitmap mask = gui.LoadBitmapResource(631, "m", 1);
    const IBitmap top = gui.LoadBitmapResource(632, "t", 1);
    gui.AttachControl(new CallbackControl(
        nullptr, IRect(0, 0, 20, 12), [&](IGraphics* g) { g->DrawRotatedMaskedBitmap(base, mask, top, 2, 3, 0.0); }));
    gui.Paint(IRect(0, 0, 20, 12));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            LICE_ColorWord want = x < 4 ? LICE_RGBA(110, 120, 130, 255) : 0xFF000000u;
            if (x == 1 && y == 1) want = LICE_RGBA(255, 0, 0, 255);
            if (y + 3 >= 12) continue;
            ASSERT_EQ(gui.PixelAt(2 + x, 3 + y), want) << x << "," << y;
        }
}

} // namespace
