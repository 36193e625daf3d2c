#include "raster/LiceDraw.h"

#include "raster/LiceSurface.h"

#include <cmath>
#include <cstdlib>

namespace {

using namespace lice_detail;

// --- The small-circle ring masks (ours to draw: a closed one-pixel ring, and a smooth ring whose
// coverage is that of a one-pixel-wide annulus of radius r around the square's centre) ---------

const unsigned char kPlainRing2[5 * 5] = {
    0, 255, 255, 255, 0, 255, 0, 0, 0, 255, 255, 0, 0, 0, 255, 255, 0, 0, 0, 255, 0, 255, 255, 255, 0,
};
const unsigned char kSmoothRing2[5 * 5] = {
    36, 195, 251, 195, 36, 195, 119, 6, 119, 195, 251, 6, 0, 6, 251, 195, 119, 6, 119, 195, 36, 195, 251, 195, 36,
};
const unsigned char kPlainRing2_5[6 * 6] = {
    0,   255, 255, 255, 255, 0,   255, 0, 0, 0, 0, 255, 255, 0,   0,   0,   0,   255,
    255, 0,   0,   0,   0,   255, 255, 0, 0, 0, 0, 255, 0,   255, 255, 255, 255, 0,
};
const unsigned char kSmoothRing2_5[6 * 6] = {
    6,   146, 241, 241, 146, 6,   146, 174, 21, 21, 174, 146, 241, 21,  0,   0,   21,  241,
    241, 21,  0,   0,   21,  241, 146, 174, 21, 21, 174, 146, 6,   146, 241, 241, 146, 6,
};
const unsigned char kPlainRing3[7 * 7] = {
    0, 0, 255, 255, 255, 0, 0, 0, 255, 0,   0, 0,   255, 0, 255, 0,   0, 0, 0, 0,   255, 255, 0, 0, 0,
    0, 0, 255, 255, 0,   0, 0, 0, 0,   255, 0, 255, 0,   0, 0,   255, 0, 0, 0, 255, 255, 255, 0, 0,
};
const unsigned char kSmoothRing3[7 * 7] = {
    0, 90, 214, 253, 214, 90, 0, 90, 219, 60,  4,  60,  219, 90, 214, 60,  0,  0, 0,  60,  214, 253, 4,  0, 0,
    0, 4,  253, 214, 60,  0,  0, 0,  60,  214, 90, 219, 60,  4,  60,  219, 90, 0, 90, 214, 253, 214, 90, 0,
};
const unsigned char kPlainRing3_5[8 * 8] = {
    0, 0,   255, 255, 255, 255, 0, 0, 0, 255, 0,   0, 0, 0, 255, 0,   255, 0,   0,   0, 0, 0,
    0, 255, 255, 0,   0,   0,   0, 0, 0, 255, 255, 0, 0, 0, 0,   0,   0,   255, 255, 0, 0, 0,
    0, 0,   0,   255, 0,   255, 0, 0, 0, 0,   255, 0, 0, 0, 255, 255, 255, 255, 0,   0,
};
const unsigned char kSmoothRing3_5[8 * 8] = {
    0,   42,  178, 245, 245, 178, 42,  0,  42, 234, 109, 14, 14, 109, 234, 42,  178, 109, 0,   0,   0, 0,
    109, 178, 245, 14,  0,   0,   0,   0,  14, 245, 245, 14, 0,  0,   0,   0,   14,  245, 178, 109, 0, 0,
    0,   0,   109, 178, 42,  234, 109, 14, 14, 109, 234, 42, 0,  42,  178, 245, 245, 178, 42,  0,
};
const unsigned char kPlainRing4[9 * 9] = {
    0,   0, 255, 255, 255, 255, 255, 0, 0,   0,   255, 0, 0, 0, 0, 0, 255, 0,   255, 0, 0,   0,   0,   0,   0,   0, 255,
    255, 0, 0,   0,   0,   0,   0,   0, 255, 255, 0,   0, 0, 0, 0, 0, 0,   255, 255, 0, 0,   0,   0,   0,   0,   0, 255,
    255, 0, 0,   0,   0,   0,   0,   0, 255, 0,   255, 0, 0, 0, 0, 0, 255, 0,   0,   0, 255, 255, 255, 255, 255, 0, 0,
};
const unsigned char kSmoothRing4[9 * 9] = {
    0,  11,  132, 223, 255, 223, 132, 11,  0,  11, 200, 165, 41,  2,   41,  165, 200, 11, 132, 165, 0,
    0,  0,   0,   0,   165, 132, 223, 41,  0,  0,  0,   0,   0,   41,  223, 255, 2,   0,  0,   0,   0,
    0,  2,   255, 223, 41,  0,   0,   0,   0,  0,  41,  223, 132, 165, 0,   0,   0,   0,  0,   165, 132,
    11, 200, 165, 41,  2,   41,  165, 200, 11, 0,  11,  132, 223, 255, 223, 132, 11,  0,
};

// --- Pixel operations a primitive applies; all take the pixel, the colour and an integer weight.

struct StoreOp {
    static void Apply(LICE_ColorWord* p, LICE_ColorWord c, int) { *p = c; }
};
struct HalfOp {
    static void Apply(LICE_ColorWord* p, LICE_ColorWord c, int) { *p = Half(*p, c); }
};
struct QuarterOp {
    static void Apply(LICE_ColorWord* p, LICE_ColorWord c, int) { *p = Quarter(*p, c); }
};
struct ThreeQuartersOp {
    static void Apply(LICE_ColorWord* p, LICE_ColorWord c, int) { *p = ThreeQuarters(*p, c); }
};
template <class K> struct KernelOp {
    static void Apply(LICE_ColorWord* p, LICE_ColorWord c, int w)
    {
        K::Blend(p, LICE_GETR(c), LICE_GETG(c), LICE_GETB(c), LICE_GETA(c), w);
    }
};

// Where a primitive may draw, with the colour it draws.
struct Canvas {
    Surface s;
    LICE_ColorWord color;
    LICE_Rect clip;

