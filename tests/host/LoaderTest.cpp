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
    std::unique_ptr<Plugin> plugin = host.Load(GetParam().path, &error);
    EXPECT_FALSE(plugin);
    EXPECT_NE(error.find(GetParam().expectedReason), std::string::npos) << error;
    EXPECT_EQ(host.Log().Size(), 0u);
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
    EXPECT_FALSE(host.LoadVia(WAYFARER_FAKE_MAINONLY, "VSTPluginMain", &error));
    EXPECT_NE(error.find("exports no VSTPluginMain"), std::string::npos) << error;
}

TEST(HostLoader, FallsBackToMainAndRoutesRequestsMadeDuringTheEntryPoint)
{
    const std::size_t unroutedBefore = Host::UnroutedRequestCount();
    Host host;
    host.SetProduct("Alpha Host", 4321);
    std::string error;
    std::unique_ptr<Plugin> plugin = host.Load(WAYFARER_FAKE_MAINONLY, &error);
    ASSERT_TRUE(plugin) << error;

    EXPECT_EQ(plugin->EntryName(), "main");
    const std::vector<HostRequest> requests = host.Log().All();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].opcode, audioMasterVersion);
    EXPECT_EQ(requests[0].effect, nullptr);
    // The second request names the record that the entry point had not yet returned.
    EXPECT_EQ(requests[1].opcode, audioMasterGetProductString);
    EXPECT_EQ(requests[1].effect, plugin->Effect());
    EXPECT_EQ(plugin->ProductString(), "Alpha Host");
    EXPECT_EQ(Host::UnroutedRequestCount(), unroutedBefore);
}

TEST(HostLoader, RoutesEachEffectsRequestsToItsOwnHost)
{
    const std::size_t unroutedBefore = Host::UnroutedRequestCount();
    Host alpha;
    Host beta;
    alpha.SetProduct("Alpha", 1);
    beta.SetProduct("Beta", 2);
    std::unique_ptr<Plugin> first = alpha.Load(WAYFARER_FAKE_MAINONLY);
    std::unique_ptr<Plugin> second = beta.Load(WAYFARER_FAKE_MAINONLY);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_EQ(first->ProductString(), "Alpha");
    EXPECT_EQ(second->ProductString(), "Beta");
    alpha.Log().Clear();
    beta.Log().Clear();

    first->Open();
    second->SetParameter(1, 0.25f);

    const std::vector<HostRequest> alphaRequests = alpha.Log().All();
    ASSERT_EQ(alphaRequests.size(), 1u);
    EXPECT_EQ(alphaRequests[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(alphaRequests[0].index, 1);
    EXPECT_EQ(alphaRequests[0].effect, first->Effect());

    const std::vector<HostRequest> betaRequests = beta.Log().All();
    ASSERT_EQ(betaRequests.size(), 1u);
    EXPECT_EQ(betaRequests[0].opcode, audioMasterAutomate);
    EXPECT_EQ(betaRequests[0].index, 1);
    EXPECT_EQ(betaRequests[0].opt, 0.25f);
    EXPECT_EQ(betaRequests[0].effect, second->Effect());
    EXPECT_EQ(Host::UnroutedRequestCount(), unroutedBefore);
}

// Audio and automation threads call back concurrently; every request must land, in its own
// host, exactly once.
TEST(HostLoader, RecordsRequestsFromManyThreads)
{
    constexpr int kThreads = 4;
    constexpr int kCallsPerThread = 2000;
    const std::size_t unroutedBefore = Host::UnroutedRequestCount();
    Host host;
    std::vector<std::unique_ptr<Plugin>> plugins;
    for (int i = 0; i < kThreads; ++i) {
        plugins.push_back(host.Load(WAYFARER_FAKE_MAINONLY));
        ASSERT_TRUE(plugins.back());
    }
    host.Log().Clear();

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&plugins, t] {
            for (int i = 0; i < kCallsPerThread; ++i) plugins[t]->SetParameter(i % 2, static_cast<float>(t));
        });
    }
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(host.Log().Count(audioMasterAutomate), static_cast<std::size_t>(kThreads * kCallsPerThread));
    for (int t = 0; t < kThreads; ++t) {
        std::size_t fromThisEffect = 0;
        for (const HostRequest& request : host.Log().WithOpcode(audioMasterAutomate)) {
            if (request.effect == plugins[t]->Effect()) {
                ++fromThisEffect;
                EXPECT_EQ(request.opt, static_cast<float>(t));
            }
        }
        EXPECT_EQ(fromThisEffect, static_cast<std::size_t>(kCallsPerThread));
    }
    EXPECT_EQ(Host::UnroutedRequestCount(), unroutedBefore);
}

