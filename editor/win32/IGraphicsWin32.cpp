#include "IGraphicsWin32.h"

#include "Win32Resources.h"
#include "editor/IControl.h"
#include "plugcore/IParam.h"
#include "raster/LiceBitmap.h"
#include "raster/LicePng.h"

#include <commdlg.h>
#include <shellapi.h>
#include <wininet.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

const char* const IGraphicsWin32::kWindowClassName = "IPlugWndClass";
int IGraphicsWin32::s_windowClassCount = 0;
double IGraphicsWin32::s_timerRate = 24.0;

namespace {

const char* const kWindowTitle = "IPlug";
const int kPopupFontHeight = 14;
const int kModulePathLen = 256;
const int kFileNameLen = 256;
const int kNumCustomColors = 16;
const int kComboEntryHeight = 36;
const int kEditHeight = 16;
const int kMinEditWidth = 36;
const int kWheelNotch = 120;

// The font of a text style, made on first draw and deleted with the style.
class Win32Font : public IFontHandle {
public:
    explicit Win32Font(HFONT font) : m_font(font) {}
    Win32Font(const Win32Font&) = delete;
    Win32Font& operator=(const Win32Font&) = delete;
    ~Win32Font() override
    {
        if (m_font && DeleteObject(m_font)) NoteWin32Freed(kWin32Font);
    }
    HFONT Get() const { return m_font; }

private:
    HFONT m_font;
};

HFONT MakeFont(const IText& text)
{
    const int escapement = text.orientation * 10; // tenths of a degree
    const HFONT font =
        CreateFontA(text.size, 0, escapement, escapement, text.style == IText::kStyleBold ? FW_BOLD : FW_NORMAL,
                    text.style == IText::kStyleItalic ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, text.font);
    if (font) NoteWin32Made(kWin32Font, font);
    return font;
}

int WindowWidth(const RECT& r) { return r.right - r.left; }
int WindowHeight(const RECT& r) { return r.bottom - r.top; }

void ResizeBy(HWND window, const RECT& size, int dW, int dH)
{
    SetWindowPos(window, nullptr, 0, 0, WindowWidth(size) + dW, WindowHeight(size) + dH,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A plain child window: child style and not an MDI child, so its parent's size is ours to change.
bool IsPlainChild(HWND window)
{
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    const LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    return (style & WS_CHILD) != 0 && (exStyle & WS_EX_MDICHILD) == 0;
}

UINT_PTR CALLBACK ColorChooserHook(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG && lParam) {
        const auto* chooser = reinterpret_cast<const CHOOSECOLORA*>(lParam);
        const auto* prompt = reinterpret_cast<const char*>(chooser->lCustData);
        if (prompt && *prompt) SetWindowTextA(dialog, prompt);
    }
    return 0;
}

// Addresses handed to the shell open whatever they name, programs included; only web and mail
// addresses may go there.
bool IsWebAddress(const char* url)
{
    static const char* const kSchemes[] = {"http://", "https://", "mailto:"};
    for (const char* scheme : kSchemes) {
        if (_strnicmp(url, scheme, strlen(scheme)) == 0) return true;
    }
    return false;
}

struct MainWindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<MainWindowSearch*>(lParam);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId) return TRUE;
    char className[128] = "";
    GetClassNameA(window, className, sizeof className);
    if (strcmp(className, search->className) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

IGraphicsWin32::IGraphicsWin32(IParamOwner* owner, int width, int height, int fps, HINSTANCE module)
    : IGraphicsLice(owner, width, height, fps), m_moduleHandle(module ? module : GetModuleHandleA(nullptr))
{
}

IGraphicsWin32::~IGraphicsWin32()
{
    CloseWindow();
    delete[] m_customColors;
    m_customColors = nullptr;
    if (m_popupFont && DeleteObject(m_popupFont)) NoteWin32Freed(kWin32Font);
    m_popupFont = nullptr;
}

// ---- The window -----------------------------------------------------------------------------

void IGraphicsWin32::RetainWindowClass(HINSTANCE module)
{
    if (s_windowClassCount++ != 0) return;
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = EditorWndProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)); // NOLINT
    windowClass.lpszClassName = kWindowClassName;
    if (RegisterClassA(&windowClass)) NoteWin32Made(kWin32WindowClass);
}

void IGraphicsWin32::ReleaseWindowClass(HINSTANCE module)
{
    if (s_windowClassCount <= 0 || --s_windowClassCount != 0) return;
    if (UnregisterClassA(kWindowClassName, module)) NoteWin32Freed(kWin32WindowClass);
}

