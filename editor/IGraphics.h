#pragma once
// The editor of one plug-in instance: it owns the controls, knows the editor's size and redraw
// rate, decides what is redrawn and when, routes the pointer to the right control, and carries
// parameter values from the plug-in to the controls that show them.
//
// Three layers make one object: IGraphics (this class: controls, dirty tracking, pointer routing),
// a drawing layer that renders into an off-screen bitmap, and a window layer that shows that
// bitmap in the host's window. Drawing is pulled by the window's timer: each tick asks IsDirty,
// the window system is asked to repaint that rectangle, and the paint handler calls Draw.
//
// Threads: pointer events, the timer, painting and everything that touches a control run on the
// window thread. The plug-in tells the editor of parameter changes (OnParamChange) from whatever
// thread made them; the editor only notes the value in a per-parameter slot, and the next tick
// (IsDirty, which every window layer's timer calls) shows it. The context takes no lock.
//
// Edit gestures reach the owner in the order hosts record them: begin, the changes, end. A press
// on a control bound to a parameter begins one and its button-up ends it; a change made outside a
// press (the wheel, a double click, a typed value) is a gesture of its own, and sends nothing at
// all when the value does not change.

#include "IControl.h"
#include "IGraphicsTypes.h"
#include "plugcore/Containers.h"
#include "plugcore/PlugEditor.h"

#include <atomic>
#include <cstdint>
#include <memory>

class IParam;

