#include "raster/LiceBlit.h"

#include "raster/LiceSurface.h"

#include <cmath>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

std::atomic<bool> lice_detail::g_fastPaths{true};

void LICE_SetFastPaths(bool enabled) { lice_detail::g_fastPaths.store(enabled, std::memory_order_relaxed); }
bool LICE_FastPathsEnabled() { return lice_detail::FastPaths(); }

namespace {

using namespace lice_detail;

// --- Rows of the plain blit -----------------------------------------------------------------

template <class K> void BlendRow(LICE_ColorWord* d, const LICE_ColorWord* s, int n, int w)
{
    for (int i = 0; i < n; ++i) {
        const LICE_ColorWord p = s[i];
        K::Blend(d + i, LICE_GETR(p), LICE_GETG(p), LICE_GETB(p), LICE_GETA(p), w);
    }
}

// The copy kernel for 0 <= w <= 256, two channels per multiply: every channel's
// s * w + d * (256 - w) stays below 65536, so the 16-bit lanes never carry into each other and no
// clamp is needed.
inline LICE_ColorWord Lerp(LICE_ColorWord d, LICE_ColorWord s, uint32_t w)
{
    const uint32_t iw = 256 - w;
    const uint32_t rb = (((s & 0xFF00FF) * w + (d & 0xFF00FF) * iw) >> 8) & 0xFF00FF;
    const uint32_t ag = (((s >> 8) & 0xFF00FF) * w + ((d >> 8) & 0xFF00FF) * iw) & 0xFF00FF00;
    return rb | ag;
}

// w' of the source-alpha copy for 0 <= w <= 256; 0 leaves the pixel as it is.
inline uint32_t SourceAlphaWeight(LICE_ColorWord s, uint32_t w)
{
    const uint32_t a = s >> 24;
    return a ? w * (a + 1) / 256 : 0;
}

// Copy rows (with or without source alpha) for 0 <= w <= 256: the same pixels as BlendRow with the
// copy kernels, four at a time where SSE2 exists.
template <bool kSourceAlpha> void CopyRow(LICE_ColorWord* d, const LICE_ColorWord* s, int n, uint32_t w)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi32(1);
    const __m128i opaque = _mm_set1_epi32(255);
    const __m128i weight = _mm_set1_epi32(static_cast<int>(w));
    for (; i + 4 <= n; i += 4) {
        const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        __m128i wv = weight;
        if (kSourceAlpha) {
            const __m128i a = _mm_srli_epi32(sv, 24);
            const __m128i transparent = _mm_cmpeq_epi32(a, zero);
            if (_mm_movemask_epi8(transparent) == 0xFFFF) continue;
            if (w == 256) {
                if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, opaque)) == 0xFFFF) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), sv);
                    continue;
                }
                wv = _mm_add_epi32(a, one);
            } else {
                // (a + 1) * w < 65536 fits the low 16 bits of each 32-bit lane.
                wv = _mm_srli_epi32(_mm_mullo_epi16(_mm_add_epi32(a, one), weight), 8);
            }
            wv = _mm_andnot_si128(transparent, wv);
        }
        const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        __m128i w16 = _mm_packs_epi32(wv, wv);
        w16 = _mm_unpacklo_epi16(w16, w16);
        const __m128i wlo = _mm_unpacklo_epi32(w16, w16), whi = _mm_unpackhi_epi32(w16, w16);
        // (d * 256 + (s - d) * w) >> 8 in 16-bit lanes: the products wrap, but the true sum lies in
        // 0..65280, so the wrapped sum is exact.
        const __m128i slo = _mm_unpacklo_epi8(sv, zero), shi = _mm_unpackhi_epi8(sv, zero);
        const __m128i dlo = _mm_unpacklo_epi8(dv, zero), dhi = _mm_unpackhi_epi8(dv, zero);
        const __m128i rlo =
            _mm_srli_epi16(_mm_add_epi16(_mm_slli_epi16(dlo, 8), _mm_mullo_epi16(_mm_sub_epi16(slo, dlo), wlo)), 8);
        const __m128i rhi =
            _mm_srli_epi16(_mm_add_epi16(_mm_slli_epi16(dhi, 8), _mm_mullo_epi16(_mm_sub_epi16(shi, dhi), whi)), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(rlo, rhi));
    }
