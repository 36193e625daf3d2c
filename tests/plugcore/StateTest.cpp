#include "TestPlug.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

std::vector<uint8_t> Bytes(const StateChunk& chunk) { return {chunk.Data(), chunk.Data() + chunk.Size()}; }

StateChunk ChunkOf(const std::vector<uint8_t>& bytes)
{
    StateChunk chunk;
    chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
    return chunk;
}

void PutRaw(StateChunk* chunk, int32_t v) { chunk->Put(v); }

TEST(StateChunk, ProgramChunkBytes)
{
    TestPlug plug;
    plug.GetParam(0)->Set(1.0);
    plug.GetParam(1)->Set(-0.25);
    StateChunk chunk;
    ASSERT_TRUE(StartChunk(&chunk));
    ASSERT_TRUE(plug.SerializeParams(&chunk));
    const std::vector<uint8_t> expected = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00, //
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F, //
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD0, 0xBF};
    EXPECT_EQ(Bytes(chunk), expected);
}

TEST(StateChunk, PrimitiveLayouts)
{
    StateChunk chunk;
    chunk.Put(int32_t{0x01020304});
    chunk.Put(true);
    chunk.Put(false);
    chunk.PutStr("ab");
    chunk.PutStr("");
    EXPECT_EQ(Bytes(chunk), (std::vector<uint8_t>{4, 3, 2, 1, 1, 0, 2, 0, 0, 0, 'a', 'b', 0, 0, 0, 0}));

    int32_t i = 0;
    bool b = false;
    EXPECT_EQ(chunk.Get(&i, 0), 4);
    EXPECT_EQ(i, 0x01020304);
    EXPECT_EQ(chunk.Get(&b, 4), 5);
    EXPECT_TRUE(b);
    GrowString s;
    EXPECT_EQ(chunk.GetStr(&s, 6), 12);
    EXPECT_STREQ(s.Get(), "ab");
    EXPECT_EQ(chunk.GetStr(&s, 12), 16); // empty: the text is left as it was
    EXPECT_STREQ(s.Get(), "ab");
}

TEST(StateChunk, ReadsPastTheEndGiveMinusOneAndTouchNothing)
{
    StateChunk chunk = ChunkOf({1, 2, 3, 4, 5, 6, 7});
    double d = 42.0;
    int32_t i = 42;
    const struct {
        int pos;
        int expected;
    } doubles[] = {{0, -1}, {-1, -1}, {7, -1}, {100, -1}};
    for (const auto& c : doubles) {
        EXPECT_EQ(chunk.Get(&d, c.pos), c.expected) << c.pos;
        EXPECT_EQ(d, 42.0);
    }
    EXPECT_EQ(chunk.Get(&i, 3), 7);
    EXPECT_EQ(chunk.Get(&i, 4), -1);
    EXPECT_EQ(chunk.Get(&i, INT32_MAX - 1), -1);
}

TEST(StateChunk, GetStrRejectsUntrustedLengths)
{
    const struct {
        int32_t length;
        int tail;
        int expected;
        const char* why;
    } cases[] = {
        {-1, 8, -1, "negative"},
        {INT32_MIN, 8, -1, "most negative"},
        {9, 8, -1, "runs past the data"},
        {INT32_MAX, 8, -1, "would overflow pos + 4 + L"},
        {INT32_MAX - 3, 8, -1, "overflow by exactly the header"},
        {8, 8, 12, "exact fit"},
    };
    for (const auto& c : cases) {
        StateChunk chunk;
        PutRaw(&chunk, c.length);
        for (int k = 0; k < c.tail; ++k) chunk.Put(true);
        GrowString text;
        text.Set("before");
        EXPECT_EQ(chunk.GetStr(&text, 0), c.expected) << c.why;
        if (c.expected < 0) {
            EXPECT_STREQ(text.Get(), "before") << c.why;
        }
    }
}

