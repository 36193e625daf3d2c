#include "IControl.h"

#include "IGraphics.h"
#include "plugcore/IParam.h"
#include "plugcore/ParamOwner.h"

#include <cstring>

// ---- IText ----------------------------------------------------------------------------------------

IText::IText(int size_, const IColor& color_, const char* font_, EStyle style_, EAlign align_, int orientation_)
    : size(size_), color(color_), style(style_), align(align_), orientation(orientation_)
{
    CopyText(font, font_ ? font_ : "Arial", kMaxFontNameLen);
}

IText::IText(const IText& other)
    : size(other.size), color(other.color), style(other.style), align(other.align), orientation(other.orientation)
{
    memcpy(font, other.font, sizeof font);
}

IText& IText::operator=(const IText& other)
{
    if (this == &other) return *this;
    memcpy(font, other.font, sizeof font);
    size = other.size;
    color = other.color;
    style = other.style;
    align = other.align;
    orientation = other.orientation;
    // The old font no longer matches the style; the next draw makes one that does.
    delete fontHandle;
    fontHandle = nullptr;
    return *this;
}

// ---- IControl -------------------------------------------------------------------------------------

IControl::IControl(IParamOwner* owner, const IRect& rect, int paramIdx, IChannelBlend::EBlendMethod blendMethod)
    : m_owner(owner), m_rect(rect), m_targetRect(rect), m_paramIdx(paramIdx), m_blend(blendMethod, 1.0f)
{
}

void IControl::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& mod)
{
    if (mod.R) PromptUserInput();
}

void IControl::OnMouseDblClick(int /*x*/, int /*y*/, const IMouseMod& /*mod*/)
{
    if (m_defaultValue < 0.0 || Clamped(m_defaultValue) == m_value) return;
    m_value = m_defaultValue;
    PushAsGesture();
}

void IControl::OnMouseWheel(int /*x*/, int /*y*/, const IMouseMod& mod, int delta)
{
    // A turn short of a notch, or against a stop, changes nothing and tells nobody.
    const double turned = Clamped(m_value + delta * (mod.C || mod.S ? 0.001 : 0.01));
    if (turned == m_value) return;
    m_value = turned;
    PushAsGesture();
}

void IControl::PushAsGesture()
{
    const bool own = m_owner && m_paramIdx >= 0 && !(m_graphics && m_graphics->InGesture(this));
    if (own) m_owner->BeginParamEdit(m_paramIdx);
    SetDirty(true);
    if (own) m_owner->EndParamEdit(m_paramIdx);
}

void IControl::SetValueFromPlug(double value)
{
    if (m_defaultValue < 0.0) m_defaultValue = value;
    if (value != m_value) {
        m_value = value;
        SetDirty(false);
        m_redrawAgain = true;
    }
}

void IControl::Hide(bool hide)
{
    m_hidden = hide;
    m_redrawAgain = true;
    SetDirty(false);
}

void IControl::GrayOut(bool gray)
{
    m_grayed = gray;
    m_blend.weight = gray ? 0.25f : 1.0f;
    SetDirty(false);
}

bool IControl::IsHit(int x, int y) const { return !m_targetRect.Empty() && m_targetRect.Contains(x, y); }

void IControl::SetDirty(bool push)
{
    if (m_value < m_clampLo)
        m_value = m_clampLo;
    else if (m_value > m_clampHi)
        m_value = m_clampHi;
    m_dirty = true;
    if (push && m_owner && m_paramIdx >= 0) m_owner->SetParameterFromGUI(m_paramIdx, m_value);
}

void IControl::SetClean()
{
    m_dirty = m_redrawAgain;
    m_redrawAgain = false;
}

void IControl::PromptUserInput()
{
    if (m_paramIdx < 0 || m_disablePrompt || !m_owner || !m_graphics) return;
    m_graphics->PromptUserInput(this, m_owner->GetParam(m_paramIdx));
    m_redrawAgain = true;
}

