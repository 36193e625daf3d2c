#pragma once
// render-editor: opens a plug-in's editor, plays the user's clicks and drags on it, and captures
// what it shows. The effect built into wayfarer-host is drawn by the headless window layer; a
// plug-in binary's editor needs a real window: a Win32 window in the Windows build, an X11 window
// on $DISPLAY in the Linux build.
#include "Session.h"

#include <cstdint>
#include <string>
#include <vector>

namespace hosttool {

// One thing the user does to the editor, in editor pixels. Positions outside the editor are
// allowed: a drag may leave the window and still belongs to the control it started on.
struct EditorAction {
    enum class Kind { Click, RightClick, DoubleClick, Drag, Wheel };
    Kind kind = Kind::Click;
    int x = 0, y = 0;
    int toX = 0, toY = 0; // Drag: where the button is released
    int notches = 0;      // Wheel: signed, positive away from the user
};

// Parses the value of --click, --right-click, --double-click ("X,Y"), --drag ("X,Y:X2,Y2") or
// --wheel ("X,Y:NOTCHES") into `action`, whose kind the caller has set.
bool ParseEditorAction(const std::string& text, EditorAction& action, std::string& error);

struct EditorScript {
    int openings = 1; // how often the editor is opened; the last opening is captured
    std::vector<EditorAction> actions;
};

// Pixels as 0xAARRGGBB words, top row first.
struct EditorImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

// The entry point of the effect built into wayfarer-host, with a headless editor that the tool
// opens through the host's calls and draws without a window.
AEffect* VSTCALLBACK BuiltInEditorMain(audioMasterCallback host);

// Renders the editor of the effect `session` holds. `builtIn` says that the effect was made by
// BuiltInEditorMain, so that its editor can be drawn without a window.
bool RenderEditor(Session& session, bool builtIn, const EditorScript& script, EditorImage& image, std::string& error);

// The same through a real editor window; supplied by the build's window support.
bool RenderEditorInWindow(Session& session, const EditorScript& script, EditorImage& image, std::string& error);

// An opaque 8-bit RGB PNG of `image`.
bool EncodePng(const EditorImage& image, std::vector<unsigned char>& png, std::string& error);

} // namespace hosttool
