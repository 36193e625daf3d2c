#pragma once
// PNG encoding, to memory or to a file: a raster bitmap as 8-bit RGBA or RGB, or rows already laid
// out in any of PNG's stored formats.
//
// The bytes depend only on the image and the compression level: no chunk records when or where
// the file was made (no tIME, no text), so the same image always gives the same file. Every writer
// reports success as bool and, on failure, leaves `out` empty, or no file at `path`.

#include "raster/LiceBitmap.h"

#include <cstddef>
#include <vector>

// The colour types of PNG's image header, by their numbers there.
enum LICE_PngColorType {
    LICE_PNG_GRAY = 0,
    LICE_PNG_RGB = 2,
    LICE_PNG_PALETTE = 3,
    LICE_PNG_GRAY_ALPHA = 4,
    LICE_PNG_RGBA = 6,
};

// An image as PNG stores it.
struct LICE_PngImage {
    int width = 0, height = 0;
    int colorType = LICE_PNG_RGBA;
    int bitDepth = 8; // 1, 2, 4, 8 or 16, as far as the colour type allows
    bool interlaced = false;
    // Top row first, `rowBytes` apart, each packed as PNG stores it: 16-bit samples big-endian,
    // samples of fewer than 8 bits from the high bits of each byte.
    const unsigned char* rows = nullptr;
    size_t rowBytes = 0;
    // PLTE: red, green and blue of each entry.
    const unsigned char* palette = nullptr;
    int paletteEntries = 0;
    // tRNS: for a palette, the alpha of each of the first `paletteAlphas` entries; for gray or RGB,
    // the one colour that is transparent (gray in [0]; red, green, blue), at the image's depth.
    const unsigned char* paletteAlpha = nullptr;
    int paletteAlphas = 0;
    bool transparentColor = false;
    unsigned short transparent[3] = {};
    // zlib's level, 0 to 9; -1 leaves libpng's default.
    int compressionLevel = -1;
};

bool LICE_WritePng(const LICE_PngImage& image, std::vector<unsigned char>* out);
// A file that cannot be written whole is removed.
bool LICE_WritePngFile(const char* path, const LICE_PngImage& image);

// The bitmap, top row first whatever its row order, as 8-bit RGBA; as RGB (alpha left out) when
// `alpha` is false. An empty bitmap fails.
bool LICE_WritePng(const LICE_IBitmap* bmp, bool alpha, std::vector<unsigned char>* out, int compressionLevel = -1);
bool LICE_WritePngFile(const char* path, const LICE_IBitmap* bmp, bool alpha, int compressionLevel = -1);
