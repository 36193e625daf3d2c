// Text in the headless window layer: where the ink lands for each alignment and size, its colour,
// the font each style gets (and keeps), and text that falls partly or wholly off the bitmap.
#include "editor/headless/HeadlessText.h"
#include "../plugcore/TestPlug.h"
#include "editor/IControl.h"
#include "editor/headless/IGraphicsHeadless.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kW = 200, kH = 60;
constexpr LICE_ColorWord kPaper = 0xFFFFFFFF;
const IColor kLabelColor(255, 33, 37, 40);

// The ink on a white page: its bounding box (right and bottom exclusive), how many pixels it
// touches, how much darkness it lays down, and its darkest pixel.
struct Ink {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    int pixels = 0;
    long darkness = 0;
    LICE_ColorWord darkest = kPaper;

    bool Empty() const { return pixels == 0; }
};

int Sum(LICE_ColorWord c) { return LICE_GETR(c) + LICE_GETG(c) + LICE_GETB(c); }

class Page {
public:
    explicit Page(LICE_ColorWord paper = kPaper) : gui(nullptr, kW, kH)
    {
        gui.PrepareDrawing();
        Fill(&gui, paper);
    }
    static void Fill(IGraphicsHeadless* g, LICE_ColorWord paper)
    {
        const IColor color(LICE_GETA(paper), LICE_GETR(paper), LICE_GETG(paper), LICE_GETB(paper));
        for (int y = 0; y < g->Height(); ++y) g->DrawHorizontalSpan(color, y, 0, g->Width() - 1);
    }

    Ink Measure()
    {
        Ink ink;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const LICE_ColorWord p = gui.PixelAt(x, y);
                if ((p & 0xFFFFFF) == (kPaper & 0xFFFFFF)) continue;
                ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x + 1);
                ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y + 1);
                ++ink.pixels;
                ink.darkness += 765 - Sum(p);
                if (Sum(p) < Sum(ink.darkest)) ink.darkest = p;
            }
        return ink;
    }
    std::vector<LICE_ColorWord> Pixels()
    {
        std::vector<LICE_ColorWord> all;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) all.push_back(gui.PixelAt(x, y));
        return all;
    }

    IGraphicsHeadless gui;
};

IText Style(int size = 12, IText::EAlign align = IText::kAlignNear, IText::EStyle style = IText::kStyleNormal)
{
    return IText(size, kLabelColor, "Tahoma", style, align);
}

Ink Draw(const IText& style, const char* text, const IRect& rect)
{
    Page page;
    EXPECT_TRUE(page.gui.DrawTextInRect(style, text, rect)) << text;
    return page.Measure();
}

TEST(HeadlessText, InkTakesTheStyleColourAndLeavesAlphaAlone)
{
    struct Case {
        IColor color;
        LICE_ColorWord paper;
    } cases[] = {
        {kLabelColor, kPaper},
        {IColor(255, 57, 64, 70), kPaper},
        {IColor(255, 200, 0, 0), 0x80FFFFFF},   // a translucent page keeps its alpha
        {IColor(0, 0, 90, 180), 0xFFFFFFFF},    // the style's alpha is not used
        {IColor(255, 300, -20, 0), 0xFFFFFFFF}, // channels out of range are held to 0..255
    };
    for (const Case& c : cases) {
        Page page(c.paper);
        const IText style(20, c.color, "Tahoma", IText::kStyleNormal, IText::kAlignNear);
        ASSERT_TRUE(page.gui.DrawTextInRect(style, "HI", IRect(10, 10, 100, 40)));
        const Ink ink = page.Measure();
        ASSERT_FALSE(ink.Empty());
        // The stems of H and I are fully covered: there the pixel is the colour itself.
        EXPECT_NEAR(LICE_GETR(ink.darkest), std::clamp(c.color.R, 0, 255), 2) << c.color.R;
        EXPECT_NEAR(LICE_GETG(ink.darkest), std::clamp(c.color.G, 0, 255), 2) << c.color.G;
        EXPECT_NEAR(LICE_GETB(ink.darkest), std::clamp(c.color.B, 0, 255), 2) << c.color.B;
        for (const LICE_ColorWord p : page.Pixels()) ASSERT_EQ(LICE_GETA(p), LICE_GETA(c.paper));
        EXPECT_GE(ink.left, 10);
        EXPECT_LE(ink.right, 40);
    }
}

