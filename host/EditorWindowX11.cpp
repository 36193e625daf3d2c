#include "EditorWindowX11.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace vsthost {

namespace {

// ---- Errors -----------------------------------------------------------------------------------

// Xlib's default handler ends the process on any error, and a test host asks about windows that
// may have gone a moment ago. The handler is the process's, so it is installed once and kept; the
// plug-in's XCB connection reports its own errors to itself and never comes here.
int g_lastError = 0; // Xlib calls the handler on the thread whose request failed

int NoteError(Display*, XErrorEvent* event)
{
    g_lastError = event->error_code;
    return 0;
}

void InstallErrorHandler()
{
    static std::once_flag once;
    std::call_once(once, [] { XSetErrorHandler(NoteError); });
}

// Runs `request` and says whether the server answered it without an error. Requests still queued
// go first, so that an earlier failure is not blamed on this one.
template <typename Request> bool Checked(Display* display, Request request)
{
    XSync(display, False);
    g_lastError = 0;
    request();
    XSync(display, False);
    return g_lastError == 0;
}

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

void SleepSeconds(double seconds)
{
    if (seconds > 0.0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// The 8-bit value of the channel that `mask` selects in `pixel`.
std::uint8_t Channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) ++shift;
    const unsigned long max = mask >> shift;
    const unsigned long value = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>(max == 255 ? value : value * 255 / max);
}

// A property of `window` as bytes; empty when it has none. Format-32 data comes back from Xlib as
// an array of long, whatever the size of long.
bool ReadProperty(Display* display, Window window, const char* name, int& format, std::vector<long>& longs,
                  std::string& bytes)
{
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None) return false;
    Atom type = None;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    int gotFormat = 0;
    bool ok = false;
    Checked(display, [&] {
        ok = XGetWindowProperty(display, window, atom, 0, 1 << 16, False, AnyPropertyType, &type, &gotFormat, &count,
                                &after, &data) == Success;
    });
    if (!ok || type == None || !data) {
        if (data) XFree(data);
        return false;
    }
    format = gotFormat;
    if (gotFormat == 8) {
        bytes.assign(reinterpret_cast<const char*>(data), count);
    } else if (gotFormat == 32) {
        const long* values = reinterpret_cast<const long*>(data);
        longs.assign(values, values + count);
    }
    XFree(data);
    return true;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        const std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

// ---- The server ---------------------------------------------------------------------------------

X11Server::X11Server(const char* displayName)
{
    InstallErrorHandler();
    m_display = XOpenDisplay(displayName);
    if (m_display) m_probe = XAllocID(m_display);
}

X11Server::~X11Server()
{
    if (m_display) XCloseDisplay(m_display);
}

unsigned long X11Server::Root() const { return m_display ? DefaultRootWindow(m_display) : 0; }

std::vector<X11ClientResources> X11Server::Clients() const
{
    std::vector<X11ClientResources> found;
    int event = 0, error = 0;
    if (!m_display || !XResQueryExtension(m_display, &event, &error)) return found;
    XResClient* clients = nullptr;
    int count = 0;
    // Both questions answer an Xlib Status: non-zero when the server answered.
    if (!XResQueryClients(m_display, &count, &clients)) return found;
    const Atom window = XInternAtom(m_display, "WINDOW", False);
    const Atom pixmap = XInternAtom(m_display, "PIXMAP", False);
    const Atom gc = XInternAtom(m_display, "GC", False);
    for (int i = 0; i < count; ++i) {
        X11ClientResources client;
        client.base = clients[i].resource_base;
        client.mask = clients[i].resource_mask;
        XResType* types = nullptr;
        int kinds = 0;
        // A client may go between the two questions; it then has nothing.
        bool answered = false;
        Checked(m_display,
                [&] { answered = XResQueryClientResources(m_display, client.base, &kinds, &types) == Success; });
        if (answered) {
            for (int k = 0; k < kinds; ++k) {
                const long n = static_cast<long>(types[k].count);
                client.total += n;
                if (types[k].resource_type == window) client.windows += n;
                if (types[k].resource_type == pixmap) client.pixmaps += n;
                if (types[k].resource_type == gc) client.gcs += n;
            }
        }
        if (types) XFree(types);
        found.push_back(client);
    }
    if (clients) XFree(clients);
    return found;
}

std::optional<X11ClientResources> X11Server::ClientOf(unsigned long xid) const
{
    for (const X11ClientResources& client : Clients())
        if (client.Owns(xid)) return client;
    return std::nullopt;
}

std::optional<X11ClientResources> X11Server::Self() const { return ClientOf(m_probe); }

std::vector<unsigned long> X11Server::Children(unsigned long window) const
{
    std::vector<unsigned long> children;
    if (!m_display || window == 0) return children;
    Window root = 0, parent = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    Status ok = 0;
    Checked(m_display, [&] { ok = XQueryTree(m_display, window, &root, &parent, &list, &count); });
    if (ok && list) children.assign(list, list + count);
    if (list) XFree(list);
    return children;
}

int X11Server::CountWindows(unsigned long window) const
{
    if (!WindowExists(window)) return 0;
    int count = 1;
    for (unsigned long child : Children(window)) count += CountWindows(child);
    return count;
}

bool X11Server::WindowExists(unsigned long window) const
{
    if (!m_display || window == 0) return false;
    XWindowAttributes attributes;
    Status ok = 0;
    return Checked(m_display, [&] { ok = XGetWindowAttributes(m_display, window, &attributes); }) && ok;
}

std::optional<X11Geometry> X11Server::Geometry(unsigned long window) const
{
    if (!m_display || window == 0) return std::nullopt;
    XWindowAttributes attributes = {};
    Status ok = 0;
    if (!Checked(m_display, [&] { ok = XGetWindowAttributes(m_display, window, &attributes); }) || !ok)
        return std::nullopt;
    X11Geometry geometry;
    geometry.x = attributes.x;
    geometry.y = attributes.y;
    geometry.width = attributes.width;
    geometry.height = attributes.height;
    geometry.viewable = attributes.map_state == IsViewable;
    geometry.overrideRedirect = attributes.override_redirect != 0;
    return geometry;
}

std::string X11Server::Name(unsigned long window) const
{
    std::string name;
    if (!m_display || window == 0) return name;
    char* fetched = nullptr;
    Checked(m_display, [&] { XFetchName(m_display, window, &fetched); });
    if (fetched) {
        name = fetched;
        XFree(fetched);
    }
    return name;
}

// ---- The frame ------------------------------------------------------------------------------------

X11EditorWindow::X11EditorWindow(Plugin& plugin, int frameX, int frameY)
    : m_plugin(&plugin), m_frameX(frameX), m_frameY(frameY), m_originX(frameX), m_originY(frameY)
{
}

X11EditorWindow::~X11EditorWindow() { Close(); }

bool X11EditorWindow::Open(std::string* error, const char* displayName, bool expectEditor)
{
    auto fail = [&](const std::string& reason) {
        if (error) *error = reason;
        Close();
        return false;
    };
    if (m_server) return fail("the editor is already open");
    if (!m_plugin || !m_plugin->Effect()) return fail("the plug-in is closed");
    if (!(m_plugin->Effect()->flags & effFlagsHasEditor)) return fail("the plug-in has no editor");
    ERect* rect = nullptr;
    if (!m_plugin->Dispatch(effEditGetRect, 0, 0, &rect) || !rect) return fail("effEditGetRect answered nothing");
    m_width = rect->right - rect->left;
    m_height = rect->bottom - rect->top;
    if (m_width <= 0 || m_height <= 0) return fail("effEditGetRect answered an empty rectangle");

    m_server = std::make_unique<X11Server>(displayName);
    m_display = m_server->Connection();
    if (!m_display) {
        const char* name = displayName ? displayName : XDisplayName(nullptr);
        return fail(std::string("cannot open the X display '") + (name ? name : "") + "'");
    }
    int event = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(m_display, &event, &errorBase, &major, &minor))
        return fail("the X server has no XTEST extension");