void* IGraphicsWin32::OpenWindow(void* parentWindow)
{
    const HWND parent = static_cast<HWND>(parentWindow);
    m_parentWindow = parent;
    int x = 0, y = 0, w = Width(), h = Height();
    if (m_editorWindow) {
        RECT old, parentRect;
        if (!m_editorWindowDestroyed && GetWindowRect(m_editorWindow, &old) && GetWindowRect(parent, &parentRect)) {
            x = old.left - parentRect.left;
            y = old.top - parentRect.top;
            w = WindowWidth(old);
            h = WindowHeight(old);
        }
        CloseWindow();
    }

    RetainWindowClass(m_moduleHandle);
    s_timerRate = FPS();
    const HWND window = CreateWindowExA(0, kWindowClassName, kWindowTitle, WS_CHILD | WS_VISIBLE, x, y, w, h, parent,
                                        nullptr, m_moduleHandle, this);
    if (!window) {
        ReleaseWindowClass(m_moduleHandle);
        return nullptr;
    }
    m_editorWindow = window;
    m_editorWindowDestroyed = false;
    m_wheelResidue = 0;
    SetAllControlsDirty();
    return window;
}

void IGraphicsWin32::CloseWindow()
{
    ClosePopup();
    if (!m_editorWindow) return;
    CancelMouseCapture();
    const HWND window = m_editorWindow;
    if (!m_editorWindowDestroyed) {
        // The timer would die with the window; stopping it first keeps the ledger exact.
        if (m_timerRunning && KillTimer(window, kTimerId)) {
            m_timerRunning = false;
            NoteWin32Freed(kWin32Timer);
        }
        DestroyWindow(window);
    }
    m_editorWindow = nullptr;
    m_editorWindowDestroyed = false;
    ReleaseWindowClass(m_moduleHandle);
}

void IGraphicsWin32::OnEditorWindowGone()
{
    NoteWin32Freed(kWin32Window);
    if (m_timerRunning) {
        m_timerRunning = false;
        NoteWin32Freed(kWin32Timer);
    }
}

void IGraphicsWin32::ResizeGraphics(int width, int height)
{
    const int dW = width - Width(), dH = height - Height();
    // Resizes the draw bitmap too, through PrepareDrawing, which notes the new surface.
    IGraphicsLice::ResizeGraphics(width, height);
    if (!m_editorWindow || m_editorWindowDestroyed) return;

    RECT editorSize;
    if (!GetWindowRect(m_editorWindow, &editorSize)) return;
    ResizeBy(m_editorWindow, editorSize, dW, dH);
    if (IsPlainChild(m_editorWindow)) {
        const HWND parent = GetParent(m_editorWindow);
        RECT parentSize;
        if (parent && GetWindowRect(parent, &parentSize)) {
            ResizeBy(parent, parentSize, dW, dH);
            if (IsPlainChild(parent)) {
                const HWND grandparent = GetParent(parent);
                RECT grandparentSize;
                if (grandparent && GetWindowRect(grandparent, &grandparentSize))
                    ResizeBy(grandparent, grandparentSize, dW, dH);
            }
        }
    }
    const RECT old = {0, 0, WindowWidth(editorSize), WindowHeight(editorSize)};
    InvalidateRect(m_editorWindow, &old, FALSE);
}

void IGraphicsWin32::PrepareDrawing()
{
    IGraphicsLice::PrepareDrawing();
    // The memory context lives on with whatever colour it was last given, which the cache no
    // longer vouches for: the next text sets its colour whatever it is.
    m_textColorKnown = false;
    const LICE_IBitmap* draw = GetDrawBitmap();
    const HDC dc = draw ? static_cast<HDC>(draw->DeviceContext()) : nullptr;
    if (!dc) return;
    NoteWin32Handle(kWin32MemoryDC, dc);
    NoteWin32Handle(kWin32DIB, GetCurrentObject(dc, OBJ_BITMAP));
}

// ---- Messages -------------------------------------------------------------------------------

IMouseMod IGraphicsWin32::ModifiersFromWParam(WPARAM wParam)
{
    return IMouseMod((wParam & MK_LBUTTON) != 0, (wParam & MK_RBUTTON) != 0, (wParam & MK_SHIFT) != 0,
                     (wParam & MK_CONTROL) != 0, GetKeyState(VK_MENU) < 0);
}