#endif
    for (; i < n; ++i) {
        const uint32_t pw = kSourceAlpha ? SourceAlphaWeight(s[i], w) : w;
        if (pw) d[i] = Lerp(d[i], s[i], pw);
    }
}

struct BlitGeometry {
    int destX, destY; // top-left in the destination
    int srcX, srcY;   // top-left in the source
    int width, height;
};

template <class F> void ForEachRow(const Surface& d, const Surface& s, const BlitGeometry& g, F&& row)
{
    for (int j = 0; j < g.height; ++j) row(d.Row(g.destY + j) + g.destX, s.Row(g.srcY + j) + g.srcX);
}

template <class K> void BlendRect(const Surface& d, const Surface& s, const BlitGeometry& g, int w)
{
    const bool vector = FastPaths() && w >= 0 && w <= 256;
    constexpr bool kCopy = std::is_same<K, LICE_CopyKernel>::value;
    constexpr bool kCopyAlpha = std::is_same<K, LICE_SourceAlpha<LICE_CopyKernel>>::value;
    ForEachRow(d, s, g, [&](LICE_ColorWord* out, const LICE_ColorWord* in) {
        if (kCopy && vector)
            CopyRow<false>(out, in, g.width, static_cast<uint32_t>(w));
        else if (kCopyAlpha && vector)
            CopyRow<true>(out, in, g.width, static_cast<uint32_t>(w));
        else
            BlendRow<K>(out, in, g.width, w);
    });
}

int ClampToInt(int64_t v) { return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int>(v); }

// 16.16 fixed point, held to the pixel limits first.
int64_t Fixed(double v) { return static_cast<int64_t>(LICE_ClampPixels(v) * 65536.0); }

// --- Sampling for the scaled and rotated blits ----------------------------------------------

// The source area that may be sampled; right and bottom exclusive.
struct Window {
    int left, top, right, bottom;
    bool Empty() const { return left >= right || top >= bottom; }
};

// The fraction of a 16.16 position that a bilinear sample weighs the next column or row with. A
// position in (-1, 0) truncates to 0 like the positions just right of 0, so it counts as 0 too:
// its low bits alone would sample -0.25 as +0.75.
inline unsigned Fraction(int64_t pos) { return pos < 0 ? 0u : static_cast<unsigned>(pos & 0xFFFF); }

// Bilinear sample at (col, row) + (fx, fy) / 65536, with the window's last row and column taken
// as edges: the caller has checked that (col, row) lies in the window.
inline LICE_ColorWord SampleBilinear(const Surface& s, const Window& win, int col, int row, unsigned fx, unsigned fy)
{
    const LICE_ColorWord* r0 = s.Row(row) + col;
    const bool lastCol = col >= win.right - 1;
    if (row < win.bottom - 1) {
        const LICE_ColorWord* r1 = s.Row(row + 1) + col;
        return lastCol ? LICE_Interpolate2(r0[0], r1[0], fy) : LICE_Interpolate4(r0[0], r0[1], r1[0], r1[1], fx, fy);
    }
    return lastCol ? r0[0] : LICE_Interpolate2(r0[0], r0[1], fx);
}