class IGraphics : public IPlugEditor {
public:
    IGraphics(IParamOwner* owner, int width, int height, int fps = 0);
    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    // ---- Virtual operations, in slot order (drawing and window layers supply the pure ones) ----
    void PrepareDrawing() override = 0;
    virtual bool PresentToScreen(const IRect& rect) = 0;
    virtual bool DrawBitmapRegion(const IBitmap& bitmap, const IRect& dest, int srcX, int srcY,
                                  const IChannelBlend* blend = nullptr) = 0;
    virtual bool DrawBitmapRotated(const IBitmap& bitmap, int cx, int cy, double angleRadians, int yOffset = 0,
                                   const IChannelBlend* blend = nullptr) = 0;
    virtual bool DrawRotatedMaskedBitmap(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x, int y,
                                         double angleDegrees, const IChannelBlend* blend = nullptr) = 0;
    virtual bool DrawPointAt(const IColor& color, float x, float y, const IChannelBlend* blend = nullptr,
                             bool antiAlias = false) = 0;
    virtual bool SetPixelDirect(const IColor& color, int x, int y) = 0;
    virtual bool DrawLineSegment(const IColor& color, float x1, float y1, float x2, float y2,
                                 const IChannelBlend* blend = nullptr, bool antiAlias = false) = 0;
    virtual bool DrawArcSegment(const IColor& color, float cx, float cy, float r, float startAngle, float endAngle,
                                const IChannelBlend* blend = nullptr, bool antiAlias = false) = 0;
    virtual bool DrawCircleOutline(const IColor& color, float cx, float cy, float r,
                                   const IChannelBlend* blend = nullptr, bool antiAlias = false) = 0;
    virtual bool FillRectangle(const IColor& color, const IRect& rect, const IChannelBlend* blend = nullptr) = 0;
    virtual bool DrawTextInRect(const IText& text, const char* str, const IRect& rect) = 0;
    virtual IColor ReadPixel(int x, int y) = 0;
    virtual void* GetDrawPixels() = 0;
    // Deletes every control and forgets the pointer capture; callers lay the controls out again.
    virtual void ResizeGraphics(int width, int height);
    virtual bool WindowIsOpen() { return GetWindow() != nullptr; }
    virtual void PromptUserInput(IControl* control, IParam* param) = 0;
    virtual void HostPath(GrowString* path) = 0;
    virtual void PluginPath(GrowString* path) = 0;
    virtual void PromptForFile(GrowString* file, int action, const char* directory, const char* extensions) = 0;
    virtual bool PromptForColor(IColor* color, const char* prompt) = 0;
    virtual bool OpenURL(const char* url, const char* title, const char* confirmMsg, const char* errMsg) = 0;
    virtual intptr_t GraphicsExtension(intptr_t /*a*/, intptr_t /*b*/) { return 0; }
    void* OpenWindow(void* parentWindow) override = 0;
    void CloseWindow() override = 0;
    virtual void* GetWindow() = 0;
    ~IGraphics() override;
    virtual IBitmap LoadBitmapResource(int id, const char* name, int frames = 1) = 0;
    virtual IBitmap ScaleBitmapCached(const IBitmap& bitmap, int width, int height) = 0;
    virtual IBitmap CropBitmapCached(const IBitmap& bitmap, const IRect& rect) = 0;
    // The background image: drawn first, hit-tested last.
    virtual void AttachBackground(int id, const char* name);
    virtual bool DrawVerticalSpan(const IColor& color, int x, int y1, int y2);
    virtual bool DrawHorizontalSpan(const IColor& color, int y, int x1, int x2);
    virtual void HoldBitmap(const IBitmap& bitmap) = 0;
    virtual void FreeBitmap(const IBitmap& bitmap) = 0;
    virtual LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) = 0;

    // ---- Controls ------------------------------------------------------------------------------
    // Takes ownership; returns the control's index.
    int AttachControl(IControl* control);
    int NControls() const { return m_controls.GetSize(); }
    IControl* GetControl(int idx) const { return m_controls.Get(idx); }

    IParamOwner* GetOwner() const { return m_owner; }
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    bool CanOpenInHost() const override { return false; }
    int FPS() const { return m_fps; }
    const IRect& GetDrawRect() const { return m_drawRect; }

    // ---- Parameters from the plug-in ----------------------------------------------------------
    // Any thread: notes the value for the next tick. Never blocks or allocates.
    void OnParamChange(int paramIdx, double normalizedValue) override;
    // Window thread: shows every noted value in the controls bound to its parameter.
    void ShowParamChanges() override;
    // Window thread: shows a parameter's value in every control bound to it; a plain value is
    // normalised first.
    void SetParameterFromPlug(int paramIdx, double value, bool normalized);

    // ---- Redraw --------------------------------------------------------------------------------
    // The tick: shows the noted parameter changes, then unites the rectangles of every dirty
    // control into `rect` (pass it empty).
    bool IsDirty(IRect* rect);
    // Draws, in z order, every visible control that touches `rect`, cleans every control, and
    // presents the rectangle.
    bool Draw(const IRect& rect);
    void SetAllControlsDirty();
    // Frame number `frame` (from 1) of a vertical strip, drawn into `rect`.
    bool DrawBitmapFrame(const IBitmap& bitmap, const IRect& rect, int frame, const IChannelBlend* blend = nullptr);

    // ---- Pointer, in window client coordinates -----------------------------------------------
    void OnMouseDown(int x, int y, const IMouseMod& mod);
    void OnMouseUp(int x, int y);
    void OnMouseDrag(int x, int y, const IMouseMod& mod);
    void OnMouseDblClick(int x, int y, const IMouseMod& mod);
    void OnMouseWheel(int x, int y, const IMouseMod& mod, int delta);
    bool OnMouseOver(int x, int y, const IMouseMod& mod);
    void OnMouseOut();
    // The control an event at (x, y) goes to: the capturing one, else the topmost one hit.
    int GetMouseControlIdx(int x, int y) const;
    int GetMouseCapture() const { return m_mouseCapture; }
    // Ends a press whose button-up will never come, because the window closes or another window
    // takes the pointer: the capturing control gets its button-up where the pointer was last seen,
    // and the host the end of the edit gesture it was told had begun.
    void CancelMouseCapture();
    // Whether `control` is pressed and its parameter's edit gesture open.
    bool InGesture(const IControl* control) const;

    // The plain value a user means by `text` typed or chosen in a window layer's popup: a list
    // parameter's display text maps to its index; anything else reads as a number as the value
    // text shows it, and what is not a number is 0.
    static double ValueFromUserText(const IParam& param, const char* text);

protected:
    void ReleaseMouseCapture() { m_mouseCapture = m_mouseX = m_mouseY = -1; }

private:
    // Sent once for the gesture a press began, whatever became of its control.
    void EndGesture();

    // One per parameter: the last value the plug-in told of, and whether it is yet to be shown.
    struct NotedValue {
        std::atomic<double> value{0.0};
        std::atomic<bool> changed{false};
    };

    PointerList<IControl> m_controls;
    IParamOwner* m_owner;
    std::unique_ptr<NotedValue[]> m_noted;
    int m_nNoted = 0;
    int m_gestureParam = -1;
    // Where the last press landed and what it hit: the double click that follows belongs to the
    // same control, even when the press changed what lies under the pointer.
    bool m_pressSeen = false;
    int m_pressedControl = -1;
    int m_pressX = 0;
    int m_pressY = 0;
    IRect m_drawRect;
    int m_width;
    int m_height;
    int m_fps;
    int m_mouseCapture = -1;
    int m_mouseOver = -1;
    int m_mouseX = 0;
    int m_mouseY = 0;
    bool m_handleMouseOver = false;
};
