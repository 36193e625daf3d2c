#include "IGraphics.h"

#include "plugcore/IParam.h"

#include <cmath>
#include <cstdlib>
#include <new>

IGraphics::IGraphics(IParamOwner* owner, int width, int height, int fps)
    : m_owner(owner), m_width(width), m_height(height), m_fps(fps > 0 ? fps : 24)
{
    const int n = owner ? owner->NParams() : 0;
    if (n > 0) {
        m_noted.reset(new (std::nothrow) NotedValue[static_cast<size_t>(n)]);
        if (m_noted) m_nNoted = n;
    }
}

IGraphics::~IGraphics() { m_controls.Empty(true); }

int IGraphics::AttachControl(IControl* control)
{
    if (!control) return -1;
    if (!m_controls.Add(control)) {
        delete control;
        return -1;
    }
    control->SetGraphics(this);
    return m_controls.GetSize() - 1;
}

void IGraphics::AttachBackground(int id, const char* name)
{
    const IBitmap bitmap = LoadBitmapResource(id, name, 1);
    auto* background = new IBitmapControl(m_owner, 0, 0, -1, bitmap, IChannelBlend::kBlendReplace);
    if (!m_controls.Insert(0, background)) {
        delete background;
        return;
    }
    background->SetGraphics(this);
    // Indices shifted by one.
    if (m_mouseCapture >= 0) ++m_mouseCapture;
    if (m_pressSeen && m_pressedControl >= 0) ++m_pressedControl;
}

void IGraphics::ResizeGraphics(int width, int height)
{
    m_width = width;
    m_height = height;
    ReleaseMouseCapture();
    EndGesture();
    m_pressSeen = false;
    m_controls.Empty(true);
    if (m_owner) m_owner->UpdateEditorSize(width, height);
}

void IGraphics::OnParamChange(int paramIdx, double normalizedValue)
{
    if (paramIdx < 0 || paramIdx >= m_nNoted) return;
    NotedValue& noted = m_noted[static_cast<size_t>(paramIdx)];
    noted.value.store(normalizedValue, std::memory_order_relaxed);
    // Published after the value: whoever sees the flag sees this value or a later one.
    noted.changed.store(true, std::memory_order_release);
}

void IGraphics::ShowParamChanges()
{
    for (int i = 0; i < m_nNoted; ++i) {
        NotedValue& noted = m_noted[static_cast<size_t>(i)];
        if (noted.changed.exchange(false, std::memory_order_acquire))
            SetParameterFromPlug(i, noted.value.load(std::memory_order_relaxed), true);
    }
}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
    if (!normalized) {
        const IParam* param = m_owner ? m_owner->GetParam(paramIdx) : nullptr;
        if (!param) return;
        value = param->GetNormalizedValue(value);
    }
    IControl* const* controls = m_controls.GetList();
    for (int i = 0; i < NControls(); ++i)
        if (controls[i]->ParamIdx() == paramIdx) controls[i]->SetValueFromPlug(value);
}

bool IGraphics::IsDirty(IRect* rect)
{
    ShowParamChanges();
    bool dirty = false;
    IControl* const* controls = m_controls.GetList();
    for (int i = 0; i < NControls(); ++i) {
        if (controls[i]->IsDirty()) {
            *rect = rect->Union(controls[i]->GetRECT());
            dirty = true;
        }
    }
    return dirty;
}

bool IGraphics::Draw(const IRect& rect)
{
    if (!NControls()) return true;
    m_drawRect = rect;
    IControl* const* controls = m_controls.GetList();
    for (int i = 0; i < NControls(); ++i) {
        IControl* control = controls[i];
        if (!control->IsHidden() && rect.Intersects(control->GetRECT())) control->Draw(this);
        control->SetClean();
    }
    return PresentToScreen(rect);
}

void IGraphics::SetAllControlsDirty()
{
    for (int i = 0; i < NControls(); ++i) m_controls.GetList()[i]->SetDirty(false);
}

bool IGraphics::DrawBitmapFrame(const IBitmap& bitmap, const IRect& rect, int frame, const IChannelBlend* blend)
{
    int srcY = 0;
    if (bitmap.N >= 2 && frame >= 2) {
        // Truncating after adding a half is the row rule the image strips are laid out by.
        const double row = static_cast<double>(bitmap.H) * (frame - 1) / bitmap.N;
        srcY = static_cast<int>(row + 0.5); // NOLINT(bugprone-incorrect-roundings)
    }
    return DrawBitmapRegion(bitmap, rect, 0, srcY, blend);
}

bool IGraphics::DrawVerticalSpan(const IColor& color, int x, int y1, int y2)
{
    const IChannelBlend replace(IChannelBlend::kBlendReplace, 1.0f);
    return DrawLineSegment(color, static_cast<float>(x), static_cast<float>(y1), static_cast<float>(x),
                           static_cast<float>(y2), &replace, false);
}

