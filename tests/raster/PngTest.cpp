#include "RasterModel.h"
#include "raster/LicePng.h"
#include "raster/LicePngWrite.h"

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

std::vector<unsigned char> Encode(const Source& src)
{
    const ImageKind& s = src.kind;
    // Pack the samples as PNG stores them: big-endian 16-bit, sub-byte samples from the high bits.
    const size_t rowBytes = static_cast<size_t>((s.width * src.channels * s.depth + 7) / 8);
    std::vector<unsigned char> rows(rowBytes * static_cast<size_t>(s.height));
    for (int y = 0; y < s.height; ++y) {
        unsigned char* row = rows.data() + static_cast<size_t>(y) * rowBytes;
        for (int i = 0; i < s.width * src.channels; ++i) {
            const int v = src.samples[static_cast<size_t>(y * s.width * src.channels + i)];
            if (s.depth == 16) {
                row[2 * i] = static_cast<unsigned char>(v >> 8);
                row[2 * i + 1] = static_cast<unsigned char>(v);
            } else if (s.depth == 8) {
                row[i] = static_cast<unsigned char>(v);
            } else {
                const int bit = i * s.depth;
                row[bit / 8] = static_cast<unsigned char>(row[bit / 8] | (v << (8 - s.depth - bit % 8)));
            }
        }
    }
    std::vector<unsigned char> palette;
    for (const png_color& c : src.palette) palette.insert(palette.end(), {c.red, c.green, c.blue});

    LICE_PngImage image;
    image.width = s.width;
    image.height = s.height;
    image.colorType = s.colorType;
    image.bitDepth = s.depth;
    image.interlaced = s.interlaced;
    image.rows = rows.data();
    image.rowBytes = rowBytes;
    image.palette = palette.data();
    image.paletteEntries = static_cast<int>(src.palette.size());
    if (s.trns) {
        image.paletteAlpha = src.paletteAlpha.data();
        image.paletteAlphas = static_cast<int>(src.paletteAlpha.size());
        image.transparentColor = src.paletteAlpha.empty();
        const png_color_16& key = src.trnsColor;
        image.transparent[0] = s.colorType == PNG_COLOR_TYPE_GRAY ? key.gray : key.red;
        image.transparent[1] = key.green;
        image.transparent[2] = key.blue;
    }
    std::vector<unsigned char> out;
    EXPECT_TRUE(LICE_WritePng(image, &out));
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

// --- Writing ------------------------------------------------------------------------------------

// The chunk names of a PNG, in order.
std::vector<std::string> Chunks(const std::vector<unsigned char>& png)
{
    std::vector<std::string> names;
    for (size_t pos = 8; pos + 8 <= png.size();) {
        const size_t length =
            (size_t{png[pos]} << 24) | (size_t{png[pos + 1]} << 16) | (size_t{png[pos + 2]} << 8) | png[pos + 3];
        names.emplace_back(reinterpret_cast<const char*>(&png[pos + 4]), 4);
        pos += 12 + length;
    }
    return names;
}

TEST(PngWrite, BitmapsComeBackAsTheyWereInEitherRowOrder)
{
    Rng rng(31);
    const Image img = RandomImage(rng, 13, 6);
    for (bool bottomUp : {false, true}) {
        for (bool alpha : {true, false}) {
            // Padded rows, so that the writer must step by the row span rather than the width.
            const TestBitmap bmp(img, bottomUp, 5);
            std::vector<unsigned char> png;
            ASSERT_TRUE(LICE_WritePng(&bmp, alpha, &png));
            TestBitmap back(1, 1);
            ASSERT_EQ(LICE_ReadPngMemory(png.data(), png.size(), &back), &back);
            Image want = img;
            if (!alpha)
                for (LICE_ColorWord& p : want.px) p |= 0xFF000000;
            SCOPED_TRACE(std::string(bottomUp ? "bottom-up" : "top-down") + (alpha ? ", RGBA" : ", RGB"));
            EXPECT_IMAGE_EQ(want, back.Snapshot());
        }
    }
}

TEST(PngWrite, RecordsNothingButTheImageAndHonoursTheLevel)
{
    // Two runs give the same bytes only if no chunk records the time or place of writing.
    Image img(64, 64, LICE_RGBA(10, 20, 30, 255));
    const TestBitmap bmp(img);
    std::vector<unsigned char> first, second, stored;
    ASSERT_TRUE(LICE_WritePng(&bmp, true, &first, 9));
    ASSERT_TRUE(LICE_WritePng(&bmp, true, &second, 9));
    ASSERT_TRUE(LICE_WritePng(&bmp, true, &stored, 0));
    EXPECT_EQ(first, second);
    EXPECT_EQ(Chunks(first), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_GT(stored.size(), 64u * 64u * 4u) << "level 0 stores the rows uncompressed";
    EXPECT_LT(first.size(), 200u);
}

TEST(PngWrite, FilesAreWrittenWholeOrNotAtAll)
{
    Rng rng(32);
    const Image img = RandomImage(rng, 9, 4);
    const TestBitmap bmp(img, true);
    const std::string path = TempPath("written.png");
    ASSERT_TRUE(LICE_WritePngFile(path.c_str(), &bmp, true));
    TestBitmap back(1, 1);
    ASSERT_EQ(LICE_ReadPngFile(path.c_str(), &back), &back);
    EXPECT_IMAGE_EQ(img, back.Snapshot());
    remove(path.c_str());

    const std::string nowhere = TempPath("missing-folder/written.png");
    EXPECT_FALSE(LICE_WritePngFile(nowhere.c_str(), &bmp, true));
    EXPECT_FALSE(LICE_WritePngFile(nullptr, &bmp, true));
    const TestBitmap empty(0, 0);
    EXPECT_FALSE(LICE_WritePngFile(path.c_str(), &empty, true));
    EXPECT_EQ(fopen(path.c_str(), "rb"), nullptr) << "a failed write leaves no file";
}

TEST(PngWrite, ImagesItCannotDescribeFailWithNothingWritten)
{
    const unsigned char pixels[64] = {};
    const LICE_PngImage good = [&] {
        LICE_PngImage image;
        image.width = 4;
        image.height = 4;
        image.rows = pixels;
        image.rowBytes = 16;
        return image;
    }();
    struct Case {
        const char* what;
        void (*spoil)(LICE_PngImage&);
    };
    const Case cases[] = {
        {"no width", [](LICE_PngImage& i) { i.width = 0; }},
        {"negative height", [](LICE_PngImage& i) { i.height = -1; }},
        {"no rows", [](LICE_PngImage& i) { i.rows = nullptr; }},
        {"rows shorter than the width", [](LICE_PngImage& i) { i.rowBytes = 15; }},
        {"unknown colour type", [](LICE_PngImage& i) { i.colorType = 5; }},
        // These two reach libpng, which refuses them by its error jump.
        {"depth the colour type lacks", [](LICE_PngImage& i) { i.bitDepth = 4; }},
        {"palette image without a palette", [](LICE_PngImage& i) { i.colorType = LICE_PNG_PALETTE; }},
        {"palette entries without data", [](LICE_PngImage& i) { i.paletteEntries = 2; }},
        {"more than 256 palette entries", [](LICE_PngImage& i) { i.paletteEntries = 257; }},
    };
    std::vector<unsigned char> out;
    ASSERT_TRUE(LICE_WritePng(good, &out));
    for (const Case& c : cases) {
        LICE_PngImage image = good;
        c.spoil(image);
        out.assign(3, 0xAB);
        EXPECT_FALSE(LICE_WritePng(image, &out)) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
    }
    EXPECT_FALSE(LICE_WritePng(good, nullptr));
    EXPECT_FALSE(LICE_WritePng(nullptr, true, &out));
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
