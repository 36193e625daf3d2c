// The effect linked into this program with the X11 window layer, its editor in a real window: the
// text-entry box (which the shipped layout never opens, so a test layout lets the knob prompt),
// and the layer's ledger of connections, windows, GCs, pixmaps and threads across many openings,
// checked against what the server itself reports.
#include "X11Harness.h"
#include "editor/IControl.h"
#include "editor/x11/IGraphicsX11.h"
#include "editor/x11/X11Resources.h"

#include <X11/keysym.h>

#include <cmath>

namespace e2e {
namespace {

using vsthost::MouseButton;
using vsthost::X11EditorWindow;
using vsthost::X11Popup;

const int kKnobIndex = 2; // background, switch, knob, ...

double wetNormalized(double plain)
{
    const double a12 = 1.0 - std::exp(-1.3815510557964275);
    const double clamped = plain < -a12 ? -a12 : (plain > a12 ? a12 : plain);
    return (clamped + a12) / (2.0 * a12);
}

// What the ledger says is alive now, less what was alive at `start`.
long liveSince(const X11ResourceCounts& start, EX11Resource kind)
{
    return GetX11ResourceCounts().Live(kind) - start.Live(kind);
}

const char* const kKindNames[kNumX11Resources] = {"connections", "windows", "GCs", "pixmaps", "threads"};

// Every kind the ledger counts is alive as often as at `start`.
void expectNothingLiveSince(const X11ResourceCounts& start, const std::string& when)
{
    for (int kind = 0; kind < kNumX11Resources; ++kind)
        EXPECT_EQ(liveSince(start, static_cast<EX11Resource>(kind)), 0) << kKindNames[kind] << " " << when;
}

// ---- The text-entry box --------------------------------------------------------------------------

enum class Ending { returnKey, escapeKey, clickOnTheSwitch };

struct EntryCase {
    const char* name;
    const char* typed;
    Ending ending;
    bool commits;
    double plain; // what "Wet Mix" becomes when the entry commits
};

class EntryBox : public InProcessX11Editor, public ::testing::WithParamInterface<EntryCase> {
protected:
    // The test layout: the knob prompts for its value on a right click.
    X11Popup promptOnTheKnob()
    {
        graphics()->GetControl(kKnobIndex)->SetDisablePrompt(false);
        plugin->SetParameter(kWetMix, 0.8f);
        window->Settle();
        host.Log().Clear();
        window->Click(kKnob.cx(), kKnob.cy(), MouseButton::Right);
        const std::vector<X11Popup> popups = window->Popups();
        if (popups.size() != 1 || popups[0].kind != X11Popup::Kind::Entry) return {};
        return popups[0];
    }
};

TEST_P(EntryBox, CommitsOnlyOnReturn)
{
    const EntryCase& c = GetParam();
    const X11Popup box = promptOnTheKnob();
    ASSERT_NE(box.window, 0u) << "no text-entry box";
    EXPECT_TRUE(box.focused);
    EXPECT_FALSE(box.overrideRedirect);
    // The knob's width, centred on it, 16 tall around its vertical centre, as on Windows.
    EXPECT_EQ(box.width, kKnob.r - kKnob.l);
    EXPECT_EQ(box.left, (kKnob.l + kKnob.r) / 2 - (kKnob.r - kKnob.l) / 2);
    EXPECT_EQ(box.top, (kKnob.t + kKnob.b) / 2 - 8);
    EXPECT_EQ(box.height, 16);
    // It starts with the value as the host shows it, which typing replaces.
    EXPECT_EQ(box.text, plugin->ParamDisplay(kWetMix));
    // The right click was a complete gesture: its button-up ended it.
    EXPECT_EQ(editRequests(host.Log(), kWetMix), (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterEndEdit}));

