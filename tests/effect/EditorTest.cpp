// The effect's own editor, as the constructor builds it, driven through the headless window layer
// with its real images: the pointer as a user moves it, what reaches the host, and the pictures
// drawn, compared with pictures composed here from the image files.
#include "../editor/HeadlessFixture.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "effect/KorFreeWayfarer.h"
#include "raster/LicePng.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// What the editor tells the host, in order.
struct HostEvent {
    VstInt32 opcode;
    VstInt32 index;
    bool operator==(const HostEvent& o) const { return opcode == o.opcode && index == o.index; }
};
std::vector<HostEvent>& HostEvents()
{
    static std::vector<HostEvent> events;
    return events;
}

VstIntPtr VSTCALLBACK RecordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float)
{
    if (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit)
        HostEvents().push_back({opcode, index});
    if (opcode == audioMasterVersion) return 2400;
    return 0;
}

// The image files the effect embeds, decoded here for the expected pictures.
const LICE_IBitmap& Image(const char* name)
{
    static std::map<std::string, std::unique_ptr<LICE_IBitmap>> images;
    std::unique_ptr<LICE_IBitmap>& image = images[name];
    if (!image) image.reset(LICE_ReadPngFile((std::string(WAYFARER_SOURCE_DIR "/img/") + name).c_str(), nullptr));
    if (!image) ADD_FAILURE() << "cannot read img/" << name;
    static LICE_MemBitmap empty(1, 1);
    return image ? *image : empty;
}

const IRect kSwitch(53, 109, 222, 130), kKnob(99, 85, 176, 162), kSplash(25, 61, 250, 151);
// Where text is drawn; the fonts are the window layer's business, so pictures are compared
// around these.
const IRect kTextAreas[] = {IRect(96, 157, 179, 170), IRect(119, 63, 157, 76), IRect(56, 196, 221, 209)};

bool InText(int x, int y)
{
    for (const IRect& r : kTextAreas) {
        if (x >= r.L && x < r.R && y >= r.T && y < r.B) return true;
    }
    return false;
}

class Editor : public testing::Test {
protected:
    Editor()
    {
        HostEvents().clear();
        plug = std::make_unique<KorFreeWayfarer>(RecordingHost, MakeHeadlessGraphics);
        effect = plug->GetAEffect();
        gui = dynamic_cast<IGraphicsHeadless*>(plug->GetGUI());
    }
    void SetUp() override { ASSERT_NE(gui, nullptr); }

    void Open()
    {
        gui->OpenWindow(nullptr);
        plug->EditorOpened();
        gui->Tick();
    }
    // Opened once with the splash clicked away, as a user sees the editor most of the time.
    void OpenWithoutSplash()
    {
        Open();
        gui->Click(10, 100);
        gui->Tick();
        ASSERT_FALSE(SplashShown());
    }
    void Settle()
    {
        gui->Tick();
        gui->Tick();
    }
    bool SplashShown() const { return gui->GetControl(plug->SplashControlIndex())->GetValue() >= 0.5; }
    double WetMix() const { return plug->GetParam(KorFreeWayfarer::kWetMix)->GetNormalizedValue(); }
    void SetWetMix(float normalized) { effect->setParameter(effect, KorFreeWayfarer::kWetMix, normalized); }

    // Background, then the switch's and the knob's frames with source alpha, then the splash.
    static LICE_ColorWord Expected(int x, int y, int switchFrame, int knobFrame, bool splash)
    {
        LICE_ColorWord c = ImagePixel(&Image("korFreeWayfarer.png"), x, y);
        if (kSwitch.Contains(x, y))
            c = OverModel(c, ImagePixel(&Image("switch.png"), x - kSwitch.L, y - kSwitch.T + (switchFrame - 1) * 21));
        if (kKnob.Contains(x, y))
            c = OverModel(c, ImagePixel(&Image("knob.png"), x - kKnob.L, y - kKnob.T + (knobFrame - 1) * 77));
        if (splash && kSplash.Contains(x, y)) c = ImagePixel(&Image("splash.png"), x - kSplash.L, y - kSplash.T);
        return c;
    }
    void ExpectPanel(int switchFrame, int knobFrame, bool splash)
    {
        int wrong = 0;
        for (int y = 0; y < 212; ++y) {
            for (int x = 0; x < 275; ++x) {
                if (InText(x, y)) continue;
                const LICE_ColorWord want = Expected(x, y, switchFrame, knobFrame, splash);
                if (gui->PixelAt(x, y) != want && ++wrong <= 3)
                    ADD_FAILURE() << std::hex << "at " << std::dec << x << "," << y << ": " << std::hex
                                  << gui->PixelAt(x, y) << " instead of " << want;
            }
        }
        EXPECT_EQ(wrong, 0) << "switch frame " << switchFrame << ", knob frame " << knobFrame;
    }