    bool Inside(int64_t x, int64_t y) const
    {
        return x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
    }
    template <class Op> void Plot(int64_t x, int64_t y, int w) const
    {
        if (Inside(x, y)) Op::Apply(s.Row(static_cast<int>(y)) + x, color, w);
    }
    // A point given in floating point, truncated toward zero.
    template <class Op> void PlotAt(double x, double y, int w) const
    {
        if (x > -2.0 && y > -2.0 && x < clip.right + 1.0 && y < clip.bottom + 1.0)
            Plot<Op>(static_cast<int64_t>(x), static_cast<int64_t>(y), w);
    }
};

Canvas WholeBitmap(const LICE_IBitmap* bmp, LICE_ColorWord color, bool storageRows)
{
    Canvas c = {Surface(bmp, storageRows), color, {0, 0, 0, 0}};
    c.clip.right = c.s.width;
    c.clip.bottom = c.s.height;
    return c;
}

bool IsCopy(int mode) { return (mode & LICE_MODE_MASK) == LICE_MODE_COPY; }

// True when a primitive with this mode byte and weight draws at all.
bool Draws(int mode, float weight)
{
    const int modeByte = mode & LICE_MODE_MASK;
    if (modeByte > LICE_MODE_HSV_ADJUST || weight == 0.0f || !(weight == weight)) return false;
    return modeByte != LICE_MODE_COPY || weight > 0.0f;
}

// Calls f(KernelOp<K>{}) for the plain kernel of the mode byte.
template <class F> void WithKernelOp(int mode, F&& f)
{
    WithKernel(mode & LICE_MODE_MASK, [&](auto kernel) { f(KernelOp<decltype(kernel)>{}); });
}

// Whole-word copy at the four weights that have one; false for any other case.
bool WordFill(LICE_ColorWord* p, LICE_ColorWord c, float weight)
{
    if (weight == 1.0f)
        *p = c;
    else if (weight == 0.5f)
        *p = Half(*p, c);
    else if (weight == 0.25f)
        *p = Quarter(*p, c);
    else if (weight == 0.75f)
        *p = ThreeQuarters(*p, c);
    else
        return false;
    return true;
}

template <class Op> void FillRows(const Surface& s, int x, int y, int w, int h, LICE_ColorWord c, int iw)
{
    for (int j = 0; j < h; ++j) {
        LICE_ColorWord* row = s.Row(y + j) + x;
        for (int i = 0; i < w; ++i) Op::Apply(row + i, c, iw);
    }
}

// Clips (x, y, w, h) to the bitmap as the fills do; false when nothing is left.
bool ClipArea(const Surface& s, int& x, int& y, int& w, int& h)
{
    int64_t X = x, Y = y, W = w, H = h;
    if (X < 0) W += X, X = 0;
    if (Y < 0) H += Y, Y = 0;
    if (W > s.width - X) W = s.width - X;
    if (H > s.height - Y) H = s.height - Y;
    if (s.Empty() || W <= 0 || H <= 0) return false;
    x = static_cast<int>(X), y = static_cast<int>(Y), w = static_cast<int>(W), h = static_cast<int>(H);
    return true;
}

// --- Lines ----------------------------------------------------------------------------------

struct Segment {
    int64_t x1, y1, x2, y2;
};

int OutCode(int64_t x, int64_t y, int w, int h) { return (x < 0) | (x >= w) << 1 | (y < 0) << 2 | (y >= h) << 3; }

// Cohen-Sutherland against 0 <= x < w, 0 <= y < h. False when nothing of the segment is inside.
bool ClipSegment(Segment& l, int w, int h)
{
    // Every move puts one end on an edge; a handful of moves always settles a segment.
    for (int guard = 0; guard < 16; ++guard) {
        const int c1 = OutCode(l.x1, l.y1, w, h), c2 = OutCode(l.x2, l.y2, w, h);
        if (!(c1 | c2)) return true;
        if (c1 & c2) return false;
        const int code = c1 ? c1 : c2;
        const double dx = static_cast<double>(l.x2 - l.x1), dy = static_cast<double>(l.y2 - l.y1);
        int64_t x, y;
        if (code & 8)
            x = l.x1 + static_cast<int64_t>(dx * static_cast<double>(h - l.y1) / dy), y = h - 1;
        else if (code & 4)
            x = l.x1 - static_cast<int64_t>(dx * static_cast<double>(l.y1) / dy), y = 0;
        else if (code & 2)
            y = l.y1 + static_cast<int64_t>(dy * static_cast<double>(w - l.x1) / dx), x = w - 1;
        else
            y = l.y1 - static_cast<int64_t>(dy * static_cast<double>(l.x1) / dx), x = 0;
        if (c1)
            l.x1 = x, l.y1 = y;
        else
            l.x2 = x, l.y2 = y;
    }
    return false;
}

template <class Op> void Span(const Canvas& cv, const Segment& l, int w)
{
    if (l.x1 == l.x2) {
        const int64_t y0 = l.y1 < l.y2 ? l.y1 : l.y2, y1 = l.y1 < l.y2 ? l.y2 : l.y1;
        for (int64_t y = y0; y <= y1; ++y) cv.Plot<Op>(l.x1, y, w);
    } else {
        const int64_t x0 = l.x1 < l.x2 ? l.x1 : l.x2, x1 = l.x1 < l.x2 ? l.x2 : l.x1;
        for (int64_t x = x0; x <= x1; ++x) cv.Plot<Op>(x, l.y1, w);
    }
}

// A 45-degree line. Antialiased, each pixel but the last also spills a quarter onto its neighbours
// one step ahead along x and along y; neighbours outside the bitmap are skipped.
template <class CentreOp, class SideOp> void Diagonal(const Canvas& cv, const Segment& l, int w, bool antialias)
{
    const int64_t n = std::llabs(l.x2 - l.x1);
    const int sx = l.x2 > l.x1 ? 1 : -1, sy = l.y2 > l.y1 ? 1 : -1;
    for (int64_t i = 0; i <= n; ++i) {
        const int64_t x = l.x1 + i * sx, y = l.y1 + i * sy;
        if (!antialias) {
            cv.Plot<CentreOp>(x, y, w);
            continue;
        }
        cv.Plot<CentreOp>(x, y, w * 3 / 4);
        if (i < n) {
            cv.Plot<SideOp>(x + sx, y, w / 4);
            cv.Plot<SideOp>(x, y + sy, w / 4);
        }
    }
}

// Any other slope, stepping along the major axis.
template <class Op> void Sloped(const Canvas& cv, const Segment& l, int w, bool antialias)
{
    const int64_t dx = l.x2 - l.x1, dy = l.y2 - l.y1;
    const bool yMajor = std::llabs(dy) > std::llabs(dx);
    const int64_t n = yMajor ? std::llabs(dy) : std::llabs(dx);
    const double slope = static_cast<double>(yMajor ? std::llabs(dx) : std::llabs(dy)) / static_cast<double>(n);
    const int stepX = dx > 0 ? 1 : -1, stepY = dy > 0 ? 1 : -1;
    int64_t x = l.x1, y = l.y1;
    auto major = [&] { yMajor ? (void)(y += stepY) : (void)(x += stepX); };
    auto minor = [&] { yMajor ? (void)(x += stepX) : (void)(y += stepY); };

    if (!antialias) {
        double error = 0.0;
        for (int64_t i = 0; i <= n; ++i) {
            cv.Plot<Op>(x, y, w);
            const double e = error + slope;
            if (e > 0.5) {
                minor();
                error = e - 1.0;
            } else {
                error = e;
            }
            major();
        }
        return;
    }

    cv.Plot<Op>(x, y, w);
    double f = slope;
    int c = static_cast<int>(std::nearbyint(f * 256.0));
    for (int64_t i = 1; i < n; ++i) {
        major();
        if (i > 1) {
            f += slope;
            if (f > 1.0) {
                f -= 1.0;
                minor();
            }
        }
        c = static_cast<int>(std::nearbyint(f * 256.0));
        cv.Plot<Op>(x, y, (256 - c) * w / 256);
        cv.Plot<Op>(yMajor ? x + stepX : x, yMajor ? y : y + stepY, w * c / 256);
    }
    cv.Plot<Op>(l.x2, l.y2, (256 - c) * w / 256);
}

// --- Circles and arcs -----------------------------------------------------------------------

struct Circle {
    double cx, cy, r;
};

// False when no point of the outline (nor its antialiasing spill) can land inside the clip
// rectangle, so that a huge radius never walks its whole circumference for nothing.
bool MayTouch(const Circle& c, const LICE_Rect& clip)
{
    if (!std::isfinite(c.cx) || !std::isfinite(c.cy) || !std::isfinite(c.r)) return false;
    const double m = 2.0, r = std::fabs(c.r);
    if (c.cx + r + m < clip.left || c.cx - r - m > clip.right || c.cy + r + m < clip.top || c.cy - r - m > clip.bottom)
        return false;
    const double fx = std::fmax(std::fabs(c.cx - clip.left), std::fabs(c.cx - clip.right));
    const double fy = std::fmax(std::fabs(c.cy - clip.top), std::fabs(c.cy - clip.bottom));
    return r - m <= std::sqrt(fx * fx + fy * fy);
}

// A point of the first octant and its seven mirror images about the centre.
template <class Op> void PlotOctants(const Canvas& cv, double cx, double cy, double x, double y, int w)
{
    for (int sx = -1; sx <= 1; sx += 2) {
        for (int sy = -1; sy <= 1; sy += 2) {
            cv.PlotAt<Op>(cx + sx * x, cy + sy * y, w);
            cv.PlotAt<Op>(cx + sx * y, cy + sy * x, w);
        }
    }
}

// The midpoint outline: the four axis points, then eight symmetric points per step. Points where
// octants meet are plotted twice.
template <class Op> void PlainOutline(const Canvas& cv, const Circle& c, int w)
{
    const double cx = c.cx, cy = c.cy, r = c.r;
    cv.PlotAt<Op>(cx, cy + r, w);
    cv.PlotAt<Op>(cx, cy - r, w);
    cv.PlotAt<Op>(cx + r, cy, w);
    cv.PlotAt<Op>(cx - r, cy, w);
    double x = 0.0, y = r, decision = (5.0 - 4.0 * r) / 4.0;
    while (x < y) {
        x += 1.0;
        if (decision < 0.0) {
            decision += 2.0 * x + 1.0;
        } else {
            y -= 1.0;
            decision += 2.0 * (x - y) + 1.0;
        }
        PlotOctants<Op>(cv, cx, cy, x, y, w);
    }
}

// The antialiased outline: y = sqrt(r^2 - x^2) in single precision, its fraction shared between the
// pixel at the truncated position and the next one outward.
template <class Op> void SmoothOutline(const Canvas& cv, const Circle& c, float weight)
{
    const int w = static_cast<int>(weight * 255.0f);
    const double cx = c.cx, cy = c.cy;
    const float r = static_cast<float>(c.r);
    cv.PlotAt<Op>(cx, cy + r, w);
    cv.PlotAt<Op>(cx, cy - r, w);
    cv.PlotAt<Op>(cx + r, cy, w);
    cv.PlotAt<Op>(cx - r, cy, w);
    float x = 1.0f, y = r;
    while (x < y + 1.0f) {
        const double X = x, Y = y;
        if (y == std::floor(y)) {
            PlotOctants<Op>(cv, cx, cy, X, Y, w);
        } else {
            const float fraction = y - std::floor(y);
            const int inner = static_cast<int>(255.0f * weight * (1.0f - fraction));
            const int outer = static_cast<int>(255.0f * weight * fraction);
            for (int sx = -1; sx <= 1; sx += 2) {
                for (int sy = -1; sy <= 1; sy += 2) {
                    cv.PlotAt<Op>(cx + sx * X, cy + sy * Y, inner);
                    cv.PlotAt<Op>(cx + sx * X, cy + sy * (Y + 1.0), outer);
                    cv.PlotAt<Op>(cx + sx * Y, cy + sy * X, inner);
                    cv.PlotAt<Op>(cx + sx * (Y + 1.0), cy + sy * X, outer);
                }
            }
        }
        x += 1.0f;
        y = std::sqrt(r * r - x * x);
    }
}

// The outline through the plain kernels at trunc(weight * 255), clipped to cv.clip.
void KernelOutline(const Canvas& cv, const Circle& c, float weight, int mode, bool antialias)
{
    if (!MayTouch(c, cv.clip)) return;
    const float clamped = weight > 64.0f ? 64.0f : weight < -64.0f ? -64.0f : weight;
    WithKernelOp(mode, [&](auto op) {
        using Op = decltype(op);
        if (antialias)
            SmoothOutline<Op>(cv, c, clamped);
        else
            PlainOutline<Op>(cv, c, static_cast<int>(clamped * 255.0f));
    });
}

constexpr double kPi = 3.1415927f;
constexpr double kTwoPi = 6.2831855f;

double StartAngle(double a)
{
    a = std::fmod(a, kTwoPi);
    if (a < 0.0) a += kTwoPi;
    if (a >= kTwoPi) a -= kTwoPi;
    return a;
}

double EndAngle(double a)
{
    if (a < 0.0) return std::fmod(a, kTwoPi) + kTwoPi;
    if (a > kTwoPi) {
        a = std::fmod(a, kTwoPi);
        return a == 0.0 ? kTwoPi : a;
    }
    return a;
}

// One piece of an arc, spanning at most pi.
void ArcPiece(Canvas cv, const Circle& c, double a0, double a1, float weight, int mode, bool antialias)
{
    a0 = StartAngle(a0);
    a1 = EndAngle(a1);
    auto px = [&](double a) { return c.cx + c.r * std::sin(a); };
    auto py = [&](double a) { return c.cy - c.r * std::cos(a); };
    const double eps = 0.000001;
    const int xs = static_cast<int>(px(a0)), ys = static_cast<int>(py(a0));
    const int xe = static_cast<int>(px(a1)), ye = static_cast<int>(py(a1));
    LICE_Rect& r = cv.clip;

    // Each end point cuts the circle along the side on which the arc leaves it.
    if (a0 < eps) {
        if (xs >= 0) r.left = xs;
    } else if (a0 < kPi / 2 + eps) {
        if (ys >= 0) r.top = ys;
    } else if (a0 < kPi + eps) {
        if (xs < r.right) r.right = xs;
    } else if (a0 < 3 * kPi / 2 + eps) {
        if (ys < r.bottom) r.bottom = ys;
    } else if (xs > r.left) {
        r.left = xs;
    }
    if (a1 < kPi / 2 - eps) {
        if (xe < r.right) r.right = xe;
    } else if (a1 < kPi - eps) {
        if (ye < r.bottom) r.bottom = ye;
    } else if (a1 < 3 * kPi / 2 - eps) {
        if (xe > r.left) r.left = xe;
    } else if (ye > r.top) {
        r.top = ye;
    }

    // Those two cuts alone leave the far side of the circle in for short arcs (an arc inside one
    // quadrant keeps most of the opposite half), so the arc's bounding box, with room for the
    // outline's rounding and antialiasing spill, narrows the rectangle as well.
    double minX = std::fmin(px(a0), px(a1)), maxX = std::fmax(px(a0), px(a1));
    double minY = std::fmin(py(a0), py(a1)), maxY = std::fmax(py(a0), py(a1));
    const double extremes[5] = {0.0, kPi / 2, kPi, 3 * kPi / 2, kTwoPi};
    for (double e : extremes) {
        const bool inside = a1 >= a0 ? (e >= a0 && e <= a1) : (e >= a0 || e <= a1);
        if (!inside) continue;
        minX = std::fmin(minX, px(e)), maxX = std::fmax(maxX, px(e));
        minY = std::fmin(minY, py(e)), maxY = std::fmax(maxY, py(e));
    }
    const double margin = 2.0;
    if (minX - margin > r.left) r.left = static_cast<int>(std::floor(minX - margin));
    if (minY - margin > r.top) r.top = static_cast<int>(std::floor(minY - margin));
    if (maxX + margin + 1.0 < r.right) r.right = static_cast<int>(std::ceil(maxX + margin + 1.0));
    if (maxY + margin + 1.0 < r.bottom) r.bottom = static_cast<int>(std::ceil(maxY + margin + 1.0));
    if (r.left >= r.right || r.top >= r.bottom || !MayTouch(c, r)) return;

    if (!antialias && IsCopy(mode) && weight == 1.0f)
        PlainOutline<StoreOp>(cv, c, 0);
    else if (!antialias && IsCopy(mode) && weight == 0.5f)
        PlainOutline<HalfOp>(cv, c, 0);
    else
        KernelOutline(cv, c, weight, mode, antialias);
}

} // namespace

