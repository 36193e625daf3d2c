#pragma once
// Raster surfaces: the abstract bitmap every raster operation draws on, the heap bitmap that holds
// decoded, scaled and cropped images, and the system bitmap the editor draws into and the window
// layer presents.
//
// Every raster operation treats null pixels or an empty size as nothing to do, so a bitmap whose
// allocation failed (0 x 0, null pixels) is always safe to pass on.

#include "raster/LiceTypes.h"

#include <cstdint>

// A platform device context (an HDC on Windows); null where the platform has none.
typedef void* LICE_DeviceContext;

class LICE_IBitmap {
public:
    virtual ~LICE_IBitmap() = default;

    // The first pixel of the top row, or null.
    virtual LICE_ColorWord* Pixels() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Pixels from one row to the next; may exceed Width().
    virtual int RowSpan() const = 0;
    // True when rows are stored last row first; operations then address logical row r at stored
    // row Height() - 1 - r.
    virtual bool IsBottomUp() const { return false; }
    // Changes the logical size. Returns false when nothing was done; the rules differ per class.
    // Pixel contents are not rearranged: callers redraw after a resize.
    virtual bool Resize(int width, int height) = 0;
    virtual LICE_DeviceContext DeviceContext() const { return nullptr; }
    // An open-ended hook; no extension is implemented by the bitmaps here.
    virtual intptr_t Extension(int /*id*/, void* /*data*/) { return 0; }
};

// Packed rows on the heap (RowSpan() == Width()). The block grows with 25 % headroom and never
// shrinks, so a bitmap that is resized back and forth stops reallocating.
class LICE_MemBitmap : public LICE_IBitmap {
public:
    LICE_MemBitmap() = default;
    // Allocates exactly width * height * 4 bytes. A non-positive or oversized (beyond
    // LICE_kMaxDimension) size, or a failed allocation, leaves the bitmap empty.
    LICE_MemBitmap(int width, int height);
    ~LICE_MemBitmap() override;
    LICE_MemBitmap(const LICE_MemBitmap&) = delete;
    LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;

    LICE_ColorWord* Pixels() const override { return m_pixels; }
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    int RowSpan() const override { return m_width; }
    // False only when the size is already (width, height). Growing reallocates to 1.25 times the
    // need, keeping the contents; a size that cannot be held (non-positive, oversized, or memory
    // exhausted) frees the block and leaves the bitmap 0 x 0.
    bool Resize(int width, int height) override;

    // Size of the current block in bytes.
    int AllocatedBytes() const { return m_allocated; }

private:
    LICE_ColorWord* m_pixels = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_allocated = 0;
};

// The editor's off-screen draw surface. On Windows a top-down 32-bit DIB section selected into the
// bitmap's own memory device context, so the window layer presents it with one GDI copy; elsewhere
// heap pixels with the same resize rules and no device context.
class LICE_SysBitmap : public LICE_IBitmap {
public:
    LICE_SysBitmap(int width = 0, int height = 0);
    ~LICE_SysBitmap() override;
    LICE_SysBitmap(const LICE_SysBitmap&) = delete;
    LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

    LICE_ColorWord* Pixels() const override { return m_pixels; }
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    // The allocated width: a bitmap shrunk within its surface keeps the wider rows.
    int RowSpan() const override { return m_allocWidth; }
    // False when the size is unchanged, when there is no surface context, or when the new size is
    // 0 in either direction. A size that fits the current surface keeps it (and its row span);
    // anything else replaces the surface. If making the surface fails, or the size is negative or
    // oversized, the bitmap becomes 0 x 0 with null pixels.
    bool Resize(int width, int height) override;
    LICE_DeviceContext DeviceContext() const override;

private:
    void ReleaseSurface();

    int m_width = 0;
    int m_height = 0;
    void* m_context = nullptr;
    LICE_ColorWord* m_pixels = nullptr;
    int m_allocWidth = 0;
    int m_allocHeight = 0;
    void* m_surface = nullptr;
    void* m_previous = nullptr;
};