// One row of the bilinear stretch for copy at full weight: the samples are stored as they are.
void StretchBilinearStoreRow(LICE_ColorWord* out, const Surface& s, const Window& win, int row, unsigned fy,
                             int64_t pos, int64_t step, int width, int inner)
{
    const LICE_ColorWord* r0 = s.Row(row);
    const LICE_ColorWord* r1 = row < win.bottom - 1 ? s.Row(row + 1) : nullptr;
    int i = 0;
#if defined(__SSE2__)
    // A row exactly on a source row weighs the row below with 0, so it needs no row below.
    if (inner > 0 && (r1 || fy == 0)) {
        // The four-tap routine in SSE2 floats: each channel's weighted sum, and every partial sum on
        // the way, is an integer below 2^24, so single precision holds it exactly and the result
        // equals LICE_Interpolate4 bit for bit. Neighbouring output pixels often share their source
        // pixels (always, when magnifying), so the converted taps are kept for the next pixel.
        const __m128i zero = _mm_setzero_si128();
        const __m128 scale = _mm_set1_ps(1.0f / 65536.0f), full = _mm_set1_ps(65536.0f);
        const __m128 rowTop = _mm_set1_ps(static_cast<float>(65536 - fy)),
                     rowBottom = _mm_set1_ps(static_cast<float>(fy));
        __m128 tl = _mm_setzero_ps(), tr = tl, bl = tl, br = tl;
        int64_t loaded = -1;
        auto loadTop = [&](int64_t col) {
            const __m128i t16 = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r0 + col)), zero);
            tl = _mm_cvtepi32_ps(_mm_unpacklo_epi16(t16, zero));
            tr = _mm_cvtepi32_ps(_mm_unpackhi_epi16(t16, zero));
        };
        // A row exactly on a source row: two taps.
        auto onRowSum = [&](int64_t p) {
            const int64_t col = p >> 16;
            if (col != loaded) loadTop(loaded = col);
            if ((p & 0xFFFF) == 0) return _mm_mul_ps(tl, full);
            const __m128 f = _mm_set1_ps(static_cast<float>(p & 0xFFFF));
            return _mm_add_ps(_mm_mul_ps(tl, _mm_sub_ps(full, f)), _mm_mul_ps(tr, f));
        };
        auto weightedSum = [&](int64_t p) {
            const int64_t col = p >> 16;
            if (col != loaded) {
                loadTop(loaded = col);
                const __m128i b16 =
                    _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r1 + col)), zero);
                bl = _mm_cvtepi32_ps(_mm_unpacklo_epi16(b16, zero));
                br = _mm_cvtepi32_ps(_mm_unpackhi_epi16(b16, zero));
            }
            const unsigned fx = static_cast<unsigned>(p & 0xFFFF);
            // A column exactly on a source column weighs the right taps with 0.
            if (fx == 0) return _mm_add_ps(_mm_mul_ps(tl, rowTop), _mm_mul_ps(bl, rowBottom));
            // Weights 65536 - fy - (fx - c), fx - c, fy - c and c, from the row's constants.
            const unsigned c = fx * fy >> 16;
            const __m128 cf = _mm_set1_ps(static_cast<float>(c));
            const __m128 af = _mm_set1_ps(static_cast<float>(fx - c));
            __m128 sum = _mm_mul_ps(tl, _mm_sub_ps(rowTop, af));
            sum = _mm_add_ps(sum, _mm_mul_ps(tr, af));
            sum = _mm_add_ps(sum, _mm_mul_ps(bl, _mm_sub_ps(rowBottom, cf)));
            return _mm_add_ps(sum, _mm_mul_ps(br, cf));
        };
        // The leading columns that lie from win.left up to the last but one take this path with no
        // further tests (the same count for every row); two pixels share the conversion to bytes.
        auto run = [&](auto sumOf) {
            for (; i + 1 < inner; i += 2, pos += 2 * step) {
                const __m128i v0 = _mm_cvttps_epi32(_mm_mul_ps(sumOf(pos), scale));
                const __m128i v1 = _mm_cvttps_epi32(_mm_mul_ps(sumOf(pos + step), scale));
                const __m128i v = _mm_packs_epi32(v0, v1);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(v, v));
            }
        };
        // Separate loops, so that neither tests the row's fraction per pixel.
        if (fy)
            run(weightedSum);
        else
            run(onRowSum);
    }
#endif
    for (; i < width; ++i, pos += step) {
        const int64_t col = pos / 65536;
        if (col < win.left || col >= win.right) continue;
        out[i] = SampleBilinear(s, win, static_cast<int>(col), row, Fraction(pos), fy);
    }
}

template <class K, bool kStore> inline void Put(LICE_ColorWord* out, LICE_ColorWord p, int w)
{
    if (kStore)
        *out = p;
    else
        K::Blend(out, LICE_GETR(p), LICE_GETG(p), LICE_GETB(p), LICE_GETA(p), w);
}