LRESULT CALLBACK IGraphicsWin32::EditorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        auto* graphics = static_cast<IGraphicsWin32*>(create->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(graphics));
        NoteWin32Made(kWin32Window);
        const auto period = static_cast<UINT>(1000.0 / s_timerRate);
        if (graphics && SetTimer(window, kTimerId, period, nullptr)) {
            graphics->m_timerRunning = true;
            NoteWin32Made(kWin32Timer);
        }
        return 0;
    }

    auto* graphics = reinterpret_cast<IGraphicsWin32*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && graphics) {
        // Destroyed by us, or by the system because the host's window went first; in the latter
        // case CloseWindow must not destroy it again.
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        graphics->OnEditorWindowGone();
        if (window == graphics->m_editorWindow) graphics->m_editorWindowDestroyed = true;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (!graphics || window != graphics->m_editorWindow) return DefWindowProcA(window, message, wParam, lParam);
    return graphics->HandleEditorMessage(window, message, wParam, lParam);
}

LRESULT IGraphicsWin32::HandleEditorMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // While the user types, the editor stays still. Button-downs still count: they end the entry.
    // So do button-ups and capture changes: the press that opened the popup must still release
    // the capture and end the host's edit gesture.
    if (m_popupWindow && m_popupHasFocus && message != WM_LBUTTONDOWN && message != WM_RBUTTONDOWN &&
        message != WM_LBUTTONUP && message != WM_RBUTTONUP && message != WM_CAPTURECHANGED)
        return DefWindowProcA(window, message, wParam, lParam);

    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    switch (message) {
    case WM_PAINT: {
        RECT update;
        if (GetUpdateRect(window, &update, FALSE)) {
            m_presented = false;
            Draw(IRect(update.left, update.top, update.right, update.bottom));
            if (!m_presented) {
                // Nothing reached the screen (no controls): the region must still be validated,
                // or the system would ask to paint again at once, forever.
                PAINTSTRUCT paint;
                if (BeginPaint(window, &paint)) EndPaint(window, &paint);
            }
        }
        return 0;
    }
    case WM_CLOSE: CloseWindow(); return 0;
    case WM_TIMER:
        if (wParam == kTimerId) {
            IRect dirty;
            if (IsDirty(&dirty)) {
                const RECT r = {dirty.L, dirty.T, dirty.R, dirty.B};
                InvalidateRect(window, &r, FALSE);
                UpdateWindow(window);
            }
        }
        return 0;
    case WM_MOUSEMOVE:
        if (wParam & (MK_LBUTTON | MK_RBUTTON)) {
            if (GetCapture() == window) OnMouseDrag(x, y, ModifiersFromWParam(wParam));
        } else if (OnMouseOver(x, y, ModifiersFromWParam(wParam))) {
            TRACKMOUSEEVENT track = {};
            track.cbSize = sizeof track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = window;
            track.dwHoverTime = HOVER_DEFAULT;
            TrackMouseEvent(&track);
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        // Focus to the popup and then away from it: an open popup loses the focus and closes
        // without committing, whether or not it had the focus before.
        if (m_popupWindow) SetFocus(m_popupWindow);
        SetFocus(window);
        // Closing may have been refused focus-wise (the popup never had it); it still goes.
        if (m_popupWindow) ClosePopup();
        SetCapture(window);
        OnMouseDown(x, y, ModifiersFromWParam(wParam));
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        // The control hears of the button-up before the capture goes, so that the capture change
        // this causes finds no gesture left to cancel.
        OnMouseUp(x, y);
        if (GetCapture() == window) ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        // Another window took the pointer in the middle of a press (a dialog, a task switch): no
        // button-up will come here, so the press ends now.
        if (reinterpret_cast<HWND>(lParam) != window) CancelMouseCapture();
        return 0;
    case WM_LBUTTONDBLCLK: OnMouseDblClick(x, y, ModifiersFromWParam(wParam)); return 0;
    case WM_MOUSEWHEEL: {
        RECT r;
        if (!GetWindowRect(window, &r)) r = RECT{0, 0, 0, 0};
        // Precision wheels and touchpads report fractions of a notch; they add up to whole
        // notches instead of each truncating to nothing. Turning back drops what was left over.
        const int raw = static_cast<short>(HIWORD(wParam));
        if ((raw < 0) != (m_wheelResidue < 0)) m_wheelResidue = 0;
        m_wheelResidue += raw;
        const int delta = m_wheelResidue / kWheelNotch;
        m_wheelResidue -= delta * kWheelNotch;
        OnMouseWheel(x - r.left, y - r.top, ModifiersFromWParam(wParam), delta);
        return 0;
    }
    case WM_MOUSELEAVE: OnMouseOut(); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool IGraphicsWin32::PresentToScreen(const IRect& rect)
{
    const LICE_IBitmap* draw = GetDrawBitmap();
    const HDC source = draw ? static_cast<HDC>(draw->DeviceContext()) : nullptr;
    if (!m_editorWindow || m_editorWindowDestroyed) return false;
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(m_editorWindow, &paint);
    if (!dc) return false;
    NoteWin32Made(kWin32PaintDC);
    m_presented = true;
    const bool copied = source && BitBlt(dc, rect.L, rect.T, rect.W(), rect.H(), source, rect.L, rect.T, SRCCOPY);
    EndPaint(m_editorWindow, &paint);
    NoteWin32Freed(kWin32PaintDC);
    return copied;
}

// ---- Text -----------------------------------------------------------------------------------

bool IGraphicsWin32::DrawTextInRect(const IText& text, const char* str, const IRect& rect)
{
    if (!str || !*str) return true;
    const LICE_IBitmap* draw = GetDrawBitmap();
    const HDC dc = draw ? static_cast<HDC>(draw->DeviceContext()) : nullptr;
    if (!dc) return true; // nothing to draw on yet, as with every other drawing operation

    auto* font = dynamic_cast<Win32Font*>(text.fontHandle);
    if (!font) {
        // A handle from another text renderer is of no use to GDI; the style gets one of ours.
        delete text.fontHandle;
        text.fontHandle = nullptr;
        if (const HFONT made = MakeFont(text)) {
            font = new (std::nothrow) Win32Font(made);
            if (font)
                text.fontHandle = font;
            else if (DeleteObject(made))
                NoteWin32Freed(kWin32Font);
        }
    }
    // Selected only for this call: a style's font must never stay selected in the draw context,
    // or deleting the style could not free it.
    const HGDIOBJ previous = font ? SelectObject(dc, font->Get()) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    if (!m_textColorKnown || !(text.color == m_textColorCache)) {
        SetTextColor(
            dc, RGB(static_cast<BYTE>(text.color.R), static_cast<BYTE>(text.color.G), static_cast<BYTE>(text.color.B)));
        m_textColorCache = text.color;
        m_textColorKnown = true;
    }
    UINT format = DT_NOCLIP | DT_TOP;
    if (text.align == IText::kAlignCenter)
        format |= DT_CENTER;
    else if (text.align == IText::kAlignFar)
        format |= DT_RIGHT;
    else
        format |= DT_LEFT;
    RECT r = {rect.L, rect.T, rect.R, rect.B};
    const int drawn = DrawTextA(dc, str, -1, &r, format);
    if (previous) SelectObject(dc, previous);
    return drawn != 0;
}

// ---- The text-entry popup -------------------------------------------------------------------

void IGraphicsWin32::PromptUserInput(IControl* control, IParam* param)
{
    if (!control || !param || m_popupWindow || !m_editorWindow || m_editorWindowDestroyed) return;

    const IRect& r = control->GetRECT();
    const int cx = static_cast<int>((r.L + r.R) * 0.5);
    const int cy = static_cast<int>((r.T + r.B) * 0.5);
    char current[kPopupTextLen] = "";
    param->GetDisplayForHost(param->Value(), false, current);

    const bool isList = param->Type() == IParam::kTypeBool || param->Type() == IParam::kTypeEnum;
    const auto controlId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPopupControlId));
    HWND popup = nullptr;
    if (isList) {
        const int n = param->NumDisplayTexts();
        int width = 24, selected = -1;
        for (int i = 0; i < n; ++i) {
            const char* t = param->GetDisplayText(i);
            const int w = static_cast<int>(strlen(t)) * 8 + 24;
            if (w > width) width = w;
            if (strcmp(t, current) == 0) selected = i;
        }
        popup = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, cx - width / 2, cy, width,
                                (n + 1) * kComboEntryHeight, m_editorWindow, controlId, m_moduleHandle, nullptr);
        if (!popup) return;
        for (int i = 0; i < n; ++i)
            SendMessageA(popup, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(param->GetDisplayText(i)));
        SendMessageA(popup, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    } else {
        const int width = r.W() > kMinEditWidth ? r.W() : kMinEditWidth;
        popup = CreateWindowExA(0, "EDIT", current, WS_CHILD | WS_VISIBLE | ES_CENTER | ES_MULTILINE, cx - width / 2,
                                cy - kEditHeight / 2, width, kEditHeight, m_editorWindow, controlId, m_moduleHandle,
                                nullptr);
        if (!popup) return;
    }
    NoteWin32Made(kWin32Window);
    m_popupWindow = popup;
    // The object first, then the procedure: every message the new procedure sees finds it.
    SetWindowLongPtrA(popup, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_popupOldProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(popup, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PopupProc)));

    if (!m_popupFont) {
        m_popupFont = CreateFontA(kPopupFontHeight, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
        if (m_popupFont) NoteWin32Made(kWin32Font, m_popupFont);
    }
    if (m_popupFont) SendMessageA(popup, WM_SETFONT, reinterpret_cast<WPARAM>(m_popupFont), FALSE);
    m_popupControl = control;
    m_popupParam = param;

    if (!isList) {
        // A dialog host moves its focus into the box; any other host gets the focus put there.
        if (const HWND main = GetMainWindow()) SendMessageA(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(popup), TRUE);
        if (m_popupWindow == popup && GetFocus() != popup) SetFocus(popup);
    }
}

