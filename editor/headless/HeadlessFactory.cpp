// The window layer for builds without a window system of their own.
#include "editor/GraphicsFactory.h"

IGraphics* MakeGraphics(IParamOwner* owner, int width, int height, int fps)
{
    return MakeHeadlessGraphics(owner, width, height, fps);
}
