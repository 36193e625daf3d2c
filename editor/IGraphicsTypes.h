#pragma once
// Plain records the editor framework passes around: rectangles, colours, text styles, mouse
// modifiers, blends and images. They know nothing of any window system or renderer.

#include <cstdint>

class LICE_IBitmap;

// Editor pixels, y downward; right and bottom exclusive. All zero means empty.
struct IRect {
    int32_t L = 0, T = 0, R = 0, B = 0;

    IRect() = default;
    IRect(int32_t l, int32_t t, int32_t r, int32_t b) : L(l), T(t), R(r), B(b) {}

    bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
    int32_t W() const { return R - L; }
    int32_t H() const { return B - T; }
    bool Contains(int32_t x, int32_t y) const { return x >= L && x < R && y >= T && y < B; }
    bool operator==(const IRect& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
    bool operator!=(const IRect& o) const { return !(*this == o); }

    // Empty rectangles meet nothing. The far edges of `this` count as touching: a rectangle that
    // starts where this one ends still intersects it, so repaints never leave a seam.
    bool Intersects(const IRect& o) const
    {
        if (Empty() || o.Empty()) return false;
        return R >= o.L && L < o.R && B >= o.T && T < o.B;
    }
    // The smallest rectangle holding both; an empty side contributes nothing.
    IRect Union(const IRect& o) const
    {
        if (Empty()) return o;
        if (o.Empty()) return *this;
        return IRect(L < o.L ? L : o.L, T < o.T ? T : o.T, R > o.R ? R : o.R, B > o.B ? B : o.B);
    }
};

struct IColor {
    int32_t A = 255, R = 0, G = 0, B = 0;
    IColor() = default;
    IColor(int32_t a, int32_t r, int32_t g, int32_t b) : A(a), R(r), G(g), B(b) {}
    bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
};

struct IMouseMod {
    bool L = false, R = false, S = false, C = false, A = false;
    IMouseMod() = default;
    IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false) : L(l), R(r), S(s), C(c), A(a) {}
};

struct IChannelBlend {
    enum EBlendMethod { kBlendDefault = 0, kBlendReplace = 1, kBlendAdditive = 2, kBlendDodge = 3 };
    EBlendMethod method = kBlendDefault;
    float weight = 1.0f;
    IChannelBlend() = default;
    explicit IChannelBlend(EBlendMethod m, float w = 1.0f) : method(m), weight(w) {}
};

// A font made for a text style by whoever draws text; the style owns it.
class IFontHandle {
public:
    virtual ~IFontHandle() = default;
};

// A text style. It owns the font made from it, and a copy makes its own (none until drawn).
struct IText {
    enum EStyle { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
    enum EAlign { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
    static const int kMaxFontNameLen = 32;

    char font[kMaxFontNameLen] = "Arial";
    int size = 14;
    IColor color;
    EStyle style = kStyleNormal;
    EAlign align = kAlignCenter;
    int orientation = 0;
    mutable IFontHandle* fontHandle = nullptr;

    IText() = default;
    IText(int size_, const IColor& color_, const char* font_, EStyle style_, EAlign align_, int orientation_ = 0);
    IText(const IText& other);
    IText& operator=(const IText& other);
    ~IText() { delete fontHandle; }
};

// An image handed to controls: frames stacked vertically. The pixels belong to the image caches.
struct IBitmap {
    LICE_IBitmap* data = nullptr;
    int W = 0, H = 0, N = 1;
    IBitmap() = default;
    IBitmap(LICE_IBitmap* d, int w, int h, int n = 1) : data(d), W(w), H(h), N(n) {}
    int FrameHeight() const { return N > 0 ? H / N : H; }
};
