// EditorWindowX11.h: the test host's editor mode on an X11 display (Linux builds with Xlib, XTest
// and X-Resource; see WAYFARER_HAVE_X11_TESTS).
//
// An X11EditorWindow does what a Linux DAW does with a VST 2.4 editor: it makes a top-level frame
// window on a display connection of its own, asks for the editor rectangle (effEditGetRect), hands
// the frame's window id to effEditOpen, and calls effEditIdle from its own thread at its own rate.
// It plays the user with real input through the XTest extension, so the server routes every press,
// motion and key to whichever window would get it from a real mouse and keyboard: grabs, focus and
// override-redirect popups included. It finds the editor's popups by the names and properties the
// editor gives them, reads back what the editor window shows, and asks the server (XQueryTree, the
// X-Resource extension) what windows, pixmaps, graphics contexts and clients exist.
//
// Contract:
//  - One thread does everything with a window: the one that opened it. The host's Xlib connection
//    is its own and is never shared with the plug-in's.
//  - Coordinates are editor pixels, y downward; the frame sits at (kFrameX, kFrameY) on the screen
//    unless told otherwise, so that anything that mixes up screen and window coordinates shows.
//  - effEditIdle is called at IdleRate() times a second while Idle() runs; at rate 0 never, as by a
//    host that sends no idle calls.
//  - Every input method sends its events, waits until the server has handled them (XSync) and then
//    idles for kInputSettleMs (kMoveSettleMs after a move), calling effEditIdle more often than the rate says, so that
//    when it returns the editor has read its events. Repaints come from idle calls: Settle() before capturing what
//    changed.
//  - Close() (and the destructor) lets go of any button or key still held, sends effEditClose and
//    destroys the frame. A plug-in closed behind the window's back (effClose while open) is the
//    caller's business: call ForgetPlugin() first, and then only the frame is destroyed.
//  - X errors caused by the host's own requests (a window that went away under it) are caught by
//    an Xlib error handler that the host installs for the process once and keeps; the plug-in
//    talks to the server through XCB and never reaches it.
#pragma once

#include "EditorCommon.h"
#include "VstHost.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Xlib's Display, declared here without Xlib.h and its macros (None, Bool, Status, ...).
struct _XDisplay; // NOLINT(bugprone-reserved-identifier): the name is Xlib's

namespace vsthost {

// What one client of the X server holds there, as the X-Resource extension counts it.
struct X11ClientResources {
    unsigned long base = 0; // the client's range of resource ids: base | (id & mask)
    unsigned long mask = 0;
    long windows = 0;
    long pixmaps = 0;
    long gcs = 0;
    long total = 0; // every kind, fonts, cursors and colormaps included

    bool Owns(unsigned long xid) const { return xid != 0 && (xid & ~mask) == base; }
};

// Where a window is, relative to its parent, and how it is shown.
struct X11Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool viewable = false; // mapped, and so are all its ancestors
    bool overrideRedirect = false;
};

// A connection of the test host's own to the X server, for questions about the server itself:
// which clients it has, what each holds, which windows exist.
class X11Server {
public:
    // `displayName` as XOpenDisplay takes it; $DISPLAY when null.
    explicit X11Server(const char* displayName = nullptr);
    ~X11Server();
    X11Server(const X11Server&) = delete;
    X11Server& operator=(const X11Server&) = delete;

    bool Connected() const { return m_display != nullptr; }
    _XDisplay* Connection() const { return m_display; }
    unsigned long Root() const;

    // Every client, this connection included, with what it holds. Empty without X-Resource.
    std::vector<X11ClientResources> Clients() const;
    // The client whose id range holds `xid` (a window it made, say).
    std::optional<X11ClientResources> ClientOf(unsigned long xid) const;
    // This connection's own entry among Clients().
    std::optional<X11ClientResources> Self() const;