    // A plain frame: no window manager decorates it on Xvfb, so its inside is exactly the editor.
    XSetWindowAttributes attributes = {};
    attributes.background_pixel = BlackPixel(m_display, DefaultScreen(m_display));
    attributes.event_mask = StructureNotifyMask;
    m_frame = XCreateWindow(m_display, DefaultRootWindow(m_display), m_frameX, m_frameY, static_cast<unsigned>(m_width),
                            static_cast<unsigned>(m_height), 0, CopyFromParent, InputOutput, CopyFromParent,
                            CWBackPixel | CWEventMask, &attributes);
    if (!m_frame) return fail("cannot create the frame window");
    XStoreName(m_display, m_frame, kFrameName);
    XMapWindow(m_display, m_frame);
    XSync(m_display, False);
    DrainEvents();

    // VST 2.4 hands the host's window over as a pointer; on X11 it carries the window id.
    void* parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(m_frame)); // NOLINT(performance-no-int-to-ptr)
    if (!m_plugin->Dispatch(effEditOpen, 0, 0, parent)) {
        if (expectEditor) return fail("effEditOpen failed");
        return true;
    }
    m_editorOpen = true;
    // The editor makes its window on a connection of its own, which the server may read after
    // this one: wait until the window is there and shown.
    const double deadline = Now() + 2.0;
    for (;;) {
        const unsigned long editor = Editor();
        XWindowAttributes shown = {};
        if (editor && Checked(m_display, [&] { XGetWindowAttributes(m_display, editor, &shown); }) &&
            shown.map_state == IsViewable)
            break;
        if (Now() > deadline)
            return fail(editor ? "the editor's window was never shown" : "effEditOpen made no window in the frame");
        SleepSeconds(0.005);
    }
    // Where the editor's (0, 0) is on the screen, as the server has it; nothing here moves it.
    Window child = 0;
    XTranslateCoordinates(m_display, Editor(), DefaultRootWindow(m_display), 0, 0, &m_originX, &m_originY, &child);
    m_nextIdle = Now();
    Idle(0);
    return true;
}

