// The .fxp/.fxb layout on its own: byte offsets as hosts write them, round trips, and damaged
// files that must be refused with a reason rather than read past their end.
#include "PresetFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using hosttool::DecodeFxFile;
using hosttool::EncodeFxFile;
using hosttool::FxFile;
using hosttool::FxProgram;
using Bytes = std::vector<unsigned char>;

struct ByName {
    template <typename Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};

std::int32_t BigEndianAt(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[at]) << 24 | bytes[at + 1] << 16 |
                                     bytes[at + 2] << 8 | bytes[at + 3]);
}

std::string TextAt(const Bytes& bytes, std::size_t at, std::size_t length)
{
    return std::string(reinterpret_cast<const char*>(bytes.data() + at), length);
}

FxProgram Program(const std::string& name, std::vector<float> params)
{
    FxProgram program;
    program.name = name;
    program.numParams = static_cast<std::int32_t>(params.size());
    program.params = std::move(params);
    return program;
}

FxFile ProgramFile(const FxProgram& program)
{
    FxFile file;
    file.fxID = FourCC("korw");
    file.fxVersion = 10200;
    file.program = program;
    return file;
}

FxFile BankFile(std::vector<FxProgram> programs, std::int32_t current)
{
    FxFile file = ProgramFile({});
    file.isBank = true;
    file.bank.numPrograms = static_cast<std::int32_t>(programs.size());
    file.bank.programs = std::move(programs);
    file.bank.currentProgram = current;
    return file;
}

TEST(FxLayout, ProgramFileIsBigEndianWithAFixedNameField)
{
    const Bytes bytes = EncodeFxFile(ProgramFile(Program("Pan left", {1.0f, 0.25f})));
    ASSERT_EQ(bytes.size(), 64u);
    EXPECT_EQ(TextAt(bytes, 0, 4), "CcnK");
    EXPECT_EQ(BigEndianAt(bytes, 4), 56); // everything after byteSize
    EXPECT_EQ(TextAt(bytes, 8, 4), "FxCk");
    EXPECT_EQ(BigEndianAt(bytes, 12), 1);
    EXPECT_EQ(TextAt(bytes, 16, 4), "korw");
    EXPECT_EQ(BigEndianAt(bytes, 20), 10200);
    EXPECT_EQ(BigEndianAt(bytes, 24), 2);
    EXPECT_EQ(TextAt(bytes, 28, 28), std::string("Pan left") + std::string(20, '\0'));
    const Bytes floats(bytes.begin() + 56, bytes.end());
    EXPECT_EQ(floats, (Bytes{0x3F, 0x80, 0x00, 0x00, 0x3E, 0x80, 0x00, 0x00}));
}

TEST(FxLayout, LongNamesAreCutAndKeepTheirTerminator)
{
    const Bytes bytes = EncodeFxFile(ProgramFile(Program(std::string(40, 'x'), {})));
    EXPECT_EQ(TextAt(bytes, 28, 28), std::string(27, 'x') + '\0');
}

TEST(FxLayout, BankHasVersionTwoWithTheCurrentProgramThenWholeProgramRecords)
{
    const Bytes bytes = EncodeFxFile(BankFile({Program("A", {0.5f}), Program("B", {0.75f})}, 1));
    ASSERT_EQ(bytes.size(), 156u + 2 * 60u);
    EXPECT_EQ(TextAt(bytes, 8, 4), "FxBk");
    EXPECT_EQ(BigEndianAt(bytes, 4), static_cast<std::int32_t>(bytes.size() - 8));
    EXPECT_EQ(BigEndianAt(bytes, 12), 2);
    EXPECT_EQ(BigEndianAt(bytes, 24), 2); // numPrograms
    EXPECT_EQ(BigEndianAt(bytes, 28), 1); // currentProgram
    EXPECT_EQ(Bytes(bytes.begin() + 32, bytes.begin() + 156), Bytes(124, 0));
    EXPECT_EQ(TextAt(bytes, 156, 4), "CcnK");
    EXPECT_EQ(TextAt(bytes, 164, 4), "FxCk");
    EXPECT_EQ(TextAt(bytes, 156 + 60 + 28, 1), "B");
}

struct RoundTrip {
    const char* name;
    FxFile file;
};

class FxRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(FxRoundTrip, DecodesToWhatWasEncoded)
{
    const FxFile& original = GetParam().file;
    FxFile decoded;
    std::string error;
    ASSERT_TRUE(DecodeFxFile(EncodeFxFile(original), decoded, error)) << error;
    EXPECT_EQ(decoded.isBank, original.isBank);
    EXPECT_EQ(decoded.fxID, original.fxID);
    EXPECT_EQ(decoded.fxVersion, original.fxVersion);
    auto same = [](const FxProgram& a, const FxProgram& b) {
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.opaque, b.opaque);
        EXPECT_EQ(a.numParams, b.numParams);
        EXPECT_EQ(a.params, b.params);
        EXPECT_EQ(a.chunk, b.chunk);
    };
    if (!original.isBank) return same(decoded.program, original.program);
    EXPECT_EQ(decoded.bank.currentProgram, original.bank.currentProgram);
    EXPECT_EQ(decoded.bank.numPrograms, original.bank.numPrograms);
    EXPECT_EQ(decoded.bank.opaque, original.bank.opaque);
    EXPECT_EQ(decoded.bank.chunk, original.bank.chunk);
    ASSERT_EQ(decoded.bank.programs.size(), original.bank.programs.size());
    for (std::size_t i = 0; i < original.bank.programs.size(); ++i)
        same(decoded.bank.programs[i], original.bank.programs[i]);
}

