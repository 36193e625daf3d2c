#pragma once
// Free Wayfarer-Phase Modifier: each output carries one input scaled by a gain, and one of the two
// outputs is polarity-inverted. "Pan" picks which output is inverted; "Wet Mix" attenuates the
// left input (positive values) or the right input (negative values) by up to 12 dB.

#include "KorWayfarerDsp.h"
#include "KorWayfarerEditor.h"
#include "editor/GraphicsFactory.h"
#include "vst/IPlugVST.h"

class IGraphics;

class KorFreeWayfarer : public IPlugVST {
public:
    // The editor is made by `makeGraphics` and laid out here; without one the effect has no editor.
    explicit KorFreeWayfarer(audioMasterCallback hostCallback, GraphicsFactory makeGraphics = nullptr);

    // ---- Processing ------------------------------------------------------------------------------
    void ResetState() override {}
    void HandleParamChange(int paramIdx) override;
    void ProcessAudio(double** inputs, double** outputs, int nFrames) override;
    bool ProcessAudioFloat(float** inputs, float** outputs, int nFrames, bool accumulate) override;

    // ---- Editor --------------------------------------------------------------------------------
    // The splash panel shows on the first three openings of each instance.
    void EditorOpened() override;
    // Lays out the editor's controls on a freshly made graphics context: background, "Pan"
    // switch, "Wet Mix" knob and its labels, the splash panel and the version text. That context
    // becomes the editor the effect shows its splash panel in.
    void LayOutEditor(IGraphics* graphics);

    // Image resources: id and name (see KorWayfarerEditor).
    enum EResources {
        kBackgroundId = KorWayfarerEditor::kBackgroundId,
        kSplashId = KorWayfarerEditor::kSplashId,
        kSwitchId = KorWayfarerEditor::kSwitchId,
        kKnobId = KorWayfarerEditor::kKnobId
    };
    static constexpr const char* kBackgroundName = KorWayfarerEditor::kBackgroundName;
    static constexpr const char* kSplashName = KorWayfarerEditor::kSplashName;
    static constexpr const char* kSwitchName = KorWayfarerEditor::kSwitchName;
    static constexpr const char* kKnobName = KorWayfarerEditor::kKnobName;
    static const int kKnobFrames = KorWayfarerEditor::kKnobFrames;

    enum EParams { kPan = KorWayfarerDsp::kPan, kWetMix = KorWayfarerDsp::kWetMix, kNumParams };

    // The "Wet Mix" bound and the two lesser attenuations used by the factory programs; see
    // KorWayfarerDsp.
    static double AttenuationFor(double lnOfGain) { return KorWayfarerDsp::AttenuationFor(lnOfGain); }
    static const double kLn12dB, kLn6dB, kLn3dB;

    // The editor this effect laid out, if it has one.
    IGraphics* GetGUI() const { return m_graphics; }

    const char* GetVersionText() const { return m_versionText; }
    int SplashShowsLeft() const { return m_splashShowsLeft; }
    int SplashControlIndex() const { return m_splashControlIndex; }

private:
    void OnPanChanged();
    void OnWetMixChanged();
    void MakePrograms();

    using ParamHandler = void (KorFreeWayfarer::*)();
    ParamHandler m_paramHandlers[kNumParams] = {};
    // The sound itself, shared with every other format's binding. Until the host opens the effect
    // it holds the routing and gains for the default values.
    KorWayfarerDsp m_dsp;

    IGraphics* m_graphics = nullptr;
    char m_versionText[MAX_VERSION_STR_LEN] = "";
    int m_splashShowsLeft = 3;
    int m_splashControlIndex = -1;
};
