#include "KorFreeWayfarer.h"

#include "KorISplashScreen.h"
#include "editor/IGraphics.h"
#include "vst/PluginFactory.h"

#include <new>

const double KorFreeWayfarer::kLn12dB = KorWayfarerDsp::kLn12dB;
const double KorFreeWayfarer::kLn6dB = KorWayfarerDsp::kLn6dB;
const double KorFreeWayfarer::kLn3dB = KorWayfarerDsp::kLn3dB;

const char* const KorFreeWayfarer::kBackgroundName = "img/korFreeWayfarer.png";
const char* const KorFreeWayfarer::kSplashName = "img/splash.png";
const char* const KorFreeWayfarer::kSwitchName = "img/switch.png";
const char* const KorFreeWayfarer::kKnobName = "img/knob.png";

namespace {

const int kEditorFps = 30;

} // namespace

IPlugVST* CreatePlugin(audioMasterCallback host, GraphicsFactory makeGraphics)
{
    return new (std::nothrow) KorFreeWayfarer(host, makeGraphics);
}

KorFreeWayfarer::KorFreeWayfarer(audioMasterCallback hostCallback, GraphicsFactory makeGraphics)
    : IPlugVST(hostCallback, kNumParams, "1-2 2-2", KorWayfarerDsp::kNumPrograms, KorWayfarerDsp::kEffectName, "",
               KorWayfarerDsp::kMakerName, KorWayfarerDsp::kVersion, FourCC("korw"), FourCC("bkor"), 0, false, false,
               false)
{
    GetEffectVersionText(m_versionText);
    m_splashShowsLeft = 3;

    IParam* pan = GetParam(kPan);
    pan->InitEnum(KorWayfarerDsp::kPanName, KorWayfarerDsp::kPanLeft, KorWayfarerDsp::kNumPanValues);
    for (int v = 0; v < KorWayfarerDsp::kNumPanValues; ++v) pan->SetDisplayText(v, KorWayfarerDsp::PanValueName(v));

    const double a12 = KorWayfarerDsp::WetMixBound();
    GetParam(kWetMix)->InitDouble(KorWayfarerDsp::kWetMixName, 0.0, -a12, a12, KorWayfarerDsp::kWetMixStep, "");

    m_paramHandlers[kPan] = &KorFreeWayfarer::OnPanChanged;
    m_paramHandlers[kWetMix] = &KorFreeWayfarer::OnWetMixChanged;

    MakePrograms();

    // Sized 1 x 1 for now: the background image gives the real size. Without a graphics context
    // the effect still works, with no editor to offer.
    if (IGraphics* gui = makeGraphics ? makeGraphics(this, 1, 1, kEditorFps) : nullptr) {
        LayOutEditor(gui);
        SetEditor(gui);
    }
}

void KorFreeWayfarer::MakePrograms()
{
    // A default program stores the current (default) values; the others give "Pan" and "Wet Mix".
    for (int i = 0; i < KorWayfarerDsp::kNumPrograms; ++i) {
        const KorWayfarerDsp::Program& program = *KorWayfarerDsp::GetProgram(i);
        if (program.isDefault)
            AddDefaultPresets(program.name, 1);
        else
            AddFactoryPreset(program.name, program.pan, program.wetMix);
    }
}

void KorFreeWayfarer::HandleParamChange(int paramIdx)
{
    MutexLock lock(GetMutex());
    if (paramIdx >= 0 && paramIdx < kNumParams && m_paramHandlers[paramIdx]) (this->*m_paramHandlers[paramIdx])();
}

void KorFreeWayfarer::OnPanChanged()
{
    // Mono: both outputs are fed from the one input.
    m_dsp.SetPan(TruncToInt(GetParam(kPan)->Value()), IsInputConnected(1));
}

void KorFreeWayfarer::OnWetMixChanged() { m_dsp.SetWetMix(GetParam(kWetMix)->Value()); }

void KorFreeWayfarer::ProcessAudio(double** inputs, double** outputs, int nFrames)
{
    m_dsp.Process(inputs, outputs, nFrames);
}

bool KorFreeWayfarer::ProcessAudioFloat(float** inputs, float** outputs, int nFrames, bool accumulate)
{
    m_dsp.ProcessFloat(inputs, outputs, nFrames, accumulate);
    return true;
}

void KorFreeWayfarer::EditorOpened()
{
    IGraphics* gui = m_graphics;
    IControl* splash = gui ? gui->GetControl(m_splashControlIndex) : nullptr;
    if (m_splashShowsLeft > 0 && splash) {
        --m_splashShowsLeft;
        splash->SetValueFromPlug(1.0);
    }
}

void KorFreeWayfarer::LayOutEditor(IGraphics* graphics)
{
    const IText labelStyle(11, IColor(255, 33, 37, 40), "Tahoma", IText::kStyleNormal, IText::kAlignNear);
    const IText versionStyle(12, IColor(255, 57, 64, 70), "Tahoma", IText::kStyleBold, IText::kAlignNear);

    m_graphics = graphics;
    const IBitmap background = graphics->LoadBitmapResource(kBackgroundId, kBackgroundName, 1);
    graphics->ResizeGraphics(background.W, background.H);
    graphics->AttachBackground(kBackgroundId, kBackgroundName);

    const IBitmap switchStrip = graphics->LoadBitmapResource(kSwitchId, kSwitchName, 2);
    graphics->AttachControl(new ISwitchControl(this, 53, 109, kPan, switchStrip));

    const int x = 99, y = 85;
    const IBitmap knobStrip = graphics->LoadBitmapResource(kKnobId, kKnobName, kKnobFrames);
    auto* knob = new IKnobMultiControl(this, x, y, kWetMix, knobStrip, IKnobControl::kVertical, 4.0);
    graphics->AttachControl(knob);
    knob->SetDisablePrompt(true);

    IText label = labelStyle;
    label.align = IText::kAlignNear;
    graphics->AttachControl(new ITextControl(this, IRect(x - 3, y + 72, x + 80, y + 85), label, "L"));
    label.align = IText::kAlignCenter;
    graphics->AttachControl(new ITextControl(this, IRect(x + 20, y - 22, x + 58, y - 9), label, "C"));
    label.align = IText::kAlignFar;
    graphics->AttachControl(new ITextControl(this, IRect(x - 3, y + 72, x + 80, y + 85), label, "R"));

    const IBitmap splashImage = graphics->LoadBitmapResource(kSplashId, kSplashName, 1);
    const int splashX = (graphics->Width() - splashImage.W) / 2, splashY = (graphics->Height() - splashImage.H) / 2;
    m_splashControlIndex = graphics->AttachControl(
        new KorISplashScreen(this, splashX, splashY, splashImage, IRect(0, 0, graphics->Width(), 34)));

    graphics->AttachControl(new ITextControl(this, IRect(56, 196, 221, 209), versionStyle, m_versionText));
}
