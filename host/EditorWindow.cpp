#include "EditorWindow.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>

namespace vsthost {

// ---- The frame --------------------------------------------------------------------------------

namespace {

const char* const kFrameClass = "WayfarerHostEditorFrame";

HWND AsWindow(void* window) { return static_cast<HWND>(window); }

LPARAM PointParam(int x, int y)
{
    return static_cast<LPARAM>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(x)) |
                               (static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16));
}

bool RegisterFrameClass()
{
    WNDCLASSA existing;
    if (GetClassInfoA(GetModuleHandleA(nullptr), kFrameClass, &existing)) return true;
    WNDCLASSA frameClass = {};
    frameClass.lpfnWndProc = DefWindowProcA;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)); // NOLINT
    frameClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    frameClass.lpszClassName = kFrameClass;
    return RegisterClassA(&frameClass) != 0;
}

} // namespace

namespace {

// Where the creation hook of this thread records windows.
thread_local std::vector<WindowRequest>* t_watching = nullptr;

LRESULT CALLBACK WatchCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && t_watching) {
        const auto* create = reinterpret_cast<const CBT_CREATEWNDA*>(lParam)->lpcs;
        WindowRequest request;
        request.window = reinterpret_cast<HWND>(wParam);
        request.parent = create->hwndParent;
        char name[64] = "";
        GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
        request.className = name;
        request.x = create->x;
        request.y = create->y;
        request.width = create->cx;
        request.height = create->cy;
        request.style = static_cast<unsigned long>(create->style);
        t_watching->push_back(request);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

EditorWindow::EditorWindow(Plugin& plugin) : m_plugin(&plugin) {}

EditorWindow::~EditorWindow() { Close(); }

bool EditorWindow::Open(std::string* error)
{
    auto fail = [&](const std::string& reason) {
        if (error) *error = reason;
        Close();
        return false;
    };
    if (m_frame) return fail("the editor is already open");
    if (!m_plugin || !m_plugin->Effect()) return fail("the plug-in is closed");
    if (!(m_plugin->Effect()->flags & effFlagsHasEditor)) return fail("the plug-in has no editor");
    ERect* rect = nullptr;
    if (!m_plugin->Dispatch(effEditGetRect, 0, 0, &rect) || !rect) return fail("effEditGetRect answered nothing");
    m_width = rect->right - rect->left;
    m_height = rect->bottom - rect->top;
    if (m_width <= 0 || m_height <= 0) return fail("effEditGetRect answered an empty rectangle");
    if (!RegisterFrameClass()) return fail("cannot register the frame's window class");
    m_created.clear();
    if (!t_watching) {
        m_hook = SetWindowsHookExA(WH_CBT, WatchCreation, nullptr, GetCurrentThreadId());
        if (m_hook) t_watching = &m_created;
    }

    // A borderless frame: its client area is exactly the editor.
    m_frame = CreateWindowExA(0, kFrameClass, "Wayfarer editor", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, kFrameX,
                              kFrameY, m_width, m_height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!m_frame) return fail("cannot create the frame window");
    Pump();
    if (!m_plugin->Dispatch(effEditOpen, 0, 0, m_frame)) return fail("effEditOpen failed");
    m_editorOpen = true;
    if (!Editor()) return fail("effEditOpen made no window in the frame");
    Pump();
    return true;
}

void EditorWindow::Close()
{
    if (m_editorOpen && m_plugin && m_plugin->Effect()) m_plugin->Dispatch(effEditClose);
    m_editorOpen = false;
    if (m_frame) {
        DestroyWindow(AsWindow(m_frame));
        m_frame = nullptr;
    }
    if (m_hook) {
        UnhookWindowsHookEx(static_cast<HHOOK>(m_hook));
        m_hook = nullptr;
        t_watching = nullptr;
    }
    Pump();
}

void* EditorWindow::Editor() const { return m_frame ? GetWindow(AsWindow(m_frame), GW_CHILD) : nullptr; }

void EditorWindow::Pump(int milliseconds)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= static_cast<DWORD>(milliseconds)) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(milliseconds) - elapsed, QS_ALLINPUT);
    }
}

void EditorWindow::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, void* window)
{
    HWND target = AsWindow(window ? window : Editor());
    if (!target) return;
    PostMessageA(target, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
    Pump();
}

// ---- The user ---------------------------------------------------------------------------------

void EditorWindow::MouseDown(int x, int y, MouseButton button, unsigned keys)
{
    const bool left = button == MouseButton::Left;
    Post(left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, (left ? MK_LBUTTON : MK_RBUTTON) | keys, PointParam(x, y));
}

void EditorWindow::MouseUp(int x, int y, MouseButton button, unsigned keys)
{
    Post(button == MouseButton::Left ? WM_LBUTTONUP : WM_RBUTTONUP, keys, PointParam(x, y));
}

void EditorWindow::MouseMove(int x, int y, const MouseButton* held)
{
    std::uintptr_t state = 0;
    if (held) state = *held == MouseButton::Left ? MK_LBUTTON : MK_RBUTTON;
    Post(WM_MOUSEMOVE, state, PointParam(x, y));
}

void EditorWindow::Click(int x, int y, MouseButton button)
{
    MouseDown(x, y, button);
    MouseUp(x, y, button);
}

void EditorWindow::Drag(int x0, int y0, int x1, int y1, int steps)
{
    const MouseButton held = MouseButton::Left;
    MouseDown(x0, y0);
    if (steps < 1) steps = 1;
    for (int i = 1; i <= steps; ++i) MouseMove(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps, &held);
    MouseUp(x1, y1);
}

void EditorWindow::DoubleClick(int x, int y)
{
    Click(x, y);
    Post(WM_LBUTTONDBLCLK, MK_LBUTTON, PointParam(x, y));
    MouseUp(x, y);
}

void EditorWindow::Wheel(int x, int y, int delta, unsigned keys)
{
    // The wheel reports screen coordinates.
    POINT at = {x, y};
    ClientToScreen(AsWindow(Editor()), &at);
    const auto packedDelta = static_cast<std::uintptr_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(delta)));
    Post(WM_MOUSEWHEEL, (packedDelta << 16) | keys, PointParam(at.x, at.y));
}