TEST(HeadlessText, AlignmentPlacesTheLineInTheRectangle)
{
    enum Anchor { kLeft, kCentre, kRight };
    struct Case {
        int align;
        IRect rect;
        Anchor anchor;
    } cases[] = {
        {IText::kAlignNear, IRect(20, 10, 180, 30), kLeft},
        {IText::kAlignCenter, IRect(20, 10, 180, 30), kCentre},
        {IText::kAlignFar, IRect(20, 10, 180, 30), kRight},
        {3, IRect(20, 10, 180, 30), kLeft}, // the one other value the enumeration holds
        // Narrower than the text: it spills over both sides instead of being clipped.
        {IText::kAlignCenter, IRect(90, 10, 110, 30), kCentre},
        {IText::kAlignFar, IRect(150, 10, 160, 30), kRight},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "align " << c.align << " rect " << c.rect.L << ".." << c.rect.R);
        const Ink ink = Draw(Style(12, static_cast<IText::EAlign>(c.align)), "Wayfarer text", c.rect);
        ASSERT_FALSE(ink.Empty());
        EXPECT_GT(ink.right - ink.left, 40);
        switch (c.anchor) {
        case kLeft:
            EXPECT_GE(ink.left, c.rect.L);
            EXPECT_LE(ink.left, c.rect.L + 2);
            break;
        case kCentre: EXPECT_NEAR(ink.left + ink.right, c.rect.L + c.rect.R, 4); break;
        case kRight:
            EXPECT_LE(ink.right, c.rect.R);
            EXPECT_GE(ink.right, c.rect.R - 3);
            break;
        }
        if (c.rect.W() < 40) {
            EXPECT_LT(ink.left, c.rect.L);
            EXPECT_EQ(ink.right > c.rect.R, c.anchor == kCentre);
        }
    }
}

TEST(HeadlessText, CellStartsAtTheTopAndIsSizeRowsHigh)
{
    constexpr int kTop = 8;
    for (const int size : {9, 11, 12, 16, 24, 40}) {
        SCOPED_TRACE(size);
        // Capitals reach near the cell's top, the descender of g near its bottom.
        const Ink ink = Draw(Style(size), "Hg", IRect(10, kTop, 190, kTop + 4));
        ASSERT_FALSE(ink.Empty());
        EXPECT_GE(ink.top, kTop);
        EXPECT_LE(ink.top, kTop + size / 4 + 1);
        EXPECT_LE(ink.bottom, kTop + size + 1);
        EXPECT_GE(ink.bottom, kTop + size * 3 / 4);
    }
}

TEST(HeadlessText, SizesGdiAcceptsDrawAndAbsurdOnesFail)
{
    struct Case {
        int size;
        bool draws;
    } cases[] = {{0, true},
                 {-12, true},
                 {1, true},
                 {kMaxTextSize, true},
                 {kMaxTextSize + 1, false},
                 {-kMaxTextSize - 1, false},
                 {INT_MAX, false},
                 {INT_MIN, false}};
    for (const Case& c : cases) {
        Page page;
        // Large sizes are pulled up so their middle shows.
        const int top = c.draws ? -std::abs(c.size) / 2 : 0;
        EXPECT_EQ(page.gui.DrawTextInRect(Style(c.size), "Hg", IRect(0, top, kW, kH)), c.draws) << c.size;
        EXPECT_EQ(page.Measure().Empty(), !c.draws) << c.size;
    }
    // A negative size is the em, so the same number draws larger than as a cell height.
    EXPECT_GT(Draw(Style(-20), "H", IRect(0, 0, kW, kH)).pixels, Draw(Style(20), "H", IRect(0, 0, kW, kH)).pixels);
}

