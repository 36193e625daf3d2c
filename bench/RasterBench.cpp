// The raster library's hot paths against established references measured in the same run:
//   - the editor's common blit (copy with source alpha at weight 1.0, one editor-sized image)
//     against pixman's OVER of the same size;
//   - a 2x bilinear stretch against pixman's bilinear scale;
//   - decoding the knob strip (77 x 5005 RGBA) against libpng's own simplified reader.
// pixman is a benchmark-only reference: the product never links it.
#include "BenchMain.h"
#include "raster/LiceBlit.h"
#include "raster/LicePng.h"
#include "raster/LicePngWrite.h"

#include <png.h>
#if WAYFARER_HAVE_PIXMAN
#include <pixman.h>
#endif

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int kW = 275, kH = 212;

// An editor-like image: an opaque disc with a soft edge on a transparent ground, some texture.
std::vector<uint32_t> EditorImage(int w, int h, unsigned seed)
{
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    uint32_t state = seed;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            const double d = std::hypot(x - w / 2.0, y - h / 2.0) / (0.45 * (w < h ? w : h));
            const int a = d < 0.9 ? 255 : d < 1.1 ? static_cast<int>((1.1 - d) * 5 * 255) : 0;
            const uint32_t rgb = ((x * 3 + (state >> 28)) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | ((x + y) & 0xFF);
            px[static_cast<size_t>(y) * w + x] = static_cast<uint32_t>(a) << 24 | rgb;
        }
    }
    return px;
}

void LoadInto(LICE_IBitmap& bmp, const std::vector<uint32_t>& px) { memcpy(bmp.Pixels(), px.data(), px.size() * 4); }

void BlitCopySourceAlpha(benchmark::State& state)
{
    LICE_MemBitmap src(kW, kH), dst(kW, kH);
    LoadInto(src, EditorImage(kW, kH, 1));
    LoadInto(dst, EditorImage(kW, kH, 2));
    for (auto _ : state) {
        LICE_BlitRect(&dst, &src, 0, 0, nullptr, 1.0f, LICE_FLAG_SOURCE_ALPHA | LICE_MODE_COPY);
        benchmark::ClobberMemory();
    }
}

void StretchBilinear2x(benchmark::State& state)
{
    LICE_MemBitmap src(kW, kH), dst(2 * kW, 2 * kH);
    LoadInto(src, EditorImage(kW, kH, 1));
    for (auto _ : state) {
        LICE_StretchBlit(&dst, &src, 0, 0, 2 * kW, 2 * kH, 0, 0, kW, kH, 1.0f, LICE_MODE_COPY | LICE_FLAG_BILINEAR);
        benchmark::ClobberMemory();
    }
}

#if WAYFARER_HAVE_PIXMAN
// pixman works on premultiplied pixels; the data is converted once, outside the timing.
std::vector<uint32_t> Premultiplied(std::vector<uint32_t> px)
{
    for (uint32_t& p : px) {
        const uint32_t a = p >> 24;
        auto m = [a](uint32_t c) { return (c * a + 127) / 255; };
        p = a << 24 | m(p >> 16 & 0xFF) << 16 | m(p >> 8 & 0xFF) << 8 | m(p & 0xFF);
    }
    return px;
}

void PixmanOver(benchmark::State& state)
{
    std::vector<uint32_t> s = Premultiplied(EditorImage(kW, kH, 1)), d = Premultiplied(EditorImage(kW, kH, 2));
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, s.data(), kW * 4);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, d.data(), kW * 4);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
}

void PixmanBilinearScale(benchmark::State& state)
{
    std::vector<uint32_t> s = Premultiplied(EditorImage(kW, kH, 1)), d(static_cast<size_t>(4) * kW * kH);
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, s.data(), kW * 4);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, 2 * kW, 2 * kH, d.data(), 2 * kW * 4);
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
    pixman_image_set_transform(src, &scale);
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, 2 * kW, 2 * kH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
}
#endif

// --- Decoding -------------------------------------------------------------------------------

// A 65-frame knob strip, 77 x 77 per frame, as an 8-bit RGBA PNG.
const std::vector<unsigned char>& KnobStrip()
{
    static std::vector<unsigned char> png = [] {
        const int w = 77, frame = 77, h = frame * 65;
        LICE_MemBitmap strip(w, h);
        for (int f = 0; f < 65; ++f) {
            const std::vector<uint32_t> img = EditorImage(w, frame, static_cast<unsigned>(f + 1));
            memcpy(strip.Pixels() + static_cast<size_t>(f) * w * frame, img.data(), img.size() * sizeof img[0]);
        }
        std::vector<unsigned char> out;
        LICE_WritePng(&strip, true, &out);
        return out;
    }();
    return png;
}

void DecodeKnobStrip(benchmark::State& state)
{
    const std::vector<unsigned char>& png = KnobStrip();
    LICE_MemBitmap target;
    for (auto _ : state) {
        if (!LICE_ReadPngMemory(png.data(), png.size(), &target)) state.SkipWithError("decode failed");
        benchmark::ClobberMemory();
    }
}

void SimplifiedReader(benchmark::State& state)
{
    const std::vector<unsigned char>& png = KnobStrip();
    std::vector<unsigned char> pixels(static_cast<size_t>(77) * 5005 * 4);
    for (auto _ : state) {
        png_image image;
        memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) state.SkipWithError("begin failed");
        image.format = PNG_FORMAT_BGRA;
        if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) state.SkipWithError("read failed");
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BlitCopySourceAlpha)->Name("BlitCopySourceAlpha/275x212");
BENCHMARK(StretchBilinear2x)->Name("StretchBilinear2x/275x212");
BENCHMARK(DecodeKnobStrip)->Name("DecodeKnobStrip/77x5005");
BENCHMARK(SimplifiedReader)->Name("SimplifiedReader/77x5005");
WAYFARER_RATIO("DecodeKnobStrip/77x5005", "SimplifiedReader/77x5005");
#if WAYFARER_HAVE_PIXMAN
BENCHMARK(PixmanOver)->Name("PixmanOver/275x212");
BENCHMARK(PixmanBilinearScale)->Name("PixmanBilinearScale/275x212");
WAYFARER_RATIO("BlitCopySourceAlpha/275x212", "PixmanOver/275x212");
WAYFARER_RATIO("StretchBilinear2x/275x212", "PixmanBilinearScale/275x212");
#endif

} // namespace
