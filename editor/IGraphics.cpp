#include "IGraphics.h"

#include "plugcore/IPlugBase.h"

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int fps)
    : m_plug(plug), m_width(width), m_height(height), m_fps(fps > 0 ? fps : 24)
{
}

IGraphics::~IGraphics() { m_controls.Empty(true); }

int IGraphics::AttachControl(IControl* control)
{
    if (!m_controls.Add(control)) {
        delete control;
        return -1;
    }
    return m_controls.GetSize() - 1;
}

void IGraphics::AttachBackground(int id, const char* name)
{
    const IBitmap bitmap = LoadBitmapResource(id, name, 1);
    auto* background = new IBitmapControl(m_plug, 0, 0, -1, bitmap, IChannelBlend::kBlendReplace);
    if (!m_controls.Insert(0, background)) delete background;
}

void IGraphics::ResizeGraphics(int width, int height)
{
    m_width = width;
    m_height = height;
    ReleaseMouseCapture();
    m_controls.Empty(true);
    if (m_plug) m_plug->UpdateEditorSize(width, height);
}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
    if (!normalized) {
        const IParam* param = m_plug ? m_plug->GetParam(paramIdx) : nullptr;
        if (!param) return;
        value = param->GetNormalizedValue(value);
    }
    IControl* const* controls = m_controls.GetList();
    for (int i = 0; i < NControls(); ++i)
        if (controls[i]->ParamIdx() == paramIdx) controls[i]->SetValueFromPlug(value);
}

bool IGraphics::IsDirty(IRect* rect) const
{
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
    const int i = GetMouseControlIdx(x, y);
    if (i < 0) return;
    m_mouseCapture = i;
    m_mouseX = x;
    m_mouseY = y;
    IControl* control = GetControl(i);
    control->OnMouseDown(x, y, mod);
    // The control may have been removed by what the click did (a resize); ask again.
    if (GetControl(i) == control && control->ParamIdx() >= 0 && m_plug) m_plug->BeginParamEdit(control->ParamIdx());
}

void IGraphics::OnMouseUp(int x, int y)
{
    const int i = GetMouseControlIdx(x, y);
    ReleaseMouseCapture();
    IControl* control = GetControl(i);
    if (!control) return;
    control->OnMouseUp(x, y);
    if (control->ParamIdx() >= 0 && m_plug) m_plug->EndParamEdit(control->ParamIdx());
}

void IGraphics::CancelMouseCapture()
{
    if (m_mouseCapture >= 0) OnMouseUp(m_mouseX, m_mouseY);
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
    if (IControl* control = GetControl(GetMouseControlIdx(x, y))) control->OnMouseDblClick(x, y, mod);
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
