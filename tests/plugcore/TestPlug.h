#pragma once
// A plug-in core shaped like the effect (an enumeration and a bipolar continuous parameter,
// layouts "1-2 2-2", 12 presets) that records what the base asks of its binding and effect.

#include "plugcore/IPlugBase.h"

#include <string>
#include <vector>

class TestPlug : public IPlugBase {
public:
    explicit TestPlug(int nPresets = 12, const char* channelIO = "1-2 2-2", int nParams = 2)
        : IPlugBase(nParams, channelIO, nPresets, "Test Effect", "", "Maker", 0x10200, FourCC("test"), FourCC("mkr "),
                    0, false, false, false)
    {
        if (nParams > 0) {
            GetParam(0)->InitEnum("Pan", 0, 2);
            GetParam(0)->SetDisplayText(0, "Left");
            GetParam(0)->SetDisplayText(1, "Right");
        }
        if (nParams > 1) GetParam(1)->InitDouble("Wet Mix", 0.0, -0.75, 0.75, 0.01, "");
    }

    std::vector<std::string> log;

    void ResetState() override
    {
        IPlugBase::ResetState();
        log.push_back("reset");
    }
    void HandleParamChange(int idx) override
    {
        IPlugBase::HandleParamChange(idx);
        log.push_back("change " + std::to_string(idx) + " " + std::to_string(GetParam(idx)->Value()));
    }
    void BeginParamEdit(int idx) override { log.push_back("begin " + std::to_string(idx)); }
    void ReportParamChange(int idx, double v) override
    {
        log.push_back("report " + std::to_string(idx) + " " + std::to_string(v) + " was " +
                      std::to_string(GetParam(idx)->Value()));
    }
    void EndParamEdit(int idx) override { log.push_back("end " + std::to_string(idx)); }
    int GetSamplePosition() override { return 0; }
    double GetTempo() override { return 0.0; }
    void GetTimeSignature(int* num, int* den) override { *num = *den = 0; }
    void UpdateEditorSize(int, int) override {}
    void PrepareForHost() override {}
    bool SendMidiMessage(IMidiMsg*) override { return true; }
    bool SendMidiMessages(TypedBuffer<IMidiMsg>*) override { return true; }
};
