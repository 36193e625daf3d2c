// The process-wide image caches: one decode per image per process, shared between editors and
// threads, rebuilt after FreeBitmap; and the embedded images, which the drawing layer reads from
// the module it was made for.
#include "HeadlessFixture.h"
#include "editor/GraphicsFactory.h"
#include "raster/LiceEmbedded.h"
#include "raster/LicePng.h"
#include "raster/LicePngWrite.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace {

// The drawing layer with the window operations left empty: whatever it loads, it loads itself.
class BareDrawingLayer : public IGraphicsLice {
public:
    BareDrawingLayer() : IGraphicsLice(nullptr, 10, 10) {}
    bool PresentToScreen(const IRect&) override { return true; }
    bool DrawTextInRect(const IText&, const char*, const IRect&) override { return true; }
    void PromptUserInput(IControl*, IParam*) override {}
    void HostPath(GrowString*) override {}
    void PluginPath(GrowString*) override {}
    void PromptForFile(GrowString*, int, const char*, const char*) override {}
    bool PromptForColor(IColor*, const char*) override { return false; }
    bool OpenURL(const char*, const char*, const char*, const char*) override { return false; }
    void* OpenWindow(void*) override { return nullptr; }
    void CloseWindow() override {}
    void* GetWindow() override { return nullptr; }
};

#if !defined(_WIN32)
// A table of its own under a module key, as a plug-in binary's would be: id 200 is a 1 x 1 image
// there, unlike the 3 x 2 image 200 of the program's own table.
int g_moduleKey;
std::vector<unsigned char> OnePixelPng()
{
    LICE_MemBitmap pixel(1, 1);
    pixel.Pixels()[0] = 0xFF336699;
    std::vector<unsigned char> png;
    LICE_WritePng(&pixel, true, &png);
    return png;
}
const std::vector<unsigned char> g_keyedPng = OnePixelPng();
const LICE_EmbeddedResource g_keyedEntries[] = {{200, "PNG", g_keyedPng.data(), g_keyedPng.size()}};
LICE_EmbeddedTable g_keyedTable = {&g_moduleKey, g_keyedEntries, 1, nullptr};
struct RegisterKeyedTable {
    RegisterKeyedTable() { LICE_RegisterEmbeddedTable(&g_keyedTable); }
} g_registerKeyedTable;
#endif

// Ids are process-wide, so every test owns its own range.
LICE_MemBitmap* Solid(int w, int h, LICE_ColorWord c)
{
    return MakeImage(w, h, [c](int, int) { return c; });
}

TEST(ImageCache, DecodesOnceAndSharesBetweenEditors)
{
    TestGraphics::Provide(500, [](int) { return Solid(6, 9, 0xFF102030); });
    TestGraphics a(nullptr, 10, 10), b(nullptr, 10, 10);
    const IBitmap first = a.LoadBitmapResource(500, "img/a.png", 3);
    const IBitmap second = b.LoadBitmapResource(500, "img/other-name.png", 1);
    ASSERT_NE(first.data, nullptr);
    EXPECT_EQ(second.data, first.data);
    EXPECT_EQ(TestGraphics::Loads(500), 1);
    // Keyed by id alone: the first request's frame count stays.
    EXPECT_EQ(second.N, 3);
    EXPECT_EQ(second.W, 6);
    EXPECT_EQ(second.H, 9);
    EXPECT_TRUE(IGraphicsLice::IsHeld(first.data));
}

