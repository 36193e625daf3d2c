#include "raster/LiceKernels.h"

namespace {

// floor(65536 / i) - 1, and 0 for i = 0: the reciprocals of the HSV conversion, 16 bits each.
struct ReciprocalTable {
    uint16_t v[256];
    constexpr ReciprocalTable() : v()
    {
        for (int i = 1; i < 256; ++i) v[i] = static_cast<uint16_t>(65536 / i - 1);
    }
};
constexpr ReciprocalTable kHsvReciprocal;

} // namespace

void LICE_HsvAdjustKernel::Blend(LICE_ColorWord* dest, int r, int g, int b, int a, int w)
{
    const LICE_ColorWord d = *dest;
    const int R = LICE_GETR(d), G = LICE_GETG(d), B = LICE_GETB(d);
    int V, delta, base, num;
    if (R < G) {
        if (B < G) {
            V = G, delta = G - (R < B ? R : B), base = 128, num = B - R;
        } else {
            V = B, delta = B - R, base = 256, num = R - G;
        }
    } else if (B < R) {
        if (G < B)
            V = R, delta = R - G, base = 383, num = G - B;
        else
            V = R, delta = R - B, base = 0, num = G - B;
    } else {
        V = B, delta = B - (R < G ? R : G), base = 256, num = R - G;
    }
    int H = base + num * (kHsvReciprocal.v[delta] + 1) / 1024;
    int S = kHsvReciprocal.v[V] * delta / 256;

    // Within 0..1 weights one wrap suffices; larger weights can move the hue several turns.
    H = (H + (r + r / 2 - 192) * w / 256) % 384;
    if (H < 0) H += 384;
    S += (g - 128) * w / 256;
    V += (b - 128) * w / 256;
    S = S < 0 ? 0 : S > 255 ? 255 : S;
    V = V < 0 ? 0 : V > 255 ? 255 : V;

    const int m = V * (256 - S) / 256;
    auto x = [V, S](int p) { return V * (16384 - p * S) / 16384; };
    int outR, outG, outB;
    if (H < 64)
        outR = V, outG = x(64 - H), outB = m;
    else if (H < 128)
        outR = x(H - 64), outG = V, outB = m;
    else if (H < 192)
        outR = m, outG = V, outB = x(192 - H);
    else if (H < 256)
        outR = m, outG = x(H - 192), outB = V;
    else if (H < 320)
        outR = x(320 - H), outG = m, outB = V;
    else
        outR = V, outG = m, outB = x(H - 320);
    *dest = lice_detail::Pack(outR, outG, outB, a);
}

void LICE_BlendPixel(LICE_ColorWord* dest, int r, int g, int b, int a, int w, int mode)
{
    switch (mode & (LICE_MODE_MASK | LICE_FLAG_SOURCE_ALPHA)) {
    case LICE_MODE_COPY: LICE_CopyKernel::Blend(dest, r, g, b, a, w); break;
    case LICE_MODE_ADD: LICE_AddKernel::Blend(dest, r, g, b, a, w); break;
    case LICE_MODE_DODGE: LICE_DodgeKernel::Blend(dest, r, g, b, a, w); break;
    case LICE_MODE_MULTIPLY: LICE_MultiplyKernel::Blend(dest, r, g, b, a, w); break;
    case LICE_MODE_OVERLAY: LICE_OverlayKernel::Blend(dest, r, g, b, a, w); break;
    case LICE_MODE_HSV_ADJUST: LICE_HsvAdjustKernel::Blend(dest, r, g, b, a, w); break;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_COPY: LICE_SourceAlpha<LICE_CopyKernel>::Blend(dest, r, g, b, a, w); break;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_ADD: LICE_SourceAlpha<LICE_AddKernel>::Blend(dest, r, g, b, a, w); break;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_DODGE:
        LICE_SourceAlpha<LICE_DodgeKernel>::Blend(dest, r, g, b, a, w);
        break;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_MULTIPLY:
        LICE_SourceAlpha<LICE_MultiplyKernel>::Blend(dest, r, g, b, a, w);
        break;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_OVERLAY:
        LICE_SourceAlpha<LICE_OverlayKernel>::Blend(dest, r, g, b, a, w);
        break;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_HSV_ADJUST:
        LICE_SourceAlpha<LICE_HsvAdjustKernel>::Blend(dest, r, g, b, a, w);
        break;
    default: break;
    }
}
