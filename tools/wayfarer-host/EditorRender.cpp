#include "EditorRender.h"

#include "editor/headless/IGraphicsHeadless.h"
#include "raster/LicePngWrite.h"
#include "vst/PluginFactory.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>

namespace hosttool {

namespace {

// The headless editor the built-in effect was last made with. The tool makes one instance at a
// time, on one thread.
IGraphicsHeadless* g_builtInEditor = nullptr;

// The tool plays both the host and the window system, so the headless editor is offered to it.
IGraphics* MakeBuiltInEditor(IParamOwner* owner, int width, int height, int fps)
{
    auto* gui = new (std::nothrow) IGraphicsHeadless(owner, width, height, fps, nullptr);
    if (gui) gui->OfferToHosts(true);
    g_builtInEditor = gui;
    return gui;
}

// Far enough outside any editor to be a deliberate drag out of the window, small enough that a
// drag's steps stay cheap.
constexpr long kMaxCoordinate = 10000;
constexpr long kMaxNotches = 1000;

bool ParseInt(const std::string& text, long low, long high, int& value)
{
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || number < low || number > high) return false;
    value = static_cast<int>(number);
    return true;
}

bool ParsePoint(const std::string& text, int& x, int& y)
{
    const std::size_t comma = text.find(',');
    return comma != std::string::npos && ParseInt(text.substr(0, comma), -kMaxCoordinate, kMaxCoordinate, x) &&
           ParseInt(text.substr(comma + 1), -kMaxCoordinate, kMaxCoordinate, y);
}

// Moves the pointer one pixel at a time, as a real drag reports it, letting the timer run between
// moves so that what is drawn follows the pointer.
void Drag(IGraphicsHeadless& gui, const EditorAction& action)
{
    const IMouseMod held(true);
    gui.OnMouseDown(action.x, action.y, held);
    gui.Tick();
    const int steps = std::max(std::abs(action.toX - action.x), std::abs(action.toY - action.y));
    for (int i = 1; i <= steps; ++i) {
        const int x = action.x + (action.toX - action.x) * i / steps;
        const int y = action.y + (action.toY - action.y) * i / steps;
        gui.MouseMove(x, y, held);
        gui.Tick();
    }
    gui.OnMouseUp(action.toX, action.toY);
}

void Perform(IGraphicsHeadless& gui, const EditorAction& action)
{
    switch (action.kind) {
    case EditorAction::Kind::Click: gui.Click(action.x, action.y, IMouseMod(true)); break;
    case EditorAction::Kind::RightClick: gui.Click(action.x, action.y, IMouseMod(false, true)); break;
    case EditorAction::Kind::DoubleClick:
        // What a window reports: down, up, then the double click and its own button-up.
        gui.Click(action.x, action.y, IMouseMod(true));
        gui.OnMouseDblClick(action.x, action.y, IMouseMod(true));
        gui.OnMouseUp(action.x, action.y);
        break;
    case EditorAction::Kind::Drag: Drag(gui, action); break;
    case EditorAction::Kind::Wheel: gui.OnMouseWheel(action.x, action.y, IMouseMod(), action.notches); break;
    }
    // A control that took a value is drawn on two ticks.
    gui.Tick();
    gui.Tick();
}

} // namespace

bool ParseEditorAction(const std::string& text, EditorAction& action, std::string& error)
{
    const std::size_t colon = text.find(':');
    bool ok = false;
    switch (action.kind) {
    case EditorAction::Kind::Drag:
        ok = colon != std::string::npos && ParsePoint(text.substr(0, colon), action.x, action.y) &&
             ParsePoint(text.substr(colon + 1), action.toX, action.toY);
        if (!ok) error = "takes X,Y:X2,Y2 (from and to, in editor pixels)";
        break;
    case EditorAction::Kind::Wheel:
        ok = colon != std::string::npos && ParsePoint(text.substr(0, colon), action.x, action.y) &&
             ParseInt(text.substr(colon + 1), -kMaxNotches, kMaxNotches, action.notches);
        if (!ok) error = "takes X,Y:NOTCHES (a position and a signed whole number of wheel notches)";
        break;
    default:
        ok = colon == std::string::npos && ParsePoint(text, action.x, action.y);
        if (!ok) error = "takes X,Y (a position in editor pixels)";
        break;
    }
    if (ok) return true;
    error += ", not '" + text + "'";
    return false;
}

bool RenderEditor(Session& session, bool builtIn, const EditorScript& script, EditorImage& image, std::string& error)
{
    if (!builtIn) return RenderEditorInWindow(session, script, image, error);

    // The effect came from BuiltInEditorMain, so its editor is the one made last, and the host's
    // calls open and close it.
    vsthost::Plugin& plugin = session.Plugin();
    IGraphicsHeadless* gui = g_builtInEditor;
    if (gui == nullptr || (session.Effect().flags & effFlagsHasEditor) == 0) {
        error = "the built-in effect has no editor";
        return false;
    }
    if (gui->Width() < 1 || gui->Height() < 1 || gui->GetDrawBitmap() == nullptr) {
        error = "the built-in effect's editor has no images (was wayfarer-host built without them?)";
        return false;
    }

    for (int i = 0; i < script.openings; ++i) {
        plugin.Dispatch(effEditClose);
        plugin.Dispatch(effEditOpen);
        gui->Tick();
    }
    for (const EditorAction& action : script.actions) Perform(*gui, action);

    // Whatever the ticks left out, a full repaint shows the editor as a window would after being
    // uncovered.
    gui->PaintAll();
    image.width = gui->Width();
    image.height = gui->Height();
    image.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                         static_cast<std::size_t>(x)] = gui->PixelAt(x, y);
    plugin.Dispatch(effEditClose);
    return true;
}

AEffect* VSTCALLBACK BuiltInEditorMain(audioMasterCallback host) { return CreateVstEffect(host, MakeBuiltInEditor); }

#if !defined(WAYFARER_EDITOR_WINDOW_RENDER)
bool RenderEditorInWindow(Session& session, const EditorScript&, EditorImage&, std::string& error)
{
    error = session.Path() +
            ": this build of wayfarer-host cannot open a plug-in's editor window; leave out PLUGIN to render "
            "the editor of the effect built into wayfarer-host";
    return false;
}
#endif

bool EncodePng(const EditorImage& image, std::vector<unsigned char>& png, std::string& error)
{
    png.clear();
    if (image.width < 1 || image.height < 1 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
        error = "there is no picture to write";
        return false;
    }
    std::vector<unsigned char> rows(static_cast<std::size_t>(image.width) * 3 * static_cast<std::size_t>(image.height));
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const std::uint32_t p = image.pixels[i];
        rows[i * 3] = static_cast<unsigned char>(p >> 16);
        rows[i * 3 + 1] = static_cast<unsigned char>(p >> 8);
        rows[i * 3 + 2] = static_cast<unsigned char>(p);
    }
    LICE_PngImage rgb;
    rgb.width = image.width;
    rgb.height = image.height;
    rgb.colorType = LICE_PNG_RGB;
    rgb.rows = rows.data();
    rgb.rowBytes = static_cast<std::size_t>(image.width) * 3;
    if (!LICE_WritePng(rgb, &png)) {
        error = "the PNG could not be encoded";
        return false;
    }
    return true;
}

} // namespace hosttool
