// The effect linked into this program, its editor in a real window: the edit-box popup (which the
// shipped layout never opens, so a test layout lets the knob prompt), the window class count, and
// the layer's ledger of windows, timers, fonts and device contexts across many openings.
#include "E2eHarness.h"

#include "editor/IControl.h"
#include "editor/win32/IGraphicsWin32.h"
#include "editor/win32/Win32Resources.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace e2e {
namespace {

using vsthost::EditorWindow;
using vsthost::Image;
using vsthost::MouseButton;

const int kKnobIndex = 2; // background, switch, knob, ...

double wetNormalized(double plain)
{
    const double a12 = 1.0 - std::exp(-1.3815510557964275);
    const double clamped = plain < -a12 ? -a12 : (plain > a12 ? a12 : plain);
    return (clamped + a12) / (2.0 * a12);
}

bool classRegistered()
{
    WNDCLASSA info;
    return GetClassInfoA(GetModuleHandleA(nullptr), IGraphicsWin32::kWindowClassName, &info) != 0;
}

BOOL CALLBACK countEditorWindow(HWND window, LPARAM count)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, IGraphicsWin32::kWindowClassName) == 0) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK countInTopLevel(HWND window, LPARAM count)
{
    countEditorWindow(window, count);
    EnumChildWindows(window, countEditorWindow, count);
    return TRUE;
}

int editorWindowsAlive()
{
    int count = 0;
    EnumWindows(countInTopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}

// What the ledger says is alive now, less what was alive at `start`.
long liveSince(const Win32ResourceCounts& start, EWin32Resource kind)
{
    return GetWin32ResourceCounts().Live(kind) - start.Live(kind);
}

// Every GDI object the layer made or used still exists as far as the system knows.
int gdiObjectsAlive()
{
    int alive = 0;
    for (const Win32GdiHandle& noted : GetWin32GdiHandles()) {
        if (GetObjectType(static_cast<HGDIOBJ>(noted.handle)) != 0) ++alive;
    }
    return alive;
}

// ---- The edit box -------------------------------------------------------------------------------

enum class Ending { returnKey, escapeKey, clickOnTheSwitch };

struct EntryCase {
    const char* name;
    const char* typed;
    Ending ending;
    bool commits;
    double plain; // what "Wet Mix" becomes when the entry commits
};

class EditBox : public InProcessEditor, public ::testing::WithParamInterface<EntryCase> {
protected:
    // The test layout: the knob prompts for its value on a right click.
    HWND promptOnTheKnob()
    {
        graphics()->GetControl(kKnobIndex)->SetDisablePrompt(false);
        plugin->SetParameter(kWetMix, 0.8f);
        window->Settle();
        host.Log().Clear();
        window->Click(kKnob.cx(), kKnob.cy(), MouseButton::Right);
        const auto popups = window->Popups();
        if (popups.size() != 1) return nullptr;
        return static_cast<HWND>(popups[0].window);
    }
};

TEST_P(EditBox, CommitsOnlyOnReturn)
{
    const EntryCase& c = GetParam();
    const HWND edit = promptOnTheKnob();
    ASSERT_NE(edit, nullptr);
    const vsthost::PopupInfo box = window->Popups()[0];
    EXPECT_STREQ(box.className.c_str(), "Edit");
    EXPECT_EQ(box.controlId, 99);
    // The knob's width, centred on it, 16 tall around its vertical centre.
    EXPECT_EQ(box.width, kKnob.r - kKnob.l);
    EXPECT_EQ(box.left, (kKnob.l + kKnob.r) / 2 - (kKnob.r - kKnob.l) / 2);
    EXPECT_EQ(box.top, (kKnob.t + kKnob.b) / 2 - 8);
    EXPECT_EQ(box.height, 16);
    EXPECT_TRUE(box.focused);
    EXPECT_TRUE(graphics()->PopupHasFocus());
    // The right click was a complete gesture: its button-up ended it.
    EXPECT_EQ(editRequests(host.Log(), kWetMix), (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterEndEdit}));

    const float before = plugin->GetParameter(kWetMix);
    host.Log().Clear();
    SendMessageA(edit, EM_SETSEL, 0, -1); // the user selects what is there and types over it
    window->Type(edit, c.typed);
    switch (c.ending) {
    case Ending::returnKey: window->Key(edit, VK_RETURN); break;
    case Ending::escapeKey: window->Key(edit, VK_ESCAPE); break;
    case Ending::clickOnTheSwitch: window->Click(kSwitchX, kSwitchY); break;
    }
    window->Settle();

    EXPECT_TRUE(window->Popups().empty());
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(EditorWindow::Focus(), window->Editor());
    if (c.commits) {
        EXPECT_NEAR(plugin->GetParameter(kWetMix), wetNormalized(c.plain), 1e-6);
        ASSERT_EQ(host.Log().Count(audioMasterAutomate), 1u);
        EXPECT_EQ(host.Log().WithOpcode(audioMasterAutomate)[0].index, kWetMix);
    } else {
        EXPECT_EQ(plugin->GetParameter(kWetMix), before);
        EXPECT_TRUE(editRequests(host.Log(), kWetMix).empty());
    }
    // The click that ended the entry was still a click on the switch.
    EXPECT_EQ(plugin->GetParameter(kPan), c.ending == Ending::clickOnTheSwitch ? 1.0f : 0.0f);
}

