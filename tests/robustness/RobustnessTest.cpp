// Lifecycle and concurrency under the sanitizer builds: many instances created and destroyed, and
// an audio thread racing automation, program changes and chunk loads.
#include "vst/Vst24.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback);

namespace {

VstIntPtr VSTCALLBACK QuietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    if (opcode == audioMasterGetProductString && ptr) strcpy(static_cast<char*>(ptr), "Robustness Host");
    if (opcode == audioMasterGetVendorVersion) return 10000;
    return 0;
}

VstIntPtr Dispatch(AEffect* e, VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f)
{
    return e->dispatcher(e, op, index, value, ptr, opt);
}

TEST(Robustness, ThousandLifecycles)
{
    std::vector<float> in0(512, 0.5f), in1(512, -0.5f), out0(512), out1(512);
    for (int cycle = 0; cycle < 1000; ++cycle) {
        AEffect* e = VSTPluginMain(QuietHost);
        ASSERT_NE(e, nullptr);
        Dispatch(e, effOpen);
        Dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        Dispatch(e, effSetBlockSize, 0, 256);
        Dispatch(e, effMainsChanged, 0, 1);
        Dispatch(e, effSetProgram, 0, cycle % 12);
        float* ins[] = {in0.data(), in1.data()};
        float* outs[] = {out0.data(), out1.data()};
        e->processReplacing(e, ins, outs, 512);
        void* chunk = nullptr;
        const VstIntPtr size = Dispatch(e, effGetChunk, cycle % 2, 0, &chunk);
        ASSERT_GT(size, 0);
        std::vector<uint8_t> copy(static_cast<const uint8_t*>(chunk), static_cast<const uint8_t*>(chunk) + size);
        EXPECT_EQ(Dispatch(e, effSetChunk, cycle % 2, size, copy.data()), 1);
        Dispatch(e, effMainsChanged, 0, 0);
        Dispatch(e, effClose);
    }
}

TEST(Robustness, ChunkHandedBackFromOurOwnBuffer)
{
    AEffect* e = VSTPluginMain(QuietHost);
    Dispatch(e, effOpen);
    for (int bank : {0, 1}) {
        void* chunk = nullptr;
        const VstIntPtr size = Dispatch(e, effGetChunk, bank, 0, &chunk);
        ASSERT_GT(size, 0);
        // Hosts often restore straight from the pointer they were given, even with a new size.
        EXPECT_EQ(Dispatch(e, effSetChunk, bank, size, chunk), 1);
        EXPECT_EQ(Dispatch(e, effSetChunk, bank, size - 1, chunk), 0);
    }
    Dispatch(e, effClose);
}

// In: left 1.0, right 0.5, constant. Every sample of a block must come from one routing and one
// gain pair: both outputs constant across the block, opposite in sign, one channel unattenuated.
bool BlockIsConsistent(const std::vector<float>& out0, const std::vector<float>& out1, int n)
{
    const float a = out0[0], b = out1[0];
    for (int i = 1; i < n; ++i)
        if (out0[i] != a || out1[i] != b) return false;
    if ((a > 0) == (b > 0)) return false;
    const bool leftFull = std::fabs(a) == 1.0f, rightFull = std::fabs(b) == 0.5f;
    return (leftFull || rightFull) && std::fabs(a) >= 0.25f && std::fabs(b) >= 0.125f;
}

TEST(Robustness, AudioRacesAutomationProgramsAndChunks)
{
    AEffect* e = VSTPluginMain(QuietHost);
    Dispatch(e, effOpen);
    Dispatch(e, effSetBlockSize, 0, 512);
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0}, bad{0};

    std::thread audio([&] {
        std::vector<float> in0(700, 1.0f), in1(700, 0.5f), out0(700), out1(700);
        float* ins[] = {in0.data(), in1.data()};
        float* outs[] = {out0.data(), out1.data()};
        while (!stop) {
            const int n = 1 + blocks % 700; // some blocks above the announced size
            e->processReplacing(e, ins, outs, n);
            if (!BlockIsConsistent(out0, out1, n)) ++bad;
            ++blocks;
        }
    });
    std::thread automation([&] {
        for (int i = 0; !stop; ++i) {
            e->setParameter(e, i % 2, static_cast<float>((i * 37) % 101) / 100.0f);
            (void)e->getParameter(e, (i + 1) % 2);
        }
    });
    std::thread programs([&] {
        const double values[2] = {1.0, -0.5};
        std::vector<uint8_t> chunk = {0x74, 0x66, 0x66, 0x70, 0, 0, 1, 0};
        const auto* raw = reinterpret_cast<const uint8_t*>(values);
        chunk.insert(chunk.end(), raw, raw + sizeof values);
        for (int i = 0; !stop; ++i) {
            Dispatch(e, effSetProgram, 0, i % 12);
            Dispatch(e, effSetChunk, 1, static_cast<VstIntPtr>(chunk.size()), chunk.data());
            void* bank = nullptr;
            Dispatch(e, effGetChunk, 0, 0, &bank);
            std::this_thread::yield();
        }
    });

    std::this_thread::sleep_for(std::chrono::seconds(3));
    stop = true;
    audio.join();
    automation.join();
    programs.join();
    Dispatch(e, effClose);
    EXPECT_GT(blocks, 10);
    EXPECT_EQ(bad, 0);
}

TEST(Robustness, ConcurrentInstantiation)
{
    std::vector<std::thread> threads;
    std::atomic<int> created{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                AEffect* e = VSTPluginMain(QuietHost);
                if (!e) continue;
                Dispatch(e, effOpen);
                ++created;
                Dispatch(e, effClose);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(created, 200);
}

} // namespace
