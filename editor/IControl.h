#pragma once
// Controls: the rectangles of an editor that draw themselves, hold a normalised value (0..1) and,
// when bound to a parameter, carry the user's changes to the plug-in.
//
// The graphics context owns its controls, routes the pointer to them and asks them to draw. A
// value change marks a control dirty; the next repaint draws it and cleans it. Changes that come
// from the plug-in (SetValueFromPlug) or the text-entry popup also set redrawAgain, so the control
// is drawn on two consecutive repaints. Everything runs on the window thread; no control takes a
// lock. A control bound to a parameter reaches it only through its owner (IParamOwner).

#include "IGraphicsTypes.h"
#include "plugcore/Containers.h"

class IGraphics;
class IParam;
class IParamOwner;

class IControl {
public:
    IControl(IParamOwner* owner, const IRect& rect, int paramIdx = -1,
             IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendDefault);

    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // ---- Virtual operations, in slot order --------------------------------------------------
    virtual ~IControl() = default;
    // A right click opens the text entry for the bound parameter.
    virtual void OnMouseDown(int x, int y, const IMouseMod& mod);
    virtual void OnMouseUp(int /*x*/, int /*y*/) {}
    virtual void OnMouseDrag(int /*x*/, int /*y*/, int /*dX*/, int /*dY*/, const IMouseMod& /*mod*/) {}
    // Restores the first value the plug-in pushed, once there is one.
    virtual void OnMouseDblClick(int x, int y, const IMouseMod& mod);
    // 0.01 per notch, 0.001 with Shift or Control.
    virtual void OnMouseWheel(int x, int y, const IMouseMod& mod, int delta);
    virtual void SpareMouseEvent(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
    virtual void OnMouseOver(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
    virtual void OnMouseOut() {}
    virtual bool Draw(IGraphics* graphics) = 0;
    virtual void SetValueFromPlug(double value);
    virtual void Hide(bool hide);
    virtual void GrayOut(bool gray);
    virtual bool IsHit(int x, int y) const;
    // Clamps the value, marks the control for redraw, and with `push` hands the value to the
    // plug-in: the only path from a control to a parameter.
    virtual void SetDirty(bool push = true);
    virtual void SetClean();
    virtual bool IsDirty() const { return m_dirty; }
    virtual void SpareHook() {}

    // ---- Plain operations ---------------------------------------------------------------------
    // Opens the text entry for the bound parameter, unless prompting is disabled or the control
    // is in no graphics context.
    void PromptUserInput();
    // The text entry's result.
    void SetValueFromUserInput(double value);

    // Set when the control is attached to a graphics context.
    void SetGraphics(IGraphics* graphics) { m_graphics = graphics; }
    IGraphics* GetGraphics() const { return m_graphics; }
    IParamOwner* GetOwner() const { return m_owner; }
    int ParamIdx() const { return m_paramIdx; }
    void SetParamIdx(int idx) { m_paramIdx = idx; }
    const IRect& GetRECT() const { return m_rect; }
    void SetRECT(const IRect& rect) { m_rect = rect; }
    const IRect& GetTargetRECT() const { return m_targetRect; }
    void SetTargetRECT(const IRect& rect) { m_targetRect = rect; }
    double GetValue() const { return m_value; }
    void SetValue(double value) { m_value = value; }
    double GetDefaultValue() const { return m_defaultValue; }
    bool IsHidden() const { return m_hidden; }
    bool IsGrayed() const { return m_grayed; }
    bool GetDisablePrompt() const { return m_disablePrompt; }
    void SetDisablePrompt(bool disable) { m_disablePrompt = disable; }
    const IChannelBlend& GetBlend() const { return m_blend; }

protected:
    // SetDirty(true) for a change made outside a press of this control (wheel, double click, typed
    // value): such a change is an edit gesture of its own, begun and ended around it.
    void PushAsGesture();
    // The value clamped as SetDirty clamps it.
    double Clamped(double value) const
    {
        return value < m_clampLo ? m_clampLo : (value > m_clampHi ? m_clampHi : value);
    }

    IParamOwner* m_owner;
    IGraphics* m_graphics = nullptr;
    IRect m_rect;
    IRect m_targetRect;
    int m_paramIdx;
    double m_value = 0.0;
    double m_defaultValue = -1.0;
    double m_clampLo = 0.0;
    double m_clampHi = 1.0;
    bool m_dirty = true;
    bool m_hidden = false;
    bool m_grayed = false;
    bool m_redrawAgain = false;
    bool m_disablePrompt = false;
    IChannelBlend m_blend;
};

// One frame of a vertical image strip, chosen by the value.
class IBitmapControl : public IControl {
public:
    IBitmapControl(IParamOwner* owner, int x, int y, int paramIdx, const IBitmap& bitmap,
                   IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendDefault);
    bool Draw(IGraphics* graphics) override;
    const IBitmap& GetBitmap() const { return m_bitmap; }

protected:
    IBitmap m_bitmap;
};

// A left click steps the value through the strip's frames and wraps to the first.
class ISwitchControl : public IBitmapControl {
public:
    using IBitmapControl::IBitmapControl;
    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
};

// A drag turns the value: the full range takes `gearing` times the control's height (or width).
class IKnobControl : public IControl {
public:
    enum EDirection { kVertical = 0, kHorizontal = 1 };
    IKnobControl(IParamOwner* owner, const IRect& rect, int paramIdx, int direction = kVertical, double gearing = 4.0);
    void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;

protected:
    int m_direction;
    double m_gearing;
};

class IKnobMultiControl : public IKnobControl {
public:
    IKnobMultiControl(IParamOwner* owner, int x, int y, int paramIdx, const IBitmap& bitmap, int direction = kVertical,
                      double gearing = 4.0);
    bool Draw(IGraphics* graphics) override;

protected:
    IBitmap m_bitmap;
};

// A switch drawn only while on (value >= 0.5). While off only `targetArea` takes the pointer.
class IBitmapOverlayControl : public ISwitchControl {
public:
    IBitmapOverlayControl(IParamOwner* owner, int x, int y, int paramIdx, const IBitmap& bitmap,
                          const IRect& targetArea,
                          IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendDefault);
    bool Draw(IGraphics* graphics) override;

protected:
    IRect m_targetArea;
};

class ITextControl : public IControl {
public:
    ITextControl(IParamOwner* owner, const IRect& rect, const IText& textStyle, const char* text);
    bool Draw(IGraphics* graphics) override;
    void SetTextFromPlug(const char* text);
    const char* GetText() const { return m_text.Get(); }
    const IText& GetTextStyle() const { return m_textStyle; }

protected:
    IText m_textStyle;
    GrowString m_text;
};

// The frame (counted from 1) that a strip of `frames` frames shows for a normalised value.
int FrameForValue(double value, int frames);
