// The LV2 bundle's library, loaded by path as a host loads it, against the VST binding built into
// this program: the same samples for the same settings, the state interface, and hostile hosts.
#include "plugcore/StateChunk.h"
#include "vst/Vst24.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback);

namespace {

const char* const kUri = "urn:tarnbek:free-wayfarer";
enum { kInL, kInR, kOutL, kOutR, kPan, kWetMix, kNumPorts };
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

class UridMap {
public:
    LV2_URID Map(const char* uri)
    {
        auto it = m_ids.find(uri);
        if (it != m_ids.end()) return it->second;
        const auto id = static_cast<LV2_URID>(m_ids.size() + 1);
        m_ids[uri] = id;
        return id;
    }
    LV2_URID_Map* Feature() { return &m_map; }

private:
    static LV2_URID MapCallback(LV2_URID_Map_Handle handle, const char* uri)
    {
        return static_cast<UridMap*>(handle)->Map(uri);
    }
    std::map<std::string, LV2_URID> m_ids;
    LV2_URID_Map m_map{this, MapCallback};
};

// What a host keeps of a saved state: key -> (type, bytes).
struct SavedState {
    std::map<uint32_t, std::pair<uint32_t, std::vector<unsigned char>>> properties;

    static LV2_State_Status Store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                                  uint32_t /*flags*/)
    {
        const auto* bytes = static_cast<const unsigned char*>(value);
        static_cast<SavedState*>(handle)->properties[key] = {type, std::vector<unsigned char>(bytes, bytes + size)};
        return LV2_STATE_SUCCESS;
    }
    static const void* Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
    {
        auto& properties = static_cast<SavedState*>(handle)->properties;
        auto it = properties.find(key);
        if (it == properties.end()) return nullptr;
        *size = it->second.second.size();
        *type = it->second.first;
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return it->second.second.data();
    }
};

class Library {
public:
    Library() : m_handle(dlopen(WAYFARER_LV2_BINARY, RTLD_NOW | RTLD_LOCAL)) {}
    ~Library()
    {
        if (m_handle) dlclose(m_handle);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    const LV2_Descriptor* Descriptor(uint32_t index) const
    {
        using Entry = const LV2_Descriptor* (*)(uint32_t);
        auto entry = m_handle ? reinterpret_cast<Entry>(dlsym(m_handle, "lv2_descriptor")) : nullptr;
        return entry ? entry(index) : nullptr;
    }

private:
    void* m_handle;
};

// One instance with its own buffers; control ports start at the defaults, as hosts set them.
class Plugin {
public:
    explicit Plugin(const Library& library, bool withMap = true, int frames = 512)
        : m_descriptor(library.Descriptor(0)), m_in(2, std::vector<float>(frames)), m_out(2, std::vector<float>(frames))
    {
        const LV2_Feature mapFeature = {LV2_URID__map, m_map.Feature()};
        const LV2_Feature* withFeatures[] = {&mapFeature, nullptr};
        const LV2_Feature* none[] = {nullptr};
        m_instance = m_descriptor->instantiate(m_descriptor, 48000.0, "", withMap ? withFeatures : none);
        for (int i = 0; i < frames; ++i) {
            m_in[0][i] = static_cast<float>(std::sin(0.05 * i) * 0.9);
            m_in[1][i] = static_cast<float>(std::sin(0.031 * i + 1.0) * 0.7);
        }
        ConnectOwnBuffers();
        m_descriptor->activate(m_instance);
    }
    ~Plugin()
    {
        m_descriptor->deactivate(m_instance);
        m_descriptor->cleanup(m_instance);
    }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    void ConnectOwnBuffers()
    {
        Connect(kInL, m_in[0].data());
        Connect(kInR, m_in[1].data());
        Connect(kOutL, m_out[0].data());
        Connect(kOutR, m_out[1].data());
        Connect(kPan, &m_pan);
        Connect(kWetMix, &m_wetMix);
    }
    void Connect(uint32_t port, void* data) { m_descriptor->connect_port(m_instance, port, data); }
    void Run(uint32_t frames) { m_descriptor->run(m_instance, frames); }
    void Set(float pan, float wetMix)
    {
        m_pan = pan;
        m_wetMix = wetMix;
    }
    const LV2_State_Interface* State() const
    {
        return static_cast<const LV2_State_Interface*>(m_descriptor->extension_data(LV2_STATE__interface));
    }
    LV2_State_Status Save(SavedState& saved)
    {
        return State()->save(m_instance, SavedState::Store, &saved, LV2_STATE_IS_POD, nullptr);
    }
    LV2_State_Status Restore(SavedState& saved)
    {
        return State()->restore(m_instance, SavedState::Retrieve, &saved, 0, nullptr);
    }
    UridMap& Map() { return m_map; }

