// The test host's own contract, checked against small fake plug-ins: load errors are reported as
// text, and every request reaches the host that owns the effect, including the ones a plug-in
// makes from inside its entry point.
#include "VstHost.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using vsthost::Host;
using vsthost::HostRequest;
using vsthost::Plugin;

struct ByName {
    template <typename Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};

struct LoadFailure {
    const char* name;
    std::string path;
    const char* expectedReason;
};

class LoadFailures : public ::testing::TestWithParam<LoadFailure> {};

TEST_P(LoadFailures, AreReportedAsText)
{
    Host host;
    std::string error;
    std::unique_ptr<Plugin> plugin = host.load(GetParam().path, &error);
    EXPECT_FALSE(plugin);
    EXPECT_NE(error.find(GetParam().expectedReason), std::string::npos) << error;
    EXPECT_EQ(host.log().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Host, LoadFailures,
    ::testing::Values(LoadFailure{"MissingFile", "/nonexistent/FreeWayfarer.bin", "cannot load"},
                      LoadFailure{"NoEntryPoint", WAYFARER_FAKE_NOENTRY, "exports neither VSTPluginMain nor main"},
                      LoadFailure{"EntryReturnsNull", WAYFARER_FAKE_NULL, "VSTPluginMain returned no effect"},
                      LoadFailure{"BadMagic", WAYFARER_FAKE_BADMAGIC, "magic 0x4e6f7065"}),
    ByName());

TEST(HostLoader, NamedEntryPointMustExist)
{
    Host host;
    std::string error;
    EXPECT_FALSE(host.loadVia(WAYFARER_FAKE_MAINONLY, "VSTPluginMain", &error));
    EXPECT_NE(error.find("exports no VSTPluginMain"), std::string::npos) << error;
}

TEST(HostLoader, FallsBackToMainAndRoutesRequestsMadeDuringTheEntryPoint)
{
    const std::size_t unroutedBefore = Host::unroutedRequestCount();
    Host host;
    host.setProduct("Alpha Host", 4321);
    std::string error;
    std::unique_ptr<Plugin> plugin = host.load(WAYFARER_FAKE_MAINONLY, &error);
    ASSERT_TRUE(plugin) << error;

    EXPECT_EQ(plugin->entryName(), "main");
    const std::vector<HostRequest> requests = host.log().all();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].opcode, audioMasterVersion);
    EXPECT_EQ(requests[0].effect, nullptr);
    // The second request names the record that the entry point had not yet returned.
    EXPECT_EQ(requests[1].opcode, audioMasterGetProductString);
    EXPECT_EQ(requests[1].effect, plugin->effect());
    EXPECT_EQ(plugin->productString(), "Alpha Host");
    EXPECT_EQ(Host::unroutedRequestCount(), unroutedBefore);
}

TEST(HostLoader, RoutesEachEffectsRequestsToItsOwnHost)
{
    const std::size_t unroutedBefore = Host::unroutedRequestCount();
    Host alpha;
    Host beta;
    alpha.setProduct("Alpha", 1);
    beta.setProduct("Beta", 2);
    std::unique_ptr<Plugin> first = alpha.load(WAYFARER_FAKE_MAINONLY);
    std::unique_ptr<Plugin> second = beta.load(WAYFARER_FAKE_MAINONLY);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_EQ(first->productString(), "Alpha");
    EXPECT_EQ(second->productString(), "Beta");
    alpha.log().clear();
    beta.log().clear();

    first->open();
    second->setParameter(1, 0.25f);

    const std::vector<HostRequest> alphaRequests = alpha.log().all();
    ASSERT_EQ(alphaRequests.size(), 1u);
    EXPECT_EQ(alphaRequests[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(alphaRequests[0].index, 1);
    EXPECT_EQ(alphaRequests[0].effect, first->effect());

    const std::vector<HostRequest> betaRequests = beta.log().all();
    ASSERT_EQ(betaRequests.size(), 1u);
    EXPECT_EQ(betaRequests[0].opcode, audioMasterAutomate);
    EXPECT_EQ(betaRequests[0].index, 1);
    EXPECT_EQ(betaRequests[0].opt, 0.25f);
    EXPECT_EQ(betaRequests[0].effect, second->effect());
    EXPECT_EQ(Host::unroutedRequestCount(), unroutedBefore);
}

// Audio and automation threads call back concurrently; every request must land, in its own
// host, exactly once.
TEST(HostLoader, RecordsRequestsFromManyThreads)
{
    constexpr int kThreads = 4;
    constexpr int kCallsPerThread = 2000;
    const std::size_t unroutedBefore = Host::unroutedRequestCount();
    Host host;
    std::vector<std::unique_ptr<Plugin>> plugins;
    for (int i = 0; i < kThreads; ++i) {
        plugins.push_back(host.load(WAYFARER_FAKE_MAINONLY));
        ASSERT_TRUE(plugins.back());
    }
    host.log().clear();

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&plugins, t] {
            for (int i = 0; i < kCallsPerThread; ++i) plugins[t]->setParameter(i % 2, static_cast<float>(t));
        });
    }
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(host.log().count(audioMasterAutomate), static_cast<std::size_t>(kThreads * kCallsPerThread));
    for (int t = 0; t < kThreads; ++t) {
        std::size_t fromThisEffect = 0;
        for (const HostRequest& request : host.log().withOpcode(audioMasterAutomate)) {
            if (request.effect == plugins[t]->effect()) {
                ++fromThisEffect;
                EXPECT_EQ(request.opt, static_cast<float>(t));
            }
        }
        EXPECT_EQ(fromThisEffect, static_cast<std::size_t>(kCallsPerThread));
    }
    EXPECT_EQ(Host::unroutedRequestCount(), unroutedBefore);
}