TEST(StateChunk, GetStrStopsAtAnEmbeddedNul)
{
    StateChunk chunk;
    PutRaw(&chunk, 5);
    chunk.PutBytes("ab\0cd", 5);
    GrowString text;
    EXPECT_EQ(chunk.GetStr(&text, 0), 9);
    EXPECT_STREQ(text.Get(), "ab");
}

TEST(StateChunk, Header)
{
    const struct {
        std::vector<uint8_t> bytes;
        int32_t version;
        int pos;
    } cases[] = {
        {{0x74, 0x66, 0x66, 0x70, 0, 0, 1, 0, 1}, 0x10000, 8},
        {{0x74, 0x66, 0x66, 0x70, 0, 0, 1}, 0, -1},
        {{0x74, 0x66, 0x66, 0x70}, 0, -1},
        {{0x74, 0x66, 0x66}, 0, 0},
        {{1, 2, 3, 4, 5, 6, 7, 8}, 0, 0},
        {{}, 0, 0},
    };
    for (const auto& c : cases) {
        int pos = 0;
        EXPECT_EQ(ReadChunkHeader(ChunkOf(c.bytes), &pos), c.version) << c.bytes.size();
        EXPECT_EQ(pos, c.pos) << c.bytes.size();
    }
}

TEST(StateChunk, ResizeZeroesNewBytes)
{
    StateChunk chunk = ChunkOf({9, 9});
    EXPECT_TRUE(chunk.Resize(5));
    EXPECT_EQ(Bytes(chunk), (std::vector<uint8_t>{9, 9, 0, 0, 0}));
    EXPECT_FALSE(chunk.Resize(-3));
    EXPECT_EQ(chunk.Size(), 5);
}