const unsigned char* LICE_CircleMask(float r, bool antialias)
{
    if (r == 2.0f) return antialias ? kSmoothRing2 : kPlainRing2;
    if (r == 2.5f) return antialias ? kSmoothRing2_5 : kPlainRing2_5;
    if (r == 3.0f) return antialias ? kSmoothRing3 : kPlainRing3;
    if (r == 3.5f) return antialias ? kSmoothRing3_5 : kPlainRing3_5;
    if (r == 4.0f) return antialias ? kSmoothRing4 : kPlainRing4;
    return nullptr;
}

void LICE_PlotPixel(LICE_IBitmap* bmp, int x, int y, LICE_ColorWord color, float weight, int mode)
{
    if (!bmp) return;
    const Surface s(bmp);
    if (s.Empty() || x < 0 || y < 0 || x >= s.width || y >= s.height) return;
    LICE_ColorWord* p = s.Row(y) + x;
    if (IsCopy(mode) && WordFill(p, color, weight)) return;
    if (!Draws(mode, weight)) return;
    const int w = LICE_IntWeight(weight);
    WithKernelOp(mode, [&](auto op) { decltype(op)::Apply(p, color, w); });
}

LICE_ColorWord LICE_ReadPixel(LICE_IBitmap* bmp, int x, int y)
{
    if (!bmp) return 0;
    const Surface s(bmp);
    if (s.Empty() || x < 0 || y < 0 || x >= s.width || y >= s.height) return 0;
    return s.Row(y)[x];
}

