#include "plugcore/ChannelRouter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Stands in for the plug-in: records what the router hands over and writes `make` to every
// output, connected or not, for the whole block.
class Processor final : public IAudioProcessor {
public:
    Processor(int nIn, int nOut) : m_nIn(nIn), m_nOut(nOut) {}

    void ProcessAudio(double** inputs, double** outputs, int nFrames) override
    {
        ++doubleCalls;
        inPointers.assign(inputs, inputs + m_nIn);
        outPointers.assign(outputs, outputs + m_nOut);
        seen.clear();
        for (int c = 0; c < m_nIn; ++c) seen.emplace_back(inputs[c], inputs[c] + nFrames);
        for (int c = 0; c < m_nOut; ++c)
            for (int i = 0; i < nFrames; ++i) outputs[c][i] = make(c, i);
    }

    bool ProcessAudioFloat(float** inputs, float** outputs, int nFrames, bool accumulate) override
    {
        ++floatOffers;
        if (!takesFloats) return false;
        floatAccumulate = accumulate;
        seen.clear();
        for (int c = 0; c < m_nIn; ++c) seen.emplace_back(inputs[c], inputs[c] + nFrames);
        for (int c = 0; c < m_nOut; ++c)
            for (int i = 0; i < nFrames; ++i) {
                const double out = make(c, i);
                outputs[c][i] = static_cast<float>(accumulate ? outputs[c][i] + out : out);
            }
        return true;
    }

    std::function<double(int channel, int frame)> make = [](int c, int i) { return (c + 1) * 0.5 + i; };
    bool takesFloats = false;
    int doubleCalls = 0;
    int floatOffers = 0;
    bool floatAccumulate = false;
    std::vector<double*> inPointers, outPointers;
    std::vector<std::vector<double>> seen;

private:
    int m_nIn, m_nOut;
};

std::vector<double> Zeros(int n) { return std::vector<double>(static_cast<size_t>(n), 0.0); }

TEST(ChannelRouter, ParsesTheLayouts)
{
    const struct {
        const char* layouts;
        std::vector<std::pair<int, int>> pairs;
        int nIn, nOut;
    } cases[] = {
        {"1-2 2-2", {{1, 2}, {2, 2}}, 2, 2},
        {"2-2 4-6 1-1", {{2, 2}, {4, 6}, {1, 1}}, 4, 6},
        {"0-2", {{0, 2}}, 0, 2},
        {nullptr, {}, 0, 0},
    };
    for (const auto& c : cases) {
        const std::string what = c.layouts ? c.layouts : "(none)";
        Processor processor(0, 0);
        ChannelRouter router(c.layouts, processor);
        ASSERT_EQ(router.NChannelIOPairs(), static_cast<int>(c.pairs.size())) << what;
        for (int i = 0; i < router.NChannelIOPairs(); ++i) {
            EXPECT_EQ(router.GetChannelIOPair(i)->nIn, c.pairs[static_cast<size_t>(i)].first) << what;
            EXPECT_EQ(router.GetChannelIOPair(i)->nOut, c.pairs[static_cast<size_t>(i)].second) << what;
        }
        EXPECT_EQ(router.GetChannelIOPair(router.NChannelIOPairs()), nullptr) << what;
        EXPECT_EQ(router.NInChannels(), c.nIn) << what;
        EXPECT_EQ(router.NOutChannels(), c.nOut) << what;
        EXPECT_EQ(router.NConnectedInputs(), 0) << what;
        EXPECT_EQ(router.NConnectedOutputs(), 0) << what;
        EXPECT_EQ(router.GetBlockSize(), 0) << what;
    }
}