    // The children of `window` (not theirs), bottom to top; empty when it does not exist.
    std::vector<unsigned long> Children(unsigned long window) const;
    // `window` and every window below it; 0 when it does not exist.
    int CountWindows(unsigned long window) const;
    bool WindowExists(unsigned long window) const;
    std::optional<X11Geometry> Geometry(unsigned long window) const;
    // WM_NAME, or "" when it has none or is gone.
    std::string Name(unsigned long window) const;

private:
    _XDisplay* m_display = nullptr;
    unsigned long m_probe = 0; // an id from this connection's range
};

// Bits for the modifier keys held through a press or a wheel turn.
enum X11Modifier : unsigned { kX11Shift = 1u << 0, kX11Control = 1u << 1 };

// An editor popup as the server shows it.
struct X11Popup {
    enum class Kind { List, Entry };
    Kind kind = Kind::List;
    unsigned long window = 0;
    int left = 0, top = 0, width = 0, height = 0; // editor coordinates
    bool overrideRedirect = false;
    bool focused = false;           // it has the keyboard focus
    std::vector<std::string> items; // List: the values, top row first
    int selected = -1;              // List: the highlighted row
    std::string text;               // Entry: what was typed so far
};

class X11EditorWindow {
public:
    // The names and properties the editor gives its windows (editor/x11/IGraphicsX11.h).
    static constexpr const char* kEditorName = "Wayfarer editor";
    static constexpr const char* kListName = "Wayfarer list";
    static constexpr const char* kEntryName = "Wayfarer entry";
    static constexpr const char* kItemsProperty = "_WAYFARER_ITEMS";
    static constexpr const char* kSelectedProperty = "_WAYFARER_SELECTED";
    static constexpr const char* kTextProperty = "_WAYFARER_TEXT";
    static constexpr const char* kFrameName = "Wayfarer host frame";

    static constexpr int kFrameX = 32, kFrameY = 24;
    static constexpr int kDefaultIdleRate = 30;
    // How long every input method idles after its events, calling effEditIdle every
    // kInputIdleStepMs (unless the rate is 0). A move settles for less: the editor reads its
    // events in order, so a drag's button-up still finds every move before it read.
    static constexpr int kInputSettleMs = 40;
    static constexpr int kMoveSettleMs = 10;
    static constexpr int kInputIdleStepMs = 5;

    // The frame's top-left corner goes to (frameX, frameY) on the screen; windows open at once
    // need places of their own, or the later one takes the earlier one's input and hides its
    // pixels.
    explicit X11EditorWindow(Plugin& plugin, int frameX = kFrameX, int frameY = kFrameY);
    ~X11EditorWindow();
    X11EditorWindow(const X11EditorWindow&) = delete;
    X11EditorWindow& operator=(const X11EditorWindow&) = delete;

    // Connects to `displayName` ($DISPLAY when null), makes and maps the frame, asks for the editor
    // rectangle and opens the editor in the frame. False with a reason when any step fails
    // (nothing stays open then). `expectEditor` false accepts an effEditOpen that answers 0, for
    // hosts checking what a plug-in does when it cannot open: the frame then stays, empty.
    bool Open(std::string* error = nullptr, const char* displayName = nullptr, bool expectEditor = true);
    void Close();
    // The plug-in was closed (effClose) while its editor was open: only the frame remains ours.
    void ForgetPlugin() { m_plugin = nullptr; }
    // The host destroys its frame, and with it the editor's window, without telling the plug-in.
    void DestroyFrame();
    bool IsOpen() const { return m_display != nullptr; }
    bool EditorOpen() const { return m_editorOpen; }

    _XDisplay* Connection() const { return m_display; }
    unsigned long Frame() const { return m_frame; }
    // The editor's own window: the frame's child named kEditorName (0 when none).
    unsigned long Editor() const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // ---- The host's idle calls ----------------------------------------------------------------
    void SetIdleRate(int perSecond) { m_idleRate = perSecond < 0 ? 0 : perSecond; }
    int IdleRate() const { return m_idleRate; }
    long IdleCalls() const { return m_idleCalls; }
    // Reads the frame's events and sends effEditIdle at the rate for `milliseconds`; with 0, one
    // idle call (at any rate but 0) and whatever events are there.
    void Idle(int milliseconds = 0);
    // A few idle periods, enough for the editor to show what changed.
    void Settle() { Idle(150); }

