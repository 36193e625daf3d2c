#pragma once
// Text for the artwork, set with FreeType from fixed font files.
//
// The faces are opened by file name, not looked up through fontconfig, so the pictures depend on
// the font files alone and not on what else a machine has installed. Outlines are rendered
// unhinted: hinting engines change between FreeType releases far more than the rasteriser does,
// and unhinted glyphs can sit at fractional pen positions, which spacing with tracking needs.

#include "Canvas.h"

#include <memory>
#include <string>

namespace art {

enum class Face { Regular, Bold };
enum class Align { Left, Centre, Right };

struct TextStyle {
    Face face = Face::Regular;
    double em = 10.0;      // em size in pixels
    double tracking = 0.0; // extra pixels after every character but the last
    Color color;
};

class Lettering {
public:
    Lettering();
    ~Lettering();
    Lettering(const Lettering&) = delete;
    Lettering& operator=(const Lettering&) = delete;

    // Opens DejaVuSans.ttf and DejaVuSans-Bold.ttf from `fontDir`. False, with a message in
    // `error`, when FreeType cannot start or a file is missing or not a font.
    bool Open(const std::string& fontDir, std::string* error);

    // Advance width of UTF-8 `text`, kerning and tracking included.
    double Measure(const std::string& text, const TextStyle& style) const;
    // Draws `text` with its pen starting at `x` on the baseline `baseline`.
    void Draw(Canvas& canvas, const std::string& text, const TextStyle& style, double x, double baseline) const;
    // Draws `text` aligned within left..right.
    void DrawAligned(Canvas& canvas, const std::string& text, const TextStyle& style, double left, double right,
                     double baseline, Align align) const;

    // Distance from the baseline up to the face's ascender at `em`.
    double Ascender(Face face, double em) const;
    // The em size at which the face's ascender-to-descender height is `cellHeight` pixels: a
    // Windows font requested with a positive height is sized that way, and the editor's texts
    // are requested so.
    double EmForCellHeight(Face face, double cellHeight) const;

private:
    struct Fonts;
    std::unique_ptr<Fonts> m_fonts;
};

} // namespace art