TEST(ChannelRouter, LegalIOMatchesOneLayoutWhole)
{
    Processor processor(4, 6);
    ChannelRouter router("2-2 4-6 1-1", processor);
    const struct {
        int in, out;
        bool legal;
    } cases[] = {{4, -1, true}, {-1, 6, true}, {1, 1, true},   {-1, -1, true}, {4, 2, false},
                 {2, 6, false}, {6, 4, false}, {-1, 3, false}, {0, -1, false}};
    for (const auto& c : cases) EXPECT_EQ(router.LegalIO(c.in, c.out), c.legal) << c.in << "-" << c.out;

    Processor none(0, 0);
    EXPECT_FALSE(ChannelRouter(nullptr, none).LegalIO(-1, -1));
}

TEST(ChannelRouter, ConnectionsCountEachChannelOnceWithinRange)
{
    struct Step {
        int first, count;
        bool connected;
    };
    const struct {
        const char* why;
        std::vector<Step> steps;
        std::vector<bool> expected;
    } cases[] = {
        {"all", {{0, 4, true}}, {true, true, true, true}},
        {"the same channels twice", {{1, 2, true}, {1, 2, true}}, {false, true, true, false}},
        {"a window starting before 0", {{-1, 3, true}}, {true, true, false, false}},
        {"a window running past the end", {{2, 100, true}}, {false, false, true, true}},
        {"one taken away again", {{0, 4, true}, {3, 1, false}, {3, 1, false}}, {true, true, true, false}},
        {"no count", {{0, 0, true}, {1, -2, true}}, {false, false, false, false}},
    };
    for (const auto& c : cases) {
        Processor processor(4, 4);
        ChannelRouter router("4-4", processor);
        for (const Step& s : c.steps) {
            router.SetInputConnections(s.first, s.count, s.connected);
            router.SetOutputConnections(s.first, s.count, s.connected);
        }
        int expectedCount = 0;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(router.IsInputConnected(i), c.expected[static_cast<size_t>(i)]) << c.why << " " << i;
            EXPECT_EQ(router.IsOutputConnected(i), c.expected[static_cast<size_t>(i)]) << c.why << " " << i;
            expectedCount += c.expected[static_cast<size_t>(i)] ? 1 : 0;
        }
        EXPECT_EQ(router.NConnectedInputs(), expectedCount) << c.why;
        EXPECT_EQ(router.NConnectedOutputs(), expectedCount) << c.why;
        EXPECT_FALSE(router.IsInputConnected(-1));
        EXPECT_FALSE(router.IsOutputConnected(4));
    }
}

TEST(ChannelRouter, DoubleAttachHandsOverTheHostArraysOfConnectedChannels)
{
    Processor processor(2, 2);
    ChannelRouter router("2-2", processor);
    router.SetMaxBlockSize(4);
    router.SetInputConnections(0, 2, true);
    router.SetOutputConnections(0, 2, true);
    std::vector<double> in0{1, 2, 3, 4}, in1{5, 6, 7, 8}, out0(4), out1(4);
    double* ins[] = {in0.data(), in1.data()};
    double* outs[] = {out0.data(), out1.data()};
    router.AttachInputs(0, 2, ins, 4);
    router.AttachOutputs(0, 2, outs);
    router.Run(4);
    EXPECT_EQ(processor.inPointers, (std::vector<double*>{in0.data(), in1.data()}));
    EXPECT_EQ(processor.outPointers, (std::vector<double*>{out0.data(), out1.data()}));
    EXPECT_EQ(out1, (std::vector<double>{1.0, 2.0, 3.0, 4.0}));
    EXPECT_EQ(processor.floatOffers, 0);

    // With the first channels unconnected, the host's first arrays go to the next connected ones.
    router.SetInputConnections(0, 1, false);
    router.SetOutputConnections(0, 1, false);
    double* one[] = {in1.data()};
    double* oneOut[] = {out0.data()};
    router.AttachInputs(0, 2, one, 4);
    router.AttachOutputs(0, 2, oneOut);
    router.Run(4);
    EXPECT_EQ(processor.inPointers[1], in1.data());
    EXPECT_EQ(processor.outPointers[1], out0.data());
    EXPECT_NE(processor.inPointers[0], in0.data());
    EXPECT_EQ(processor.seen[0], Zeros(4));
    EXPECT_EQ(out0, (std::vector<double>{1.0, 2.0, 3.0, 4.0}));
}

