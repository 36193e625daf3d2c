#include "X11Resources.h"

#include <atomic>

namespace {

// Editors may live on different threads, and the repaint thread notes its own end.
std::atomic<long> g_made[kNumX11Resources];
std::atomic<long> g_freed[kNumX11Resources];

} // namespace

X11ResourceCounts GetX11ResourceCounts()
{
    X11ResourceCounts counts;
    for (int i = 0; i < kNumX11Resources; ++i) {
        counts.made[i] = g_made[i].load();
        counts.freed[i] = g_freed[i].load();
    }
    return counts;
}

void NoteX11Made(EX11Resource kind) { ++g_made[kind]; }

void NoteX11Freed(EX11Resource kind) { ++g_freed[kind]; }
