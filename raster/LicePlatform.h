#pragma once
// The raster library's platform seam: the surface behind LICE_SysBitmap and the lookup of embedded
// resources. Each build links exactly one implementation of each half (platform/*Win32.cpp on
// Windows, platform/*Heap.cpp and platform/ResourcesEmbedded.cpp elsewhere); nothing else in the
// library knows which.

#include "raster/LiceTypes.h"

#include <cstddef>

// A module whose embedded resources can be looked up: the module instance handle on Windows, a key
// chosen by the embedding build elsewhere (null is the program's own table).
typedef void* LICE_Module;

namespace lice_platform {

// --- Surfaces -------------------------------------------------------------------------------

// Creates the context that surfaces are made for (a screen-compatible memory DC on Windows), or
// null on failure. Elsewhere a non-null token that has no use of its own.
void* CreateSurfaceContext();
void DestroySurfaceContext(void* context);
// What LICE_IBitmap::DeviceContext() reports for the context: the DC itself, or null.
void* PublicDeviceContext(void* context);

struct Surface {
    LICE_ColorWord* pixels; // top-down rows of exactly `width` pixels
    void* handle;           // the DIB section, or the heap block
    void* previous;         // what was selected in the context before, to select back
};
// Makes a top-down 32-bit surface of width x height (both positive and within
// LICE_kMaxDimension) and, where the context selects surfaces, selects it. False on failure, with
// `surface` zeroed.
bool CreateSurface(void* context, int width, int height, Surface* surface);
// Selects the previous object back (where it applies) and frees the surface.
void DestroySurface(void* context, Surface* surface);

// --- Resources ------------------------------------------------------------------------------

// Finds resource `id` of type `type` ("PNG") in `module`. True with the bytes, which stay valid as
// long as the module is loaded.
bool FindResourceBytes(LICE_Module module, int id, const char* type, const unsigned char** data, size_t* size);

// The running program's own module: GetModuleHandle(NULL) on Windows, the null key elsewhere.
LICE_Module MainModule();

} // namespace lice_platform
