#pragma once
// The editor's window layer on Windows. It puts the editor in a child window of the host's window,
// drives the redraw timer, turns window messages into pointer events, copies the draw bitmap to
// the screen, draws text with GDI fonts, shows the parameter text-entry popup, and offers the file,
// colour and web-address services a plug-in may ask for.
//
// Everything here runs on the thread that owns the editor window (the host's user-interface
// thread). The window class and its count are shared by every editor in the process and are only
// touched on that thread.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "editor/IGraphicsLice.h"
#include "plugcore/Containers.h"

class IGraphicsWin32 : public IGraphicsLice {
public:
    static const char* const kWindowClassName;
    static const int kTimerId = 2;
    static const int kPopupControlId = 99;
    static const int kPopupTextLen = 32;

    IGraphicsWin32(IParamOwner* owner, int width, int height, int fps = 0, HINSTANCE module = nullptr);
    ~IGraphicsWin32() override;

    // ---- The window -------------------------------------------------------------------------
    // A child window of `parentWindow`. Opening while open replaces the window in the same place
    // and size. Null when the window cannot be made (a null parent, for instance).
    void* OpenWindow(void* parentWindow) override;
    void CloseWindow() override;
    void* GetWindow() override { return m_editorWindow; }
    bool CanOpenInHost() const override { return true; }
    bool WindowIsOpen() override { return m_editorWindow != nullptr; }
    // Grows or shrinks the editor window, and its parent and grandparent when they are plain
    // child windows, by the change in size.
    void ResizeGraphics(int width, int height) override;
    void PrepareDrawing() override;

    // ---- Platform operations ----------------------------------------------------------------
    bool PresentToScreen(const IRect& rect) override;
    bool DrawTextInRect(const IText& text, const char* str, const IRect& rect) override;
    void PromptUserInput(IControl* control, IParam* param) override;
    void HostPath(GrowString* path) override;
    void PluginPath(GrowString* path) override;
    void PromptForFile(GrowString* file, int action, const char* directory, const char* extensions) override;
    bool PromptForColor(IColor* color, const char* prompt) override;
    bool OpenURL(const char* url, const char* title, const char* confirmMsg, const char* errMsg) override;

    HINSTANCE ModuleHandle() const { return m_moduleHandle; }
    HWND PopupWindow() const { return m_popupWindow; }
    bool PopupHasFocus() const { return m_popupHasFocus != 0; }
    // The host's top-level window: the last ancestor of the parent, cached once found.
    HWND GetMainWindow();

    // The number of editor windows in the process; the class is registered while it is positive.
    static int WindowClassCount() { return s_windowClassCount; }
    static IMouseMod ModifiersFromWParam(WPARAM wParam);
    // The directory part of a module's file name, trailing backslash included; empty when there
    // is none. A null module is the host program.
    static void GetModulePath(HMODULE module, GrowString* path);

private:
    static LRESULT CALLBACK EditorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleEditorMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandlePopupMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The popup's choice or text goes to its control, then the focus goes back to the editor,
    // which closes the popup.
    void CommitAndLeavePopup();
    void CommitPopupText();
    void ClosePopup();
    void OnEditorWindowGone();
    static void RetainWindowClass(HINSTANCE module);
    static void ReleaseWindowClass(HINSTANCE module);

    IColor m_textColorCache;
    bool m_textColorKnown = false;
    HINSTANCE m_moduleHandle;
    HWND m_editorWindow = nullptr;
    HWND m_popupWindow = nullptr;
    IControl* m_popupControl = nullptr;
    IParam* m_popupParam = nullptr;
    WNDPROC m_popupOldProc = nullptr;
    int m_popupHasFocus = 0;
    COLORREF* m_customColors = nullptr;
    DWORD m_processId = 0;
    HWND m_parentWindow = nullptr;
    HWND m_mainWindow = nullptr;
    GrowString m_mainWindowClass;
    HFONT m_popupFont = nullptr;
    // The system destroyed the editor window (its parent went first); the handle is kept only so
    // that CloseWindow can settle the class count.
    bool m_editorWindowDestroyed = false;
    bool m_timerRunning = false;
    // Whether the current Draw reached the screen; a paint that drew nothing must still end.
    bool m_presented = false;
    // Wheel movement short of a whole notch, carried to the next wheel message.
    int m_wheelResidue = 0;

    static int s_windowClassCount;
    static double s_timerRate;
};
