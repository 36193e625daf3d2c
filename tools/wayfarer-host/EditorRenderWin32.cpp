// render-editor through a real editor window, for the Windows build: the plug-in's editor opens in
// a window of this program, the user's clicks and drags arrive as window messages, and the picture
// is read back from the screen, text drawn by GDI included.
#include "EditorRender.h"
#include "EditorWindow.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace hosttool {

namespace {

// A wheel message carries a signed 16-bit delta of 120 per notch.
constexpr int kNotchDelta = 120;
constexpr int kMaxNotchesPerMessage = 32767 / kNotchDelta;
// Long enough for the editor's redraw timer (33 ms at 30 frames per second) to run.
constexpr int kRedrawMilliseconds = 80;

void Perform(vsthost::EditorWindow& window, const EditorAction& action)
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
    case EditorAction::Kind::Wheel:
        for (int left = action.notches; left != 0;) {
            const int notches = std::clamp(left, -kMaxNotchesPerMessage, kMaxNotchesPerMessage);
            window.Wheel(action.x, action.y, notches * kNotchDelta);
            left -= notches;
        }
        break;
    }
    window.Pump(kRedrawMilliseconds);
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
    // Earlier openings only count (the editor may show something the first times only).
    for (int i = 1; i < script.openings; ++i) {
        vsthost::EditorWindow earlier(plugin);
        if (!earlier.Open(&reason)) return fail("cannot open the editor in a window");
        earlier.Pump(kRedrawMilliseconds);
    }
    vsthost::EditorWindow window(plugin);
    if (!window.Open(&reason)) return fail("cannot open the editor in a window");
    window.Pump(kRedrawMilliseconds);
    for (const EditorAction& action : script.actions) Perform(window, action);

    // Whatever the timer left out, a full repaint shows the editor as it looks when uncovered.
    const auto editor = static_cast<HWND>(window.Editor());
    InvalidateRect(editor, nullptr, FALSE);
    UpdateWindow(editor);
    window.Pump(kRedrawMilliseconds);

    const vsthost::Image shot = window.Capture();
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