struct StretchJob {
    Surface dest, source;
    Window win;
    int destX, destY, width, height;
    double y0, yStep;  // source row position of the first destination row, and its step
    int64_t x0, xStep; // 16.16 source column position and step
    int weight;
};

// How many leading pixels of each row sample a column from win.left up to the last but one, where
// the four taps need no edge tests; 0 without the fast paths.
int InnerColumns(const StretchJob& job)
{
    if (!FastPaths()) return 0;
    const int64_t first = static_cast<int64_t>(job.win.left) * 65536;
    const int64_t last = static_cast<int64_t>(job.win.right - 1) * 65536;
    int n = 0;
    for (int64_t p = job.x0; n < job.width && p >= first && p < last; ++n, p += job.xStep) {
    }
    return n;
}

template <class K, bool kBilinear, bool kStore> void StretchRows(const StretchJob& job)
{
    const int inner = kBilinear && kStore ? InnerColumns(job) : 0;
    double y = job.y0;
    for (int j = 0; j < job.height; ++j, y += job.yStep) {
        if (!(y > -1.0 && y < job.win.bottom)) continue;
        const int row = static_cast<int>(y);
        if (row < job.win.top) continue;
        // A row position in (-1, 0) truncates to row 0; its fraction counts as 0.
        const int fyRaw = kBilinear ? static_cast<int>((y - row) * 65536.0) : 0;
        const unsigned fy = fyRaw < 0 ? 0u : static_cast<unsigned>(fyRaw);
        LICE_ColorWord* out = job.dest.Row(job.destY + j) + job.destX;
        if (kBilinear && kStore) {
            StretchBilinearStoreRow(out, job.source, job.win, row, fy, job.x0, job.xStep, job.width, inner);
            continue;
        }
        const LICE_ColorWord* in = job.source.Row(row);
        int64_t pos = job.x0;
        for (int i = 0; i < job.width; ++i, pos += job.xStep) {
            const int64_t col = kBilinear ? pos / 65536 : pos >> 16;
            if (col < job.win.left || col >= job.win.right) continue;
            const LICE_ColorWord p =
                kBilinear ? SampleBilinear(job.source, job.win, static_cast<int>(col), row, Fraction(pos), fy)
                          : in[col];
            Put<K, kStore>(out + i, p, job.weight);
        }
    }
}

template <class K> void Stretch(const StretchJob& job, bool bilinear)
{
    const bool store = std::is_same<K, LICE_CopyKernel>::value && job.weight == 256 && FastPaths();
    if (bilinear)
        store ? StretchRows<K, true, true>(job) : StretchRows<K, true, false>(job);
    else
        store ? StretchRows<K, false, true>(job) : StretchRows<K, false, false>(job);
}

struct RotateJob {
    Surface dest, source;
    Window win;
    int destX, destY, width, height;
    int64_t u0, v0;         // 16.16 source position of the top-left destination pixel
    int64_t uPixel, vPixel; // step per destination pixel to the right
    int64_t uRow, vRow;     // step per destination row down
    int weight;
};

template <class K, bool kBilinear, bool kStore> void RotateRows(const RotateJob& job)
{
    int64_t u0 = job.u0, v0 = job.v0;
    for (int j = 0; j < job.height; ++j, u0 += job.uRow, v0 += job.vRow) {
        LICE_ColorWord* out = job.dest.Row(job.destY + j) + job.destX;
        int64_t u = u0, v = v0;
        for (int i = 0; i < job.width; ++i, u += job.uPixel, v += job.vPixel) {
            const int64_t col = u / 65536, row = v / 65536;
            if (col < job.win.left || col >= job.win.right || row < job.win.top || row >= job.win.bottom) continue;
            const LICE_ColorWord p = kBilinear ? SampleBilinear(job.source, job.win, static_cast<int>(col),
                                                                static_cast<int>(row), Fraction(u), Fraction(v))
                                               : job.source.Row(static_cast<int>(row))[col];
            Put<K, kStore>(out + i, p, job.weight);
        }
    }
}

