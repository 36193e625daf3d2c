// Surfaces on Windows: a top-down 32-bit DIB section selected into a memory device context, so
// the window layer can present the pixels with one BitBlt and no conversion.
#include "raster/LicePlatform.h"

#include <windows.h>

namespace lice_platform {

void* CreateSurfaceContext() { return CreateCompatibleDC(nullptr); }
void DestroySurfaceContext(void* context) { DeleteDC(static_cast<HDC>(context)); }
void* PublicDeviceContext(void* context) { return context; }

bool CreateSurface(void* context, int width, int height, Surface* surface)
{
    *surface = Surface{};
    if (width <= 0 || height <= 0 || width > LICE_kMaxDimension || height > LICE_kMaxDimension) return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    // Negative height: rows top-down, matching IsBottomUp() == false.
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(static_cast<HDC>(context), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib || !bits) {
        if (dib) DeleteObject(dib);
        return false;
    }
    surface->pixels = static_cast<LICE_ColorWord*>(bits);
    surface->handle = dib;
    surface->previous = SelectObject(static_cast<HDC>(context), dib);
    return true;
}

void DestroySurface(void* context, Surface* surface)
{
    if (surface->previous) SelectObject(static_cast<HDC>(context), static_cast<HGDIOBJ>(surface->previous));
    if (surface->handle) DeleteObject(static_cast<HGDIOBJ>(surface->handle));
    *surface = Surface{};
}

} // namespace lice_platform