TEST(HeadlessText, BoldLaysDownMoreInk)
{
    const IRect rect(10, 10, 190, 40);
    const Ink normal = Draw(Style(12), "v1.2 Wet Mix", rect);
    const Ink bold = Draw(Style(12, IText::kAlignNear, IText::kStyleBold), "v1.2 Wet Mix", rect);
    const Ink italic = Draw(Style(12, IText::kAlignNear, IText::kStyleItalic), "v1.2 Wet Mix", rect);
    EXPECT_GT(bold.darkness, normal.darkness * 6 / 5);
    EXPECT_NE(italic.darkness, normal.darkness);
}

TEST(HeadlessText, TextOffTheBitmapIsClippedToIt)
{
    const int far = INT_MAX - 10;
    struct Case {
        IRect rect;
        bool someInk;
    } cases[] = {
        {IRect(-120, 10, -20, 30), false},        // left of the bitmap
        {IRect(kW + 5, 10, kW + 100, 30), false}, // right of it
        {IRect(10, -40, 100, -20), false},        // above
        {IRect(10, kH, 100, kH + 20), false},     // below
        {IRect(-15, -5, 100, 10), true},          // over the top-left corner
        {IRect(kW - 12, kH - 6, kW + 50, kH + 10), true},
        {IRect(far, far, INT_MAX, INT_MAX), false},
        {IRect(INT_MIN, INT_MIN, INT_MIN + 10, INT_MIN + 10), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rect.L << "," << c.rect.T << " " << c.rect.R << "," << c.rect.B);
        for (const IText::EAlign align : {IText::kAlignNear, IText::kAlignCenter, IText::kAlignFar})
            EXPECT_EQ(Draw(Style(16, align), "WWWWWW", c.rect).Empty(), !c.someInk) << align;
    }
    // The middle of the widest rectangle is just left of 0, so the text straddles the left edge.
    const Ink ink = Draw(Style(16, IText::kAlignCenter), "WWWWWW", IRect(INT_MIN, 10, INT_MAX, 30));
    EXPECT_EQ(ink.left, 0);
    EXPECT_GT(ink.right, 20);
    EXPECT_LT(ink.right, 60);
}

TEST(HeadlessText, NoTextOrNoBitmapDrawsNothingAndSucceeds)
{
    Page page;
    IText style = Style();
    EXPECT_TRUE(page.gui.DrawTextInRect(style, "", IRect(0, 0, kW, kH)));
    EXPECT_TRUE(page.gui.DrawTextInRect(style, nullptr, IRect(0, 0, kW, kH)));
    EXPECT_TRUE(page.Measure().Empty());
    EXPECT_EQ(page.gui.TextRequests().size(), 2u);

    IGraphicsHeadless unprepared(nullptr, kW, kH);
    EXPECT_TRUE(unprepared.DrawTextInRect(style, "R", IRect(0, 0, kW, kH)));
}

// A font some other layer made for the style.
class ForeignFont : public IFontHandle {};

TEST(HeadlessText, EachStyleKeepsItsOwnFont)
{
    const IRect rect(5, 5, 195, 40);
    IText original = Style(14, IText::kAlignCenter);
    Page first;
    ASSERT_TRUE(first.gui.DrawTextInRect(original, "Pan center", rect));
    IFontHandle* const made = original.fontHandle;
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(first.gui.DrawTextInRect(original, "Pan center", rect));
    EXPECT_EQ(original.fontHandle, made);

    const IText copy(original);
    Page second;
    ASSERT_TRUE(second.gui.DrawTextInRect(copy, "Pan center", rect));
    EXPECT_NE(copy.fontHandle, nullptr);
    EXPECT_NE(copy.fontHandle, made);
    Page once;
    ASSERT_TRUE(once.gui.DrawTextInRect(Style(14, IText::kAlignCenter), "Pan center", rect));
    // Drawing twice over the same page blends the edges twice; compare single draws.
    EXPECT_EQ(second.Pixels(), once.Pixels());

    // Another layer's font is neither used nor replaced.
    IText foreign = Style(14, IText::kAlignCenter);
    auto* theirs = new ForeignFont;
    foreign.fontHandle = theirs;
    Page third;
    ASSERT_TRUE(third.gui.DrawTextInRect(foreign, "Pan center", rect));
    EXPECT_EQ(foreign.fontHandle, theirs);
    EXPECT_EQ(third.Pixels(), once.Pixels());
}

