#pragma once
// A ledger of what the X11 window layer makes on the server and in the process: display
// connections, windows, graphics contexts, pixmaps and its repaint threads. Leak checks compare
// it with what the server itself reports (XQueryTree, the X-Resource extension). It only counts;
// nothing in the layer reads it back. Safe from any thread.

enum EX11Resource {
    kX11Connection = 0, // one per open editor
    kX11Window,         // the editor window, the value list and the text-entry box
    kX11GC,             // the graphics contexts images are put with
    kX11Pixmap,
    kX11Thread, // the repaint thread that stands in for a host that sends no idle calls
    kNumX11Resources
};

struct X11ResourceCounts {
    long made[kNumX11Resources] = {};
    long freed[kNumX11Resources] = {};
    long Live(EX11Resource kind) const { return made[kind] - freed[kind]; }
};

X11ResourceCounts GetX11ResourceCounts();
void NoteX11Made(EX11Resource kind);
void NoteX11Freed(EX11Resource kind);