LRESULT CALLBACK IGraphicsWin32::PopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* graphics = reinterpret_cast<IGraphicsWin32*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!graphics || !graphics->m_popupWindow || window != graphics->m_popupWindow)
        return DefWindowProcA(window, message, wParam, lParam);
    return graphics->HandlePopupMessage(window, message, wParam, lParam);
}

LRESULT IGraphicsWin32::HandlePopupMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFOCUS: m_popupHasFocus = 1; break;
    case WM_KILLFOCUS:
        m_popupHasFocus = 0;
        ClosePopup();
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            CommitAndLeavePopup();
            return 0;
        }
        if (wParam == VK_ESCAPE) {
            SetFocus(m_editorWindow);
            if (m_popupWindow) ClosePopup();
            return 0;
        }
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            CommitAndLeavePopup();
            return 0;
        }
        break;
    case WM_NCDESTROY: {
        // Destroyed with the editor window, not by ClosePopup: forget it, and let its own
        // procedure free what it holds.
        const WNDPROC old = m_popupOldProc;
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        m_popupWindow = nullptr;
        m_popupControl = nullptr;
        m_popupParam = nullptr;
        m_popupOldProc = nullptr;
        m_popupHasFocus = 0;
        NoteWin32Freed(kWin32Window);
        return CallWindowProcA(old, window, message, wParam, lParam);
    }
    default: break;
    }
    return CallWindowProcA(m_popupOldProc, window, message, wParam, lParam);
}

