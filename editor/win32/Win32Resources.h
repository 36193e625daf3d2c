#pragma once
// A ledger of the window-system resources the Win32 window layer makes and frees: windows, timers,
// window classes, fonts, paint device contexts, and the draw bitmap's memory DC and DIB section.
//
// Windows can report a process's GDI and USER object counts, but Wine's GetGuiResources always
// answers 0, so leak checks under Wine need the layer's own account. The ledger only counts and
// remembers handles; nothing in the layer reads it back, so it changes nothing a host can see.
// Like the layer, it is used on the user-interface thread only.

#include <cstddef>
#include <vector>

enum EWin32Resource {
    kWin32Window = 0,  // the editor window and popups
    kWin32Timer,       // the redraw timer
    kWin32WindowClass, // the editor's window class
    kWin32Font,        // text style fonts and the popup font
    kWin32PaintDC,     // BeginPaint ... EndPaint
    kWin32MemoryDC,    // the draw bitmap's device context (made and freed by the raster library)
    kWin32DIB,         // the draw bitmap's DIB section (likewise)
    kNumWin32Resources
};

struct Win32ResourceCounts {
    long made[kNumWin32Resources] = {};
    long freed[kNumWin32Resources] = {};
    long Live(EWin32Resource kind) const { return made[kind] - freed[kind]; }
};

// A GDI object the layer made or put to use, as it was noted. Tests ask the system whether each
// handle still exists once everything is closed: the draw bitmap's DC and DIB are freed by the
// raster library, after the layer is gone, so only the system can vouch for them.
struct Win32GdiHandle {
    EWin32Resource kind;
    void* handle;
};

Win32ResourceCounts GetWin32ResourceCounts();
std::vector<Win32GdiHandle> GetWin32GdiHandles();
// Forgets the remembered GDI handles (counts stay), so long runs do not grow the list without end.
void ClearWin32GdiHandles();

void NoteWin32Made(EWin32Resource kind, void* gdiHandle = nullptr);
void NoteWin32Freed(EWin32Resource kind);
// Remembers a GDI object that someone else frees (the draw bitmap's DC and DIB); not counted.
void NoteWin32Handle(EWin32Resource kind, void* gdiHandle);
