#include "KorISplashScreen.h"

#include "editor/IGraphics.h"

KorISplashScreen::KorISplashScreen(IParamOwner* owner, int x, int y, const IBitmap& bitmap, const IRect& hiddenHitArea)
    : IBitmapOverlayControl(owner, x, y, -1, bitmap, hiddenHitArea), m_hiddenHitArea(hiddenHitArea)
{
}

bool KorISplashScreen::Draw(IGraphics* graphics)
{
    if (m_value < 0.5) {
        m_targetRect = m_hiddenHitArea;
        return true;
    }
    m_targetRect = IRect(0, 0, graphics->Width(), graphics->Height());
    // The overlay's own Draw would reset the hit area to the panel; draw the frame directly.
    return IBitmapControl::Draw(graphics); // NOLINT(bugprone-parent-virtual-call)
}
