#include "IGraphicsX11.h"

#include "X11Resources.h"
#include "editor/IControl.h"
#include "editor/headless/HeadlessText.h"
#include "plugcore/IParam.h"
#include "raster/LiceBitmap.h"
#include "raster/LiceDraw.h"

#include <xcb/xcb.h>

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <strings.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// X11 event state bits and button numbers (the core protocol's).
constexpr std::uint16_t kShiftMask = 1 << 0;
constexpr std::uint16_t kControlMask = 1 << 2;
constexpr std::uint16_t kAltMask = 1 << 3;
constexpr std::uint16_t kButton1Mask = 1 << 8;
constexpr std::uint16_t kButton3Mask = 1 << 10;
constexpr std::uint8_t kLeftButton = 1, kRightButton = 3, kWheelUp = 4, kWheelDown = 5;

// Keysyms the text box and the value list answer to.
constexpr std::uint32_t kKeyReturn = 0xff0d, kKeyPadEnter = 0xff8d, kKeyEscape = 0xff1b, kKeyBackSpace = 0xff08,
                        kKeyUp = 0xff52, kKeyDown = 0xff54, kKeyPadUp = 0xff97, kKeyPadDown = 0xff99, kKeyPad0 = 0xffb0,
                        kKeyPad9 = 0xffb9, kKeyPadDecimal = 0xffae, kKeyPadSubtract = 0xffad, kKeyPadAdd = 0xffab;

constexpr int kEntryHeight = 16;
constexpr int kMinEntryWidth = 36;
constexpr int kEntryTextMax = 31; // what the Windows box takes, terminator aside
constexpr int kListMinWidth = 24;
// Input read by the repaint thread waits here for the host's next idle call; a host that sends
// none cannot be answered anyway, so the oldest are dropped beyond this.
constexpr std::size_t kMaxPendingInput = 256;

const LICE_ColorWord kPopupBack = LICE_RGBA(255, 255, 255, 255);
const LICE_ColorWord kPopupBorder = LICE_RGBA(100, 100, 100, 255);
const LICE_ColorWord kPopupHighlight = LICE_RGBA(51, 153, 255, 255);
const LICE_ColorWord kSelectionBack = LICE_RGBA(173, 214, 255, 255);

IText PopupText(const IColor& color, IText::EAlign align)
{
    return IText(14, color, "Arial", IText::kStyleNormal, align);
}

bool IsWebAddress(const char* url)
{
    static const char* const kSchemes[] = {"http://", "https://", "mailto:"};
    for (const char* scheme : kSchemes) {
        if (strncasecmp(url, scheme, strlen(scheme)) == 0) return true;
    }
    return false;
}

// The directory part of a path, trailing slash included; empty when there is none.
void DirectoryOf(const char* path, GrowString* out)
{
    out->Set("");
    const char* slash = path ? strrchr(path, '/') : nullptr;
    if (slash) out->Set(path, static_cast<int>(slash - path) + 1);
}

IMouseMod ModifiersFromState(std::uint16_t state)
{
    return IMouseMod((state & kButton1Mask) != 0, (state & kButton3Mask) != 0, (state & kShiftMask) != 0,
                     (state & kControlMask) != 0, (state & kAltMask) != 0);
}

} // namespace

// Grouped by what each part serves, not packed: there is one per editor.
struct IGraphicsX11::Impl { // NOLINT(clang-analyzer-optin.performance.Padding)
    // Taken by the host's calls (open, idle, close) and the repaint thread: everything below and
    // every control is only touched under it. Recursive because a host may call back into the
    // editor from inside a request the editor made of it.
    std::recursive_mutex lock;
    std::condition_variable_any wake;
    std::thread repaintThread;
    bool stopRepaint = false;
    Clock::time_point lastHostIdle;
    bool inIdle = false;

    xcb_connection_t* conn = nullptr;
    const xcb_screen_t* screen = nullptr;
    std::uint32_t maxRequestBytes = 0;
    bool swapBytes = false;
    xcb_window_t parent = 0;
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    bool windowGone = false;
    std::vector<std::uint32_t> staging;

    xcb_atom_t nameAtom = 0, stringAtom = 0, cardinalAtom = 0, itemsAtom = 0, selectedAtom = 0, textAtom = 0;

    // The keyboard map, read once per connection.
    xcb_keycode_t minKeycode = 0;
    int keysymsPerKeycode = 0;
    std::vector<xcb_keysym_t> keysyms;

    // Buttons whose press the editor window saw; a release without one belongs to a press that
    // went elsewhere (the value list's).
    unsigned buttonsDown = 0;
    // The last left press, for double clicks.
    bool pressSeen = false;
    xcb_timestamp_t pressTime = 0;
    int pressX = 0, pressY = 0;

    std::deque<xcb_generic_event_t*> pendingInput;

    // The value list.
    xcb_window_t list = 0;
    IControl* listControl = nullptr;
    IParam* listParam = nullptr;
    std::vector<std::string> listItems;
    int listHighlight = -1;
    int listPressed = -1;
    int listW = 0, listH = 0;
    int listRootX = 0, listRootY = 0; // where the list is, and where the editor is, on the screen
    int editorRootX = 0, editorRootY = 0;
    LICE_MemBitmap listBitmap;
    bool listDirty = false;

