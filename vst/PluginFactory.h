#pragma once
// The effect this binding serves. The binding declares it and the effect defines it, so the
// binding never names the product.

#include "Vst24.h"
#include "editor/GraphicsFactory.h"
#include "plugcore/Mutex.h"

class IPlugVST;

// A new instance for `host`, whose editor is made by `makeGraphics` (no editor when null). Null
// when the instance cannot be made.
IPlugVST* CreatePlugin(audioMasterCallback host, GraphicsFactory makeGraphics);

// What every VSTPluginMain does, whichever window layer it hands in: instances are made one at a
// time, whatever threads the host uses, and a host always sees at least one program.
AEffect* CreateVstEffect(audioMasterCallback host, GraphicsFactory makeGraphics);
