// The effect's headers first: once windows.h has declared its own `byte`, theirs would shadow it.
#include "effect/KorFreeWayfarer.h"

#include "EditorReference.h"
#include "editor/headless/IGraphicsHeadless.h"

#include <cstdio>
#include <cstdlib>

namespace e2e {

std::string pluginPath()
{
    const char* override = std::getenv("WAYFARER_PLUGIN");
    if (override != nullptr && *override != '\0') return override;
    return WAYFARER_PLUGIN_PATH;
}

std::string outputPath(const std::string& name) { return std::string(WAYFARER_E2E_OUTPUT_DIR) + "/" + name; }

bool inText(int x, int y)
{
    // The layout's text rectangles, one pixel wider all round: GDI may put antialiasing or a
    // glyph's overhang just beside a rectangle, and text is never clipped to it.
    static const Box kTexts[] = {{96, 157, 179, 170}, {119, 63, 157, 76}, {56, 196, 221, 209}};
    for (const Box& box : kTexts) {
        if (Box{box.l - 1, box.t - 1, box.r + 1, box.b + 1}.contains(x, y)) return true;
    }
    return false;
}

namespace {

VstIntPtr VSTCALLBACK silentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

} // namespace

vsthost::Image renderHeadless(const EditorState& state)
{
    KorFreeWayfarer plug(silentHost);
    auto* gui = new IGraphicsHeadless(&plug, 1, 1, 30, nullptr);
    plug.LayOutEditor(gui);
    plug.SetEditor(gui);
    AEffect* effect = plug.GetAEffect();
    effect->setParameter(effect, kPan, static_cast<float>(state.pan));
    effect->setParameter(effect, kWetMix, static_cast<float>(state.wetMix));
    gui->OpenWindow(nullptr);
    gui->ShowParamChanges();
    gui->GetControl(plug.SplashControlIndex())->SetValueFromPlug(state.splash ? 1.0 : 0.0);
    gui->PaintAll();

    vsthost::Image image;
    image.width = gui->Width();
    image.height = gui->Height();
    image.rgba.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4);
    std::size_t i = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x, i += 4) {
            const std::uint32_t pixel = gui->PixelAt(x, y);
            image.rgba[i] = static_cast<std::uint8_t>(pixel >> 16);
            image.rgba[i + 1] = static_cast<std::uint8_t>(pixel >> 8);
            image.rgba[i + 2] = static_cast<std::uint8_t>(pixel);
            image.rgba[i + 3] = 255;
        }
    }
    return image;
}

PixelDiff comparePixels(const vsthost::Image& got, const vsthost::Image& want, const Box& region, bool skipText)
{
    PixelDiff diff;
    for (int y = region.t; y < region.b; ++y) {
        for (int x = region.l; x < region.r; ++x) {
            if (skipText && inText(x, y)) continue;
            const std::uint32_t a = got.RgbAt(x, y), b = want.RgbAt(x, y);
            const bool outside = x >= got.width || y >= got.height || x >= want.width || y >= want.height;
            if (a == b && !outside) continue;
            if (diff.count++ == 0) {
                diff.x = x;
                diff.y = y;
                diff.got = a;
                diff.want = b;
            }
        }
    }
    return diff;
}

std::string describe(const PixelDiff& diff)
{
    if (diff.count == 0) return "no difference";
    char text[128];
    std::snprintf(text, sizeof text, "%d pixels differ, first at (%d, %d): 0x%06X instead of 0x%06X", diff.count,
                  diff.x, diff.y, static_cast<unsigned>(diff.got), static_cast<unsigned>(diff.want));
    return text;
}

std::vector<VstInt32> editRequests(const vsthost::RequestLog& log, VstInt32 param)
{
    std::vector<VstInt32> opcodes;
    for (const vsthost::HostRequest& request : log.All()) {
        const bool edit = request.opcode == audioMasterBeginEdit || request.opcode == audioMasterAutomate ||
                          request.opcode == audioMasterEndEdit;
        if (edit && request.index == param) opcodes.push_back(request.opcode);
    }
    return opcodes;
}

std::unique_ptr<vsthost::Plugin> openEffect(vsthost::Host& host, Source source)
{
    std::string error;
    std::unique_ptr<vsthost::Plugin> plugin = source == Source::binary
                                                  ? host.Load(pluginPath(), &error)
                                                  : host.LoadBuiltIn(VSTPluginMain, "in-process effect", &error);
    if (!plugin) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    plugin->Open();
    return plugin;
}

} // namespace e2e