template <class K> void Rotate(const RotateJob& job, bool bilinear)
{
    const bool store = std::is_same<K, LICE_CopyKernel>::value && job.weight == 256 && FastPaths();
    if (bilinear)
        store ? RotateRows<K, true, true>(job) : RotateRows<K, true, false>(job);
    else
        store ? RotateRows<K, false, true>(job) : RotateRows<K, false, false>(job);
}

bool IsCopy(int mode) { return (mode & LICE_MODE_MASK) == LICE_MODE_COPY; }

} // namespace

void LICE_BlitRect(LICE_IBitmap* dest, LICE_IBitmap* source, int x, int y, const LICE_Rect* sourceRect, float weight,
                   int mode)
{
    if (!dest || !source || weight == 0.0f) return;
    int64_t left = 0, top = 0, right = source->Width(), bottom = source->Height();
    if (sourceRect) {
        left = sourceRect->left > 0 ? sourceRect->left : 0;
        top = sourceRect->top > 0 ? sourceRect->top : 0;
        if (sourceRect->right < right) right = sourceRect->right;
        if (sourceRect->bottom < bottom) bottom = sourceRect->bottom;
    }
    int64_t dx = x, dy = y;
    if (dx < 0) left -= dx, dx = 0;
    if (dy < 0) top -= dy, dy = 0;
    if (right - left > dest->Width() - dx) right = dest->Width() - dx + left;
    if (bottom - top > dest->Height() - dy) bottom = dest->Height() - dy + top;
    if (left >= right || top >= bottom) return;
    const Surface d(dest), s(source);
    if (d.Empty() || s.Empty()) return;
    const BlitGeometry g = {static_cast<int>(dx),  static_cast<int>(dy),           static_cast<int>(left),
                            static_cast<int>(top), static_cast<int>(right - left), static_cast<int>(bottom - top)};

    if ((mode & LICE_MODE_MASK) >= LICE_MODE_CHANNEL_COPY) {
        const int from = (mode & 3) * 8, to = ((mode >> 2) & 3) * 8;
        const LICE_ColorWord keep = ~(0xFFu << to);
        ForEachRow(d, s, g, [&](LICE_ColorWord* out, const LICE_ColorWord* in) {
            for (int i = 0; i < g.width; ++i) out[i] = (out[i] & keep) | (((in[i] >> from) & 0xFF) << to);
        });
        return;
    }

    const int w = LICE_IntWeight(weight);
    if ((mode & (LICE_MODE_MASK | LICE_FLAG_SOURCE_ALPHA)) == LICE_MODE_COPY) {
        if (weight == 1.0f && FastPaths()) {
            const size_t bytes = static_cast<size_t>(g.width) * sizeof(LICE_ColorWord);
            // memmove: a bitmap may be blitted onto itself.
            ForEachRow(d, s, g, [&](LICE_ColorWord* out, const LICE_ColorWord* in) { memmove(out, in, bytes); });
        } else if (weight == 0.5f) {
            ForEachRow(d, s, g, [&](LICE_ColorWord* out, const LICE_ColorWord* in) {
                for (int i = 0; i < g.width; ++i) out[i] = Half(out[i], in[i]);
            });
        } else if (weight > 0.0f) {
            BlendRect<LICE_CopyKernel>(d, s, g, w);
        }
        return;
    }
    WithKernel(mode, [&](auto kernel) { BlendRect<decltype(kernel)>(d, s, g, w); });
}

void LICE_BlitArea(LICE_IBitmap* dest, LICE_IBitmap* source, int x, int y, int sourceX, int sourceY, int width,
                   int height, float weight, int mode)
{
    const LICE_Rect r = {sourceX, sourceY, ClampToInt(static_cast<int64_t>(sourceX) + width),
                         ClampToInt(static_cast<int64_t>(sourceY) + height)};
    LICE_BlitRect(dest, source, x, y, &r, weight, mode);
}

void LICE_CopyBitmap(LICE_IBitmap* dest, LICE_IBitmap* source)
{
    if (!dest || !source) return;
    dest->Resize(source->Width(), source->Height());
    LICE_BlitRect(dest, source, 0, 0, nullptr, 1.0f, LICE_MODE_COPY);
}

