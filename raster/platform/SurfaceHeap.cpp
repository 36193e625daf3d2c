// Surfaces for builds without a window system's bitmaps: plain heap blocks. The context is only a
// token, so a LICE_SysBitmap behaves as on Windows (same resize rules) but has no device context.
#include "raster/LicePlatform.h"

#include <cstdlib>

namespace lice_platform {

namespace {
char g_contextToken;
} // namespace

void* CreateSurfaceContext() { return &g_contextToken; }
void DestroySurfaceContext(void*) {}
void* PublicDeviceContext(void*) { return nullptr; }

bool CreateSurface(void*, int width, int height, Surface* surface)
{
    *surface = Surface{};
    if (width <= 0 || height <= 0 || width > LICE_kMaxDimension || height > LICE_kMaxDimension) return false;
    void* block = malloc(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    if (!block) return false;
    surface->pixels = static_cast<LICE_ColorWord*>(block);
    surface->handle = block;
    return true;
}

void DestroySurface(void*, Surface* surface)
{
    free(surface->handle);
    *surface = Surface{};
}

} // namespace lice_platform