INSTANTIATE_TEST_SUITE_P(E2e, EditBox,
                         ::testing::Values(EntryCase{"ReturnCommits", "0.25", Ending::returnKey, true, 0.25},
                                           EntryCase{"ReturnClampsToTheRange", "-5", Ending::returnKey, true, -5.0},
                                           EntryCase{"NotANumberCommitsZero", "abc", Ending::returnKey, true, 0.0},
                                           EntryCase{"EscapeCancels", "0.25", Ending::escapeKey, false, 0.0},
                                           EntryCase{"ClickElsewhereCancelsAndStillClicks", "0.25",
                                                     Ending::clickOnTheSwitch, false, 0.0}),
                         ByName());

TEST_F(EditBox, WhileItHasTheFocusTheTimerRepaintsNothing)
{
    ASSERT_NE(promptOnTheKnob(), nullptr);
    ASSERT_TRUE(graphics()->PopupHasFocus());
    // The part of the knob above the box, where the pointer shows when it turns from 0.8 to the
    // top.
    const Box above = {kKnob.l, kKnob.t, kKnob.r, kKnob.cy() - 8};
    ASSERT_GT(comparePixels(renderHeadless({0.0, 0.8, false}), renderHeadless({0.0, 0.5, false}), above, false).count,
              0);
    const Image before = window->Capture();

    plugin->SetParameter(kWetMix, 0.5f);
    window->Pump(250); // several timer periods
    EXPECT_EQ(comparePixels(window->Capture(), before, above, false).count, 0) << "repainted while typing";

    window->Key(static_cast<HWND>(window->Popups()[0].window), VK_ESCAPE);
    window->Settle();
    const PixelDiff diff = comparePixels(window->Capture(), renderHeadless({0.0, 0.5, false}), kWhole, true);
    EXPECT_EQ(diff.count, 0) << "after the entry: " << describe(diff);
}

// ---- Window class --------------------------------------------------------------------------------

TEST_F(InProcessEditor, TwoEditorsRegisterTheClassOnceAndTheLastDropsIt)
{
    const Win32ResourceCounts start = GetWin32ResourceCounts();
    ASSERT_EQ(IGraphicsWin32::WindowClassCount(), 1);
    ASSERT_TRUE(classRegistered());

    std::string error;
    auto second = host.LoadBuiltIn(VSTPluginMain, "second in-process effect", &error);
    ASSERT_TRUE(second) << error;
    auto other = std::make_unique<EditorWindow>(*second);
    ASSERT_TRUE(other->Open(&error)) << error;
    EXPECT_EQ(IGraphicsWin32::WindowClassCount(), 2);
    EXPECT_EQ(GetWin32ResourceCounts().made[kWin32WindowClass], start.made[kWin32WindowClass]);

    window.reset();
    EXPECT_EQ(IGraphicsWin32::WindowClassCount(), 1);
    EXPECT_TRUE(classRegistered());
    other.reset();
    EXPECT_EQ(IGraphicsWin32::WindowClassCount(), 0);
    EXPECT_FALSE(classRegistered());
    EXPECT_EQ(liveSince(start, kWin32WindowClass), -1);
    EXPECT_EQ(editorWindowsAlive(), 0);
}

