// vst-spy: a VST 2.4 plug-in that is only a pass-through to another one, logging what the host
// asks of it and what it asks of the host. Hosts differ in which thread calls what and in what
// order; this shows it for a host we cannot read the source of while it runs.
//
// The target is the binary named by WAYFARER_SPY_TARGET; the log goes to the file named by
// WAYFARER_SPY_LOG (appended to, so a host's scanner process and the host itself share it), or
// to stderr.
#include "Vst24.h"

#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#define SPY_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point gLoaded = Clock::now();

std::mutex gLogLock;
FILE* gLog = nullptr;
std::atomic<long> gFirstThread{0};

long ThreadId() { return static_cast<long>(syscall(SYS_gettid)); }

FILE* LogFile()
{
    // Opened on first use rather than at load, so a host that forks a scanner logs from the child.
    if (!gLog) {
        const char* path = std::getenv("WAYFARER_SPY_LOG");
        if (path && *path) gLog = std::fopen(path, "a");
        if (!gLog) gLog = stderr;
    }
    return gLog;
}

// Every line starts with the time, the process and the thread, and says whether the thread is the
// one that called first: that is the one a host treats as its "main" or GUI thread.
__attribute__((format(printf, 1, 2))) void Log(const char* format, ...)
{
    const long tid = ThreadId();
    long expected = 0;
    gFirstThread.compare_exchange_strong(expected, tid);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - gLoaded).count();

    std::lock_guard<std::mutex> lock(gLogLock);
    FILE* f = LogFile();
    std::fprintf(f, "%10.3f pid=%d tid=%ld %s ", ms, static_cast<int>(getpid()), tid,
                 tid == gFirstThread.load() ? "first" : "other");
    va_list args;
    va_start(args, format);
    std::vfprintf(f, format, args);
    va_end(args);
    std::fputc('\n', f);
    std::fflush(f);
}

const char* const kEffNames[] = {
    "effOpen",
    "effClose",
    "effSetProgram",
    "effGetProgram",
    "effSetProgramName",
    "effGetProgramName",
    "effGetParamLabel",
    "effGetParamDisplay",
    "effGetParamName",
    "effGetVu",
    "effSetSampleRate",
    "effSetBlockSize",
    "effMainsChanged",
    "effEditGetRect",
    "effEditOpen",
    "effEditClose",
    "effEditDraw",
    "effEditMouse",
    "effEditKey",
    "effEditIdle",
    "effEditTop",
    "effEditSleep",
    "effIdentify",
    "effGetChunk",
    "effSetChunk",
    "effProcessEvents",
    "effCanBeAutomated",
    "effString2Parameter",
    "effGetNumProgramCategories",
    "effGetProgramNameIndexed",
    "effCopyProgram",
    "effConnectInput",
    "effConnectOutput",
    "effGetInputProperties",
    "effGetOutputProperties",
    "effGetPlugCategory",
    "effGetCurrentPosition",
    "effGetDestinationBuffer",
    "effOfflineNotify",
    "effOfflinePrepare",
    "effOfflineRun",
    "effProcessVarIo",
    "effSetSpeakerArrangement",
    "effSetBlockSizeAndSampleRate",
    "effSetBypass",
    "effGetEffectName",
    "effGetErrorText",
    "effGetVendorString",
    "effGetProductString",
    "effGetVendorVersion",
    "effVendorSpecific",
    "effCanDo",
    "effGetTailSize",
    "effIdle",
    "effGetIcon",
    "effSetViewPosition",
    "effGetParameterProperties",
    "effKeysRequired",
    "effGetVstVersion",
    "effEditKeyDown",
    "effEditKeyUp",
    "effSetEditKnobMode",
    "effGetMidiProgramName",
    "effGetCurrentMidiProgram",
    "effGetMidiProgramCategory",
    "effHasMidiProgramsChanged",
    "effGetMidiKeyName",
    "effBeginSetProgram",
    "effEndSetProgram",
    "effGetSpeakerArrangement",
    "effShellGetNextPlugin",
    "effStartProcess",
    "effStopProcess",
    "effSetTotalSampleToProcess",
    "effSetPanLaw",
    "effBeginLoadBank",
    "effBeginLoadProgram",
    "effSetProcessPrecision",
    "effGetNumMidiInputChannels",
    "effGetNumMidiOutputChannels",
};