void LICE_StretchBlit(LICE_IBitmap* dest, LICE_IBitmap* source, int destX, int destY, int destWidth, int destHeight,
                      float sourceX, float sourceY, float sourceWidth, float sourceHeight, float weight, int mode)
{
    if (!dest || !source || !destWidth || !destHeight || weight == 0.0f) return;
    const bool bilinear = (mode & LICE_FLAG_FILTER_MASK) == LICE_FLAG_BILINEAR;
    double sx = sourceX, sy = sourceY, sw = sourceWidth, sh = sourceHeight;

    // Unscaled with a whole-pixel origin: a plain blit. Mirrored sizes go the long way, which is the
    // one that mirrors.
    if (destWidth > 0 && destHeight > 0 && std::fabs(sw - destWidth) < 0.001 && std::fabs(sh - destHeight) < 0.001 &&
        (!bilinear || (std::fabs(sx - std::floor(sx + 0.5)) < 0.03 && std::fabs(sy - std::floor(sy + 0.5)) < 0.03))) {
        LICE_BlitArea(dest, source, destX, destY, LICE_TruncPixels(sx + 0.5), LICE_TruncPixels(sy + 0.5), destWidth,
                      destHeight, weight, mode);
        return;
    }

    int64_t dx = destX, dy = destY, dw = destWidth, dh = destHeight;
    const bool mirrorX = dw < 0, mirrorY = dh < 0;
    if (mirrorX) dx += dw, dw = -dw, sx += sw, sw = -sw;
    if (mirrorY) dy += dh, dh = -dh, sy += sh, sh = -sh;
    const double xStep = sw / static_cast<double>(dw), yStep = sh / static_cast<double>(dh);

    if (dx < 0) sx -= xStep * static_cast<double>(dx), dw += dx, dx = 0;
    if (dy < 0) sy -= yStep * static_cast<double>(dy), dh += dy, dy = 0;
    if (dw > dest->Width() - dx) dw = dest->Width() - dx;
    if (dh > dest->Height() - dy) dh = dest->Height() - dy;
    if (dw < 1 || dh < 1) return;
    const Surface d(dest), s(source);
    if (d.Empty() || s.Empty()) return;

    // A mirrored axis runs from the far edge back, so the source window is taken from both ends.
    const double x0 = sx < sx + sw ? sx : sx + sw, x1 = sx < sx + sw ? sx + sw : sx;
    const double y0 = sy < sy + sh ? sy : sy + sh, y1 = sy < sy + sh ? sy + sh : sy;
    Window win = {LICE_TruncPixels(x0), LICE_TruncPixels(y0), LICE_TruncPixels(std::ceil(LICE_ClampPixels(x1))),
                  LICE_TruncPixels(std::ceil(LICE_ClampPixels(y1)))};
    if (win.left < 0) win.left = 0;
    if (win.top < 0) win.top = 0;
    if (win.right > s.width) win.right = s.width;
    if (win.bottom > s.height) win.bottom = s.height;
    if (win.Empty()) return;

    // Mirrored sampling starts one step in from the far edge, so that it visits the same source
    // positions as the unmirrored blit, in reverse order.
    StretchJob job = {d,
                      s,
                      win,
                      static_cast<int>(dx),
                      static_cast<int>(dy),
                      static_cast<int>(dw),
                      static_cast<int>(dh),
                      LICE_ClampPixels(mirrorY ? sy + yStep : sy),
                      LICE_ClampPixels(yStep),
                      Fixed(mirrorX ? sx + xStep : sx),
                      Fixed(xStep),
                      LICE_IntWeight(weight)};

    if ((mode & (LICE_MODE_MASK | LICE_FLAG_SOURCE_ALPHA | LICE_FLAG_FILTER_MASK)) == LICE_MODE_COPY &&
        (weight == 1.0f || weight == 0.5f)) {
        const bool half = weight == 0.5f;
        double y = job.y0;
        for (int j = 0; j < job.height; ++j, y += job.yStep) {
            if (!(y > -1.0 && y < win.bottom) || static_cast<int>(y) < win.top) continue;
            LICE_ColorWord* out = d.Row(job.destY + j) + job.destX;
            const LICE_ColorWord* in = s.Row(static_cast<int>(y));
            int64_t pos = job.x0;
            for (int i = 0; i < job.width; ++i, pos += job.xStep) {
                const int64_t col = pos >> 16;
                if (col >= win.left && col < win.right) out[i] = half ? Half(out[i], in[col]) : in[col];
            }
        }
        return;
    }
    if (IsCopy(mode) && weight < 0.0f) return;
    WithKernel(mode, [&](auto kernel) { Stretch<decltype(kernel)>(job, bilinear); });
}

