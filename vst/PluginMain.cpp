// The plug-in binary's exported entry points. Hosts call one of them once per instance they
// create; the editor comes from the window layer this binary links.
#include "PluginFactory.h"

#if defined(_WIN32)
#include <windows.h>
#define WAYFARER_EXPORT
#else
#define WAYFARER_EXPORT __attribute__((visibility("default")))
#endif

extern "C" WAYFARER_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback)
{
    return CreateVstEffect(hostCallback, MakeGraphics);
}

#if !defined(_WIN32)
// Older Linux hosts look for "main". A C++ function cannot be named main, so the symbol is given
// that name directly; Windows builds export the alias through the module definition file.
extern "C" WAYFARER_EXPORT AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback) __asm__("main");
extern "C" AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback) { return VSTPluginMain(hostCallback); }
#endif

#if defined(_WIN32)
// The editor reads its images from this DLL's resources, so the DLL's own handle is kept from the
// moment it is loaded. Nothing else is done here: the loader lock is held.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/)
{
    if (reason == DLL_PROCESS_ATTACH) SetPluginModuleHandle(instance);
    return TRUE;
}
#endif