void X11EditorWindow::Close()
{
    if (!m_server) return;
    if (m_display) {
        ReleaseAll();
        if (m_editorOpen && m_plugin && m_plugin->Effect()) m_plugin->Dispatch(effEditClose);
        m_editorOpen = false;
        if (m_frame) Checked(m_display, [&] { XDestroyWindow(m_display, m_frame); });
    }
    m_editorOpen = false;
    m_frame = 0;
    m_originX = m_frameX;
    m_originY = m_frameY;
    m_server.reset();
    m_display = nullptr;
}

void X11EditorWindow::DestroyFrame()
{
    if (!m_display || !m_frame) return;
    ReleaseAll();
    Checked(m_display, [&] { XDestroyWindow(m_display, m_frame); });
    m_frame = 0;
    DrainEvents();
}

unsigned long X11EditorWindow::Editor() const
{
    if (!m_server || !m_frame) return 0;
    for (unsigned long child : m_server->Children(m_frame))
        if (m_server->Name(child) == kEditorName) return child;
    return 0;
}

// ---- Idle calls -------------------------------------------------------------------------------------

void X11EditorWindow::DrainEvents()
{
    if (!m_display) return;
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
    }
}

void X11EditorWindow::CallIdle()
{
    if (!m_editorOpen || !m_plugin || !m_plugin->Effect()) return;
    m_plugin->Dispatch(effEditIdle);
    ++m_idleCalls;
}

void X11EditorWindow::Idle(int milliseconds)
{
    if (!m_display) return;
    const double period = m_idleRate > 0 ? 1.0 / m_idleRate : 0.0;
    const double end = Now() + milliseconds / 1000.0;
    if (milliseconds <= 0) {
        DrainEvents();
        if (m_idleRate > 0) {
            CallIdle();
            m_nextIdle = Now() + period;
        }
        return;
    }
    for (;;) {
        DrainEvents();
        double now = Now();
        if (m_idleRate > 0 && now >= m_nextIdle) {
            CallIdle();
            m_nextIdle += period;
            now = Now();
            if (m_nextIdle < now) m_nextIdle = now + period;
        }
        if (now >= end) return;
        double wake = end;
        if (m_idleRate > 0) wake = std::min(wake, m_nextIdle);
        // Short naps: the frame's own events are read between them.
        SleepSeconds(std::min(wake - now, 0.01));
    }
}

void X11EditorWindow::AfterInput(int milliseconds)
{
    if (!m_display) return;
    XSync(m_display, False);
    const double end = Now() + milliseconds / 1000.0;
    for (;;) {
        DrainEvents();
        if (m_idleRate > 0) CallIdle();
        if (Now() >= end) break;
        SleepSeconds(kInputIdleStepMs / 1000.0);
    }
    if (m_idleRate > 0) m_nextIdle = Now() + 1.0 / m_idleRate;
}

// ---- The user ---------------------------------------------------------------------------------------

void X11EditorWindow::ToScreen(int x, int y, int& sx, int& sy) const
{
    sx = m_originX + x;
    sy = m_originY + y;
}

void X11EditorWindow::MoveTo(int x, int y)
{
    if (!m_display) return;
    int sx = 0, sy = 0;
    ToScreen(x, y, sx, sy);
    XTestFakeMotionEvent(m_display, DefaultScreen(m_display), sx, sy, CurrentTime);
}

void X11EditorWindow::ButtonEvent(unsigned button, bool down)
{
    if (!m_display) return;
    XTestFakeButtonEvent(m_display, button, down ? True : False, CurrentTime);
    auto held = std::find(m_heldButtons.begin(), m_heldButtons.end(), button);
    if (down && held == m_heldButtons.end()) m_heldButtons.push_back(button);
    if (!down && held != m_heldButtons.end()) m_heldButtons.erase(held);
}

