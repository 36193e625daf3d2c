#include "RasterModel.h"

#include "raster/LiceTypes.h"

#include <cmath>
#include <cstdio>

namespace raster_test {

// --- Test bitmaps and images ------------------------------------------------------------------

TestBitmap::TestBitmap(int width, int height, bool bottomUp, int pad)
    : m_width(0), m_height(0), m_pad(pad), m_bottomUp(bottomUp)
{
    Resize(width, height);
}

TestBitmap::TestBitmap(const Image& image, bool bottomUp, int pad)
    : TestBitmap(image.width, image.height, bottomUp, pad)
{
    Load(image);
}

bool TestBitmap::Resize(int width, int height)
{
    if (width == m_width && height == m_height) return false;
    m_width = width > 0 ? width : 0;
    m_height = height > 0 ? height : 0;
    m_store.assign(static_cast<size_t>(m_width + m_pad) * m_height, kGuard);
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x) m_store[static_cast<size_t>(y) * (m_width + m_pad) + x] = 0;
    return true;
}

void TestBitmap::Load(const Image& image)
{
    Resize(image.width, image.height);
    for (int y = 0; y < m_height; ++y) {
        const int stored = m_bottomUp ? m_height - 1 - y : y;
        for (int x = 0; x < m_width; ++x) m_store[static_cast<size_t>(stored) * (m_width + m_pad) + x] = image.at(x, y);
    }
}

Image TestBitmap::Snapshot() const
{
    Image out(m_width, m_height);
    for (int y = 0; y < m_height; ++y) {
        const int stored = m_bottomUp ? m_height - 1 - y : y;
        for (int x = 0; x < m_width; ++x) out.at(x, y) = m_store[static_cast<size_t>(stored) * (m_width + m_pad) + x];
    }
    return out;
}

bool TestBitmap::GuardsIntact() const
{
    for (int y = 0; y < m_height; ++y)
        for (int x = m_width; x < m_width + m_pad; ++x)
            if (m_store[static_cast<size_t>(y) * (m_width + m_pad) + x] != kGuard) return false;
    return true;
}

std::string FirstDifference(const Image& expected, const Image& actual)
{
    char buf[160];
    if (expected.width != actual.width || expected.height != actual.height) {
        snprintf(buf, sizeof buf, "size %dx%d, expected %dx%d", actual.width, actual.height, expected.width,
                 expected.height);
        return buf;
    }
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x)
            if (expected.at(x, y) != actual.at(x, y)) {
                snprintf(buf, sizeof buf, "first difference at (%d, %d): got %08X, expected %08X", x, y,
                         actual.at(x, y), expected.at(x, y));
                return buf;
            }
    return "";
}

Image RandomImage(Rng& rng, int width, int height)
{
    Image img(width, height);
    for (LICE_ColorWord& p : img.px) {
        const LICE_ColorWord rgb = rng() & 0xFFFFFF;
        const unsigned pick = rng() % 4;
        const LICE_ColorWord a = pick == 0 ? 0 : pick == 1 ? 255 : rng() & 0xFF;
        p = (a << 24) | rgb;
    }
    return img;
}

// --- Kernels ----------------------------------------------------------------------------------

