#pragma once
// A plain per-pixel model of the raster kernels and blits, written straight from their formulas
// with no shortcuts, plus the bitmaps and image helpers the raster tests share.
//
// The model works on Images: logical rows top-down, packed. The real operations run on
// TestBitmaps, which may store rows bottom-up and carry padding between rows that must never be
// written; Snapshot() reads such a bitmap back as an Image.

#include "raster/LiceBitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace raster_test {

// 32-bit draws whatever the platform's uint_fast32_t.
class Rng {
public:
    explicit Rng(unsigned seed) : m_engine(seed) {}
    uint32_t operator()() { return static_cast<uint32_t>(m_engine()); }

private:
    std::mt19937 m_engine;
};

struct Image {
    int width = 0, height = 0;
    std::vector<LICE_ColorWord> px;

    Image() = default;
    Image(int w, int h, LICE_ColorWord fill = 0) : width(w), height(h), px(static_cast<size_t>(w) * h, fill) {}
    LICE_ColorWord& at(int x, int y) { return px[static_cast<size_t>(y) * width + x]; }
    LICE_ColorWord at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};

// A bitmap whose storage the test controls: rows `pad` pixels wider than the image (filled with a
// guard value that must survive), stored bottom-up when asked.
class TestBitmap : public LICE_IBitmap {
public:
    static constexpr LICE_ColorWord kGuard = 0xDEADBEEF;

    TestBitmap(int width, int height, bool bottomUp = false, int pad = 3);
    explicit TestBitmap(const Image& image, bool bottomUp = false, int pad = 3);

    LICE_ColorWord* Pixels() const override
    {
        return m_store.empty() ? nullptr : const_cast<LICE_ColorWord*>(m_store.data());
    }
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    int RowSpan() const override { return m_width + m_pad; }
    bool IsBottomUp() const override { return m_bottomUp; }
    bool Resize(int width, int height) override;

    void Load(const Image& image);
    Image Snapshot() const;
    // True when every padding pixel still holds kGuard.
    bool GuardsIntact() const;

private:
    int m_width, m_height, m_pad;
    bool m_bottomUp;
    std::vector<LICE_ColorWord> m_store;
};

// "" when equal, else the first differing pixel with both values.
std::string FirstDifference(const Image& expected, const Image& actual);

#define EXPECT_IMAGE_EQ(expected, actual)                                                                              \
    do {                                                                                                               \
        const std::string diff_ = ::raster_test::FirstDifference((expected), (actual));                                \
        EXPECT_TRUE(diff_.empty()) << diff_;                                                                           \
    } while (0)

// Pixels with a mix of alphas that hits every kernel branch: transparent, opaque and partial.
Image RandomImage(Rng& rng, int width, int height);

// --- The model --------------------------------------------------------------------------------

// One kernel on one pixel; `mode` may carry LICE_FLAG_SOURCE_ALPHA. Unknown modes leave d alone.
LICE_ColorWord ModelBlend(LICE_ColorWord d, int r, int g, int b, int a, int w, int mode);
LICE_ColorWord ModelBlendWord(LICE_ColorWord d, LICE_ColorWord s, int w, int mode);
LICE_ColorWord ModelInterpolate2(LICE_ColorWord p, LICE_ColorWord q, int f);
LICE_ColorWord ModelInterpolate4(LICE_ColorWord tl, LICE_ColorWord tr, LICE_ColorWord bl, LICE_ColorWord br, int fx,
                                 int fy);
int ModelWeight(float weight);

void ModelBlitRect(Image& dest, const Image& source, int x, int y, const LICE_Rect* rect, float weight, int mode);
void ModelStretchBlit(Image& dest, const Image& source, int dx, int dy, int dw, int dh, float sx, float sy, float sw,
                      float sh, float weight, int mode);
void ModelRotateBlit(Image& dest, const Image& source, int dx, int dy, int dw, int dh, float sx, float sy, float sw,
                     float sh, float angle, bool clip, float weight, int mode, float ox, float oy);
void ModelPlotPixel(Image& dest, int x, int y, LICE_ColorWord color, float weight, int mode);
void ModelFillArea(Image& dest, int x, int y, int w, int h, LICE_ColorWord color, float weight, int mode);

} // namespace raster_test