    // ---- The user -------------------------------------------------------------------------------
    // `modifiers` are X11Modifier bits held down through the press or release.
    void MouseDown(int x, int y, MouseButton button = MouseButton::Left, unsigned modifiers = 0);
    void MouseUp(int x, int y, MouseButton button = MouseButton::Left, unsigned modifiers = 0);
    // The pointer moves, with whatever buttons are down still down.
    void MouseMove(int x, int y);
    void Click(int x, int y, MouseButton button = MouseButton::Left, unsigned modifiers = 0);
    // Button down at the start, `steps` moves along the line, button up at the end.
    void Drag(int x0, int y0, int x1, int y1, int steps = 8);
    // Two clicks in quick succession at one point.
    void DoubleClick(int x, int y);
    // Notches of the wheel (buttons 4 away from the user, 5 towards), at editor coordinates.
    void Wheel(int x, int y, int notches, unsigned modifiers = 0);
    // One key pressed and released, with Shift when the keymap has the keysym on its shifted
    // level. False when the keymap has no key for it.
    bool Key(unsigned long keysym, unsigned modifiers = 0);
    // Printable ASCII text, one key at a time.
    bool Type(const std::string& text);
    // Lets go of every button and key this window pressed and has not released.
    void ReleaseAll();

    // ---- Popups and focus -------------------------------------------------------------------
    // The editor's value list (an override-redirect top-level window of the editor's own client)
    // and its text-entry box (a child of the editor window), while they are shown (mapped).
    std::vector<X11Popup> Popups() const;
    // The window with the keyboard focus (0 for none, 1 for PointerRoot).
    unsigned long Focus() const;

    // ---- Pixels -----------------------------------------------------------------------------
    // What the editor window holds, read back from the server (XGetImage of the window). Empty
    // when there is no editor window. Where another window covers it (the value list, say) the
    // server makes no promise about the pixels: it has none for a window without backing store.
    Image Capture() const;
    // What the screen shows over the editor window's rectangle: the editor and whatever lies on
    // top of it, such as the value list, as the user sees them. Empty when the rectangle is not
    // wholly on the screen.
    Image CaptureScreen() const;

    // ---- The server's view ------------------------------------------------------------------
    // Windows below the frame, and top-level windows (children of the root).
    int FrameWindows() const;
    int TopLevelWindows() const;
    // The client that made the editor window: the plug-in's display connection.
    std::optional<X11ClientResources> EditorClient() const;
    const X11Server* Server() const { return m_server.get(); }

private:
    // Editor to screen coordinates.
    void ToScreen(int x, int y, int& sx, int& sy) const;
    void MoveTo(int x, int y);
    void PressModifiers(unsigned modifiers, bool down);
    void ButtonEvent(unsigned button, bool down);
    void KeyEvent(unsigned code, bool down);
    // XSync, then idle for `milliseconds` so the editor reads what the server sent it.
    void AfterInput(int milliseconds = kInputSettleMs);
    void CallIdle();
    Image Grab(unsigned long window, int x, int y, int width, int height) const;
    void DrainEvents();

    Plugin* m_plugin;
    std::unique_ptr<X11Server> m_server;
    _XDisplay* m_display = nullptr;
    unsigned long m_frame = 0;
    int m_width = 0;
    int m_height = 0;
    int m_frameX, m_frameY;
    int m_originX, m_originY; // the editor's (0, 0) on the screen
    bool m_editorOpen = false;
    int m_idleRate = kDefaultIdleRate;
    long m_idleCalls = 0;
    double m_nextIdle = 0.0; // seconds, steady clock
    std::vector<unsigned> m_heldButtons;
    std::vector<unsigned> m_heldKeys;
};

} // namespace vsthost