void LICE_FillArea(LICE_IBitmap* bmp, int x, int y, int width, int height, LICE_ColorWord color, float weight, int mode)
{
    if (!bmp) return;
    if (mode & LICE_FLAG_SOURCE_ALPHA) weight = static_cast<float>(LICE_GETA(color)) / 255.0f * weight;
    const Surface s(bmp);
    if (weight == 0.0f || !ClipArea(s, x, y, width, height)) return;
    if (IsCopy(mode)) {
        if (weight == 1.0f) return FillRows<StoreOp>(s, x, y, width, height, color, 0);
        if (weight == 0.5f) return FillRows<HalfOp>(s, x, y, width, height, color, 0);
        if (weight == 0.25f) return FillRows<QuarterOp>(s, x, y, width, height, color, 0);
        if (weight == 0.75f) return FillRows<ThreeQuartersOp>(s, x, y, width, height, color, 0);
    }
    if (!Draws(mode, weight)) return;
    // The integer weight stands in for the colour's alpha, so the destination alpha moves toward it.
    const int w = LICE_IntWeight(weight);
    const int r = LICE_GETR(color), g = LICE_GETG(color), b = LICE_GETB(color);
    WithKernel(mode & LICE_MODE_MASK, [&](auto kernel) {
        using K = decltype(kernel);
        for (int j = 0; j < height; ++j) {
            LICE_ColorWord* row = s.Row(y + j) + x;
            for (int i = 0; i < width; ++i) K::Blend(row + i, r, g, b, w, w);
        }
    });
}

