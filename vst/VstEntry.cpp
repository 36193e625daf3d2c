#include "IPlugVST.h"
#include "PluginFactory.h"

namespace {

IMutex& CreationLock()
{
    static IMutex lock;
    return lock;
}

} // namespace

AEffect* CreateVstEffect(audioMasterCallback host, GraphicsFactory makeGraphics)
{
    MutexLock lock(CreationLock());
    IPlugVST* plug = CreatePlugin(host, makeGraphics);
    if (!plug) return nullptr;
    plug->EnsureOnePreset();
    AEffect* effect = plug->GetAEffect();
    if (effect->numPrograms < 1) effect->numPrograms = 1;
    return effect;
}
