#pragma once
// A graphics context with no drawing or window layer: it records what it is asked to draw and
// present, so tests can drive the editor framework and see what a repaint would touch.

#include "editor/IGraphics.h"

#include <string>
#include <vector>

class NullGraphics : public IGraphics {
public:
    struct Blit {
        const LICE_IBitmap* bitmap;
        IRect dest;
        int srcX, srcY;
        float weight;
    };

    NullGraphics(IParamOwner* owner, int width, int height, std::vector<std::string>* log = nullptr, int fps = 30)
        : IGraphics(owner, width, height, fps), m_log(log)
    {
    }
    ~NullGraphics() override
    {
        if (m_log) m_log->push_back("editor destroyed");
    }

    std::vector<Blit> blits;
    std::vector<IRect> presented;
    std::vector<std::string> texts;
    std::vector<std::string> prompts;

    void PrepareDrawing() override
    {
        if (m_log) m_log->push_back("prepare");
    }
    bool PresentToScreen(const IRect& rect) override
    {
        presented.push_back(rect);
        return true;
    }
    bool DrawBitmapRegion(const IBitmap& bitmap, const IRect& dest, int srcX, int srcY,
                          const IChannelBlend* blend) override
    {
        blits.push_back({bitmap.data, dest, srcX, srcY, blend ? blend->weight : 1.0f});
        return true;
    }
    bool DrawBitmapRotated(const IBitmap&, int, int, double, int, const IChannelBlend*) override { return true; }
    bool DrawRotatedMaskedBitmap(const IBitmap&, const IBitmap&, const IBitmap&, int, int, double,
                                 const IChannelBlend*) override
    {
        return true;
    }
    bool DrawPointAt(const IColor&, float, float, const IChannelBlend*, bool) override { return true; }
    bool SetPixelDirect(const IColor&, int, int) override { return true; }
    bool DrawLineSegment(const IColor&, float, float, float, float, const IChannelBlend*, bool) override
    {
        return true;
    }
    bool DrawArcSegment(const IColor&, float, float, float, float, float, const IChannelBlend*, bool) override
    {
        return true;
    }
    bool DrawCircleOutline(const IColor&, float, float, float, const IChannelBlend*, bool) override { return true; }
    bool FillRectangle(const IColor&, const IRect&, const IChannelBlend*) override { return true; }
    bool DrawTextInRect(const IText&, const char* str, const IRect&) override
    {
        texts.emplace_back(str);
        return true;
    }
    IColor ReadPixel(int, int) override { return IColor(); }
    void* GetDrawPixels() override { return nullptr; }
    void PromptUserInput(IControl* control, IParam*) override
    {
        prompts.push_back("prompt " + std::to_string(control->ParamIdx()));
    }
    void HostPath(GrowString* path) override { path->Set(""); }
    void PluginPath(GrowString* path) override { path->Set(""); }
    void PromptForFile(GrowString* file, int, const char*, const char*) override { file->Set(""); }
    bool PromptForColor(IColor*, const char*) override { return false; }
    bool OpenURL(const char*, const char*, const char*, const char*) override { return false; }
    void* OpenWindow(void*) override { return nullptr; }
    void CloseWindow() override {}
    void* GetWindow() override { return nullptr; }
    IBitmap LoadBitmapResource(int id, const char*, int frames) override
    {
        // A stand-in image whose identity is its resource id.
        return IBitmap(reinterpret_cast<LICE_IBitmap*>(static_cast<intptr_t>(id)), 100, 50 * frames, frames);
    }
    IBitmap ScaleBitmapCached(const IBitmap& bitmap, int, int) override { return bitmap; }
    IBitmap CropBitmapCached(const IBitmap& bitmap, const IRect&) override { return bitmap; }
    void HoldBitmap(const IBitmap&) override {}
    void FreeBitmap(const IBitmap&) override {}
    LICE_IBitmap* LoadPlatformBitmap(int, const char*) override { return nullptr; }

private:
    std::vector<std::string>* m_log;
};

// A control that only holds a value, for watching what the plug-in shows its editor.
class ValueControl : public IControl {
public:
    ValueControl(IParamOwner* owner, int paramIdx) : IControl(owner, IRect(0, 0, 10, 10), paramIdx) {}
    bool Draw(IGraphics*) override { return true; }
};
