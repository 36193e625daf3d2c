// Hosts in their various habits: the usual start-up order, questions before effOpen, no effOpen
// at all, block sizes that do not match what was announced, several instances, and MIDI events.
#include "AudioHarness.h"

#include <climits>
#include <cstring>

namespace hosttest {
namespace {

using vsthost::Host;
using vsthost::HostRequest;
using vsthost::Plugin;

const AudioPath kAllPaths[] = {AudioPath::Accumulating, AudioPath::Replacing, AudioPath::ReplacingInPlace,
                               AudioPath::Double, AudioPath::DoubleInPlace};

TEST(HostLifecycle, TypicalHostSession)
{
    Host host;
    std::unique_ptr<Plugin> plugin = loadPlugin(host);
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->Open(), 0);
    EXPECT_EQ(plugin->Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    EXPECT_EQ(plugin->Dispatch(effSetBlockSize, 0, 512), 0);
    EXPECT_EQ(plugin->Dispatch(effMainsChanged, 0, 1), 0);
    EXPECT_EQ(plugin->Dispatch(effStartProcess), 0);
    const Expectation defaults{0.0, 0.0, Feed::Stereo};
    for (std::uint32_t block = 0; block < 4; ++block) {
        checkBlock(*plugin, AudioPath::Replacing, defaults, 512, block);
        EXPECT_EQ(plugin->Dispatch(effEditIdle), 0);
    }
    plugin->Dispatch(effSetProgram, 0, 6);
    checkBlock(*plugin, AudioPath::Double, Expectation{0.0, plainValues(*plugin).wetMix, Feed::Stereo}, 512, 9);

    // The sample rate plays no part in the processing.
    plugin->Dispatch(effMainsChanged, 0, 0);
    plugin->Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    plugin->Dispatch(effMainsChanged, 0, 1);
    checkBlock(*plugin, AudioPath::Double, Expectation{0.0, plainValues(*plugin).wetMix, Feed::Stereo}, 512, 10);

    EXPECT_EQ(plugin->Dispatch(effStopProcess), 0);
    EXPECT_EQ(plugin->Dispatch(effMainsChanged, 0, 0), 0);
    plugin->Close();
    EXPECT_EQ(host.Log().Opcodes(), (std::vector<VstInt32>{audioMasterGetProductString, audioMasterGetVendorVersion}));
}

// Hosts scan plug-ins by asking for names and programs without ever opening them.
TEST_F(LoadedPlugin, AnswersQuestionsBeforeEffOpen)
{
    EXPECT_EQ(plugin->EffectName(), "Free Wayfarer-Phase Modifier");
    EXPECT_EQ(plugin->VendorString(), "Tarnbek");
    EXPECT_EQ(plugin->ParamName(kWetMix), "Wet Mix");
    EXPECT_EQ(plugin->ParamDisplay(kPan), "Left");
    EXPECT_EQ(plugin->ParamDisplay(kWetMix), "0");
    EXPECT_EQ(plugin->GetParameter(kWetMix), 0.5f);
    EXPECT_EQ(plugin->ProgramName(), "RESET to defaults");
    EXPECT_EQ(plugin->ProgramNameIndexed(7), "Pan hard right");
    EXPECT_EQ(plugin->CanDo("receiveVstTimeInfo"), 1);
    VstPinProperties pin{};
    EXPECT_EQ(plugin->Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Output 2");
    EXPECT_EQ(getChunk(*plugin, kProgramChunk), programChunk(0.0, 0.0));
    plugin->Dispatch(effSetProgram, 0, 2);
    EXPECT_EQ(plugin->ParamDisplay(kWetMix), "-0.50");
    EXPECT_EQ(host.Log().Size(), 0u);
}

// Some hosts process without effOpen. The effect then behaves as its defaults say: out0 = in0,
// out1 = -in1.
TEST_F(LoadedPlugin, ProcessesSensiblyWithoutEffOpen)
{
    std::uint32_t seed = 1;
    for (AudioPath path : kAllPaths) {
        for (VstInt32 frames : {1, 5, 1024, 2000}) {
            checkBlock(*plugin, path, Expectation{0.0, 0.0, Feed::Stereo}, frames, seed++);
        }
    }
    setPlainValues(*plugin, 1.0, -0.5);
    for (AudioPath path : kAllPaths) checkBlock(*plugin, path, Expectation{1.0, -0.5, Feed::Stereo}, 64, seed++);
    EXPECT_EQ(host.Log().Size(), 0u);
}

TEST_F(OpenPlugin, BlocksLargerThanAnnouncedAreProcessedWhole)
{
    const Expectation expectation{1.0, 0.375, Feed::Stereo};
    applyExpectation(*plugin, expectation);
    std::uint32_t seed = 1;
    const struct {
        VstIntPtr announced;
        std::vector<VstInt32> blocks;
    } sessions[] = {
        {64, {64, 65, 100, 1000, 5000}},
        {512, {513, 16, 4096}},
        {16, {1024, 17}},
        {4096, {4096, 8192}},
    };
    for (const auto& session : sessions) {
        SCOPED_TRACE(testing::Message() << "announced " << session.announced);
        plugin->Dispatch(effSetBlockSize, 0, session.announced);
        for (AudioPath path : kAllPaths) {
            for (VstInt32 frames : session.blocks) checkBlock(*plugin, path, expectation, frames, seed++);
        }
    }
}

// A block size of zero or less means nothing sensible; the effect must still process correctly.
TEST_F(OpenPlugin, NonsenseBlockSizesDoNotStopProcessing)
{
    const Expectation expectation{0.0, -0.25, Feed::Stereo};
    applyExpectation(*plugin, expectation);
    std::uint32_t seed = 1;
    for (VstIntPtr announced : {VstIntPtr{0}, VstIntPtr{-1}, VstIntPtr{-4096}, static_cast<VstIntPtr>(INT_MIN)}) {
        SCOPED_TRACE(testing::Message() << "announced " << announced);
        EXPECT_EQ(plugin->Dispatch(effSetBlockSize, 0, announced), 0);
        for (AudioPath path : kAllPaths) {
            for (VstInt32 frames : {1, 100, 3000}) checkBlock(*plugin, path, expectation, frames, seed++);
        }
    }
}

TEST_F(OpenPlugin, EmptyAndNegativeBlocksWriteNothing)
{
    applyExpectation(*plugin, Expectation{1.0, 0.5, Feed::Stereo});
    std::uint32_t seed = 1;
    for (AudioPath path : kAllPaths) {
        for (VstInt32 frames : {0, -1, -1024, INT_MIN}) {
            checkBlock(*plugin, path, Expectation{1.0, 0.5, Feed::Stereo}, frames, seed++);
        }
    }
}

TEST(HostLifecycle, InstancesAreIndependent)
{
    Host host;
    std::unique_ptr<Plugin> first = loadPlugin(host);
    std::unique_ptr<Plugin> second = loadPlugin(host);
    ASSERT_TRUE(first && second);
    first->Open();
    second->Open();

    applyExpectation(*first, Expectation{1.0, 0.5, Feed::OneInput});
    first->Dispatch(effSetProgram, 0, 9);
    char name[] = "Only Mine";
    first->Dispatch(effSetProgramName, 0, 0, name);
    applyExpectation(*first, Expectation{1.0, 0.5, Feed::OneInput});

    EXPECT_EQ(second->Dispatch(effGetProgram), 0);
    EXPECT_EQ(second->ProgramNameIndexed(9), "User 2");
    EXPECT_EQ(getChunk(*second, kProgramChunk), programChunk(0.0, 0.0));
    std::uint32_t seed = 1;
    for (AudioPath path : kAllPaths) {
        checkBlock(*first, path, Expectation{1.0, 0.5, Feed::OneInput}, 300, seed++);
        checkBlock(*second, path, Expectation{0.0, 0.0, Feed::Stereo}, 300, seed++);
    }
}

TEST(HostLifecycle, RepeatedInstancesOpenProcessAndClose)
{
    Host host;
    for (int cycle = 0; cycle < 50; ++cycle) {
        SCOPED_TRACE(testing::Message() << "cycle " << cycle);
        std::unique_ptr<Plugin> plugin = loadPlugin(host);
        ASSERT_TRUE(plugin);
        plugin->Open();
        checkBlock(*plugin, AudioPath::Replacing, Expectation{0.0, 0.0, Feed::Stereo}, 256,
                   static_cast<std::uint32_t>(cycle));
        plugin->Close();
    }
}

// ---- Requests that could crash a careless plug-in ---------------------------------------------

TEST_F(OpenPlugin, EveryRequestThatWritesThroughPtrAcceptsNull)
{
    const struct {
        VstInt32 opcode;
        VstInt32 index;
    } requests[] = {
        {effSetProgramName, 0},        {effGetProgramName, 0},        {effGetParamLabel, kPan},
        {effGetParamDisplay, kWetMix}, {effGetParamName, kPan},       {effEditGetRect, 0},
        {effGetChunk, kBankChunk},     {effGetChunk, kProgramChunk},  {effSetChunk, kProgramChunk},
        {effProcessEvents, 0},         {effGetProgramNameIndexed, 0}, {effGetInputProperties, 0},
        {effGetOutputProperties, 0},   {effGetEffectName, 0},         {effGetVendorString, 0},
        {effGetProductString, 0},      {effVendorSpecific, 7},        {effCanDo, 0},
        {effGetMidiKeyName, 0},
    };
    for (const auto& request : requests) {
        EXPECT_EQ(plugin->Dispatch(request.opcode, request.index, 24, nullptr), 0) << "opcode " << request.opcode;
    }
    EXPECT_EQ(plugin->ProgramName(), "RESET to defaults");
    EXPECT_EQ(getChunk(*plugin, kProgramChunk), programChunk(0.0, 0.0));
    EXPECT_EQ(host.Log().Size(), 0u);
}

// A record whose object is gone (a host bug, or a copy of the record) must not reach the effect.
TEST_F(OpenPlugin, RecordWithoutObjectIsInert)
{
    AEffect orphan = *plugin->Effect();
    orphan.object = nullptr;
    CanaryBuffer buffer;
    EXPECT_EQ(orphan.dispatcher(&orphan, effGetEffectName, 0, 0, buffer.data(), 0.0f), 0);
    EXPECT_EQ(orphan.dispatcher(&orphan, effIdentify, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(orphan.dispatcher(&orphan, effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_TRUE(buffer.untouched());
    EXPECT_EQ(orphan.getParameter(&orphan, kWetMix), 0.0f);
    orphan.setParameter(&orphan, kWetMix, 1.0f);

    float samples[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    float* channels[2] = {samples, samples + 2};
    orphan.processReplacing(&orphan, channels, channels, 2);
    orphan.process(&orphan, channels, channels, 2);
    double doubles[4] = {1.0, 2.0, 3.0, 4.0};
    double* doubleChannels[2] = {doubles, doubles + 2};
    orphan.processDoubleReplacing(&orphan, doubleChannels, doubleChannels, 2);
    EXPECT_EQ(samples[3], 4.0f);
    EXPECT_EQ(doubles[3], 4.0);

    EXPECT_EQ(plugin->GetParameter(kWetMix), 0.5f) << "the real instance is untouched";
}

// ---- Events ---------------------------------------------------------------------------------

// VstEvents declares room for two events; a host allocates as many as it sends.
struct ThreeEvents {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[3];
};
static_assert(offsetof(ThreeEvents, events) == offsetof(VstEvents, events), "same head as VstEvents");

TEST_F(OpenPlugin, MidiEventsGoStraightBackToTheHost)
{
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    note.deltaFrames = 5;
    note.flags = kVstMidiEventIsRealtime;
    note.noteLength = 7;
    note.noteOffset = 2;
    note.midiData[0] = static_cast<char>(0x90);
    note.midiData[1] = 60;
    note.midiData[2] = 100;
    note.detune = 3;
    note.noteOffVelocity = 64;
    char dump[] = {static_cast<char>(0xF0), 0x7E, static_cast<char>(0xF7)};
    VstMidiSysexEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof sysex;
    sysex.deltaFrames = 9;
    sysex.dumpBytes = sizeof dump;
    sysex.sysexDump = dump;
    ThreeEvents list{3, 0, {reinterpret_cast<VstEvent*>(&note), nullptr, reinterpret_cast<VstEvent*>(&sysex)}};

    EXPECT_EQ(plugin->Dispatch(effProcessEvents, 0, 0, &list), 1);

    const std::vector<HostRequest> sent = host.Log().All();
    ASSERT_EQ(sent.size(), 2u) << "one request per event; the null entry is skipped";
    for (const HostRequest& request : sent) {
        EXPECT_EQ(request.opcode, audioMasterProcessEvents);
        EXPECT_EQ(request.effect, plugin->Effect());
    }
    // The MIDI event comes back rebuilt from its message alone: status, data bytes and offset.
    ASSERT_EQ(sent[0].events.size(), 1u);
    VstMidiEvent echoed;
    std::memcpy(&echoed, &sent[0].events[0], sizeof echoed);
    EXPECT_EQ(echoed.type, kVstMidiType);
    EXPECT_EQ(echoed.byteSize, 32);
    EXPECT_EQ(echoed.deltaFrames, 5);
    EXPECT_EQ(echoed.flags, 0);
    EXPECT_EQ(echoed.noteLength, 0);
    EXPECT_EQ(echoed.noteOffset, 0);
    EXPECT_EQ(static_cast<unsigned char>(echoed.midiData[0]), 0x90);
    EXPECT_EQ(echoed.midiData[1], 60);
    EXPECT_EQ(echoed.midiData[2], 100);
    EXPECT_EQ(echoed.midiData[3], 0);
    EXPECT_EQ(echoed.detune, 0);
    EXPECT_EQ(echoed.noteOffVelocity, 0);
    // Other events go back unchanged.
    bool sysexSent = false;
    for (const VstEvent& event : sent[1].events) {
        sysexSent = sysexSent || (event.type == kVstSysExType && event.deltaFrames == 9);
    }
    EXPECT_TRUE(sysexSent);
}

TEST_F(OpenPlugin, EmptyEventListsSendNothing)
{
    for (VstInt32 count : {0, -1, INT_MIN}) {
        ThreeEvents list{count, 0, {nullptr, nullptr, nullptr}};
        EXPECT_EQ(plugin->Dispatch(effProcessEvents, 0, 0, &list), 1) << count << " events";
    }
    EXPECT_EQ(plugin->Dispatch(effProcessEvents, 0, 0, nullptr), 0);
    EXPECT_EQ(host.Log().Size(), 0u);
}

} // namespace
} // namespace hosttest