void IGraphicsWin32::CommitAndLeavePopup()
{
    CommitPopupText();
    if (m_editorWindow) SetFocus(m_editorWindow);
    // A popup that never had the focus does not notice the editor taking it.
    if (m_popupWindow) ClosePopup();
}

void IGraphicsWin32::CommitPopupText()
{
    if (!m_popupWindow || !m_popupControl || !m_popupParam) return;
    char text[kPopupTextLen] = "";
    if (SendMessageA(m_popupWindow, WM_GETTEXT, kPopupTextLen, reinterpret_cast<LPARAM>(text)) <= 0) return;
    text[kPopupTextLen - 1] = '\0';

    const double value = ValueFromUserText(*m_popupParam, text);
    m_popupControl->SetValueFromUserInput(m_popupParam->GetNormalizedValue(value));
}

void IGraphicsWin32::ClosePopup()
{
    const HWND popup = m_popupWindow;
    const WNDPROC oldProc = m_popupOldProc;
    // Cleared before the popup goes: destroying it moves the focus and sends messages that must
    // find no popup.
    m_popupWindow = nullptr;
    m_popupControl = nullptr;
    m_popupParam = nullptr;
    m_popupOldProc = nullptr;
    m_popupHasFocus = 0;
    if (popup) {
        if (oldProc) SetWindowLongPtrA(popup, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc));
        if (DestroyWindow(popup)) NoteWin32Freed(kWin32Window);
    }
    if (m_editorWindow && !m_editorWindowDestroyed) {
        RECT size;
        if (GetWindowRect(m_editorWindow, &size)) {
            const RECT whole = {0, 0, WindowWidth(size), WindowHeight(size)};
            InvalidateRect(m_editorWindow, &whole, FALSE);
        }
    }
}

