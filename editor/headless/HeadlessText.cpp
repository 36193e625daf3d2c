#include "HeadlessText.h"

#include "raster/LiceBitmap.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// GDI's cell height for a style of size 0.
constexpr int kDefaultCellHeight = 16;

// Windows-1252 bytes 0x80-0x9F; the rest of the code page is Latin-1. The five bytes the code
// page leaves unassigned keep their own value.
constexpr char32_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The process's FreeType library and fontconfig configuration. FreeType lets faces of one library
// be made and released on one thread at a time only; `lock` serialises that and all rendering.
// Every member is used with the lock held.
struct TextEngine {
    std::mutex lock;
    FT_Library library = nullptr;
    FcConfig* config = nullptr;
    int faces = 0; // alive, each needing the library
    bool closed = false;

    TextEngine()
    {
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
        config = FcInitLoadConfigAndFonts();
    }
    bool Ready() const { return library != nullptr && config != nullptr && !closed; }

    void ReleaseFace(FT_Face face)
    {
        FT_Done_Face(face);
        --faces;
        if (closed && faces == 0) CloseLibrary();
    }
    // No fonts are made after this. The library stays while styles still hold faces made from it;
    // the last of them to go closes it.
    void Close()
    {
        closed = true;
        if (config) FcConfigDestroy(config);
        config = nullptr;
        if (faces == 0) CloseLibrary();
    }
    void CloseLibrary()
    {
        if (library) FT_Done_FreeType(library);
        library = nullptr;
    }
};

// Closes the engine when the process exits or this code is unloaded.
struct EngineCloser {
    TextEngine* engine;
    ~EngineCloser()
    {
        const std::lock_guard<std::mutex> hold(engine->lock);
        engine->Close();
    }
};

TextEngine& Engine()
{
    // The engine itself is never destroyed: a style may release its font during static
    // destruction, after any static engine would be gone. It lives in static storage rather than
    // on the heap, so a plug-in binary that a host unloads leaves no block behind.
    alignas(TextEngine) static unsigned char storage[sizeof(TextEngine)];
    static TextEngine* const engine = new (storage) TextEngine();
    static const EngineCloser closer{engine};
    return *engine;
}

// 26.6 fixed point to the nearest whole pixel, halves rounding up.
int64_t RoundPixels(FT_Pos v) { return v >= 0 ? (v + 32) / 64 : -((-v + 31) / 64); }

// A face sized for one style, and whether the weight must be synthesised because the file that
// fontconfig chose has no bold. (A missing italic is synthesised by the face's transform.)
class HeadlessFont : public IFontHandle {
public:
    // `cellHeight` is the height asked for, or 0 to take the face's own.
    HeadlessFont(FT_Face face, bool embolden, int cellHeight) : m_face(face), m_embolden(embolden)
    {
        // FreeType rounds the scaled ascender up and the descender down, which makes every cell
        // a pixel taller than asked; round the exact values to the nearest pixel instead.
        const FT_Size_Metrics& metrics = face->size->metrics;
        if (FT_IS_SCALABLE(face)) {
            m_ascent = RoundPixels(FT_MulFix(face->ascender, metrics.y_scale));
            m_cellHeight = m_ascent + RoundPixels(FT_MulFix(-face->descender, metrics.y_scale));
        } else {
            m_ascent = RoundPixels(metrics.ascender);
            m_cellHeight = m_ascent - RoundPixels(metrics.descender);
        }
        if (cellHeight > 0) m_cellHeight = cellHeight;
    }
    // Styles die on any thread, so the face goes under the engine's lock.
    ~HeadlessFont() override
    {
        TextEngine& engine = Engine();
        const std::lock_guard<std::mutex> hold(engine.lock);
        engine.ReleaseFace(m_face);
    }
    HeadlessFont(const HeadlessFont&) = delete;
    HeadlessFont& operator=(const HeadlessFont&) = delete;

    // A rendered glyph: its coverage (0 to 255, rows of `width`), where its top-left pixel sits
    // relative to the pen on the baseline, and how far it moves the pen.
    struct Glyph {
        int64_t left = 0, top = 0, width = 0, rows = 0, advance = 0;
        std::vector<unsigned char> coverage;
    };

