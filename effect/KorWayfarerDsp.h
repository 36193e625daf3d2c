#pragma once
// The effect's sound and its settings, apart from any plug-in format or framework: what the two
// parameters mean, the factory programs, and the processing. Every binding (VST 2.4, LV2) owns one
// of these and calls it, so no two formats can come to sound different.
//
// Threads: nothing here locks or allocates after construction. A binding keeps changes of the
// settings and the audio callbacks apart, as its format requires.

#include <cmath>

class KorWayfarerDsp {
public:
    static const char* const kEffectName;
    static const char* const kMakerName;
    // Packed 0xMMMMmmpp.
    static const int kVersion = 0x10200;

    enum EParams { kPan = 0, kWetMix = 1, kNumParams };
    // "Pan": which output is polarity-inverted; its values and their names.
    enum EPan { kPanLeft = 0, kPanRight = 1, kNumPanValues };
    static const char* const kPanName;
    static const char* const kWetMixName;
    static const char* PanValueName(int pan) { return pan == kPanRight ? "Right" : "Left"; }
    static const double kWetMixStep;

    // The "Wet Mix" bound and the two lesser attenuations used by the factory programs:
    // 1 - 10^-0.6, 1 - 10^-0.3 and 1 - 10^-0.15 (12, 6 and 3 dB).
    static double AttenuationFor(double lnOfGain) { return 1.0 - std::exp(lnOfGain); }
    static const double kLn12dB, kLn6dB, kLn3dB;
    static double WetMixBound() { return AttenuationFor(kLn12dB); }

    // The factory programs, in the order hosts list them. A default program holds the default
    // values, which its pan and wetMix give.
    struct Program {
        const char* name;
        bool isDefault;
        int pan;
        double wetMix;
    };
    static const int kNumPrograms = 12;
    // Null for an index out of range.
    static const Program* GetProgram(int idx);

    // Settings from hosts that exchange plain single-precision values (LV2 control ports), read
    // as the VST binding reads its host's values: NaN is no value at all and leaves `current`,
    // anything beyond the range takes the nearer end, and "Pan" takes its nearest value. A value
    // that is `current` rounded to float keeps `current`: hosts hold settings as floats, and a
    // state or program restored exactly must not be rounded by the host echoing it. For the same
    // reason the float of a factory attenuation means that attenuation.
    static double PanFromHost(double value, double current);
    static double WetMixFromHost(double value, double current);
    // A setting from a saved state, read as the VST binding reads its chunks: NaN is missing data
    // and reads as 0, anything beyond the range takes the nearer end, and the value is otherwise
    // kept exactly.
    static double FromState(int param, double value);

    // ---- Reactions to the settings --------------------------------------------------------
    // `stereoInput` false: both outputs are fed from the one input.
    void SetPan(int pan, bool stereoInput);
    void SetWetMix(double wetMix);

    // ---- Processing -----------------------------------------------------------------------
    // One block, two inputs and two outputs; arrays may be shared between inputs and outputs.
    void Process(double** inputs, double** outputs, int nFrames) const;
    // The same arithmetic straight on floats: each sample is widened, scaled in double and rounded
    // once on the way out (or added in double to what is there, with `accumulate`).
    void ProcessFloat(float** inputs, float** outputs, int nFrames, bool accumulate) const;

private:
    // Routing and gains for the default values: out0 = in0, out1 = -in1.
    int m_plainIn = 0;
    int m_invertedIn = 1;
    int m_plainOut = 0;
    int m_invertedOut = 1;
    double m_gains[2] = {1.0, 1.0};
};
