#include "plugcore/PresetBank.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// The effect's two parameters: "Pan", an enumeration of two, and "Wet Mix", -0.75..0.75.
class Params {
public:
    Params()
    {
        AddOwned(list, new IParam)->InitEnum("Pan", 0, 2);
        AddOwned(list, new IParam)->InitDouble("Wet Mix", 0.0, -0.75, 0.75, 0.01);
    }
    ~Params() { list.Empty(true); }
    Params(const Params&) = delete;
    Params& operator=(const Params&) = delete;

    PointerList<IParam> list;
};

// The live values as a plug-in keeps them, and what the bank asked of its owner, in order.
class LiveValues final : public IPresetOwner {
public:
    explicit LiveValues(const PointerList<IParam>& params) : m_params(params) {}

    bool SerializeParams(StateChunk* chunk) override
    {
        log.push_back("save");
        bool ok = true;
        for (int i = 0; i < m_params.GetSize(); ++i) ok = chunk->Put(m_params.Get(i)->Value()) && ok;
        return ok;
    }
    int UnserializeParams(StateChunk* chunk, int startPos) override
    {
        log.push_back("apply");
        if (refuse) return -1;
        std::vector<double> values(static_cast<size_t>(m_params.GetSize()));
        int pos = startPos;
        for (double& v : values) pos = chunk->Get(&v, pos);
        if (pos < 0) return pos;
        for (int i = 0; i < m_params.GetSize(); ++i) m_params.Get(i)->Set(values[static_cast<size_t>(i)]);
        return pos;
    }
    void PresetLoaded(int idx) override { log.push_back("loaded " + std::to_string(idx)); }

    void Set(double pan, double wetMix)
    {
        m_params.Get(0)->Set(pan);
        m_params.Get(1)->Set(wetMix);
    }
    std::vector<double> Get() const { return {m_params.Get(0)->Value(), m_params.Get(1)->Value()}; }

    std::vector<std::string> log;
    bool refuse = false;

private:
    const PointerList<IParam>& m_params;
};

std::vector<double> Values(const Preset* preset)
{
    std::vector<double> values;
    double v = 0.0;
    for (int pos = 0; (pos = preset->values.Get(&v, pos)) >= 0;) values.push_back(v);
    return values;
}

using Log = std::vector<std::string>;

class PresetBankTest : public testing::Test {
protected:
    PresetBankTest() : bank(params.list, live, 4) {}

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < bank.NPresets(); ++i) names.emplace_back(bank.GetName(i));
        return names;
    }

    Params params;
    LiveValues live{params.list};
    PresetBank bank;
};

TEST_F(PresetBankTest, StartsWithFreeNumberedRecords)
{
    EXPECT_EQ(Names(), (std::vector<std::string>{"- 0 -", "- 1 -", "- 2 -", "- 3 -"}));
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(bank.Get(i)->initialized) << i;
    EXPECT_EQ(bank.FirstFree(), 0);
    EXPECT_EQ(bank.GetCurrentIdx(), 0);
    for (int bad : {-1, 4, 1000}) {
        EXPECT_STREQ(bank.GetName(bad), "") << bad;
        EXPECT_EQ(bank.Get(bad), nullptr) << bad;
    }
    EXPECT_TRUE(live.log.empty());
}

TEST_F(PresetBankTest, FactoryPresetsTakeIntegersAndDoublesInParameterOrder)
{
    // Pan is an enumeration and is passed as an int: read as a double it would take the next
    // argument's place and shift every value after it.
    EXPECT_TRUE(bank.AddFactory("Left", 1, -0.5));
    EXPECT_TRUE(bank.AddFactory("Wild", 7, 3.0)); // stored as given, held to range on load
    EXPECT_EQ(bank.FirstFree(), 2);
    EXPECT_STREQ(bank.GetName(0), "Left");
    EXPECT_TRUE(bank.Get(0)->initialized);
    EXPECT_EQ(Values(bank.Get(0)), (std::vector<double>{1.0, -0.5}));
    EXPECT_EQ(Values(bank.Get(1)), (std::vector<double>{7.0, 3.0}));
    EXPECT_TRUE(live.log.empty()); // factory values never touch the live ones

    EXPECT_TRUE(bank.AddFactory("c", 0, 0.0));
    EXPECT_TRUE(bank.AddFactory("d", 0, 0.0));
    EXPECT_EQ(bank.FirstFree(), -1);
    EXPECT_FALSE(bank.AddFactory("e", 0, 0.0));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Left", "Wild", "c", "d"}));
}

