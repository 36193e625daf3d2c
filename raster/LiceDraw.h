#pragma once
// Solid-colour drawing primitives.
//
// Colours are LICE_ColorWord values; the colour's alpha enters the kernels as the source alpha
// channel. Weights and mode bytes are those of the blits (LiceBlit.h), but only the mode byte
// (bits 0-7) counts and the plain kernels run: the source-alpha flag is honoured by
// LICE_FillArea alone. Copy draws only at positive weights; weight 0, mode bytes above 5, null
// bitmaps and fully clipped shapes draw nothing. Copy at weight 1.0 (and 0.5, 0.25, 0.75 where
// noted) works on whole words instead of the kernels.

#include "raster/LiceBitmap.h"

// Blends one pixel; copy at 1.0 stores the colour and 0.5, 0.25, 0.75 use whole-word averages.
void LICE_PlotPixel(LICE_IBitmap* bmp, int x, int y, LICE_ColorWord color, float weight, int mode);
// The pixel at (x, y), or 0 (transparent black) outside the bitmap.
LICE_ColorWord LICE_ReadPixel(LICE_IBitmap* bmp, int x, int y);

// Fills a rectangle. With LICE_FLAG_SOURCE_ALPHA the weight is first scaled by alpha / 255. Copy at
// 1.0 stores the colour word (alpha included); 0.5, 0.25 and 0.75 use whole-word averages; any
// other weight runs the kernel with the integer weight as the source alpha, so the destination
// alpha moves toward it.
void LICE_FillArea(LICE_IBitmap* bmp, int x, int y, int width, int height, LICE_ColorWord color, float weight,
                   int mode);
// Every pixel of the (clipped) rectangle becomes (pixel & andMask) | orBits.
void LICE_MaskOrArea(LICE_IBitmap* bmp, int x, int y, int width, int height, LICE_ColorWord andMask,
                     LICE_ColorWord orBits);
// Blends `color` through a coverage mask (one byte per pixel, rows maskWidth bytes apart) placed
// at (x, y): each non-zero byte m weights the kernel by m / 256.
void LICE_DrawAlphaMask(LICE_IBitmap* bmp, int x, int y, LICE_ColorWord color, const unsigned char* mask, int maskWidth,
                        int maskHeight, float weight, int mode);

// A line with both end points drawn, clipped to the bitmap. Antialiasing spreads diagonal and
// sloped lines over the neighbouring pixel; horizontal and vertical lines are never antialiased.
void LICE_DrawLine(LICE_IBitmap* bmp, int x1, int y1, int x2, int y2, LICE_ColorWord color, float weight, int mode,
                   bool antialias);
// A one-pixel circle outline. Radii 2, 2.5, 3, 3.5 and 4 draw fixed ring masks; others trace the
// circle with kernel weight trunc(weight * 255).
void LICE_DrawCircle(LICE_IBitmap* bmp, float cx, float cy, float r, LICE_ColorWord color, float weight, int mode,
                     bool antialias);
// The outline from angle a0 to a1 in radians: 0 points up and angles grow clockwise, so the point
// at angle a is (cx + r sin a, cy - r cos a). Spans of 2 pi or more draw the whole circle.
void LICE_DrawArc(LICE_IBitmap* bmp, float cx, float cy, float r, float a0, float a1, LICE_ColorWord color,
                  float weight, int mode, bool antialias);

// The coverage mask LICE_DrawCircle uses for radius r ((2r + 1) bytes square), or null when r is
// not one of the mask radii.
const unsigned char* LICE_CircleMask(float r, bool antialias);
