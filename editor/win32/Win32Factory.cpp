// The window layer of the Windows builds: editors open in a child window of the host's window.
#include "editor/GraphicsFactory.h"
#include "editor/win32/IGraphicsWin32.h"

#include <new>

IGraphics* MakeGraphics(IParamOwner* owner, int width, int height, int fps)
{
    // A null module (a program that links the effect itself) means the program's own resources.
    return new (std::nothrow) IGraphicsWin32(owner, width, height, fps, static_cast<HINSTANCE>(PluginModuleHandle()));
}