TEST_F(PresetBankTest, DefaultsSnapshotTheLiveValuesIntoFreeRecordsOnly)
{
    bank.AddFactory("first", 0, 0.0);
    live.Set(1.0, 0.25);
    bank.AddDefaults(nullptr, 2);
    bank.AddDefaults("Init", 5); // one record left: the rest are dropped
    EXPECT_EQ(Names(), (std::vector<std::string>{"first", "Default", "Default", "Init"}));
    for (int i = 1; i < 4; ++i) EXPECT_EQ(Values(bank.Get(i)), (std::vector<double>{1.0, 0.25})) << i;
    EXPECT_EQ(live.log, (Log{"save", "save", "save"}));
    EXPECT_EQ(live.Get(), (std::vector<double>{1.0, 0.25}));
}

TEST(PresetBank, EnsureOneMakesADefaultOnlyInAnEmptyBank)
{
    Params params;
    LiveValues live(params.list);
    live.Set(1.0, -0.25);
    PresetBank empty(params.list, live, 0);
    empty.EnsureOne();
    ASSERT_EQ(empty.NPresets(), 1);
    EXPECT_STREQ(empty.GetName(0), "Default");
    EXPECT_EQ(Values(empty.Get(0)), (std::vector<double>{1.0, -0.25}));
    empty.EnsureOne();
    EXPECT_EQ(empty.NPresets(), 1);

    PresetBank some(params.list, live, 2);
    live.log.clear();
    some.EnsureOne();
    EXPECT_EQ(some.NPresets(), 2);
    EXPECT_FALSE(some.Get(0)->initialized);
    EXPECT_TRUE(live.log.empty());
}

TEST_F(PresetBankTest, LoadingAFilledRecordAppliesItsValues)
{
    bank.AddFactory("Left", 1, -0.5);
    bank.AddFactory("Right", 0, 0.5);
    EXPECT_TRUE(bank.Load(1));
    EXPECT_EQ(bank.GetCurrentIdx(), 1);
    EXPECT_EQ(live.Get(), (std::vector<double>{0.0, 0.5}));
    EXPECT_EQ(live.log, (Log{"apply", "loaded 1"}));

    live.log.clear();
    for (int bad : {-1, 4}) {
        EXPECT_FALSE(bank.Load(bad)) << bad;
        EXPECT_EQ(bank.GetCurrentIdx(), 1);
    }
    // An owner that cannot take the values leaves the program where it was.
    live.refuse = true;
    EXPECT_FALSE(bank.Load(0));
    EXPECT_EQ(bank.GetCurrentIdx(), 1);
    EXPECT_EQ(live.log, (Log{"apply"}));
}

TEST_F(PresetBankTest, LoadingAFreeRecordMakesAUserPresetOfTheLiveValues)
{
    bank.AddFactory("my user preset", 0, 0.0); // the phrase anywhere in a name counts
    live.Set(1.0, 0.3);
    EXPECT_TRUE(bank.Load(2));
    EXPECT_STREQ(bank.GetName(2), "user preset 2");
    EXPECT_TRUE(bank.Get(2)->initialized);
    EXPECT_EQ(Values(bank.Get(2)), (std::vector<double>{1.0, 0.3}));
    EXPECT_EQ(live.Get(), (std::vector<double>{1.0, 0.3}));
    EXPECT_EQ(live.log, (Log{"save", "loaded 2"}));

    EXPECT_TRUE(bank.Load(1));
    EXPECT_STREQ(bank.GetName(1), "user preset 3");
    EXPECT_EQ(bank.GetCurrentIdx(), 1);
}

TEST_F(PresetBankTest, StoreCurrentReplacesTheValuesAndRenamesOnlyWhenNamed)
{
    bank.AddFactory("Left", 1, -0.5);
    bank.AddFactory("Right", 0, 0.5);
    bank.Load(1);
    const std::string longName(400, 'x');
    const struct {
        const char* name;
        double wetMix;
        std::string expected;
    } cases[] = {
        {nullptr, 0.1, "Right"},
        {"", 0.2, "Right"},
        {"Mine", 0.3, "Mine"},
        {longName.c_str(), 0.4, longName.substr(0, MAX_PRESET_NAME_LEN - 1)},
    };
    for (const auto& c : cases) {
        live.Set(0.0, c.wetMix);
        bank.StoreCurrent(c.name);
        EXPECT_EQ(bank.GetName(1), c.expected);
        EXPECT_EQ(Values(bank.Get(1)), (std::vector<double>{0.0, c.wetMix})) << "one snapshot, never two";
    }
    EXPECT_STREQ(bank.GetName(0), "Left");
    EXPECT_EQ(Values(bank.Get(0)), (std::vector<double>{1.0, -0.5}));
}

