// EditorWindow.h: the test host's editor mode (Windows builds only).
//
// An EditorWindow puts a plug-in's editor into a real top-level window, as a DAW does: it asks for
// the editor rectangle (effEditGetRect), makes a window whose client area has that size, and hands
// it to effEditOpen. It then plays the user: it posts real mouse and keyboard messages to the
// editor's child window, runs the message loop so the editor's timer and paint handler run, finds
// the editor's popups, and reads back what the window shows.
//
// Contract:
//  - One thread: the one that opened the window must do everything else with it, because the
//    editor's windows belong to that thread's message queue.
//  - Coordinates are editor client pixels, y downward.
//  - Input methods post the messages and then run the message loop until it is idle, so that when
//    they return the editor has handled them. Repaints come from the editor's timer: Pump() for a
//    few timer periods before capturing what changed.
//  - Close() (and the destructor) sends effEditClose and destroys the frame window. A plug-in
//    closed behind the window's back (effClose while open) is the caller's business: call
//    ForgetPlugin() first, and the frame is then destroyed without a further dispatcher call.
#pragma once

#include "EditorCommon.h"
#include "VstHost.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vsthost {

// A child window of the editor, such as the parameter text-entry popup.
struct PopupInfo {
    void* window = nullptr;
    std::string className;                        // "ComboBox", "Edit", ... as the system names the class
    int left = 0, top = 0, width = 0, height = 0; // editor client coordinates of the window
    int selected = -1;                            // combo boxes: the selected entry
    std::vector<std::string> items;               // combo boxes: the entries
    std::string text;                             // the window's text
    int controlId = 0;
    bool focused = false;
};

// A window as its creator asked for it (the system may show it otherwise: a drop-down list, for
// one, shrinks its list to its entries).
struct WindowRequest {
    void* window = nullptr;
    void* parent = nullptr;
    std::string className; // as the system names the class
    int x = 0, y = 0, width = 0, height = 0;
    unsigned long style = 0;
};

class EditorWindow {
public:
    explicit EditorWindow(Plugin& plugin);
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // Makes the frame, asks for the editor rectangle and opens the editor in the frame. False with
    // a reason when any step fails (nothing stays open then).
    bool Open(std::string* error = nullptr);
    void Close();
    // The plug-in was closed (effClose) while its editor was open: only the frame remains ours.
    void ForgetPlugin() { m_plugin = nullptr; }
    bool IsOpen() const { return m_frame != nullptr; }

    void* Frame() const { return m_frame; }
    // The editor's own window: the frame's child that effEditOpen created (null when none).
    void* Editor() const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Where the frame's client area starts on the screen. Not the corner, so that anything that
    // mixes up screen and window coordinates shows.
    static const int kFrameX = 32, kFrameY = 24;

    // Runs the message loop for `milliseconds`, or until idle when 0.
    void Pump(int milliseconds = 0);
    // The editor's redraw period at 30 frames per second is 33 ms; this waits for a few of them.
    void Settle() { Pump(150); }

    // ---- The user ---------------------------------------------------------------------------
    // `keys` are MK_SHIFT / MK_CONTROL bits to report with the button state.
    void MouseDown(int x, int y, MouseButton button = MouseButton::Left, unsigned keys = 0);
    void MouseUp(int x, int y, MouseButton button = MouseButton::Left, unsigned keys = 0);
    // A move with `button` held (or none, for hovering).
    void MouseMove(int x, int y, const MouseButton* held = nullptr);
    void Click(int x, int y, MouseButton button = MouseButton::Left);
    // Button down at the start, `steps` moves along the line, button up at the end.
    void Drag(int x0, int y0, int x1, int y1, int steps = 8);
    void DoubleClick(int x, int y);
    // `delta` in the system's units (120 per notch), at editor coordinates.
    void Wheel(int x, int y, int delta, unsigned keys = 0);
    // A key press (down and up) posted to `window` (the focused window when null).
    void Key(void* window, int virtualKey);
    // Characters posted to `window` as typed text.
    void Type(void* window, const std::string& text);

    // ---- Popups -----------------------------------------------------------------------------
    std::vector<PopupInfo> Popups() const;
    // Clicks a drop-down list open and clicks entry `index` in its list, as a user would. With
    // `droppedHeight`, also tells how tall the box was while dropped down, from the top of the
    // box to the bottom of its list, as the screen showed it.
    bool ChooseListEntry(void* comboBox, int index, int* droppedHeight = nullptr);
    // The window with the keyboard focus.
    static void* Focus();
    // Every window created on this thread while this editor window was open, in order.
    const std::vector<WindowRequest>& CreatedWindows() const { return m_created; }

    // ---- Pixels -----------------------------------------------------------------------------
    // What the editor window shows, read back from its device context.
    Image Capture() const;

private:
    void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, void* window = nullptr);

    Plugin* m_plugin;
    std::vector<WindowRequest> m_created;
    void* m_hook = nullptr;
    void* m_frame = nullptr;
    int m_width = 0;
    int m_height = 0;
    bool m_editorOpen = false;
};

} // namespace vsthost
