#pragma once
// The effect's two parameters as the framework describes them, and its editor's layout, for
// whatever owns the parameters: the VST effect itself, or the LV2 user interface, which runs apart
// from its plug-in and can only write values to it. Both show the same editor on the same
// parameters because both are made here.

class IGraphics;
class IParam;
class IParamOwner;

struct KorWayfarerEditor {
    // Image resources: id and name.
    enum EResources { kBackgroundId = 100, kSplashId = 101, kSwitchId = 102, kKnobId = 103 };
    static constexpr const char* kBackgroundName = "img/korFreeWayfarer.png";
    static constexpr const char* kSplashName = "img/splash.png";
    static constexpr const char* kSwitchName = "img/switch.png";
    static constexpr const char* kKnobName = "img/knob.png";
    static constexpr int kKnobFrames = 65;
    static constexpr int kFps = 30;

    // Gives "Pan" and "Wet Mix" (KorWayfarerDsp::kPan, kWetMix) their names, ranges, defaults and
    // display texts.
    static void InitParams(IParam* pan, IParam* wetMix);

    // Lays out the editor's controls for `owner` on a freshly made graphics context: background,
    // "Pan" switch, "Wet Mix" knob and its labels, the splash panel (hidden) and `versionText`,
    // which must outlive the editor. Answers the splash panel's control index.
    static int LayOut(IGraphics* graphics, IParamOwner* owner, const char* versionText);
};