    // The text-entry box.
    xcb_window_t entry = 0;
    IControl* entryControl = nullptr;
    IParam* entryParam = nullptr;
    std::string entryText;
    bool entryAllSelected = false;
    int entryW = 0;
    LICE_MemBitmap entryBitmap;
    bool entryDirty = false;
};

IGraphicsX11::IGraphicsX11(IParamOwner* owner, int width, int height, int fps, LICE_Module module)
    : IGraphicsLice(owner, width, height, fps), m_impl(new Impl)
{
    SetResourceModule(module);
}

IGraphicsX11::~IGraphicsX11() { IGraphicsX11::CloseWindow(); }

// The repaint thread notes a window the host took away, so even these reads take the lock.
std::uint32_t IGraphicsX11::EditorWindowId() const
{
    std::lock_guard<std::recursive_mutex> guard(m_impl->lock);
    return m_impl->windowGone ? 0 : m_impl->window;
}

std::uint32_t IGraphicsX11::ListWindowId() const
{
    std::lock_guard<std::recursive_mutex> guard(m_impl->lock);
    return m_impl->list;
}

std::uint32_t IGraphicsX11::EntryWindowId() const
{
    std::lock_guard<std::recursive_mutex> guard(m_impl->lock);
    return m_impl->entry;
}

void* IGraphicsX11::GetWindow()
{
    const std::uintptr_t id = EditorWindowId();
    // VST hands window ids around as pointers.
    return reinterpret_cast<void*>(id); // NOLINT(performance-no-int-to-ptr)
}

// ---- Opening and closing ----------------------------------------------------------------------

namespace {

xcb_atom_t InternAtom(xcb_connection_t* conn, const char* name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(conn, 0, static_cast<std::uint16_t>(strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(conn, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    free(reply);
    return atom;
}

// The screen whose root is `root`, or null.
const xcb_screen_t* ScreenWithRoot(xcb_connection_t* conn, xcb_window_t root)
{
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn)); it.rem; xcb_screen_next(&it)) {
        if (it.data->root == root) return it.data;
    }
    return nullptr;
}

// The draw bitmap's words go to the server as they are: the screen must be a true-colour one with
// 8 bits per channel in 32-bit pixels, which is what every X server of the last decades offers.
bool ScreenTakesOurPixels(xcb_connection_t* conn, const xcb_screen_t* screen)
{
    bool pixmapFormatFits = false;
    const xcb_setup_t* setup = xcb_get_setup(conn);
    for (xcb_format_iterator_t f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == screen->root_depth) pixmapFormatFits = f.data->bits_per_pixel == 32;
    }
    if (!pixmapFormatFits || (screen->root_depth != 24 && screen->root_depth != 32)) return false;
    for (xcb_depth_iterator_t d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        for (xcb_visualtype_iterator_t v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id != screen->root_visual) continue;
            return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xff0000 &&
                   v.data->green_mask == 0xff00 && v.data->blue_mask == 0xff;
        }
    }
    return false;
}

bool HostIsLittleEndian()
{
    const std::uint32_t one = 1;
    unsigned char first = 0;
    memcpy(&first, &one, 1);
    return first == 1;
}

void SetStringProperty(xcb_connection_t* conn, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                       const std::string& value)
{
    xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                        static_cast<std::uint32_t>(value.size()), value.data());
}

} // namespace

void* IGraphicsX11::OpenWindow(void* parentWindow)
{
    CloseWindow();
    const auto parent = static_cast<xcb_window_t>(reinterpret_cast<std::uintptr_t>(parentWindow));
    if (!parent) return nullptr;

    std::lock_guard<std::recursive_mutex> guard(m_impl->lock);
    Impl& x = *m_impl;
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    if (!conn) return nullptr;
    if (xcb_connection_has_error(conn)) {
        // A failed connection is still an object to free.
        xcb_disconnect(conn);
        return nullptr;
    }
    NoteX11Made(kX11Connection);
    x.conn = conn;

    // The parent decides the screen; a window id that names nothing ends it here.
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(conn, xcb_get_geometry(conn, parent), nullptr);
    const xcb_screen_t* screen = geometry ? ScreenWithRoot(conn, geometry->root) : nullptr;
    free(geometry);
    if (!screen || !ScreenTakesOurPixels(conn, screen)) {
        Disconnect();
        return nullptr;
    }
    x.screen = screen;
    x.parent = parent;
    x.maxRequestBytes = xcb_get_maximum_request_length(conn) * 4u;
    x.swapBytes = (xcb_get_setup(conn)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) != HostIsLittleEndian();
    x.nameAtom = XCB_ATOM_WM_NAME;
    x.stringAtom = XCB_ATOM_STRING;
    x.cardinalAtom = XCB_ATOM_CARDINAL;
    x.itemsAtom = InternAtom(conn, kItemsProperty);
    x.selectedAtom = InternAtom(conn, kSelectedProperty);
    x.textAtom = InternAtom(conn, kTextProperty);
    LoadKeyboardMap();

    // The screen's own visual and colour map, whatever the parent uses: the parent may be a
    // window of another depth, and a window with its own visual must name its colour map.
    const xcb_window_t window = xcb_generate_id(conn);
    const std::uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                 XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_LEAVE_WINDOW |
                                 XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    const std::uint32_t values[] = {0, events, screen->default_colormap};
    xcb_void_cookie_t made = xcb_create_window_checked(
        conn, screen->root_depth, window, parent, 0, 0, static_cast<std::uint16_t>(Width()),
        static_cast<std::uint16_t>(Height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
        XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP, values);
    if (xcb_generic_error_t* error = xcb_request_check(conn, made)) {
        free(error);
        Disconnect();
        return nullptr;
    }
    NoteX11Made(kX11Window);
    x.window = window;
    x.windowGone = false;
    SetStringProperty(conn, window, x.nameAtom, x.stringAtom, kEditorName);

    x.gc = xcb_generate_id(conn);
    const std::uint32_t gcValues[] = {0};
    xcb_create_gc(conn, x.gc, window, XCB_GC_GRAPHICS_EXPOSURES, gcValues);
    NoteX11Made(kX11GC);
    x.staging.assign(static_cast<std::size_t>(Width()) * static_cast<std::size_t>(Height()), 0);

    xcb_map_window(conn, window);
    xcb_flush(conn);
    x.buttonsDown = 0;
    x.pressSeen = false;
    SetAllControlsDirty();

    x.stopRepaint = false;
    x.lastHostIdle = Clock::now();
    try {
        x.repaintThread = std::thread([this] { RepaintLoop(); });
        NoteX11Made(kX11Thread);
    } catch (...) {
        // Without the stand-in thread the editor still works in every host that sends idle calls.
    }
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)); // NOLINT(performance-no-int-to-ptr)
}

