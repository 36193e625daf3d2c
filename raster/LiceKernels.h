#pragma once
// The per-pixel blend kernels and the interpolation routines that every blit and primitive shares.
//
// A kernel combines one source pixel, given as red, green, blue and alpha ints, into a destination
// pixel with the integer weight w (256 = full strength, see LICE_IntWeight). Each formula runs on
// all four channels, then each result is clamped to 0..255. Divisions truncate toward zero.
//
// Kernels are types with one static Blend function, so blits instantiate their loops per kernel
// and the inner loops carry no mode tests. LICE_SourceAlpha<K> is the source-alpha variant of K.

#include "raster/LiceTypes.h"

#include <cstdint>

namespace lice_detail {

inline LICE_ColorWord Clamp255(int v) { return v < 0 ? 0u : v > 255 ? 255u : static_cast<LICE_ColorWord>(v); }

inline LICE_ColorWord Pack(int r, int g, int b, int a)
{
    return (Clamp255(a) << 24) | (Clamp255(r) << 16) | (Clamp255(g) << 8) | Clamp255(b);
}

} // namespace lice_detail

// d' = (s * w + d * (256 - w)) / 256
struct LICE_CopyKernel {
    static constexpr bool kSkipsTransparentSource = true;
    static void Blend(LICE_ColorWord* dest, int r, int g, int b, int a, int w)
    {
        const LICE_ColorWord d = *dest;
        const int iw = 256 - w;
        *dest = lice_detail::Pack((r * w + LICE_GETR(d) * iw) / 256, (g * w + LICE_GETG(d) * iw) / 256,
                                  (b * w + LICE_GETB(d) * iw) / 256, (a * w + LICE_GETA(d) * iw) / 256);
    }
};

// d' = d + s * w / 256
struct LICE_AddKernel {
    static constexpr bool kSkipsTransparentSource = true;
    static void Blend(LICE_ColorWord* dest, int r, int g, int b, int a, int w)
    {
        const LICE_ColorWord d = *dest;
        *dest = lice_detail::Pack(LICE_GETR(d) + r * w / 256, LICE_GETG(d) + g * w / 256, LICE_GETB(d) + b * w / 256,
                                  LICE_GETA(d) + a * w / 256);
    }
};

// t = s * w / 256; d' = d * 256 / (256 - t) while t < 255, else d * 256 (saturating)
struct LICE_DodgeKernel {
    static constexpr bool kSkipsTransparentSource = false;
    static int Channel(int d, int s, int w)
    {
        const int t = s * w / 256;
        return t < 255 ? d * 256 / (256 - t) : d * 256;
    }
    static void Blend(LICE_ColorWord* dest, int r, int g, int b, int a, int w)
    {
        const LICE_ColorWord d = *dest;
        *dest = lice_detail::Pack(Channel(LICE_GETR(d), r, w), Channel(LICE_GETG(d), g, w), Channel(LICE_GETB(d), b, w),
                                  Channel(LICE_GETA(d), a, w));
    }
};

// d' = (s * w + (256 - w) * 256) * d / 65536
struct LICE_MultiplyKernel {
    static constexpr bool kSkipsTransparentSource = true;
    static int Channel(int d, int s, int w) { return (s * w + (256 - w) * 256) * d / 65536; }
    static void Blend(LICE_ColorWord* dest, int r, int g, int b, int a, int w)
    {
        const LICE_ColorWord d = *dest;
        *dest = lice_detail::Pack(Channel(LICE_GETR(d), r, w), Channel(LICE_GETG(d), g, w), Channel(LICE_GETB(d), b, w),
                                  Channel(LICE_GETA(d), a, w));
    }
};

// S = s * w + (256 - w) * 128; d' = ((32768 - S) * d / 256 + S) * d / 32768
struct LICE_OverlayKernel {
    static constexpr bool kSkipsTransparentSource = false;
    static int Channel(int d, int s, int w)
    {
        const int S = s * w + (256 - w) * 128;
        return ((32768 - S) * d / 256 + S) * d / 32768;
    }
    static void Blend(LICE_ColorWord* dest, int r, int g, int b, int a, int w)
    {
        const LICE_ColorWord d = *dest;
        *dest = lice_detail::Pack(Channel(LICE_GETR(d), r, w), Channel(LICE_GETG(d), g, w), Channel(LICE_GETB(d), b, w),
                                  Channel(LICE_GETA(d), a, w));
    }
};