const char* const kMasterNames[] = {
    "audioMasterAutomate",
    "audioMasterVersion",
    "audioMasterCurrentId",
    "audioMasterIdle",
    "audioMasterPinConnected",
    "audioMaster5",
    "audioMasterWantMidi",
    "audioMasterGetTime",
    "audioMasterProcessEvents",
    "audioMasterSetTime",
    "audioMasterTempoAt",
    "audioMasterGetNumAutomatableParameters",
    "audioMasterGetParameterQuantization",
    "audioMasterIOChanged",
    "audioMasterNeedIdle",
    "audioMasterSizeWindow",
    "audioMasterGetSampleRate",
    "audioMasterGetBlockSize",
    "audioMasterGetInputLatency",
    "audioMasterGetOutputLatency",
    "audioMasterGetPreviousPlug",
    "audioMasterGetNextPlug",
    "audioMasterWillReplaceOrAccumulate",
    "audioMasterGetCurrentProcessLevel",
    "audioMasterGetAutomationState",
    "audioMasterOfflineStart",
    "audioMasterOfflineRead",
    "audioMasterOfflineWrite",
    "audioMasterOfflineGetCurrentPass",
    "audioMasterOfflineGetCurrentMetaPass",
    "audioMasterSetOutputSampleRate",
    "audioMasterGetOutputSpeakerArrangement",
    "audioMasterGetVendorString",
    "audioMasterGetProductString",
    "audioMasterGetVendorVersion",
    "audioMasterVendorSpecific",
    "audioMasterSetIcon",
    "audioMasterCanDo",
    "audioMasterGetLanguage",
    "audioMasterOpenWindow",
    "audioMasterCloseWindow",
    "audioMasterGetDirectory",
    "audioMasterUpdateDisplay",
    "audioMasterBeginEdit",
    "audioMasterEndEdit",
    "audioMasterOpenFileSelector",
    "audioMasterCloseFileSelector",
    "audioMasterEditFile",
    "audioMasterGetChunkFile",
    "audioMasterGetInputSpeakerArrangement",
};

template <size_t N> const char* NameOf(const char* const (&names)[N], VstInt32 opcode)
{
    return opcode >= 0 && static_cast<size_t>(opcode) < N ? names[opcode] : "unknown";
}

// The host holds `shim`; the plug-in holds `real` and calls us back with it, so `real->user` (the
// host's field, and we are its host) leads back here. `shim` comes first so that the host's
// pointer is the instance's.
struct Instance {
    AEffect shim;
    AEffect* real = nullptr;
    audioMasterCallback host = nullptr;
    std::atomic<bool> loggedProcess{false}, loggedReplacing{false}, loggedDouble{false};
};

Instance* FromShim(AEffect* e) { return reinterpret_cast<Instance*>(e); }

// The host of the instance being created: the plug-in may call back before its entry returns,
// when `real->user` is not set yet.
thread_local audioMasterCallback tCreatingHost = nullptr;

// A plug-in may change its counts, flags or latency after creation (it then tells the host with
// audioMasterIOChanged); the host reads them from the shim, so they are copied over.
void SyncFields(Instance* in)
{
    AEffect& s = in->shim;
    const AEffect& r = *in->real;
    s.numPrograms = r.numPrograms;
    s.numParams = r.numParams;
    s.numInputs = r.numInputs;
    s.numOutputs = r.numOutputs;
    s.flags = r.flags;
    s.initialDelay = r.initialDelay;
    s.uniqueID = r.uniqueID;
    s.version = r.version;
}

VstIntPtr VSTCALLBACK HostCallback(AEffect* real, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt)
{
    Instance* in = real ? static_cast<Instance*>(real->user) : nullptr;
    audioMasterCallback host = in ? in->host : tCreatingHost;
    if (in && opcode == audioMasterIOChanged) SyncFields(in);
    // Before the instance is known the host is shown the plug-in's own record, as it would be
    // without the shim between them.
    const VstIntPtr result = host ? host(in ? &in->shim : real, opcode, index, value, ptr, opt) : 0;
    if (opcode == audioMasterCanDo && ptr)
        Log("host %d %s \"%s\" index=%d value=%lld -> %lld", opcode, NameOf(kMasterNames, opcode),
            static_cast<const char*>(ptr), index, static_cast<long long>(value), static_cast<long long>(result));
    else
        Log("host %d %s index=%d value=%lld opt=%g -> %lld", opcode, NameOf(kMasterNames, opcode), index,
            static_cast<long long>(value), static_cast<double>(opt), static_cast<long long>(result));
    return result;
}

VstIntPtr VSTCALLBACK Dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    Instance* in = FromShim(e);
    const Clock::time_point start = Clock::now();
    const VstIntPtr result = in->real->dispatcher(in->real, opcode, index, value, ptr, opt);
    // A slow editor call stalls whichever host thread made it; the time shows how long.
    const double took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

    char extra[160] = "";
    if (opcode == effEditOpen) {
        std::snprintf(extra, sizeof extra, " window=0x%lx (%lu)", reinterpret_cast<unsigned long>(ptr),
                      reinterpret_cast<unsigned long>(ptr));
    } else if (opcode == effEditKeyDown || opcode == effEditKeyUp) {
        std::snprintf(extra, sizeof extra, " key char=%d virtual=%lld modifiers=%g", index,
                      static_cast<long long>(value), static_cast<double>(opt));
    } else if (opcode == effEditGetRect && ptr && *static_cast<ERect**>(ptr)) {
        const ERect* r = *static_cast<ERect**>(ptr);
        std::snprintf(extra, sizeof extra, " rect=%dx%d", r->right - r->left, r->bottom - r->top);
    } else if (opcode == effCanDo && ptr) {
        std::snprintf(extra, sizeof extra, " \"%.100s\"", static_cast<const char*>(ptr));
    }

    Log("eff %d %s index=%d value=%lld ptr=%p opt=%g -> %lld took=%.3fms%s", opcode, NameOf(kEffNames, opcode), index,
        static_cast<long long>(value), ptr, static_cast<double>(opt), static_cast<long long>(result), took, extra);

    if (opcode == effClose) {
        // The plug-in has freed its record; the host will not use ours again.
        delete in;
    } else {
        SyncFields(in);
    }
    return result;
}

