// The editor's repaints against pixman compositing the same layer stack:
//   - a full-panel Draw (275 x 212, every control: background, switch, knob, the three labels,
//     the hidden splash and the version text);
//   - the repaint a knob drag causes: the knob's rectangle, with what overlaps it.
// The reference composes the same images at the same places: the background copied, the switch's
// and the knob's frames over it with their alpha, and each text as a coverage mask of its
// rectangle's size in the text colour. pixman is a benchmark-only reference: the product never
// links it.
#include "BenchMain.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "effect/KorFreeWayfarer.h"
#include "raster/LicePng.h"

#include <pixman.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

const IRect kPanel(0, 0, 275, 212), kKnob(99, 85, 176, 162);

struct Editor {
    Editor() : plug(nullptr, MakeHeadlessGraphics), gui(dynamic_cast<IGraphicsHeadless*>(plug.GetGUI()))
    {
        gui->OpenWindow(nullptr);
        gui->Tick();
    }
    KorFreeWayfarer plug;
    IGraphicsHeadless* gui;
};

void EditorFullDraw(benchmark::State& state)
{
    Editor editor;
    for (auto _ : state) {
        editor.gui->Draw(kPanel);
        benchmark::ClobberMemory();
    }
}

// What a drag does on every pointer move: the knob takes a new value and the next tick repaints it.
void EditorKnobRedraw(benchmark::State& state)
{
    Editor editor;
    IControl* knob = editor.gui->GetControl(2);
    double value = 0.0;
    for (auto _ : state) {
        value = value >= 1.0 ? 0.0 : value + 1.0 / 64;
        knob->SetValueFromPlug(value);
        editor.gui->Tick();
        benchmark::ClobberMemory();
    }
}

// ---- The pixman reference -------------------------------------------------------------------

// pixman wants premultiplied pixels; images are converted once, outside the timing.
struct PixmanImage {
    explicit PixmanImage(const char* file)
    {
        std::unique_ptr<LICE_IBitmap> bmp(
            LICE_ReadPngFile((std::string(WAYFARER_SOURCE_DIR "/img/") + file).c_str(), nullptr));
        w = bmp ? bmp->Width() : 1;
        h = bmp ? bmp->Height() : 1;
        pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
        for (int y = 0; bmp && y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint32_t p = bmp->Pixels()[y * bmp->RowSpan() + x];
                const uint32_t a = p >> 24;
                auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
                pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
                    a << 24 | mul((p >> 16) & 0xFF) << 16 | mul((p >> 8) & 0xFF) << 8 | mul(p & 0xFF);
            }
        }
        image = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, pixels.data(), w * 4);
    }
    ~PixmanImage() { pixman_image_unref(image); }
    PixmanImage(const PixmanImage&) = delete;
    PixmanImage& operator=(const PixmanImage&) = delete;

    int w, h;
    std::vector<uint32_t> pixels;
    pixman_image_t* image;
};

// A text's coverage: a mask of its rectangle's size, a third of it inked.
struct TextMask {
    explicit TextMask(const IRect& r) : rect(r), stride(((r.W() + 3) / 4) * 4)
    {
        coverage.assign(static_cast<size_t>(stride) * static_cast<size_t>(r.H()), 0);
        for (size_t i = 0; i < coverage.size(); i += 3) coverage[i] = 255;
        mask = pixman_image_create_bits(PIXMAN_a8, r.W(), r.H(), reinterpret_cast<uint32_t*>(coverage.data()), stride);
    }
    ~TextMask() { pixman_image_unref(mask); }
    TextMask(const TextMask&) = delete;
    TextMask& operator=(const TextMask&) = delete;

    IRect rect;
    int stride;
    std::vector<uint8_t> coverage;
    pixman_image_t* mask;
};

struct PixmanPanel {
    PixmanPanel()
        : background("korFreeWayfarer.png"),
          switchStrip("switch.png"),
          knobStrip("knob.png"),
          target(static_cast<size_t>(kPanel.W()) * static_cast<size_t>(kPanel.H()), 0)
    {
        dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kPanel.W(), kPanel.H(), target.data(), kPanel.W() * 4);
        const pixman_color_t label = {0x2121, 0x2525, 0x2828, 0xFFFF};
        labelColor = pixman_image_create_solid_fill(&label);
        for (const IRect& r :
             {IRect(96, 157, 179, 170), IRect(119, 63, 157, 76), IRect(96, 157, 179, 170), IRect(56, 196, 221, 209)})
            texts.push_back(std::make_unique<TextMask>(r));
    }
    ~PixmanPanel()
    {
        pixman_image_unref(labelColor);
        pixman_image_unref(dst);
    }
    PixmanPanel(const PixmanPanel&) = delete;
    PixmanPanel& operator=(const PixmanPanel&) = delete;

    // The layer stack clipped to `clip`, as a repaint of that rectangle composes it.
    void Compose(const IRect& clip, int knobFrame)
    {
        Layer(PIXMAN_OP_SRC, background.image, 0, 0, IRect(0, 0, 275, 212), clip);
        Layer(PIXMAN_OP_OVER, switchStrip.image, 0, 0, IRect(53, 109, 222, 130), clip);
        Layer(PIXMAN_OP_OVER, knobStrip.image, 0, 77 * knobFrame, kKnob, clip);
        for (const auto& text : texts) {
            const IRect& r = text->rect;
            if (!Overlaps(r, clip)) continue;
            pixman_image_composite32(PIXMAN_OP_OVER, labelColor, text->mask, dst, 0, 0, 0, 0, r.L, r.T, r.W(), r.H());
        }
    }

    static bool Overlaps(const IRect& a, const IRect& b) { return a.L < b.R && b.L < a.R && a.T < b.B && b.T < a.B; }

    void Layer(pixman_op_t op, pixman_image_t* src, int srcX, int srcY, const IRect& at, const IRect& clip)
    {
        const int l = std::max(at.L, clip.L), t = std::max(at.T, clip.T);
        const int r = std::min(at.R, clip.R), b = std::min(at.B, clip.B);
        if (r <= l || b <= t) return;
        pixman_image_composite32(op, src, nullptr, dst, srcX + l - at.L, srcY + t - at.T, 0, 0, l, t, r - l, b - t);
    }

    PixmanImage background, switchStrip, knobStrip;
    std::vector<uint32_t> target;
    pixman_image_t* dst;
    pixman_image_t* labelColor;
    std::vector<std::unique_ptr<TextMask>> texts;
};

void PixmanFullPanel(benchmark::State& state)
{
    PixmanPanel panel;
    for (auto _ : state) {
        panel.Compose(kPanel, 32);
        benchmark::ClobberMemory();
    }
}

void PixmanKnobRegion(benchmark::State& state)
{
    PixmanPanel panel;
    int frame = 0;
    for (auto _ : state) {
        frame = (frame + 1) % 65;
        panel.Compose(kKnob, frame);
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(EditorFullDraw)->Name("EditorFullDraw/275x212");
BENCHMARK(PixmanFullPanel)->Name("PixmanFullPanel/275x212");
BENCHMARK(EditorKnobRedraw)->Name("EditorKnobRedraw/77x77");
BENCHMARK(PixmanKnobRegion)->Name("PixmanKnobRegion/77x77");
WAYFARER_RATIO("EditorFullDraw/275x212", "PixmanFullPanel/275x212");
WAYFARER_RATIO("EditorKnobRedraw/77x77", "PixmanKnobRegion/77x77");
