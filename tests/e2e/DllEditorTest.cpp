// The shipped DLL's editor in a real window: splash, knob, switch popup, wheel, window class and
// shutdown, each checked on screen and in what the host was told.
#include "E2eHarness.h"

#include <windows.h>

#include <algorithm>
#include <cmath>

namespace e2e {
namespace {

using vsthost::EditorWindow;
using vsthost::Image;
using vsthost::MouseButton;

HMODULE pluginModule()
{
    const std::string path = pluginPath();
    const std::string::size_type slash = path.find_last_of("/\\");
    return GetModuleHandleA(path.substr(slash == std::string::npos ? 0 : slash + 1).c_str());
}

bool classRegistered(HMODULE module)
{
    WNDCLASSA info;
    return GetClassInfoA(module, "IPlugWndClass", &info) != 0;
}

// ---- The splash --------------------------------------------------------------------------------

TEST(DllSplash, ShowsOnTheFirstThreeOpeningsOnly)
{
    vsthost::Host host;
    auto plugin = openEffect(host, Source::binary);
    ASSERT_TRUE(plugin);
    std::string error;
    const Image withSplash = renderHeadless({0.0, kWetCentre, true});
    const Image without = renderHeadless({0.0, kWetCentre, false});
    ASSERT_GT(comparePixels(withSplash, without, kSplash, true).count, 0) << "the reference shows no splash";

    for (int opening = 1; opening <= 4; ++opening) {
        SCOPED_TRACE("opening " + std::to_string(opening));
        EditorWindow window(*plugin);
        ASSERT_TRUE(window.Open(&error)) << error;
        window.Settle();
        const Image shown = window.Capture();
        if (opening == 1) {
            EXPECT_TRUE(vsthost::WritePng(shown, outputPath("editor-splash.png")));
        }
        const Image& expected = opening <= 3 ? withSplash : without;
        EXPECT_EQ(comparePixels(shown, expected, kWhole, true).count, 0)
            << describe(comparePixels(shown, expected, kWhole, true));
        // The user clicks it away each time; it comes back on the next opening while it has
        // showings left.
        window.Click(kStripX, kStripY + 100);
        window.Settle();
        EXPECT_EQ(comparePixels(window.Capture(), without, kWhole, true).count, 0);
    }
}

TEST(DllSplash, AClickHidesItAndDoesNotReachTheKnob)
{
    vsthost::Host host;
    auto plugin = openEffect(host, Source::binary);
    ASSERT_TRUE(plugin);
    std::string error;
    EditorWindow window(*plugin);
    ASSERT_TRUE(window.Open(&error)) << error;
    window.Settle();
    host.Log().Clear();

    // A press, a drag and a release right on the knob, which the splash covers.
    window.Drag(kKnob.cx(), kKnob.cy(), kKnob.cx(), kKnob.cy() - 30, 3);
    window.Settle();

    EXPECT_TRUE(editRequests(host.Log(), kWetMix).empty());
    EXPECT_FLOAT_EQ(plugin->GetParameter(kWetMix), static_cast<float>(kWetCentre));
    const Image shown = window.Capture();
    const PixelDiff diff = comparePixels(shown, renderHeadless({0.0, kWetCentre, false}), kWhole, true);
    EXPECT_EQ(diff.count, 0) << describe(diff);
}

// ---- The knob ------------------------------------------------------------------------------------

struct DragCase {
    const char* name;
    int dy; // pixels, down positive
    int steps;
};

class KnobDrag : public DllEditor, public ::testing::WithParamInterface<DragCase> {};

TEST_P(KnobDrag, TurnsWetMixAsTheKnobComputesAndTellsTheHost)
{
    const DragCase& c = GetParam();
    const int x = kKnob.cx(), y = kKnob.cy();
    window->Drag(x, y, x, y + c.dy, c.steps);
    window->Settle();

    // Vertical knob, gearing 4: every move adds dY / (top - bottom) / 4, clamped to 0..1.
    double expected = kWetCentre;
    int last = y;
    for (int i = 1; i <= c.steps; ++i) {
        const int now = y + c.dy * i / c.steps;
        expected += static_cast<double>(now - last) / static_cast<double>(kKnob.t - kKnob.b) / 4.0;
        expected = expected < 0.0 ? 0.0 : (expected > 1.0 ? 1.0 : expected);
        last = now;
    }

    const std::vector<VstInt32> edit = editRequests(host.Log(), kWetMix);
    ASSERT_GE(edit.size(), 3u);
    EXPECT_EQ(edit.front(), audioMasterBeginEdit);
    EXPECT_EQ(edit.back(), audioMasterEndEdit);
    for (std::size_t i = 1; i + 1 < edit.size(); ++i) EXPECT_EQ(edit[i], audioMasterAutomate) << "request " << i;
    const auto automated = host.Log().WithOpcode(audioMasterAutomate);
    ASSERT_FALSE(automated.empty());
    EXPECT_NEAR(automated.back().opt, expected, 1e-6);
    EXPECT_NEAR(plugin->GetParameter(kWetMix), expected, 1e-6);

    const PixelDiff diff =
        comparePixels(window->Capture(), renderHeadless({0.0, plugin->GetParameter(kWetMix), false}), kKnob, true);
    EXPECT_EQ(diff.count, 0) << describe(diff);
    // And the knob did move on screen.
    if (std::fabs(expected - kWetCentre) > 0.02) {
        EXPECT_GT(comparePixels(window->Capture(), renderHeadless({}), kKnob, false).count, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(E2e, KnobDrag,
                         ::testing::Values(DragCase{"Up40", -40, 8}, DragCase{"Down20", 20, 4},
                                           DragCase{"UpPastTheEnd", -400, 5}),
                         ByName());

struct WheelCase {
    const char* name;
    std::vector<int> deltas; // one wheel message each
    unsigned keys;
    double change;
};

class KnobWheel : public DllEditor, public ::testing::WithParamInterface<WheelCase> {};

TEST_P(KnobWheel, TurnsByWholeNotches)
{
    const WheelCase& c = GetParam();
    window->MouseMove(kKnob.cx(), kKnob.cy());
    for (const int delta : c.deltas) window->Wheel(kKnob.cx(), kKnob.cy(), delta, c.keys);
    window->Settle();
    EXPECT_NEAR(plugin->GetParameter(kWetMix), kWetCentre + c.change, 1e-6);
    // Each turn that moves the knob is an edit gesture of its own; one short of a notch sends
    // nothing at all.
    const std::size_t automates = host.Log().Count(audioMasterAutomate);
    EXPECT_EQ(host.Log().Count(audioMasterBeginEdit), automates);
    EXPECT_EQ(host.Log().Count(audioMasterEndEdit), automates);
    if (c.change == 0.0) {
        EXPECT_EQ(automates, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(E2e, KnobWheel,
                         ::testing::Values(WheelCase{"OneNotchForward", {120}, 0, 0.01},
                                           WheelCase{"TwoNotchesBack", {-240}, 0, -0.02},
                                           WheelCase{"PartialNotchIsNothing", {90}, 0, 0.0},
                                           // A precision wheel's quarter notches add up.
                                           WheelCase{"PartialsAddUp", {30, 30, 30, 30, 90}, 0, 0.01},
                                           WheelCase{"TurningBackDropsTheRest", {90, -30, -90}, 0, -0.01},
                                           WheelCase{"ShiftIsFine", {120}, MK_SHIFT, 0.001}),
                         ByName());

// A press whose button-up never comes still ends the host's edit gesture: the editor closes, or
// another window takes the pointer, in the middle of a drag.
struct CutShortCase {
    const char* name;
    enum { kEditorClosed, kCaptureTaken, kEffectClosed } how;
};

class KnobDragCutShort : public DllEditor, public ::testing::WithParamInterface<CutShortCase> {};

TEST_P(KnobDragCutShort, EndsTheEditGesture)
{
    const MouseButton held = MouseButton::Left;
    window->MouseDown(kKnob.cx(), kKnob.cy());
    window->MouseMove(kKnob.cx(), kKnob.cy() - 10, &held);
    switch (GetParam().how) {
    case CutShortCase::kEditorClosed: window->Close(); break;
    case CutShortCase::kCaptureTaken: SetCapture(static_cast<HWND>(window->Frame())); break;
    case CutShortCase::kEffectClosed:
        // effClose with the editor open: the effect goes, its window with it, and the host still
        // hears the gesture end rather than losing its process to a call into a half-gone object.
        plugin->Close();
        window->ForgetPlugin();
        break;
    }
    window->Pump();

    const std::vector<VstInt32> edit = editRequests(host.Log(), kWetMix);
    ASSERT_GE(edit.size(), 2u);
    EXPECT_EQ(edit.front(), audioMasterBeginEdit);
    EXPECT_EQ(edit.back(), audioMasterEndEdit);
    EXPECT_EQ(std::count(edit.begin(), edit.end(), audioMasterEndEdit), 1);
    ReleaseCapture();
}

INSTANTIATE_TEST_SUITE_P(E2e, KnobDragCutShort,
                         ::testing::Values(CutShortCase{"EditorClosed", CutShortCase::kEditorClosed},
                                           CutShortCase{"CaptureTaken", CutShortCase::kCaptureTaken},
                                           CutShortCase{"EffectClosed", CutShortCase::kEffectClosed}),
                         ByName());

// ---- The switch and its popup ---------------------------------------------------------------------

TEST_F(DllEditor, RightClickOnTheSwitchOffersItsValuesCentredOnIt)
{
    window->Click(kSwitchX, kSwitchY, MouseButton::Right);
    const auto popups = window->Popups();
    ASSERT_EQ(popups.size(), 1u);
    const vsthost::PopupInfo& list = popups[0];
    EXPECT_STREQ(list.className.c_str(), "ComboBox");
    EXPECT_EQ(list.controlId, 99);
    EXPECT_EQ(list.items, (std::vector<std::string>{"Left", "Right"}));
    EXPECT_EQ(list.selected, 0);
    // As wide as "Right" (5 x 8 + 24), centred on the switch, top at its vertical centre, three
    // rows of 36 tall.
    const int width = 5 * 8 + 24;
    EXPECT_EQ(list.width, width);
    EXPECT_EQ(list.left, (kSwitch.l + kSwitch.r) / 2 - width / 2);
    EXPECT_EQ(list.top, (kSwitch.t + kSwitch.b) / 2);
    // The box was asked for three rows of 36; the system shows the list shorter when fewer rows
    // fill it, so the request itself is what counts.
    const vsthost::WindowRequest* request = nullptr;
    for (const auto& made : window->CreatedWindows()) {
        if (made.window == list.window) request = &made;
    }
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->parent, window->Editor());
    EXPECT_EQ(request->height, 108);
    EXPECT_EQ(request->width, width);
    EXPECT_EQ(request->x, list.left);
    EXPECT_EQ(request->y, list.top);

    host.Log().Clear();
    ASSERT_TRUE(window->ChooseListEntry(list.window, 1));
    window->Settle();
    EXPECT_TRUE(window->Popups().empty());
    EXPECT_EQ(plugin->GetParameter(kPan), 1.0f);
    const auto automated = host.Log().WithOpcode(audioMasterAutomate);
    ASSERT_FALSE(automated.empty());
    EXPECT_EQ(automated.back().index, kPan);
    EXPECT_EQ(automated.back().opt, 1.0f);
    const PixelDiff diff = comparePixels(window->Capture(), renderHeadless({1.0, kWetCentre, false}), kWhole, true);
    EXPECT_EQ(diff.count, 0) << describe(diff);
}

TEST_F(DllEditor, RightClickOnTheKnobOpensNothing)
{
    window->Click(kKnob.cx(), kKnob.cy(), MouseButton::Right);
    window->Settle();
    EXPECT_TRUE(window->Popups().empty());
    EXPECT_FLOAT_EQ(plugin->GetParameter(kWetMix), static_cast<float>(kWetCentre));
}

// ---- What the window shows ------------------------------------------------------------------------

TEST_F(DllEditor, ShowsWhatTheHeadlessLayerDraws)
{
    plugin->SetParameter(kPan, 1.0f);
    plugin->SetParameter(kWetMix, 0.8f);
    window->Settle();
    const Image shown = window->Capture();
    ASSERT_FALSE(shown.Empty());
    EXPECT_TRUE(vsthost::WritePng(shown, outputPath("editor-win32.png")));
    const PixelDiff diff = comparePixels(shown, renderHeadless({1.0, 0.8, false}), kWhole, true);
    EXPECT_EQ(diff.count, 0) << describe(diff);
    // GDI drew the labels: the text rectangles are not plain background.
    EXPECT_GT(comparePixels(shown, renderHeadless({1.0, 0.8, false}), kWhole, false).count, 0);
}

// ---- Window class and shutdown ---------------------------------------------------------------------

TEST(DllWindowClass, LivesFromTheFirstEditorOpenedToTheLastClosed)
{
    vsthost::Host host;
    std::string error;
    auto first = host.Load(pluginPath(), &error);
    auto second = host.Load(pluginPath(), &error);
    ASSERT_TRUE(first && second) << error;
    const HMODULE module = pluginModule();
    ASSERT_NE(module, nullptr);
    EXPECT_FALSE(classRegistered(module));

    auto a = std::make_unique<EditorWindow>(*first);
    auto b = std::make_unique<EditorWindow>(*second);
    ASSERT_TRUE(a->Open(&error)) << error;
    ASSERT_TRUE(b->Open(&error)) << error;
    EXPECT_TRUE(classRegistered(module));
    a.reset();
    EXPECT_TRUE(classRegistered(module)) << "closing one editor dropped the class under the other";
    b->Settle(); // the other editor still paints
    EXPECT_FALSE(b->Capture().Empty());
    b.reset();
    EXPECT_FALSE(classRegistered(module));
}

TEST(DllShutdown, EffCloseWhileTheEditorIsOpenLeavesNoWindowAndNoClass)
{
    vsthost::Host host;
    auto plugin = openEffect(host, Source::binary);
    ASSERT_TRUE(plugin);
    std::string error;
    EditorWindow window(*plugin);
    ASSERT_TRUE(window.Open(&error)) << error;
    window.Settle();
    const HWND editor = static_cast<HWND>(window.Editor());
    // With the switch's popup open, too.
    window.Click(kStripX, kStripY + 100);
    window.Settle();
    window.Click(kSwitchX, kSwitchY, MouseButton::Right);
    ASSERT_EQ(window.Popups().size(), 1u);
    const HWND popup = static_cast<HWND>(window.Popups()[0].window);

    plugin->Close();
    window.ForgetPlugin();
    window.Settle();
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_EQ(GetWindow(static_cast<HWND>(window.Frame()), GW_CHILD), nullptr);
    EXPECT_FALSE(classRegistered(pluginModule()));
}

} // namespace
} // namespace e2e
