// State chunks as a host saves and restores them: the exact program chunk bytes, the bank layout
// and its round trip between instances, and what foreign, short or lying chunks do.
#include "HostHarness.h"

#include <climits>
#include <cstdint>
#include <limits>
#include <string>

namespace hosttest {
namespace {

using vsthost::Host;
using vsthost::Plugin;

// ---- Getting chunks ---------------------------------------------------------------------------

TEST_F(OpenPlugin, ProgramChunkIsHeaderAndTwoDoubles)
{
    const Bytes defaults = getChunk(*plugin, kProgramChunk);
    EXPECT_EQ(defaults, (Bytes{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00,    // "tffp", 0x00010000
                               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,    // Pan 0.0
                               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00})); // Wet Mix 0.0

    plugin->SetParameter(kPan, 1.0f);
    setPlainValues(*plugin, 1.0, -0.25);
    EXPECT_EQ(getChunk(*plugin, kProgramChunk), (Bytes{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00,    //
                                                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,    // 1.0
                                                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD0, 0xBF})); // -0.25
}

TEST_F(OpenPlugin, EveryNonZeroIndexMeansTheProgram)
{
    setPlainValues(*plugin, 1.0, 0.5);
    for (VstInt32 index : {1, 2, -1, INT_MAX}) {
        EXPECT_EQ(getChunk(*plugin, index), programChunk(1.0, 0.5)) << "index " << index;
    }
}

TEST_F(OpenPlugin, GettingAChunkNeedsSomewhereToPutIt)
{
    EXPECT_EQ(plugin->Dispatch(effGetChunk, kProgramChunk, 0, nullptr), 0);
    EXPECT_EQ(plugin->Dispatch(effGetChunk, kBankChunk, 0, nullptr), 0);
}

// The host may hold on to one chunk of each kind while it asks for the other.
TEST_F(OpenPlugin, ProgramChunkSurvivesABankRequest)
{
    setPlainValues(*plugin, 1.0, 0.125);
    void* program = nullptr;
    const VstIntPtr programSize = plugin->Dispatch(effGetChunk, kProgramChunk, 0, &program);
    ASSERT_EQ(programSize, 24);
    const Bytes copy(static_cast<unsigned char*>(program), static_cast<unsigned char*>(program) + programSize);
    void* bank = nullptr;
    ASSERT_GT(plugin->Dispatch(effGetChunk, kBankChunk, 0, &bank), 0);
    EXPECT_NE(bank, program);
    EXPECT_EQ(Bytes(static_cast<unsigned char*>(program), static_cast<unsigned char*>(program) + programSize), copy);
}

TEST_F(OpenPlugin, BankChunkHoldsEveryProgram)
{
    plugin->Dispatch(effSetProgram, 0, 4);
    setPlainValues(*plugin, 1.0, 0.625); // the current program's edits go into the bank too
    const Bytes bank = getChunk(*plugin, kBankChunk);
    bool parsed = false;
    const std::vector<BankRecord> records = parseBank(bank, &parsed);
    ASSERT_TRUE(parsed) << "bank of " << bank.size() << " bytes";
    for (int i = 0; i < kNumPrograms; ++i) {
        SCOPED_TRACE(testing::Message() << "program " << i);
        EXPECT_EQ(records[i].name, kFactoryProgramNames[i]);
        EXPECT_TRUE(records[i].initialized);
        ASSERT_EQ(records[i].values.size(), 2u);
    }
    EXPECT_EQ(records[0].values, (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(records[1].values[0], 1.0);
    EXPECT_NEAR(records[1].values[1], -a12(), 1e-12);
    EXPECT_NEAR(records[6].values[1], a6(), 1e-12);
    EXPECT_EQ(records[4].values, (std::vector<double>{1.0, 0.625}));
}

// ---- Setting chunks ---------------------------------------------------------------------------

Bytes concat(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes doubles(std::initializer_list<double> values)
{
    Bytes bytes;
    for (double value : values) appendDouble(bytes, value);
    return bytes;
}

struct SetChunkCase {
    const char* name;
    VstInt32 kind;
    Bytes bytes;
    VstIntPtr expected;
    double pan;    // plain values afterwards
    double wetMix; // or kTop / kBottom for the ends of the range
};

// Every case starts from Pan 1.0, Wet Mix 0.125, so that a value the chunk did not set shows.
constexpr double kStartPan = 1.0;
constexpr double kStartWetMix = 0.125;
// Stand-ins for the range ends, which the plug-in computes itself.
constexpr double kTop = 1000.0;
constexpr double kBottom = -1000.0;

class SetChunk : public OpenPlugin, public ::testing::WithParamInterface<SetChunkCase> {};

TEST_P(SetChunk, LoadsWhatItCanAndSaysWhetherItWasWhole)
{
    const SetChunkCase& c = GetParam();
    setPlainValues(*plugin, kStartPan, kStartWetMix);
    EXPECT_EQ(setChunk(*plugin, c.kind, c.bytes), c.expected);
    const PlainValues plain = plainValues(*plugin);
    EXPECT_EQ(plain.pan, c.pan);
    if (c.wetMix == kTop) {
        EXPECT_NEAR(plain.wetMix, a12(), 1e-12);
    } else if (c.wetMix == kBottom) {
        EXPECT_NEAR(plain.wetMix, -a12(), 1e-12);
    } else {
        EXPECT_EQ(plain.wetMix, c.wetMix);
    }
    EXPECT_EQ(plugin->Dispatch(effGetProgram), 0) << "a chunk never selects another program";
}

const Bytes kTffp = {'t', 'f', 'f', 'p'};

INSTANTIATE_TEST_SUITE_P(
    Host, SetChunk,
    ::testing::Values(
        SetChunkCase{"Program", kProgramChunk, programChunk(0.0, 0.25), 1, 0.0, 0.25},
        SetChunkCase{"HeaderlessProgram", kProgramChunk, doubles({0.0, -0.5}), 1, 0.0, -0.5},
        // Data without the bank header is one program's state, whichever kind it came as.
        SetChunkCase{"HeaderlessAsBank", kBankChunk, doubles({0.0, -0.5}), 1, 0.0, -0.5},
        SetChunkCase{"OldFormatBank", kBankChunk, concat(Bytes{'t', 'f', 'f', 'p', 0, 0, 0, 0}, doubles({0.0, 0.5})), 1,
                     0.0, 0.5},
        SetChunkCase{"ValuesAboveRange", kProgramChunk, programChunk(7.0, 5.0), 1, 1.0, kTop},
        SetChunkCase{"ValuesBelowRange", kProgramChunk, programChunk(-3.0, -5.0), 1, 0.0, kBottom},
        SetChunkCase{"TrailingBytesIgnored", kProgramChunk, concat(programChunk(0.0, 0.25), doubles({9.0})), 1, 0.0,
                     0.25},
        // Data that runs out changes nothing.
        SetChunkCase{"HeaderAndOneValue", kProgramChunk, concat(chunkHeader(), doubles({0.0})), 0, kStartPan,
                     kStartWetMix},
        SetChunkCase{"HeaderOnly", kProgramChunk, chunkHeader(), 0, kStartPan, kStartWetMix},
        SetChunkCase{"HeaderlessOneAndAHalfValues", kProgramChunk, concat(doubles({0.0}), Bytes{1, 2, 3, 4}), 0,
                     kStartPan, kStartWetMix},
        SetChunkCase{"ThreeBytes", kProgramChunk, Bytes{'t', 'f', 'f'}, 0, kStartPan, kStartWetMix},
        // A header cut short is no state at all.
        SetChunkCase{"CutShort4", kProgramChunk, kTffp, 0, kStartPan, kStartWetMix},
        SetChunkCase{"CutShort5", kProgramChunk, concat(kTffp, Bytes{0}), 0, kStartPan, kStartWetMix},
        SetChunkCase{"CutShort6", kProgramChunk, concat(kTffp, Bytes{0, 0}), 0, kStartPan, kStartWetMix},
        SetChunkCase{"CutShort7", kProgramChunk, concat(kTffp, Bytes{0, 0, 1}), 0, kStartPan, kStartWetMix},
        SetChunkCase{"CutShort7AsBank", kBankChunk, concat(kTffp, Bytes{0, 0, 1}), 0, kStartPan, kStartWetMix}),
    ByName());

// A host that lies about the size must not make the plug-in read past the data or allocate
// without bound; the state stays as it was.
TEST_F(OpenPlugin, ImpossibleChunkSizesAreRefused)
{
    plugin->Dispatch(effSetProgram, 0, 6);
    setPlainValues(*plugin, 1.0, 0.375);
    const Bytes bankBefore = getChunk(*plugin, kBankChunk);
    Bytes data = programChunk(0.0, -0.25);

    std::vector<VstIntPtr> sizes = {-1, -24, INT_MIN, INT_MAX, std::numeric_limits<VstIntPtr>::min()};
#if INTPTR_MAX > INT32_MAX
    // Sizes that a careless conversion to 32 bits would turn into 24 or into something negative.
    sizes.push_back((VstIntPtr{1} << 32) + 24);
    sizes.push_back(VstIntPtr{1} << 40);
    sizes.push_back(std::numeric_limits<VstIntPtr>::max());
#endif
    for (VstInt32 kind : {kProgramChunk, kBankChunk}) {
        for (VstIntPtr size : sizes) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " size " << size);
            EXPECT_EQ(plugin->Dispatch(effSetChunk, kind, size, data.data()), 0);
            EXPECT_EQ(plugin->Dispatch(effGetProgram), 6);
            EXPECT_EQ(plainValues(*plugin).wetMix, 0.375);
            EXPECT_EQ(getChunk(*plugin, kBankChunk), bankBefore);
        }
        EXPECT_EQ(plugin->Dispatch(effSetChunk, kind, 24, nullptr), 0);
        EXPECT_EQ(getChunk(*plugin, kBankChunk), bankBefore);
    }
}

// A state that cannot be read whole is not applied, and the program keeps what it held.
TEST_F(OpenPlugin, FailedProgramChunkLeavesTheProgramAlone)
{
    plugin->Dispatch(effSetProgram, 0, 6);
    setPlainValues(*plugin, 1.0, 0.375);
    const Bytes bankBefore = getChunk(*plugin, kBankChunk);
    for (const Bytes& junk : {Bytes{'t', 'f', 'f'}, concat(chunkHeader(), doubles({0.0}))}) {
        EXPECT_EQ(setChunk(*plugin, kProgramChunk, junk), 0);
        EXPECT_EQ(plainValues(*plugin).pan, 1.0);
        EXPECT_EQ(getChunk(*plugin, kBankChunk), bankBefore);
    }
}

TEST_F(OpenPlugin, EmptyChunkIsNoState)
{
    unsigned char nothing = 0;
    EXPECT_EQ(plugin->Dispatch(effSetChunk, kProgramChunk, 0, &nothing), 0);
    EXPECT_EQ(plugin->Dispatch(effSetChunk, kBankChunk, 0, &nothing), 0);
}

// ---- Banks between instances ------------------------------------------------------------------

// Gives an instance a state that differs from the factory state in every way a bank can carry.
void makeDistinctive(Plugin& plugin)
{
    plugin.Dispatch(effSetProgram, 0, 3);
    char name[] = "Bank Test";
    plugin.Dispatch(effSetProgramName, 0, 0, name);
    plugin.Dispatch(effSetProgram, 0, 8);
    setPlainValues(plugin, 1.0, 0.5);
    plugin.Dispatch(effSetProgram, 0, 2);
    setPlainValues(plugin, 0.0, -0.75);
}

TEST(HostBank, RoundTripsBetweenInstances)
{
    Host host;
    std::unique_ptr<Plugin> source = loadPlugin(host);
    std::unique_ptr<Plugin> target = loadPlugin(host);
    ASSERT_TRUE(source && target);
    source->Open();
    target->Open();
    makeDistinctive(*source);
    const Bytes bank = getChunk(*source, kBankChunk);
    ASSERT_FALSE(bank.empty());

    ASSERT_EQ(setChunk(*target, kBankChunk, bank), 1);
    EXPECT_EQ(getChunk(*target, kBankChunk), bank);
    for (VstInt32 program = 0; program < kNumPrograms; ++program) {
        SCOPED_TRACE(testing::Message() << "program " << program);
        EXPECT_EQ(target->ProgramNameIndexed(program), source->ProgramNameIndexed(program));
        source->Dispatch(effSetProgram, 0, program);
        target->Dispatch(effSetProgram, 0, program);
        EXPECT_EQ(getChunk(*target, kProgramChunk), getChunk(*source, kProgramChunk));
    }
    EXPECT_EQ(target->ProgramNameIndexed(3), "Bank Test");
}

TEST(HostBank, LoadingKeepsTheCurrentProgramAndLoadsItsValues)
{
    Host host;
    std::unique_ptr<Plugin> source = loadPlugin(host);
    std::unique_ptr<Plugin> target = loadPlugin(host);
    ASSERT_TRUE(source && target);
    makeDistinctive(*source);
    const Bytes bank = getChunk(*source, kBankChunk);

    target->Dispatch(effSetProgram, 0, 8);
    ASSERT_EQ(setChunk(*target, kBankChunk, bank), 1);
    EXPECT_EQ(target->Dispatch(effGetProgram), 8);
    EXPECT_EQ(plainValues(*target).pan, 1.0);
    EXPECT_EQ(plainValues(*target).wetMix, 0.5);
}

// A bank that ends inside the sixth program replaces the first five and leaves the last six.
TEST(HostBank, CutShortLoadsThePrefixAndReportsFailure)
{
    Host host;
    std::unique_ptr<Plugin> source = loadPlugin(host);
    std::unique_ptr<Plugin> target = loadPlugin(host);
    ASSERT_TRUE(source && target);
    for (VstInt32 program = 0; program < kNumPrograms; ++program) {
        source->Dispatch(effSetProgram, 0, program);
        std::string name = "Source " + std::to_string(program);
        source->Dispatch(effSetProgramName, 0, 0, &name[0]);
        setPlainValues(*source, 1.0, 0.0625 * program);
    }
    source->Dispatch(effSetProgram, 0, 0);
    bool parsed = false;
    std::vector<BankRecord> records = parseBank(getChunk(*source, kBankChunk), &parsed);
    ASSERT_TRUE(parsed);
    records.resize(5);
    Bytes cut = buildBank(records);
    cut.push_back(8); // two bytes of the sixth record's name length
    cut.push_back(0);

    EXPECT_EQ(setChunk(*target, kBankChunk, cut), 0);
    for (VstInt32 program = 0; program < 5; ++program) {
        EXPECT_EQ(target->ProgramNameIndexed(program), "Source " + std::to_string(program));
    }
    for (VstInt32 program = 6; program < kNumPrograms; ++program) {
        EXPECT_EQ(target->ProgramNameIndexed(program), kFactoryProgramNames[program]);
    }
    // The current program was reloaded from the part that arrived.
    EXPECT_EQ(plainValues(*target).pan, 1.0);
    EXPECT_EQ(plainValues(*target).wetMix, 0.0);
    target->Dispatch(effSetProgram, 0, 4);
    EXPECT_EQ(plainValues(*target).wetMix, 0.25);
    target->Dispatch(effSetProgram, 0, 7);
    EXPECT_NEAR(plainValues(*target).wetMix, a12(), 1e-12);
}

} // namespace
} // namespace hosttest