void EditorWindow::Key(void* window, int virtualKey)
{
    void* target = window ? window : Focus();
    if (!target) return;
    const UINT scan = MapVirtualKeyA(static_cast<UINT>(virtualKey), 0);
    Post(WM_KEYDOWN, static_cast<std::uintptr_t>(virtualKey), 1 | static_cast<std::intptr_t>(scan << 16), target);
    // The key-up goes wherever the focus is now: the key may have closed its window.
    if (void* now = Focus())
        Post(WM_KEYUP, static_cast<std::uintptr_t>(virtualKey),
             static_cast<std::intptr_t>(1 | (scan << 16) | 0xC0000000u), now);
}

void EditorWindow::Type(void* window, const std::string& text)
{
    void* target = window ? window : Focus();
    if (!target) return;
    for (char c : text) Post(WM_CHAR, static_cast<unsigned char>(c), 1, target);
}

// ---- Popups -----------------------------------------------------------------------------------

void* EditorWindow::Focus() { return GetFocus(); }

std::vector<PopupInfo> EditorWindow::Popups() const
{
    std::vector<PopupInfo> found;
    const HWND editorWindow = AsWindow(Editor());
    if (!editorWindow) return found;
    for (HWND child = GetWindow(editorWindow, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        PopupInfo info;
        info.window = child;
        char name[64] = "";
        GetClassNameA(child, name, sizeof name);
        info.className = name;
        RECT r;
        GetWindowRect(child, &r);
        POINT topLeft = {r.left, r.top};
        ScreenToClient(editorWindow, &topLeft);
        info.left = topLeft.x;
        info.top = topLeft.y;
        info.width = r.right - r.left;
        info.height = r.bottom - r.top;
        char text[256] = "";
        GetWindowTextA(child, text, sizeof text);
        info.text = text;
        info.controlId = GetDlgCtrlID(child);
        info.focused = GetFocus() == child;
        if (_stricmp(name, "ComboBox") == 0) {
            info.selected = static_cast<int>(SendMessageA(child, CB_GETCURSEL, 0, 0));
            const auto count = static_cast<int>(SendMessageA(child, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                char item[256] = "";
                if (SendMessageA(child, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < static_cast<LRESULT>(sizeof item))
                    SendMessageA(child, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
                info.items.emplace_back(item);
            }
        }
        found.push_back(info);
    }
    return found;
}

bool EditorWindow::ChooseListEntry(void* comboBox, int index, int* droppedHeight)
{
    const HWND combo = AsWindow(comboBox);
    if (!combo || !IsWindow(combo)) return false;
    // The user clicks the closed box: it takes the focus and drops its list down.
    Post(WM_LBUTTONDOWN, MK_LBUTTON, PointParam(4, 4), combo);
    if (IsWindow(combo)) Post(WM_LBUTTONUP, 0, PointParam(4, 4), combo);
    if (!IsWindow(combo)) return false;
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    if (!GetComboBoxInfo(combo, &info) || !info.hwndList) return false;
    if (!SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0)) return false;
    RECT box, listRect;
    if (droppedHeight && GetWindowRect(combo, &box) && GetWindowRect(info.hwndList, &listRect))
        *droppedHeight = listRect.bottom - box.top;
    // Then clicks the entry in the dropped list.
    RECT item = {};
    if (SendMessageA(info.hwndList, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) ==
        LB_ERR)
        return false;
    const int x = (item.left + item.right) / 2, y = (item.top + item.bottom) / 2;
    const HWND list = info.hwndList;
    Post(WM_MOUSEMOVE, 0, PointParam(x, y), list);
    if (IsWindow(list)) Post(WM_LBUTTONDOWN, MK_LBUTTON, PointParam(x, y), list);
    if (IsWindow(list)) Post(WM_LBUTTONUP, 0, PointParam(x, y), list);
    return true;
}

// ---- Pixels -----------------------------------------------------------------------------------

Image EditorWindow::Capture() const
{
    Image image;
    const HWND window = AsWindow(Editor());
    RECT client;
    if (!window || !GetClientRect(window, &client)) return image;
    const int w = client.right, h = client.bottom;
    if (w <= 0 || h <= 0) return image;

    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits && memoryDc) {
        HGDIOBJ previous = SelectObject(memoryDc, dib);
        if (BitBlt(memoryDc, 0, 0, w, h, windowDc, 0, 0, SRCCOPY)) {
            GdiFlush();
            image.width = w;
            image.height = h;
            image.rgba.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
            const auto* pixels = static_cast<const std::uint8_t*>(bits);
            for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
                image.rgba[i] = pixels[i + 2];
                image.rgba[i + 1] = pixels[i + 1];
                image.rgba[i + 2] = pixels[i];
                image.rgba[i + 3] = 255;
            }
        }
        SelectObject(memoryDc, previous);
    }
    if (dib) DeleteObject(dib);
    if (memoryDc) DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return image;
}

} // namespace vsthost
