// The shipped .so's editor in a real X11 window, driven with real input through XTest: splash,
// knob, wheel, the switch's value list, two editors at once, shutdown in awkward places, threads,
// a host without idle calls, a machine without a display. Each is checked on screen, pixel for
// pixel against the headless rendering (text included: both draw it with the same FreeType code),
// and in what the host was told.
#include "X11Harness.h"
#include "editor/x11/IGraphicsX11.h"

#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace e2e {
namespace {

using vsthost::Image;
using vsthost::MouseButton;
using vsthost::X11EditorWindow;
using vsthost::X11Popup;

// ---- What the host finds --------------------------------------------------------------------------

TEST(SoEditorWindow, IsTheFramesOnlyChildAtTheEditorsSize)
{
    E2E_REQUIRE_DISPLAY();
    // The host finds the editor's windows by the names the layer gives them.
    EXPECT_STREQ(X11EditorWindow::kEditorName, IGraphicsX11::kEditorName);
    EXPECT_STREQ(X11EditorWindow::kListName, IGraphicsX11::kListName);
    EXPECT_STREQ(X11EditorWindow::kEntryName, IGraphicsX11::kEntryName);
    EXPECT_STREQ(X11EditorWindow::kItemsProperty, IGraphicsX11::kItemsProperty);
    EXPECT_STREQ(X11EditorWindow::kSelectedProperty, IGraphicsX11::kSelectedProperty);
    EXPECT_STREQ(X11EditorWindow::kTextProperty, IGraphicsX11::kTextProperty);

    vsthost::Host host;
    auto plugin = openEffect(host, Source::binary);
    ASSERT_TRUE(plugin);
    ASSERT_TRUE(plugin->Effect()->flags & effFlagsHasEditor);
    auto window = openWindow(*plugin);
    ASSERT_NE(window->Editor(), 0u);
    const vsthost::X11Server& server = *window->Server();
    EXPECT_EQ(server.Children(window->Frame()), std::vector<unsigned long>{window->Editor()});
    EXPECT_EQ(window->FrameWindows(), 1);
    // The editor fills the frame: its (0, 0) is the frame's, wherever the frame is on the screen.
    const auto shown = server.Geometry(window->Editor());
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->x, 0);
    EXPECT_EQ(shown->y, 0);
    EXPECT_EQ(shown->width, kEditorW);
    EXPECT_EQ(shown->height, kEditorH);
    EXPECT_TRUE(shown->viewable);
    // On a connection of its own, not the host's.
    const auto client = window->EditorClient();
    ASSERT_TRUE(client);
    const auto self = server.Self();
    ASSERT_TRUE(self);
    EXPECT_NE(client->base, self->base);
    EXPECT_FALSE(client->Owns(window->Frame()));
}

// ---- The splash -------------------------------------------------------------------------------------

TEST(SoSplash, ShowsOnTheFirstThreeOpeningsAndAClickHidesIt)
{
    E2E_REQUIRE_DISPLAY();
    vsthost::Host host;
    auto plugin = openEffect(host, Source::binary);
    ASSERT_TRUE(plugin);
    const Image withSplash = renderHeadless({0.0, kWetCentre, true});
    const Image without = renderHeadless({0.0, kWetCentre, false});
    ASSERT_GT(comparePixels(withSplash, without, kSplash, false).count, 0) << "the reference shows no splash";

    for (int opening = 1; opening <= 4; ++opening) {
        SCOPED_TRACE("opening " + std::to_string(opening));
        auto window = openWindow(*plugin);
        const Image shown = window->Capture();
        if (opening == 1) {
            EXPECT_TRUE(vsthost::WritePng(shown, outputPath("editor-x11-splash.png")));
        }
        const Image& expected = opening <= 3 ? withSplash : without;
        const PixelDiff diff = comparePixels(shown, expected, kWhole, false);
        EXPECT_EQ(diff.count, 0) << describe(diff);
        // The user clicks it away each time; it comes back on the next opening while it has
        // showings left.
        window->Click(kStripX, kStripY + 100);
        window->Settle();
        const PixelDiff gone = comparePixels(window->Capture(), without, kWhole, false);
        EXPECT_EQ(gone.count, 0) << describe(gone);
    }
}