TEST(HeadlessText, AnyFontNameFindsAFont)
{
    IText unterminated = Style();
    memset(unterminated.font, 'Q', sizeof unterminated.font);
    const IText styles[] = {Style(),
                            IText(12, kLabelColor, "No Such Font Family", IText::kStyleNormal, IText::kAlignNear),
                            IText(12, kLabelColor, "", IText::kStyleNormal, IText::kAlignNear), unterminated};
    for (const IText& style : styles)
        EXPECT_FALSE(Draw(style, "Wet Mix", IRect(10, 10, 190, 30)).Empty())
            << std::string(style.font, strnlen(style.font, sizeof style.font));
}

TEST(HeadlessText, BreaksAndPrefixesFollowDrawText)
{
    struct Case {
        const char* text;
        const char* sameAs;
    } cases[] = {
        {"A\r\nB", "A\nB"},
        {"A\rB", "A\nB"},
        {"&R", "R"},
        {"a\tb\x01", "ab"},
    };
    for (const Case& c : cases) {
        Page a, b;
        ASSERT_TRUE(a.gui.DrawTextInRect(Style(12), c.text, IRect(10, 5, 190, 20)));
        ASSERT_TRUE(b.gui.DrawTextInRect(Style(12), c.sameAs, IRect(10, 5, 190, 20)));
        EXPECT_EQ(a.Pixels(), b.Pixels()) << c.text;
    }
    // A second line starts one cell below the first.
    const Ink two = Draw(Style(12), "H\nH", IRect(10, 5, 190, 20));
    const Ink one = Draw(Style(12), "H", IRect(10, 5, 190, 20));
    EXPECT_EQ(two.bottom - one.bottom, 12);
}

// The editor's own labels, drawn by their controls in a repaint.
TEST(HeadlessText, TextControlsDrawTheirLabels)
{
    TestPlug plug;
    IGraphicsHeadless gui(&plug, 275, 212);
    gui.PrepareDrawing();
    Page::Fill(&gui, kPaper);
    const IText label(11, kLabelColor, "Tahoma", IText::kStyleNormal, IText::kAlignNear);
    gui.AttachControl(new ITextControl(&plug, IRect(96, 157, 179, 170), label, "L"));
    gui.OpenWindow(nullptr);
    ASSERT_TRUE(gui.Tick());
    ASSERT_EQ(gui.TextRequests().size(), 1u);
    int inside = 0, outside = 0;
    for (int y = 0; y < 212; ++y)
        for (int x = 0; x < 275; ++x) {
            if (gui.PixelAt(x, y) == kPaper) continue;
            (x >= 96 && x < 106 && y >= 157 && y < 170 ? inside : outside) += 1;
        }
    EXPECT_GT(inside, 5);
    EXPECT_EQ(outside, 0);
}

TEST(HeadlessText, EditorsOnSeveralThreadsDrawAlike)
{
    constexpr int kThreads = 4;
    std::vector<Ink> got(kThreads);
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&got, t] {
            for (int round = 0; round < 5; ++round) {
                const IText style = Style(12, IText::kAlignCenter, IText::kStyleBold);
                got[static_cast<size_t>(t)] = Draw(style, "v1.2", IRect(56, 10, 121, 23));
            }
        });
    for (auto& th : threads) th.join();
    // Run alone, this test also has the threads race to set up FreeType and fontconfig.
    const Ink reference = Draw(Style(12, IText::kAlignCenter, IText::kStyleBold), "v1.2", IRect(56, 10, 121, 23));
    for (const Ink& ink : got) {
        EXPECT_EQ(ink.pixels, reference.pixels);
        EXPECT_EQ(ink.darkness, reference.darkness);
    }
}

} // namespace