FxFile OpaqueProgram()
{
    FxProgram program = Program("Chunky", {});
    program.numParams = 5;
    program.opaque = true;
    program.chunk = {1, 2, 3, 0, 255};
    return ProgramFile(program);
}

FxFile OpaqueBank()
{
    FxFile file = BankFile({}, 3);
    file.bank.opaque = true;
    file.bank.numPrograms = 12;
    file.bank.chunk = Bytes(1000, 0xAB);
    return file;
}

INSTANTIATE_TEST_SUITE_P(
    Fx, FxRoundTrip,
    ::testing::Values(RoundTrip{"Program", ProgramFile(Program("Pan hard left", {1.0f, 0.0f}))},
                      RoundTrip{"ProgramWithoutParameters", ProgramFile(Program("", {}))},
                      RoundTrip{"OddFloats", ProgramFile(Program("x", {-0.0f, 1e-38f, 0.333333343f}))},
                      RoundTrip{"Bank", BankFile({Program("A", {0.1f, 0.2f}), Program("B", {0.3f, 0.4f})}, 1)},
                      RoundTrip{"OpaqueProgram", OpaqueProgram()}, RoundTrip{"OpaqueBank", OpaqueBank()}),
    ByName());

TEST(FxLayout, VersionOneBanksHaveNoCurrentProgram)
{
    Bytes bytes = EncodeFxFile(BankFile({Program("A", {0.5f})}, 0));
    bytes[15] = 1;     // version 1
    bytes[28 + 3] = 7; // reserved then, whatever it holds
    FxFile decoded;
    std::string error;
    ASSERT_TRUE(DecodeFxFile(bytes, decoded, error)) << error;
    EXPECT_EQ(decoded.bank.currentProgram, 0);
}

struct Damage {
    const char* name;
    Bytes (*make)();
    const char* reason;
};

class DamagedFiles : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedFiles, AreRefusedWithAReason)
{
    FxFile decoded;
    std::string error;
    EXPECT_FALSE(DecodeFxFile(GetParam().make(), decoded, error));
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

Bytes GoodProgram() { return EncodeFxFile(ProgramFile(Program("P", {0.5f, 0.5f}))); }
Bytes GoodBank() { return EncodeFxFile(BankFile({Program("A", {0.5f}), Program("B", {0.5f})}, 0)); }
void SetInt(Bytes& bytes, std::size_t at, std::int32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

INSTANTIATE_TEST_SUITE_P(
    Fx, DamagedFiles,
    ::testing::Values(Damage{"Empty", [] { return Bytes{}; }, "ends inside the preset header"},
                      Damage{"NotAPreset", [] { return Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E'}; },
                             "no 'CcnK'"},
                      Damage{"SizeBeyondTheFile",
                             [] {
                                 Bytes b = GoodProgram();
                                 b.pop_back();
                                 return b;
                             },
                             "size of 56 bytes but 55 follow"},
                      Damage{"UnknownKind",
                             [] {
                                 Bytes b = GoodProgram();
                                 b[11] = 'z';
                                 return b;
                             },
                             "unknown preset kind 'FxCz'"},
                      Damage{"NegativeParameterCount",
                             [] {
                                 Bytes b = GoodProgram();
                                 SetInt(b, 24, -1);
                                 return b;
                             },
                             "-1 parameters"},
                      Damage{"MoreParametersThanBytes",
                             [] {
                                 Bytes b = GoodProgram();
                                 SetInt(b, 24, 0x10000000);
                                 return b;
                             },
                             "ends inside the parameter values"},
                      Damage{"HeaderCutShort",
                             [] {
                                 Bytes b = GoodProgram();
                                 b.resize(40);
                                 SetInt(b, 4, 32);
                                 return b;
                             },
                             "ends inside the program header"},
                      Damage{"MoreProgramsThanBytes",
                             [] {
                                 Bytes b = GoodBank();
                                 SetInt(b, 24, 1000);
                                 return b;
                             },
                             "ends inside the bank's programs"},
                      Damage{"ProgramRecordOfTheWrongKind",
                             [] {
                                 Bytes b = GoodBank();
                                 b[156 + 8 + 1] = 'B'; // 'FBCk'
                                 return b;
                             },
                             "program 0 of the bank is damaged"},
                      Damage{"ProgramRunningPastTheBank",
                             [] {
                                 Bytes b = GoodBank();
                                 SetInt(b, 4, static_cast<std::int32_t>(b.size() - 8 - 2));
                                 return b;
                             },
                             "program 1 of the bank is damaged"},
                      Damage{"ChunkBeyondTheFile",
                             [] {
                                 Bytes b = EncodeFxFile(OpaqueProgram());
                                 SetInt(b, 56, 6);
                                 return b;
                             },
                             "ends inside the chunk"}),
    ByName());

} // namespace
