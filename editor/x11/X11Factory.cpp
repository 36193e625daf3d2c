// The window layer of the Linux builds: editors open in a child window of the host's X11 window.
#include "editor/GraphicsFactory.h"
#include "editor/x11/IGraphicsX11.h"

#include <new>

IGraphics* MakeGraphics(IParamOwner* owner, int width, int height, int fps)
{
    return new (std::nothrow) IGraphicsX11(owner, width, height, fps, PluginModuleHandle());
}