// Audio and parameter calls are forwarded only; the first audio call of each kind is logged to
// show which thread processes.
void VSTCALLBACK Process(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    Instance* in = FromShim(e);
    if (!in->loggedProcess.exchange(true)) Log("audio process frames=%d (first call)", frames);
    in->real->process(in->real, inputs, outputs, frames);
}

void VSTCALLBACK ProcessReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    Instance* in = FromShim(e);
    if (!in->loggedReplacing.exchange(true)) Log("audio processReplacing frames=%d (first call)", frames);
    in->real->processReplacing(in->real, inputs, outputs, frames);
}

void VSTCALLBACK ProcessDoubleReplacing(AEffect* e, double** inputs, double** outputs, VstInt32 frames)
{
    Instance* in = FromShim(e);
    if (!in->loggedDouble.exchange(true)) Log("audio processDoubleReplacing frames=%d (first call)", frames);
    in->real->processDoubleReplacing(in->real, inputs, outputs, frames);
}

void VSTCALLBACK SetParameter(AEffect* e, VstInt32 index, float value)
{
    Instance* in = FromShim(e);
    in->real->setParameter(in->real, index, value);
}

float VSTCALLBACK GetParameter(AEffect* e, VstInt32 index)
{
    Instance* in = FromShim(e);
    return in->real->getParameter(in->real, index);
}

VstPluginMainProc LoadTarget()
{
    // Loaded once and never unloaded: instances may outlive any one of the host's references.
    static std::mutex lock;
    static VstPluginMainProc entry = nullptr;
    std::lock_guard<std::mutex> guard(lock);
    if (entry) return entry;

    const char* path = std::getenv("WAYFARER_SPY_TARGET");
    if (!path || !*path) {
        Log("load failed: WAYFARER_SPY_TARGET is not set");
        return nullptr;
    }
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        Log("load failed: %s", dlerror());
        return nullptr;
    }
    entry = reinterpret_cast<VstPluginMainProc>(dlsym(handle, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<VstPluginMainProc>(dlsym(handle, "main"));
    if (!entry)
        Log("load failed: %s exports neither VSTPluginMain nor main", path);
    else
        Log("loaded %s", path);
    return entry;
}

} // namespace

SPY_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host)
{
    Log("entry VSTPluginMain host=%p", reinterpret_cast<void*>(host));
    VstPluginMainProc entry = LoadTarget();
    if (!entry) return nullptr;

    tCreatingHost = host;
    AEffect* real = entry(HostCallback);
    tCreatingHost = nullptr;
    if (!real || real->magic != kEffectMagic) {
        Log("entry: the target returned %s", real ? "a record without the VST magic" : "no effect");
        return nullptr;
    }

    auto* in = new Instance;
    in->real = real;
    in->host = host;
    in->shim = *real;
    in->shim.user = nullptr;
    in->shim.object = nullptr;
    in->shim.dispatcher = Dispatcher;
    in->shim.setParameter = SetParameter;
    in->shim.getParameter = GetParameter;
    in->shim.process = real->process ? Process : nullptr;
    in->shim.processReplacing = real->processReplacing ? ProcessReplacing : nullptr;
    in->shim.processDoubleReplacing = real->processDoubleReplacing ? ProcessDoubleReplacing : nullptr;
    real->user = in;
    Log("entry -> shim=%p real=%p uniqueID=0x%08x flags=0x%x params=%d programs=%d in=%d out=%d",
        static_cast<void*>(&in->shim), static_cast<void*>(real), static_cast<unsigned>(real->uniqueID),
        static_cast<unsigned>(real->flags), real->numParams, real->numPrograms, real->numInputs, real->numOutputs);
    return &in->shim;
}

// Older Linux hosts look for "main"; C++ cannot name a function so, hence the assembler name.
SPY_EXPORT AEffect* VSTCALLBACK VstSpyMainAlias(audioMasterCallback host) __asm__("main");
SPY_EXPORT AEffect* VSTCALLBACK VstSpyMainAlias(audioMasterCallback host) { return VSTPluginMain(host); }