void LICE_RotateBlit(LICE_IBitmap* dest, LICE_IBitmap* source, int destX, int destY, int destWidth, int destHeight,
                     float sourceX, float sourceY, float sourceWidth, float sourceHeight, float angle,
                     bool clipToSource, float weight, int mode, float offsetX, float offsetY)
{
    if (!dest || !source || !destWidth || !destHeight) return;
    double sx = sourceX, sy = sourceY, sw = sourceWidth, sh = sourceHeight;

    Window win = {0, 0, source->Width(), source->Height()};
    if (clipToSource) {
        win.left = LICE_TruncPixels(sx > 0 ? sx : 0);
        win.top = LICE_TruncPixels(sy > 0 ? sy : 0);
        win.right = LICE_TruncPixels(sx + sw < win.right ? sx + sw : win.right);
        win.bottom = LICE_TruncPixels(sy + sh < win.bottom ? sy + sh : win.bottom);
    }

    int64_t dx = destX, dy = destY, dw = destWidth, dh = destHeight;
    const bool mirrorX = dw < 0, mirrorY = dh < 0;
    if (mirrorX) dx += dw, dw = -dw, sx += sw, sw = -sw;
    if (mirrorY) dy += dh, dh = -dh, sy += sh, sh = -sh;

    const double c = static_cast<float>(std::cos(static_cast<double>(angle)));
    const double s = static_cast<float>(std::sin(static_cast<double>(angle)));
    const double W = static_cast<double>(dw), H = static_cast<double>(dh);
    const double xs = sw / W, ys = sh / H;
    const double uPixel = xs * c, vPixel = -ys * s;
    const double uRow = xs * s, vRow = ys * c;
    double u = sx - ((H * xs * s + W * xs * c - sw) * 0.5 - offsetX);
    double v = sy - ((W * (-ys * s) + H * ys * c - sh) * 0.5 - offsetY);
    // As in the scaled blit, a mirrored axis starts one step in.
    if (mirrorX) u += uPixel, v += vPixel;
    if (mirrorY) u += uRow, v += vRow;

    if (dx < 0) u -= uPixel * static_cast<double>(dx), v -= vPixel * static_cast<double>(dx), dw += dx, dx = 0;
    if (dy < 0) u -= uRow * static_cast<double>(dy), v -= vRow * static_cast<double>(dy), dh += dy, dy = 0;
    if (dw > dest->Width() - dx) dw = dest->Width() - dx;
    if (dh > dest->Height() - dy) dh = dest->Height() - dy;
    if (dw < 1 || dh < 1) return;
    const Surface d(dest), src(source);
    if (d.Empty() || src.Empty() || weight == 0.0f) return;
    if (win.right > src.width) win.right = src.width;
    if (win.bottom > src.height) win.bottom = src.height;
    if (win.left < 0) win.left = 0;
    if (win.top < 0) win.top = 0;
    if (win.Empty()) return;
    if (IsCopy(mode) && weight < 0.0f) return;

    const RotateJob job = {d,
                           src,
                           win,
                           static_cast<int>(dx),
                           static_cast<int>(dy),
                           static_cast<int>(dw),
                           static_cast<int>(dh),
                           Fixed(u),
                           Fixed(v),
                           Fixed(uPixel),
                           Fixed(vPixel),
                           Fixed(uRow),
                           Fixed(vRow),
                           LICE_IntWeight(weight)};
    const bool bilinear = (mode & LICE_FLAG_FILTER_MASK) == LICE_FLAG_BILINEAR;
    WithKernel(mode, [&](auto kernel) { Rotate<decltype(kernel)>(job, bilinear); });
}