// The three ways a block runs: on double arrays, on float arrays the router converts, and on
// float arrays the processor takes itself.
enum class Path { kDouble, kFloatConverted, kFloatDirect };
const Path kPaths[] = {Path::kDouble, Path::kFloatConverted, Path::kFloatDirect};
const char* Name(Path path)
{
    return path == Path::kDouble ? "double" : (path == Path::kFloatConverted ? "float converted" : "float direct");
}

// Host arrays in both precisions, with a guard sample past the block that nothing may touch.
struct HostBlock {
    HostBlock(int nChannels, int nFrames, double value) : n(nFrames)
    {
        for (int c = 0; c < nChannels; ++c) {
            d.emplace_back(static_cast<size_t>(nFrames + 1), value + c);
            f.emplace_back(static_cast<size_t>(nFrames + 1), static_cast<float>(value + c));
        }
        for (auto& v : d) dPointers.push_back(v.data());
        for (auto& v : f) fPointers.push_back(v.data());
    }
    int n;
    std::vector<std::vector<double>> d;
    std::vector<std::vector<float>> f;
    std::vector<double*> dPointers;
    std::vector<float*> fPointers;
};

void RunBlock(ChannelRouter& router, Processor& processor, Path path, HostBlock& in, HostBlock& out,
              bool accumulate = false)
{
    processor.takesFloats = path == Path::kFloatDirect;
    if (path == Path::kDouble) {
        router.AttachInputs(0, router.NInChannels(), in.dPointers.data(), in.n);
        router.AttachOutputs(0, router.NOutChannels(), out.dPointers.data());
        router.Run(in.n);
    } else {
        router.AttachInputs(0, router.NInChannels(), in.fPointers.data(), in.n);
        router.AttachOutputs(0, router.NOutChannels(), out.fPointers.data());
        router.RunFloat(in.n, accumulate);
    }
}

TEST(ChannelRouter, UnconnectedInputsReadSilenceAfterCarryingAudio)
{
    for (Path path : kPaths) {
        Processor processor(2, 2);
        ChannelRouter router("1-2 2-2", processor);
        router.SetMaxBlockSize(16);
        router.SetInputConnections(0, 2, true);
        router.SetOutputConnections(0, 2, true);
        // A stereo block through the float path leaves audio in input 1's scratch.
        HostBlock stereo(2, 16, 0.25), stereoOut(2, 16, 0.0);
        RunBlock(router, processor, Path::kFloatConverted, stereo, stereoOut);
        ASSERT_EQ(processor.seen[1], std::vector<double>(16, 1.25)) << Name(path);
        const std::vector<float> stereoOut1 = stereoOut.f[1];

        // Run twice: what went to the unconnected output in the first block must not come back
        // as input in the second.
        router.SetInputConnections(1, 1, false);
        router.SetOutputConnections(1, 1, false);
        processor.make = [](int, int) { return -3.0; };
        HostBlock mono(1, 16, 0.5), out(1, 16, 0.0);
        for (int block = 0; block < 2; ++block) {
            RunBlock(router, processor, path, mono, out);
            ASSERT_EQ(processor.seen.size(), 2u) << Name(path);
            EXPECT_EQ(processor.seen[0], std::vector<double>(16, 0.5)) << Name(path);
            EXPECT_EQ(processor.seen[1], Zeros(16)) << Name(path) << " block " << block;
        }
        EXPECT_EQ(stereoOut.f[1], stereoOut1) << Name(path) << ": output 1's last host array";
    }
}

