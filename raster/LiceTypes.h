#pragma once
// The pixel format, blend-mode words and limits shared by every raster operation.
//
// A pixel is one 32-bit word 0xAARRGGBB with straight (not premultiplied) colour; in memory its
// bytes read blue, green, red, alpha, the byte order of a 32-bit Windows DIB. Rows are addressed
// as pixels + y * RowSpan() + x with the span counted in pixels.

#include <cstdint>

typedef uint32_t LICE_ColorWord;

// Mode word: bits 0-7 select the blend kernel, bits 8-15 the sampling filter (exactly 0x01 means
// bilinear in scaled and rotated blits), bit 16 weights each pixel by its source alpha.
constexpr int LICE_MODE_COPY = 0;
constexpr int LICE_MODE_ADD = 1;
constexpr int LICE_MODE_DODGE = 2;
constexpr int LICE_MODE_MULTIPLY = 3;
constexpr int LICE_MODE_OVERLAY = 4;
constexpr int LICE_MODE_HSV_ADJUST = 5;
// 0xF0-0xFF, plain blits only: bits 0-1 name the source byte, bits 2-3 the destination byte
// (0 blue, 1 green, 2 red, 3 alpha).
constexpr int LICE_MODE_CHANNEL_COPY = 0xF0;
constexpr int LICE_MODE_MASK = 0xFF;
constexpr int LICE_FLAG_BILINEAR = 0x100;
constexpr int LICE_FLAG_FILTER_MASK = 0xFF00;
constexpr int LICE_FLAG_SOURCE_ALPHA = 0x10000;

// No bitmap is made wider or taller than this. It is far beyond any editor image, and keeps
// width * height * 4 (and the 25 % growth headroom of LICE_MemBitmap) inside a signed 32-bit
// byte count, so an absurd size request fails instead of overflowing or allocating gigabytes.
constexpr int LICE_kMaxDimension = 16384;

constexpr LICE_ColorWord LICE_RGBA(int r, int g, int b, int a)
{
    return (static_cast<LICE_ColorWord>(a) << 24) | (static_cast<LICE_ColorWord>(r) << 16) |
           (static_cast<LICE_ColorWord>(g) << 8) | static_cast<LICE_ColorWord>(b);
}
constexpr int LICE_GETA(LICE_ColorWord c) { return static_cast<int>(c >> 24); }
constexpr int LICE_GETR(LICE_ColorWord c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr int LICE_GETG(LICE_ColorWord c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int LICE_GETB(LICE_ColorWord c) { return static_cast<int>(c & 0xFF); }

// A rectangle in bitmap pixels; right and bottom are exclusive.
struct LICE_Rect {
    int left, top, right, bottom;
};

// Converts a blend weight (1.0 = full strength) to the kernels' integer weight trunc(weight * 256).
// Weights are not clamped to 0..1 (the kernels clamp per channel), but beyond +-64 they are held at
// +-64 so that no kernel's integer arithmetic can overflow; NaN counts as 0.
inline int LICE_IntWeight(float weight)
{
    if (!(weight == weight)) return 0;
    if (weight > 64.0f) weight = 64.0f;
    if (weight < -64.0f) weight = -64.0f;
    return static_cast<int>(weight * 256.0f);
}

// Coordinates in floating point on their way to ints (or 16.16 fixed point) are held within
// +-2^30 pixels: far outside any bitmap, and small enough that nothing that follows can overflow.
// NaN counts as 0.
inline double LICE_ClampPixels(double v)
{
    const double limit = 1073741824.0;
    if (!(v == v)) return 0.0;
    return v < -limit ? -limit : v > limit ? limit : v;
}
// Toward zero, within those limits.
inline int LICE_TruncPixels(double v) { return static_cast<int>(LICE_ClampPixels(v)); }