    std::unique_ptr<KorFreeWayfarer> plug;
    AEffect* effect = nullptr;
    IGraphicsHeadless* gui = nullptr;
};

// ---- The pointer ---------------------------------------------------------------------------

TEST_F(Editor, SplashShowsOnTheFirstThreeOpeningsOnly)
{
    for (int opening = 1; opening <= 4; ++opening) {
        Open();
        EXPECT_EQ(SplashShown(), opening <= 3) << "opening " << opening;
        if (SplashShown()) gui->Click(200, 100);
        gui->CloseWindow();
    }
}

TEST_F(Editor, ClickAnywhereHidesTheSplashWithoutTouchingTheKnob)
{
    Open();
    ASSERT_TRUE(SplashShown());
    const double before = WetMix();
    gui->Click(137, 123);
    gui->Tick();
    EXPECT_FALSE(SplashShown());
    EXPECT_EQ(WetMix(), before);
    EXPECT_TRUE(HostEvents().empty());
}

TEST_F(Editor, TopStripBringsTheSplashBack)
{
    OpenWithoutSplash();
    gui->Click(10, 40);
    gui->Tick();
    EXPECT_FALSE(SplashShown());
    gui->Click(10, 10);
    gui->Tick();
    EXPECT_TRUE(SplashShown());
}

TEST_F(Editor, KnobDragUpMovesWetMixAndTellsTheHostInOrder)
{
    OpenWithoutSplash();
    SetWetMix(0.25f);
    gui->Tick(); // the editor shows the host's value on its next tick
    HostEvents().clear();
    // 154 px up on a 77 px knob with gearing 4 is half the range.
    gui->OnMouseDown(137, 150, IMouseMod(true));
    for (int y = 149; y >= 150 - 154; --y) gui->MouseMove(137, y, IMouseMod(true));
    gui->OnMouseUp(137, -4);
    EXPECT_NEAR(WetMix(), 0.75, 1e-9);

    const std::vector<HostEvent>& events = HostEvents();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front(), (HostEvent{audioMasterBeginEdit, KorFreeWayfarer::kWetMix}));
    EXPECT_EQ(events.back(), (HostEvent{audioMasterEndEdit, KorFreeWayfarer::kWetMix}));
    for (std::size_t i = 1; i + 1 < events.size(); ++i)
        EXPECT_EQ(events[i], (HostEvent{audioMasterAutomate, KorFreeWayfarer::kWetMix})) << i;
}

TEST_F(Editor, CaptureHoldsThroughADragOutsideTheEditor)
{
    OpenWithoutSplash();
    SetWetMix(0.5f);
    gui->OnMouseDown(137, 120, IMouseMod(true));
    gui->MouseMove(500, 120 + 77, IMouseMod(true)); // far right of and below the window
    EXPECT_EQ(gui->GetMouseCapture(), 2);
    gui->MouseMove(-300, 120 + 2 * 77, IMouseMod(true));
    gui->OnMouseUp(-300, 400);
    EXPECT_EQ(gui->GetMouseCapture(), -1);
    EXPECT_NEAR(WetMix(), 0.0, 1e-9); // 154 px down
    EXPECT_EQ(HostEvents().back(), (HostEvent{audioMasterEndEdit, KorFreeWayfarer::kWetMix}));
}

TEST_F(Editor, ClosingMidDragEndsTheGesture)
{
    OpenWithoutSplash();
    HostEvents().clear();
    gui->OnMouseDown(137, 120, IMouseMod(true));
    gui->MouseMove(137, 100, IMouseMod(true));
    gui->CloseWindow();
    EXPECT_EQ(gui->GetMouseCapture(), -1);
    ASSERT_FALSE(HostEvents().empty());
    EXPECT_EQ(HostEvents().front(), (HostEvent{audioMasterBeginEdit, KorFreeWayfarer::kWetMix}));
    EXPECT_EQ(HostEvents().back(), (HostEvent{audioMasterEndEdit, KorFreeWayfarer::kWetMix}));
}

