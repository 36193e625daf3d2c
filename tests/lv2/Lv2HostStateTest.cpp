// The plug-in's state as hosts built on lilv keep it (Ardour, Carla, jalv): taken from an instance,
// written out as Turtle, read back and restored into another instance. The settings must come
// back bit for bit, whatever digits the Turtle needs.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kUri = "urn:tarnbek:free-wayfarer";
const char* const kPanKey = "urn:tarnbek:free-wayfarer:state:pan";
const char* const kWetMixKey = "urn:tarnbek:free-wayfarer:state:wet_mix";

class Urids {
public:
    Urids()
    {
        m_map = {this, [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<Urids*>(h)->Map(uri); }};
        m_unmap = {this, [](LV2_URID_Unmap_Handle h, LV2_URID id) { return static_cast<Urids*>(h)->Unmap(id); }};
        m_mapFeature = {LV2_URID__map, &m_map};
        m_unmapFeature = {LV2_URID__unmap, &m_unmap};
    }
    LV2_URID Map(const char* uri)
    {
        for (size_t i = 0; i < m_uris.size(); ++i)
            if (m_uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        m_uris.emplace_back(uri);
        return static_cast<LV2_URID>(m_uris.size());
    }
    const char* Unmap(LV2_URID id) const { return id >= 1 && id <= m_uris.size() ? m_uris[id - 1].c_str() : nullptr; }
    LV2_URID_Map* MapFeature() { return &m_map; }
    LV2_URID_Unmap* UnmapFeature() { return &m_unmap; }
    const LV2_Feature* const* Features() { return m_features; }

private:
    std::vector<std::string> m_uris;
    LV2_URID_Map m_map{};
    LV2_URID_Unmap m_unmap{};
    LV2_Feature m_mapFeature{}, m_unmapFeature{};
    const LV2_Feature* m_features[3] = {&m_mapFeature, &m_unmapFeature, nullptr};
};

// The two settings as the plug-in's own state interface gives and takes them.
struct Settings {
    double pan = 0.0, wetMix = 0.0;
};

class HostState : public testing::Test {
protected:
    void SetUp() override
    {
        world = lilv_world_new();
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, WAYFARER_LV2_BUNDLE "/");
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
        LilvNode* uri = lilv_new_uri(world, kUri);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
        ASSERT_NE(plugin, nullptr) << "no " << kUri << " in " << WAYFARER_LV2_BUNDLE;
    }
    void TearDown() override { lilv_world_free(world); }

    LilvInstance* Instantiate()
    {
        LilvInstance* instance = lilv_plugin_instantiate(plugin, 48000.0, urids.Features());
        // Ports a host would connect; the state calls do not run audio.
        for (uint32_t port = 0; port < 6; ++port) lilv_instance_connect_port(instance, port, ports[port]);
        return instance;
    }

    const LV2_State_Interface* StateOf(LilvInstance* instance)
    {
        return static_cast<const LV2_State_Interface*>(
            lilv_instance_get_extension_data(instance, LV2_STATE__interface));
    }

    void Put(LilvInstance* instance, const Settings& s)
    {
        struct Source {
            HostState* test;
            Settings settings;
        } source{this, s};
        const auto retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                                 uint32_t* flags) -> const void* {
            auto* src = static_cast<Source*>(handle);
            *size = sizeof(double);
            *type = src->test->urids.Map(LV2_ATOM__Double);
            *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
            if (key == src->test->urids.Map(kPanKey)) return &src->settings.pan;
            if (key == src->test->urids.Map(kWetMixKey)) return &src->settings.wetMix;
            return nullptr;
        };
        ASSERT_EQ(StateOf(instance)->restore(lilv_instance_get_handle(instance), retrieve, &source, 0, nullptr),
                  LV2_STATE_SUCCESS);
    }

    Settings Get(LilvInstance* instance)
    {
        struct Sink {
            HostState* test;
            Settings settings;
            int stored = 0;
        } sink{this, {}};
        // The values come as text; any reader that rounds correctly gets the double back.
        const auto store = [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                              uint32_t /*flags*/) {
            auto* s = static_cast<Sink*>(handle);
            const auto* text = static_cast<const char*>(value);
            if (type != s->test->urids.Map(LV2_ATOM__String) || size == 0 || text[size - 1] != '\0')
                return LV2_STATE_ERR_BAD_TYPE;
            if (key == s->test->urids.Map(kPanKey)) s->settings.pan = std::strtod(text, nullptr);
            if (key == s->test->urids.Map(kWetMixKey)) s->settings.wetMix = std::strtod(text, nullptr);
            ++s->stored;
            return LV2_STATE_SUCCESS;
        };
        EXPECT_EQ(StateOf(instance)->save(lilv_instance_get_handle(instance), store, &sink, LV2_STATE_IS_POD, nullptr),
                  LV2_STATE_SUCCESS);
        EXPECT_EQ(sink.stored, 2);
        return sink.settings;
    }

    // A host's whole round trip: snapshot, Turtle text, snapshot again, restore.
    std::string SaveAndRestore(LilvInstance* from, LilvInstance* to)
    {
        // The ports hold what the host last wrote; here, the defaults.
        const auto portValue = [](const char* /*symbol*/, void* user, uint32_t* size, uint32_t* type) {
            static const float zero = 0.0f;
            *size = sizeof zero;
            *type = static_cast<HostState*>(user)->urids.Map(LV2_ATOM__Float);
            return static_cast<const void*>(&zero);
        };
        LilvState* state = lilv_state_new_from_instance(plugin, from, urids.MapFeature(), nullptr, nullptr, nullptr,
                                                        nullptr, portValue, this, 0, nullptr);
        EXPECT_NE(state, nullptr);
        char* text = lilv_state_to_string(world, urids.MapFeature(), urids.UnmapFeature(), state,
                                          "urn:test:session-state", nullptr);
        lilv_state_free(state);
        const std::string turtle = text ? text : "";
        lilv_free(text);
        LilvState* loaded = lilv_state_new_from_string(world, urids.MapFeature(), turtle.c_str());
        EXPECT_NE(loaded, nullptr) << turtle;
        if (loaded) lilv_state_restore(loaded, to, nullptr, nullptr, 0, nullptr);
        lilv_state_free(loaded);
        return turtle;
    }

    static bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

    Urids urids;
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    float ports[6][64] = {};
};

TEST_F(HostState, SettingsComeBackBitForBitThroughTurtle)
{
    // Values that need all 17 digits, or very few, or none in a fixed number of decimals.
    const Settings cases[] = {
        {1.0, 0.1},
        {0.0, -0.74881135684904201},
        {1.0, static_cast<double>(0.3f)},
        {0.0, 0.012345678901234567},
        {1.0, -0.00012345678901234567},
        {1.0, 1e-300},
        {0.0, -0.49881276637272776},
        {1.0, 0.7488113568490419},
    };
    for (const Settings& c : cases) {
        LilvInstance* from = Instantiate();
        LilvInstance* to = Instantiate();
        Put(from, c);
        const std::string turtle = SaveAndRestore(from, to);
        const Settings back = Get(to);
        EXPECT_TRUE(SameBits(back.pan, c.pan)) << turtle;
        EXPECT_TRUE(SameBits(back.wetMix, c.wetMix))
            << "wet mix " << std::hexfloat << c.wetMix << " came back as " << back.wetMix << "\n"
            << turtle;
        lilv_instance_free(from);
        lilv_instance_free(to);
    }
}

} // namespace