TEST(UnserializeParams, ShortDataChangesNothing)
{
    TestPlug plug;
    plug.GetParam(1)->Set(0.5);
    StateChunk chunk;
    StartChunk(&chunk);
    chunk.Put(1.0);
    int pos = 0;
    ReadChunkHeader(chunk, &pos);
    plug.log.clear();
    EXPECT_EQ(plug.UnserializeParams(&chunk, pos), -1);
    EXPECT_EQ(plug.GetParam(0)->Value(), 0.0);
    EXPECT_EQ(plug.GetParam(1)->Value(), 0.5);
    EXPECT_TRUE(plug.log.empty());

    TestPlug three(0, "2-2", 3);
    for (int i = 0; i < 3; ++i) three.GetParam(i)->InitDouble("p", 5, 2, 9, 1, "");
    StateChunk one;
    one.Put(7.0);
    EXPECT_EQ(three.UnserializeParams(&one, 0), -1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(three.GetParam(i)->Value(), 5.0);
}

TEST(UnserializeParams, ClampsAndRejectsNaN)
{
    TestPlug plug;
    StateChunk chunk;
    chunk.Put(5.0);
    chunk.Put(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(plug.UnserializeParams(&chunk, 0), 16);
    EXPECT_EQ(plug.GetParam(0)->Value(), 1.0);
    EXPECT_EQ(plug.GetParam(1)->Value(), 0.0);

    TestPlug none(0, "2-2", 0);
    EXPECT_EQ(none.UnserializeParams(&chunk, 3), 3);
}

class Presets : public testing::Test {
protected:
    void SetUp() override
    {
        plug.AddDefaultPresets("RESET", 1);
        plug.AddFactoryPreset("Hard left", 1, -0.7);
        plug.AddFactoryPreset("Hard right", 0, 0.7);
        plug.AddDefaultPresets("Init", 3);
    }
    TestPlug plug;
};

TEST_F(Presets, FactoryValuesAreStoredUnclampedAndClampedOnLoad)
{
    TestPlug wild;
    EXPECT_TRUE(wild.AddFactoryPreset("Wild", 7, 3.0));
    const Preset* p = wild.GetPreset(0);
    double v = 0;
    p->values.Get(&v, 8);
    EXPECT_EQ(v, 3.0);
    EXPECT_TRUE(wild.LoadPreset(0));
    EXPECT_EQ(wild.GetParam(0)->Value(), 1.0);
    EXPECT_EQ(wild.GetParam(1)->Value(), 0.75);
}

TEST_F(Presets, AddingStopsWhenEveryRecordIsTaken)
{
    TestPlug two(2);
    EXPECT_TRUE(two.AddFactoryPreset("a", 0, 0.0));
    EXPECT_TRUE(two.AddFactoryPreset("b", 0, 0.0));
    EXPECT_FALSE(two.AddFactoryPreset("c", 0, 0.0));
    two.AddDefaultPresets(nullptr, 4);
    EXPECT_STREQ(two.GetPresetName(1), "b");
    EXPECT_STREQ(two.GetPresetName(2), "");
}

TEST_F(Presets, LoadPresetAppliesValuesAndIgnoresBadIndices)
{
    EXPECT_TRUE(plug.LoadPreset(1));
    EXPECT_EQ(plug.GetCurrentPresetIdx(), 1);
    EXPECT_EQ(plug.GetParam(0)->Value(), 1.0);
    EXPECT_EQ(plug.GetParam(1)->Value(), -0.7);
    for (int bad : {-1, 12, 1000}) {
        EXPECT_FALSE(plug.LoadPreset(bad));
        EXPECT_EQ(plug.GetCurrentPresetIdx(), 1);
    }
}

TEST_F(Presets, SelectingAFreeRecordMakesAUserPreset)
{
    plug.GetParam(1)->Set(0.3);
    EXPECT_TRUE(plug.LoadPreset(6));
    EXPECT_STREQ(plug.GetPresetName(6), "user preset 1");
    EXPECT_EQ(plug.GetParam(1)->Value(), 0.3); // the current sound is kept, not replaced
    double stored = 0;
    plug.GetPreset(6)->values.Get(&stored, 8);
    EXPECT_EQ(stored, 0.3);
    EXPECT_EQ(plug.GetPreset(6)->values.Size(), 16);

    EXPECT_TRUE(plug.LoadPreset(8));
    EXPECT_STREQ(plug.GetPresetName(8), "user preset 2");

    // Any name that contains the phrase counts, wherever it stands.
    plug.LoadPreset(0);
    plug.StoreCurrentPreset("my user preset");
    EXPECT_TRUE(plug.LoadPreset(9));
    EXPECT_STREQ(plug.GetPresetName(9), "user preset 4");
}

TEST_F(Presets, StoreCurrentPresetKeepsTheNameWhenGivenNone)
{
    plug.LoadPreset(2);
    plug.GetParam(1)->Set(0.1);
    plug.StoreCurrentPreset("");
    EXPECT_STREQ(plug.GetPresetName(2), "Hard right");
    plug.StoreCurrentPreset(nullptr);
    EXPECT_STREQ(plug.GetPresetName(2), "Hard right");
    const std::string longName(400, 'x');
    plug.StoreCurrentPreset(longName.c_str());
    EXPECT_EQ(strlen(plug.GetPresetName(2)), 255u);

    plug.LoadPreset(0);
    plug.LoadPreset(2);
    EXPECT_EQ(plug.GetParam(1)->Value(), 0.1);
    EXPECT_EQ(plug.GetPreset(2)->values.Size(), 16); // one snapshot, never two
}

TEST_F(Presets, GetPresetNameOutOfRangeIsEmpty)
{
    EXPECT_STREQ(plug.GetPresetName(12), "");
    EXPECT_STREQ(plug.GetPresetName(-1), "");
}

TEST(EnsureOnePreset, CreatesADefaultOnlyWhenThereIsNone)
{
    TestPlug empty(0);
    empty.GetParam(1)->Set(0.2);
    empty.EnsureOnePreset();
    ASSERT_EQ(empty.NPresets(), 1);
    EXPECT_STREQ(empty.GetPresetName(0), "Default");
    EXPECT_TRUE(empty.GetPreset(0)->initialized);

    TestPlug some(3);
    some.EnsureOnePreset();
    EXPECT_EQ(some.NPresets(), 3);
    EXPECT_STREQ(some.GetPresetName(0), "- 0 -");
}

std::vector<std::string> Names(const TestPlug& plug)
{
    std::vector<std::string> names;
    for (int i = 0; i < plug.NPresets(); ++i) names.push_back(plug.GetPresetName(i));
    return names;
}

TEST_F(Presets, BankRoundTripsEveryRecord)
{
    plug.LoadPreset(7); // user preset, then a rename and an edit of the current one
    plug.StoreCurrentPreset("Mine");
    plug.GetParam(1)->Set(-0.4);

    StateChunk bank;
    StartChunk(&bank);
    plug.StoreCurrentPreset();
    ASSERT_TRUE(plug.SerializeBank(&bank));

    TestPlug other;
    other.LoadPreset(7); // the bank reloads the receiver's current record
    int pos = 0;
    ASSERT_EQ(ReadChunkHeader(bank, &pos), kChunkFormatVersion);
    EXPECT_EQ(other.UnserializeBank(&bank, pos), bank.Size());
    EXPECT_EQ(Names(other), Names(plug));
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(other.GetPreset(i)->initialized, plug.GetPreset(i)->initialized) << i;
        EXPECT_EQ(Bytes(other.GetPreset(i)->values), Bytes(plug.GetPreset(i)->values)) << i;
    }
    EXPECT_EQ(other.GetParam(1)->Value(), -0.4);
}

TEST_F(Presets, BankLayout)
{
    TestPlug two(2);
    two.AddFactoryPreset("ab", 1, 0.5);
    StateChunk bank;
    two.SerializeBank(&bank);
    std::vector<uint8_t> expected = {2, 0, 0, 0, 'a', 'b', 1};
    const double values[] = {1.0, 0.5};
    const auto* raw = reinterpret_cast<const uint8_t*>(values);
    expected.insert(expected.end(), raw, raw + 16);
    expected.insert(expected.end(), {5, 0, 0, 0, '-', ' ', '1', ' ', '-', 0});
    EXPECT_EQ(Bytes(bank), expected);
}

TEST_F(Presets, BankCutOffAfterTheFifthRecord)
{
    TestPlug source;
    for (int i = 0; i < 12; ++i) {
        const std::string name = "Src " + std::to_string(i + 1);
        source.AddFactoryPreset(name.c_str(), i % 2, 0.05 * i);
    }
    StateChunk full;
    source.SerializeBank(&full);
    const int recordSize = 4 + 5 + 1 + 16; // "Src N" for N < 10
    StateChunk cut;
    cut.PutBytes(full.Data(), 5 * recordSize);

    plug.LoadPreset(2);
    const std::vector<std::string> before = Names(plug);
    std::vector<std::vector<uint8_t>> valuesBefore;
    std::vector<bool> initializedBefore;
    for (int i = 0; i < 12; ++i) {
        valuesBefore.push_back(Bytes(plug.GetPreset(i)->values));
        initializedBefore.push_back(plug.GetPreset(i)->initialized);
    }

    EXPECT_EQ(plug.UnserializeBank(&cut, 0), -1);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(plug.GetPresetName(i), "Src " + std::to_string(i + 1));
        EXPECT_EQ(Bytes(plug.GetPreset(i)->values), Bytes(source.GetPreset(i)->values)) << i;
    }
    for (int i = 5; i < 12; ++i) {
        EXPECT_EQ(plug.GetPresetName(i), before[i]) << i;
        EXPECT_EQ(plug.GetPreset(i)->initialized, initializedBefore[i]) << i;
        EXPECT_EQ(Bytes(plug.GetPreset(i)->values), valuesBefore[i]) << i;
    }
    // The current record (index 2) was replaced from the bank and reloaded.
    EXPECT_EQ(plug.GetParam(1)->Value(), 0.05 * 2);
}

