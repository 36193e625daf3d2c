#pragma once
// The editor's window layer on Linux, over XCB. Hosts hand effEditOpen the id of an X11 window;
// the editor puts a child window of its own in it, on a display connection of its own, and
// presents the draw bitmap there. Text is drawn with the same FreeType renderer as the headless
// layer, so the window shows exactly what a headless rendering of the same state shows.
//
// Threads. Hosts call effEditOpen, effEditIdle and effEditClose from their user-interface thread,
// and every X11 call the editor makes happens inside those calls. Parameter changes from other
// threads are only noted (IGraphics::OnParamChange) and shown on the next idle call. A host that
// never sends idle calls still sees the editor repaint: while the window is open, a repaint thread
// watches the idle calls, and when none has come for kIdleFallbackMs it does the idle work itself,
// under the same lock the host's calls take. The connection is the editor's own, so nothing the
// host's own X11 code does can see or race with it.
//
// Errors. XCB reports an error on the connection that caused it; nothing here touches Xlib's
// process-wide error handler, which belongs to the host. A host that destroys its window before
// effEditClose takes the editor's window with it; the editor notices and closes cleanly.
//
// What tests may rely on (the e2e host finds the windows by these):
//  - the editor window is the only child the editor makes in the host's window, named kEditorName;
//  - the value list is an override-redirect top-level window named kListName, one row of
//    kListRowHeight pixels per value, with the values in the string property kItemsProperty
//    ('\n'-separated) and the highlighted row in the cardinal property kSelectedProperty; while
//    it is open it holds the pointer and the keyboard;
//  - the text-entry box is a child of the editor window named kEntryName, whose text so far is in
//    the string property kTextProperty; it has the keyboard focus while it is open.

#include "editor/IGraphicsLice.h"
#include "raster/LicePlatform.h"

#include <atomic>
#include <cstdint>
#include <memory>

class IGraphicsX11 : public IGraphicsLice {
public:
    static constexpr const char* kEditorName = "Wayfarer editor";
    static constexpr const char* kListName = "Wayfarer list";
    static constexpr const char* kEntryName = "Wayfarer entry";
    static constexpr const char* kItemsProperty = "_WAYFARER_ITEMS";
    static constexpr const char* kSelectedProperty = "_WAYFARER_SELECTED";
    static constexpr const char* kTextProperty = "_WAYFARER_TEXT";
    static constexpr int kListRowHeight = 18;
    // Two presses of the left button this close in time and place are a double click.
    static constexpr int kDoubleClickMs = 400;
    static constexpr int kDoubleClickDistance = 4;
    static constexpr int kIdleFallbackMs = 250;

    IGraphicsX11(IParamOwner* owner, int width, int height, int fps = 0, LICE_Module module = nullptr);
    ~IGraphicsX11() override;

    // ---- The window -------------------------------------------------------------------------
    // `parentWindow` is the host's X11 window id. Opens the display named by $DISPLAY; null when
    // there is none, the parent does not exist, or the window cannot be made. Opening while open
    // closes the old window first.
    void* OpenWindow(void* parentWindow) override;
    void CloseWindow() override;
    // The editor window's id, null while closed.
    void* GetWindow() override;
    bool CanOpenInHost() const override { return true; }
    // The host's idle call: reads the window's events, shows parameter changes, repaints.
    void Idle() override;

    // ---- Platform operations ----------------------------------------------------------------
    bool PresentToScreen(const IRect& rect) override;
    bool DrawTextInRect(const IText& text, const char* str, const IRect& rect) override;
    void PromptUserInput(IControl* control, IParam* param) override;
    void HostPath(GrowString* path) override;
    void PluginPath(GrowString* path) override;
    void PromptForFile(GrowString* file, int action, const char* directory, const char* extensions) override;
    bool PromptForColor(IColor* color, const char* prompt) override;
    bool OpenURL(const char* url, const char* title, const char* confirmMsg, const char* errMsg) override;

    // ---- For tests ------------------------------------------------------------------------
    std::uint32_t EditorWindowId() const;
    std::uint32_t ListWindowId() const;
    std::uint32_t EntryWindowId() const;
    // Idle passes the repaint thread ran because the host had gone quiet.
    long FallbackIdles() const { return m_fallbackIdles.load(); }

private:
    struct Impl;
    void Disconnect();
    void LoadKeyboardMap();
    std::uint32_t KeysymOf(std::uint8_t keycode, std::uint16_t state) const;
    void RepaintLoop();
    // The idle work, under the editor's lock. Input is handled only when the host called: the
    // repaint thread keeps it for the host's next call.
    void IdleLocked(bool fromHost);
    void DropPendingInput();
    // Events are XCB's, which the header keeps to itself.
    void HandleEvent(const void* event, IRect* exposed);
    void OnButtonPress(const void* event);
    void OnButtonRelease(const void* event);
    void PutPixels(std::uint32_t target, LICE_IBitmap* bitmap, int left, int top, int width, int height);

    void OpenList(IControl* control, IParam* param);
    void SetListHighlight(int row);
    void PresentList();
    int ListRowAt(int listX, int listY) const;
    void ListButton(const void* event, bool press);
    void ListKey(std::uint32_t keysym);
    // Takes the list down; with `choose`, the highlighted value goes to its control.
    void CloseList(bool choose);
    void OpenEntry(IControl* control, IParam* param);
    void PresentEntry();
    void EntryKey(std::uint32_t keysym);
    // Takes the box down; with `commit`, what was typed goes to its control.
    void CloseEntry(bool commit);

    std::unique_ptr<Impl> m_impl;
    std::atomic<long> m_fallbackIdles{0};
};
