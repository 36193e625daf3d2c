#include "Lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <vector>

namespace art {

struct Lettering::Fonts {
    FT_Library library = nullptr;
    FT_Face regular = nullptr;
    FT_Face bold = nullptr;

    ~Fonts()
    {
        if (regular) FT_Done_Face(regular);
        if (bold) FT_Done_Face(bold);
        if (library) FT_Done_FreeType(library);
    }
    FT_Face Get(Face face) const { return face == Face::Bold ? bold : regular; }
};

namespace {

// Code points of UTF-8 text; a malformed sequence stands for U+FFFD and resynchronises at the
// next byte, so no input can make the decoder read past the end.
std::vector<char32_t> DecodeUtf8(const std::string& text)
{
    std::vector<char32_t> out;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = lead;
        if (lead >= 0xF0 && lead < 0xF8) {
            extra = 3;
            cp = lead & 0x07u;
        } else if (lead >= 0xE0) {
            extra = 2;
            cp = lead & 0x0Fu;
        } else if (lead >= 0xC0) {
            extra = 1;
            cp = lead & 0x1Fu;
        } else if (lead >= 0x80) {
            extra = -1;
        }
        bool ok = extra >= 0 && i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            ok = (next & 0xC0u) == 0x80u;
            cp = (cp << 6) | (next & 0x3Fu);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

bool SetEm(FT_Face face, double em) { return FT_Set_Char_Size(face, 0, std::lround(em * 64.0), 72, 72) == 0; }

double Kerning(FT_Face face, FT_UInt left, FT_UInt right)
{
    if (!FT_HAS_KERNING(face) || left == 0 || right == 0) return 0.0;
    FT_Vector delta{};
    if (FT_Get_Kerning(face, left, right, FT_KERNING_UNFITTED, &delta) != 0) return 0.0;
    return static_cast<double>(delta.x) / 64.0;
}

constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;

// Walks the glyphs of `text`, calling visit(glyphIndex, penX) for each, and returns the advance.
template <class Visit> double Layout(FT_Face face, const std::string& text, const TextStyle& style, Visit visit)
{
    if (!face || !SetEm(face, style.em)) return 0.0;
    const std::vector<char32_t> codes = DecodeUtf8(text);
    double pen = 0.0;
    FT_UInt previous = 0;
    for (size_t i = 0; i < codes.size(); ++i) {
        const FT_UInt glyph = FT_Get_Char_Index(face, codes[i]);
        pen += Kerning(face, previous, glyph);
        if (FT_Load_Glyph(face, glyph, kLoadFlags) != 0) continue;
        const double advance = static_cast<double>(face->glyph->linearHoriAdvance) / 65536.0;
        visit(face->glyph, pen);
        pen += advance;
        if (i + 1 < codes.size()) pen += style.tracking;
        previous = glyph;
    }
    return pen;
}

} // namespace

Lettering::Lettering() = default;
Lettering::~Lettering() = default;

bool Lettering::Open(const std::string& fontDir, std::string* error)
{
    auto fonts = std::make_unique<Fonts>();
    if (FT_Init_FreeType(&fonts->library) != 0) {
        *error = "FreeType could not be initialised";
        return false;
    }
    const struct {
        const char* file;
        FT_Face* face;
    } wanted[] = {{"DejaVuSans.ttf", &fonts->regular}, {"DejaVuSans-Bold.ttf", &fonts->bold}};
    for (const auto& w : wanted) {
        const std::string path = fontDir + "/" + w.file;
        if (FT_New_Face(fonts->library, path.c_str(), 0, w.face) != 0) {
            *w.face = nullptr;
            *error = "cannot open the font " + path + " (Debian package fonts-dejavu-core)";
            return false;
        }
        if (!FT_IS_SCALABLE(*w.face)) {
            *error = "the font " + path + " has no outlines";
            return false;
        }
    }
    m_fonts = std::move(fonts);
    return true;
}

double Lettering::Measure(const std::string& text, const TextStyle& style) const
{
    if (!m_fonts) return 0.0;
    return Layout(m_fonts->Get(style.face), text, style, [](FT_GlyphSlot, double) {});
}

void Lettering::Draw(Canvas& canvas, const std::string& text, const TextStyle& style, double x, double baseline) const
{
    if (!m_fonts) return;
    const double originY = std::floor(baseline);
    // Outlines have y up; a baseline lower on the canvas moves the outline down.
    const auto shiftY = static_cast<FT_Pos>(-std::lround((baseline - originY) * 64.0));
    Layout(m_fonts->Get(style.face), text, style, [&](FT_GlyphSlot slot, double pen) {
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return;
        const double penX = x + pen;
        const double originX = std::floor(penX);
        FT_Outline_Translate(&slot->outline, static_cast<FT_Pos>(std::lround((penX - originX) * 64.0)), shiftY);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.num_grays != 256) return;
        const int left = static_cast<int>(originX) + slot->bitmap_left;
        const int top = static_cast<int>(originY) - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const unsigned char* line = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
            for (unsigned col = 0; col < bitmap.width; ++col) {
                if (line[col] == 0) continue;
                canvas.Blend(left + static_cast<int>(col), top + static_cast<int>(row), style.color, line[col] / 255.0);
            }
        }
    });
}

void Lettering::DrawAligned(Canvas& canvas, const std::string& text, const TextStyle& style, double left, double right,
                            double baseline, Align align) const
{
    const double width = Measure(text, style);
    double x = left;
    if (align == Align::Centre) x = (left + right - width) / 2.0;
    if (align == Align::Right) x = right - width;
    Draw(canvas, text, style, x, baseline);
}

double Lettering::Ascender(Face face, double em) const
{
    if (!m_fonts) return 0.0;
    const FT_Face f = m_fonts->Get(face);
    return em * f->ascender / f->units_per_EM;
}

double Lettering::EmForCellHeight(Face face, double cellHeight) const
{
    if (!m_fonts) return cellHeight;
    const FT_Face f = m_fonts->Get(face);
    return cellHeight * f->units_per_EM / (f->ascender - f->descender);
}

} // namespace art
