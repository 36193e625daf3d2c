#pragma once
// PNG decoding into raster bitmaps.
//
// Every colour type and bit depth libpng accepts arrives as one LICE_ColorWord per pixel: palette
// and gray images are expanded to RGB, a tRNS chunk becomes alpha, 16-bit samples keep their high
// byte, and images without alpha get alpha 255. Colour is never premultiplied (a pixel with
// alpha 0 keeps its colour).
//
// Each loader returns the bitmap that holds the image: `target` itself when the caller passed
// one (resized to the image; a target that cannot take that size fails the load and is not
// deleted), or a new LICE_MemBitmap the caller owns. Missing, truncated or corrupt data, a wrong
// signature, or an image beyond LICE_kMaxDimension returns null, having freed everything it made.
// Rows land the right way up in a target that reports IsBottomUp().

#include "raster/LiceBitmap.h"
#include "raster/LicePlatform.h"

#include <cstddef>

// Resource `id` of type "PNG" in `module`.
LICE_IBitmap* LICE_ReadPngResource(LICE_Module module, int id, LICE_IBitmap* target);
// PNG bytes in memory (what a resource holds).
LICE_IBitmap* LICE_ReadPngMemory(const void* data, size_t size, LICE_IBitmap* target);
LICE_IBitmap* LICE_ReadPngFile(const char* path, LICE_IBitmap* target);
// With `checkExtension`, a path whose last '.', '/' or '\\' does not start ".png" (any case) is
// refused without opening the file.
LICE_IBitmap* LICE_ReadPngByName(const char* path, bool checkExtension, LICE_IBitmap* target);

// Process-wide list of image loaders, for file dialogs that want to offer every known format. The
// PNG loader puts itself at the head at start-up.
struct LICE_ImageLoaderRecord {
    LICE_IBitmap* (*loadfunc)(const char* path, bool checkExtension, LICE_IBitmap* target);
    // A file-dialog filter: description, NUL, pattern, NUL, NUL.
    const char* (*get_extlist)();
    LICE_ImageLoaderRecord* next;
};
extern LICE_ImageLoaderRecord* LICE_ImageLoaderList;
