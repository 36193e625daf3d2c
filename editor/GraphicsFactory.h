#pragma once
// Where a plug-in instance gets its editor: a factory for a graphics context of some window layer,
// handed to the effect when it is made. The plug-in binary hands in the window layer it links
// (MakeGraphics); tests and tools hand in the headless one (MakeHeadlessGraphics).

class IGraphics;
class IParamOwner;

// A graphics context for `owner`, reading its images from the plug-in binary's module
// (PluginModuleHandle()). Null when it cannot be made.
using GraphicsFactory = IGraphics* (*)(IParamOwner* owner, int width, int height, int fps);

// The window layer the build links: Win32 on Windows, headless elsewhere.
IGraphics* MakeGraphics(IParamOwner* owner, int width, int height, int fps);
// The headless layer, wherever it is linked.
IGraphics* MakeHeadlessGraphics(IParamOwner* owner, int width, int height, int fps);

// The module the plug-in's image resources are read from: recorded by the binary's load-time entry
// routine on Windows; null otherwise, which means the running program's own resources.
void SetPluginModuleHandle(void* module);
void* PluginModuleHandle();
