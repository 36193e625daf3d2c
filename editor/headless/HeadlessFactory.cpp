// The window layer for builds without a window system of their own.
#include "editor/GraphicsFactory.h"
#include "editor/headless/IGraphicsHeadless.h"

#include <new>

IGraphics* MakeGraphics(IPlugBase* plug, int width, int height, int fps)
{
    return new (std::nothrow) IGraphicsHeadless(plug, width, height, fps, PluginModuleHandle());
}

bool GraphicsCanShowWindow() { return false; }