void IControl::SetValueFromUserInput(double value)
{
    if (value != m_value) {
        m_value = value;
        PushAsGesture();
        m_redrawAgain = true;
    }
}

// ---- Image controls -------------------------------------------------------------------------------

int FrameForValue(double value, int frames)
{
    if (frames <= 1) return 1;
    const int f = TruncToInt((frames - 1) * value + 0.5) + 1;
    return f < 1 ? 1 : (f > frames ? frames : f);
}

namespace {
IRect FrameRect(int x, int y, const IBitmap& bitmap) { return IRect(x, y, x + bitmap.W, y + bitmap.FrameHeight()); }
} // namespace

IBitmapControl::IBitmapControl(IParamOwner* owner, int x, int y, int paramIdx, const IBitmap& bitmap,
                               IChannelBlend::EBlendMethod blendMethod)
    : IControl(owner, FrameRect(x, y, bitmap), paramIdx, blendMethod), m_bitmap(bitmap)
{
}

bool IBitmapControl::Draw(IGraphics* graphics)
{
    return graphics->DrawBitmapFrame(m_bitmap, m_rect, FrameForValue(m_value, m_bitmap.N), &m_blend);
}

void ISwitchControl::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& mod)
{
    if (mod.R)
        PromptUserInput();
    else
        m_value += m_bitmap.N > 1 ? 1.0 / (m_bitmap.N - 1) : 1.0;
    // The threshold absorbs the rounding of summed steps.
    if (m_value > 1.001) m_value = 0.0;
    SetDirty(true);
}

IKnobControl::IKnobControl(IParamOwner* owner, const IRect& rect, int paramIdx, int direction, double gearing)
    : IControl(owner, rect, paramIdx), m_direction(direction), m_gearing(gearing)
{
}

void IKnobControl::OnMouseDrag(int /*x*/, int /*y*/, int dX, int dY, const IMouseMod& /*mod*/)
{
    if (m_direction == kVertical)
        m_value += static_cast<double>(dY) / static_cast<double>(m_rect.T - m_rect.B) / m_gearing;
    else
        m_value += static_cast<double>(dX) / static_cast<double>(m_rect.R - m_rect.L) / m_gearing;
    SetDirty(true);
}

IKnobMultiControl::IKnobMultiControl(IParamOwner* owner, int x, int y, int paramIdx, const IBitmap& bitmap,
                                     int direction, double gearing)
    : IKnobControl(owner, FrameRect(x, y, bitmap), paramIdx, direction, gearing), m_bitmap(bitmap)
{
}

bool IKnobMultiControl::Draw(IGraphics* graphics)
{
    return graphics->DrawBitmapFrame(m_bitmap, m_rect, FrameForValue(m_value, m_bitmap.N), &m_blend);
}

IBitmapOverlayControl::IBitmapOverlayControl(IParamOwner* owner, int x, int y, int paramIdx, const IBitmap& bitmap,
                                             const IRect& targetArea, IChannelBlend::EBlendMethod blendMethod)
    : ISwitchControl(owner, x, y, paramIdx, bitmap, blendMethod), m_targetArea(targetArea)
{
}

bool IBitmapOverlayControl::Draw(IGraphics* graphics)
{
    if (m_value < 0.5) {
        m_targetRect = m_targetArea;
        return true;
    }
    m_targetRect = m_rect;
    return IBitmapControl::Draw(graphics);
}

// ---- Text -----------------------------------------------------------------------------------------

ITextControl::ITextControl(IParamOwner* owner, const IRect& rect, const IText& textStyle, const char* text)
    : IControl(owner, rect, -1), m_textStyle(textStyle)
{
    m_text.Set(text);
}

bool ITextControl::Draw(IGraphics* graphics)
{
    if (!m_text.GetLength()) return true;
    return graphics->DrawTextInRect(m_textStyle, m_text.Get(), m_rect);
}

void ITextControl::SetTextFromPlug(const char* text)
{
    if (strcmp(text ? text : "", m_text.Get()) == 0) return;
    m_text.Set(text);
    SetDirty(false);
    m_redrawAgain = true;
}