bool IGraphics::DrawHorizontalSpan(const IColor& color, int y, int x1, int x2)
{
    const IChannelBlend replace(IChannelBlend::kBlendReplace, 1.0f);
    return DrawLineSegment(color, static_cast<float>(x1), static_cast<float>(y), static_cast<float>(x2),
                           static_cast<float>(y), &replace, false);
}

// ---- Pointer --------------------------------------------------------------------------------------

int IGraphics::GetMouseControlIdx(int x, int y) const
{
    if (m_mouseCapture >= 0) return m_mouseCapture;
    IControl* const* controls = m_controls.GetList();
    for (int i = NControls() - 1; i >= 0; --i) {
        const IControl* control = controls[i];
        if (!control->IsHidden() && !control->IsGrayed() && control->IsHit(x, y)) return i;
    }
    return -1;
}

void IGraphics::OnMouseDown(int x, int y, const IMouseMod& mod)
{
    ReleaseMouseCapture();
    // A press whose button-up never came (the layer lost it) ends its gesture before a new one.
    EndGesture();
    const int i = GetMouseControlIdx(x, y);
    m_pressSeen = true;
    m_pressedControl = i;
    m_pressX = x;
    m_pressY = y;
    if (i < 0) return;
    m_mouseCapture = i;
    m_mouseX = x;
    m_mouseY = y;
    IControl* control = GetControl(i);
    // The host hears of the gesture before the change the press makes.
    if (control->ParamIdx() >= 0 && m_owner) {
        m_gestureParam = control->ParamIdx();
        m_owner->BeginParamEdit(m_gestureParam);
    }
    control->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(int x, int y)
{
    const int i = GetMouseControlIdx(x, y);
    ReleaseMouseCapture();
    if (IControl* control = GetControl(i)) control->OnMouseUp(x, y);
    // Only a press began a gesture; a button-up without one (after a double click, or from a
    // press elsewhere) has nothing to end.
    EndGesture();
}

void IGraphics::EndGesture()
{
    if (m_gestureParam < 0) return;
    const int param = m_gestureParam;
    m_gestureParam = -1;
    if (m_owner) m_owner->EndParamEdit(param);
}

bool IGraphics::InGesture(const IControl* control) const
{
    return m_gestureParam >= 0 && control && GetControl(m_mouseCapture) == control;
}

void IGraphics::CancelMouseCapture()
{
    if (m_mouseCapture >= 0)
        OnMouseUp(m_mouseX, m_mouseY);
    else
        EndGesture();
}

void IGraphics::OnMouseDrag(int x, int y, const IMouseMod& mod)
{
    IControl* control = GetControl(m_mouseCapture);
    if (!control) return;
    const int dX = x - m_mouseX, dY = y - m_mouseY;
    if (dX == 0 && dY == 0) return;
    m_mouseX = x;
    m_mouseY = y;
    control->OnMouseDrag(x, y, dX, dY, mod);
}

void IGraphics::OnMouseDblClick(int x, int y, const IMouseMod& mod)
{
    ReleaseMouseCapture();
    EndGesture();
    const int i = GetMouseControlIdx(x, y);
    // The press of this double click went to another control, which may have changed what lies
    // under the pointer (a panel that hides itself): the click was not meant for what is there now.
    const int kSlop = 4;
    const bool samePlace =
        m_pressSeen && m_pressX - kSlop <= x && x <= m_pressX + kSlop && m_pressY - kSlop <= y && y <= m_pressY + kSlop;
    if (samePlace && m_pressedControl != i) return;
    if (IControl* control = GetControl(i)) control->OnMouseDblClick(x, y, mod);
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseMod& mod, int delta)
{
    if (IControl* control = GetControl(GetMouseControlIdx(x, y))) control->OnMouseWheel(x, y, mod, delta);
}

bool IGraphics::OnMouseOver(int x, int y, const IMouseMod& mod)
{
    if (!m_handleMouseOver) return false;
    const int i = GetMouseControlIdx(x, y);
    if (i >= 0) {
        m_mouseX = x;
        m_mouseY = y;
        GetControl(i)->OnMouseOver(x, y, mod);
        if (m_mouseOver >= 0 && m_mouseOver != i)
            if (IControl* previous = GetControl(m_mouseOver)) previous->OnMouseOut();
        m_mouseOver = i;
    }
    return m_handleMouseOver;
}

void IGraphics::OnMouseOut()
{
    for (int i = 0; i < NControls(); ++i) m_controls.GetList()[i]->OnMouseOut();
    m_mouseOver = -1;
}

double IGraphics::ValueFromUserText(const IParam& param, const char* text)
{
    if (param.Type() == IParam::kTypeBool || param.Type() == IParam::kTypeEnum) {
        int chosen = 0;
        param.MapDisplayText(text, &chosen);
        return chosen;
    }
    double value = strtod(text, nullptr);
    // "nan" and "inf" are numbers to strtod but not to a user.
    if (std::isnan(value)) value = 0.0;
    // The user typed what the value text shows.
    return param.NegateDisplay() ? -value : value;
}
