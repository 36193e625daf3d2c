#pragma once
// Where a plug-in instance gets its editor's graphics context. Each build links exactly one window
// layer, and that layer supplies MakeGraphics: the Win32 window layer in the Windows builds, the
// headless layer elsewhere.

class IGraphics;
class IPlugBase;

// A graphics context of the linked window layer for `plug`, reading its images from the plug-in
// binary's module (PluginModuleHandle()). Null when it cannot be made.
IGraphics* MakeGraphics(IPlugBase* plug, int width, int height, int fps);

// Whether that window layer can put the editor in a host's window. Builds without one still make
// a graphics context (tests and the command-line host draw it), but must not offer the host an
// editor it cannot show.
bool GraphicsCanShowWindow();

// The module the plug-in's image resources are read from: recorded by the binary's load-time entry
// routine on Windows; null otherwise, which means the running program's own resources.
void SetPluginModuleHandle(void* module);
void* PluginModuleHandle();
