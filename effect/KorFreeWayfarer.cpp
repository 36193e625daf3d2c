#include "KorFreeWayfarer.h"

#include "KorISplashScreen.h"
#include "editor/IGraphics.h"
#include "vst/PluginFactory.h"

#include <cmath>
#include <cstdint>
#include <new>

// k * ln 10 for k = -0.6, -0.3 and -0.15, as stored constants so every build computes the same.
const double KorFreeWayfarer::kLn12dB = -1.3815510557964275;
const double KorFreeWayfarer::kLn6dB = -0.6907755278982137;
const double KorFreeWayfarer::kLn3dB = -0.34538776394910686;

const char* const KorFreeWayfarer::kBackgroundName = "img/korFreeWayfarer.png";
const char* const KorFreeWayfarer::kSplashName = "img/splash.png";
const char* const KorFreeWayfarer::kSwitchName = "img/switch.png";
const char* const KorFreeWayfarer::kKnobName = "img/knob.png";

namespace {

const int kNumPrograms = 12;
const int kEditorFps = 30;
const double kWetMixStep = 0.01;
// Gains this close to zero count as zero, so rounding noise never attenuates.
const double kEpsilon = 2.220446049250313e-16;

} // namespace

IPlugVST* CreatePlugin(audioMasterCallback host, GraphicsFactory makeGraphics)
{
    return new (std::nothrow) KorFreeWayfarer(host, makeGraphics);
}