TEST(ImageCache, FreeBitmapForcesReload)
{
    TestGraphics::Provide(501, [](int n) { return Solid(4 + n, 4, 0xFF000000u | static_cast<LICE_ColorWord>(n)); });
    TestGraphics g(nullptr, 10, 10);
    const IBitmap first = g.LoadBitmapResource(501, "x", 1);
    g.FreeBitmap(first);
    EXPECT_FALSE(IGraphicsLice::IsHeld(first.data));
    // Another image is likely to be given the freed address; it must not pass for the freed one.
    TestGraphics::Provide(504, [](int) { return Solid(3, 3, 0xFF777777); });
    const IBitmap other = g.LoadBitmapResource(504, "y", 1);
    const IBitmap again = g.LoadBitmapResource(501, "x", 1);
    EXPECT_EQ(TestGraphics::Loads(501), 2);
    ASSERT_NE(again.data, nullptr);
    EXPECT_EQ(again.W, 6); // the second decode's image, not the freed record
    EXPECT_EQ(ImagePixel(again.data, 0, 0), 0xFF000002u);
    EXPECT_NE(again.data, other.data);
    EXPECT_EQ(g.LoadBitmapResource(501, "x", 1).data, again.data);
    EXPECT_EQ(TestGraphics::Loads(501), 2);
    // Freeing what is not held neither deletes it nor touches the held images.
    LICE_MemBitmap notHeld(2, 2);
    g.FreeBitmap(IBitmap(&notHeld, 2, 2));
    g.FreeBitmap(IBitmap());
    EXPECT_EQ(notHeld.Width(), 2);
    EXPECT_TRUE(IGraphicsLice::IsHeld(again.data));
}

TEST(ImageCache, MissingResourceGivesEmptyBitmap)
{
    TestGraphics g(nullptr, 10, 10);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const IBitmap missing = g.LoadBitmapResource(599, "img/none.png", 2);
        EXPECT_EQ(missing.data, nullptr);
        EXPECT_EQ(missing.W, 0);
        EXPECT_EQ(missing.H, 0);
    }
    // An editor with a missing image still draws its other controls.
    g.PrepareDrawing();
    g.AttachBackground(599, "img/none.png");
    g.OpenWindow(nullptr);
    EXPECT_TRUE(g.Tick());
}