    std::vector<std::vector<float>>& In() { return m_in; }
    std::vector<std::vector<float>>& Out() { return m_out; }

private:
    UridMap m_map;
    const LV2_Descriptor* m_descriptor;
    LV2_Handle m_instance = nullptr;
    std::vector<std::vector<float>> m_in, m_out;
    float m_pan = 0.0f;
    float m_wetMix = 0.0f;
};

VstIntPtr VSTCALLBACK NoHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

// The VST binding's processReplacing on the same input, with the settings given exactly through
// its state chunk, or as one of its programs.
class Vst {
public:
    Vst() : m_effect(VSTPluginMain(NoHost))
    {
        m_effect->dispatcher(m_effect, effOpen, 0, 0, nullptr, 0.0f);
        m_effect->dispatcher(m_effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        m_effect->dispatcher(m_effect, effSetBlockSize, 0, 512, nullptr, 0.0f);
        m_effect->dispatcher(m_effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    ~Vst() { m_effect->dispatcher(m_effect, effClose, 0, 0, nullptr, 0.0f); }
    Vst(const Vst&) = delete;
    Vst& operator=(const Vst&) = delete;

    void SetExactly(double pan, double wetMix)
    {
        StateChunk chunk;
        ASSERT_TRUE(StartChunk(&chunk) && chunk.Put(pan) && chunk.Put(wetMix));
        ASSERT_EQ(m_effect->dispatcher(m_effect, effSetChunk, 1, chunk.Size(), chunk.Data(), 0.0f), 1);
    }
    void SetProgram(int idx) { m_effect->dispatcher(m_effect, effSetProgram, 0, idx, nullptr, 0.0f); }
    std::vector<std::vector<float>> Process(std::vector<std::vector<float>> in)
    {
        const int n = static_cast<int>(in[0].size());
        std::vector<std::vector<float>> out(2, std::vector<float>(n));
        float* ins[2] = {in[0].data(), in[1].data()};
        float* outs[2] = {out[0].data(), out[1].data()};
        m_effect->processReplacing(m_effect, ins, outs, n);
        return out;
    }

private:
    AEffect* m_effect;
};

class Lv2Plugin : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(library.Descriptor(0), nullptr) << "cannot load " << WAYFARER_LV2_BINARY; }

    static void ExpectSameSamples(const std::vector<std::vector<float>>& lv2,
                                  const std::vector<std::vector<float>>& vst, const std::string& what)
    {
        for (int c = 0; c < 2; ++c)
            for (size_t i = 0; i < vst[c].size(); ++i)
                ASSERT_EQ(std::memcmp(&lv2[c][i], &vst[c][i], sizeof(float)), 0)
                    << what << ": channel " << c << ", frame " << i << ": " << lv2[c][i] << " against " << vst[c][i];
    }

    Library library;
};

TEST_F(Lv2Plugin, DescribesOnePluginUnderItsUri)
{
    EXPECT_STREQ(library.Descriptor(0)->URI, kUri);
    EXPECT_EQ(library.Descriptor(1), nullptr);
    EXPECT_NE(library.Descriptor(0)->extension_data(LV2_STATE__interface), nullptr);
    EXPECT_EQ(library.Descriptor(0)->extension_data("urn:nothing"), nullptr);
}

// Port values as a host writes them, against the exact values the VST is given: a port holds the
// float of a setting, so the VST gets that float too, except for the factory attenuations, which
// the float of stands for.
TEST_F(Lv2Plugin, GivesTheVstSamplesForTheSameSettings)
{
    const double a12 = 0.74881135684904201, a6 = 0.49881276637272776;
    const struct {
        float pan, wetMix;
        double vstPan, vstWetMix;
    } cases[] = {
        {0.0f, 0.0f, 0.0, 0.0},
        {1.0f, 0.0f, 1.0, 0.0},
        {0.0f, 0.3f, 0.0, static_cast<double>(0.3f)},
        {1.0f, -0.4f, 1.0, static_cast<double>(-0.4f)},
        {1.0f, 0.123456f, 1.0, static_cast<double>(0.123456f)},
        {0.0f, -0.7f, 0.0, static_cast<double>(-0.7f)},
        {1.0f, 5.0f, 1.0, a12},
        {0.0f, -kInf, 0.0, -a12},
        {7.0f, static_cast<float>(-a6), 1.0, -a6},
    };
    for (const auto& c : cases) {
        Plugin lv2(library);
        Vst vst;
        vst.SetExactly(c.vstPan, c.vstWetMix);
        const auto expected = vst.Process(lv2.In());
        lv2.Set(c.pan, c.wetMix);
        lv2.Run(512);
        ExpectSameSamples(lv2.Out(), expected,
                          "pan " + std::to_string(c.pan) + ", wet mix " + std::to_string(c.wetMix));
    }
}

TEST_F(Lv2Plugin, FactoryProgramsAsPortFloatsSoundAsTheVstPrograms)
{
    // The programs' values as a preset file gives them to a host: pan and the float of wet mix.
    const struct {
        int program;
        float pan, wetMix;
    } cases[] = {
        {1, 1.0f, -0.748811356849042f}, {2, 1.0f, -0.498812766372728f}, {3, 1.0f, -0.292054215615862f},
        {5, 0.0f, 0.292054215615862f},  {6, 0.0f, 0.498812766372728f},  {7, 0.0f, 0.748811356849042f},
    };
    for (const auto& c : cases) {
        Plugin lv2(library);
        Vst vst;
        vst.SetProgram(c.program);
        const auto expected = vst.Process(lv2.In());
        lv2.Set(c.pan, c.wetMix);
        lv2.Run(512);
        ExpectSameSamples(lv2.Out(), expected, "program " + std::to_string(c.program));
    }
}

TEST_F(Lv2Plugin, InPlaceBuffersGiveTheSameSamples)
{
    Plugin separate(library), inPlace(library);
    separate.Set(1.0f, -0.37f);
    inPlace.Set(1.0f, -0.37f);
    separate.Run(512);
    // Hosts may hand one buffer as both input and output of a channel.
    inPlace.Connect(kOutL, inPlace.In()[0].data());
    inPlace.Connect(kOutR, inPlace.In()[1].data());
    inPlace.Run(512);
    ExpectSameSamples(inPlace.In(), separate.Out(), "in place");
}

TEST_F(Lv2Plugin, ChangesBetweenRunsTakeEffectAtTheNextRun)
{
    Plugin lv2(library);
    Vst vst;
    lv2.Set(1.0f, 0.25f);
    lv2.Run(512);
    lv2.Set(0.0f, -0.5f);
    lv2.Run(512);
    vst.SetExactly(0.0, -0.5);
    ExpectSameSamples(lv2.Out(), vst.Process(lv2.In()), "second run");
}

// ---- State ------------------------------------------------------------------------------------

const char* const kPanKey = "urn:tarnbek:free-wayfarer:state:pan";
const char* const kWetMixKey = "urn:tarnbek:free-wayfarer:state:wet_mix";

std::vector<unsigned char> Bytes(const void* data, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

std::vector<unsigned char> Text(const std::string& text) { return Bytes(text.c_str(), text.size() + 1); }

// A saved value as a host reads it back: the text of an atom:String.
double ValueIn(Plugin& plugin, SavedState& state, const char* key)
{
    const auto& property = state.properties[plugin.Map().Map(key)];
    EXPECT_EQ(property.first, plugin.Map().Map(LV2_ATOM__String)) << key;
    EXPECT_FALSE(property.second.empty());
    return std::strtod(reinterpret_cast<const char*>(property.second.data()), nullptr);
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_F(Lv2Plugin, StateRoundTripGivesBackTheExactValues)
{
    // 0.1 has no float: only the state can carry it, and a host echoing the port's float of it
    // must not round it. The others need all 17 digits, or an exponent.
    const struct {
        double pan, wetMix;
    } cases[] = {
        {1.0, 0.1}, {0.0, -0.7488113568}, {1.0, 1e-300}, {0.0, -0.74881135684904201}, {1.0, 0.012345678901234567}};
    for (const auto& c : cases) {
        // A state as a host may hand it over, with atom:Double values.
        Plugin first(library);
        SavedState crafted;
        const LV2_URID doubleType = first.Map().Map(LV2_ATOM__Double);
        crafted.properties[first.Map().Map(kPanKey)] = {doubleType, Bytes(&c.pan, sizeof c.pan)};
        crafted.properties[first.Map().Map(kWetMixKey)] = {doubleType, Bytes(&c.wetMix, sizeof c.wetMix)};
        ASSERT_EQ(first.Restore(crafted), LV2_STATE_SUCCESS);
        first.Set(static_cast<float>(c.pan), static_cast<float>(c.wetMix));
        first.Run(512);

        SavedState saved;
        ASSERT_EQ(first.Save(saved), LV2_STATE_SUCCESS);
        EXPECT_TRUE(SameBits(ValueIn(first, saved, kPanKey), c.pan));
        EXPECT_TRUE(SameBits(ValueIn(first, saved, kWetMixKey), c.wetMix)) << "wet mix " << c.wetMix;

        // Into a new instance through the same map: the same values, and the same sound.
        Plugin second(library);
        for (const char* uri : {kPanKey, kWetMixKey, LV2_ATOM__Double, LV2_ATOM__String})
            ASSERT_EQ(second.Map().Map(uri), first.Map().Map(uri));
        ASSERT_EQ(second.Restore(saved), LV2_STATE_SUCCESS);
        second.Set(static_cast<float>(c.pan), static_cast<float>(c.wetMix));
        second.Run(512);
        SavedState again;
        ASSERT_EQ(second.Save(again), LV2_STATE_SUCCESS);
        EXPECT_EQ(again.properties, saved.properties);
        ExpectSameSamples(second.Out(), first.Out(), "restored");

        Vst vst;
        vst.SetExactly(c.pan, c.wetMix);
        ExpectSameSamples(second.Out(), vst.Process(second.In()), "restored against the VST");
    }
}

TEST_F(Lv2Plugin, StateThatCannotBeReadChangesNothing)
{
    Plugin lv2(library);
    lv2.Set(1.0f, 0.5f);
    lv2.Run(512);
    SavedState before;
    ASSERT_EQ(lv2.Save(before), LV2_STATE_SUCCESS);
    const LV2_URID pan = lv2.Map().Map(kPanKey);
    const LV2_URID wetMix = lv2.Map().Map(kWetMixKey);
    const LV2_URID floatType = lv2.Map().Map(LV2_ATOM__Float);
    const LV2_URID doubleType = lv2.Map().Map(LV2_ATOM__Double);
    const LV2_URID stringType = lv2.Map().Map(LV2_ATOM__String);
    const double half = 0.25;

    const struct {
        const char* what;
        LV2_State_Status expected;
        bool present;
        LV2_URID type;
        std::vector<unsigned char> bytes;
    } cases[] = {
        {"no wet mix", LV2_STATE_ERR_NO_PROPERTY, false, 0, {}},
        {"a float", LV2_STATE_ERR_BAD_TYPE, true, floatType, Bytes(&half, sizeof(float))},
        {"a double cut short", LV2_STATE_ERR_BAD_TYPE, true, doubleType, Bytes(&half, 4)},
        {"not a number", LV2_STATE_ERR_BAD_TYPE, true, stringType, Text("loud")},
        {"a number and more", LV2_STATE_ERR_BAD_TYPE, true, stringType, Text("0.25 dB")},
        {"no terminator", LV2_STATE_ERR_BAD_TYPE, true, stringType, Bytes("0.25", 4)},
        {"empty", LV2_STATE_ERR_BAD_TYPE, true, stringType, Text("")},
        {"beyond a double", LV2_STATE_ERR_BAD_TYPE, true, stringType, Text("1e999")},
    };
    for (const auto& c : cases) {
        // Another state's pan, with the wet mix spoiled: the pan must not be taken either.
        SavedState spoiled;
        spoiled.properties[pan] = {stringType, Text("0")};
        if (c.present) spoiled.properties[wetMix] = {c.type, c.bytes};
        EXPECT_EQ(lv2.Restore(spoiled), c.expected) << c.what;
        SavedState after;
        ASSERT_EQ(lv2.Save(after), LV2_STATE_SUCCESS);
        EXPECT_EQ(after.properties, before.properties) << c.what;
    }
}

TEST_F(Lv2Plugin, WithoutAMapThereIsNoStateButSound)
{
    Plugin lv2(library, false);
    SavedState state;
    EXPECT_EQ(lv2.Save(state), LV2_STATE_ERR_NO_FEATURE);
    EXPECT_EQ(lv2.Restore(state), LV2_STATE_ERR_NO_FEATURE);
    lv2.Set(1.0f, 0.3f);
    lv2.Run(512);
    Vst vst;
    vst.SetExactly(1.0, static_cast<double>(0.3f));
    ExpectSameSamples(lv2.Out(), vst.Process(lv2.In()), "no map");
}

// ---- Hostile hosts ----------------------------------------------------------------------------

TEST_F(Lv2Plugin, HostileControlValuesGiveFiniteOutput)
{
    const float values[] = {
        kNaN, kInf, -kInf, 1e30f, -1e30f, 2.5f, -3.0f, 0.5f, std::numeric_limits<float>::denorm_min()};
    for (const float pan : values) {
        for (const float wetMix : values) {
            Plugin lv2(library);
            lv2.Set(pan, wetMix);
            lv2.Run(512);
            for (const auto& channel : lv2.Out())
                for (const float v : channel) ASSERT_TRUE(std::isfinite(v)) << "pan " << pan << ", wet mix " << wetMix;
        }
    }
}

TEST_F(Lv2Plugin, NaNLeavesTheSettingAsItWas)
{
    Plugin lv2(library);
    lv2.Set(1.0f, -0.4f);
    lv2.Run(512);
    const auto before = lv2.Out();
    lv2.Set(kNaN, kNaN);
    lv2.Run(512);
    ExpectSameSamples(lv2.Out(), before, "after NaN");
}

TEST_F(Lv2Plugin, ZeroFramesAndMissingBuffersAreSafe)
{
    Plugin lv2(library);
    lv2.Run(0);
    lv2.Connect(kInL, nullptr);
    lv2.Connect(kOutR, nullptr);
    lv2.Connect(kPan, nullptr);
    lv2.Connect(kWetMix, nullptr);
    lv2.Connect(99, lv2.Out()[0].data());
    lv2.Run(0);
    lv2.Run(512);
    // Reconnected, it runs as before, with the settings it last read.
    lv2.ConnectOwnBuffers();
    lv2.Set(0.0f, 0.0f);
    lv2.Run(512);
    Vst vst;
    ExpectSameSamples(lv2.Out(), vst.Process(lv2.In()), "reconnected");
}

} // namespace