namespace {

int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
int Byte(LICE_ColorWord c, int i) { return static_cast<int>((c >> (8 * i)) & 0xFF); }
LICE_ColorWord Word(const int ch[4]) // blue, green, red, alpha
{
    LICE_ColorWord w = 0;
    for (int i = 0; i < 4; ++i) w |= static_cast<LICE_ColorWord>(Clamp(ch[i])) << (8 * i);
    return w;
}

int Reciprocal(int i) { return i == 0 ? 0 : 65536 / i - 1; }

LICE_ColorWord ModelHsv(LICE_ColorWord d, int sr, int sg, int sb, int sa, int w)
{
    const int R = Byte(d, 2), G = Byte(d, 1), B = Byte(d, 0);
    int V, delta, base, num;
    if (R < G && B < G) {
        V = G, delta = G - std::min(R, B), base = 128, num = B - R;
    } else if (R < G) {
        V = B, delta = B - R, base = 256, num = R - G;
    } else if (B < R && G < B) {
        V = R, delta = R - G, base = 383, num = G - B;
    } else if (B < R) {
        V = R, delta = R - B, base = 0, num = G - B;
    } else {
        V = B, delta = B - std::min(R, G), base = 256, num = R - G;
    }
    int H = base + num * (Reciprocal(delta) + 1) / 1024;
    int S = Reciprocal(V) * delta / 256;
    H += (sr + sr / 2 - 192) * w / 256;
    while (H < 0) H += 384;
    while (H >= 384) H -= 384;
    S = Clamp(S + (sg - 128) * w / 256);
    V = Clamp(V + (sb - 128) * w / 256);
    const int m = V * (256 - S) / 256;
    auto x = [&](int p) { return V * (16384 - p * S) / 16384; };
    int r, g, b;
    if (H < 64)
        r = V, g = x(64 - H), b = m;
    else if (H < 128)
        r = x(H - 64), g = V, b = m;
    else if (H < 192)
        r = m, g = V, b = x(192 - H);
    else if (H < 256)
        r = m, g = x(H - 192), b = V;
    else if (H < 320)
        r = x(320 - H), g = m, b = V;
    else
        r = V, g = m, b = x(H - 320);
    const int ch[4] = {b, g, r, sa};
    return Word(ch);
}

} // namespace

int ModelWeight(float weight)
{
    if (std::isnan(weight)) return 0;
    const double clamped = std::max(-64.0, std::min(64.0, static_cast<double>(weight)));
    return static_cast<int>(std::trunc(clamped * 256.0));
}

LICE_ColorWord ModelBlend(LICE_ColorWord d, int r, int g, int b, int a, int w, int mode)
{
    const int kind = mode & 0xFF;
    if (kind > LICE_MODE_HSV_ADJUST) return d;
    if (mode & LICE_FLAG_SOURCE_ALPHA) {
        if (a == 0 && (kind == LICE_MODE_COPY || kind == LICE_MODE_ADD || kind == LICE_MODE_MULTIPLY)) return d;
        w = w * (a + 1) / 256;
    }
    if (kind == LICE_MODE_HSV_ADJUST) return ModelHsv(d, r, g, b, a, w);
    const int src[4] = {b, g, r, a};
    int out[4];
    for (int c = 0; c < 4; ++c) {
        const int dc = Byte(d, c), s = src[c];
        switch (kind) {
        case LICE_MODE_COPY: out[c] = (s * w + dc * (256 - w)) / 256; break;
        case LICE_MODE_ADD: out[c] = dc + s * w / 256; break;
        case LICE_MODE_DODGE: {
            const int t = s * w / 256;
            out[c] = t < 255 ? dc * 256 / (256 - t) : dc * 256;
            break;
        }
        case LICE_MODE_MULTIPLY: out[c] = (s * w + (256 - w) * 256) * dc / 65536; break;
        default: {
            const int S = s * w + (256 - w) * 128;
            out[c] = ((32768 - S) * dc / 256 + S) * dc / 32768;
        }
        }
    }
    return Word(out);
}

LICE_ColorWord ModelBlendWord(LICE_ColorWord d, LICE_ColorWord s, int w, int mode)
{
    return ModelBlend(d, Byte(s, 2), Byte(s, 1), Byte(s, 0), Byte(s, 3), w, mode);
}

LICE_ColorWord ModelInterpolate2(LICE_ColorWord p, LICE_ColorWord q, int f)
{
    int ch[4];
    for (int c = 0; c < 4; ++c)
        ch[c] = static_cast<int>(
            (static_cast<int64_t>(Byte(q, c)) * f + static_cast<int64_t>(Byte(p, c)) * (65536 - f)) / 65536);
    return Word(ch);
}

LICE_ColorWord ModelInterpolate4(LICE_ColorWord tl, LICE_ColorWord tr, LICE_ColorWord bl, LICE_ColorWord br, int fx,
                                 int fy)
{
    const int64_t c = static_cast<int64_t>(static_cast<uint32_t>(fx) * static_cast<uint32_t>(fy) / 65536u);
    const int64_t wtl = 65536 - (fx - c) - fy, wtr = fx - c, wbl = fy - c, wbr = c;
    int ch[4];
    for (int k = 0; k < 4; ++k)
        ch[k] =
            static_cast<int>((Byte(tl, k) * wtl + Byte(tr, k) * wtr + Byte(bl, k) * wbl + Byte(br, k) * wbr) / 65536);
    return Word(ch);
}

