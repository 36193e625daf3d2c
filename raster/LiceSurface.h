#pragma once
// Internal to the raster library: logical-row access to a bitmap and the table that turns a mode
// word into a kernel type, so each loop is instantiated once per kernel.

#include "raster/LiceBitmap.h"
#include "raster/LiceKernels.h"

#include <atomic>
#include <cstddef>

namespace lice_detail {

struct Surface {
    LICE_ColorWord* top = nullptr; // logical row 0
    ptrdiff_t step = 0;            // pixels from one logical row to the next (negative bottom-up)
    int width = 0;
    int height = 0;

    // `storageRows`: address rows as stored, ignoring IsBottomUp() (for primitives that mirror
    // their coordinates themselves).
    explicit Surface(const LICE_IBitmap* bmp, bool storageRows = false)
    {
        LICE_ColorWord* pixels = bmp->Pixels();
        const int span = bmp->RowSpan();
        if (!pixels || span <= 0 || bmp->Width() <= 0 || bmp->Height() <= 0) return;
        width = bmp->Width();
        height = bmp->Height();
        step = span;
        top = pixels;
        if (bmp->IsBottomUp() && !storageRows) {
            top = pixels + static_cast<ptrdiff_t>(height - 1) * span;
            step = -step;
        }
    }
    bool Empty() const { return !top; }
    LICE_ColorWord* Row(int y) const { return top + y * step; }
};

extern std::atomic<bool> g_fastPaths;
inline bool FastPaths() { return g_fastPaths.load(std::memory_order_relaxed); }

// Calls f(Kernel{}) for the kernel that (mode & (LICE_MODE_MASK | LICE_FLAG_SOURCE_ALPHA))
// selects; false (and no call) for any other value.
template <class F> bool WithKernel(int mode, F&& f)
{
    switch (mode & (LICE_MODE_MASK | LICE_FLAG_SOURCE_ALPHA)) {
    case LICE_MODE_COPY: f(LICE_CopyKernel{}); return true;
    case LICE_MODE_ADD: f(LICE_AddKernel{}); return true;
    case LICE_MODE_DODGE: f(LICE_DodgeKernel{}); return true;
    case LICE_MODE_MULTIPLY: f(LICE_MultiplyKernel{}); return true;
    case LICE_MODE_OVERLAY: f(LICE_OverlayKernel{}); return true;
    case LICE_MODE_HSV_ADJUST: f(LICE_HsvAdjustKernel{}); return true;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_COPY: f(LICE_SourceAlpha<LICE_CopyKernel>{}); return true;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_ADD: f(LICE_SourceAlpha<LICE_AddKernel>{}); return true;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_DODGE: f(LICE_SourceAlpha<LICE_DodgeKernel>{}); return true;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_MULTIPLY: f(LICE_SourceAlpha<LICE_MultiplyKernel>{}); return true;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_OVERLAY: f(LICE_SourceAlpha<LICE_OverlayKernel>{}); return true;
    case LICE_FLAG_SOURCE_ALPHA | LICE_MODE_HSV_ADJUST: f(LICE_SourceAlpha<LICE_HsvAdjustKernel>{}); return true;
    default: return false;
    }
}

// Whole-word blends of colour c over pixel d, exact to the low bit of each byte as written.
inline LICE_ColorWord Half(LICE_ColorWord d, LICE_ColorWord c)
{
    return ((d >> 1) & 0x7F7F7F7F) + ((c >> 1) & 0x7F7F7F7F);
}
inline LICE_ColorWord Quarter(LICE_ColorWord d, LICE_ColorWord c)
{
    return ((d >> 2) & 0x3F3F3F3F) + ((d >> 1) & 0x7F7F7F7F) + ((c >> 2) & 0x3F3F3F3F);
}
inline LICE_ColorWord ThreeQuarters(LICE_ColorWord d, LICE_ColorWord c) { return Quarter(c, d); }

} // namespace lice_detail
