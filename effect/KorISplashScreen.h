#pragma once
// The splash panel: shown over the middle of the editor on its first openings, hidden by a click
// anywhere, and brought back by a click into the strip along the editor's top edge.

#include "editor/IControl.h"

class KorISplashScreen : public IBitmapOverlayControl {
public:
    // `hiddenHitArea` is where a click brings the hidden panel back.
    KorISplashScreen(IParamOwner* owner, int x, int y, const IBitmap& bitmap, const IRect& hiddenHitArea);

    // Hidden: takes clicks only in the hidden hit area and draws nothing. Shown: takes clicks
    // anywhere in the editor and draws the panel.
    bool Draw(IGraphics* graphics) override;
    // A double click on the panel is a click that already took it down; restoring the panel's
    // first value would bring it straight back.
    void OnMouseDblClick(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) override {}

private:
    IRect m_hiddenHitArea;
};