TEST(SoSplash, AClickOnItDoesNotReachTheKnob)
{
    E2E_REQUIRE_DISPLAY();
    vsthost::Host host;
    auto plugin = openEffect(host, Source::binary);
    ASSERT_TRUE(plugin);
    auto window = openWindow(*plugin);
    host.Log().Clear();

    // A press, a drag and a release right on the knob, which the splash covers.
    window->Drag(kKnob.cx(), kKnob.cy(), kKnob.cx(), kKnob.cy() + 30, 3);
    window->Settle();

    EXPECT_TRUE(editRequests(host.Log(), kWetMix).empty());
    EXPECT_FLOAT_EQ(plugin->GetParameter(kWetMix), static_cast<float>(kWetCentre));
    const PixelDiff diff = comparePixels(window->Capture(), renderHeadless({0.0, kWetCentre, false}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << describe(diff);
}

// ---- The knob ---------------------------------------------------------------------------------------

struct DragCase {
    const char* name;
    int dy; // pixels, down positive
    int steps;
};

class SoKnobDrag : public SoEditor, public ::testing::WithParamInterface<DragCase> {};

TEST_P(SoKnobDrag, TurnsWetMixAndTellsTheHostBeginAutomateEnd)
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
        expected = std::clamp(expected, 0.0, 1.0);
        last = now;
    }

    const std::vector<VstInt32> edit = editRequests(host.Log(), kWetMix);
    ASSERT_GE(edit.size(), 3u);
    EXPECT_EQ(edit.front(), audioMasterBeginEdit);
    EXPECT_EQ(edit.back(), audioMasterEndEdit);
    for (std::size_t i = 1; i + 1 < edit.size(); ++i) EXPECT_EQ(edit[i], audioMasterAutomate) << "request " << i;
    const auto automated = host.Log().WithOpcode(audioMasterAutomate);
    ASSERT_FALSE(automated.empty());
    EXPECT_EQ(automated.back().index, kWetMix);
    EXPECT_NEAR(automated.back().opt, expected, 1e-6);
    EXPECT_NEAR(plugin->GetParameter(kWetMix), expected, 1e-6);

    const Image shown = window->Capture();
    const PixelDiff diff =
        comparePixels(shown, renderHeadless({0.0, plugin->GetParameter(kWetMix), false}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << describe(diff);
    EXPECT_GT(comparePixels(shown, renderHeadless({}), kKnob, false).count, 0) << "the knob did not turn on screen";
}

INSTANTIATE_TEST_SUITE_P(E2e, SoKnobDrag,
                         ::testing::Values(
                             // Twice the knob's height: centre to the bottom stop, ending below the
                             // window, where only the pointer grab still reports the moves.
                             DragCase{"Down154ToTheStop", 154, 8}, DragCase{"Up40", -40, 8},
                             DragCase{"OnePixelSteps", -24, 24}),
                         ByName());

// ---- The wheel --------------------------------------------------------------------------------------

struct WheelCase {
    const char* name;
    int notches; // away from the user positive
    unsigned modifiers;
    double change;
};

class SoKnobWheel : public SoEditor, public ::testing::WithParamInterface<WheelCase> {};

TEST_P(SoKnobWheel, TurnsByWholeNotchesFinerWithAModifier)
{
    const WheelCase& c = GetParam();
    window->MouseMove(kKnob.cx(), kKnob.cy());
    window->Wheel(kKnob.cx(), kKnob.cy(), c.notches, c.modifiers);
    window->Settle();
    EXPECT_NEAR(plugin->GetParameter(kWetMix), kWetCentre + c.change, 1e-6);
    // Each notch is an edit gesture of its own.
    EXPECT_EQ(host.Log().Count(audioMasterAutomate), static_cast<std::size_t>(std::abs(c.notches)));
    EXPECT_EQ(host.Log().Count(audioMasterBeginEdit), host.Log().Count(audioMasterAutomate));
    EXPECT_EQ(host.Log().Count(audioMasterEndEdit), host.Log().Count(audioMasterAutomate));
    const PixelDiff diff =
        comparePixels(window->Capture(), renderHeadless({0.0, plugin->GetParameter(kWetMix), false}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << describe(diff);
}

INSTANTIATE_TEST_SUITE_P(E2e, SoKnobWheel,
                         ::testing::Values(WheelCase{"OneNotchAway", 1, 0, 0.01},
                                           WheelCase{"ThreeNotchesTowards", -3, 0, -0.03},
                                           WheelCase{"ShiftIsFine", 1, vsthost::kX11Shift, 0.001},
                                           WheelCase{"ShiftTwoTowards", -2, vsthost::kX11Shift, -0.002},
                                           WheelCase{"ControlIsFine", 1, vsthost::kX11Control, 0.001}),
                         ByName());

// ---- The switch's value list ---------------------------------------------------------------------

// The value list's colours.
constexpr std::uint32_t kListBack = 0xFFFFFF, kListLit = 0x3399FF, kListBorder = 0x646464;

X11Popup onlyList(const X11EditorWindow& window)
{
    const std::vector<X11Popup> popups = window.Popups();
    EXPECT_EQ(popups.size(), 1u);
    if (popups.size() != 1 || popups[0].kind != X11Popup::Kind::List) {
        ADD_FAILURE() << "no value list is shown";
        return {};
    }
    return popups[0];
}

TEST_F(SoEditor, RightClickOnTheSwitchOffersItsValuesAndAClickChoosesOne)
{
    window->Click(kSwitchX, kSwitchY, MouseButton::Right);
    const X11Popup list = onlyList(*window);
    ASSERT_NE(list.window, 0u);
    EXPECT_TRUE(list.overrideRedirect);
    EXPECT_EQ(list.items, (std::vector<std::string>{"Left", "Right"}));
    EXPECT_EQ(list.selected, 0);
    // As wide as "Right" (5 x 8 + 24), centred on the switch, top at its vertical centre, one
    // row per value.
    const int width = 5 * 8 + 24;
    EXPECT_EQ(list.width, width);
    EXPECT_EQ(list.left, (kSwitch.l + kSwitch.r) / 2 - width / 2);
    EXPECT_EQ(list.top, (kSwitch.t + kSwitch.b) / 2);
    EXPECT_EQ(list.height, 2 * IGraphicsX11::kListRowHeight);
    // On the screen, over the editor: a grey border, the current value's row lit, the other
    // white beside its text.
    const Image screen = window->CaptureScreen();
    EXPECT_EQ(screen.RgbAt(list.left, list.top), kListBorder);
    EXPECT_EQ(screen.RgbAt(list.left + list.width - 3, list.top + 3), kListLit);
    EXPECT_EQ(screen.RgbAt(list.left + list.width - 3, list.top + IGraphicsX11::kListRowHeight + 3), kListBack);
    // While it is open it holds the pointer and the keyboard.
    EXPECT_TRUE(pointerGrabbedElsewhere(*window->Server()));
    EXPECT_TRUE(keyboardGrabbedElsewhere(*window->Server()));

    host.Log().Clear();
    // "Right", the second row, clicked where the list shows it.
    window->Click(list.left + list.width / 2, list.top + IGraphicsX11::kListRowHeight * 3 / 2);
    window->Settle();
    EXPECT_TRUE(window->Popups().empty());
    EXPECT_FALSE(pointerGrabbedElsewhere(*window->Server()));
    EXPECT_EQ(plugin->GetParameter(kPan), 1.0f);
    const auto automated = host.Log().WithOpcode(audioMasterAutomate);
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_EQ(automated[0].index, kPan);
    EXPECT_EQ(automated[0].opt, 1.0f);
    EXPECT_EQ(editRequests(host.Log(), kPan),
              (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));
    const PixelDiff diff = comparePixels(window->Capture(), renderHeadless({1.0, kWetCentre, false}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << describe(diff);
}

TEST_F(SoEditor, TheListFollowsThePointerAndEscapeChoosesNothing)
{
    window->Click(kSwitchX, kSwitchY, MouseButton::Right);
    const X11Popup list = onlyList(*window);
    ASSERT_NE(list.window, 0u);
    window->MouseMove(list.left + list.width / 2, list.top + IGraphicsX11::kListRowHeight * 3 / 2);
    window->Idle(50);
    ASSERT_EQ(window->Popups().size(), 1u);
    EXPECT_EQ(window->Popups()[0].selected, 1);
    const Image screen = window->CaptureScreen();
    EXPECT_EQ(screen.RgbAt(list.left + list.width - 3, list.top + 3), kListBack);
    EXPECT_EQ(screen.RgbAt(list.left + list.width - 3, list.top + IGraphicsX11::kListRowHeight + 3), kListLit);

    host.Log().Clear();
    EXPECT_TRUE(window->Key(XK_Escape));
    window->Settle();
    EXPECT_TRUE(window->Popups().empty());
    EXPECT_EQ(plugin->GetParameter(kPan), 0.0f);
    EXPECT_TRUE(editRequests(host.Log(), kPan).empty());
}

TEST_F(SoEditor, RightClickOnTheKnobOpensNothing)
{
    window->Click(kKnob.cx(), kKnob.cy(), MouseButton::Right);
    window->Settle();
    EXPECT_TRUE(window->Popups().empty());
    EXPECT_FLOAT_EQ(plugin->GetParameter(kWetMix), static_cast<float>(kWetCentre));
}

// ---- What the window shows ------------------------------------------------------------------------

TEST_F(SoEditor, ShowsWhatTheHeadlessLayerDrawsTextIncluded)
{
    plugin->SetParameter(kPan, 1.0f);
    plugin->SetParameter(kWetMix, 0.8f);
    window->Settle();
    const Image shown = window->Capture();
    ASSERT_FALSE(shown.Empty());
    EXPECT_TRUE(vsthost::WritePng(shown, outputPath("editor-x11.png")));
    const PixelDiff diff = comparePixels(shown, renderHeadless({1.0, 0.8, false}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << describe(diff);
}

// ---- Two editors ------------------------------------------------------------------------------------

TEST(SoTwoEditors, EachShowsAndTurnsItsOwnEffect)
{
    E2E_REQUIRE_DISPLAY();
    vsthost::Host host;
    auto first = openEffect(host, Source::binary);
    auto second = openEffect(host, Source::binary);
    ASSERT_TRUE(first && second);
    auto a = openWindow(*first);
    auto b = openWindow(*second, 1);
    ASSERT_NE(a->Editor(), 0u);
    ASSERT_NE(b->Editor(), 0u);
    // Each on its own connection.
    ASSERT_TRUE(a->EditorClient() && b->EditorClient());
    EXPECT_NE(a->EditorClient()->base, b->EditorClient()->base);
    a->Click(kStripX, kStripY + 100);
    b->Click(kStripX, kStripY + 100);

    a->Drag(kKnob.cx(), kKnob.cy(), kKnob.cx(), kKnob.cy() - 40, 4);
    b->Click(kSwitchX, kSwitchY);
    a->Settle();
    b->Settle();
    EXPECT_NEAR(first->GetParameter(kWetMix), kWetCentre + 40.0 / 77.0 / 4.0, 1e-6);
    EXPECT_EQ(first->GetParameter(kPan), 0.0f);
    EXPECT_FLOAT_EQ(second->GetParameter(kWetMix), static_cast<float>(kWetCentre));
    EXPECT_EQ(second->GetParameter(kPan), 1.0f);
    PixelDiff diff =
        comparePixels(a->Capture(), renderHeadless({0.0, first->GetParameter(kWetMix), false}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << "first: " << describe(diff);
    diff = comparePixels(b->Capture(), renderHeadless({1.0, kWetCentre, false}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << "second: " << describe(diff);

    // Closing one leaves the other working.
    const unsigned long firstEditor = a->Editor();
    a.reset();
    EXPECT_FALSE(b->Server()->WindowExists(firstEditor));
    second->SetParameter(kWetMix, 0.25f);
    b->Settle();
    diff = comparePixels(b->Capture(), renderHeadless({1.0, 0.25, false}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << "second, after the first closed: " << describe(diff);
}

// ---- Shutdown ---------------------------------------------------------------------------------------

TEST_F(SoEditor, EffCloseInTheMiddleOfADragEndsTheGestureAndLeavesNoWindow)
{
    window->MouseDown(kKnob.cx(), kKnob.cy());
    window->MouseMove(kKnob.cx(), kKnob.cy() - 10);
    const unsigned long editor = window->Editor();
    const auto client = window->EditorClient();
    ASSERT_TRUE(client);

    // effClose with the editor open: the effect goes, its window with it, and the host still
    // hears the gesture end rather than losing its process to a call into a half-gone object.
    plugin->Close();
    window->ForgetPlugin();
    window->ReleaseAll(); // the user lets go of a button the editor no longer watches
    window->Idle(50);

    const std::vector<VstInt32> edit = editRequests(host.Log(), kWetMix);
    ASSERT_GE(edit.size(), 2u);
    EXPECT_EQ(edit.front(), audioMasterBeginEdit);
    EXPECT_EQ(edit.back(), audioMasterEndEdit);
    EXPECT_EQ(std::count(edit.begin(), edit.end(), audioMasterEndEdit), 1);
    EXPECT_FALSE(window->Server()->WindowExists(editor));
    EXPECT_EQ(window->FrameWindows(), 0);
    EXPECT_FALSE(window->Server()->ClientOf(client->base)) << "the editor's display connection stayed open";
}

TEST_F(SoEditor, EffCloseWithTheValueListOpenTakesTheListDown)
{
    window->Click(kSwitchX, kSwitchY, MouseButton::Right);
    const X11Popup list = onlyList(*window);
    ASSERT_NE(list.window, 0u);
    plugin->Close();
    window->ForgetPlugin();
    window->Idle(50);
    EXPECT_FALSE(window->Server()->WindowExists(list.window));
    EXPECT_FALSE(pointerGrabbedElsewhere(*window->Server()));
    EXPECT_FALSE(keyboardGrabbedElsewhere(*window->Server()));
    EXPECT_EQ(window->FrameWindows(), 0);
}

// The host's frame goes first and takes the editor's window with it; effEditClose then finds
// nothing to destroy, and the editor must open again.
TEST_F(SoEditor, SurvivesTheHostDestroyingItsWindowFirst)
{
    const auto client = window->EditorClient();
    ASSERT_TRUE(client);
    window->DestroyFrame();
    window->Idle(100);
    EXPECT_EQ(plugin->Dispatch(effEditClose), 1);
    window->ForgetPlugin(); // closed already
    window.reset();
    const vsthost::X11Server server;
    EXPECT_FALSE(server.ClientOf(client->base)) << "the editor's display connection stayed open";

    window = openWindow(*plugin);
    plugin->SetParameter(kWetMix, 0.3f);
    window->Settle();
    const PixelDiff diff = comparePixels(window->Capture(), renderHeadless({0.0, 0.3, true}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << describe(diff);
}

TEST(SoLifetime, AHundredOpeningsLeaveNothingOnTheServer)
{
    E2E_REQUIRE_DISPLAY();
    const vsthost::X11Server server;
    vsthost::Host host;
    auto plugin = openEffect(host, Source::binary);
    ASSERT_TRUE(plugin);
    const ServerTotals start = serverTotals(server);

    for (int i = 0; i < 100; ++i) {
        X11EditorWindow window(*plugin);
        std::string error;
        ASSERT_TRUE(window.Open(&error)) << "opening " << i << ": " << error;
        window.Idle(40);
        if (i % 10 == 0) {
            window.Click(kStripX, kStripY + 100);
            window.Click(kSwitchX, kSwitchY, MouseButton::Right);
            ASSERT_EQ(window.Popups().size(), 1u) << "opening " << i;
        }
        window.Close();
        const ServerTotals now = serverTotals(server);
        ASSERT_EQ(now.clients, start.clients) << "after opening " << i << ": " << describe(now);
        ASSERT_EQ(now.topLevelWindows, start.topLevelWindows) << "after opening " << i << ": " << describe(now);
    }
    const ServerTotals end = serverTotals(server);
    EXPECT_EQ(end.windows, start.windows) << describe(end);
    EXPECT_EQ(end.pixmaps, start.pixmaps) << describe(end);
    EXPECT_EQ(end.gcs, start.gcs) << describe(end);
    EXPECT_EQ(end.total, start.total) << describe(end);
}

// ---- Threads ----------------------------------------------------------------------------------------

// An automation thread sets values while the host's thread idles and the editor repaints; the
// editor shows the last value once the thread stops. Run under ThreadSanitizer in the tsan build.
TEST_F(SoEditor, SetParameterFromAnotherThreadWhileTheEditorRepaints)
{
    std::atomic<bool> stop{false};
    std::atomic<int> changes{0};
    std::thread automation([&] {
        for (int i = 0; !stop.load(); ++i) {
            plugin->SetParameter(kWetMix, static_cast<float>(i % 100) / 100.0f);
            plugin->SetParameter(kPan, static_cast<float>(i % 2));
            changes.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    // The host keeps idling, and the user turns the wheel in between.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1200);
    while (std::chrono::steady_clock::now() < until) {
        window->Idle(100);
        window->Wheel(kKnob.cx(), kKnob.cy(), 1);
    }
    stop = true;
    automation.join();
    EXPECT_GT(changes.load(), 100);

    plugin->SetParameter(kWetMix, 0.9f);
    plugin->SetParameter(kPan, 1.0f);
    window->Settle();
    const PixelDiff diff = comparePixels(window->Capture(), renderHeadless({1.0, 0.9, false}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << describe(diff);
}

// ---- A host that never sends idle calls --------------------------------------------------------------

TEST_F(SoEditor, RepaintsWithoutIdleCalls)
{
    window->SetIdleRate(0);
    const long calls = window->IdleCalls();
    plugin->SetParameter(kWetMix, 0.2f);
    plugin->SetParameter(kPan, 1.0f);
    window->Idle(IGraphicsX11::kIdleFallbackMs * 3);
    EXPECT_EQ(window->IdleCalls(), calls);
    const PixelDiff diff = comparePixels(window->Capture(), renderHeadless({1.0, 0.2, false}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << describe(diff);

    // And when the host's idle calls come back, they do the work again.
    window->SetIdleRate(X11EditorWindow::kDefaultIdleRate);
    window->Click(kSwitchX, kSwitchY);
    window->Settle();
    EXPECT_EQ(plugin->GetParameter(kPan), 0.0f);
}

// ---- No display ---------------------------------------------------------------------------------------

struct NoDisplayCase {
    const char* name;
    const char* display; // $DISPLAY for effEditOpen; null: unset
    bool keepDisplay;    // leave $DISPLAY as it is
    bool noSuchParent;   // hand effEditOpen a window id that does not exist
};

class SoWithoutADisplay : public ::testing::TestWithParam<NoDisplayCase> {};

TEST_P(SoWithoutADisplay, EffEditOpenAnswersZeroAndAudioStillFlows)
{
    E2E_REQUIRE_DISPLAY();
    const NoDisplayCase& c = GetParam();
    vsthost::Host host;
    auto plugin = openEffect(host, Source::binary);
    ASSERT_TRUE(plugin);
    ERect* rect = nullptr;
    ASSERT_EQ(plugin->Dispatch(effEditGetRect, 0, 0, &rect), 1);
    const std::string realDisplay = std::getenv("DISPLAY");
    if (c.display) {
        const vsthost::X11Server dead(c.display);
        ASSERT_FALSE(dead.Connected()) << c.display << " has a server after all";
    }

    {
        // The host's frame is on the real display; only the plug-in sees the other $DISPLAY.
        X11EditorWindow window(*plugin);
        std::string error;
        std::unique_ptr<DisplayVariable> variable;
        if (!c.keepDisplay) variable = std::make_unique<DisplayVariable>(c.display);
        if (c.noSuchParent) {
            ASSERT_TRUE(window.Open(&error, realDisplay.c_str())) << error;
            const unsigned long missing = window.Frame() + 0x1000; // in the host's range, never made
            ASSERT_FALSE(window.Server()->WindowExists(missing));
            EXPECT_EQ(plugin->Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(missing)), 0);
        } else {
            ASSERT_TRUE(window.Open(&error, realDisplay.c_str(), false)) << error;
            EXPECT_FALSE(window.EditorOpen()) << "effEditOpen answered 1";
            EXPECT_EQ(window.FrameWindows(), 0);
        }
        // The host may still send idle calls and close; neither may do anything.
        plugin->Dispatch(effEditIdle);
        window.Close();
    }

    // The audio goes on: Pan "Left", Wet Mix 0 passes the left input and inverts the right.
    float left[64], right[64], outLeft[64], outRight[64];
    for (int i = 0; i < 64; ++i) {
        left[i] = std::sin(static_cast<float>(i) * 0.1f) * 0.5f;
        right[i] = std::cos(static_cast<float>(i) * 0.3f) * 0.25f;
    }
    float* inputs[] = {left, right};
    float* outputs[] = {outLeft, outRight};
    ASSERT_TRUE(plugin->ProcessReplacing(inputs, outputs, 64));
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(outLeft[i], left[i]) << "frame " << i;
        ASSERT_EQ(outRight[i], -right[i]) << "frame " << i;
    }

    // With the display back, the editor opens.
    auto window = openWindow(*plugin);
    EXPECT_NE(window->Editor(), 0u);
}

INSTANTIATE_TEST_SUITE_P(E2e, SoWithoutADisplay,
                         ::testing::Values(NoDisplayCase{"DisplayUnset", nullptr, false, false},
                                           // A display number no server has: nothing listens there.
                                           NoDisplayCase{"DeadDisplay", ":4093", false, false},
                                           NoDisplayCase{"NoSuchParentWindow", nullptr, true, true}),
                         ByName());

} // namespace
} // namespace e2e