    // The glyph for `code`, hinted and rendered once and kept: an editor draws the same few texts
    // on every repaint. A character the font lacks gets its missing-glyph box, as GDI draws it.
    // Null when FreeType fails. Call with the engine's lock held.
    const Glyph* GetGlyph(char32_t code) const
    {
        const auto found = m_glyphs.find(code);
        if (found != m_glyphs.end()) return &found->second;
        if (FT_Load_Glyph(m_face, FT_Get_Char_Index(m_face, code), FT_LOAD_DEFAULT) != 0) return nullptr;
        if (m_embolden) FT_GlyphSlot_Embolden(m_face->glyph);
        if (FT_Render_Glyph(m_face->glyph, FT_RENDER_MODE_NORMAL) != 0) return nullptr;
        return &(m_glyphs[code] = Capture(m_face->glyph));
    }
    int64_t Ascent() const { return m_ascent; }
    int64_t CellHeight() const { return m_cellHeight; }

private:
    static Glyph Capture(const FT_GlyphSlot slot)
    {
        Glyph glyph;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.advance = RoundPixels(slot->advance.x);
        const FT_Bitmap& image = slot->bitmap;
        const bool mono = image.pixel_mode == FT_PIXEL_MODE_MONO;
        if (!mono && image.pixel_mode != FT_PIXEL_MODE_GRAY) return glyph; // nothing we can blend
        glyph.width = image.width;
        glyph.rows = image.rows;
        glyph.coverage.resize(static_cast<size_t>(glyph.width * glyph.rows));
        const int maxGray = image.num_grays > 1 ? image.num_grays - 1 : 255;
        const int64_t pitch = image.pitch;
        for (int64_t j = 0; j < glyph.rows; ++j) {
            // A negative pitch stores the bottom row first.
            const unsigned char* src = image.buffer + (pitch >= 0 ? j * pitch : (glyph.rows - 1 - j) * -pitch);
            for (int64_t i = 0; i < glyph.width; ++i) {
                glyph.coverage[static_cast<size_t>(j * glyph.width + i)] = static_cast<unsigned char>(
                    mono ? ((src[i / 8] >> (7 - i % 8)) & 1) * 255 : static_cast<int>(src[i]) * 255 / maxGray);
            }
        }
        return glyph;
    }

    FT_Face m_face;
    bool m_embolden;
    mutable std::unordered_map<char32_t, Glyph> m_glyphs;
    int64_t m_ascent = 0;
    int64_t m_cellHeight = 0;
};