// --- Blits ------------------------------------------------------------------------------------

namespace {
LICE_ColorWord HalfWord(LICE_ColorWord d, LICE_ColorWord s)
{
    return ((d >> 1) & 0x7F7F7F7F) + ((s >> 1) & 0x7F7F7F7F);
}
} // namespace

void ModelBlitRect(Image& dest, const Image& source, int x, int y, const LICE_Rect* rect, float weight, int mode)
{
    if (weight == 0.0f) return;
    int left = 0, top = 0, right = source.width, bottom = source.height;
    if (rect) {
        left = std::max(rect->left, 0);
        top = std::max(rect->top, 0);
        right = std::min(rect->right, source.width);
        bottom = std::min(rect->bottom, source.height);
    }
    if (x < 0) left -= x, x = 0;
    if (y < 0) top -= y, y = 0;
    if (right - left > dest.width - x) right = dest.width - x + left;
    if (bottom - top > dest.height - y) bottom = dest.height - y + top;
    if (left >= right || top >= bottom) return;
    const int w = ModelWeight(weight);
    for (int j = 0; j < bottom - top; ++j) {
        for (int i = 0; i < right - left; ++i) {
            const LICE_ColorWord s = source.at(left + i, top + j);
            LICE_ColorWord& d = dest.at(x + i, y + j);
            if ((mode & 0xFF) >= 0xF0) {
                const int from = mode & 3, to = (mode >> 2) & 3;
                d = (d & ~(0xFFu << (8 * to))) | (static_cast<LICE_ColorWord>(Byte(s, from)) << (8 * to));
            } else if ((mode & 0x100FF) == 0) {
                if (weight == 1.0f)
                    d = s;
                else if (weight == 0.5f)
                    d = HalfWord(d, s);
                else if (weight > 0.0f)
                    d = ModelBlendWord(d, s, w, 0);
            } else {
                d = ModelBlendWord(d, s, w, mode & 0x100FF);
            }
        }
    }
}

namespace {

struct ModelWindow {
    int left, top, right, bottom;
};

// The bilinear fraction of a 16.16 position: a position in (-1, 0) belongs to pixel 0 with no
// fraction, as a row's does.
int Fraction(int64_t pos) { return pos < 0 ? 0 : static_cast<int>(pos & 0xFFFF); }

// Bilinear or nearest sample at 16.16 column position `u` and row `row` (+ fraction fy); false
// when the sample falls outside the window.
bool Sample(const Image& s, const ModelWindow& win, bool bilinear, int64_t col, int64_t row, int fx, int fy,
            LICE_ColorWord* out)
{
    if (col < win.left || col >= win.right || row < win.top || row >= win.bottom) return false;
    const int c = static_cast<int>(col), r = static_cast<int>(row);
    if (!bilinear) {
        *out = s.at(c, r);
    } else if (r < win.bottom - 1) {
        *out = c < win.right - 1
                   ? ModelInterpolate4(s.at(c, r), s.at(c + 1, r), s.at(c, r + 1), s.at(c + 1, r + 1), fx, fy)
                   : ModelInterpolate2(s.at(c, r), s.at(c, r + 1), fy);
    } else {
        *out = c < win.right - 1 ? ModelInterpolate2(s.at(c, r), s.at(c + 1, r), fx) : s.at(c, r);
    }
    return true;
}

} // namespace