TEST(HostLoader, PluginMayOutliveItsHost)
{
    std::unique_ptr<Plugin> plugin;
    {
        Host host;
        plugin = host.load(WAYFARER_FAKE_MAINONLY);
        ASSERT_TRUE(plugin);
    }
    const std::size_t unroutedBefore = Host::unroutedRequestCount();
    plugin->setParameter(0, 1.0f);
    EXPECT_EQ(plugin->getParameter(0), 1.0f);
    EXPECT_EQ(Host::unroutedRequestCount(), unroutedBefore);
}

TEST(HostLoader, ClosedPluginAnswersNothing)
{
    Host host;
    std::unique_ptr<Plugin> plugin = host.load(WAYFARER_FAKE_MAINONLY);
    ASSERT_TRUE(plugin);
    plugin->close();
    plugin->close();
    EXPECT_EQ(plugin->effect(), nullptr);
    EXPECT_EQ(plugin->dispatch(effGetProductString), 0);
    EXPECT_EQ(plugin->getParameter(0), 0.0f);
    float sample = 0.0f;
    float* channels[2] = {&sample, &sample};
    EXPECT_FALSE(plugin->processReplacing(channels, channels, 1));
}

TEST(HostLoader, MissingAudioCallbacksAreNotCalled)
{
    Host host;
    std::unique_ptr<Plugin> plugin = host.load(WAYFARER_FAKE_MAINONLY);
    ASSERT_TRUE(plugin);
    double sample = 0.0;
    double* channels[2] = {&sample, &sample};
    EXPECT_FALSE(plugin->processDoubleReplacing(channels, channels, 1));
}

TEST(HostLoader, AnswersFromItsConfiguration)
{
    Host host;
    std::unique_ptr<Plugin> plugin = host.load(WAYFARER_FAKE_MAINONLY);
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->dispatch(effGetTailSize), -1) << "no transport by default";
    EXPECT_EQ(plugin->canDo("sendVstTimeInfo"), 1);
    EXPECT_EQ(plugin->canDo("sendVstTime"), 0);
    EXPECT_EQ(plugin->dispatch(effGetVendorVersion), 1000);

    vsthost::HostConfig config = host.config();
    VstTimeInfo time{};
    time.tempo = 97.0;
    time.flags = kVstTempoValid;
    config.timeInfo = time;
    config.canDo = {"sendVstTime"};
    config.vendorVersion = 6290;
    host.setConfig(config);
    EXPECT_EQ(plugin->dispatch(effGetTailSize), 97);
    EXPECT_EQ(plugin->canDo("sendVstTimeInfo"), 0);
    EXPECT_EQ(plugin->canDo("sendVstTime"), 1);
    EXPECT_EQ(plugin->dispatch(effGetVendorVersion), 6290);

    const std::vector<HostRequest> canDos = host.log().withOpcode(audioMasterCanDo);
    ASSERT_EQ(canDos.size(), 4u);
    EXPECT_EQ(canDos[3].text, "sendVstTime");
    EXPECT_EQ(host.log().withOpcode(audioMasterGetTime).at(1).value, kVstTempoValid);
}

TEST(HostLoader, TextAnswersFitTheVstBuffer)
{
    vsthost::HostConfig config;
    config.productString = std::string(100, 'p'); // the fake's buffer holds kVstMaxProductStrLen
    Host host(config);
    std::unique_ptr<Plugin> plugin = host.load(WAYFARER_FAKE_MAINONLY);
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->productString(), std::string(kVstMaxProductStrLen - 1, 'p'));
}

} // namespace