// The source's red, green and blue are adjustment amounts for the destination's hue, saturation
// and value (128 = no change); the destination's alpha becomes the source alpha, unweighted.
// Hue runs 0..383 in six sectors of 64.
struct LICE_HsvAdjustKernel {
    static constexpr bool kSkipsTransparentSource = false;
    static void Blend(LICE_ColorWord* dest, int r, int g, int b, int a, int w);
};

// Weights the kernel by each source pixel's alpha: w' = w * (sa + 1) / 256. Copy, add and multiply
// leave the destination alone where the source is fully transparent; the others still run (with
// w' = w / 256 at sa = 0).
template <class Kernel> struct LICE_SourceAlpha {
    static constexpr bool kSkipsTransparentSource = Kernel::kSkipsTransparentSource;
    static void Blend(LICE_ColorWord* dest, int r, int g, int b, int a, int w)
    {
        if (kSkipsTransparentSource && a == 0) return;
        Kernel::Blend(dest, r, g, b, a, w * (a + 1) / 256);
    }
};

// Blends with the kernel that (mode & (LICE_MODE_MASK | LICE_FLAG_SOURCE_ALPHA)) selects; other
// mode bytes do nothing. For callers outside inner loops (and for tests).
void LICE_BlendPixel(LICE_ColorWord* dest, int r, int g, int b, int a, int w, int mode);

// Two-tap: each channel (q * f + p * (65536 - f)) / 65536, f in 0..65535.
inline LICE_ColorWord LICE_Interpolate2(LICE_ColorWord p, LICE_ColorWord q, unsigned f)
{
    const uint32_t g = 65536 - f;
    const uint32_t rb =
        ((((p & 0xFF) * g + (q & 0xFF) * f) >> 16)) | ((((p >> 16 & 0xFF) * g + (q >> 16 & 0xFF) * f) >> 16) << 16);
    const uint32_t ga =
        ((((p >> 8 & 0xFF) * g + (q >> 8 & 0xFF) * f) >> 16) << 8) | ((((p >> 24) * g + (q >> 24) * f) >> 16) << 24);
    return rb | ga;
}

// Four-tap: c = fx * fy / 65536; weights top-left 65536 - (fx - c) - fy, top-right fx - c,
// bottom-left fy - c, bottom-right c (summing to 65536); each channel the weighted sum / 65536.
inline LICE_ColorWord LICE_Interpolate4(LICE_ColorWord tl, LICE_ColorWord tr, LICE_ColorWord bl, LICE_ColorWord br,
                                        unsigned fx, unsigned fy)
{
    const uint32_t c = fx * fy >> 16;
    const uint64_t wtl = 65536 - (fx - c) - fy, wtr = fx - c, wbl = fy - c, wbr = c;
    // Two channels per 64-bit word, 32 bits apart: a channel's weighted sum stays below 2^24.
    auto spreadLow = [](LICE_ColorWord p) { return (p & 0xFF) | (static_cast<uint64_t>(p & 0xFF0000) << 16); };
    auto spreadHigh = [](LICE_ColorWord p) { return (p >> 8 & 0xFF) | (static_cast<uint64_t>(p >> 24) << 32); };
    const uint64_t lo = spreadLow(tl) * wtl + spreadLow(tr) * wtr + spreadLow(bl) * wbl + spreadLow(br) * wbr;
    const uint64_t hi = spreadHigh(tl) * wtl + spreadHigh(tr) * wtr + spreadHigh(bl) * wbl + spreadHigh(br) * wbr;
    return static_cast<LICE_ColorWord>((lo >> 16 & 0xFF) | (lo >> 48 << 16) | ((hi >> 16 & 0xFF) << 8) |
                                       (hi >> 48 << 24));
}
