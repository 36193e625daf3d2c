#include "IGraphicsHeadless.h"

#ifdef WAYFARER_HEADLESS_FREETYPE
#include "HeadlessText.h"
#endif

#include "editor/GraphicsFactory.h"
#include "plugcore/Containers.h"
#include "raster/LiceBitmap.h"
#include "raster/LiceDraw.h"

#include <new>

IGraphicsHeadless::IGraphicsHeadless(IParamOwner* owner, int width, int height, int fps, LICE_Module module)
    : IGraphicsLice(owner, width, height, fps)
{
    SetResourceModule(module);
}

void* IGraphicsHeadless::OpenWindow(void*)
{
    if (!m_open) {
        m_open = true;
        SetAllControlsDirty();
    }
    return &m_windowToken;
}

void IGraphicsHeadless::CloseWindow()
{
    CancelMouseCapture();
    m_open = false;
}

void* IGraphicsHeadless::GetWindow() { return m_open ? &m_windowToken : nullptr; }

bool IGraphicsHeadless::Tick()
{
    if (!m_open) return false;
    IRect dirty;
    if (!IsDirty(&dirty)) return false;
    Draw(dirty);
    return true;
}

void IGraphicsHeadless::MouseMove(int x, int y, const IMouseMod& mod)
{
    if ((mod.L || mod.R) && GetMouseCapture() >= 0)
        OnMouseDrag(x, y, mod);
    else
        OnMouseOver(x, y, mod);
}

void IGraphicsHeadless::Click(int x, int y, const IMouseMod& mod)
{
    OnMouseDown(x, y, mod);
    OnMouseUp(x, y);
}

LICE_ColorWord IGraphicsHeadless::PixelAt(int x, int y) { return LICE_ReadPixel(GetDrawBitmap(), x, y); }

IGraphicsHeadless::Prompt IGraphicsHeadless::TakePrompt()
{
    if (m_prompts.empty()) return Prompt{nullptr, nullptr};
    const Prompt prompt = m_prompts.front();
    m_prompts.erase(m_prompts.begin());
    return prompt;
}

bool IGraphicsHeadless::PresentToScreen(const IRect& rect)
{
    m_lastPresented = rect;
    ++m_presentCount;
    return true;
}

bool IGraphicsHeadless::DrawTextInRect(const IText& text, const char* str, const IRect& rect)
{
    m_texts.push_back(TextRequest{str ? str : "", rect});
#ifdef WAYFARER_HEADLESS_FREETYPE
    return HeadlessDrawText(GetDrawBitmap(), text, str, rect);
#else
    static_cast<void>(text);
    return true;
#endif
}

void IGraphicsHeadless::PromptUserInput(IControl* control, IParam* param)
{
    m_prompts.push_back(Prompt{control, param});
}

void IGraphicsHeadless::HostPath(GrowString* path) { path->Set(""); }

void IGraphicsHeadless::PluginPath(GrowString* path) { path->Set(""); }

void IGraphicsHeadless::PromptForFile(GrowString* file, int, const char*, const char*) { file->Set(""); }

bool IGraphicsHeadless::PromptForColor(IColor*, const char*) { return false; }

bool IGraphicsHeadless::OpenURL(const char*, const char*, const char*, const char*) { return false; }

IGraphics* MakeHeadlessGraphics(IParamOwner* owner, int width, int height, int fps)
{
    return new (std::nothrow) IGraphicsHeadless(owner, width, height, fps, PluginModuleHandle());
}