void IGraphicsX11::CloseWindow()
{
    Impl& x = *m_impl;
    {
        std::lock_guard<std::recursive_mutex> guard(x.lock);
        x.stopRepaint = true;
    }
    x.wake.notify_all();
    // The thread never waits for the plug-in's lock, so joining here cannot deadlock with a
    // host that closes the editor while holding it.
    if (x.repaintThread.joinable() && x.repaintThread.get_id() != std::this_thread::get_id()) {
        x.repaintThread.join();
        NoteX11Freed(kX11Thread);
    }

    std::lock_guard<std::recursive_mutex> guard(x.lock);
    if (!x.conn) return;
    CloseList(false);
    CloseEntry(false);
    CancelMouseCapture();
    DropPendingInput();
    if (x.window) {
        if (!x.windowGone) {
            xcb_destroy_window(x.conn, x.window);
            NoteX11Freed(kX11Window);
        }
        x.window = 0;
        x.windowGone = false;
    }
    Disconnect();
}

void IGraphicsX11::Disconnect()
{
    Impl& x = *m_impl;
    if (!x.conn) return;
    if (x.gc) {
        xcb_free_gc(x.conn, x.gc);
        NoteX11Freed(kX11GC);
        x.gc = 0;
    }
    xcb_flush(x.conn);
    xcb_disconnect(x.conn);
    NoteX11Freed(kX11Connection);
    x.conn = nullptr;
    x.screen = nullptr;
    x.window = 0;
    x.windowGone = false;
    x.keysyms.clear();
    x.staging.clear();
    x.staging.shrink_to_fit();
}

void IGraphicsX11::LoadKeyboardMap()
{
    Impl& x = *m_impl;
    const xcb_setup_t* setup = xcb_get_setup(x.conn);
    x.minKeycode = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        x.conn, xcb_get_keyboard_mapping(x.conn, setup->min_keycode, static_cast<std::uint8_t>(count)), nullptr);
    x.keysyms.clear();
    x.keysymsPerKeycode = 0;
    if (!reply) return;
    x.keysymsPerKeycode = reply->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    x.keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply));
    free(reply);
}

std::uint32_t IGraphicsX11::KeysymOf(std::uint8_t keycode, std::uint16_t state) const
{
    const Impl& x = *m_impl;
    if (keycode < x.minKeycode || x.keysymsPerKeycode <= 0) return 0;
    const std::size_t base = static_cast<std::size_t>(keycode - x.minKeycode) * x.keysymsPerKeycode;
    if (base >= x.keysyms.size()) return 0;
    const std::uint32_t plain = x.keysyms[base];
    const std::uint32_t shifted = x.keysymsPerKeycode > 1 && base + 1 < x.keysyms.size() ? x.keysyms[base + 1] : 0;
    if ((state & kShiftMask) && shifted) return shifted;
    return plain;
}

// ---- Idle -------------------------------------------------------------------------------------

void IGraphicsX11::Idle()
{
    std::lock_guard<std::recursive_mutex> guard(m_impl->lock);
    m_impl->lastHostIdle = Clock::now();
    IdleLocked(true);
}

void IGraphicsX11::LockControls() { m_impl->lock.lock(); }

void IGraphicsX11::UnlockControls() { m_impl->lock.unlock(); }

void IGraphicsX11::RepaintLoop()
{
    Impl& x = *m_impl;
    const int fps = FPS() > 0 ? FPS() : 30;
    const auto period = std::chrono::milliseconds(1000 / fps);
    std::unique_lock<std::recursive_mutex> guard(x.lock);
    while (!x.stopRepaint) {
        x.wake.wait_for(guard, period);
        if (x.stopRepaint) break;
        if (Clock::now() - x.lastHostIdle < std::chrono::milliseconds(kIdleFallbackMs)) continue;
        ++m_fallbackIdles;
        IdleLocked(false);
    }
}

