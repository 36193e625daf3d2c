#include "IGraphicsLice.h"

#include "GraphicsFactory.h"
#include "plugcore/Containers.h"
#include "plugcore/Mutex.h"
#include "raster/LiceBitmap.h"
#include "raster/LiceBlit.h"
#include "raster/LiceDraw.h"
#include "raster/LicePng.h"

#include <algorithm>
#include <cstddef>

namespace {

// The held-bitmap list decides which cache entries are still valid. It gets its own lock (taken
// inside a cache's lock, never the other way round) because FreeBitmap and the validity test run
// outside the caches' locks, and editors may be built on several threads at once.
struct HeldList {
    IMutex mutex;
    PointerList<LICE_IBitmap> bitmaps;
};

const LICE_IBitmap* SourceOf(int) { return nullptr; }

struct ScaleKey {
    const LICE_IBitmap* source;
    int width, height;
    bool operator==(const ScaleKey& o) const { return source == o.source && width == o.width && height == o.height; }
};

struct CropKey {
    const LICE_IBitmap* source;
    IRect rect;
    bool operator==(const CropKey& o) const { return source == o.source && rect == o.rect; }
};

const LICE_IBitmap* SourceOf(const ScaleKey& key) { return key.source; }
const LICE_IBitmap* SourceOf(const CropKey& key) { return key.source; }

// One process-wide image cache: entries of (key, record) searched in insertion order.
template <class Key> struct ImageCache {
    struct Entry {
        Key key;
        IBitmap record;
    };
    IMutex mutex;
    TypedBuffer<Entry> entries;

    // The valid record for `key`; otherwise `build` makes the pixels (null on failure), the slot of
    // a freed entry is reused or a new one appended, and the record is held.
    template <class Build> IBitmap Get(IGraphicsLice* graphics, const Key& key, int frames, Build build)
    {
        MutexLock lock(mutex);
        int slot = -1;
        for (int i = 0; i < entries.GetSize(); ++i) {
            Entry& entry = entries.Get()[i];
            if (!(entry.key == key)) continue;
            if (IGraphicsLice::IsHeld(entry.record.data)) return entry.record;
            slot = i;
            break;
        }
        LICE_IBitmap* bitmap = build();
        if (!bitmap) return IBitmap();
        const IBitmap record(bitmap, bitmap->Width(), bitmap->Height(), frames);
        // Should the list fail to grow, the image is handed out uncached rather than lost.
        if (slot >= 0)
            entries.Get()[slot].record = record;
        else
            entries.Add(Entry{key, record});
        graphics->HoldBitmap(record);
        return record;
    }

    // Drops every entry made of, or made from, a bitmap about to be deleted. Without this a new
    // bitmap that the allocator places at the freed address would pass for the old entry.
    void Forget(const LICE_IBitmap* bitmap)
    {
        MutexLock lock(mutex);
        for (int i = 0; i < entries.GetSize(); ++i) {
            Entry& entry = entries.Get()[i];
            if (entry.record.data == bitmap || SourceOf(entry.key) == bitmap) entry.record = IBitmap();
        }
    }
};

// Everything the editors of this library share. Made on first use, thread-safely, so two editors
// built at once on different threads cannot race on it; released when the library unloads (or
// the process exits), so a host that loads and unloads the plug-in, as scanning hosts do, gets
// the images' memory back each time. Editors only use it while they are being built, which no
// host does while unloading the library.
struct ImageStore {
    HeldList held;
    ImageCache<int> resources;
    ImageCache<ScaleKey> scaled;
    ImageCache<CropKey> cropped;

