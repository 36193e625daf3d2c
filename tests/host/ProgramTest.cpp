// The twelve programs as a host lists, selects, edits and renames them.
#include "HostHarness.h"

#include <climits>
#include <string>

namespace hosttest {
namespace {

TEST_F(LoadedPlugin, ListsTheFactoryProgramsInOrder)
{
    for (VstInt32 index = 0; index < kNumPrograms; ++index) {
        SCOPED_TRACE(testing::Message() << "program " << index);
        CanaryBuffer buffer;
        EXPECT_EQ(plugin->Dispatch(effGetProgramNameIndexed, index, 0, buffer.data()), 1);
        EXPECT_EQ(buffer.text(), kFactoryProgramNames[index]);
        EXPECT_TRUE(buffer.untouchedFrom(kVstMaxProgNameLen));
    }
}

TEST_F(LoadedPlugin, ProgramNamesOutOfRangeAreEmpty)
{
    for (VstInt32 index : {12, 13, -1, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(testing::Message() << "program " << index);
        // Writing an empty name and writing nothing are both fine; anything else is not.
        CanaryBuffer buffer;
        buffer.setFirstByteZero();
        EXPECT_EQ(plugin->Dispatch(effGetProgramNameIndexed, index, 0, buffer.data()), 0);
        EXPECT_EQ(buffer[0], 0);
        EXPECT_TRUE(buffer.untouchedFrom(1));
    }
    EXPECT_EQ(plugin->Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);
}

struct FactoryProgram {
    VstInt32 index;
    double pan;    // plain value
    double wetMix; // plain value
    const char* panDisplay;
    const char* wetMixDisplay;
};

class FactoryPrograms : public OpenPlugin, public ::testing::WithParamInterface<FactoryProgram> {};

TEST_P(FactoryPrograms, SelectingOneLoadsItsValues)
{
    const FactoryProgram& p = GetParam();
    EXPECT_EQ(plugin->Dispatch(effSetProgram, 0, p.index), 0);
    EXPECT_EQ(plugin->Dispatch(effGetProgram), p.index);
    EXPECT_EQ(plugin->ProgramName(), kFactoryProgramNames[p.index]);

    const PlainValues plain = plainValues(*plugin);
    EXPECT_EQ(plain.pan, p.pan);
    EXPECT_NEAR(plain.wetMix, p.wetMix, 1e-12);
    EXPECT_EQ(plugin->GetParameter(kPan), static_cast<float>(p.pan));
    EXPECT_NEAR(plugin->GetParameter(kWetMix), wetNormalized(p.wetMix), 1e-6);
    EXPECT_EQ(plugin->ParamDisplay(kPan), p.panDisplay);
    EXPECT_EQ(plugin->ParamDisplay(kWetMix), p.wetMixDisplay);
}

INSTANTIATE_TEST_SUITE_P(
    Host, FactoryPrograms,
    ::testing::Values(FactoryProgram{0, 0.0, 0.0, "Left", "0"}, FactoryProgram{1, 1.0, -a12(), "Right", "-0.75"},
                      FactoryProgram{2, 1.0, -a6(), "Right", "-0.50"}, FactoryProgram{3, 1.0, -a3(), "Right", "-0.29"},
                      FactoryProgram{4, 0.0, 0.0, "Left", "0"}, FactoryProgram{5, 0.0, a3(), "Left", "0.29"},
                      FactoryProgram{6, 0.0, a6(), "Left", "0.50"}, FactoryProgram{7, 0.0, a12(), "Left", "0.75"},
                      FactoryProgram{8, 0.0, 0.0, "Left", "0"}, FactoryProgram{9, 0.0, 0.0, "Left", "0"},
                      FactoryProgram{10, 0.0, 0.0, "Left", "0"}, FactoryProgram{11, 0.0, 0.0, "Left", "0"}));

TEST_F(OpenPlugin, HardLeftReadsAsFullPanAndNoWetMix)
{
    plugin->Dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(plugin->GetParameter(kPan), 1.0f);
    EXPECT_EQ(plugin->GetParameter(kWetMix), 0.0f);
}

TEST_F(OpenPlugin, SelectingAProgramOutOfRangeChangesNothing)
{
    plugin->Dispatch(effSetProgram, 0, 3);
    plugin->SetParameter(kWetMix, 0.9f);
    const Bytes before = getChunk(*plugin, kProgramChunk);
    const VstIntPtr wrong[] = {12, 13, -1, INT_MAX, static_cast<VstIntPtr>(INT_MIN)};
    for (VstIntPtr program : wrong) {
        SCOPED_TRACE(testing::Message() << "program " << program);
        EXPECT_EQ(plugin->Dispatch(effSetProgram, 0, program), 0);
        EXPECT_EQ(plugin->Dispatch(effGetProgram), 3);
        EXPECT_EQ(plugin->ProgramName(), "Pan slight left");
        EXPECT_EQ(getChunk(*plugin, kProgramChunk), before);
    }
}

// A host switching programs must not lose what the user did to the one it leaves. The edits
// arrive as automation only, which stores nothing by itself.
TEST_F(OpenPlugin, EditsStayWithTheProgramTheyWereMadeIn)
{
    plugin->Dispatch(effSetProgram, 0, 8);
    plugin->SetParameter(kPan, 1.0f);
    plugin->SetParameter(kWetMix, 0.875f);
    plugin->Dispatch(effSetProgram, 0, 1);
    plugin->SetParameter(kPan, 0.0f);
    plugin->SetParameter(kWetMix, 0.25f);

    plugin->Dispatch(effSetProgram, 0, 9);
    EXPECT_EQ(plugin->GetParameter(kPan), 0.0f);
    EXPECT_EQ(plugin->GetParameter(kWetMix), 0.5f);

    plugin->Dispatch(effSetProgram, 0, 8);
    EXPECT_EQ(plugin->GetParameter(kPan), 1.0f);
    EXPECT_NEAR(plugin->GetParameter(kWetMix), 0.875f, 1e-6);
    plugin->Dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(plugin->GetParameter(kPan), 0.0f);
    EXPECT_NEAR(plugin->GetParameter(kWetMix), 0.25f, 1e-6);
    EXPECT_EQ(plugin->ProgramNameIndexed(1), "Pan hard left");
}

TEST_F(OpenPlugin, ReselectingTheCurrentProgramKeepsItsEdits)
{
    plugin->Dispatch(effSetProgram, 0, 5);
    plugin->SetParameter(kPan, 1.0f);
    plugin->SetParameter(kWetMix, 0.125f);
    plugin->Dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(plugin->GetParameter(kPan), 1.0f);
    EXPECT_NEAR(plugin->GetParameter(kWetMix), 0.125f, 1e-6);
}

struct RenameCase {
    const char* name;
    std::string newName;
};

class Rename : public OpenPlugin, public ::testing::WithParamInterface<RenameCase> {};

// A host may set a name of any length, but reads names back into 24-byte buffers.
TEST_P(Rename, ReadsBackWithinTheProgramNameBuffer)
{
    std::string newName = GetParam().newName;
    plugin->Dispatch(effSetProgram, 0, 10);
    EXPECT_EQ(plugin->Dispatch(effSetProgramName, 0, 0, &newName[0]), 0);

    CanaryBuffer current;
    plugin->Dispatch(effGetProgramName, 0, 0, current.data());
    CanaryBuffer indexed;
    EXPECT_EQ(plugin->Dispatch(effGetProgramNameIndexed, 10, 0, indexed.data()), 1);
    for (const CanaryBuffer* buffer : {&current, &indexed}) {
        EXPECT_TRUE(buffer->untouchedFrom(kVstMaxProgNameLen)) << "overran the program name buffer";
        const std::string readBack = buffer->text();
        EXPECT_LT(readBack.size(), static_cast<std::size_t>(kVstMaxProgNameLen));
        EXPECT_FALSE(readBack.empty());
        EXPECT_EQ(newName.compare(0, readBack.size(), readBack), 0) << readBack << " is not a prefix";
        if (newName.size() < static_cast<std::size_t>(kVstMaxProgNameLen)) {
            EXPECT_EQ(readBack, newName);
        }
    }

    plugin->Dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(plugin->ProgramNameIndexed(10), current.text()) << "the name belongs to program 10";
    EXPECT_EQ(plugin->ProgramName(), "RESET to defaults");
    EXPECT_EQ(plugin->ProgramNameIndexed(11), "User 4");
}

INSTANTIATE_TEST_SUITE_P(Host, Rename,
                         ::testing::Values(RenameCase{"Short", "My Sound"}, RenameCase{"OneCharacter", "x"},
                                           RenameCase{"Fits", std::string(23, 'f')},
                                           RenameCase{"OneTooLong", std::string(24, 'o')},
                                           RenameCase{"FactoryLimit", std::string(255, 'l')},
                                           RenameCase{"BeyondEveryLimit", std::string(1000, 'b')}),
                         ByName());

TEST_F(OpenPlugin, RenamingWithNothingKeepsTheName)
{
    plugin->Dispatch(effSetProgram, 0, 2);
    char empty[] = "";
    EXPECT_EQ(plugin->Dispatch(effSetProgramName, 0, 0, empty), 0);
    EXPECT_EQ(plugin->Dispatch(effSetProgramName, 0, 0, nullptr), 0);
    EXPECT_EQ(plugin->ProgramName(), "Pan left");
    EXPECT_EQ(plugin->Dispatch(effGetProgramName, 0, 0, nullptr), 0);
}

// A bank can mark a program slot as unused; selecting it then turns the current sound into a
// new user preset instead of loading stale values.
TEST_F(OpenPlugin, SelectingAnUnusedSlotMakesAUserPreset)
{
    bool parsed = false;
    std::vector<BankRecord> records = parseBank(getChunk(*plugin, kBankChunk), &parsed);
    ASSERT_TRUE(parsed);
    for (int slot : {9, 10}) {
        records[slot].initialized = false;
        records[slot].values.clear();
    }
    ASSERT_EQ(setChunk(*plugin, kBankChunk, buildBank(records)), 1);

    setPlainValues(*plugin, 1.0, -0.5);
    plugin->Dispatch(effSetProgram, 0, 10);
    EXPECT_EQ(plugin->Dispatch(effGetProgram), 10);
    EXPECT_EQ(plugin->ProgramName(), "user preset 1");
    EXPECT_EQ(plainValues(*plugin).pan, 1.0);
    EXPECT_EQ(plainValues(*plugin).wetMix, -0.5);

    plugin->Dispatch(effSetProgram, 0, 9);
    EXPECT_EQ(plugin->ProgramName(), "user preset 2");
    EXPECT_EQ(plainValues(*plugin).wetMix, -0.5);
}

} // namespace
} // namespace hosttest