TEST_F(Editor, SwitchTogglesPan)
{
    OpenWithoutSplash();
    const struct {
        int x, y;
        double pan;
    } clicks[] = {{60, 120, 1.0}, {215, 112, 0.0}, {60, 128, 1.0}};
    for (const auto& c : clicks) {
        HostEvents().clear();
        gui->Click(c.x, c.y);
        gui->Tick();
        EXPECT_EQ(plug->GetParam(KorFreeWayfarer::kPan)->Value(), c.pan) << c.x << "," << c.y;
        // The host hears of the gesture before the change the click makes.
        EXPECT_EQ(HostEvents(), (std::vector<HostEvent>{{audioMasterBeginEdit, KorFreeWayfarer::kPan},
                                                        {audioMasterAutomate, KorFreeWayfarer::kPan},
                                                        {audioMasterEndEdit, KorFreeWayfarer::kPan}}));
    }
}

TEST_F(Editor, RightClicks)
{
    OpenWithoutSplash();
    gui->Click(137, 120, IMouseMod(false, true));
    EXPECT_TRUE(gui->Prompts().empty());
    EXPECT_EQ(WetMix(), 0.5);
    gui->Click(60, 120, IMouseMod(false, true));
    ASSERT_EQ(gui->Prompts().size(), 1u);
    EXPECT_EQ(gui->Prompts()[0].param, plug->GetParam(KorFreeWayfarer::kPan));
    EXPECT_EQ(plug->GetParam(KorFreeWayfarer::kPan)->Value(), 0.0);
}

TEST_F(Editor, WheelStepsFineWithModifiers)
{
    OpenWithoutSplash();
    const struct {
        IMouseMod mod;
        int notches;
        double change;
    } cases[] = {
        {IMouseMod(), 3, 0.03},
        {IMouseMod(), -2, -0.02},
        {IMouseMod(false, false, true), 5, 0.005},          // shift
        {IMouseMod(false, false, false, true), -4, -0.004}, // control
    };
    // Short of a notch (a precision wheel's message), or against a stop: nothing changes, and the
    // host hears nothing.
    HostEvents().clear();
    gui->OnMouseWheel(137, 120, IMouseMod(), 0);
    EXPECT_TRUE(HostEvents().empty());
    SetWetMix(1.0f);
    gui->Tick();
    HostEvents().clear();
    gui->OnMouseWheel(137, 120, IMouseMod(), 2);
    EXPECT_TRUE(HostEvents().empty());
    SetWetMix(0.5f);
    gui->Tick();

    for (const auto& c : cases) {
        const double before = WetMix();
        HostEvents().clear();
        gui->OnMouseWheel(137, 120, c.mod, c.notches);
        EXPECT_NEAR(WetMix() - before, c.change, 1e-9) << c.notches;
        // A gesture of its own.
        EXPECT_EQ(HostEvents(), (std::vector<HostEvent>{{audioMasterBeginEdit, KorFreeWayfarer::kWetMix},
                                                        {audioMasterAutomate, KorFreeWayfarer::kWetMix},
                                                        {audioMasterEndEdit, KorFreeWayfarer::kWetMix}}));
    }
}

TEST_F(Editor, DoubleClickRestoresTheFirstValueTheKnobWasShown)
{
    OpenWithoutSplash();
    SetWetMix(0.9f);
    gui->Tick();
    gui->OnMouseDblClick(137, 120, IMouseMod(true));
    gui->OnMouseUp(137, 120);
    EXPECT_EQ(WetMix(), 0.5); // what SetEditor pushed at construction: the default
}

// The first click of a double click on the splash panel takes the panel down; the double click
// that follows belongs to the panel, not to the knob that is now under the pointer.
TEST_F(Editor, DoubleClickOnTheSplashDoesNotReachTheKnob)
{
    Open();
    ASSERT_TRUE(SplashShown());
    SetWetMix(0.9f);
    gui->Tick();
    HostEvents().clear();
    gui->OnMouseDown(137, 120, IMouseMod(true));
    gui->OnMouseUp(137, 120);
    gui->OnMouseDblClick(137, 120, IMouseMod(true));
    gui->OnMouseUp(137, 120);
    gui->Tick();
    EXPECT_FALSE(SplashShown());
    EXPECT_NEAR(WetMix(), 0.9, 1e-6);
    EXPECT_TRUE(HostEvents().empty());
}

