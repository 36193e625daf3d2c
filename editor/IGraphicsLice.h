#pragma once
// The drawing layer of the graphics context: it renders into an off-screen draw bitmap with the
// raster library and hands out images through three process-wide caches.
//
// Images. LoadBitmapResource, ScaleBitmapCached and CropBitmapCached each keep one cache shared by
// every graphics context in the process, guarded by its own lock for the whole lookup-and-build, so
// an image is decoded (or scaled, or cropped) once per process however many editors ask for it and
// from however many threads. A cache entry is valid only while its bitmap is in the process-wide
// held-bitmap list: FreeBitmap deletes the pixels and drops them from that list, and the next
// request builds them again. The resource cache is keyed by id alone, so a later request gets the
// first request's frame count. A resource the platform cannot load gives an empty IBitmap (null
// data): the embedded images always exist, so this is a programming error, but an editor with a
// missing image must still draw everything else.
//
// Drawing. Every drawing operation draws into the draw bitmap made by PrepareDrawing (before it,
// they draw nothing and still return true). Blends map onto raster modes thus: no blend is copy with
// source alpha at weight 1; kBlendReplace is plain copy; kBlendAdditive and kBlendDodge are add
// and dodge with source alpha; anything else is copy with source alpha; the weight is the blend's.
// Image copies are clipped to GetDrawRect(), the rectangle the current Draw repaints.
//
// The images themselves are PNG resources of the resource module, found through the raster
// library's resource lookup, the same way under every window layer.
//
// Still abstract: the window operations (presenting, text, prompts, paths, dialogs, the window
// itself), which a window layer supplies.

#include "IGraphics.h"
#include "raster/LicePlatform.h"
#include "raster/LiceTypes.h"

class LICE_IBitmap;
class LICE_MemBitmap;
class LICE_SysBitmap;

class IGraphicsLice : public IGraphics {
public:
    IGraphicsLice(IParamOwner* owner, int width, int height, int fps = 0);
    // Deletes the draw bitmap, then the scratch bitmap. Cached images stay for the process.
    ~IGraphicsLice() override;

    // Makes the draw bitmap (Width() x Height()) and the scratch bitmap; called again, it resizes
    // the draw bitmap to the current size.
    void PrepareDrawing() override;
    // A draw bitmap that exists follows the editor's new size.
    void ResizeGraphics(int width, int height) override;

    bool DrawBitmapRegion(const IBitmap& bitmap, const IRect& dest, int srcX, int srcY,
                          const IChannelBlend* blend = nullptr) override;
    // The whole image turned by `angleRadians` about its centre, placed with that centre at (cx,
    // cy) (moved by `yOffset` source rows), bilinear.
    bool DrawBitmapRotated(const IBitmap& bitmap, int cx, int cy, double angleRadians, int yOffset = 0,
                           const IChannelBlend* blend = nullptr) override;
    // Composes on the scratch bitmap the base's colour with no coverage, the turned mask added
    // (its alpha builds the coverage) and the turned top image over it, then copies the result to
    // (x, y), clipped to the repainted rectangle.
    bool DrawRotatedMaskedBitmap(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x, int y,
                                 double angleDegrees, const IChannelBlend* blend = nullptr) override;
    // Plots the pixel nearest to (x, y). Points and arcs use only the blend's kernel (add, dodge or
    // copy), never source alpha; `antiAlias` is ignored for points. Points and line ends are held
    // within +-2^30 pixels, and NaN reads as 0 (LICE_ClampPixels).
    bool DrawPointAt(const IColor& color, float x, float y, const IChannelBlend* blend = nullptr,
                     bool antiAlias = false) override;
    // Stores the colour word without blending. Points outside the draw bitmap are ignored.
    bool SetPixelDirect(const IColor& color, int x, int y) override;
    // End points are truncated toward zero.
    bool DrawLineSegment(const IColor& color, float x1, float y1, float x2, float y2,
                         const IChannelBlend* blend = nullptr, bool antiAlias = false) override;
    // Angles in radians, 0 up, growing clockwise.
    bool DrawArcSegment(const IColor& color, float cx, float cy, float r, float startAngle, float endAngle,
                        const IChannelBlend* blend = nullptr, bool antiAlias = false) override;
    bool DrawCircleOutline(const IColor& color, float cx, float cy, float r, const IChannelBlend* blend = nullptr,
                           bool antiAlias = false) override;
    bool FillRectangle(const IColor& color, const IRect& rect, const IChannelBlend* blend = nullptr) override;
    // Transparent black outside the draw bitmap or before PrepareDrawing.
    IColor ReadPixel(int x, int y) override;
    void* GetDrawPixels() override;
    // Unblended stores along one column or row, ends included and clamped to the draw bitmap;
    // nothing when the ends are reversed.
    bool DrawVerticalSpan(const IColor& color, int x, int y1, int y2) override;
    bool DrawHorizontalSpan(const IColor& color, int y, int x1, int x2) override;

    IBitmap LoadBitmapResource(int id, const char* name, int frames = 1) override;
    // Decodes PNG resource `id` of the resource module; the name is not used.
    LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) override;
    IBitmap ScaleBitmapCached(const IBitmap& bitmap, int width, int height) override;
    IBitmap CropBitmapCached(const IBitmap& bitmap, const IRect& rect) override;
    void HoldBitmap(const IBitmap& bitmap) override;
    void FreeBitmap(const IBitmap& bitmap) override;

    // The draw bitmap, or null before PrepareDrawing. Window layers present it; tests read it.
    LICE_IBitmap* GetDrawBitmap() const;

    // The module whose resources the images are. It starts as the plug-in binary's
    // (PluginModuleHandle(), the one MakeGraphics makes contexts for); a headless context takes
    // the module it is made with. Null means the running program's own resources.
    LICE_Module ResourceModule() const { return m_resourceModule; }
    void SetResourceModule(LICE_Module module) { m_resourceModule = module; }

    // The raster mode word and weight a blend draws bitmaps, lines, circles and fills with.
    static int BlendMode(const IChannelBlend* blend);
    static float BlendWeight(const IChannelBlend* blend) { return blend ? blend->weight : 1.0f; }
    static LICE_ColorWord ColorWord(const IColor& color) { return LICE_RGBA(color.R, color.G, color.B, color.A); }
    // Whether `bitmap` is in the process-wide held-bitmap list.
    static bool IsHeld(const LICE_IBitmap* bitmap);

private:
    // Copies the area of `source` that lands inside `dest` and the repainted rectangle.
    void BlitClipped(LICE_IBitmap* source, const IRect& dest, int srcX, int srcY, const IChannelBlend* blend);

    LICE_SysBitmap* m_drawBitmap = nullptr;
    LICE_MemBitmap* m_scratchBitmap = nullptr;
    LICE_Module m_resourceModule;
};