void X11EditorWindow::KeyEvent(unsigned code, bool down)
{
    if (!m_display || code == 0) return;
    XTestFakeKeyEvent(m_display, code, down ? True : False, CurrentTime);
    auto held = std::find(m_heldKeys.begin(), m_heldKeys.end(), code);
    if (down && held == m_heldKeys.end()) m_heldKeys.push_back(code);
    if (!down && held != m_heldKeys.end()) m_heldKeys.erase(held);
}

void X11EditorWindow::PressModifiers(unsigned modifiers, bool down)
{
    if (!m_display) return;
    if (modifiers & kX11Shift) KeyEvent(XKeysymToKeycode(m_display, XK_Shift_L), down);
    if (modifiers & kX11Control) KeyEvent(XKeysymToKeycode(m_display, XK_Control_L), down);
}

void X11EditorWindow::ReleaseAll()
{
    if (!m_display) return;
    const bool any = !m_heldButtons.empty() || !m_heldKeys.empty();
    while (!m_heldButtons.empty()) ButtonEvent(m_heldButtons.back(), false);
    while (!m_heldKeys.empty()) KeyEvent(m_heldKeys.back(), false);
    if (any) AfterInput();
}

namespace {
unsigned ButtonNumber(MouseButton button) { return button == MouseButton::Left ? 1u : 3u; }
} // namespace

void X11EditorWindow::MouseDown(int x, int y, MouseButton button, unsigned modifiers)
{
    MoveTo(x, y);
    PressModifiers(modifiers, true);
    ButtonEvent(ButtonNumber(button), true);
    PressModifiers(modifiers, false);
    AfterInput();
}

void X11EditorWindow::MouseUp(int x, int y, MouseButton button, unsigned modifiers)
{
    MoveTo(x, y);
    PressModifiers(modifiers, true);
    ButtonEvent(ButtonNumber(button), false);
    PressModifiers(modifiers, false);
    AfterInput();
}

void X11EditorWindow::MouseMove(int x, int y)
{
    MoveTo(x, y);
    AfterInput(kMoveSettleMs);
}

void X11EditorWindow::Click(int x, int y, MouseButton button, unsigned modifiers)
{
    MouseDown(x, y, button, modifiers);
    MouseUp(x, y, button, modifiers);
}

void X11EditorWindow::Drag(int x0, int y0, int x1, int y1, int steps)
{
    MouseDown(x0, y0);
    if (steps < 1) steps = 1;
    for (int i = 1; i <= steps; ++i) MouseMove(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
    MouseUp(x1, y1);
}

void X11EditorWindow::DoubleClick(int x, int y)
{
    Click(x, y);
    Click(x, y);
}

void X11EditorWindow::Wheel(int x, int y, int notches, unsigned modifiers)
{
    MoveTo(x, y);
    PressModifiers(modifiers, true);
    const unsigned button = notches > 0 ? 4u : 5u;
    for (int i = 0; i < std::abs(notches); ++i) {
        ButtonEvent(button, true);
        ButtonEvent(button, false);
    }
    PressModifiers(modifiers, false);
    AfterInput();
}

bool X11EditorWindow::Key(unsigned long keysym, unsigned modifiers)
{
    if (!m_display) return false;
    const unsigned code = XKeysymToKeycode(m_display, keysym);
    if (code == 0) return false;
    // The keysym on the key's shifted level needs Shift, as a typist's hand would add it.
    const bool shifted = XkbKeycodeToKeysym(m_display, static_cast<::KeyCode>(code), 0, 0) != keysym &&
                         XkbKeycodeToKeysym(m_display, static_cast<::KeyCode>(code), 0, 1) == keysym;
    if (shifted) modifiers |= kX11Shift;
    PressModifiers(modifiers, true);
    KeyEvent(code, true);
    KeyEvent(code, false);
    PressModifiers(modifiers, false);
    AfterInput();
    return true;
}

bool X11EditorWindow::Type(const std::string& text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        // Printable ASCII keysyms are the characters themselves.
        if (byte < 0x20 || byte > 0x7E || !Key(byte)) return false;
    }
    return true;
}

// ---- Popups ---------------------------------------------------------------------------------------

unsigned long X11EditorWindow::Focus() const
{
    if (!m_display) return 0;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return focus;
}