void LICE_MaskOrArea(LICE_IBitmap* bmp, int x, int y, int width, int height, LICE_ColorWord andMask,
                     LICE_ColorWord orBits)
{
    if (!bmp) return;
    const Surface s(bmp);
    if (!ClipArea(s, x, y, width, height)) return;
    for (int j = 0; j < height; ++j) {
        LICE_ColorWord* row = s.Row(y + j) + x;
        for (int i = 0; i < width; ++i) row[i] = (row[i] & andMask) | orBits;
    }
}

void LICE_DrawAlphaMask(LICE_IBitmap* bmp, int x, int y, LICE_ColorWord color, const unsigned char* mask, int maskWidth,
                        int maskHeight, float weight, int mode)
{
    if (!bmp || !mask || maskWidth <= 0 || maskHeight <= 0 || !Draws(mode, weight)) return;
    const Surface s(bmp);
    int cols = maskWidth, rows = maskHeight, left = x, top = y;
    if (!ClipArea(s, left, top, cols, rows)) return;
    const int skipX = left - x, skipY = top - y;
    const int w = LICE_IntWeight(weight);
    WithKernelOp(mode, [&](auto op) {
        using Op = decltype(op);
        for (int j = 0; j < rows; ++j) {
            const unsigned char* m = mask + static_cast<ptrdiff_t>(skipY + j) * maskWidth + skipX;
            LICE_ColorWord* row = s.Row(top + j) + left;
            for (int i = 0; i < cols; ++i)
                if (m[i]) Op::Apply(row + i, color, w * m[i] / 256);
        }
    });
}

