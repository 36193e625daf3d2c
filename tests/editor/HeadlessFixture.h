#pragma once
// A headless graphics context whose images are made in memory by the test, plus an independent
// model of the one blend the editor's controls use (copy with source alpha), so expected pictures
// are composed without the code under test.

#include "editor/headless/IGraphicsHeadless.h"
#include "raster/LiceBitmap.h"

#include <atomic>
#include <functional>
#include <map>

// A plain bitmap whose pixel (x, y) is `pixel(x, y)`.
inline LICE_MemBitmap* MakeImage(int w, int h, const std::function<LICE_ColorWord(int, int)>& pixel)
{
    auto* bmp = new LICE_MemBitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bmp->Pixels()[y * bmp->RowSpan() + x] = pixel(x, y);
    return bmp;
}

inline LICE_ColorWord ImagePixel(const LICE_IBitmap* bmp, int x, int y)
{
    return bmp->Pixels()[y * bmp->RowSpan() + x];
}

// Copy with source alpha at weight 1: a transparent source leaves the pixel, otherwise each
// channel (alpha too) moves toward the source by (alpha + 1) / 256.
inline LICE_ColorWord OverModel(LICE_ColorWord dst, LICE_ColorWord src)
{
    const int sa = static_cast<int>(src >> 24);
    if (sa == 0) return dst;
    const int w = sa + 1;
    LICE_ColorWord out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int s = static_cast<int>((src >> shift) & 0xFF), d = static_cast<int>((dst >> shift) & 0xFF);
        out |= static_cast<LICE_ColorWord>((s * w + d * (256 - w)) / 256) << shift;
    }
    return out;
}

class TestGraphics : public IGraphicsHeadless {
public:
    using Maker = std::function<LICE_MemBitmap*(int loadNumber)>;

    TestGraphics(IParamOwner* owner, int w, int h) : IGraphicsHeadless(owner, w, h, 30) {}

    // Ids the test provides; every other id goes to the embedded resource table.
    // Call before any thread loads `id`.
    static void Provide(int id, Maker maker)
    {
        Makers()[id] = std::move(maker);
        LoadCounts()[id].store(0);
    }
    static int Loads(int id) { return LoadCounts()[id].load(); }

    LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) override
    {
        auto it = Makers().find(id);
        if (it == Makers().end()) return IGraphicsHeadless::LoadPlatformBitmap(id, name);
        const int n = ++LoadCounts()[id];
        return it->second(n);
    }

private:
    static std::map<int, Maker>& Makers()
    {
        static std::map<int, Maker> makers;
        return makers;
    }
    static std::map<int, std::atomic<int>>& LoadCounts()
    {
        static std::map<int, std::atomic<int>> counts;
        return counts;
    }
};