    ImageStore() = default;
    ImageStore(const ImageStore&) = delete;
    ImageStore& operator=(const ImageStore&) = delete;
    ~ImageStore() { held.bitmaps.Empty(true); }
};

ImageStore& Store()
{
    static ImageStore store;
    return store;
}

HeldList& Held() { return Store().held; }
ImageCache<int>& ResourceCache() { return Store().resources; }
ImageCache<ScaleKey>& ScaleCache() { return Store().scaled; }
ImageCache<CropKey>& CropCache() { return Store().cropped; }

// Points and arcs blend with the kernel alone.
int KernelMode(const IChannelBlend* blend)
{
    if (blend && blend->method == IChannelBlend::kBlendAdditive) return LICE_MODE_ADD;
    if (blend && blend->method == IChannelBlend::kBlendDodge) return LICE_MODE_DODGE;
    return LICE_MODE_COPY;
}

// Truncated, not rounded: a point just left of or above the bitmap (x in -1..-0.5) still lands on
// pixel 0, as it does in every other build of this layer.
int NearestPixel(float v)
{
    const float shifted = v + 0.5f;
    return LICE_TruncPixels(shifted);
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

} // namespace

IGraphicsLice::IGraphicsLice(IParamOwner* owner, int width, int height, int fps)
    : IGraphics(owner, width, height, fps), m_resourceModule(PluginModuleHandle())
{
}

IGraphicsLice::~IGraphicsLice()
{
    delete m_drawBitmap;
    delete m_scratchBitmap;
}

void IGraphicsLice::PrepareDrawing()
{
    if (m_drawBitmap)
        m_drawBitmap->Resize(Width(), Height());
    else
        m_drawBitmap = new LICE_SysBitmap(Width(), Height());
    if (!m_scratchBitmap) m_scratchBitmap = new LICE_MemBitmap();
}

void IGraphicsLice::ResizeGraphics(int width, int height)
{
    IGraphics::ResizeGraphics(width, height);
    if (m_drawBitmap) PrepareDrawing();
}

LICE_IBitmap* IGraphicsLice::GetDrawBitmap() const { return m_drawBitmap; }

int IGraphicsLice::BlendMode(const IChannelBlend* blend)
{
    if (!blend) return LICE_MODE_COPY | LICE_FLAG_SOURCE_ALPHA;
    switch (blend->method) {
    case IChannelBlend::kBlendReplace: return LICE_MODE_COPY;
    case IChannelBlend::kBlendAdditive: return LICE_MODE_ADD | LICE_FLAG_SOURCE_ALPHA;
    case IChannelBlend::kBlendDodge: return LICE_MODE_DODGE | LICE_FLAG_SOURCE_ALPHA;
    case IChannelBlend::kBlendDefault:
    default: return LICE_MODE_COPY | LICE_FLAG_SOURCE_ALPHA;
    }
}

// ---- Images ---------------------------------------------------------------------------------

bool IGraphicsLice::IsHeld(const LICE_IBitmap* bitmap)
{
    if (!bitmap) return false;
    HeldList& held = Held();
    MutexLock lock(held.mutex);
    return held.bitmaps.Find(bitmap) >= 0;
}

void IGraphicsLice::HoldBitmap(const IBitmap& bitmap)
{
    if (!bitmap.data) return;
    HeldList& held = Held();
    MutexLock lock(held.mutex);
    held.bitmaps.Add(bitmap.data);
}

void IGraphicsLice::FreeBitmap(const IBitmap& bitmap)
{
    HeldList& held = Held();
    LICE_IBitmap* victim = nullptr;
    {
        MutexLock lock(held.mutex);
        const int i = held.bitmaps.Find(bitmap.data);
        if (i < 0) return;
        victim = held.bitmaps.Get(i);
        held.bitmaps.Delete(i, false);
    }
    ResourceCache().Forget(victim);
    ScaleCache().Forget(victim);
    CropCache().Forget(victim);
    delete victim;
}

IBitmap IGraphicsLice::LoadBitmapResource(int id, const char* name, int frames)
{
    return ResourceCache().Get(this, id, frames, [&] { return LoadPlatformBitmap(id, name); });
}

LICE_IBitmap* IGraphicsLice::LoadPlatformBitmap(int id, const char*)
{
    return LICE_ReadPngResource(m_resourceModule, id, nullptr);
}

IBitmap IGraphicsLice::ScaleBitmapCached(const IBitmap& bitmap, int width, int height)
{
    if (!bitmap.data) return IBitmap();
    return ScaleCache().Get(this, ScaleKey{bitmap.data, width, height}, bitmap.N, [&]() -> LICE_IBitmap* {
        auto* scaled = new LICE_MemBitmap(width, height);
        LICE_StretchBlit(scaled, bitmap.data, 0, 0, width, height, 0.0f, 0.0f, static_cast<float>(bitmap.W),
                         static_cast<float>(bitmap.H), 1.0f, LICE_MODE_COPY | LICE_FLAG_BILINEAR);
        return scaled;
    });
}

IBitmap IGraphicsLice::CropBitmapCached(const IBitmap& bitmap, const IRect& rect)
{
    if (!bitmap.data) return IBitmap();
    return CropCache().Get(this, CropKey{bitmap.data, rect}, bitmap.N, [&]() -> LICE_IBitmap* {
        auto* cropped = new LICE_MemBitmap(rect.W(), rect.H());
        LICE_BlitArea(cropped, bitmap.data, 0, 0, rect.L, rect.T, rect.W(), rect.H(), 1.0f, LICE_MODE_COPY);
        return cropped;
    });
}

// ---- Bitmaps onto the draw bitmap -------------------------------------------------------------

void IGraphicsLice::BlitClipped(LICE_IBitmap* source, const IRect& dest, int srcX, int srcY, const IChannelBlend* blend)
{
    const IRect& clip = GetDrawRect();
    const int l = std::max(dest.L, clip.L), t = std::max(dest.T, clip.T);
    const int r = std::min(dest.R, clip.R), b = std::min(dest.B, clip.B);
    if (!m_drawBitmap || !source || r <= l || b <= t) return;
    LICE_BlitArea(m_drawBitmap, source, l, t, srcX + l - dest.L, srcY + t - dest.T, r - l, b - t, BlendWeight(blend),
                  BlendMode(blend));
}

bool IGraphicsLice::DrawBitmapRegion(const IBitmap& bitmap, const IRect& dest, int srcX, int srcY,
                                     const IChannelBlend* blend)
{
    BlitClipped(bitmap.data, dest, srcX, srcY, blend);
    return true;
}

bool IGraphicsLice::DrawBitmapRotated(const IBitmap& bitmap, int cx, int cy, double angleRadians, int yOffset,
                                      const IChannelBlend* blend)
{
    const int w = bitmap.W, h = bitmap.H;
    LICE_RotateBlit(m_drawBitmap, bitmap.data, cx - w / 2, cy - h / 2, w, h, 0.0f, 0.0f, static_cast<float>(w),
                    static_cast<float>(h), static_cast<float>(angleRadians), false, BlendWeight(blend),
                    BlendMode(blend) | LICE_FLAG_BILINEAR, 0.0f, static_cast<float>(yOffset));
    return true;
}

bool IGraphicsLice::DrawRotatedMaskedBitmap(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x, int y,
                                            double angleDegrees, const IChannelBlend* blend)
{
    if (!m_scratchBitmap) m_scratchBitmap = new LICE_MemBitmap();
    const int w = base.W, h = base.H;
    const auto angle = static_cast<float>(angleDegrees * 0.017453292519943295);
    // Odd widths have their centre on a pixel's middle; the half-pixel keeps the turn about it.
    const float centreX = (w & 1) ? -0.5f : 0.0f;
    LICE_CopyBitmap(m_scratchBitmap, base.data);
    LICE_MaskOrArea(m_scratchBitmap, 0, 0, w, h, 0x00FFFFFF, 0);
    LICE_RotateBlit(m_scratchBitmap, mask.data, 0, 0, w, h, 0.0f, 0.0f, static_cast<float>(mask.W),
                    static_cast<float>(mask.H), angle, true, 1.0f,
                    LICE_MODE_ADD | LICE_FLAG_SOURCE_ALPHA | LICE_FLAG_BILINEAR, centreX, 0.0f);
    LICE_RotateBlit(m_scratchBitmap, top.data, 0, 0, w, h, 0.0f, 0.0f, static_cast<float>(top.W),
                    static_cast<float>(top.H), angle, true, 1.0f,
                    LICE_MODE_COPY | LICE_FLAG_SOURCE_ALPHA | LICE_FLAG_BILINEAR, centreX, 0.0f);
    BlitClipped(m_scratchBitmap, IRect(x, y, x + w, y + h), 0, 0, blend);
    return true;
}

// ---- Solid colour -----------------------------------------------------------------------------

bool IGraphicsLice::DrawPointAt(const IColor& color, float x, float y, const IChannelBlend* blend, bool)
{
    LICE_PlotPixel(m_drawBitmap, NearestPixel(x), NearestPixel(y), ColorWord(color), BlendWeight(blend),
                   KernelMode(blend));
    return true;
}

bool IGraphicsLice::SetPixelDirect(const IColor& color, int x, int y)
{
    // Callers promise a point inside, but a stray store would corrupt the heap; the test is cheap.
    if (m_drawBitmap && m_drawBitmap->Pixels() && x >= 0 && y >= 0 && x < m_drawBitmap->Width() &&
        y < m_drawBitmap->Height())
        m_drawBitmap->Pixels()[x + static_cast<ptrdiff_t>(y) * m_drawBitmap->RowSpan()] = ColorWord(color);
    return true;
}

bool IGraphicsLice::DrawLineSegment(const IColor& color, float x1, float y1, float x2, float y2,
                                    const IChannelBlend* blend, bool antiAlias)
{
    LICE_DrawLine(m_drawBitmap, LICE_TruncPixels(x1), LICE_TruncPixels(y1), LICE_TruncPixels(x2), LICE_TruncPixels(y2),
                  ColorWord(color), BlendWeight(blend), BlendMode(blend), antiAlias);
    return true;
}

bool IGraphicsLice::DrawArcSegment(const IColor& color, float cx, float cy, float r, float startAngle, float endAngle,
                                   const IChannelBlend* blend, bool antiAlias)
{
    LICE_DrawArc(m_drawBitmap, cx, cy, r, startAngle, endAngle, ColorWord(color), BlendWeight(blend), KernelMode(blend),
                 antiAlias);
    return true;
}

bool IGraphicsLice::DrawCircleOutline(const IColor& color, float cx, float cy, float r, const IChannelBlend* blend,
                                      bool antiAlias)
{
    LICE_DrawCircle(m_drawBitmap, cx, cy, r, ColorWord(color), BlendWeight(blend), BlendMode(blend), antiAlias);
    return true;
}

bool IGraphicsLice::FillRectangle(const IColor& color, const IRect& rect, const IChannelBlend* blend)
{
    LICE_FillArea(m_drawBitmap, rect.L, rect.T, rect.W(), rect.H(), ColorWord(color), BlendWeight(blend),
                  BlendMode(blend));
    return true;
}

IColor IGraphicsLice::ReadPixel(int x, int y)
{
    const LICE_ColorWord c = LICE_ReadPixel(m_drawBitmap, x, y);
    return IColor(LICE_GETA(c), LICE_GETR(c), LICE_GETG(c), LICE_GETB(c));
}

void* IGraphicsLice::GetDrawPixels() { return m_drawBitmap ? m_drawBitmap->Pixels() : nullptr; }

bool IGraphicsLice::DrawVerticalSpan(const IColor& color, int x, int y1, int y2)
{
    if (!m_drawBitmap || !m_drawBitmap->Pixels() || m_drawBitmap->Width() <= 0 || m_drawBitmap->Height() <= 0)
        return true;
    const int maxY = m_drawBitmap->Height() - 1;
    x = Clamp(x, 0, m_drawBitmap->Width() - 1);
    y1 = Clamp(y1, 0, maxY);
    y2 = Clamp(y2, 0, maxY);
    const LICE_ColorWord c = ColorWord(color);
    const int span = m_drawBitmap->RowSpan();
    LICE_ColorWord* p = m_drawBitmap->Pixels() + x + static_cast<ptrdiff_t>(y1) * span;
    for (int y = y1; y <= y2; ++y, p += span) *p = c;
    return true;
}

bool IGraphicsLice::DrawHorizontalSpan(const IColor& color, int y, int x1, int x2)
{
    if (!m_drawBitmap || !m_drawBitmap->Pixels() || m_drawBitmap->Width() <= 0 || m_drawBitmap->Height() <= 0)
        return true;
    const int maxX = m_drawBitmap->Width() - 1;
    y = Clamp(y, 0, m_drawBitmap->Height() - 1);
    x1 = Clamp(x1, 0, maxX);
    x2 = Clamp(x2, 0, maxX);
    if (x2 < x1) return true;
    LICE_ColorWord* row = m_drawBitmap->Pixels() + static_cast<ptrdiff_t>(y) * m_drawBitmap->RowSpan();
    std::fill(row + x1, row + x2 + 1, ColorWord(color));
    return true;
}
