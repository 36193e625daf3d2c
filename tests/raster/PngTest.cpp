#include "RasterModel.h"
#include "raster/LicePng.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace raster_test;

namespace {

// --- Making test images -----------------------------------------------------------------------

struct ImageKind {
    int colorType; // PNG_COLOR_TYPE_*
    int depth;
    bool interlaced;
    bool trns;
    int width = 7;
    int height = 5;
};

std::string Name(const ImageKind& s)
{
    const char* types[] = {"gray", "?", "rgb", "palette", "grayalpha", "?", "rgba"};
    return std::string(types[s.colorType]) + std::to_string(s.depth) + (s.interlaced ? "_interlaced" : "") +
           (s.trns ? "_trns" : "");
}

// A source image in stored samples (one int per sample, 0..2^depth-1), plus palette and tRNS.
struct Source {
    ImageKind kind;
    int channels;
    std::vector<int> samples;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
    png_color_16 trnsColor = {};
};

int Channels(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    default: return 4;
    }
}

Source MakeSource(const ImageKind& kind, unsigned seed)
{
    Rng rng(seed);
    Source src{kind, Channels(kind.colorType), {}, {}, {}, {}};
    const int maxSample = (1 << kind.depth) - 1;
    if (kind.colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i <= maxSample; ++i)
            src.palette.push_back(
                {static_cast<png_byte>(rng()), static_cast<png_byte>(rng()), static_cast<png_byte>(rng())});
        // Fewer alphas than entries: the rest stay opaque.
        if (kind.trns)
            for (int i = 0; i < (maxSample + 2) / 2; ++i) src.paletteAlpha.push_back(static_cast<png_byte>(rng()));
    }
    for (int i = 0; i < kind.width * kind.height * src.channels; ++i)
        src.samples.push_back(static_cast<int>(rng() % static_cast<unsigned>(maxSample + 1)));
    if (kind.trns && kind.colorType != PNG_COLOR_TYPE_PALETTE) {
        // Make the transparent colour one that really occurs: the first pixel's.
        if (kind.colorType == PNG_COLOR_TYPE_GRAY) {
            src.trnsColor.gray = static_cast<png_uint_16>(src.samples[0]);
        } else {
            src.trnsColor.red = static_cast<png_uint_16>(src.samples[0]);
            src.trnsColor.green = static_cast<png_uint_16>(src.samples[1]);
            src.trnsColor.blue = static_cast<png_uint_16>(src.samples[2]);
        }
    }
    return src;
}

// What each pixel must decode to, worked out from the samples.
Image Expected(const Source& src)
{
    const ImageKind& s = src.kind;
    Image img(s.width, s.height);
    auto to8 = [&](int v) {
        if (s.depth == 16) return v >> 8;
        return v * 255 / ((1 << s.depth) - 1);
    };
    for (int i = 0; i < s.width * s.height; ++i) {
        const int* p = &src.samples[static_cast<size_t>(i) * src.channels];
        int r, g, b, a = 255;
        switch (s.colorType) {
        case PNG_COLOR_TYPE_PALETTE:
            r = src.palette[p[0]].red, g = src.palette[p[0]].green, b = src.palette[p[0]].blue;
            if (p[0] < static_cast<int>(src.paletteAlpha.size())) a = src.paletteAlpha[p[0]];
            break;
        case PNG_COLOR_TYPE_GRAY:
            r = g = b = to8(p[0]);
            if (s.trns && p[0] == src.trnsColor.gray) a = 0;
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA: r = g = b = to8(p[0]), a = to8(p[1]); break;
        case PNG_COLOR_TYPE_RGB:
            r = to8(p[0]), g = to8(p[1]), b = to8(p[2]);
            if (s.trns && p[0] == src.trnsColor.red && p[1] == src.trnsColor.green && p[2] == src.trnsColor.blue) a = 0;
            break;
        default: r = to8(p[0]), g = to8(p[1]), b = to8(p[2]), a = to8(p[3]);
        }
        img.px[static_cast<size_t>(i)] = LICE_RGBA(r, g, b, a);
    }
    return img;
}

