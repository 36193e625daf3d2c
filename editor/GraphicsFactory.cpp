#include "GraphicsFactory.h"

#include <atomic>

namespace {
// Written once while the loader holds its lock, before any instance exists; read by every
// instance's constructor, possibly on other threads.
std::atomic<void*> g_pluginModule{nullptr};
} // namespace

void SetPluginModuleHandle(void* module) { g_pluginModule.store(module, std::memory_order_release); }

void* PluginModuleHandle() { return g_pluginModule.load(std::memory_order_acquire); }
