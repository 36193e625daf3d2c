#include "Win32Resources.h"

#include <atomic>
#include <mutex>

namespace {

// Hosts normally keep every editor on one thread, but nothing stops two editors of one process
// from living on different ones; the ledger must not race then.
std::atomic<long> g_made[kNumWin32Resources];
std::atomic<long> g_freed[kNumWin32Resources];
std::mutex g_handlesLock;
std::vector<Win32GdiHandle> g_handles;
// A cap keeps a long-lived host's ledger small; tests clear it well before.
const std::size_t kMaxRemembered = 4096;

} // namespace

Win32ResourceCounts GetWin32ResourceCounts()
{
    Win32ResourceCounts counts;
    for (int i = 0; i < kNumWin32Resources; ++i) {
        counts.made[i] = g_made[i].load();
        counts.freed[i] = g_freed[i].load();
    }
    return counts;
}

std::vector<Win32GdiHandle> GetWin32GdiHandles()
{
    const std::lock_guard<std::mutex> hold(g_handlesLock);
    return g_handles;
}

void ClearWin32GdiHandles()
{
    const std::lock_guard<std::mutex> hold(g_handlesLock);
    g_handles.clear();
}

void NoteWin32Made(EWin32Resource kind, void* gdiHandle)
{
    ++g_made[kind];
    NoteWin32Handle(kind, gdiHandle);
}

void NoteWin32Handle(EWin32Resource kind, void* gdiHandle)
{
    if (!gdiHandle) return;
    const std::lock_guard<std::mutex> hold(g_handlesLock);
    if (g_handles.size() < kMaxRemembered) g_handles.push_back(Win32GdiHandle{kind, gdiHandle});
}

void NoteWin32Freed(EWin32Resource kind) { ++g_freed[kind]; }
