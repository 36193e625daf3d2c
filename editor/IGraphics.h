#pragma once
// The editor's graphics context as the plug-in base sees it: something that shows parameter
// values, can get ready to draw, and has a size. The drawing framework builds on this class.

class IGraphics {
public:
    virtual ~IGraphics() = default;

    // Shows a parameter's new value in every control bound to it. `value` is normalised when
    // `normalized` is set, else plain.
    virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;
    // Creates the off-screen bitmap the editor draws into.
    virtual void PrepareDrawing() = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Opens the editor as a child of the host's window; returns the new window, or null.
    virtual void* OpenWindow(void* parentWindow) = 0;
    virtual void CloseWindow() = 0;
};
