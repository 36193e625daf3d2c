// Arbitrary bytes as PNG data: every load must give null or a whole image, never read or write
// out of bounds, and never leak (libpng's longjmp must not skip a release).
//
// libpng itself is not instrumented, so the fuzzer cannot feel its way through the format. The
// first byte therefore picks one of three shapes:
//   below 0x40   a well-formed PNG built from the input: size, colour type, bit depth, interlace,
//                palette, tRNS and the filtered rows all come from the bytes, so every expansion
//                path runs on arbitrary pixels;
//   0x89         the bytes exactly as they came;
//   otherwise    the bytes after a PNG signature, with every chunk's CRC made right (0xFF
//                leaves the CRCs alone), so damage gets past the CRC checks into the parser.
#include "raster/LicePng.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// A target that refuses large images, so a header claiming a huge size costs no memory.
class BoundedBitmap : public LICE_MemBitmap {
public:
    bool Resize(int width, int height) override
    {
        if (static_cast<int64_t>(width) * height > (1 << 22)) return false;
        return LICE_MemBitmap::Resize(width, height);
    }
};

void FixCrcs(std::vector<unsigned char>& png)
{
    size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const uint32_t length =
            (uint32_t{png[pos]} << 24) | (uint32_t{png[pos + 1]} << 16) | (uint32_t{png[pos + 2]} << 8) | png[pos + 3];
        if (length > png.size() - pos - 12) break;
        const uLong crc = crc32(crc32(0, nullptr, 0), &png[pos + 4], static_cast<uInt>(length + 4));
        for (int i = 0; i < 4; ++i) png[pos + 8 + length + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
        pos += 12 + length;
    }
}

void PutChunk(std::vector<unsigned char>& png, const char* type, const unsigned char* data, size_t n)
{
    for (int i = 0; i < 4; ++i) png.push_back(static_cast<unsigned char>(n >> (24 - 8 * i)));
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data, data + n);
    for (int i = 0; i < 4; ++i) png.push_back(0); // FixCrcs fills it in
}

// Bytes of filtered image data for a w x h image of `bits` per pixel, interlaced or not.
size_t RawSize(int w, int h, int bits, bool interlaced)
{
    auto rows = [bits](int pw, int ph) {
        return pw > 0 && ph > 0 ? static_cast<size_t>(ph) * (1 + (pw * bits + 7) / 8) : 0;
    };
    if (!interlaced) return rows(w, h);
    const int pass[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    size_t total = 0;
    for (const auto& p : pass) total += rows((w - p[0] + p[2] - 1) / p[2], (h - p[1] + p[3] - 1) / p[3]);
    return total;
}

std::vector<unsigned char> BuildPng(const uint8_t* data, size_t size)
{
    static const struct {
        int type, depth, channels;
    } kFormats[] = {{0, 1, 1}, {0, 2, 1}, {0, 4, 1}, {0, 8, 1}, {0, 16, 1}, {2, 8, 3}, {2, 16, 3}, {3, 1, 1},
                    {3, 2, 1}, {3, 4, 1}, {3, 8, 1}, {4, 8, 2}, {4, 16, 2}, {6, 8, 4}, {6, 16, 4}};
    const auto& f = kFormats[data[3] % 15];
    const int w = 1 + data[1] % 64, h = 1 + data[2] % 64;
    const bool interlaced = data[4] & 1, trns = data[4] & 2;
    const uint8_t* fill = data + 8;
    const size_t fillSize = size - 8;
    size_t at = 0;
    auto next = [&] { return fillSize ? fill[at++ % fillSize] : static_cast<uint8_t>(at++); };

    std::vector<unsigned char> png(kSignature, kSignature + 8);
    const unsigned char ihdr[13] = {0,
                                    0,
                                    0,
                                    static_cast<unsigned char>(w),
                                    0,
                                    0,
                                    0,
                                    static_cast<unsigned char>(h),
                                    static_cast<unsigned char>(f.depth),
                                    static_cast<unsigned char>(f.type),
                                    0,
                                    0,
                                    static_cast<unsigned char>(interlaced)};
    PutChunk(png, "IHDR", ihdr, 13);
    std::vector<unsigned char> extra;
    if (f.type == 3) {
        for (int i = 0; i < 3 << f.depth; ++i) extra.push_back(next());
        PutChunk(png, "PLTE", extra.data(), extra.size());
        extra.clear();
    }
    if (trns && f.type != 4 && f.type != 6) {
        const size_t n = f.type == 3 ? 1 + next() % (1u << f.depth) : f.type == 0 ? 2 : 6;
        for (size_t i = 0; i < n; ++i) extra.push_back(next());
        PutChunk(png, "tRNS", extra.data(), extra.size());
    }
    std::vector<unsigned char> raw(RawSize(w, h, f.depth * f.channels, interlaced));
    for (unsigned char& b : raw) b = next();
    uLongf packed = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> idat(packed);
    if (compress(idat.data(), &packed, raw.data(), static_cast<uLong>(raw.size())) != Z_OK) return {};
    PutChunk(png, "IDAT", idat.data(), packed);
    PutChunk(png, "IEND", nullptr, 0);
    FixCrcs(png);
    return png;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20)) return 0;
    std::vector<unsigned char> png;
    if (size >= 8 && data[0] < 0x40) {
        png = BuildPng(data, size);
    } else if (size && data[0] == 0x89) {
        png.assign(data, data + size);
    } else {
        png.assign(kSignature, kSignature + 8);
        if (size) png.insert(png.end(), data + 1, data + size);
        if (!(size && data[0] == 0xFF)) FixCrcs(png);
    }

    BoundedBitmap bounded;
    LICE_IBitmap* result = LICE_ReadPngMemory(png.data(), png.size(), &bounded);
    if (result && result != &bounded) abort();
    if (!result) return 0;
    if (bounded.Width() <= 0 || bounded.Height() <= 0 || !bounded.Pixels()) abort();

    // A small image decodes the same into a bitmap of the loader's own making.
    LICE_IBitmap* own = LICE_ReadPngMemory(png.data(), png.size(), nullptr);
    if (!own || own->Width() != bounded.Width() || own->Height() != bounded.Height() ||
        memcmp(own->Pixels(), bounded.Pixels(), static_cast<size_t>(own->Width()) * own->Height() * 4) != 0)
        abort();
    delete own;
    return 0;
}
