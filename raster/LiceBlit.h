#pragma once
// Compositing one bitmap onto another.
//
// Every operation takes a weight (1.0 = full strength; exactly 0 does nothing) and a mode word
// (LiceTypes.h). Geometry is clipped to both bitmaps; nothing is reported: null bitmaps, null
// pixels, empty or fully clipped areas and mode bytes without a kernel draw nothing. Bitmaps that
// report IsBottomUp() are addressed by logical rows, so the result is the same either way.
//
// Copy without source alpha at weight 0.5 is a whole-word average (each byte's low bit drops); at
// 1.0 it is a raw row copy. Other common cases take vectorised paths that give the kernels' pixels.

#include "raster/LiceBitmap.h"

// Copies `source` (the whole bitmap when `sourceRect` is null, else that rectangle clipped to it)
// so that its top-left lands at (x, y). A negative x or y skips the first source columns or rows.
// Mode bytes 0xF0-0xFF copy one byte of each pixel into another and ignore weight and flags.
void LICE_BlitRect(LICE_IBitmap* dest, LICE_IBitmap* source, int x, int y, const LICE_Rect* sourceRect, float weight,
                   int mode);
// LICE_BlitRect of the rectangle (sourceX, sourceY)-(sourceX + width, sourceY + height).
void LICE_BlitArea(LICE_IBitmap* dest, LICE_IBitmap* source, int x, int y, int sourceX, int sourceY, int width,
                   int height, float weight, int mode);
// Resizes `dest` to the source's size and copies every pixel.
void LICE_CopyBitmap(LICE_IBitmap* dest, LICE_IBitmap* source);

// Scales the source rectangle (float geometry) onto the destination rectangle. A negative
// destination width or height mirrors the image along that axis. Sampling is nearest-pixel, or
// bilinear when the filter byte is exactly LICE_FLAG_BILINEAR; the source is stepped in 16.16 fixed
// point across a row and in double precision down the rows. Pixels that sample outside the source
// are left untouched. An unscaled request with a whole-pixel origin is a plain LICE_BlitRect.
void LICE_StretchBlit(LICE_IBitmap* dest, LICE_IBitmap* source, int destX, int destY, int destWidth, int destHeight,
                      float sourceX, float sourceY, float sourceWidth, float sourceHeight, float weight, int mode);

// Rotates the source rectangle by `angle` radians (clockwise on screen) and scales it onto the
// destination rectangle, so that the source rectangle's centre, moved by (offsetX, offsetY) source
// pixels, lands on the destination's centre. With `clipToSource` only the source rectangle is
// sampled, else the whole source bitmap.
void LICE_RotateBlit(LICE_IBitmap* dest, LICE_IBitmap* source, int destX, int destY, int destWidth, int destHeight,
                     float sourceX, float sourceY, float sourceWidth, float sourceHeight, float angle,
                     bool clipToSource, float weight, int mode, float offsetX, float offsetY);

// Turns off (or back on) for the whole process the optimisations that must give exactly the
// kernels' pixels: raw row copies, vectorised rows and direct stores. The word averages at 0.5,
// 0.25 and 0.75 are not among them: they are the defined result at those weights. Tests use this
// to check each fast path against the per-pixel kernels. On by default.
void LICE_SetFastPaths(bool enabled);
bool LICE_FastPathsEnabled();