void LICE_DrawLine(LICE_IBitmap* bmp, int x1, int y1, int x2, int y2, LICE_ColorWord color, float weight, int mode,
                   bool antialias)
{
    if (!bmp) return;
    const Canvas cv = WholeBitmap(bmp, color, true);
    if (cv.s.Empty() || !Draws(mode, weight)) return;
    Segment l = {x1, y1, x2, y2};
    if (bmp->IsBottomUp()) l.y1 = cv.s.height - l.y1 - 1, l.y2 = cv.s.height - l.y2 - 1;
    if (!ClipSegment(l, cv.s.width, cv.s.height)) return;

    const int w = LICE_IntWeight(weight);
    const bool copyFull = IsCopy(mode) && weight == 1.0f;
    const int64_t adx = std::llabs(l.x2 - l.x1), ady = std::llabs(l.y2 - l.y1);
    if (adx == 0 || ady == 0) {
        if (copyFull) return Span<StoreOp>(cv, l, w);
        return WithKernelOp(mode, [&](auto op) { Span<decltype(op)>(cv, l, w); });
    }
    if (adx == ady) {
        if (copyFull && antialias) return Diagonal<ThreeQuartersOp, QuarterOp>(cv, l, w, true);
        if (copyFull) return Diagonal<StoreOp, StoreOp>(cv, l, w, false);
        return WithKernelOp(mode, [&](auto op) { Diagonal<decltype(op), decltype(op)>(cv, l, w, antialias); });
    }
    if (!antialias && copyFull) return Sloped<StoreOp>(cv, l, w, false);
    if (!antialias && IsCopy(mode) && weight == 0.5f) return Sloped<HalfOp>(cv, l, w, false);
    WithKernelOp(mode, [&](auto op) { Sloped<decltype(op)>(cv, l, w, antialias); });
}

