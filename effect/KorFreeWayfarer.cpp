#include "KorFreeWayfarer.h"

#include "KorWayfarerEditor.h"
#include "editor/IGraphics.h"
#include "vst/PluginFactory.h"

#include <new>

const double KorFreeWayfarer::kLn12dB = KorWayfarerDsp::kLn12dB;
const double KorFreeWayfarer::kLn6dB = KorWayfarerDsp::kLn6dB;
const double KorFreeWayfarer::kLn3dB = KorWayfarerDsp::kLn3dB;

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

    KorWayfarerEditor::InitParams(GetParam(kPan), GetParam(kWetMix));

    m_paramHandlers[kPan] = &KorFreeWayfarer::OnPanChanged;
    m_paramHandlers[kWetMix] = &KorFreeWayfarer::OnWetMixChanged;

    MakePrograms();

    // Sized 1 x 1 for now: the background image gives the real size. Without a graphics context
    // the effect still works, with no editor to offer.
    if (IGraphics* gui = makeGraphics ? makeGraphics(this, 1, 1, KorWayfarerEditor::kFps) : nullptr) {
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
    m_graphics = graphics;
    m_splashControlIndex = KorWayfarerEditor::LayOut(graphics, this, m_versionText);
}