// ---- Pictures ------------------------------------------------------------------------------

TEST_F(Editor, OpeningDrawsTheComposedPanel)
{
    Open();
    ExpectPanel(1, 33, true);
    gui->Click(10, 100);
    gui->Tick();
    ExpectPanel(1, 33, false);
}

TEST_F(Editor, FramesFollowTheValues)
{
    OpenWithoutSplash();
    const struct {
        float wetMix, pan;
        int knobFrame, switchFrame;
    } cases[] = {
        {0.0f, 0.0f, 1, 1},    {0.0078125f, 0.0f, 2, 1}, // half a frame step already rounds up
        {0.0078f, 1.0f, 1, 2}, {0.5f, 1.0f, 33, 2},      {1.0f, 0.0f, 65, 1},
    };
    for (const auto& c : cases) {
        SetWetMix(c.wetMix);
        effect->setParameter(effect, KorFreeWayfarer::kPan, c.pan);
        Settle();
        ExpectPanel(c.switchFrame, c.knobFrame, false);
    }
}

TEST_F(Editor, TimerRedrawsOnlyTheDirtyUnion)
{
    OpenWithoutSplash();
    const int presents = gui->PresentCount();
    EXPECT_FALSE(gui->Tick());
    EXPECT_EQ(gui->PresentCount(), presents);

    // Marks inside and outside the knob; only the knob's rectangle is repainted.
    LICE_IBitmap* draw = gui->GetDrawBitmap();
    const LICE_ColorWord mark = 0xFF123456;
    draw->Pixels()[120 * draw->RowSpan() + 137] = mark;
    draw->Pixels()[120 * draw->RowSpan() + 60] = mark; // the switch, outside the knob
    draw->Pixels()[5 * draw->RowSpan() + 5] = mark;
    SetWetMix(0.75f);
    EXPECT_TRUE(gui->Tick());
    EXPECT_EQ(gui->LastPresented(), kKnob);
    EXPECT_NE(gui->PixelAt(137, 120), mark);
    EXPECT_EQ(gui->PixelAt(60, 120), mark);
    EXPECT_EQ(gui->PixelAt(5, 5), mark);

    // Two controls: the union of both rectangles.
    SetWetMix(0.25f);
    effect->setParameter(effect, KorFreeWayfarer::kPan, 1.0f);
    gui->Tick();
    EXPECT_EQ(gui->LastPresented(), IRect(53, 85, 222, 162));
}

// ---- Images --------------------------------------------------------------------------------

// The decoded images behind the background, the switch and the splash.
std::vector<LICE_IBitmap*> ImagesOf(KorFreeWayfarer& plug)
{
    std::vector<LICE_IBitmap*> images;
    for (int i : {0, 1, plug.SplashControlIndex()}) {
        auto* control = dynamic_cast<IBitmapControl*>(plug.GetGUI()->GetControl(i));
        images.push_back(control ? control->GetBitmap().data : nullptr);
    }
    return images;
}

TEST(EditorImages, InstancesShareOneDecodedImage)
{
    KorFreeWayfarer a(nullptr, MakeHeadlessGraphics), b(nullptr, MakeHeadlessGraphics);
    const std::vector<LICE_IBitmap*> images = ImagesOf(a);
    for (LICE_IBitmap* image : images) EXPECT_NE(image, nullptr);
    EXPECT_EQ(images, ImagesOf(b));
}

TEST(EditorImages, InstancesMadeOnTwoThreadsAtOnceShareTheirImages)
{
    std::unique_ptr<KorFreeWayfarer> made[2];
    std::thread threads[2];
    for (int i = 0; i < 2; ++i)
        threads[i] =
            std::thread([&made, i] { made[i] = std::make_unique<KorFreeWayfarer>(nullptr, MakeHeadlessGraphics); });
    for (std::thread& t : threads) t.join();
    ASSERT_NE(ImagesOf(*made[0])[0], nullptr);
    EXPECT_EQ(ImagesOf(*made[0]), ImagesOf(*made[1]));
}

} // namespace
