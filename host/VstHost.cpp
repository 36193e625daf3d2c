#include "VstHost.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vsthost {

// ---- RequestLog --------------------------------------------------------------------------

struct RequestLog::Impl {
    mutable std::mutex mutex;
    std::vector<HostRequest> requests;
};

RequestLog::RequestLog() : m_impl(new Impl) {}
RequestLog::~RequestLog() = default;

void RequestLog::Add(HostRequest request)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->requests.push_back(std::move(request));
}

void RequestLog::Clear()
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->requests.clear();
}

std::vector<HostRequest> RequestLog::All() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->requests;
}

std::vector<HostRequest> RequestLog::WithOpcode(VstInt32 opcode) const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    std::vector<HostRequest> matching;
    for (const HostRequest& request : m_impl->requests) {
        if (request.opcode == opcode) matching.push_back(request);
    }
    return matching;
}

std::vector<VstInt32> RequestLog::Opcodes() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    std::vector<VstInt32> result;
    result.reserve(m_impl->requests.size());
    for (const HostRequest& request : m_impl->requests) result.push_back(request.opcode);
    return result;
}

std::size_t RequestLog::Count(VstInt32 opcode) const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return static_cast<std::size_t>(
        std::count_if(m_impl->requests.begin(), m_impl->requests.end(),
                      [opcode](const HostRequest& request) { return request.opcode == opcode; }));
}

std::size_t RequestLog::Size() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->requests.size();
}

// ---- Host state and request routing ------------------------------------------------------

struct HostState {
    std::mutex mutex; // guards config and timeInfo
    HostConfig config;
    // The record that audioMasterGetTime hands out. It lives here rather than in the config so
    // that the address stays the same for the host's whole life, as plug-ins expect.
    VstTimeInfo timeInfo{};
    RequestLog log;

    void Apply(const HostConfig& newConfig)
    {
        std::lock_guard<std::mutex> lock(mutex);
        config = newConfig;
        timeInfo = newConfig.timeInfo.value_or(VstTimeInfo{});
    }
};

namespace {

// Maps each live effect to the host that created it. An entry exists from the moment the entry
// point returned until effClose has returned.
class Registry {
public:
    void Add(const AEffect* effect, std::shared_ptr<HostState> state)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hosts[effect] = std::move(state);
    }
    void Remove(const AEffect* effect)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hosts.erase(effect);
    }
    std::shared_ptr<HostState> Find(const AEffect* effect) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto found = m_hosts.find(effect);
        return found == m_hosts.end() ? nullptr : found->second;
    }

private:
    mutable std::mutex m_mutex;
    std::unordered_map<const AEffect*, std::shared_ptr<HostState>> m_hosts;
};

Registry& GlobalRegistry()
{
    static Registry instance;
    return instance;
}

// The host whose Load() is running on this thread: the only way to route requests that a
// plug-in makes from inside its entry point, before its AEffect is known to anyone.
thread_local HostState* t_loadingHost = nullptr;

std::atomic<std::size_t> g_unroutedRequests{0};

// Caps what we copy out of a plug-in's event list, so that a garbage count cannot run away.
constexpr VstInt32 kMaxRecordedEvents = 4096;
constexpr std::size_t kMaxCanDoText = 256;

VstIntPtr CopyText(void* destination, std::size_t capacity, const std::string& text)
{
    if (destination == nullptr) return 0;
    const std::size_t length = std::min(text.size(), capacity - 1);
    auto* out = static_cast<char*>(destination);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
    return text.empty() ? 0 : 1;
}

HostRequest Describe(const AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, const void* ptr,
                     float opt)
{
    HostRequest request;
    request.effect = effect;
    request.opcode = opcode;
    request.index = index;
    request.value = value;
    request.opt = opt;
    request.hasPtr = ptr != nullptr;
    if (ptr == nullptr) return request;

    if (opcode == audioMasterCanDo) {
        const auto* text = static_cast<const char*>(ptr);
        request.text.assign(text, strnlen(text, kMaxCanDoText));
    } else if (opcode == audioMasterProcessEvents) {
        const auto* list = static_cast<const VstEvents*>(ptr);
        const VstInt32 count = std::min(list->numEvents, kMaxRecordedEvents);
        // The array is declared with two entries but is as long as numEvents says.
        VstEvent* const* entries = list->events;
        for (VstInt32 i = 0; i < count; ++i) {
            if (entries[i] == nullptr) continue;
            VstEvent head;
            std::memcpy(&head, entries[i], sizeof head);
            request.events.push_back(head);
        }
    }
    return request;
}