// Asks fontconfig for the style's font and sizes it; null when there is none. Call with the
// engine's lock held.
std::unique_ptr<HeadlessFont> MakeFont(TextEngine& engine, const IText& style)
{
    if (!engine.Ready()) return nullptr;
    if (style.size > kMaxTextSize || style.size < -kMaxTextSize) return nullptr;

    // The name may fill its array without a terminator.
    const std::string family(style.font, strnlen(style.font, IText::kMaxFontNameLen));
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return nullptr;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, style.style == IText::kStyleBold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, style.style == IText::kStyleItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(engine.config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(engine.config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return nullptr;

    FcChar8* file = nullptr;
    int index = 0;
    FcBool embolden = FcFalse;
    FcMatrix* slant = nullptr;
    FT_Face face = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
        if (FT_New_Face(engine.library, reinterpret_cast<const char*>(file), index, &face) == 0)
            ++engine.faces;
        else
            face = nullptr;
    }
    if (face && FcPatternGetMatrix(match, FC_MATRIX, 0, &slant) == FcResultMatch) {
        FT_Matrix matrix = {static_cast<FT_Fixed>(slant->xx * 65536.0), static_cast<FT_Fixed>(slant->xy * 65536.0),
                            static_cast<FT_Fixed>(slant->yx * 65536.0), static_cast<FT_Fixed>(slant->yy * 65536.0)};
        FT_Set_Transform(face, &matrix, nullptr);
    }
    FcPatternDestroy(match);
    if (!face) return nullptr;

    // GDI reads a positive height as the cell (ascender - descender, FreeType's "real dimension")
    // and a negative one as the em.
    const int pixels = style.size > 0 ? style.size : style.size < 0 ? -style.size : kDefaultCellHeight;
    FT_Size_RequestRec request = {};
    request.type = style.size < 0 ? FT_SIZE_REQUEST_TYPE_NOMINAL : FT_SIZE_REQUEST_TYPE_REAL_DIM;
    request.height = static_cast<FT_Long>(pixels) * 64;
    if (FT_Request_Size(face, &request) != 0) {
        engine.ReleaseFace(face);
        return nullptr;
    }
    return std::make_unique<HeadlessFont>(face, embolden == FcTrue, style.size >= 0 ? pixels : 0);
}

// The text as lines of code points: line breaks split it, mnemonic prefixes are consumed, and
// control characters are dropped.
std::vector<std::u32string> Lines(const char* str)
{
    std::vector<std::u32string> lines(1);
    for (const char* p = str; *p; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        if (byte == '\r' || byte == '\n') {
            if (byte == '\r' && p[1] == '\n') ++p;
            lines.emplace_back();
        } else if (byte == '&') {
            if (p[1] == '&') {
                lines.back() += U'&';
                ++p;
            }
        } else if (byte >= 0x80 && byte < 0xA0) {
            lines.back() += kCp1252High[byte - 0x80];
        } else if (byte >= 0x20) {
            lines.back() += static_cast<char32_t>(byte);
        }
    }
    return lines;
}

int64_t LineWidth(const HeadlessFont& font, const std::u32string& line)
{
    int64_t width = 0;
    for (const char32_t code : line)
        if (const HeadlessFont::Glyph* glyph = font.GetGlyph(code)) width += glyph->advance;
    return width;
}

int ClampChannel(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Lays `color` over the bitmap through the glyph's coverage, whose top-left pixel lands at
// (left, top); the bitmap's alpha is kept.
void BlendGlyph(LICE_IBitmap* bitmap, const HeadlessFont::Glyph& glyph, int64_t left, int64_t top, const IColor& color)
{
    const int r = ClampChannel(color.R), g = ClampChannel(color.G), b = ClampChannel(color.B);
    const int64_t width = bitmap->Width(), height = bitmap->Height();
    LICE_ColorWord* const pixels = bitmap->Pixels();
    const int64_t span = bitmap->RowSpan();
    // Only the part of the glyph that lies on the bitmap.
    const int64_t i0 = left < 0 ? -left : 0, j0 = top < 0 ? -top : 0;
    const int64_t i1 = std::min(glyph.width, width - left), j1 = std::min(glyph.rows, height - top);

    for (int64_t j = j0; j < j1; ++j) {
        const int64_t y = top + j;
        const unsigned char* src = glyph.coverage.data() + j * glyph.width;
        LICE_ColorWord* row = pixels + (bitmap->IsBottomUp() ? height - 1 - y : y) * span;
        for (int64_t i = i0; i < i1; ++i) {
            const int coverage = src[i];
            if (coverage == 0) continue;
            const int64_t x = left + i;
            const LICE_ColorWord d = row[x];
            const int keep = 255 - coverage;
            row[x] = (d & 0xFF000000u) | LICE_RGBA((r * coverage + LICE_GETR(d) * keep + 127) / 255,
                                                   (g * coverage + LICE_GETG(d) * keep + 127) / 255,
                                                   (b * coverage + LICE_GETB(d) * keep + 127) / 255, 0);
        }
    }
}

void DrawLines(LICE_IBitmap* bitmap, const HeadlessFont& font, const IText& style, const char* str, const IRect& rect)
{
    int64_t baseline = static_cast<int64_t>(rect.T) + font.Ascent();
    for (const std::u32string& line : Lines(str)) {
        const int64_t width = LineWidth(font, line);
        int64_t pen = rect.L;
        if (style.align == IText::kAlignCenter) {
            // Halving rounds toward minus infinity on either side of zero.
            const int64_t room = static_cast<int64_t>(rect.R) - rect.L - width;
            pen += room >= 0 ? room / 2 : -((1 - room) / 2);
        } else if (style.align == IText::kAlignFar) {
            pen = static_cast<int64_t>(rect.R) - width;
        }
        for (const char32_t code : line) {
            const HeadlessFont::Glyph* glyph = font.GetGlyph(code);
            if (!glyph) continue;
            BlendGlyph(bitmap, *glyph, pen + glyph->left, baseline - glyph->top, style.color);
            pen += glyph->advance;
        }
        baseline += font.CellHeight();
    }
}

} // namespace

bool HeadlessDrawText(LICE_IBitmap* bitmap, const IText& style, const char* str, const IRect& rect)
{
    if (!str || !*str || !bitmap || !bitmap->Pixels()) return true;
    TextEngine& engine = Engine();
    // Declared before the lock is taken, so a font made for this call alone is released after the
    // lock is given back.
    std::unique_ptr<HeadlessFont> ownFont;
    const std::lock_guard<std::mutex> hold(engine.lock);

    const HeadlessFont* font = dynamic_cast<const HeadlessFont*>(style.fontHandle);
    if (!font) {
        ownFont = MakeFont(engine, style);
        if (!ownFont) return false;
        font = ownFont.get();
        if (!style.fontHandle) style.fontHandle = ownFont.release();
    }
    DrawLines(bitmap, *font, style, str, rect);
    return true;
}