TEST(HostLoader, PluginMayOutliveItsHost)
{
    std::unique_ptr<Plugin> plugin;
    {
        Host host;
        plugin = host.Load(WAYFARER_FAKE_MAINONLY);
        ASSERT_TRUE(plugin);
    }
    const std::size_t unroutedBefore = Host::UnroutedRequestCount();
    plugin->SetParameter(0, 1.0f);
    EXPECT_EQ(plugin->GetParameter(0), 1.0f);
    EXPECT_EQ(Host::UnroutedRequestCount(), unroutedBefore);
}

TEST(HostLoader, ClosedPluginAnswersNothing)
{
    Host host;
    std::unique_ptr<Plugin> plugin = host.Load(WAYFARER_FAKE_MAINONLY);
    ASSERT_TRUE(plugin);
    plugin->Close();
    plugin->Close();
    EXPECT_EQ(plugin->Effect(), nullptr);
    EXPECT_EQ(plugin->Dispatch(effGetProductString), 0);
    EXPECT_EQ(plugin->GetParameter(0), 0.0f);
    float sample = 0.0f;
    float* channels[2] = {&sample, &sample};
    EXPECT_FALSE(plugin->ProcessReplacing(channels, channels, 1));
}

TEST(HostLoader, MissingAudioCallbacksAreNotCalled)
{
    Host host;
    std::unique_ptr<Plugin> plugin = host.Load(WAYFARER_FAKE_MAINONLY);
    ASSERT_TRUE(plugin);
    double sample = 0.0;
    double* channels[2] = {&sample, &sample};
    EXPECT_FALSE(plugin->ProcessDoubleReplacing(channels, channels, 1));
}

TEST(HostLoader, AnswersFromItsConfiguration)
{
    Host host;
    std::unique_ptr<Plugin> plugin = host.Load(WAYFARER_FAKE_MAINONLY);
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->Dispatch(effGetTailSize), -1) << "no transport by default";
    EXPECT_EQ(plugin->CanDo("sendVstTimeInfo"), 1);
    EXPECT_EQ(plugin->CanDo("sendVstTime"), 0);
    EXPECT_EQ(plugin->Dispatch(effGetVendorVersion), 1000);

    vsthost::HostConfig config = host.Config();
    VstTimeInfo time{};
    time.tempo = 97.0;
    time.flags = kVstTempoValid;
    config.timeInfo = time;
    config.canDo = {"sendVstTime"};
    config.vendorVersion = 6290;
    host.SetConfig(config);
    EXPECT_EQ(plugin->Dispatch(effGetTailSize), 97);
    EXPECT_EQ(plugin->CanDo("sendVstTimeInfo"), 0);
    EXPECT_EQ(plugin->CanDo("sendVstTime"), 1);
    EXPECT_EQ(plugin->Dispatch(effGetVendorVersion), 6290);

    const std::vector<HostRequest> canDos = host.Log().WithOpcode(audioMasterCanDo);
    ASSERT_EQ(canDos.size(), 4u);
    EXPECT_EQ(canDos[3].text, "sendVstTime");
    EXPECT_EQ(host.Log().WithOpcode(audioMasterGetTime).at(1).value, kVstTempoValid);
}

TEST(HostLoader, TextAnswersFitTheVstBuffer)
{
    vsthost::HostConfig config;
    config.productString = std::string(100, 'p'); // the fake's buffer holds kVstMaxProductStrLen
    Host host(config);
    std::unique_ptr<Plugin> plugin = host.Load(WAYFARER_FAKE_MAINONLY);
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->ProductString(), std::string(kVstMaxProductStrLen - 1, 'p'));
}

} // namespace