HWND IGraphicsWin32::GetMainWindow()
{
    if (m_mainWindow) return m_mainWindow;
    if (m_parentWindow) {
        HWND window = m_parentWindow;
        while (const HWND parent = GetParent(window)) window = parent;
        m_mainWindow = window;
        char className[128] = "";
        GetClassNameA(window, className, sizeof className);
        m_mainWindowClass.Set(className);
    } else if (m_mainWindowClass.GetLength()) {
        m_processId = GetCurrentProcessId();
        MainWindowSearch search = {m_processId, m_mainWindowClass.Get(), nullptr};
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
        m_mainWindow = search.found;
    }
    return m_mainWindow;
}

// ---- Paths, dialogs, the web ----------------------------------------------------------------

void IGraphicsWin32::GetModulePath(HMODULE module, GrowString* path)
{
    if (!path) return;
    path->Set("");
    char name[kModulePathLen] = "";
    const DWORD length = GetModuleFileNameA(module, name, kModulePathLen);
    // A name that fills the buffer was cut short: its directory would be wrong.
    if (length == 0 || length >= static_cast<DWORD>(kModulePathLen)) return;
    const char* lastSlash = strrchr(name, '\\');
    if (!lastSlash || lastSlash[1] == '\0') return;
    path->Set(name, static_cast<int>(lastSlash - name) + 1);
}

void IGraphicsWin32::HostPath(GrowString* path) { GetModulePath(nullptr, path); }

void IGraphicsWin32::PluginPath(GrowString* path) { GetModulePath(m_moduleHandle, path); }

void IGraphicsWin32::PromptForFile(GrowString* file, int action, const char* directory, const char* /*extensions*/)
{
    if (!file) return;
    file->Set("");
    if (!m_editorWindow || m_editorWindowDestroyed) return;

    char initialDir[kFileNameLen] = "";
    if (directory && *directory) {
        CopyText(initialDir, directory, kFileNameLen);
    } else {
        GrowString hostPath;
        HostPath(&hostPath);
        CopyText(initialDir, hostPath.Get(), kFileNameLen);
    }
    char fileName[kFileNameLen] = "";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_editorWindow;
    dialog.lpstrFile = fileName;
    dialog.nMaxFile = kFileNameLen - 1;
    dialog.lpstrInitialDir = initialDir;
    BOOL chosen = FALSE;
    if (action == 1) {
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        chosen = GetSaveFileNameA(&dialog);
    } else {
        dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        chosen = GetOpenFileNameA(&dialog);
    }
    if (chosen) file->Set(fileName);
}

bool IGraphicsWin32::PromptForColor(IColor* color, const char* prompt)
{
    if (!color || !m_editorWindow || m_editorWindowDestroyed) return false;
    if (!m_customColors) {
        m_customColors = new (std::nothrow) COLORREF[kNumCustomColors]();
        if (!m_customColors) return false;
    }
    CHOOSECOLORA chooser = {};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = m_editorWindow;
    chooser.rgbResult = RGB(static_cast<BYTE>(color->R), static_cast<BYTE>(color->G), static_cast<BYTE>(color->B));
    chooser.lpCustColors = m_customColors;
    chooser.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR | CC_SOLIDCOLOR | CC_ENABLEHOOK;
    chooser.lCustData = reinterpret_cast<LPARAM>(prompt);
    chooser.lpfnHook = ColorChooserHook;
    if (!ChooseColorA(&chooser)) return false;
    color->R = GetRValue(chooser.rgbResult);
    color->G = GetGValue(chooser.rgbResult);
    color->B = GetBValue(chooser.rgbResult);
    return true;
}

bool IGraphicsWin32::OpenURL(const char* url, const char* title, const char* confirmMsg, const char* errMsg)
{
    if (!url || !IsWebAddress(url)) return false;
    if (confirmMsg && MessageBoxA(m_editorWindow, confirmMsg, title, MB_YESNO) != IDYES) return false;
    DWORD connection = 0;
    if (InternetGetConnectedState(&connection, 0)) {
        const HINSTANCE result = ShellExecuteA(m_editorWindow, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
        if (reinterpret_cast<INT_PTR>(result) > 32) return true;
    }
    if (errMsg) MessageBoxA(m_editorWindow, errMsg, title, MB_OK);
    return false;
}