VstIntPtr Answer(HostState& host, VstInt32 opcode, void* ptr)
{
    std::lock_guard<std::mutex> lock(host.mutex);
    const HostConfig& config = host.config;
    switch (opcode) {
    case audioMasterVersion: return config.vstVersion;
    case audioMasterGetTime: return config.timeInfo ? reinterpret_cast<VstIntPtr>(&host.timeInfo) : 0;
    case audioMasterProcessEvents: return config.processEventsResult;
    case audioMasterGetSampleRate: return static_cast<VstIntPtr>(config.sampleRate);
    case audioMasterGetBlockSize: return config.blockSize;
    case audioMasterGetVendorString: return CopyText(ptr, kVstMaxVendorStrLen, config.vendorString);
    case audioMasterGetProductString: return CopyText(ptr, kVstMaxProductStrLen, config.productString);
    case audioMasterGetVendorVersion: return config.vendorVersion;
    case audioMasterCanDo: {
        if (ptr == nullptr) return 0;
        const std::string asked(static_cast<const char*>(ptr), strnlen(static_cast<const char*>(ptr), kMaxCanDoText));
        return std::find(config.canDo.begin(), config.canDo.end(), asked) != config.canDo.end() ? 1 : 0;
    }
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit: return 1;
    default: return 0;
    }
}

VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt)
{
    std::shared_ptr<HostState> owner = effect != nullptr ? GlobalRegistry().Find(effect) : nullptr;
    HostState* host = owner ? owner.get() : t_loadingHost;
    if (host == nullptr) {
        ++g_unroutedRequests;
        return opcode == audioMasterVersion ? kVstVersion : 0;
    }
    host->log.Add(Describe(effect, opcode, index, value, ptr, opt));
    return Answer(*host, opcode, ptr);
}

} // namespace

// ---- Module ------------------------------------------------------------------------------

class Module {
public:
    static std::shared_ptr<Module> Open(const std::string& path, std::string& error);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    VstPluginMainProc Entry(const char* name) const;

private:
#if defined(_WIN32)
    explicit Module(HMODULE handle) : m_handle(handle) {}
    HMODULE m_handle;
#else
    explicit Module(void* handle) : m_handle(handle) {}
    void* m_handle;
#endif
};

#if defined(_WIN32)

namespace {

std::string SystemMessage(DWORD code)
{
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    char codeText[32];
    std::snprintf(codeText, sizeof codeText, "error %lu", static_cast<unsigned long>(code));
    return message.empty() ? std::string(codeText) : message + " (" + codeText + ")";
}

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

// Test runners hand us Unix paths; Wine shows the Unix root as drive Z:.
std::string NativePath(const std::string& path)
{
    if (path.empty() || path[0] != '/' || !RunningUnderWine()) return path;
    std::string converted = "Z:" + path;
    std::replace(converted.begin(), converted.end(), '/', '\\');
    return converted;
}

std::shared_ptr<Module> Module::Open(const std::string& path, std::string& error)
{
    HMODULE handle = LoadLibraryA(NativePath(path).c_str());
    if (handle == nullptr) {
        error = "cannot load " + path + ": " + SystemMessage(GetLastError());
        return nullptr;
    }
    return std::shared_ptr<Module>(new Module(handle));
}

Module::~Module() { FreeLibrary(m_handle); }

VstPluginMainProc Module::Entry(const char* name) const
{
    FARPROC address = GetProcAddress(m_handle, name);
    // FARPROC has the wrong signature; the detour through void(*)() is the sanctioned cast.
    return reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void (*)()>(address));
}

#else

std::string NativePath(const std::string& path) { return path; }

std::shared_ptr<Module> Module::Open(const std::string& path, std::string& error)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown dlopen failure");
        return nullptr;
    }
    return std::shared_ptr<Module>(new Module(handle));
}

Module::~Module() { dlclose(m_handle); }

VstPluginMainProc Module::Entry(const char* name) const
{
    return reinterpret_cast<VstPluginMainProc>(dlsym(m_handle, name));
}

#endif

// ---- Host --------------------------------------------------------------------------------

Host::Host(const HostConfig& config) : m_state(std::make_shared<HostState>()) { m_state->Apply(config); }

Host::~Host() = default;

void Host::SetConfig(const HostConfig& config) { m_state->Apply(config); }

HostConfig Host::Config() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->config;
}

void Host::SetProduct(const std::string& productString, VstIntPtr vendorVersion)
{
    HostConfig changed = Config();
    changed.productString = productString;
    changed.vendorVersion = vendorVersion;
    SetConfig(changed);
}

RequestLog& Host::Log() { return m_state->log; }

std::size_t Host::UnroutedRequestCount() { return g_unroutedRequests.load(); }

std::unique_ptr<Plugin> Host::Load(const std::string& path, std::string* error)
{
    return LoadWith(path, {"VSTPluginMain", "main"}, error);
}

std::unique_ptr<Plugin> Host::LoadVia(const std::string& path, const std::string& entryName, std::string* error)
{
    return LoadWith(path, {entryName}, error);
}

std::unique_ptr<Plugin> Host::LoadWith(const std::string& path, const std::vector<std::string>& entryNames,
                                       std::string* error)
{
    auto fail = [error](const std::string& reason) {
        if (error != nullptr) *error = reason;
        return std::unique_ptr<Plugin>();
    };

    std::string reason;
    std::shared_ptr<Module> module = Module::Open(path, reason);
    if (!module) return fail(reason);

    std::string entryName;
    VstPluginMainProc entry = nullptr;
    for (const std::string& name : entryNames) {
        entry = module->Entry(name.c_str());
        if (entry != nullptr) {
            entryName = name;
            break;
        }
    }
    if (entry == nullptr) {
        std::string names;
        for (const std::string& name : entryNames) names += (names.empty() ? "" : " nor ") + name;
        return fail(path + ": exports " + (entryNames.size() > 1 ? "neither " : "no ") + names);
    }

    return Instantiate(std::move(module), entry, entryName, path, error);
}