TEST_F(Presets, BankFlagZeroFreesARecord)
{
    TestPlug two(2);
    two.AddFactoryPreset("a", 1, 0.5);
    two.AddFactoryPreset("b", 0, -0.5);
    StateChunk bank;
    bank.PutStr("x");
    bank.Put(false);
    bank.PutStr("y");
    bank.Put(false);
    two.LoadPreset(1);
    EXPECT_EQ(two.UnserializeBank(&bank, 0), bank.Size());
    EXPECT_FALSE(two.GetPreset(0)->initialized);
    // The current record is free now, and the current values stay what they were: the record is
    // not made a user preset of them.
    EXPECT_FALSE(two.GetPreset(1)->initialized);
    EXPECT_STREQ(two.GetPresetName(1), "y");
    EXPECT_EQ(two.GetParam(0)->Value(), 0.0);
    EXPECT_EQ(two.GetParam(1)->Value(), -0.5);
}

TEST_F(Presets, BankWithAFreeCurrentRecordKeepsTheLiveValues)
{
    // The last record's values must not leak into the current, free one.
    TestPlug two(2);
    two.AddFactoryPreset("a", 0, 0.0);
    two.AddFactoryPreset("b", 0, 0.25);
    two.LoadPreset(1);
    StateChunk bank;
    bank.PutStr("");
    bank.Put(false);
    bank.PutStr("last");
    bank.Put(true);
    bank.Put(1.0);
    bank.Put(0.75);
    two.LoadPreset(0);
    two.GetParam(1)->Set(-0.25); // live edits of the current program
    EXPECT_EQ(two.UnserializeBank(&bank, 0), bank.Size());
    EXPECT_EQ(two.GetParam(0)->Value(), 0.0);
    EXPECT_EQ(two.GetParam(1)->Value(), -0.25);
    EXPECT_STREQ(two.GetPresetName(0), "a");
    EXPECT_FALSE(two.GetPreset(0)->initialized);
    EXPECT_STREQ(two.GetPresetName(1), "last");
}