void IGraphicsX11::IdleLocked(bool fromHost)
{
    Impl& x = *m_impl;
    // A host that answers one of the editor's requests by calling idle again gets nothing done
    // twice over.
    if (x.inIdle || !x.conn) return;
    x.inIdle = true;

    IRect exposed;
    // Input the repaint thread read is answered now, in order, before what came since.
    if (fromHost) {
        while (!x.pendingInput.empty() && x.conn) {
            xcb_generic_event_t* event = x.pendingInput.front();
            x.pendingInput.pop_front();
            HandleEvent(event, &exposed);
            free(event);
        }
    }
    while (x.conn) {
        xcb_generic_event_t* event = xcb_poll_for_event(x.conn);
        if (!event) break;
        const std::uint8_t type = event->response_type & 0x7f;
        const bool isInput = type == XCB_BUTTON_PRESS || type == XCB_BUTTON_RELEASE || type == XCB_MOTION_NOTIFY ||
                             type == XCB_LEAVE_NOTIFY || type == XCB_KEY_PRESS || type == XCB_FOCUS_OUT;
        if (isInput && !fromHost) {
            // Input makes requests of the host (edits, automation), which only its own thread may
            // make, and which could wait on the plug-in's lock. It waits for the host's idle call.
            if (x.pendingInput.size() >= kMaxPendingInput) {
                free(x.pendingInput.front());
                x.pendingInput.pop_front();
            }
            x.pendingInput.push_back(event);
            continue;
        }
        HandleEvent(event, &exposed);
        free(event);
    }

    if (x.conn && xcb_connection_has_error(x.conn)) {
        // The server went away; the windows went with it, and no request can reach it.
        x.listItems.clear();
        if (x.list) NoteX11Freed(kX11Window);
        if (x.entry) NoteX11Freed(kX11Window);
        x.list = x.entry = 0;
        x.listControl = x.entryControl = nullptr;
        x.listParam = x.entryParam = nullptr;
        if (x.window && !x.windowGone) NoteX11Freed(kX11Window);
        x.windowGone = true;
        x.buttonsDown = 0;
        CancelMouseCapture();
    }
    if (x.conn && x.window && !x.windowGone) {
        IRect dirty;
        if (IsDirty(&dirty)) exposed = exposed.Empty() ? dirty : exposed.Union(dirty);
        if (!exposed.Empty()) Draw(exposed);
        if (x.list && x.listDirty) PresentList();
        if (x.entry && x.entryDirty) PresentEntry();
        xcb_flush(x.conn);
    }
    x.inIdle = false;
}

void IGraphicsX11::DropPendingInput()
{
    for (xcb_generic_event_t* event : m_impl->pendingInput) free(event);
    m_impl->pendingInput.clear();
}

void IGraphicsX11::HandleEvent(const void* anyEvent, IRect* exposed)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(anyEvent);
    Impl& x = *m_impl;
    switch (event->response_type & 0x7f) {
    case XCB_EXPOSE: {
        const auto* e = reinterpret_cast<const xcb_expose_event_t*>(event);
        if (e->window == x.list) {
            x.listDirty = true;
        } else if (e->window == x.entry) {
            x.entryDirty = true;
        } else if (e->window == x.window) {
            const IRect r(e->x, e->y, e->x + e->width, e->y + e->height);
            *exposed = exposed->Empty() ? r : exposed->Union(r);
        }
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        if (e->window == x.window && !x.windowGone) {
            // The host destroyed its window, and ours with it (the text box too).
            x.windowGone = true;
            NoteX11Freed(kX11Window);
            if (x.entry) {
                NoteX11Freed(kX11Window);
                x.entry = 0;
                x.entryControl = nullptr;
                x.entryParam = nullptr;
            }
            CloseList(false);
            CancelMouseCapture();
        }
        break;
    }
    case XCB_BUTTON_PRESS: OnButtonPress(event); break;
    case XCB_BUTTON_RELEASE: OnButtonRelease(event); break;
    case XCB_MOTION_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_motion_notify_event_t*>(event);
        if (x.list) {
            const int row = ListRowAt(e->root_x - x.listRootX, e->root_y - x.listRootY);
            if (row >= 0 && row != x.listHighlight) SetListHighlight(row);
        } else if (e->event == x.window) {
            if (e->state & (kButton1Mask | kButton3Mask)) {
                if (GetMouseCapture() >= 0) OnMouseDrag(e->event_x, e->event_y, ModifiersFromState(e->state));
            } else {
                OnMouseOver(e->event_x, e->event_y, ModifiersFromState(e->state));
            }
        }
        break;
    }
    case XCB_LEAVE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_leave_notify_event_t*>(event);
        if (e->event != x.window || x.list) break;
        if (e->mode == XCB_NOTIFY_MODE_GRAB && GetMouseCapture() >= 0) {
            // Another client took the pointer in the middle of a press: no release will come.
            x.buttonsDown = 0;
            CancelMouseCapture();
        } else if (e->mode == XCB_NOTIFY_MODE_NORMAL && e->detail != XCB_NOTIFY_DETAIL_INFERIOR &&
                   !(e->state & (kButton1Mask | kButton3Mask))) {
            OnMouseOut();
        }
        break;
    }
    case XCB_KEY_PRESS: {
        const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(event);
        const std::uint32_t keysym = KeysymOf(e->detail, e->state);
        if (x.list)
            ListKey(keysym);
        else if (x.entry && e->event == x.entry)
            EntryKey(keysym);
        break;
    }
    case XCB_FOCUS_OUT: {
        const auto* e = reinterpret_cast<const xcb_focus_out_event_t*>(event);
        // The box loses the focus to something else (a click in the host, another window): it
        // closes without taking what was typed, as on Windows.
        if (x.entry && e->event == x.entry &&
            (e->mode == XCB_NOTIFY_MODE_NORMAL || e->mode == XCB_NOTIFY_MODE_WHILE_GRABBED) &&
            e->detail != XCB_NOTIFY_DETAIL_INFERIOR && e->detail != XCB_NOTIFY_DETAIL_POINTER)
            CloseEntry(false);
        break;
    }
    default: break; // errors of requests whose windows the host took away, among others
    }
}