TEST_F(PresetBankTest, SerializeWritesNameFlagAndValuesPerRecord)
{
    PresetBank two(params.list, live, 2);
    two.AddFactory("ab", 1, 0.5);
    StateChunk chunk;
    ASSERT_TRUE(two.Serialize(&chunk));

    StateChunk expected;
    expected.PutStr("ab");
    expected.Put(true);
    expected.Put(1.0);
    expected.Put(0.5);
    expected.PutStr("- 1 -");
    expected.Put(false);
    ASSERT_EQ(chunk.Size(), expected.Size());
    EXPECT_EQ(memcmp(chunk.Data(), expected.Data(), static_cast<size_t>(chunk.Size())), 0);
}

TEST_F(PresetBankTest, RoundTripReloadsTheCurrentProgram)
{
    bank.AddFactory("Left", 1, -0.5);
    bank.AddFactory("Right", 0, 0.5);
    live.Set(1.0, 0.125);
    bank.Load(3); // user preset 1
    StateChunk chunk;
    ASSERT_TRUE(bank.Serialize(&chunk));

    Params otherParams;
    LiveValues otherLive(otherParams.list);
    PresetBank other(otherParams.list, otherLive, 4);
    other.AddFactory("x", 0, 0.0);
    other.Load(1); // the receiver's current record is the one reloaded
    otherLive.log.clear();
    EXPECT_EQ(other.Unserialize(&chunk, 0), chunk.Size());
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(other.GetName(i), bank.GetName(i));
        EXPECT_EQ(other.Get(i)->initialized, bank.Get(i)->initialized) << i;
        EXPECT_EQ(Values(other.Get(i)), Values(bank.Get(i))) << i;
    }
    EXPECT_EQ(other.GetCurrentIdx(), 1);
    EXPECT_EQ(otherLive.Get(), (std::vector<double>{0.0, 0.5}));
    EXPECT_EQ(otherLive.log, (Log{"apply", "loaded 1"}));
}

// One record as Serialize writes it: `values` follow the flag, whatever it says.
void PutRecord(StateChunk* chunk, const char* name, bool filled, const std::vector<double>& values = {})
{
    chunk->PutStr(name);
    chunk->Put(filled);
    for (double v : values) chunk->Put(v);
}

struct Record {
    std::string name;
    bool filled;
    std::vector<double> values; // compared only when filled
};

struct UnserializeCase {
    const char* why;
    std::function<void(StateChunk*)> write;
    bool whole; // the bank reads to the end of the data
    std::vector<Record> records;
    std::vector<double> live;
    Log log;
};

class PresetBankUnserialize : public testing::TestWithParam<UnserializeCase> {};

TEST_P(PresetBankUnserialize, Reads)
{
    const UnserializeCase& c = GetParam();
    SCOPED_TRACE(c.why);
    Params params;
    LiveValues live(params.list);
    PresetBank bank(params.list, live, 3);
    bank.AddFactory("a", 1, 0.5);
    bank.AddFactory("b", 0, -0.5);
    bank.Load(1);
    live.Set(1.0, 0.25); // edited, not stored
    live.log.clear();

    StateChunk chunk;
    c.write(&chunk);
    const int end = chunk.Size();
    if (c.whole) chunk.Put(int32_t{0x7eadbeef}); // beyond the bank: never read
    const int pos = bank.Unserialize(&chunk, 0);
    if (c.whole)
        EXPECT_EQ(pos, end);
    else
        EXPECT_LT(pos, 0);

    ASSERT_EQ(bank.NPresets(), static_cast<int>(c.records.size()));
    for (int i = 0; i < bank.NPresets(); ++i) {
        const Record& r = c.records[static_cast<size_t>(i)];
        EXPECT_EQ(bank.GetName(i), r.name) << i;
        EXPECT_EQ(bank.Get(i)->initialized, r.filled) << i;
        if (r.filled) {
            EXPECT_EQ(Values(bank.Get(i)), r.values) << i;
        }
    }
    EXPECT_EQ(bank.GetCurrentIdx(), 1);
    EXPECT_EQ(live.Get(), c.live);
    EXPECT_EQ(live.log, c.log);
}