// ---- Closing with a popup open ---------------------------------------------------------------------

struct PopupCase {
    const char* name;
    int x, y;
    bool promptOnTheKnob;
};

class CloseWithPopup : public InProcessEditor, public ::testing::WithParamInterface<PopupCase> {};

TEST_P(CloseWithPopup, LeavesNoWindowTimerOrClass)
{
    const PopupCase& c = GetParam();
    const Win32ResourceCounts start = GetWin32ResourceCounts();
    if (c.promptOnTheKnob) graphics()->GetControl(kKnobIndex)->SetDisablePrompt(false);
    window->Click(c.x, c.y, MouseButton::Right);
    ASSERT_EQ(window->Popups().size(), 1u);
    const HWND popup = static_cast<HWND>(window->Popups()[0].window);
    const HWND editor = static_cast<HWND>(window->Editor());

    window->Close(); // effEditClose, then the frame goes
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(graphics()->PopupWindow(), nullptr);
    EXPECT_FALSE(graphics()->PopupHasFocus());
    EXPECT_FALSE(classRegistered());
    EXPECT_EQ(editorWindowsAlive(), 0);
    // The editor window and its timer were alive at the start; the popup came and went.
    EXPECT_EQ(liveSince(start, kWin32Window), -1);
    EXPECT_EQ(liveSince(start, kWin32Timer), -1);
    EXPECT_EQ(GetWin32ResourceCounts().Live(kWin32Timer), 0);
    EXPECT_EQ(GetWin32ResourceCounts().Live(kWin32PaintDC), 0);

    // And it opens again as before (the second opening, with the splash).
    std::string error;
    window = std::make_unique<EditorWindow>(*plugin);
    ASSERT_TRUE(window->Open(&error)) << error;
    window->Settle();
    const PixelDiff diff = comparePixels(window->Capture(), renderHeadless({0.0, kWetCentre, true}), kWhole, true);
    EXPECT_EQ(diff.count, 0) << describe(diff);
}

INSTANTIATE_TEST_SUITE_P(E2e, CloseWithPopup,
                         ::testing::Values(PopupCase{"DropDownList", kSwitchX, kSwitchY, false},
                                           PopupCase{"EditBox", kKnob.cx(), kKnob.cy(), true}),
                         ByName());

// ---- Lifetime ---------------------------------------------------------------------------------------

TEST(InProcessLifetime, AHundredOpeningsAccumulateNothingAndEffCloseFreesEverything)
{
    ClearWin32GdiHandles();
    const Win32ResourceCounts start = GetWin32ResourceCounts();
    vsthost::Host host;
    auto plugin = openEffect(host, Source::inProcess);
    ASSERT_TRUE(plugin);
    std::string error;

    for (int i = 0; i < 100; ++i) {
        EditorWindow window(*plugin);
        ASSERT_TRUE(window.Open(&error)) << "opening " << i << ": " << error;
        window.Pump(40); // a timer tick and a paint
        if (i % 10 == 0) {
            window.Click(kStripX, kStripY + 100); // the splash, when it shows, goes
            window.Pump(40);                      // and is drawn gone, which frees the switch
            window.Click(kSwitchX, kSwitchY, MouseButton::Right);
            ASSERT_EQ(window.Popups().size(), 1u) << "opening " << i;
        }
        window.Close();
        ASSERT_EQ(liveSince(start, kWin32Window), 0) << "after opening " << i;
        ASSERT_EQ(liveSince(start, kWin32Timer), 0) << "after opening " << i;
    }
    const Win32ResourceCounts after = GetWin32ResourceCounts();
    EXPECT_EQ(IGraphicsWin32::WindowClassCount(), 0);
    EXPECT_FALSE(classRegistered());
    EXPECT_EQ(editorWindowsAlive(), 0);
    EXPECT_EQ(liveSince(start, kWin32PaintDC), 0);
    EXPECT_GE(after.made[kWin32PaintDC] - start.made[kWin32PaintDC], 100) << "the editor did not paint every time";
    EXPECT_EQ(after.made[kWin32Window] - start.made[kWin32Window], 110); // editors and popups
    // One font per text style and one for the popup, made once, kept across openings.
    EXPECT_LE(after.made[kWin32Font] - start.made[kWin32Font], 5);
    EXPECT_GT(after.made[kWin32Font] - start.made[kWin32Font], 0);

    plugin->Close();
    EXPECT_EQ(liveSince(start, kWin32Font), 0);
    EXPECT_FALSE(GetWin32GdiHandles().empty());
    EXPECT_EQ(gdiObjectsAlive(), 0) << "fonts, the draw bitmap's DC or its DIB outlived the effect";
}