TEST(ChannelRouter, UnconnectedOutputsGoNowhere)
{
    for (Path path : kPaths) {
        Processor processor(2, 2);
        ChannelRouter router("2-2", processor);
        router.SetMaxBlockSize(8);
        router.SetInputConnections(0, 2, true);
        router.SetOutputConnections(0, 1, false);
        router.SetOutputConnections(1, 1, true);
        // One host array, for output 1; a second one is there only to show it is never written.
        HostBlock in(2, 8, 0.0), out(2, 8, 9.0);
        RunBlock(router, processor, path, in, out);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(out.d[0][static_cast<size_t>(i)], path == Path::kDouble ? 1.0 + i : 9.0) << Name(path);
            EXPECT_EQ(out.f[0][static_cast<size_t>(i)], path == Path::kDouble ? 9.0f : static_cast<float>(1.0 + i))
                << Name(path);
        }
        EXPECT_EQ(out.d[0][8], 9.0) << Name(path);
        EXPECT_EQ(out.f[0][8], 9.0f) << Name(path);
        for (const auto& untouched : {out.d[1], std::vector<double>(out.f[1].begin(), out.f[1].end())})
            EXPECT_EQ(untouched, std::vector<double>(9, 10.0)) << Name(path);
    }
}

TEST(ChannelRouter, FloatBlocksConvertOnceEachWay)
{
    Processor processor(1, 1);
    ChannelRouter router("1-1", processor);
    router.SetMaxBlockSize(4);
    router.SetInputConnections(0, 1, true);
    router.SetOutputConnections(0, 1, true);
    // A little over half a float step at 1.0. Added to 1.0 in double and rounded once, the sum
    // rounds up; rounded to float first it is exactly half a step, and the sum ties down to 1.0.
    const double small = std::ldexp(1.0, -24) + std::ldexp(1.0, -50);
    processor.make = [&](int, int i) { return i == 0 ? small : 0.1 * i; };
    std::vector<float> in{0.1f, -0.2f, 3.0e-39f, 1.0f}, out(4, 1.0f);
    float* ins[] = {in.data()};
    float* outs[] = {out.data()};

    router.AttachInputs(0, 1, ins, 4);
    router.AttachOutputs(0, 1, outs);
    router.RunFloat(4, false);
    EXPECT_EQ(processor.seen[0], (std::vector<double>{0.1f, -0.2f, 3.0e-39f, 1.0f}));
    EXPECT_EQ(out, (std::vector<float>{static_cast<float>(small), 0.1f, 0.2f, static_cast<float>(0.1 * 3)}));

    std::fill(out.begin(), out.end(), 1.0f);
    router.AttachInputs(0, 1, ins, 4);
    router.AttachOutputs(0, 1, outs);
    router.RunFloat(4, true);
    EXPECT_EQ(out[0], std::nextafter(1.0f, 2.0f)) << "the sum is rounded once, from double";
    EXPECT_EQ(1.0f + static_cast<float>(small), 1.0f) << "what rounding twice would give";
    for (int i = 1; i < 4; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], static_cast<float>(1.0 + 0.1 * i)) << i;
    EXPECT_EQ(processor.floatOffers, 2);
}

TEST(ChannelRouter, AProcessorTakingFloatsGetsTheHostArraysAndTheMode)
{
    Processor processor(2, 2);
    processor.takesFloats = true;
    ChannelRouter router("2-2", processor);
    router.SetMaxBlockSize(4);
    router.SetInputConnections(0, 2, true);
    router.SetOutputConnections(0, 2, true);
    HostBlock in(2, 4, 0.5), out(2, 4, 2.0);
    for (bool accumulate : {false, true}) {
        router.AttachInputs(0, 2, in.fPointers.data(), 4);
        router.AttachOutputs(0, 2, out.fPointers.data());
        router.RunFloat(4, accumulate);
        EXPECT_EQ(processor.floatAccumulate, accumulate);
        EXPECT_EQ(processor.seen[1], std::vector<double>(4, 1.5));
    }
    // Written once by the processor, then added to once: the router adds nothing of its own.
    EXPECT_EQ(out.f[1][0], static_cast<float>(1.0 + 1.0));
    EXPECT_EQ(processor.doubleCalls, 0);
}