KorFreeWayfarer::KorFreeWayfarer(audioMasterCallback hostCallback, GraphicsFactory makeGraphics)
    : IPlugVST(hostCallback, kNumParams, "1-2 2-2", kNumPrograms, "Free Wayfarer-Phase Modifier", "", "Tarnbek",
               0x10200, FourCC("korw"), FourCC("bkor"), 0, false, false, false)
{
    GetEffectVersionText(m_versionText);
    m_splashShowsLeft = 3;

    IParam* pan = GetParam(kPan);
    pan->InitEnum("Pan", 0, 2);
    pan->SetDisplayText(0, "Left");
    pan->SetDisplayText(1, "Right");

    const double a12 = AttenuationFor(kLn12dB);
    GetParam(kWetMix)->InitDouble("Wet Mix", 0.0, -a12, a12, kWetMixStep, "");

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
    const double a12 = AttenuationFor(kLn12dB), a6 = AttenuationFor(kLn6dB), a3 = AttenuationFor(kLn3dB);
    enum { kLeft = 0, kRight = 1 };

    // One row per program, in the order hosts list them. A default row stores the current
    // (default) values; an explicit row gives "Pan" and "Wet Mix".
    const struct {
        const char* name;
        bool isDefault;
        int pan;
        double wetMix;
    } programs[kNumPrograms] = {
        // clang-format off
        // name                 default  Pan     Wet Mix
        {"RESET to defaults",   true,    kLeft,  0.0},
        {"Pan hard left",       false,   kRight, -a12},
        {"Pan left",            false,   kRight, -a6},
        {"Pan slight left",     false,   kRight, -a3},
        {"Pan center",          true,    kLeft,  0.0},
        {"Pan slight right",    false,   kLeft,  a3},
        {"Pan right",           false,   kLeft,  a6},
        {"Pan hard right",      false,   kLeft,  a12},
        {"User 1",              true,    kLeft,  0.0},
        {"User 2",              true,    kLeft,  0.0},
        {"User 3",              true,    kLeft,  0.0},
        {"User 4",              true,    kLeft,  0.0},
        // clang-format on
    };
    for (const auto& program : programs) {
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
    const int v = TruncToInt(GetParam(kPan)->Value());
    m_plainOut = v != 0 ? 1 : 0;
    m_invertedOut = v == 0 ? 1 : 0;
    if (IsInputConnected(1)) {
        m_plainIn = m_plainOut;
        m_invertedIn = m_invertedOut;
    } else {
        // Mono: both outputs are fed from the one input.
        m_plainIn = m_invertedIn = 0;
    }
}

void KorFreeWayfarer::OnWetMixChanged()
{
    const double x = GetParam(kWetMix)->Value();
    if (x > kEpsilon) {
        m_gains[0] = 1.0 - x;
        m_gains[1] = 1.0;
    } else if (x < -kEpsilon) {
        m_gains[0] = 1.0;
        m_gains[1] = 1.0 + x;
    } else {
        m_gains[0] = m_gains[1] = 1.0;
    }
}

void KorFreeWayfarer::ProcessAudio(double** inputs, double** outputs, int nFrames)
{
    const double* plainIn = inputs[m_plainIn];
    const double* invertedIn = inputs[m_invertedIn];
    double* plainOut = outputs[m_plainOut];
    double* invertedOut = outputs[m_invertedOut];
    const double plainGain = m_gains[m_plainIn];
    const double invertedGain = m_gains[m_invertedIn];

    // Both inputs of a frame are read before either output is written: with in-place buffers and
    // one input feeding both outputs, writing first would scale that input twice.
    for (int i = 0; i < nFrames; ++i) {
        const double a = plainIn[i];
        const double b = invertedIn[i];
        plainOut[i] = plainGain * a;
        invertedOut[i] = -(invertedGain * b);
    }
}

namespace {

bool Overlaps(const float* a, const float* b, int n)
{
    const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    const auto bytes = static_cast<uintptr_t>(n) * sizeof(float);
    return x < y + bytes && y < x + bytes;
}

// out = float(g * double(in)), negated when asked. A unity gain needs no widening: the product
// is the input itself, so the float copy is bit for bit the same and twice as fast.
template <bool negate> void ScaleFloats(const float* in, float* out, double gain, int n)
{
    if (gain == 1.0) {
        for (int i = 0; i < n; ++i) out[i] = negate ? -in[i] : in[i];
    } else {
        for (int i = 0; i < n; ++i) {
            const double scaled = gain * static_cast<double>(in[i]);
            out[i] = static_cast<float>(negate ? -scaled : scaled);
        }
    }
}

} // namespace

// The same arithmetic as the double path, straight on the host's floats: each sample is widened,
// scaled in double and rounded once on the way out (or added in double to what is there).
bool KorFreeWayfarer::ProcessAudioFloat(float** inputs, float** outputs, int nFrames, bool accumulate)
{
    const float* plainIn = inputs[m_plainIn];
    const float* invertedIn = inputs[m_invertedIn];
    float* plainOut = outputs[m_plainOut];
    float* invertedOut = outputs[m_invertedOut];
    const double plainGain = m_gains[m_plainIn];
    const double invertedGain = m_gains[m_invertedIn];

    // One channel at a time is fastest, as long as the first pass cannot overwrite what the second
    // one reads, and the two outputs are apart: where they share memory, the frame-by-frame order
    // (the inverted output written last) decides what stays, as in the double path.
    if (!accumulate && !Overlaps(plainOut, invertedOut, nFrames)) {
        if (!Overlaps(plainOut, invertedIn, nFrames)) {
            ScaleFloats<false>(plainIn, plainOut, plainGain, nFrames);
            ScaleFloats<true>(invertedIn, invertedOut, invertedGain, nFrames);
            return true;
        }
        if (!Overlaps(invertedOut, plainIn, nFrames)) {
            ScaleFloats<true>(invertedIn, invertedOut, invertedGain, nFrames);
            ScaleFloats<false>(plainIn, plainOut, plainGain, nFrames);
            return true;
        }
    }
    for (int i = 0; i < nFrames; ++i) {
        const double a = plainIn[i];
        const double b = invertedIn[i];
        if (accumulate) {
            plainOut[i] = static_cast<float>(static_cast<double>(plainOut[i]) + plainGain * a);
            invertedOut[i] = static_cast<float>(static_cast<double>(invertedOut[i]) + -(invertedGain * b));
        } else {
            plainOut[i] = static_cast<float>(plainGain * a);
            invertedOut[i] = static_cast<float>(-(invertedGain * b));
        }
    }
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
