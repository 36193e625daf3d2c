#pragma once
// Text for the headless window layer: FreeType glyphs, fonts found through fontconfig, drawn the
// way the Windows layer's GDI DrawText draws them, so a headless rendering shows the same labels
// in the same places.
//
// Font. The style's font name with weight bold (style kStyleBold) or regular, slant italic
// (kStyleItalic) or roman, matched by fontconfig, which substitutes an installed family for a
// missing one (no Tahoma here: DejaVu Sans stands in). A positive size is the cell height, ascent
// plus descent in pixels, as GDI reads a positive font height; a negative one is the em height;
// 0 takes a default cell of 16 pixels. The font is made on first use and kept in the style's
// fontHandle, so each style pays for the lookup once. A fontHandle some other layer made is left
// alone: the text is then drawn with a font made for that one call.
//
// Layout. The cell's top is the rectangle's top and each line is one cell below the last; "\r\n",
// "\n" and "\r" break lines, as in DrawText without single-line mode. Each line is aligned on its
// own: kAlignCenter centres it in the rectangle's width, kAlignFar ends it at the right edge,
// anything else starts it at the left edge. Pens advance by the hinted advance widths in whole
// pixels, without kerning. Text is clipped to the bitmap only, never to the rectangle. Bytes are
// Windows-1252, the code page DrawTextA reads; other control characters (tabs too) are skipped.
// '&' is a mnemonic prefix as GDI treats it ("&&" shows one ampersand, a single '&' is dropped;
// the underline GDI puts under the next character is not drawn). The style's orientation is not
// applied: every text is horizontal.
//
// Colour. The style's red, green and blue, laid over the bitmap with the glyph's antialiased
// coverage as the weight; the style's alpha is ignored, as GDI ignores it, and the bitmap's alpha
// stays as it was.
//
// Threads. One FreeType library and one fontconfig configuration serve the process, made on first
// use; a single lock covers finding, rendering and releasing fonts, so editors on different
// threads may draw text at once.

#include "editor/IGraphicsTypes.h"

class LICE_IBitmap;

// Draws `str` in `style` at `rect` onto `bitmap`. Empty or null text, and a null bitmap (nothing
// to draw on yet), draw nothing and succeed. Returns false, drawing nothing, when no font can be
// made for the style: none installed, or a size beyond kMaxTextSize.
bool HeadlessDrawText(LICE_IBitmap* bitmap, const IText& style, const char* str, const IRect& rect);

// The largest cell (or em) height drawn, in pixels; larger sizes are refused rather than rendering
// glyph images of hundreds of megabytes.
constexpr int kMaxTextSize = 1024;
