// The plug-in's exported entry point. Hosts call it once per instance they create.
#include "effect/KorFreeWayfarer.h"

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
