#include "KorWayfarerEditor.h"

#include "KorISplashScreen.h"
#include "KorWayfarerDsp.h"
#include "editor/IGraphics.h"
#include "plugcore/IParam.h"

void KorWayfarerEditor::InitParams(IParam* pan, IParam* wetMix)
{
    pan->InitEnum(KorWayfarerDsp::kPanName, KorWayfarerDsp::kPanLeft, KorWayfarerDsp::kNumPanValues);
    for (int v = 0; v < KorWayfarerDsp::kNumPanValues; ++v) pan->SetDisplayText(v, KorWayfarerDsp::PanValueName(v));

    const double a12 = KorWayfarerDsp::WetMixBound();
    wetMix->InitDouble(KorWayfarerDsp::kWetMixName, 0.0, -a12, a12, KorWayfarerDsp::kWetMixStep, "");
}

int KorWayfarerEditor::LayOut(IGraphics* graphics, IParamOwner* owner, const char* versionText)
{
    const IText labelStyle(11, IColor(255, 33, 37, 40), "Tahoma", IText::kStyleNormal, IText::kAlignNear);
    const IText versionStyle(12, IColor(255, 57, 64, 70), "Tahoma", IText::kStyleBold, IText::kAlignNear);

    const IBitmap background = graphics->LoadBitmapResource(kBackgroundId, kBackgroundName, 1);
    graphics->ResizeGraphics(background.W, background.H);
    graphics->AttachBackground(kBackgroundId, kBackgroundName);

    const IBitmap switchStrip = graphics->LoadBitmapResource(kSwitchId, kSwitchName, 2);
    graphics->AttachControl(new ISwitchControl(owner, 53, 109, KorWayfarerDsp::kPan, switchStrip));

    const int x = 99, y = 85;
    const IBitmap knobStrip = graphics->LoadBitmapResource(kKnobId, kKnobName, kKnobFrames);
    auto* knob = new IKnobMultiControl(owner, x, y, KorWayfarerDsp::kWetMix, knobStrip, IKnobControl::kVertical, 4.0);
    graphics->AttachControl(knob);
    knob->SetDisablePrompt(true);

    IText label = labelStyle;
    label.align = IText::kAlignNear;
    graphics->AttachControl(new ITextControl(owner, IRect(x - 3, y + 72, x + 80, y + 85), label, "L"));
    label.align = IText::kAlignCenter;
    graphics->AttachControl(new ITextControl(owner, IRect(x + 20, y - 22, x + 58, y - 9), label, "C"));
    label.align = IText::kAlignFar;
    graphics->AttachControl(new ITextControl(owner, IRect(x - 3, y + 72, x + 80, y + 85), label, "R"));

    const IBitmap splashImage = graphics->LoadBitmapResource(kSplashId, kSplashName, 1);
    const int splashX = (graphics->Width() - splashImage.W) / 2, splashY = (graphics->Height() - splashImage.H) / 2;
    const int splashIndex = graphics->AttachControl(
        new KorISplashScreen(owner, splashX, splashY, splashImage, IRect(0, 0, graphics->Width(), 34)));

    graphics->AttachControl(new ITextControl(owner, IRect(56, 196, 221, 209), versionStyle, versionText));
    return splashIndex;
}
