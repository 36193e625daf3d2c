// What a host learns about the effect before it plays a note: the AEffect record, the names and
// texts, the fixed answers, capabilities, pins, speaker arrangements, the vendor-specific display
// extension and how the effect identifies its host.
#include "HostHarness.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace hosttest {
namespace {

using vsthost::Host;
using vsthost::HostRequest;
using vsthost::Plugin;

TEST_F(LoadedPlugin, RecordDescribesTheEffect)
{
    const AEffect& effect = *plugin->Effect();
    EXPECT_EQ(effect.magic, 0x56737450); // 'VstP'
    EXPECT_EQ(effect.numPrograms, 12);
    EXPECT_EQ(effect.numParams, 2);
    EXPECT_EQ(effect.numInputs, 2);
    EXPECT_EQ(effect.numOutputs, 2);
    // can-mono 0x08 | can-replacing 0x10 | can-double-replacing 0x1000, and has-editor 0x01 where
    // the build has a window layer to show it in.
#if defined(_WIN32) || defined(WAYFARER_X11_EDITOR)
    EXPECT_EQ(effect.flags, 0x1019);
#else
    EXPECT_EQ(effect.flags, 0x1018);
#endif
    EXPECT_EQ(effect.uniqueID, 0x6B6F7277); // 'korw'
    EXPECT_EQ(effect.version, 10200);
    EXPECT_EQ(effect.initialDelay, 0);
    EXPECT_EQ(effect.ioRatio, 1.0f);
    EXPECT_NE(effect.object, nullptr);
    EXPECT_EQ(effect.user, nullptr);
    EXPECT_EQ(effect.resvd1, 0);
    EXPECT_EQ(effect.resvd2, 0);
    EXPECT_EQ(effect.realQualities, 0);
    EXPECT_EQ(effect.offQualities, 0);
    EXPECT_NE(effect.dispatcher, nullptr);
    EXPECT_NE(effect.process, nullptr);
    EXPECT_NE(effect.processReplacing, nullptr);
    EXPECT_NE(effect.processDoubleReplacing, nullptr);
    EXPECT_NE(effect.setParameter, nullptr);
    EXPECT_NE(effect.getParameter, nullptr);
    const std::vector<char> zeros(sizeof effect.future, 0);
    EXPECT_EQ(std::memcmp(effect.future, zeros.data(), zeros.size()), 0);
}

TEST_F(LoadedPlugin, LoadingAsksNothingOfTheHost)
{
    EXPECT_EQ(host.Log().Size(), 0u);
    EXPECT_EQ(plugin->EntryName(), "VSTPluginMain");
}

TEST(HostEntryPoints, MainCreatesAWorkingInstanceToo)
{
    Host host;
    std::string error;
    std::unique_ptr<Plugin> viaMain = host.LoadVia(pluginPath(), "main", &error);
    ASSERT_TRUE(viaMain) << error;
    std::unique_ptr<Plugin> viaVstPluginMain = host.LoadVia(pluginPath(), "VSTPluginMain", &error);
    ASSERT_TRUE(viaVstPluginMain) << error;
    EXPECT_NE(viaMain->Effect(), viaVstPluginMain->Effect());
    EXPECT_EQ(viaMain->Effect()->uniqueID, 0x6B6F7277);
    EXPECT_EQ(viaMain->EffectName(), "Free Wayfarer-Phase Modifier");
}

// The editor is offered exactly when it can be shown, and then at the background's size.
TEST_F(LoadedPlugin, EditorFlagAgreesWithEditGetRect)
{
    ERect sentinel{};
    ERect* rect = &sentinel;
    const VstIntPtr answer = plugin->Dispatch(effEditGetRect, 0, 0, &rect);
    if (plugin->Effect()->flags & effFlagsHasEditor) {
        ASSERT_EQ(answer, 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->top, 0);
        EXPECT_EQ(rect->left, 0);
        EXPECT_EQ(rect->bottom, 212);
        EXPECT_EQ(rect->right, 275);
    } else {
        EXPECT_EQ(answer, 0);
        EXPECT_EQ(rect, &sentinel);
        EXPECT_EQ(plugin->Dispatch(effEditOpen, 0, 0, nullptr), 0);
    }
}

// ---- Texts --------------------------------------------------------------------------------

struct TextCase {
    const char* name;
    VstInt32 opcode;
    VstInt32 index;
    std::size_t capacity; // the VST 2.4 buffer size for this request
    const char* expected;
    VstIntPtr expectedAnswer;
};

class Texts : public LoadedPlugin, public ::testing::WithParamInterface<TextCase> {};

TEST_P(Texts, AreExactAndFitTheHostBuffer)
{
    const TextCase& c = GetParam();
    CanaryBuffer buffer;
    EXPECT_EQ(plugin->Dispatch(c.opcode, c.index, 0, buffer.data()), c.expectedAnswer);
    EXPECT_EQ(buffer.text(), c.expected);
    EXPECT_LT(buffer.text().size(), c.capacity);
    EXPECT_TRUE(buffer.untouchedFrom(c.capacity)) << "wrote beyond the " << c.capacity << "-byte buffer";
}

INSTANTIATE_TEST_SUITE_P(
    Host, Texts,
    ::testing::Values(
        TextCase{"EffectName", effGetEffectName, 0, kVstMaxEffectNameLen, "Free Wayfarer-Phase Modifier", 1},
        TextCase{"VendorString", effGetVendorString, 0, kVstMaxVendorStrLen, "Tarnbek", 1},
        TextCase{"ProductString", effGetProductString, 0, kVstMaxProductStrLen, "", 1},
        TextCase{"PanName", effGetParamName, kPan, kVstMaxParamStrLen, "Pan", 0},
        TextCase{"WetMixName", effGetParamName, kWetMix, kVstMaxParamStrLen, "Wet Mix", 0},
        TextCase{"PanLabel", effGetParamLabel, kPan, kVstMaxParamStrLen, "", 0},
        TextCase{"WetMixLabel", effGetParamLabel, kWetMix, kVstMaxParamStrLen, "", 0},
        TextCase{"PanDisplay", effGetParamDisplay, kPan, kVstMaxParamStrLen, "Left", 0},
        TextCase{"WetMixDisplay", effGetParamDisplay, kWetMix, kVstMaxParamStrLen, "0", 0},
        TextCase{"ProgramName", effGetProgramName, 0, kVstMaxProgNameLen, "RESET to defaults", 0},
        TextCase{"FirstProgramNameIndexed", effGetProgramNameIndexed, 0, kVstMaxProgNameLen, "RESET to defaults", 1},
        TextCase{"LastProgramNameIndexed", effGetProgramNameIndexed, 11, kVstMaxProgNameLen, "User 4", 1}),
    ByName());

// ---- Fixed answers --------------------------------------------------------------------------

struct AnswerCase {
    const char* name;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    VstIntPtr expected;
};

class FixedAnswers : public LoadedPlugin, public ::testing::WithParamInterface<AnswerCase> {};

// Each request also carries a host buffer that none of them may write.
TEST_P(FixedAnswers, AreAsDocumentedAndWriteNothing)
{
    const AnswerCase& c = GetParam();
    CanaryBuffer buffer;
    EXPECT_EQ(plugin->Dispatch(c.opcode, c.index, c.value, buffer.data()), c.expected);
    EXPECT_TRUE(buffer.untouched());
}

INSTANTIATE_TEST_SUITE_P(
    Host, FixedAnswers,
    ::testing::Values(AnswerCase{"Identify", effIdentify, 0, 0, 0x4E764566}, // 'NvEf'
                      AnswerCase{"PlugCategory", effGetPlugCategory, 0, 0, kPlugCategEffect},
                      AnswerCase{"VstVersion", effGetVstVersion, 0, 0, 2400},
                      AnswerCase{"VendorVersion", effGetVendorVersion, 0, 0, 0},
                      AnswerCase{"PanCanBeAutomated", effCanBeAutomated, kPan, 0, 1},
                      AnswerCase{"WetMixCanBeAutomated", effCanBeAutomated, kWetMix, 0, 1},
                      AnswerCase{"CurrentProgram", effGetProgram, 0, 0, 0},
                      AnswerCase{"EditIdle", effEditIdle, 0, 0, 0}, AnswerCase{"Idle", effIdle, 0, 0, 0},
                      AnswerCase{"TailSize", effGetTailSize, 0, 0, 0}, AnswerCase{"Bypass", effSetBypass, 0, 1, 0},
                      AnswerCase{"String2Parameter", effString2Parameter, 0, 0, 0},
                      AnswerCase{"ParameterProperties", effGetParameterProperties, 0, 0, 0},
                      AnswerCase{"StartProcess", effStartProcess, 0, 0, 0},
                      AnswerCase{"StopProcess", effStopProcess, 0, 0, 0},
                      AnswerCase{"ProcessPrecision", effSetProcessPrecision, 0, kVstProcessPrecision64, 0},
                      AnswerCase{"ShellGetNextPlugin", effShellGetNextPlugin, 0, 0, 0},
                      AnswerCase{"MidiProgramName", effGetMidiProgramName, 0, 0, 0},
                      AnswerCase{"MidiInputChannels", effGetNumMidiInputChannels, 0, 0, 0},
                      AnswerCase{"MidiOutputChannels", effGetNumMidiOutputChannels, 0, 0, 0},
                      AnswerCase{"ErrorText", effGetErrorText, 0, 0, 0}, AnswerCase{"BeyondTheTable", 80, 0, 0, 0},
                      AnswerCase{"FarBeyondTheTable", 100000, 3, 7, 0}, AnswerCase{"NegativeOpcode", -1, 0, 0, 0},
                      AnswerCase{"MostNegativeOpcode", INT_MIN, 0, 0, 0}),
    ByName());

// ---- Capabilities ---------------------------------------------------------------------------

struct CanDoCase {
    const char* name;
    const char* capability;
    VstIntPtr expected;
};

class CanDo : public LoadedPlugin, public ::testing::WithParamInterface<CanDoCase> {};

TEST_P(CanDo, MatchesWholeTextsOnly)
{
    EXPECT_EQ(plugin->CanDo(GetParam().capability), GetParam().expected) << '"' << GetParam().capability << '"';
}

// REAPER compares the answer with 0xbeef0000 as a pointer-sized integer, so on a 32-bit host the
// answer is the same bit pattern in a signed 32-bit value.
constexpr VstIntPtr kCockos = static_cast<VstIntPtr>(0xBEEF0000u);

INSTANTIATE_TEST_SUITE_P(Host, CanDo,
                         ::testing::Values(CanDoCase{"ReceiveVstTimeInfo", "receiveVstTimeInfo", 1},
                                           CanDoCase{"HasCockosExtensions", "hasCockosExtensions", kCockos},
                                           CanDoCase{"HasCockosViewAsConfig", "hasCockosViewAsConfig", kCockos},
                                           CanDoCase{"NoMidiReceiveEvents", "receiveVstEvents", 0},
                                           CanDoCase{"NoMidiReceiveMidiEvent", "receiveVstMidiEvent", 0},
                                           CanDoCase{"NoMidiSendEvents", "sendVstEvents", 0},
                                           CanDoCase{"NoMidiSendMidiEvent", "sendVstMidiEvent", 0},
                                           CanDoCase{"LongerText", "receiveVstTimeInfoPlease", 0},
                                           CanDoCase{"ShorterPrefix", "receiveVstTime", 0},
                                           CanDoCase{"ShortPrefix", "r", 0}, CanDoCase{"CockosPrefix", "hasCockos", 0},
                                           CanDoCase{"OtherCase", "ReceiveVstTimeInfo", 0}, CanDoCase{"Empty", "", 0},
                                           CanDoCase{"Bypass", "bypass", 0},
                                           CanDoCase{"PlugAsChannelInsert", "plugAsChannelInsert", 0}),
                         ByName());

TEST_F(LoadedPlugin, CanDoWithoutTextAnswersZero) { EXPECT_EQ(plugin->Dispatch(effCanDo, 0, 0, nullptr), 0); }

// ---- Pins -------------------------------------------------------------------------------------

struct PinCase {
    const char* name;
    VstInt32 opcode;
    VstInt32 index;
    VstInt32 flags;
    const char* label;
};

class Pins : public LoadedPlugin, public ::testing::WithParamInterface<PinCase> {};

TEST_P(Pins, NameAndPairEachChannel)
{
    const PinCase& c = GetParam();
    VstPinProperties pin;
    std::memset(&pin, 0x5A, sizeof pin);
    const VstPinProperties before = pin;
    ASSERT_EQ(plugin->Dispatch(c.opcode, c.index, 0, &pin), 1);
    EXPECT_EQ(pin.flags, c.flags);
    EXPECT_STREQ(pin.label, c.label);
    // Only the label and the flags are the plug-in's to fill.
    EXPECT_EQ(pin.arrangementType, before.arrangementType);
    EXPECT_EQ(std::memcmp(pin.shortLabel, before.shortLabel, sizeof pin.shortLabel), 0);
    EXPECT_EQ(std::memcmp(pin.future, before.future, sizeof pin.future), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Host, Pins,
    ::testing::Values(PinCase{"Input1", effGetInputProperties, 0, kVstPinIsActive | kVstPinIsStereo, "Input 1"},
                      PinCase{"Input2", effGetInputProperties, 1, kVstPinIsActive, "Input 2"},
                      PinCase{"Output1", effGetOutputProperties, 0, kVstPinIsActive | kVstPinIsStereo, "Output 1"},
                      PinCase{"Output2", effGetOutputProperties, 1, kVstPinIsActive, "Output 2"}),
    ByName());

TEST_F(LoadedPlugin, PinsOutOfRangeAnswerZeroAndWriteNothing)
{
    for (VstInt32 opcode : {effGetInputProperties, effGetOutputProperties}) {
        for (VstInt32 index : {2, 3, -1, INT_MIN, INT_MAX}) {
            SCOPED_TRACE(testing::Message() << "opcode " << opcode << " index " << index);
            CanaryBuffer buffer(sizeof(VstPinProperties));
            EXPECT_EQ(plugin->Dispatch(opcode, index, 0, buffer.data()), 0);
            EXPECT_TRUE(buffer.untouched());
        }
        EXPECT_EQ(plugin->Dispatch(opcode, 0, 0, nullptr), 0);
    }
}

// ---- Speaker arrangements -------------------------------------------------------------------

TEST_F(LoadedPlugin, ReportsItsStereoArrangements)
{
    VstSpeakerArrangement* input = nullptr;
    VstSpeakerArrangement* output = nullptr;
    EXPECT_EQ(plugin->Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 1);
    ASSERT_NE(input, nullptr);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(input->numChannels, 2);
    EXPECT_EQ(output->numChannels, 2);
    EXPECT_EQ(plugin->Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 1);
}

// ---- Vendor-specific parameter display ------------------------------------------------------

struct VendorDisplayCase {
    const char* name;
    VstIntPtr parameter;
    float normalized;
    const char* expected;
};

class VendorDisplay : public LoadedPlugin, public ::testing::WithParamInterface<VendorDisplayCase> {};

TEST_P(VendorDisplay, FormatsAnyValueWithoutSettingIt)
{
    const VendorDisplayCase& c = GetParam();
    CanaryBuffer buffer;
    EXPECT_EQ(plugin->Dispatch(effVendorSpecific, 7, c.parameter, buffer.data(), c.normalized), 0xBEEF);
    EXPECT_EQ(buffer.text(), c.expected);
    EXPECT_EQ(plugin->GetParameter(kPan), 0.0f);
    EXPECT_EQ(plugin->GetParameter(kWetMix), 0.5f);
}

INSTANTIATE_TEST_SUITE_P(Host, VendorDisplay,
                         ::testing::Values(VendorDisplayCase{"PanLeft", kPan, 0.0f, "Left"},
                                           VendorDisplayCase{"PanRight", kPan, 1.0f, "Right"},
                                           // What setParameter would store: an enumeration rounds.
                                           VendorDisplayCase{"PanHalfway", kPan, 0.5f, "Right"},
                                           VendorDisplayCase{"PanJustBelowHalfway", kPan, 0.49f, "Left"},
                                           VendorDisplayCase{"PanNearlyRight", kPan, 0.99f, "Right"},
                                           VendorDisplayCase{"WetMixTop", kWetMix, 1.0f, "0.75"},
                                           VendorDisplayCase{"WetMixBottom", kWetMix, 0.0f, "-0.75"},
                                           VendorDisplayCase{"WetMixMiddle", kWetMix, 0.5f, "0"},
                                           VendorDisplayCase{"WetMixThreeQuarters", kWetMix, 0.75f, "0.37"}),
                         ByName());

TEST_F(LoadedPlugin, VendorDisplayRejectsOtherRequestsWithoutWriting)
{
    struct Case {
        VstInt32 index;
        VstIntPtr parameter;
        VstIntPtr expected;
    };
    const Case cases[] = {
        {7, 2, 0xBEEF}, // the extension is recognised even for a parameter that does not exist
        {7, -1, 0xBEEF}, {7, 1000, 0xBEEF}, {6, 0, 0}, {8, 0, 0}, {0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " parameter " << c.parameter);
        CanaryBuffer buffer;
        EXPECT_EQ(plugin->Dispatch(effVendorSpecific, c.index, c.parameter, buffer.data(), 1.0f), c.expected);
        EXPECT_TRUE(buffer.untouched());
    }
    EXPECT_EQ(plugin->Dispatch(effVendorSpecific, 7, 0, nullptr, 1.0f), 0);
}

// ---- MIDI key names ---------------------------------------------------------------------------

TEST_F(LoadedPlugin, HasNoMidiKeyNames)
{
    MidiKeyName key;
    std::memset(&key, 0x5A, sizeof key);
    key.thisProgramIndex = 3;
    key.thisKeyNumber = 60;
    EXPECT_EQ(plugin->Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
    EXPECT_EQ(key.keyName[0], '\0');
    EXPECT_EQ(key.thisProgramIndex, 3);
    EXPECT_EQ(key.thisKeyNumber, 60);
    EXPECT_EQ(plugin->Dispatch(effGetMidiKeyName, 0, 0, nullptr), 0);
}

// ---- Host identification ----------------------------------------------------------------------

struct HostIdentityCase {
    const char* name;
    const char* product;
    VstIntPtr version;
};

class HostIdentity : public ::testing::TestWithParam<HostIdentityCase> {};

TEST_P(HostIdentity, IsAskedOnceOnTheFirstOpen)
{
    Host host;
    host.SetProduct(GetParam().product, GetParam().version);
    std::unique_ptr<Plugin> plugin = loadPlugin(host);
    ASSERT_TRUE(plugin);
    EXPECT_EQ(host.Log().Size(), 0u) << "nothing is asked before effOpen";

    EXPECT_EQ(plugin->Open(), 0);
    // The version is only worth asking for when the host named itself.
    std::vector<VstInt32> expected = {audioMasterGetProductString};
    if (*GetParam().product != '\0') expected.push_back(audioMasterGetVendorVersion);
    EXPECT_EQ(host.Log().Opcodes(), expected);
    for (const HostRequest& request : host.Log().All()) {
        EXPECT_EQ(request.effect, plugin->Effect());
    }
    ASSERT_FALSE(host.Log().All().empty());
    EXPECT_TRUE(host.Log().All()[0].hasPtr);

    host.Log().Clear();
    plugin->Open();
    EXPECT_EQ(host.Log().Size(), 0u) << "a second effOpen must not ask again";

    // Whatever the host, this effect keeps two inputs and two outputs.
    EXPECT_EQ(plugin->Effect()->numInputs, 2);
    EXPECT_EQ(plugin->Effect()->numOutputs, 2);
}

INSTANTIATE_TEST_SUITE_P(Host, HostIdentity,
                         ::testing::Values(HostIdentityCase{"Reaper", "REAPER", 6290},
                                           HostIdentityCase{"Cubase", "Cubase VST", 12000},
                                           // Hosts for which the binding restricts layouts to stereo.
                                           HostIdentityCase{"Audition", "Adobe Audition CS6", 50000},
                                           HostIdentityCase{"Forte", "Forte", 40000},
                                           HostIdentityCase{"Unknown", "Some Other Host", 10203},
                                           HostIdentityCase{"Anonymous", "", 0}),
                         ByName());

} // namespace
} // namespace hosttest
