// The three audio callbacks against the plainest loop that computes the same thing: one pass
// writing +g*in to one output and -(g*in) to the other.
#include "BenchMain.h"
#include "vst/Vst24.h"

#include <cstring>
#include <vector>

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback);

namespace {

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

template <class Sample> struct Buffers {
    explicit Buffers(int n) : in0(n), in1(n), out0(n), out1(n)
    {
        for (int i = 0; i < n; ++i) {
            in0[i] = static_cast<Sample>((i % 97) / 97.0 - 0.5);
            in1[i] = static_cast<Sample>((i % 89) / 89.0 - 0.5);
        }
    }
    std::vector<Sample> in0, in1, out0, out1;
    Sample* ins[2] = {in0.data(), in1.data()};
    Sample* outs[2] = {out0.data(), out1.data()};
};

// Attenuated: "Wet Mix" turned up, so the left input's gain is not 1 (the costlier case for the
// float path). Unity: the defaults, where both gains are 1.
AEffect* OpenEffect(int frames, bool attenuated = true)
{
    AEffect* e = VSTPluginMain(Host);
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetBlockSize, 0, frames, nullptr, 0.0f);
    if (attenuated) e->setParameter(e, 1, 0.8f);
    return e;
}

template <class Sample> void Reference(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    Buffers<Sample> b(n);
    const Sample g0 = static_cast<Sample>(0.7), g1 = static_cast<Sample>(1.0);
    for (auto _ : state) {
        const Sample* in0 = b.in0.data();
        const Sample* in1 = b.in1.data();
        Sample* out0 = b.out0.data();
        Sample* out1 = b.out1.data();
        for (int i = 0; i < n; ++i) {
            out0[i] = g0 * in0[i];
            out1[i] = -(g1 * in1[i]);
        }
        benchmark::DoNotOptimize(b.out0.data());
        benchmark::DoNotOptimize(b.out1.data());
        benchmark::ClobberMemory();
    }
}

void ProcessDoubleReplacing(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    AEffect* e = OpenEffect(n);
    Buffers<double> b(n);
    for (auto _ : state) {
        e->processDoubleReplacing(e, b.ins, b.outs, n);
        benchmark::ClobberMemory();
    }
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

template <bool accumulate, bool attenuated = true> void ProcessFloat(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    AEffect* e = OpenEffect(n, attenuated);
    Buffers<float> b(n);
    for (auto _ : state) {
        // Accumulating onto the same buffers only grows the signal; floats cope for any run length.
        if (accumulate)
            e->process(e, b.ins, b.outs, n);
        else
            e->processReplacing(e, b.ins, b.outs, n);
        benchmark::ClobberMemory();
    }
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

BENCHMARK_TEMPLATE(Reference, double)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_TEMPLATE(Reference, float)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(ProcessDoubleReplacing)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_TEMPLATE(ProcessFloat, false)->Name("ProcessReplacing")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_TEMPLATE(ProcessFloat, true)->Name("ProcessAccumulating")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_TEMPLATE(ProcessFloat, false, false)->Name("ProcessReplacingUnity")->Arg(64)->Arg(512)->Arg(4096);

#define PROCESS_RATIOS(frames)                                                                                         \
    WAYFARER_RATIO("ProcessDoubleReplacing/" #frames, "Reference<double>/" #frames);                                   \
    WAYFARER_RATIO("ProcessReplacing/" #frames, "Reference<float>/" #frames);                                          \
    WAYFARER_RATIO("ProcessReplacingUnity/" #frames, "Reference<float>/" #frames);                                     \
    WAYFARER_RATIO("ProcessAccumulating/" #frames, "Reference<float>/" #frames)
PROCESS_RATIOS(64);
PROCESS_RATIOS(512);
PROCESS_RATIOS(4096);

} // namespace