void IGraphicsX11::OnButtonPress(const void* event)
{
    const auto* e = static_cast<const xcb_button_press_event_t*>(event);
    Impl& x = *m_impl;
    if (x.list) {
        ListButton(event, true);
        return;
    }
    if (e->event != x.window) return;
    // The text box selects no button events, so its presses reach the editor window; a press in
    // the box is the user working in it, not a click elsewhere.
    if (x.entry && e->child == x.entry) return;
    const std::uint8_t button = e->detail;
    IMouseMod mod = ModifiersFromState(e->state);
    if (button == kWheelUp || button == kWheelDown) {
        OnMouseWheel(e->event_x, e->event_y, mod, button == kWheelUp ? 1 : -1);
        return;
    }
    if (button != kLeftButton && button != kRightButton) return; // middle, and sideways wheels
    // A press anywhere in the editor ends text entry without taking it, and still does its work.
    if (x.entry) CloseEntry(false);
    mod.L = button == kLeftButton;
    mod.R = button == kRightButton;
    x.buttonsDown |= 1u << button;

    if (button == kLeftButton) {
        const bool isDouble = x.pressSeen && e->time - x.pressTime <= static_cast<xcb_timestamp_t>(kDoubleClickMs) &&
                              std::abs(e->event_x - x.pressX) <= kDoubleClickDistance &&
                              std::abs(e->event_y - x.pressY) <= kDoubleClickDistance;
        if (isDouble) {
            // A third press starts over, as the Windows double click does.
            x.pressSeen = false;
            OnMouseDblClick(e->event_x, e->event_y, mod);
            return;
        }
        x.pressSeen = true;
        x.pressTime = e->time;
        x.pressX = e->event_x;
        x.pressY = e->event_y;
    } else {
        x.pressSeen = false;
    }
    OnMouseDown(e->event_x, e->event_y, mod);
}

void IGraphicsX11::OnButtonRelease(const void* event)
{
    const auto* e = static_cast<const xcb_button_press_event_t*>(event);
    Impl& x = *m_impl;
    const std::uint8_t button = e->detail;
    if (button != kLeftButton && button != kRightButton) return;
    if (x.list) {
        ListButton(event, false);
        return;
    }
    if (!(x.buttonsDown & (1u << button))) return;
    x.buttonsDown &= ~(1u << button);
    if (e->event == x.window) OnMouseUp(e->event_x, e->event_y);
}

bool IGraphicsX11::PresentToScreen(const IRect& rect)
{
    Impl& x = *m_impl;
    LICE_IBitmap* draw = GetDrawBitmap();
    if (!x.conn || !x.window || x.windowGone || !draw || !draw->Pixels()) return false;
    const int L = std::max(rect.L, 0), T = std::max(rect.T, 0);
    const int R = std::min({rect.R, Width(), draw->Width()}), B = std::min({rect.B, Height(), draw->Height()});
    if (L >= R || T >= B) return true;
    PutPixels(x.window, draw, L, T, R - L, B - T);
    return true;
}

void IGraphicsX11::PutPixels(std::uint32_t target, LICE_IBitmap* bitmap, int left, int top, int width, int height)
{
    Impl& x = *m_impl;
    const std::size_t need = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (x.staging.size() < need) x.staging.resize(need);
    const LICE_ColorWord* pixels = bitmap->Pixels();
    for (int row = 0; row < height; ++row) {
        const int y = top + row;
        const int stored = bitmap->IsBottomUp() ? bitmap->Height() - 1 - y : y;
        const LICE_ColorWord* src = pixels + static_cast<std::size_t>(stored) * bitmap->RowSpan() + left;
        std::uint32_t* dst = x.staging.data() + static_cast<std::size_t>(row) * width;
        for (int i = 0; i < width; ++i) {
            std::uint32_t word = src[i] | 0xff000000u;
            if (x.swapBytes) word = __builtin_bswap32(word);
            dst[i] = word;
        }
    }
    // Each request within the server's limit, whole rows at a time.
    const std::uint32_t header = 24;
    const std::uint32_t rowBytes = static_cast<std::uint32_t>(width) * 4u;
    int rowsPerRequest =
        x.maxRequestBytes > header + rowBytes ? static_cast<int>((x.maxRequestBytes - header) / rowBytes) : 1;
    for (int row = 0; row < height; row += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, height - row);
        xcb_put_image(x.conn, XCB_IMAGE_FORMAT_Z_PIXMAP, target, x.gc, static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(left),
                      static_cast<std::int16_t>(top + row), 0, x.screen->root_depth, rowBytes * rows,
                      reinterpret_cast<const std::uint8_t*>(x.staging.data() + static_cast<std::size_t>(row) * width));
    }
}