TEST(InProcessLifetime, EffCloseWhileTheEditorIsOpenLeavesNothing)
{
    ClearWin32GdiHandles();
    const Win32ResourceCounts start = GetWin32ResourceCounts();
    vsthost::Host host;
    auto plugin = openEffect(host, Source::inProcess);
    ASSERT_TRUE(plugin);
    std::string error;
    EditorWindow window(*plugin);
    ASSERT_TRUE(window.Open(&error)) << error;
    window.Settle();
    const HWND editor = static_cast<HWND>(window.Editor());

    plugin->Close();
    window.ForgetPlugin();
    window.Settle();
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(IGraphicsWin32::WindowClassCount(), 0);
    EXPECT_FALSE(classRegistered());
    for (int kind = 0; kind < kNumWin32Resources; ++kind) {
        if (kind == kWin32MemoryDC || kind == kWin32DIB) continue; // not counted, only noted
        EXPECT_EQ(liveSince(start, static_cast<EWin32Resource>(kind)), 0) << "resource kind " << kind;
    }
    EXPECT_EQ(gdiObjectsAlive(), 0);
}

// The host's own window goes first and takes the editor with it; effEditClose then finds nothing
// to destroy but must still drop the class, and the editor must open again.
TEST_F(InProcessEditor, SurvivesTheHostDestroyingItsWindowFirst)
{
    const HWND editor = static_cast<HWND>(window->Editor());
    DestroyWindow(static_cast<HWND>(window->Frame()));
    window->Pump();
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(plugin->Dispatch(effEditClose), 1);
    EXPECT_EQ(IGraphicsWin32::WindowClassCount(), 0);
    EXPECT_FALSE(classRegistered());
    EXPECT_EQ(GetWin32ResourceCounts().Live(kWin32Timer), 0);
    window->ForgetPlugin(); // the editor is closed already
    window.reset();

    std::string error;
    window = std::make_unique<EditorWindow>(*plugin);
    ASSERT_TRUE(window->Open(&error)) << error;
}

} // namespace
} // namespace e2e

namespace e2e {
namespace {

// The darkest pixel GDI drew into `rect` of a context painted white first.
int DarkestLevel(IGraphicsWin32& gui, const IRect& rect)
{
    int darkest = 255;
    for (int y = rect.T; y < rect.B; ++y) {
        for (int x = rect.L; x < rect.R; ++x) {
            const IColor c = gui.ReadPixel(x, y);
            darkest = std::min(darkest, std::max(c.R, std::max(c.G, c.B)));
        }
    }
    return darkest;
}

// A resize makes a new surface in the same memory context, which keeps the colour it was last
// given. Text drawn after it in a colour the cache happened to hold before must still get it.
TEST(Win32Text, ColourIsSetAgainAfterTheSurfaceIsRemade)
{
    IGraphicsWin32 gui(nullptr, 120, 40);
    gui.PrepareDrawing();
    const IRect box(0, 0, 120, 40);
    const IText black(24, IColor(255, 0, 0, 0), "Tahoma", IText::kStyleNormal, IText::kAlignNear, 0);
    const IText grey(24, IColor(255, 160, 160, 160), "Tahoma", IText::kStyleNormal, IText::kAlignNear, 0);

    gui.FillRectangle(IColor(255, 255, 255, 255), box);
    ASSERT_TRUE(gui.DrawTextInRect(black, "WW", box));
    ASSERT_LT(DarkestLevel(gui, box), 40);
    ASSERT_TRUE(gui.DrawTextInRect(grey, "WW", box));

    gui.PrepareDrawing();
    gui.FillRectangle(IColor(255, 255, 255, 255), box);
    ASSERT_TRUE(gui.DrawTextInRect(black, "WW", box));
    EXPECT_LT(DarkestLevel(gui, box), 40) << "black text drawn in the grey of before";
}

} // namespace
} // namespace e2e
