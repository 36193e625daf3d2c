#include "raster/LiceBitmap.h"

#include "raster/LicePlatform.h"

#include <cstdlib>

namespace {

// Bytes for a width x height bitmap, or 0 when no block can be made for that size: a size that is
// not positive both ways (a negative pair would otherwise multiply to a positive count), or one
// beyond LICE_kMaxDimension.
int BlockBytes(int width, int height)
{
    if (width <= 0 || height <= 0 || width > LICE_kMaxDimension || height > LICE_kMaxDimension) return 0;
    return width * height * 4;
}

} // namespace

LICE_MemBitmap::LICE_MemBitmap(int width, int height)
{
    const int bytes = BlockBytes(width, height);
    if (bytes > 0) m_pixels = static_cast<LICE_ColorWord*>(malloc(static_cast<size_t>(bytes)));
    if (m_pixels) {
        m_width = width;
        m_height = height;
        m_allocated = bytes;
    }
}

LICE_MemBitmap::~LICE_MemBitmap() { free(m_pixels); }

bool LICE_MemBitmap::Resize(int width, int height)
{
    if (width == m_width && height == m_height) return false;
    m_width = width;
    m_height = height;
    const int bytes = BlockBytes(width, height);
    if (bytes <= 0) {
        free(m_pixels);
        m_pixels = nullptr;
        m_allocated = 0;
    } else if (!m_pixels) {
        m_pixels = static_cast<LICE_ColorWord*>(malloc(static_cast<size_t>(bytes)));
        m_allocated = m_pixels ? bytes : 0;
    } else if (m_allocated < bytes) {
        // BlockBytes caps a block at 1 GiB, so the headroom still fits an int.
        const int grown = bytes + bytes / 4;
        void* block = realloc(m_pixels, static_cast<size_t>(grown));
        if (block) {
            m_pixels = static_cast<LICE_ColorWord*>(block);
            m_allocated = grown;
        } else {
            free(m_pixels);
            m_pixels = static_cast<LICE_ColorWord*>(malloc(static_cast<size_t>(bytes)));
            m_allocated = m_pixels ? bytes : 0;
        }
    }
    if (!m_pixels) m_width = m_height = 0;
    return true;
}

LICE_SysBitmap::LICE_SysBitmap(int width, int height)
{
    m_context = lice_platform::CreateSurfaceContext();
    LICE_SysBitmap::Resize(width, height); // this class's own, as a constructor must
}

LICE_SysBitmap::~LICE_SysBitmap()
{
    ReleaseSurface();
    if (m_context) lice_platform::DestroySurfaceContext(m_context);
}

LICE_DeviceContext LICE_SysBitmap::DeviceContext() const { return lice_platform::PublicDeviceContext(m_context); }

void LICE_SysBitmap::ReleaseSurface()
{
    if (m_surface) {
        lice_platform::Surface s = {m_pixels, m_surface, m_previous};
        lice_platform::DestroySurface(m_context, &s);
    }
    m_surface = m_previous = nullptr;
    m_pixels = nullptr;
}

bool LICE_SysBitmap::Resize(int width, int height)
{
    if (!m_context) {
        m_width = m_height = 0;
        m_pixels = nullptr;
        return false;
    }
    if (width == m_width && height == m_height) return false;
    if (width < 0 || height < 0 || width > LICE_kMaxDimension || height > LICE_kMaxDimension) {
        // No surface can have this size; end up as after a failed creation.
        ReleaseSurface();
        m_width = m_height = m_allocWidth = m_allocHeight = 0;
        return true;
    }
    m_width = width;
    m_height = height;
    if (width && height && width <= m_allocWidth && height <= m_allocHeight && m_pixels) return true;

    m_allocWidth = width;
    m_allocHeight = height;
    ReleaseSurface();
    if (!width || !height) return false;

    lice_platform::Surface s = {};
    if (lice_platform::CreateSurface(m_context, width, height, &s)) {
        m_pixels = s.pixels;
        m_surface = s.handle;
        m_previous = s.previous;
    } else {
        m_width = m_height = 0;
    }
    return true;
}