void ModelStretchBlit(Image& dest, const Image& source, int dx, int dy, int dw, int dh, float fsx, float fsy, float fsw,
                      float fsh, float weight, int mode)
{
    if (dw == 0 || dh == 0 || weight == 0.0f) return;
    const bool bilinear = ((mode >> 8) & 0xFF) == 1;
    double sx = fsx, sy = fsy, sw = fsw, sh = fsh;
    if (dw > 0 && dh > 0 && std::fabs(sw - dw) < 0.001 && std::fabs(sh - dh) < 0.001 &&
        (!bilinear || (std::fabs(sx - std::floor(sx + 0.5)) < 0.03 && std::fabs(sy - std::floor(sy + 0.5)) < 0.03))) {
        const int l = static_cast<int>(sx + 0.5), t = static_cast<int>(sy + 0.5);
        const LICE_Rect r = {l, t, l + dw, t + dh};
        ModelBlitRect(dest, source, dx, dy, &r, weight, mode);
        return;
    }
    const bool mirrorX = dw < 0, mirrorY = dh < 0;
    if (mirrorX) dx += dw, dw = -dw, sx += sw, sw = -sw;
    if (mirrorY) dy += dh, dh = -dh, sy += sh, sh = -sh;
    const double xstep = sw / dw, ystep = sh / dh;
    if (dx < 0) sx -= xstep * dx, dw += dx, dx = 0;
    if (dy < 0) sy -= ystep * dy, dh += dy, dy = 0;
    if (dw > dest.width - dx) dw = dest.width - dx;
    if (dh > dest.height - dy) dh = dest.height - dy;
    if (dw < 1 || dh < 1) return;
    ModelWindow win = {static_cast<int>(std::min(sx, sx + sw)), static_cast<int>(std::min(sy, sy + sh)),
                       static_cast<int>(std::ceil(std::max(sx, sx + sw))),
                       static_cast<int>(std::ceil(std::max(sy, sy + sh)))};
    win.left = std::max(win.left, 0), win.top = std::max(win.top, 0);
    win.right = std::min(win.right, source.width), win.bottom = std::min(win.bottom, source.height);
    if (win.left >= win.right || win.top >= win.bottom) return;
    // Mirrored axes start one step in from the far edge.
    const double x0 = mirrorX ? sx + xstep : sx;
    double y = mirrorY ? sy + ystep : sy;

    const bool fast = (mode & 0x1FFFF) == 0 && (weight == 1.0f || weight == 0.5f);
    if (!fast && ((mode & 0xFF) > 5 || ((mode & 0xFF) == 0 && weight < 0.0f))) return;
    const int w = ModelWeight(weight);
    for (int j = 0; j < dh; ++j, y += ystep) {
        const int64_t row = static_cast<int64_t>(std::trunc(y));
        // A row position in (-1, 0) belongs to row 0 with no fraction.
        const int fy = std::max(0, static_cast<int>((y - static_cast<double>(row)) * 65536.0));
        int64_t pos = static_cast<int64_t>(x0 * 65536.0);
        const int64_t step = static_cast<int64_t>(xstep * 65536.0);
        for (int i = 0; i < dw; ++i, pos += step) {
            LICE_ColorWord& d = dest.at(dx + i, dy + j);
            LICE_ColorWord s;
            if (fast || !bilinear) {
                if (!Sample(source, win, false, pos >> 16, row, 0, 0, &s)) continue;
            } else if (!Sample(source, win, true, pos / 65536, row, Fraction(pos), fy, &s)) {
                continue;
            }
            if (fast)
                d = weight == 1.0f ? s : HalfWord(d, s);
            else
                d = ModelBlendWord(d, s, w, mode & 0x100FF);
        }
    }
}

