// The LV2 plug-in's run() against the VST binding's processReplacing, both on the same effect and
// the same buffers in the same run: what the LV2 binding costs on top of the shared processing.
// The LV2 library is loaded from the bundle by path, as a host loads it.
#include "BenchMain.h"
#include "vst/Vst24.h"

#include <lv2/core/lv2.h>

#include <dlfcn.h>

#include <cstdio>
#include <vector>

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback);

namespace {

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

struct Buffers {
    explicit Buffers(int n) : in0(n), in1(n), out0(n), out1(n)
    {
        for (int i = 0; i < n; ++i) {
            in0[i] = static_cast<float>((i % 97) / 97.0 - 0.5);
            in1[i] = static_cast<float>((i % 89) / 89.0 - 0.5);
        }
    }
    std::vector<float> in0, in1, out0, out1;
    float* ins[2] = {in0.data(), in1.data()};
    float* outs[2] = {out0.data(), out1.data()};
};

// Attenuated: a Wet Mix that scales one input (the costlier case). Unity: the defaults.
const float kAttenuatedWetMix = 0.449286814f; // the plain value of the VST's normalized 0.8

void VstProcessReplacing(benchmark::State& state, bool attenuated)
{
    const int n = static_cast<int>(state.range(0));
    AEffect* e = VSTPluginMain(Host);
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetBlockSize, 0, n, nullptr, 0.0f);
    if (attenuated) e->setParameter(e, 1, 0.8f);
    Buffers b(n);
    for (auto _ : state) {
        e->processReplacing(e, b.ins, b.outs, n);
        benchmark::ClobberMemory();
    }
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

void Lv2Run(benchmark::State& state, bool attenuated)
{
    const int n = static_cast<int>(state.range(0));
    void* library = dlopen(WAYFARER_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
    using Entry = const LV2_Descriptor* (*)(uint32_t);
    auto entry = library ? reinterpret_cast<Entry>(dlsym(library, "lv2_descriptor")) : nullptr;
    const LV2_Descriptor* d = entry ? entry(0) : nullptr;
    if (!d) {
        state.SkipWithError("cannot load " WAYFARER_LV2_BINARY);
        return;
    }
    const LV2_Feature* features[] = {nullptr};
    LV2_Handle h = d->instantiate(d, 48000.0, "", features);
    Buffers b(n);
    float pan = 0.0f, wetMix = attenuated ? kAttenuatedWetMix : 0.0f;
    d->connect_port(h, 0, b.in0.data());
    d->connect_port(h, 1, b.in1.data());
    d->connect_port(h, 2, b.out0.data());
    d->connect_port(h, 3, b.out1.data());
    d->connect_port(h, 4, &pan);
    d->connect_port(h, 5, &wetMix);
    d->activate(h);
    for (auto _ : state) {
        d->run(h, static_cast<uint32_t>(n));
        benchmark::ClobberMemory();
    }
    d->deactivate(h);
    d->cleanup(h);
    dlclose(library);
}

BENCHMARK_CAPTURE(VstProcessReplacing, attenuated, true)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_CAPTURE(Lv2Run, attenuated, true)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_CAPTURE(VstProcessReplacing, unity, false)->Arg(512);
BENCHMARK_CAPTURE(Lv2Run, unity, false)->Arg(512);

WAYFARER_RATIO("Lv2Run/attenuated/64", "VstProcessReplacing/attenuated/64");
WAYFARER_RATIO("Lv2Run/attenuated/512", "VstProcessReplacing/attenuated/512");
WAYFARER_RATIO("Lv2Run/attenuated/4096", "VstProcessReplacing/attenuated/4096");
WAYFARER_RATIO("Lv2Run/unity/512", "VstProcessReplacing/unity/512");

} // namespace