TEST_F(Presets, BankValuesAreStoredAsClamped)
{
    TestPlug one(1);
    StateChunk bank;
    bank.PutStr("loud");
    bank.Put(true);
    bank.Put(9.0);
    bank.Put(-9.0);
    EXPECT_EQ(one.UnserializeBank(&bank, 0), bank.Size());
    double v = 0;
    one.GetPreset(0)->values.Get(&v, 8);
    EXPECT_EQ(v, -0.75);
}

TEST_F(Presets, BankWithBadNameLengthsKeepsNames)
{
    TestPlug two(2);
    two.AddFactoryPreset("first", 0, 0.0);
    two.AddFactoryPreset("second", 0, 0.0);
    StateChunk bank;
    bank.PutStr("");
    bank.Put(true);
    bank.Put(1.0);
    bank.Put(0.5);
    PutRaw(&bank, -7);
    EXPECT_EQ(two.UnserializeBank(&bank, 0), -1);
    EXPECT_STREQ(two.GetPresetName(0), "first");
    EXPECT_STREQ(two.GetPresetName(1), "second");

    // A stored name longer than the record's field is cut, never overrunning it.
    TestPlug one(1);
    const std::string longName(1000, 'q');
    StateChunk longBank;
    longBank.PutStr(longName.c_str());
    longBank.Put(true);
    longBank.Put(0.0);
    longBank.Put(0.0);
    EXPECT_EQ(one.UnserializeBank(&longBank, 0), longBank.Size());
    EXPECT_EQ(std::string(one.GetPresetName(0)), longName.substr(0, 255));
}

} // namespace
