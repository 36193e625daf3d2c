#include "Canvas.h"

namespace art {

namespace {

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::lround(Clamp01(v) * 255.0)); }

} // namespace

double Hash01(int x, int y, uint32_t seed)
{
    // A few rounds of an integer mixer (the finaliser of MurmurHash3) over the packed inputs.
    uint32_t h = seed ^ (static_cast<uint32_t>(x) * 0x9E3779B1u) ^ (static_cast<uint32_t>(y) * 0x85EBCA77u);
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return (h >> 8) / 16777216.0;
}

double Noise1(double x, int row, uint32_t seed)
{
    const double cell = std::floor(x);
    const double t = x - cell;
    const int i = static_cast<int>(cell);
    const double ease = t * t * (3.0 - 2.0 * t);
    return Hash01(i, row, seed) + (Hash01(i + 1, row, seed) - Hash01(i, row, seed)) * ease;
}

Canvas::Canvas(int width, int height, Color fill)
    : m_width(std::max(width, 0)),
      m_height(std::max(height, 0)),
      m_pixels(static_cast<size_t>(m_width) * m_height,
               Premul{fill.r * fill.a, fill.g * fill.a, fill.b * fill.a, fill.a})
{
}

Box Canvas::Clip(Box box) const
{
    return Box{std::max(box.left, 0), std::max(box.top, 0), std::min(box.right, m_width),
               std::min(box.bottom, m_height)};
}

void Canvas::Blend(int x, int y, Color color, double coverage)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    const double a = Clamp01(color.a) * Clamp01(coverage);
    Premul& px = m_pixels[static_cast<size_t>(y) * m_width + x];
    px.r = color.r * a + px.r * (1.0 - a);
    px.g = color.g * a + px.g * (1.0 - a);
    px.b = color.b * a + px.b * (1.0 - a);
    px.a = a + px.a * (1.0 - a);
}

void Canvas::Draw(const Canvas& source, int x, int y)
{
    for (int sy = 0; sy < source.m_height; ++sy) {
        const int dy = y + sy;
        if (dy < 0 || dy >= m_height) continue;
        for (int sx = 0; sx < source.m_width; ++sx) {
            const int dx = x + sx;
            if (dx < 0 || dx >= m_width) continue;
            const Premul& s = source.m_pixels[static_cast<size_t>(sy) * source.m_width + sx];
            Premul& d = m_pixels[static_cast<size_t>(dy) * m_width + dx];
            d.r = s.r + d.r * (1.0 - s.a);
            d.g = s.g + d.g * (1.0 - s.a);
            d.b = s.b + d.b * (1.0 - s.a);
            d.a = s.a + d.a * (1.0 - s.a);
        }
    }
}

Color Canvas::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return Color{0.0, 0.0, 0.0, 0.0};
    const Premul& px = m_pixels[static_cast<size_t>(y) * m_width + x];
    if (px.a <= 0.0) return Color{0.0, 0.0, 0.0, 0.0};
    return Color{px.r / px.a, px.g / px.a, px.b / px.a, px.a};
}

std::vector<uint8_t> Canvas::ToRgba8() const
{
    std::vector<uint8_t> out;
    out.reserve(m_pixels.size() * 4);
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            const Color c = At(x, y);
            const uint8_t a = ToByte(c.a);
            if (a == 0) {
                out.insert(out.end(), {0, 0, 0, 0});
                continue;
            }
            out.insert(out.end(), {ToByte(c.r), ToByte(c.g), ToByte(c.b), a});
        }
    }
    return out;
}

std::vector<uint8_t> Canvas::ToRgb8(Color matte) const
{
    std::vector<uint8_t> out;
    out.reserve(m_pixels.size() * 3);
    for (const Premul& px : m_pixels) {
        const double rest = 1.0 - Clamp01(px.a);
        out.insert(out.end(),
                   {ToByte(px.r + matte.r * rest), ToByte(px.g + matte.g * rest), ToByte(px.b + matte.b * rest)});
    }
    return out;
}

} // namespace art