TEST(ImageCache, ThreadsAskingAtOnceGetOneBitmap)
{
    TestGraphics::Provide(502, [](int) { return Solid(32, 32, 0xFF445566); });
    constexpr int kThreads = 4;
    std::vector<LICE_IBitmap*> got(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&got, t] {
            TestGraphics g(nullptr, 10, 10);
            got[static_cast<size_t>(t)] = g.LoadBitmapResource(502, "x", 1).data;
            g.ScaleBitmapCached(g.LoadBitmapResource(502, "x", 1), 8, 8);
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(TestGraphics::Loads(502), 1);
    for (LICE_IBitmap* b : got) EXPECT_EQ(b, got[0]);
}

TEST(ImageCache, ScaleAndCropAreCachedPerSourceAndGeometry)
{
    TestGraphics::Provide(
        503, [](int n) { return MakeImage(8, 6, [n](int x, int y) { return LICE_RGBA(x * 30, y * 40, n, 255); }); });
    TestGraphics g(nullptr, 10, 10);
    const IBitmap src = g.LoadBitmapResource(503, "x", 2);

    const IBitmap crop = g.CropBitmapCached(src, IRect(2, 1, 7, 4));
    ASSERT_NE(crop.data, nullptr);
    EXPECT_EQ(crop.W, 5);
    EXPECT_EQ(crop.H, 3);
    EXPECT_EQ(crop.N, 2);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(ImagePixel(crop.data, x, y), ImagePixel(src.data, x + 2, y + 1)) << x << "," << y;
    EXPECT_EQ(g.CropBitmapCached(src, IRect(2, 1, 7, 4)).data, crop.data);
    EXPECT_NE(g.CropBitmapCached(src, IRect(2, 1, 7, 5)).data, crop.data);

    const IBitmap scaled = g.ScaleBitmapCached(src, 16, 12);
    ASSERT_NE(scaled.data, nullptr);
    EXPECT_EQ(scaled.W, 16);
    EXPECT_EQ(scaled.H, 12);
    EXPECT_EQ(scaled.N, 2);
    EXPECT_EQ(ImagePixel(scaled.data, 0, 0), ImagePixel(src.data, 0, 0));
    EXPECT_EQ(g.ScaleBitmapCached(src, 16, 12).data, scaled.data);
    EXPECT_NE(g.ScaleBitmapCached(src, 16, 13).data, scaled.data);

    // A crop of a reloaded source shows the new pixels, even if the allocator hands the new source
    // the freed one's address.
    g.FreeBitmap(src);
    const IBitmap reloaded = g.LoadBitmapResource(503, "x", 2);
    const IBitmap crop2 = g.CropBitmapCached(reloaded, IRect(2, 1, 7, 4));
    EXPECT_EQ(LICE_GETB(ImagePixel(crop2.data, 0, 0)), 2);
    const IBitmap scaled2 = g.ScaleBitmapCached(reloaded, 16, 12);
    EXPECT_EQ(LICE_GETB(ImagePixel(scaled2.data, 0, 0)), 2);
    // Freeing a derived image rebuilds only it.
    g.FreeBitmap(crop2);
    const IBitmap crop3 = g.CropBitmapCached(reloaded, IRect(2, 1, 7, 4));
    EXPECT_TRUE(IGraphicsLice::IsHeld(crop3.data));
    EXPECT_EQ(ImagePixel(crop3.data, 4, 2), ImagePixel(reloaded.data, 6, 3));
    EXPECT_EQ(TestGraphics::Loads(503), 2);
}

TEST(HeadlessImages, LoadsEmbeddedPngResources)
{
    IGraphicsHeadless g(nullptr, 10, 10);
    LICE_IBitmap* direct = LICE_ReadPngResource(nullptr, 200, nullptr);
    ASSERT_NE(direct, nullptr);
    const IBitmap img = g.LoadBitmapResource(200, "img/rgba.png", 1);
    ASSERT_NE(img.data, nullptr);
    ASSERT_EQ(img.W, direct->Width());
    ASSERT_EQ(img.H, direct->Height());
    for (int y = 0; y < img.H; ++y)
        for (int x = 0; x < img.W; ++x) ASSERT_EQ(ImagePixel(img.data, x, y), ImagePixel(direct, x, y));
    delete direct;
    // A resource that does not decode, and one that does not exist.
    EXPECT_EQ(g.LoadBitmapResource(202, "img/badsig.png", 1).data, nullptr);
    EXPECT_EQ(g.LoadPlatformBitmap(4242, "img/none.png"), nullptr);
}

TEST(DrawingLayerImages, DecodeTheResourceModulesPngsWhateverTheWindowLayer)
{
    BareDrawingLayer g;
    EXPECT_EQ(g.ResourceModule(), PluginModuleHandle());
    std::unique_ptr<LICE_IBitmap> direct(LICE_ReadPngResource(nullptr, 200, nullptr));
    std::unique_ptr<LICE_IBitmap> loaded(g.LoadPlatformBitmap(200, "img/rgba.png"));
    ASSERT_NE(direct, nullptr);
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->Width(), direct->Width());
    ASSERT_EQ(loaded->Height(), direct->Height());
    for (int y = 0; y < direct->Height(); ++y)
        for (int x = 0; x < direct->Width(); ++x)
            ASSERT_EQ(ImagePixel(loaded.get(), x, y), ImagePixel(direct.get(), x, y)) << x << "," << y;
    EXPECT_EQ(g.LoadPlatformBitmap(202, "img/badsig.png"), nullptr);
    EXPECT_EQ(g.LoadPlatformBitmap(4242, "img/none.png"), nullptr);
}

#if !defined(_WIN32)
TEST(DrawingLayerImages, ComeFromThePluginModuleTheContextWasMadeFor)
{
    auto widthOf200 = [](IGraphicsLice& g) {
        std::unique_ptr<LICE_IBitmap> image(g.LoadPlatformBitmap(200, "img/rgba.png"));
        return image ? image->Width() : 0;
    };
    SetPluginModuleHandle(&g_moduleKey);
    BareDrawingLayer plugin;
    SetPluginModuleHandle(nullptr);
    EXPECT_EQ(plugin.ResourceModule(), &g_moduleKey);
    EXPECT_EQ(widthOf200(plugin), 1) << "the plug-in module's image";
    // A headless context made for the program itself reads the program's table.
    IGraphicsHeadless program(nullptr, 10, 10);
    EXPECT_EQ(widthOf200(program), 3);
    plugin.SetResourceModule(nullptr);
    EXPECT_EQ(widthOf200(plugin), 3);
}
#endif

} // namespace