bool IGraphicsX11::DrawTextInRect(const IText& text, const char* str, const IRect& rect)
{
    return HeadlessDrawText(GetDrawBitmap(), text, str, rect);
}

// ---- The popups -------------------------------------------------------------------------------

void IGraphicsX11::PromptUserInput(IControl* control, IParam* param)
{
    Impl& x = *m_impl;
    if (!control || !param || !x.conn || !x.window || x.windowGone || x.list || x.entry) return;
    if (param->Type() == IParam::kTypeBool || param->Type() == IParam::kTypeEnum)
        OpenList(control, param);
    else
        OpenEntry(control, param);
    xcb_flush(x.conn);
}

void IGraphicsX11::OpenList(IControl* control, IParam* param)
{
    Impl& x = *m_impl;
    const int n = param->NumDisplayTexts();
    if (n <= 0) return;
    char current[MAX_PARAM_DISPLAY_LEN] = "";
    param->GetDisplayForHost(param->Value(), false, current);
    x.listItems.clear();
    int width = kListMinWidth;
    x.listHighlight = -1;
    for (int i = 0; i < n; ++i) {
        const char* t = param->GetDisplayText(i);
        x.listItems.emplace_back(t ? t : "");
        width = std::max(width, static_cast<int>(x.listItems.back().size()) * 8 + 24);
        if (strcmp(x.listItems.back().c_str(), current) == 0) x.listHighlight = i;
    }
    x.listW = width;
    x.listH = n * kListRowHeight;

    xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
        x.conn, xcb_translate_coordinates(x.conn, x.window, x.screen->root, 0, 0), nullptr);
    if (!origin) return;
    x.editorRootX = origin->dst_x;
    x.editorRootY = origin->dst_y;
    free(origin);

    // Below the control's centre, as the Windows drop-down list hangs, kept on the screen.
    const IRect& r = control->GetRECT();
    int left = x.editorRootX + (r.L + r.R) / 2 - width / 2;
    int top = x.editorRootY + (r.T + r.B) / 2;
    left = std::max(0, std::min(left, x.screen->width_in_pixels - width));
    top = std::max(0, std::min(top, x.screen->height_in_pixels - x.listH));
    x.listRootX = left;
    x.listRootY = top;

    const xcb_window_t list = xcb_generate_id(x.conn);
    const std::uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                 XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_KEY_PRESS;
    const std::uint32_t values[] = {0, 1, events, x.screen->default_colormap};
    xcb_create_window(x.conn, x.screen->root_depth, list, x.screen->root, static_cast<std::int16_t>(left),
                      static_cast<std::int16_t>(top), static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(x.listH), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, x.screen->root_visual,
                      XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP, values);
    NoteX11Made(kX11Window);
    x.list = list;
    x.listControl = control;
    x.listParam = param;
    x.listPressed = -1;
    SetStringProperty(x.conn, list, x.nameAtom, x.stringAtom, kListName);
    std::string joined;
    for (int i = 0; i < n; ++i) joined += (i ? "\n" : "") + x.listItems[static_cast<std::size_t>(i)];
    SetStringProperty(x.conn, list, x.itemsAtom, x.stringAtom, joined);
    SetListHighlight(x.listHighlight);
    xcb_map_window(x.conn, list);
    // Like any menu, the list holds the pointer and the keyboard while it is open: a press
    // anywhere else closes it, and keys choose in it. A grab that fails (another client holds
    // one) leaves the list working by pointer only.
    const std::uint16_t pointerEvents =
        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;
    free(xcb_grab_pointer_reply(x.conn,
                                xcb_grab_pointer(x.conn, 0, list, pointerEvents, XCB_GRAB_MODE_ASYNC,
                                                 XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                                nullptr));
    free(xcb_grab_keyboard_reply(
        x.conn, xcb_grab_keyboard(x.conn, 0, list, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr));
    x.listBitmap.Resize(width, x.listH);
    x.listDirty = true;
    PresentList();
}

void IGraphicsX11::SetListHighlight(int row)
{
    Impl& x = *m_impl;
    x.listHighlight = row;
    const std::uint32_t value = row < 0 ? 0xffffffffu : static_cast<std::uint32_t>(row);
    xcb_change_property(x.conn, XCB_PROP_MODE_REPLACE, x.list, x.selectedAtom, x.cardinalAtom, 32, 1, &value);
    x.listDirty = true;
}

void IGraphicsX11::PresentList()
{
    Impl& x = *m_impl;
    if (!x.list || x.listBitmap.Width() != x.listW || x.listBitmap.Height() != x.listH) return;
    LICE_IBitmap* bmp = &x.listBitmap;
    LICE_FillArea(bmp, 0, 0, x.listW, x.listH, kPopupBack, 1.0f, LICE_MODE_COPY);
    for (int i = 0; i < static_cast<int>(x.listItems.size()); ++i) {
        const int top = i * kListRowHeight;
        const bool lit = i == x.listHighlight;
        if (lit) LICE_FillArea(bmp, 0, top, x.listW, kListRowHeight, kPopupHighlight, 1.0f, LICE_MODE_COPY);
        const IText style = PopupText(lit ? IColor(255, 255, 255, 255) : IColor(255, 0, 0, 0), IText::kAlignNear);
        HeadlessDrawText(bmp, style, x.listItems[static_cast<std::size_t>(i)].c_str(),
                         IRect(4, top + 1, x.listW - 4, top + kListRowHeight));
    }
    LICE_DrawLine(bmp, 0, 0, x.listW - 1, 0, kPopupBorder, 1.0f, LICE_MODE_COPY, false);
    LICE_DrawLine(bmp, 0, x.listH - 1, x.listW - 1, x.listH - 1, kPopupBorder, 1.0f, LICE_MODE_COPY, false);
    LICE_DrawLine(bmp, 0, 0, 0, x.listH - 1, kPopupBorder, 1.0f, LICE_MODE_COPY, false);
    LICE_DrawLine(bmp, x.listW - 1, 0, x.listW - 1, x.listH - 1, kPopupBorder, 1.0f, LICE_MODE_COPY, false);
    PutPixels(x.list, bmp, 0, 0, x.listW, x.listH);
    x.listDirty = false;
}

int IGraphicsX11::ListRowAt(int listX, int listY) const
{
    const Impl& x = *m_impl;
    if (listX < 0 || listX >= x.listW || listY < 0 || listY >= x.listH) return -1;
    return std::min(listY / kListRowHeight, static_cast<int>(x.listItems.size()) - 1);
}

void IGraphicsX11::ListButton(const void* event, bool press)
{
    const auto* e = static_cast<const xcb_button_press_event_t*>(event);
    Impl& x = *m_impl;
    const int row = ListRowAt(e->root_x - x.listRootX, e->root_y - x.listRootY);
    if (press) {
        if (e->detail != kLeftButton && e->detail != kRightButton) return;
        if (row < 0) {
            // A press outside closes the list, choosing nothing; the press itself goes nowhere.
            CloseList(false);
            return;
        }
        x.listPressed = row;
        SetListHighlight(row);
        return;
    }
    // The release of the press that opened the list ends that press in the editor.
    if (x.buttonsDown & (1u << e->detail)) {
        x.buttonsDown &= ~(1u << e->detail);
        OnMouseUp(e->root_x - x.editorRootX, e->root_y - x.editorRootY);
        return;
    }
    if (x.listPressed >= 0 && row == x.listPressed) {
        x.listHighlight = row;
        CloseList(true);
    }
    x.listPressed = -1;
}

void IGraphicsX11::ListKey(std::uint32_t keysym)
{
    Impl& x = *m_impl;
    const int n = static_cast<int>(x.listItems.size());
    if (keysym == kKeyEscape) {
        CloseList(false);
    } else if (keysym == kKeyReturn || keysym == kKeyPadEnter) {
        CloseList(x.listHighlight >= 0);
    } else if (keysym == kKeyDown || keysym == kKeyPadDown) {
        SetListHighlight(x.listHighlight < 0 ? 0 : std::min(x.listHighlight + 1, n - 1));
    } else if (keysym == kKeyUp || keysym == kKeyPadUp) {
        SetListHighlight(x.listHighlight < 0 ? n - 1 : std::max(x.listHighlight - 1, 0));
    }
}

void IGraphicsX11::CloseList(bool choose)
{
    Impl& x = *m_impl;
    if (!x.list) return;
    IControl* control = x.listControl;
    IParam* param = x.listParam;
    const int row = x.listHighlight;
    xcb_ungrab_pointer(x.conn, XCB_CURRENT_TIME);
    xcb_ungrab_keyboard(x.conn, XCB_CURRENT_TIME);
    xcb_destroy_window(x.conn, x.list);
    NoteX11Freed(kX11Window);
    x.list = 0;
    x.listControl = nullptr;
    x.listParam = nullptr;
    x.listPressed = -1;
    x.listItems.clear();
    // A press still held when the list went is over: its release will not come here.
    if (x.buttonsDown) {
        x.buttonsDown = 0;
        CancelMouseCapture();
    }
    if (choose && control && param && row >= 0)
        control->SetValueFromUserInput(
            param->GetNormalizedValue(ValueFromUserText(*param, param->GetDisplayText(row))));
}

void IGraphicsX11::OpenEntry(IControl* control, IParam* param)
{
    Impl& x = *m_impl;
    const IRect& r = control->GetRECT();
    const int width = std::max(r.W(), kMinEntryWidth);
    const int left = (r.L + r.R) / 2 - width / 2;
    const int top = (r.T + r.B) / 2 - kEntryHeight / 2;
    char current[MAX_PARAM_DISPLAY_LEN] = "";
    param->GetDisplayForHost(param->Value(), false, current);

    const xcb_window_t entry = xcb_generate_id(x.conn);
    const std::uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_FOCUS_CHANGE;
    const std::uint32_t values[] = {0, events, x.screen->default_colormap};
    xcb_create_window(x.conn, x.screen->root_depth, entry, x.window, static_cast<std::int16_t>(left),
                      static_cast<std::int16_t>(top), static_cast<std::uint16_t>(width), kEntryHeight, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, x.screen->root_visual,
                      XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP, values);
    NoteX11Made(kX11Window);
    x.entry = entry;
    x.entryControl = control;
    x.entryParam = param;
    x.entryW = width;
    x.entryText.assign(current, strnlen(current, kEntryTextMax));
    // The value shows selected: typing replaces it, as users expect of a value box.
    x.entryAllSelected = true;
    SetStringProperty(x.conn, entry, x.nameAtom, x.stringAtom, kEntryName);
    SetStringProperty(x.conn, entry, x.textAtom, x.stringAtom, x.entryText);
    xcb_map_window(x.conn, entry);
    // Keys go where the focus is; the box takes it from the host while it is open, and gives it
    // back to its parent when it goes.
    xcb_set_input_focus(x.conn, XCB_INPUT_FOCUS_PARENT, entry, XCB_CURRENT_TIME);
    x.entryBitmap.Resize(width, kEntryHeight);
    x.entryDirty = true;
    PresentEntry();
}

void IGraphicsX11::PresentEntry()
{
    Impl& x = *m_impl;
    if (!x.entry || x.entryBitmap.Width() != x.entryW || x.entryBitmap.Height() != kEntryHeight) return;
    LICE_IBitmap* bmp = &x.entryBitmap;
    LICE_FillArea(bmp, 0, 0, x.entryW, kEntryHeight, kPopupBack, 1.0f, LICE_MODE_COPY);
    if (x.entryAllSelected && !x.entryText.empty())
        LICE_FillArea(bmp, 2, 1, x.entryW - 4, kEntryHeight - 2, kSelectionBack, 1.0f, LICE_MODE_COPY);
    HeadlessDrawText(bmp, PopupText(IColor(255, 0, 0, 0), IText::kAlignCenter), x.entryText.c_str(),
                     IRect(0, 0, x.entryW, kEntryHeight));
    PutPixels(x.entry, bmp, 0, 0, x.entryW, kEntryHeight);
    x.entryDirty = false;
}

void IGraphicsX11::EntryKey(std::uint32_t keysym)
{
    Impl& x = *m_impl;
    if (keysym == kKeyReturn || keysym == kKeyPadEnter) {
        CloseEntry(true);
        return;
    }
    if (keysym == kKeyEscape) {
        CloseEntry(false);
        return;
    }
    if (keysym == kKeyBackSpace) {
        if (x.entryAllSelected)
            x.entryText.clear();
        else if (!x.entryText.empty())
            x.entryText.pop_back();
    } else {
        char c = 0;
        if (keysym >= 0x20 && keysym <= 0x7e)
            c = static_cast<char>(keysym);
        else if (keysym >= kKeyPad0 && keysym <= kKeyPad9)
            c = static_cast<char>('0' + (keysym - kKeyPad0));
        else if (keysym == kKeyPadDecimal)
            c = '.';
        else if (keysym == kKeyPadSubtract)
            c = '-';
        else if (keysym == kKeyPadAdd)
            c = '+';
        if (!c) return; // shift, arrows and the like
        if (x.entryAllSelected) x.entryText.clear();
        if (static_cast<int>(x.entryText.size()) >= kEntryTextMax) return;
        x.entryText.push_back(c);
    }
    x.entryAllSelected = false;
    SetStringProperty(x.conn, x.entry, x.textAtom, x.stringAtom, x.entryText);
    x.entryDirty = true;
}

void IGraphicsX11::CloseEntry(bool commit)
{
    Impl& x = *m_impl;
    if (!x.entry) return;
    IControl* control = x.entryControl;
    IParam* param = x.entryParam;
    const std::string text = x.entryText;
    if (!x.windowGone) {
        xcb_destroy_window(x.conn, x.entry);
        NoteX11Freed(kX11Window);
    }
    x.entry = 0;
    x.entryControl = nullptr;
    x.entryParam = nullptr;
    x.entryText.clear();
    if (!commit || !control || !param || text.empty()) return;
    control->SetValueFromUserInput(param->GetNormalizedValue(ValueFromUserText(*param, text.c_str())));
}

// ---- Paths, dialogs, the web --------------------------------------------------------------------

void IGraphicsX11::HostPath(GrowString* path)
{
    if (!path) return;
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof exe - 1)) {
        path->Set("");
        return;
    }
    exe[n] = '\0';
    DirectoryOf(exe, path);
}

