// VSTPluginMain for programs that build the effect in (tests, tools, benchmarks): the same entry
// as the plug-in binary's, with the headless editor handed in.
#include "vst/PluginFactory.h"

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback)
{
    return CreateVstEffect(hostCallback, MakeHeadlessGraphics);
}