const std::string kLongName(1000, 'q');

INSTANTIATE_TEST_SUITE_P(
    Banks, PresetBankUnserialize,
    testing::Values(UnserializeCase{"every record",
                                    [](StateChunk* chunk) {
                                        PutRecord(chunk, "x", true, {0.0, 0.25});
                                        PutRecord(chunk, "y", true, {1.0, -0.25});
                                        PutRecord(chunk, "z", false);
                                    },
                                    true,
                                    {{"x", true, {0.0, 0.25}}, {"y", true, {1.0, -0.25}}, {"z", false, {}}},
                                    {1.0, -0.25},
                                    {"apply", "loaded 1"}},
                    UnserializeCase{"values held to the parameters' ranges",
                                    [](StateChunk* chunk) {
                                        PutRecord(chunk, "x", true, {5.0, 9.0});
                                        PutRecord(chunk, "y", true, {-3.0, -9.0});
                                        PutRecord(chunk, "z", true, {0.0, 0.1});
                                    },
                                    true,
                                    {{"x", true, {1.0, 0.75}}, {"y", true, {0.0, -0.75}}, {"z", true, {0.0, 0.1}}},
                                    {0.0, -0.75},
                                    {"apply", "loaded 1"}},
                    UnserializeCase{"cut after the first record: the others keep everything",
                                    [](StateChunk* chunk) {
                                        PutRecord(chunk, "x", true, {0.0, 0.0});
                                    },
                                    false,
                                    {{"x", true, {0.0, 0.0}}, {"b", true, {0.0, -0.5}}, {"- 2 -", false, {}}},
                                    {0.0, -0.5},
                                    {"apply", "loaded 1"}},
                    UnserializeCase{"cut within a record's values: it keeps the values it held",
                                    [](StateChunk* chunk) {
                                        PutRecord(chunk, "x", true, {0.0, 0.0});
                                        PutRecord(chunk, "b", true, {1.0});
                                    },
                                    false,
                                    {{"x", true, {0.0, 0.0}}, {"b", true, {0.0, -0.5}}, {"- 2 -", false, {}}},
                                    {0.0, -0.5},
                                    {"apply", "loaded 1"}},
                    UnserializeCase{"a free record cut within values stays free, with its name",
                                    [](StateChunk* chunk) {
                                        PutRecord(chunk, "x", true, {0.0, 0.0});
                                        PutRecord(chunk, "y", true, {0.0, 0.0});
                                        PutRecord(chunk, "z", true, {1.0});
                                    },
                                    false,
                                    {{"x", true, {0.0, 0.0}}, {"y", true, {0.0, 0.0}}, {"- 2 -", false, {}}},
                                    {0.0, 0.0},
                                    {"apply", "loaded 1"}},
                    UnserializeCase{"the current record freed: live values and program stay, no user preset",
                                    [](StateChunk* chunk) {
                                        PutRecord(chunk, "x", true, {0.0, 0.0});
                                        PutRecord(chunk, "y", false);
                                        PutRecord(chunk, "z", true, {1.0, 0.75});
                                    },
                                    true,
                                    {{"x", true, {0.0, 0.0}}, {"y", false, {}}, {"z", true, {1.0, 0.75}}},
                                    {1.0, 0.25},
                                    {}},
                    UnserializeCase{"an empty name and an unreadable one keep the names",
                                    [](StateChunk* chunk) {
                                        PutRecord(chunk, "", true, {0.0, 0.5});
                                        chunk->Put(int32_t{-7});
                                    },
                                    false,
                                    {{"a", true, {0.0, 0.5}}, {"b", true, {0.0, -0.5}}, {"- 2 -", false, {}}},
                                    {0.0, -0.5},
                                    {"apply", "loaded 1"}},
                    UnserializeCase{"a long name is cut to the record's field",
                                    [](StateChunk* chunk) {
                                        PutRecord(chunk, kLongName.c_str(), false);
                                        PutRecord(chunk, "y", true, {0.0, 0.0});
                                        PutRecord(chunk, "z", false);
                                    },
                                    true,
                                    {{kLongName.substr(0, MAX_PRESET_NAME_LEN - 1), false, {}},
                                     {"y", true, {0.0, 0.0}},
                                     {"z", false, {}}},
                                    {0.0, 0.0},
                                    {"apply", "loaded 1"}}));

} // namespace