void ModelRotateBlit(Image& dest, const Image& source, int dx, int dy, int dw, int dh, float fsx, float fsy, float fsw,
                     float fsh, float angle, bool clip, float weight, int mode, float ox, float oy)
{
    if (dw == 0 || dh == 0) return;
    double sx = fsx, sy = fsy, sw = fsw, sh = fsh;
    ModelWindow win = {0, 0, source.width, source.height};
    if (clip)
        win = {static_cast<int>(std::max(sx, 0.0)), static_cast<int>(std::max(sy, 0.0)),
               static_cast<int>(std::min<double>(source.width, sx + sw)),
               static_cast<int>(std::min<double>(source.height, sy + sh))};
    const bool mirrorX = dw < 0, mirrorY = dh < 0;
    if (mirrorX) dx += dw, dw = -dw, sx += sw, sw = -sw;
    if (mirrorY) dy += dh, dh = -dh, sy += sh, sh = -sh;
    const double c = static_cast<float>(std::cos(static_cast<double>(angle)));
    const double s = static_cast<float>(std::sin(static_cast<double>(angle)));
    const double xs = sw / dw, ys = sh / dh;
    double u = sx - ((dh * xs * s + dw * xs * c - sw) * 0.5 - ox);
    double v = sy - ((dw * (-ys * s) + dh * ys * c - sh) * 0.5 - oy);
    if (mirrorX) u += xs * c, v += -ys * s;
    if (mirrorY) u += xs * s, v += ys * c;
    if (dx < 0) u -= xs * c * dx, v -= -ys * s * dx, dw += dx, dx = 0;
    if (dy < 0) u -= xs * s * dy, v -= ys * c * dy, dh += dy, dy = 0;
    if (dw > dest.width - dx) dw = dest.width - dx;
    if (dh > dest.height - dy) dh = dest.height - dy;
    if (dw < 1 || dh < 1 || weight == 0.0f) return;
    win.left = std::max(win.left, 0), win.top = std::max(win.top, 0);
    win.right = std::min(win.right, source.width), win.bottom = std::min(win.bottom, source.height);
    if ((mode & 0xFF) > 5 || ((mode & 0xFF) == 0 && weight < 0.0f)) return;
    const bool bilinear = ((mode >> 8) & 0xFF) == 1;
    const int w = ModelWeight(weight);
    auto fixed = [](double value) { return static_cast<int64_t>(value * 65536.0); };
    const int64_t du = fixed(xs * c), dv = fixed(-ys * s), ru = fixed(xs * s), rv = fixed(ys * c);
    int64_t rowU = fixed(u), rowV = fixed(v);
    for (int j = 0; j < dh; ++j, rowU += ru, rowV += rv) {
        int64_t pu = rowU, pv = rowV;
        for (int i = 0; i < dw; ++i, pu += du, pv += dv) {
            LICE_ColorWord sample;
            if (!Sample(source, win, bilinear, pu / 65536, pv / 65536, Fraction(pu), Fraction(pv), &sample)) continue;
            LICE_ColorWord& d = dest.at(dx + i, dy + j);
            d = ModelBlendWord(d, sample, w, mode & 0x100FF);
        }
    }
}

// --- Primitives -------------------------------------------------------------------------------

void ModelPlotPixel(Image& dest, int x, int y, LICE_ColorWord c, float weight, int mode)
{
    if (x < 0 || y < 0 || x >= dest.width || y >= dest.height) return;
    LICE_ColorWord& d = dest.at(x, y);
    if ((mode & 0xFF) == 0) {
        if (weight == 1.0f) return void(d = c);
        if (weight == 0.5f) return void(d = HalfWord(d, c));
        if (weight == 0.25f)
            return void(d = ((d >> 2) & 0x3F3F3F3F) + ((d >> 1) & 0x7F7F7F7F) + ((c >> 2) & 0x3F3F3F3F));
        if (weight == 0.75f)
            return void(d = ((c >> 2) & 0x3F3F3F3F) + ((d >> 2) & 0x3F3F3F3F) + ((c >> 1) & 0x7F7F7F7F));
    }
    if (weight == 0.0f || ((mode & 0xFF) == 0 && weight < 0.0f)) return;
    d = ModelBlendWord(d, c, ModelWeight(weight), mode & 0xFF);
}

void ModelFillArea(Image& dest, int x, int y, int w, int h, LICE_ColorWord c, float weight, int mode)
{
    if (mode & LICE_FLAG_SOURCE_ALPHA) weight = static_cast<float>(c >> 24) / 255.0f * weight;
    if (x < 0) w += x, x = 0;
    if (y < 0) h += y, y = 0;
    w = std::min(w, dest.width - x);
    h = std::min(h, dest.height - y);
    if (weight == 0.0f || w <= 0 || h <= 0) return;
    const int iw = ModelWeight(weight);
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            LICE_ColorWord& d = dest.at(x + i, y + j);
            if ((mode & 0xFF) == 0 && (weight == 1.0f || weight == 0.5f || weight == 0.25f || weight == 0.75f)) {
                ModelPlotPixel(dest, x + i, y + j, c, weight, 0);
            } else if ((mode & 0xFF) != 0 || weight > 0.0f) {
                // The integer weight is the source alpha here.
                d = ModelBlend(d, Byte(c, 2), Byte(c, 1), Byte(c, 0), iw, iw, mode & 0xFF);
            }
        }
    }
}

} // namespace raster_test
