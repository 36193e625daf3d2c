// The plug-in's exported entry point. Hosts call it once per instance they create.
#include "editor/GraphicsFactory.h"
#include "effect/KorFreeWayfarer.h"

#if defined(_WIN32) && defined(WAYFARER_PLUGIN_BINARY)
#include <windows.h>
#endif

#include <new>

namespace {

// Instances are created one at a time, whatever threads the host uses.
IMutex& CreationLock()
{
    static IMutex lock;
    return lock;
}

} // namespace

#if defined(_WIN32)
#define WAYFARER_EXPORT
#else
#define WAYFARER_EXPORT __attribute__((visibility("default")))
#endif

extern "C" WAYFARER_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback)
{
    MutexLock lock(CreationLock());
    KorFreeWayfarer* plug = new (std::nothrow) KorFreeWayfarer(hostCallback);
    if (!plug) return nullptr;
    plug->EnsureOnePreset();
    AEffect* effect = plug->GetAEffect();
    if (effect->numPrograms < 1) effect->numPrograms = 1;
    return effect;
}

#if !defined(_WIN32) && defined(WAYFARER_PLUGIN_BINARY)
// Older Linux hosts look for "main". A C++ function cannot be named main, so the symbol is given
// that name directly; Windows builds export the alias through the module definition file.
extern "C" WAYFARER_EXPORT AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback) __asm__("main");
extern "C" AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback) { return VSTPluginMain(hostCallback); }
#endif

#if defined(_WIN32) && defined(WAYFARER_PLUGIN_BINARY)
// The editor reads its images from this DLL's resources, so the DLL's own handle is kept from the
// moment it is loaded. Nothing else is done here: the loader lock is held.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/)
{
    if (reason == DLL_PROCESS_ATTACH) SetPluginModuleHandle(instance);
    return TRUE;
}
#endif