std::vector<X11Popup> X11EditorWindow::Popups() const
{
    std::vector<X11Popup> found;
    const unsigned long editor = Editor();
    if (!editor) return found;
    const std::optional<X11ClientResources> client = EditorClient();
    const unsigned long focus = Focus();

    auto describe = [&](unsigned long window, X11Popup::Kind kind) -> bool {
        XWindowAttributes attributes = {};
        if (!Checked(m_display, [&] { XGetWindowAttributes(m_display, window, &attributes); }) ||
            attributes.map_state != IsViewable)
            return false;
        X11Popup popup;
        popup.kind = kind;
        popup.window = window;
        popup.width = attributes.width;
        popup.height = attributes.height;
        popup.overrideRedirect = attributes.override_redirect != 0;
        popup.focused = focus == window;
        Window child = 0;
        XTranslateCoordinates(m_display, window, editor, 0, 0, &popup.left, &popup.top, &child);
        int format = 0;
        std::vector<long> longs;
        std::string bytes;
        if (kind == X11Popup::Kind::List) {
            if (ReadProperty(m_display, window, kItemsProperty, format, longs, bytes)) popup.items = SplitLines(bytes);
            longs.clear();
            if (ReadProperty(m_display, window, kSelectedProperty, format, longs, bytes) && format == 32 &&
                !longs.empty())
                popup.selected = static_cast<int>(longs[0]);
        } else if (ReadProperty(m_display, window, kTextProperty, format, longs, bytes)) {
            popup.text = bytes;
        }
        found.push_back(popup);
        return true;
    };

    for (unsigned long window : m_server->Children(m_server->Root())) {
        // Only the lists of this editor's own connection: another editor may have one open too.
        if (client && !client->Owns(window)) continue;
        if (m_server->Name(window) == kListName) describe(window, X11Popup::Kind::List);
    }
    for (unsigned long window : m_server->Children(editor))
        if (m_server->Name(window) == kEntryName) describe(window, X11Popup::Kind::Entry);
    return found;
}

// ---- Pixels -----------------------------------------------------------------------------------------

Image X11EditorWindow::Capture() const
{
    const unsigned long editor = Editor();
    const std::optional<X11Geometry> geometry = m_server ? m_server->Geometry(editor) : std::nullopt;
    if (!editor || !geometry || !geometry->viewable) return {};
    return Grab(editor, 0, 0, geometry->width, geometry->height);
}

Image X11EditorWindow::CaptureScreen() const
{
    const unsigned long editor = Editor();
    const std::optional<X11Geometry> geometry = m_server ? m_server->Geometry(editor) : std::nullopt;
    if (!editor || !geometry || !geometry->viewable) return {};
    Window child = 0;
    int x = 0, y = 0;
    if (!XTranslateCoordinates(m_display, editor, DefaultRootWindow(m_display), 0, 0, &x, &y, &child)) return {};
    const int screenW = DisplayWidth(m_display, DefaultScreen(m_display));
    const int screenH = DisplayHeight(m_display, DefaultScreen(m_display));
    if (x < 0 || y < 0 || x + geometry->width > screenW || y + geometry->height > screenH) return {};
    return Grab(DefaultRootWindow(m_display), x, y, geometry->width, geometry->height);
}

Image X11EditorWindow::Grab(unsigned long window, int x, int y, int width, int height) const
{
    Image image;
    if (!m_display || width <= 0 || height <= 0) return image;
    XImage* shot = nullptr;
    Checked(m_display, [&] {
        shot = XGetImage(m_display, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                         AllPlanes, ZPixmap);
    });
    if (!shot) return image;
    image.width = width;
    image.height = height;
    image.rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    std::size_t i = 0;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column, i += 4) {
            const unsigned long pixel = XGetPixel(shot, column, row);
            image.rgba[i] = Channel(pixel, shot->red_mask);
            image.rgba[i + 1] = Channel(pixel, shot->green_mask);
            image.rgba[i + 2] = Channel(pixel, shot->blue_mask);
            image.rgba[i + 3] = 255;
        }
    }
    XDestroyImage(shot);
    return image;
}

// ---- The server's view ------------------------------------------------------------------------------

int X11EditorWindow::FrameWindows() const
{
    if (!m_server || !m_frame) return 0;
    const int all = m_server->CountWindows(m_frame);
    return all > 0 ? all - 1 : 0;
}

int X11EditorWindow::TopLevelWindows() const
{
    return m_server ? static_cast<int>(m_server->Children(m_server->Root()).size()) : 0;
}

std::optional<X11ClientResources> X11EditorWindow::EditorClient() const
{
    const unsigned long editor = Editor();
    if (!editor) return std::nullopt;
    return m_server->ClientOf(editor);
}

} // namespace vsthost