void IGraphicsX11::PluginPath(GrowString* path)
{
    if (!path) return;
    Dl_info info = {};
    if (!dladdr(reinterpret_cast<void*>(&IsWebAddress), &info) || !info.dli_fname) {
        path->Set("");
        return;
    }
    DirectoryOf(info.dli_fname, path);
}

// No file or colour dialogs here: the effect asks for neither, and a dialog toolkit is not worth
// loading into every host for them.
void IGraphicsX11::PromptForFile(GrowString* file, int, const char*, const char*)
{
    if (file) file->Set("");
}

bool IGraphicsX11::PromptForColor(IColor*, const char*) { return false; }

bool IGraphicsX11::OpenURL(const char* url, const char*, const char* confirmMsg, const char*)
{
    // Without a dialog there is no asking; an address that needs the user's yes is not opened.
    if (!url || !IsWebAddress(url) || confirmMsg) return false;
    // The shell starts the opener in the background and ends at once, so it can be waited for
    // here and leaves no child behind in the host.
    char shell[] = "/bin/sh", flag[] = "-c", name[] = "wayfarer-open";
    char script[] = "xdg-open \"$1\" >/dev/null 2>&1 &";
    char* argv[] = {shell, flag, script, name, const_cast<char*>(url), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, shell, nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