std::unique_ptr<Plugin> Host::LoadBuiltIn(VstPluginMainProc entry, const std::string& label, std::string* error)
{
    if (entry == nullptr) {
        if (error != nullptr) *error = label + ": no entry point";
        return nullptr;
    }
    return Instantiate(nullptr, entry, "VSTPluginMain", label, error);
}

std::unique_ptr<Plugin> Host::Instantiate(std::shared_ptr<Module> module, VstPluginMainProc entry,
                                          const std::string& entryName, const std::string& label, std::string* error)
{
    auto fail = [error](const std::string& reason) {
        if (error != nullptr) *error = reason;
        return std::unique_ptr<Plugin>();
    };

    HostState* const outerLoad = t_loadingHost;
    t_loadingHost = m_state.get();
    AEffect* effect = entry(&HostCallback);
    t_loadingHost = outerLoad;

    if (effect == nullptr) return fail(label + ": " + entryName + " returned no effect");
    if (effect->magic != kEffectMagic) {
        char text[96];
        std::snprintf(text, sizeof text, ": %s returned a record with magic 0x%08x instead of 'VstP'",
                      entryName.c_str(), static_cast<unsigned>(effect->magic));
        // The record is not a VST effect, so it cannot be closed either; it is abandoned.
        return fail(label + text);
    }

    GlobalRegistry().Add(effect, m_state);
    return std::unique_ptr<Plugin>(new Plugin(std::move(module), m_state, effect, entryName));
}

// ---- Plugin ------------------------------------------------------------------------------

Plugin::Plugin(std::shared_ptr<Module> module, std::shared_ptr<HostState> state, AEffect* effect, std::string entryName)
    : m_module(std::move(module)), m_state(std::move(state)), m_effect(effect), m_entryName(std::move(entryName))
{
}

Plugin::~Plugin() { Close(); }

VstIntPtr Plugin::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (m_effect == nullptr || m_effect->dispatcher == nullptr) return 0;
    return m_effect->dispatcher(m_effect, opcode, index, value, ptr, opt);
}

float Plugin::GetParameter(VstInt32 index)
{
    if (m_effect == nullptr || m_effect->getParameter == nullptr) return 0.0f;
    return m_effect->getParameter(m_effect, index);
}

void Plugin::SetParameter(VstInt32 index, float value)
{
    if (m_effect == nullptr || m_effect->setParameter == nullptr) return;
    m_effect->setParameter(m_effect, index, value);
}

bool Plugin::Process(float** inputs, float** outputs, VstInt32 frames)
{
    if (m_effect == nullptr || m_effect->process == nullptr) return false;
    m_effect->process(m_effect, inputs, outputs, frames);
    return true;
}

bool Plugin::ProcessReplacing(float** inputs, float** outputs, VstInt32 frames)
{
    if (m_effect == nullptr || m_effect->processReplacing == nullptr) return false;
    m_effect->processReplacing(m_effect, inputs, outputs, frames);
    return true;
}

bool Plugin::ProcessDoubleReplacing(double** inputs, double** outputs, VstInt32 frames)
{
    if (m_effect == nullptr || m_effect->processDoubleReplacing == nullptr) return false;
    m_effect->processDoubleReplacing(m_effect, inputs, outputs, frames);
    return true;
}

std::string Plugin::Text(VstInt32 opcode, VstInt32 index)
{
    char buffer[256] = {};
    Dispatch(opcode, index, 0, buffer);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::string Plugin::EffectName() { return Text(effGetEffectName, 0); }
std::string Plugin::VendorString() { return Text(effGetVendorString, 0); }
std::string Plugin::ProductString() { return Text(effGetProductString, 0); }
std::string Plugin::ParamName(VstInt32 index) { return Text(effGetParamName, index); }
std::string Plugin::ParamLabel(VstInt32 index) { return Text(effGetParamLabel, index); }
std::string Plugin::ParamDisplay(VstInt32 index) { return Text(effGetParamDisplay, index); }
std::string Plugin::ProgramName() { return Text(effGetProgramName, 0); }
std::string Plugin::ProgramNameIndexed(VstInt32 index) { return Text(effGetProgramNameIndexed, index); }

VstIntPtr Plugin::CanDo(const char* capability) { return Dispatch(effCanDo, 0, 0, const_cast<char*>(capability)); }

VstIntPtr Plugin::Open() { return Dispatch(effOpen); }

void Plugin::Close()
{
    if (m_effect == nullptr) return;
    AEffect* const closing = m_effect;
    m_effect = nullptr;
    if (closing->dispatcher != nullptr) closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f);
    // Only now: the plug-in may still call back while it closes.
    GlobalRegistry().Remove(closing);
}

} // namespace vsthost
