#pragma once
// A floating-point RGBA canvas for drawing the editor's artwork.
//
// Shapes are described by signed distance (negative inside, in pixels) and coverage comes from
// the distance at each pixel centre, which antialiases every edge by the same rule whatever the
// shape and keeps the result independent of drawing order within a shape. Pixels are stored
// premultiplied so that layered semi-transparent paint (shadows, glows) composites exactly; the
// conversion to straight 8-bit colour happens once, at the end.
//
// Everything here is plain IEEE arithmetic with no randomness but the seeded hash below, so the
// same build draws the same bytes on every run.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace art {

constexpr double kPi = 3.14159265358979323846;

// Straight (not premultiplied) colour, each channel 0..1.
struct Color {
    double r = 0.0, g = 0.0, b = 0.0, a = 1.0;
};

constexpr Color Rgb(int r, int g, int b, double a = 1.0) { return Color{r / 255.0, g / 255.0, b / 255.0, a}; }
inline Color WithAlpha(Color c, double a) { return Color{c.r, c.g, c.b, a}; }
inline Color Mix(Color from, Color to, double t)
{
    return Color{from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
                 from.a + (to.a - from.a) * t};
}
// Positive amounts move toward white, negative toward black; alpha is kept.
inline Color Shade(Color c, double amount)
{
    const Color target = amount >= 0.0 ? Color{1.0, 1.0, 1.0, c.a} : Color{0.0, 0.0, 0.0, c.a};
    return Mix(c, target, std::fabs(amount));
}

inline double Clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }
inline double SmoothStep(double edge0, double edge1, double x)
{
    const double t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

struct Vec {
    double x = 0.0, y = 0.0;
};
inline Vec operator-(Vec a, Vec b) { return Vec{a.x - b.x, a.y - b.y}; }
inline Vec operator+(Vec a, Vec b) { return Vec{a.x + b.x, a.y + b.y}; }
inline Vec operator*(Vec a, double s) { return Vec{a.x * s, a.y * s}; }
inline double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
inline double Length(Vec a) { return std::sqrt(Dot(a, a)); }

// The unit vector at `degrees` from straight up, clockwise on screen (y grows downward).
inline Vec Direction(double degrees)
{
    const double a = degrees * kPi / 180.0;
    return Vec{std::sin(a), -std::cos(a)};
}

// --- Signed distances ----------------------------------------------------------------------------

inline double CircleDistance(Vec p, Vec centre, double radius) { return Length(p - centre) - radius; }

// A rectangle with corners rounded by `radius`; edges in pixel coordinates, so (0, 0, w, h)
// covers w x h whole pixels.
inline double RoundRectDistance(Vec p, double left, double top, double right, double bottom, double radius)
{
    const Vec centre{(left + right) / 2.0, (top + bottom) / 2.0};
    const Vec half{(right - left) / 2.0 - radius, (bottom - top) / 2.0 - radius};
    const Vec q{std::fabs(p.x - centre.x) - half.x, std::fabs(p.y - centre.y) - half.y};
    const Vec outside{std::max(q.x, 0.0), std::max(q.y, 0.0)};
    return Length(outside) + std::min(std::max(q.x, q.y), 0.0) - radius;
}

// A stroke from a to b with round caps.
inline double SegmentDistance(Vec p, Vec a, Vec b, double halfWidth)
{
    const Vec ab = b - a;
    const double t = Clamp01(Dot(p - a, ab) / Dot(ab, ab));
    return Length(p - (a + ab * t)) - halfWidth;
}

// Coverage of the pixel whose centre lies at `distance`: a one-pixel ramp across the edge.
inline double Coverage(double distance) { return Clamp01(0.5 - distance); }
// A soft edge for shadows and glows: full inside, fading to nothing `softness` pixels outside.
inline double SoftCoverage(double distance, double softness) { return 1.0 - SmoothStep(-softness, softness, distance); }

// Deterministic value in [0, 1) for integer coordinates and a seed; the base of every texture.
double Hash01(int x, int y, uint32_t seed);
// Smooth one-dimensional noise in [0, 1): hash values at whole coordinates, eased between.
double Noise1(double x, int row, uint32_t seed);

// --- The canvas ----------------------------------------------------------------------------------

struct Box {
    int left, top, right, bottom; // right and bottom exclusive
};

class Canvas {
public:
    Canvas(int width, int height, Color fill = Color{0.0, 0.0, 0.0, 0.0});

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Box Bounds() const { return Box{0, 0, m_width, m_height}; }

    // Paints `paint(p)` (straight colour) weighted by `coverage(p)` over every pixel of `box`,
    // p being the pixel's centre.
    template <class CoverageFn, class PaintFn> void Fill(Box box, CoverageFn coverage, PaintFn paint)
    {
        box = Clip(box);
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                const Vec p{x + 0.5, y + 0.5};
                const double c = coverage(p);
                if (c > 0.0) Blend(x, y, paint(p), c);
            }
        }
    }
    // A shape given by its signed distance, in one colour.
    template <class DistanceFn> void FillShape(Box box, DistanceFn distance, Color color)
    {
        Fill(
            box, [&](Vec p) { return Coverage(distance(p)); }, [&](Vec) { return color; });
    }

    // Source-over of `color` at `coverage` (0..1) onto one pixel; outside pixels are ignored.
    void Blend(int x, int y, Color color, double coverage);
    // Composites `source` over this canvas with its top-left at (x, y).
    void Draw(const Canvas& source, int x, int y);
    // Straight colour of one pixel (transparent black outside).
    Color At(int x, int y) const;

    // Rows of straight 8-bit R, G, B, A. Fully transparent pixels come out as all zero, so hidden
    // colour never varies and compresses to nothing.
    std::vector<uint8_t> ToRgba8() const;
    // Rows of 8-bit R, G, B over an opaque backing of `matte`.
    std::vector<uint8_t> ToRgb8(Color matte) const;

private:
    struct Premul {
        double r, g, b, a;
    };
    Box Clip(Box box) const;

    int m_width;
    int m_height;
    std::vector<Premul> m_pixels;
};

} // namespace art
