#include "Win32Resources.h"

namespace {

Win32ResourceCounts g_counts;
std::vector<Win32GdiHandle> g_handles;
// A cap keeps a long-lived host's ledger small; tests clear it well before.
const std::size_t kMaxRemembered = 4096;

} // namespace

Win32ResourceCounts GetWin32ResourceCounts() { return g_counts; }

std::vector<Win32GdiHandle> GetWin32GdiHandles() { return g_handles; }

void ClearWin32GdiHandles() { g_handles.clear(); }

void NoteWin32Made(EWin32Resource kind, void* gdiHandle)
{
    ++g_counts.made[kind];
    NoteWin32Handle(kind, gdiHandle);
}

void NoteWin32Handle(EWin32Resource kind, void* gdiHandle)
{
    if (gdiHandle && g_handles.size() < kMaxRemembered) g_handles.push_back(Win32GdiHandle{kind, gdiHandle});
}

void NoteWin32Freed(EWin32Resource kind) { ++g_counts.freed[kind]; }