void Append(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void Flush(png_structp) {}

// libpng jumps back here on error; nothing in this frame has a destructor.
bool WriteRows(png_structp png, png_infop info, const Source& src, png_bytep* rows, std::vector<unsigned char>* out)
{
    if (setjmp(png_jmpbuf(png))) return false;
    const ImageKind& s = src.kind;
    png_set_write_fn(png, out, Append, Flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(s.width), static_cast<png_uint_32>(s.height), s.depth, s.colorType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!src.palette.empty()) png_set_PLTE(png, info, src.palette.data(), static_cast<int>(src.palette.size()));
    if (s.trns) {
        png_color_16 color = src.trnsColor;
        png_set_tRNS(png, info, src.paletteAlpha.empty() ? nullptr : src.paletteAlpha.data(),
                     static_cast<int>(src.paletteAlpha.size()), src.paletteAlpha.empty() ? &color : nullptr);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

std::vector<unsigned char> Encode(const Source& src)
{
    const ImageKind& s = src.kind;
    // Pack the samples as PNG stores them: big-endian 16-bit, sub-byte samples from the high bits.
    const int bitsPerRow = s.width * src.channels * s.depth;
    std::vector<std::vector<png_byte>> rows(static_cast<size_t>(s.height),
                                            std::vector<png_byte>(static_cast<size_t>((bitsPerRow + 7) / 8)));
    for (int y = 0; y < s.height; ++y) {
        for (int i = 0; i < s.width * src.channels; ++i) {
            const int v = src.samples[static_cast<size_t>(y * s.width * src.channels + i)];
            png_byte* row = rows[static_cast<size_t>(y)].data();
            if (s.depth == 16) {
                row[2 * i] = static_cast<png_byte>(v >> 8);
                row[2 * i + 1] = static_cast<png_byte>(v);
            } else if (s.depth == 8) {
                row[i] = static_cast<png_byte>(v);
            } else {
                const int bit = i * s.depth;
                row[bit / 8] = static_cast<png_byte>(row[bit / 8] | (v << (8 - s.depth - bit % 8)));
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (auto& r : rows) pointers.push_back(r.data());
    std::vector<unsigned char> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const bool ok = WriteRows(png, info, src, pointers.data(), &out);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(ok);
    return out;
}

std::vector<ImageKind> AllFormats()
{
    std::vector<ImageKind> specs;
    const struct {
        int type;
        std::vector<int> depths;
        bool trns;
    } kinds[] = {
        {PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}, true}, {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}, false},
        {PNG_COLOR_TYPE_RGB, {8, 16}, true},           {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}, true},
        {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}, false},
    };
    for (const auto& k : kinds)
        for (int depth : k.depths)
            for (bool interlaced : {false, true})
                for (bool trns : {false, true})
                    if (!trns || k.trns) specs.push_back({k.type, depth, interlaced, trns});
    return specs;
}

std::string TempPath(const std::string& name) { return testing::TempDir() + "wayfarer_raster_" + name; }

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// --- Every format, from memory and from a file ------------------------------------------------

class PngFormat : public testing::TestWithParam<ImageKind> {};

TEST_P(PngFormat, DecodesToTheSourcePixels)
{
    const Source src = MakeSource(GetParam(), 17);
    const std::vector<unsigned char> bytes = Encode(src);
    const Image expected = Expected(src);

    std::unique_ptr<LICE_IBitmap> fromMemory(LICE_ReadPngMemory(bytes.data(), bytes.size(), nullptr));
    ASSERT_NE(fromMemory, nullptr);
    TestBitmap copy(fromMemory->Width(), fromMemory->Height());
    for (int y = 0; y < copy.Height(); ++y)
        for (int x = 0; x < copy.Width(); ++x)
            copy.Pixels()[y * copy.RowSpan() + x] = fromMemory->Pixels()[y * fromMemory->RowSpan() + x];
    EXPECT_IMAGE_EQ(expected, copy.Snapshot());

    const std::string path = TempPath(Name(GetParam()) + ".png");
    ASSERT_TRUE(WriteFile(path, bytes));
    TestBitmap target(1, 1, true);
    EXPECT_EQ(LICE_ReadPngFile(path.c_str(), &target), &target);
    EXPECT_IMAGE_EQ(expected, target.Snapshot());
    EXPECT_TRUE(target.GuardsIntact());
    remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(AllColourTypes, PngFormat, testing::ValuesIn(AllFormats()),
                         [](const testing::TestParamInfo<ImageKind>& p) { return Name(p.param); });

TEST(Png, RgbGetsOpaqueAlphaAndRgbaKeepsColourUnderZeroAlpha)
{
    Source rgb = MakeSource({PNG_COLOR_TYPE_RGB, 8, false, false, 2, 1}, 1);
    rgb.samples = {10, 20, 30, 40, 50, 60};
    std::vector<unsigned char> bytes = Encode(rgb);
    std::unique_ptr<LICE_IBitmap> a(LICE_ReadPngMemory(bytes.data(), bytes.size(), nullptr));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Pixels()[1], 0xFF28323Cu);

    Source rgba = MakeSource({PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false, 1, 1}, 1);
    rgba.samples = {0x12FF, 0x3400, 0x5699, 0x0011};
    bytes = Encode(rgba);
    std::unique_ptr<LICE_IBitmap> b(LICE_ReadPngMemory(bytes.data(), bytes.size(), nullptr));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Pixels()[0], 0x00123456u) << "16-bit keeps the high bytes, alpha 0 keeps its colour";
}

// --- Embedded resources -------------------------------------------------------------------------

// The ids under which tests/raster/CMakeLists.txt embeds tests/raster/img/*.png.
enum { kRgbaResource = 200, kShortResource = 201, kBadSignatureResource = 202, kPaletteResource = 203 };

TEST(PngResource, DecodesEmbeddedImages)
{
    std::unique_ptr<LICE_IBitmap> rgba(LICE_ReadPngResource(lice_platform::MainModule(), kRgbaResource, nullptr));
    ASSERT_NE(rgba, nullptr);
    ASSERT_EQ(rgba->Width(), 3);
    ASSERT_EQ(rgba->Height(), 2);
    const LICE_ColorWord expected[6] = {0xFFFF0000, 0x8000FF00, 0x000000FF, 0x280A141E, 0xFFC86432, 0x00010203};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(rgba->Pixels()[i], expected[i]) << "pixel " << i;

    TestBitmap palette(1, 1, true);
    ASSERT_EQ(LICE_ReadPngResource(lice_platform::MainModule(), kPaletteResource, &palette), &palette);
    const Image img = palette.Snapshot();
    const LICE_ColorWord white = 0x00FFFFFF, black = 0x80000000, red = 0xFFFF0000, blue = 0xFF0000FF;
    EXPECT_EQ(img.at(0, 0), white);
    EXPECT_EQ(img.at(1, 0), black);
    EXPECT_EQ(img.at(3, 0), blue);
    EXPECT_EQ(img.at(2, 1), black);
    EXPECT_EQ(img.at(0, 2), red);
    EXPECT_EQ(img.at(4, 2), black);
}

TEST(PngResource, MissingShortOrMissignedResourcesGiveNull)
{
    EXPECT_EQ(LICE_ReadPngResource(lice_platform::MainModule(), 999, nullptr), nullptr);
    EXPECT_EQ(LICE_ReadPngResource(lice_platform::MainModule(), kShortResource, nullptr), nullptr);
    EXPECT_EQ(LICE_ReadPngResource(lice_platform::MainModule(), kBadSignatureResource, nullptr), nullptr);
}

// --- Bad data -----------------------------------------------------------------------------------

// The offset just past the last IDAT chunk: any cut before it loses image data.
size_t EndOfImageData(const std::vector<unsigned char>& png)
{
    size_t pos = 8, end = 0;
    while (pos + 8 <= png.size()) {
        const size_t length =
            (size_t{png[pos]} << 24) | (size_t{png[pos + 1]} << 16) | (size_t{png[pos + 2]} << 8) | png[pos + 3];
        if (memcmp(&png[pos + 4], "IDAT", 4) == 0) end = pos + 12 + length;
        pos += 12 + length;
    }
    return end;
}

TEST(PngBadData, TruncatedImagesGiveNull)
{
    for (const ImageKind& kind : {ImageKind{PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false, 30, 20},
                                  ImageKind{PNG_COLOR_TYPE_PALETTE, 4, true, true, 30, 20}}) {
        const std::vector<unsigned char> bytes = Encode(MakeSource(kind, 3));
        const size_t end = EndOfImageData(bytes);
        ASSERT_GT(end, 0u);
        for (size_t n = 0; n < end; ++n) {
            EXPECT_EQ(LICE_ReadPngMemory(bytes.data(), n, nullptr), nullptr) << Name(kind) << " cut at " << n;
            // A caller's target survives a failed load (and is not deleted).
            TestBitmap target(2, 2);
            EXPECT_EQ(LICE_ReadPngMemory(bytes.data(), n, &target), nullptr);
        }
        const std::string path = TempPath("truncated.png");
        ASSERT_TRUE(
            WriteFile(path, std::vector<unsigned char>(bytes.begin(), bytes.begin() + static_cast<long>(end) - 5)));
        EXPECT_EQ(LICE_ReadPngFile(path.c_str(), nullptr), nullptr);
        remove(path.c_str());
    }
}

TEST(PngBadData, WrongSignatureOrAbsurdSizeGivesNull)
{
    std::vector<unsigned char> bytes = Encode(MakeSource({PNG_COLOR_TYPE_GRAY, 8, false, false}, 1));
    std::vector<unsigned char> bad = bytes;
    bad[1] = 'Q';
    EXPECT_EQ(LICE_ReadPngMemory(bad.data(), bad.size(), nullptr), nullptr);
    EXPECT_EQ(LICE_ReadPngMemory(bytes.data(), 7, nullptr), nullptr);
    EXPECT_EQ(LICE_ReadPngMemory(nullptr, 100, nullptr), nullptr);

    // Headers claiming sizes past LICE_kMaxDimension fail before any pixel memory is wanted.
    for (png_uint_32 w : {static_cast<png_uint_32>(LICE_kMaxDimension + 1), 1000000u}) {
        Source src = MakeSource({PNG_COLOR_TYPE_GRAY, 8, false, false, 4, 4}, 1);
        std::vector<unsigned char> big = Encode(src);
        // IHDR width at bytes 16..19, its CRC at 29..32.
        for (int i = 0; i < 4; ++i) big[16 + i] = static_cast<unsigned char>(w >> (24 - 8 * i));
        const uLong crc = crc32(crc32(0, nullptr, 0), &big[12], 17);
        for (int i = 0; i < 4; ++i) big[29 + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
        EXPECT_EQ(LICE_ReadPngMemory(big.data(), big.size(), nullptr), nullptr) << w;
    }
}

// A target that will not take the image's size.
class FixedBitmap : public TestBitmap {
public:
    FixedBitmap() : TestBitmap(2, 2) {}
    bool Resize(int, int) override { return false; }
};

TEST(PngTarget, ThatCannotTakeTheSizeFailsTheLoad)
{
    const std::vector<unsigned char> bytes = Encode(MakeSource({PNG_COLOR_TYPE_RGB, 8, false, false}, 1));
    FixedBitmap target;
    EXPECT_EQ(LICE_ReadPngMemory(bytes.data(), bytes.size(), &target), nullptr);
    EXPECT_EQ(target.Width(), 2);
}

// --- Files by name ------------------------------------------------------------------------------

TEST(PngByName, ChecksTheExtensionOnlyWhenAsked)
{
    const std::vector<unsigned char> bytes = Encode(MakeSource({PNG_COLOR_TYPE_RGB, 8, false, false}, 2));
    for (const char* name : {"a.PNG.bak", "b.PnG", "c_png", "d.png"}) ASSERT_TRUE(WriteFile(TempPath(name), bytes));
    auto load = [](const char* name, bool check) {
        std::unique_ptr<LICE_IBitmap> bmp(LICE_ReadPngByName(TempPath(name).c_str(), check, nullptr));
        return bmp != nullptr;
    };
    EXPECT_FALSE(load("a.PNG.bak", true));
    EXPECT_TRUE(load("a.PNG.bak", false));
    EXPECT_TRUE(load("b.PnG", true));
    EXPECT_FALSE(load("c_png", true));
    EXPECT_TRUE(load("d.png", true));
    EXPECT_FALSE(load("missing.png", true));
    EXPECT_EQ(LICE_ReadPngByName(nullptr, true, nullptr), nullptr);
    for (const char* name : {"a.PNG.bak", "b.PnG", "c_png", "d.png"}) remove(TempPath(name).c_str());
}

TEST(PngByName, IsRegisteredAsAnImageLoader)
{
    ASSERT_NE(LICE_ImageLoaderList, nullptr);
    const LICE_ImageLoaderRecord* rec = LICE_ImageLoaderList;
    while (rec && rec->loadfunc != LICE_ReadPngByName) rec = rec->next;
    ASSERT_NE(rec, nullptr);
    const char* filter = rec->get_extlist();
    EXPECT_STREQ(filter, "PNG files (*.PNG)");
    EXPECT_STREQ(filter + strlen(filter) + 1, "*.PNG");
}

} // namespace