void LICE_DrawCircle(LICE_IBitmap* bmp, float cx, float cy, float r, LICE_ColorWord color, float weight, int mode,
                     bool antialias)
{
    if (!bmp) return;
    if (const unsigned char* mask = LICE_CircleMask(r, antialias)) {
        const int size = static_cast<int>(2.0f * r + 1.0f);
        const double left = static_cast<double>(cx) - r, top = static_cast<double>(cy) - r;
        if (std::fabs(left) < 1e9 && std::fabs(top) < 1e9)
            LICE_DrawAlphaMask(bmp, static_cast<int>(left), static_cast<int>(top), color, mask, size, size, weight,
                               mode);
        return;
    }
    const Canvas cv = WholeBitmap(bmp, color, true);
    if (cv.s.Empty() || !Draws(mode, weight)) return;
    Circle c = {cx, cy, r};
    if (bmp->IsBottomUp()) c.cy = cv.s.height - c.cy - 1.0;
    KernelOutline(cv, c, weight, mode, antialias);
}

void LICE_DrawArc(LICE_IBitmap* bmp, float cx, float cy, float r, float a0, float a1, LICE_ColorWord color,
                  float weight, int mode, bool antialias)
{
    if (!bmp) return;
    const Canvas cv = WholeBitmap(bmp, color, true);
    if (cv.s.Empty() || !Draws(mode, weight) || !std::isfinite(a0) || !std::isfinite(a1)) return;
    Circle c = {cx, cy, r};
    double start = a0, end = a1;
    if (bmp->IsBottomUp()) {
        // Mirroring the rows turns a clockwise arc counter-clockwise: the ends swap.
        c.cy = cv.s.height - c.cy - 1.0;
        start = kPi - a1;
        end = kPi - a0;
    }
    while (end - start > kPi) {
        if (end - start >= kTwoPi) return KernelOutline(cv, c, weight, mode, antialias);
        // Split at the next multiple of pi, so every piece spans at most pi and the loop advances.
        const double split = (std::floor(start / kPi) + 1.0) * kPi;
        ArcPiece(cv, c, start, split, weight, mode, antialias);
        start = split;
    }
    ArcPiece(cv, c, start, end, weight, mode, antialias);
}
