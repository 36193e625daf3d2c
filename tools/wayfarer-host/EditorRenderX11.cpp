// render-editor through a real editor window, for the Linux build: the .so's editor opens in an X11
// window of this program on $DISPLAY, the user's clicks, drags and wheel turns arrive as real input
// through XTest, and the picture is read back from the server, FreeType text included.
#include "EditorRender.h"
#include "EditorWindowX11.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>

namespace hosttool {

namespace {

// Long enough for a few of the host's idle calls (30 a second), each of which repaints.
constexpr int kRedrawMilliseconds = 120;

void Perform(vsthost::X11EditorWindow& window, const EditorAction& action)
{
    switch (action.kind) {
    case EditorAction::Kind::Click: window.Click(action.x, action.y); break;
    case EditorAction::Kind::RightClick: window.Click(action.x, action.y, vsthost::MouseButton::Right); break;
    case EditorAction::Kind::DoubleClick: window.DoubleClick(action.x, action.y); break;
    case EditorAction::Kind::Drag: {
        // One pixel a step, as a real drag reports it.
        const int steps = std::max({std::abs(action.toX - action.x), std::abs(action.toY - action.y), 1});
        window.Drag(action.x, action.y, action.toX, action.toY, steps);
        break;
    }
    case EditorAction::Kind::Wheel: window.Wheel(action.x, action.y, action.notches); break;
    }
    window.Idle(kRedrawMilliseconds);
}

} // namespace

bool RenderEditorInWindow(Session& session, const EditorScript& script, EditorImage& image, std::string& error)
{
    vsthost::Plugin& plugin = session.Plugin();
    std::string reason;
    auto fail = [&](const std::string& what) {
        error = session.Path() + ": " + what + (reason.empty() ? "" : " (" + reason + ")");
        return false;
    };
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return fail("there is no X display to open the editor on ($DISPLAY is not set); run under "
                    "scripts/xvfb-run, or leave out PLUGIN to render the built-in effect without a window");
    // Earlier openings only count (the editor may show something the first times only).
    for (int i = 1; i < script.openings; ++i) {
        vsthost::X11EditorWindow earlier(plugin);
        if (!earlier.Open(&reason)) return fail("cannot open the editor in a window");
        earlier.Idle(kRedrawMilliseconds);
    }
    vsthost::X11EditorWindow window(plugin);
    if (!window.Open(&reason)) return fail("cannot open the editor in a window");
    window.Idle(kRedrawMilliseconds);
    for (const EditorAction& action : script.actions) Perform(window, action);

    // Whatever the idle calls left out, an exposure repaints the whole editor, as when the window
    // is uncovered.
    XClearArea(window.Connection(), window.Editor(), 0, 0, 0, 0, True);
    window.Idle(kRedrawMilliseconds);

    // As the screen shows it: a value list left open lies on top of the editor, in a window of its
    // own.
    const vsthost::Image shot = window.CaptureScreen();
    if (shot.Empty()) return fail("cannot read the editor window back");
    image.width = shot.width;
    image.height = shot.height;
    image.pixels.resize(static_cast<std::size_t>(shot.width) * static_cast<std::size_t>(shot.height));
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(shot.width) +
                         static_cast<std::size_t>(x)] = 0xFF000000u | shot.RgbAt(x, y);
    window.Close();
    return true;
}

} // namespace hosttool