    const float before = plugin->GetParameter(kWetMix);
    host.Log().Clear();
    ASSERT_TRUE(window->Type(c.typed));
    ASSERT_EQ(window->Popups().size(), 1u);
    EXPECT_EQ(window->Popups()[0].text, c.typed) << "the box does not show what was typed";
    switch (c.ending) {
    case Ending::returnKey: window->Key(XK_Return); break;
    case Ending::escapeKey: window->Key(XK_Escape); break;
    case Ending::clickOnTheSwitch: window->Click(kSwitchX, kSwitchY); break;
    }
    window->Settle();

    EXPECT_TRUE(window->Popups().empty());
    EXPECT_FALSE(window->Server()->WindowExists(box.window));
    EXPECT_NE(window->Focus(), box.window);
    if (c.commits) {
        EXPECT_NEAR(plugin->GetParameter(kWetMix), wetNormalized(c.plain), 1e-6);
        ASSERT_EQ(host.Log().Count(audioMasterAutomate), 1u);
        EXPECT_EQ(host.Log().WithOpcode(audioMasterAutomate)[0].index, kWetMix);
        EXPECT_EQ(editRequests(host.Log(), kWetMix),
                  (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));
    } else {
        EXPECT_EQ(plugin->GetParameter(kWetMix), before);
        EXPECT_TRUE(editRequests(host.Log(), kWetMix).empty());
    }
    // The click that ended the entry was still a click on the switch.
    EXPECT_EQ(plugin->GetParameter(kPan), c.ending == Ending::clickOnTheSwitch ? 1.0f : 0.0f);
    const PixelDiff diff = comparePixels(
        window->Capture(), renderHeadless({plugin->GetParameter(kPan), plugin->GetParameter(kWetMix), false}), kWhole,
        false);
    EXPECT_EQ(diff.count, 0) << "after the entry: " << describe(diff);
}

INSTANTIATE_TEST_SUITE_P(E2e, EntryBox,
                         ::testing::Values(EntryCase{"ReturnCommits", "0.25", Ending::returnKey, true, 0.25},
                                           EntryCase{"ReturnClampsToTheRange", "-5", Ending::returnKey, true, -5.0},
                                           EntryCase{"NotANumberCommitsZero", "abc", Ending::returnKey, true, 0.0},
                                           EntryCase{"EscapeCancels", "0.25", Ending::escapeKey, false, 0.0},
                                           EntryCase{"ClickAwayCancelsAndStillClicks", "0.25", Ending::clickOnTheSwitch,
                                                     false, 0.0}),
                         ByName());

// ---- Closing with a popup open ---------------------------------------------------------------------

struct PopupCase {
    const char* name;
    int x, y;
    bool promptOnTheKnob;
    X11Popup::Kind kind;
};

class CloseWithPopup : public InProcessX11Editor, public ::testing::WithParamInterface<PopupCase> {};

TEST_P(CloseWithPopup, LeavesNothingAndOpensAgain)
{
    const PopupCase& c = GetParam();
    const X11ResourceCounts start = GetX11ResourceCounts();
    if (c.promptOnTheKnob) graphics()->GetControl(kKnobIndex)->SetDisablePrompt(false);
    window->Click(c.x, c.y, MouseButton::Right);
    const std::vector<X11Popup> popups = window->Popups();
    ASSERT_EQ(popups.size(), 1u);
    ASSERT_EQ(popups[0].kind, c.kind);
    const unsigned long popup = popups[0].window;
    const unsigned long editor = window->Editor();
    const auto client = window->EditorClient();
    ASSERT_TRUE(client);

    window->Close(); // effEditClose, then the frame goes
    const vsthost::X11Server server;
    EXPECT_FALSE(server.WindowExists(popup));
    EXPECT_FALSE(server.WindowExists(editor));
    EXPECT_FALSE(server.ClientOf(client->base)) << "the editor's display connection stayed open";
    EXPECT_FALSE(pointerGrabbedElsewhere(server));
    EXPECT_FALSE(keyboardGrabbedElsewhere(server));
    // The editor's connection, window and thread were alive at the start; the popup came and went.
    EXPECT_EQ(liveSince(start, kX11Connection), -1);
    EXPECT_EQ(liveSince(start, kX11Thread), -1);
    for (int kind = 0; kind < kNumX11Resources; ++kind)
        EXPECT_EQ(GetX11ResourceCounts().Live(static_cast<EX11Resource>(kind)), 0) << kKindNames[kind];

    // And it opens again as before (the second opening, with the splash).
    window = openWindow(*plugin);
    const PixelDiff diff = comparePixels(window->Capture(), renderHeadless({0.0, kWetCentre, true}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << describe(diff);
}

INSTANTIATE_TEST_SUITE_P(E2e, CloseWithPopup,
                         ::testing::Values(PopupCase{"ValueList", kSwitchX, kSwitchY, false, X11Popup::Kind::List},
                                           PopupCase{"EntryBox", kKnob.cx(), kKnob.cy(), true, X11Popup::Kind::Entry}),
                         ByName());

// ---- Lifetime ---------------------------------------------------------------------------------------

TEST(InProcessX11Lifetime, AHundredOpeningsLeaveNothingInTheLedgerOrOnTheServer)
{
    E2E_REQUIRE_DISPLAY();
    const vsthost::X11Server server;
    const X11ResourceCounts start = GetX11ResourceCounts();
    vsthost::Host host;
    auto plugin = openEffect(host, Source::inProcess);
    ASSERT_TRUE(plugin);
    const ServerTotals serverStart = serverTotals(server);
    vsthost::X11ClientResources firstEditor;

    for (int i = 0; i < 100; ++i) {
        X11EditorWindow window(*plugin);
        std::string error;
        ASSERT_TRUE(window.Open(&error)) << "opening " << i << ": " << error;
        window.Idle(40); // an idle call or two, and a paint
        // What the editor holds on the server while it is open is the same every time.
        const auto editor = window.EditorClient();
        ASSERT_TRUE(editor) << "opening " << i;
        if (i == 0) firstEditor = *editor;
        if (i % 10 == 0) {
            window.Click(kStripX, kStripY + 100); // the splash, when it shows, goes
            window.Click(kSwitchX, kSwitchY, MouseButton::Right);
            ASSERT_EQ(window.Popups().size(), 1u) << "opening " << i;
        } else {
            EXPECT_EQ(editor->windows, firstEditor.windows) << "opening " << i;
            EXPECT_EQ(editor->pixmaps, firstEditor.pixmaps) << "opening " << i;
            EXPECT_EQ(editor->gcs, firstEditor.gcs) << "opening " << i;
        }
        window.Close();
        for (int kind = 0; kind < kNumX11Resources; ++kind)
            ASSERT_EQ(liveSince(start, static_cast<EX11Resource>(kind)), 0)
                << kKindNames[kind] << " after opening " << i;
        const ServerTotals now = serverTotals(server);
        ASSERT_EQ(now.clients, serverStart.clients) << "after opening " << i << ": " << describe(now);
        ASSERT_EQ(now.topLevelWindows, serverStart.topLevelWindows) << "after opening " << i << ": " << describe(now);
    }
    const X11ResourceCounts after = GetX11ResourceCounts();
    EXPECT_EQ(after.made[kX11Connection] - start.made[kX11Connection], 100);
    EXPECT_GE(after.made[kX11Window] - start.made[kX11Window], 110); // editors and lists
    EXPECT_GE(after.made[kX11GC] - start.made[kX11GC], 100);
    const ServerTotals serverEnd = serverTotals(server);
    EXPECT_EQ(serverEnd.windows, serverStart.windows) << describe(serverEnd);
    EXPECT_EQ(serverEnd.pixmaps, serverStart.pixmaps) << describe(serverEnd);
    EXPECT_EQ(serverEnd.gcs, serverStart.gcs) << describe(serverEnd);

    plugin->Close();
    expectNothingLiveSince(start, "after effClose");
}

TEST(InProcessX11Lifetime, EffCloseWithTheEntryBoxOpenLeavesNothing)
{
    E2E_REQUIRE_DISPLAY();
    const X11ResourceCounts start = GetX11ResourceCounts();
    vsthost::Host host;
    auto plugin = openEffect(host, Source::inProcess);
    ASSERT_TRUE(plugin);
    IGraphicsX11* gui = lastMadeX11Editor();
    ASSERT_NE(gui, nullptr);
    auto window = openWindow(*plugin);
    window->Click(kStripX, kStripY + 100);
    gui->GetControl(kKnobIndex)->SetDisablePrompt(false);
    window->Click(kKnob.cx(), kKnob.cy(), MouseButton::Right);
    ASSERT_EQ(window->Popups().size(), 1u);
    const auto client = window->EditorClient();
    ASSERT_TRUE(client);

    plugin->Close();
    window->ForgetPlugin();
    window->Idle(50);
    EXPECT_EQ(window->FrameWindows(), 0);
    EXPECT_FALSE(window->Server()->ClientOf(client->base));
    expectNothingLiveSince(start, "after effClose");
}

// The host's frame goes first and takes the editor's window with it; effEditClose must still free
// the connection, the thread and everything on the server, and the editor must open again.
TEST_F(InProcessX11Editor, SurvivesTheHostDestroyingItsWindowFirst)
{
    const X11ResourceCounts start = GetX11ResourceCounts();
    window->DestroyFrame();
    window->Idle(100);
    EXPECT_EQ(plugin->Dispatch(effEditClose), 1);
    EXPECT_EQ(liveSince(start, kX11Connection), -1);
    EXPECT_EQ(liveSince(start, kX11Thread), -1);
    for (int kind = 0; kind < kNumX11Resources; ++kind)
        EXPECT_EQ(GetX11ResourceCounts().Live(static_cast<EX11Resource>(kind)), 0) << kKindNames[kind];
    window->ForgetPlugin(); // closed already
    window.reset();

    window = openWindow(*plugin);
    EXPECT_NE(window->Editor(), 0u);
}

TEST_F(InProcessX11Editor, TwoEditorsEachHaveTheirOwnConnectionAndThread)
{
    const X11ResourceCounts start = GetX11ResourceCounts();
    ASSERT_EQ(start.Live(kX11Connection), 1);
    ASSERT_EQ(start.Live(kX11Thread), 1);
    std::string error;
    auto second = host.LoadBuiltIn(VSTPluginMain, "second in-process effect", &error);
    ASSERT_TRUE(second) << error;
    second->Open();
    auto other = openWindow(*second, 1);
    EXPECT_EQ(liveSince(start, kX11Connection), 1);
    EXPECT_EQ(liveSince(start, kX11Thread), 1);

    window.reset();
    EXPECT_EQ(GetX11ResourceCounts().Live(kX11Connection), 1);
    second->SetParameter(kWetMix, 0.7f);
    other->Settle();
    const PixelDiff diff = comparePixels(other->Capture(), renderHeadless({0.0, 0.7, true}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << describe(diff);
    other.reset();
    EXPECT_EQ(GetX11ResourceCounts().Live(kX11Connection), 0);
    EXPECT_EQ(GetX11ResourceCounts().Live(kX11Thread), 0);
}

// ---- A host that never sends idle calls --------------------------------------------------------------

TEST_F(InProcessX11Editor, TheRepaintThreadStandsInForMissingIdleCalls)
{
    window->SetIdleRate(0);
    const long before = graphics()->FallbackIdles();
    plugin->SetParameter(kWetMix, 0.1f);
    window->Idle(IGraphicsX11::kIdleFallbackMs * 3);
    EXPECT_GT(graphics()->FallbackIdles(), before);
    const PixelDiff diff = comparePixels(window->Capture(), renderHeadless({0.0, 0.1, false}), kWhole, false);
    EXPECT_EQ(diff.count, 0) << describe(diff);

    // While the host sends idle calls, the thread does nothing.
    window->SetIdleRate(X11EditorWindow::kDefaultIdleRate);
    window->Settle();
    const long withHost = graphics()->FallbackIdles();
    window->Idle(IGraphicsX11::kIdleFallbackMs * 3);
    EXPECT_EQ(graphics()->FallbackIdles(), withHost);
}

} // namespace
} // namespace e2e