TEST(ChannelRouter, BlockSizeChangesKeepUnconnectedChannelsOnValidScratch)
{
    Processor processor(2, 2);
    ChannelRouter router("2-2", processor);
    router.SetInputConnections(1, 1, false); // before there is any scratch at all
    router.SetInputConnections(0, 1, true);
    router.SetOutputConnections(0, 2, true);
    router.SetMaxBlockSize(64);
    {
        HostBlock in(1, 64, 0.5), out(2, 64, 0.0);
        RunBlock(router, processor, Path::kDouble, in, out);
    }
    router.SetOutputConnections(1, 1, false); // its slot named a host array that is gone now
    for (int size : {64, 8192, 16, 0, 4096}) {
        router.SetMaxBlockSize(size);
        EXPECT_EQ(router.GetBlockSize(), size);
        // The processor reads and writes every channel for the whole block: a slot left on a
        // scratch block that has moved would be a use after free under ASan.
        HostBlock in(1, size, 0.5), out(1, size, 0.0);
        RunBlock(router, processor, Path::kDouble, in, out);
        if (size == 0) continue;
        ASSERT_NE(processor.inPointers[1], nullptr) << size;
        ASSERT_NE(processor.outPointers[1], nullptr) << size;
        EXPECT_EQ(processor.seen[1], Zeros(size)) << size;
        EXPECT_EQ(out.d[0][static_cast<size_t>(size - 1)], 0.5 + size - 1) << size;
    }
    // Nothing changes for the same size again or a negative one.
    router.SetMaxBlockSize(-1);
    EXPECT_EQ(router.GetBlockSize(), 4096);
}

// Refuses every allocation and counts the requests, while installed.
struct RefusingAllocator {
    static int requests;
    static void* Reallocate(void*, size_t)
    {
        ++requests;
        return nullptr;
    }
    static void* Allocate(size_t)
    {
        ++requests;
        return nullptr;
    }
    static void Release(void* block) { free(block); }
};
int RefusingAllocator::requests = 0;
const HeapAllocator kRefusing = {RefusingAllocator::Reallocate, RefusingAllocator::Allocate,
                                 RefusingAllocator::Release};

class RefuseAllocations {
public:
    RefuseAllocations()
    {
        RefusingAllocator::requests = 0;
        SetHeapAllocator(&kRefusing);
    }
    ~RefuseAllocations() { SetHeapAllocator(nullptr); }
    RefuseAllocations(const RefuseAllocations&) = delete;
    RefuseAllocations& operator=(const RefuseAllocations&) = delete;
};

TEST(ChannelRouter, TheBlockSizeIsWhatTheScratchHolds)
{
    Processor processor(2, 2);
    ChannelRouter router("2-2", processor);
    router.SetMaxBlockSize(8);
    {
        RefuseAllocations refuse;
        router.SetMaxBlockSize(100000);
    }
    EXPECT_EQ(router.GetBlockSize(), 8);
    HostBlock in(2, 8, 0.5), out(2, 8, 0.0);
    RunBlock(router, processor, Path::kFloatDirect, in, out); // every channel unconnected
    EXPECT_EQ(processor.seen[0], Zeros(8));
}

TEST(ChannelRouter, TheAudioPathAllocatesNothing)
{
    Processor processor(2, 2);
    ChannelRouter router("1-2 2-2", processor);
    router.SetMaxBlockSize(32);
    router.SetInputConnections(0, 1, true);
    router.SetOutputConnections(0, 2, true);
    HostBlock in(1, 32, 0.5), out(2, 32, 0.0);
    for (Path path : kPaths) {
        for (bool accumulate : {false, true}) {
            RefuseAllocations refuse;
            RunBlock(router, processor, path, in, out, accumulate);
            RunBlock(router, processor, path, in, out, accumulate);
            EXPECT_EQ(RefusingAllocator::requests, 0) << Name(path) << accumulate;
        }
    }
}

} // namespace
