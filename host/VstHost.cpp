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

RequestLog::RequestLog() : impl_(new Impl) {}
RequestLog::~RequestLog() = default;

void RequestLog::add(HostRequest request)
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->requests.push_back(std::move(request));
}

void RequestLog::clear()
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->requests.clear();
}

std::vector<HostRequest> RequestLog::all() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->requests;
}

std::vector<HostRequest> RequestLog::withOpcode(VstInt32 opcode) const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    std::vector<HostRequest> matching;
    for (const HostRequest& request : impl_->requests) {
        if (request.opcode == opcode) matching.push_back(request);
    }
    return matching;
}

std::vector<VstInt32> RequestLog::opcodes() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    std::vector<VstInt32> result;
    result.reserve(impl_->requests.size());
    for (const HostRequest& request : impl_->requests) result.push_back(request.opcode);
    return result;
}

std::size_t RequestLog::count(VstInt32 opcode) const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return static_cast<std::size_t>(
        std::count_if(impl_->requests.begin(), impl_->requests.end(),
                      [opcode](const HostRequest& request) { return request.opcode == opcode; }));
}

std::size_t RequestLog::size() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->requests.size();
}

// ---- Host state and request routing ------------------------------------------------------

struct HostState {
    std::mutex mutex; // guards config and timeInfo
    HostConfig config;
    // The record that audioMasterGetTime hands out. It lives here rather than in the config so
    // that the address stays the same for the host's whole life, as plug-ins expect.
    VstTimeInfo timeInfo{};
    RequestLog log;

    void apply(const HostConfig& newConfig)
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
    void add(const AEffect* effect, std::shared_ptr<HostState> state)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hosts_[effect] = std::move(state);
    }
    void remove(const AEffect* effect)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hosts_.erase(effect);
    }
    std::shared_ptr<HostState> find(const AEffect* effect) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = hosts_.find(effect);
        return found == hosts_.end() ? nullptr : found->second;
    }

private:
    mutable std::mutex mutex_;
    std::unordered_map<const AEffect*, std::shared_ptr<HostState>> hosts_;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

// The host whose load() is running on this thread: the only way to route requests that a
// plug-in makes from inside its entry point, before its AEffect is known to anyone.
thread_local HostState* t_loadingHost = nullptr;

std::atomic<std::size_t> g_unroutedRequests{0};

// Caps what we copy out of a plug-in's event list, so that a garbage count cannot run away.
constexpr VstInt32 kMaxRecordedEvents = 4096;
constexpr std::size_t kMaxCanDoText = 256;

VstIntPtr copyText(void* destination, std::size_t capacity, const std::string& text)
{
    if (destination == nullptr) return 0;
    const std::size_t length = std::min(text.size(), capacity - 1);
    auto* out = static_cast<char*>(destination);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
    return text.empty() ? 0 : 1;
}

HostRequest describe(const AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, const void* ptr,
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

VstIntPtr answer(HostState& host, VstInt32 opcode, void* ptr)
{
    std::lock_guard<std::mutex> lock(host.mutex);
    const HostConfig& config = host.config;
    switch (opcode) {
    case audioMasterVersion: return config.vstVersion;
    case audioMasterGetTime: return config.timeInfo ? reinterpret_cast<VstIntPtr>(&host.timeInfo) : 0;
    case audioMasterProcessEvents: return config.processEventsResult;
    case audioMasterGetSampleRate: return static_cast<VstIntPtr>(config.sampleRate);
    case audioMasterGetBlockSize: return config.blockSize;
    case audioMasterGetVendorString: return copyText(ptr, kVstMaxVendorStrLen, config.vendorString);
    case audioMasterGetProductString: return copyText(ptr, kVstMaxProductStrLen, config.productString);
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

VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt)
{
    std::shared_ptr<HostState> owner = effect != nullptr ? registry().find(effect) : nullptr;
    HostState* host = owner ? owner.get() : t_loadingHost;
    if (host == nullptr) {
        ++g_unroutedRequests;
        return opcode == audioMasterVersion ? kVstVersion : 0;
    }
    host->log.add(describe(effect, opcode, index, value, ptr, opt));
    return answer(*host, opcode, ptr);
}

} // namespace

// ---- Module ------------------------------------------------------------------------------

class Module {
public:
    static std::shared_ptr<Module> open(const std::string& path, std::string& error);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    VstPluginMainProc entry(const char* name) const;

private:
#if defined(_WIN32)
    explicit Module(HMODULE handle) : handle_(handle) {}
    HMODULE handle_;
#else
    explicit Module(void* handle) : handle_(handle) {}
    void* handle_;
#endif
};

#if defined(_WIN32)

namespace {

std::string systemMessage(DWORD code)
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
    char code_text[32];
    std::snprintf(code_text, sizeof code_text, "error %lu", static_cast<unsigned long>(code));
    return message.empty() ? std::string(code_text) : message + " (" + code_text + ")";
}

bool runningUnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

// Test runners hand us Unix paths; Wine shows the Unix root as drive Z:.
std::string nativePath(const std::string& path)
{
    if (path.empty() || path[0] != '/' || !runningUnderWine()) return path;
    std::string converted = "Z:" + path;
    std::replace(converted.begin(), converted.end(), '/', '\\');
    return converted;
}

std::shared_ptr<Module> Module::open(const std::string& path, std::string& error)
{
    HMODULE handle = LoadLibraryA(nativePath(path).c_str());
    if (handle == nullptr) {
        error = "cannot load " + path + ": " + systemMessage(GetLastError());
        return nullptr;
    }
    return std::shared_ptr<Module>(new Module(handle));
}

Module::~Module() { FreeLibrary(handle_); }

VstPluginMainProc Module::entry(const char* name) const
{
    FARPROC address = GetProcAddress(handle_, name);
    // FARPROC has the wrong signature; the detour through void(*)() is the sanctioned cast.
    return reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void (*)()>(address));
}

#else

std::string nativePath(const std::string& path) { return path; }

std::shared_ptr<Module> Module::open(const std::string& path, std::string& error)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown dlopen failure");
        return nullptr;
    }
    return std::shared_ptr<Module>(new Module(handle));
}

Module::~Module() { dlclose(handle_); }

VstPluginMainProc Module::entry(const char* name) const
{
    return reinterpret_cast<VstPluginMainProc>(dlsym(handle_, name));
}

#endif

// ---- Host --------------------------------------------------------------------------------

Host::Host(const HostConfig& config) : state_(std::make_shared<HostState>()) { state_->apply(config); }

Host::~Host() = default;

void Host::setConfig(const HostConfig& config) { state_->apply(config); }

HostConfig Host::config() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->config;
}

void Host::setProduct(const std::string& productString, VstIntPtr vendorVersion)
{
    HostConfig changed = config();
    changed.productString = productString;
    changed.vendorVersion = vendorVersion;
    setConfig(changed);
}

RequestLog& Host::log() { return state_->log; }

std::size_t Host::unroutedRequestCount() { return g_unroutedRequests.load(); }

std::unique_ptr<Plugin> Host::load(const std::string& path, std::string* error)
{
    return loadWith(path, {"VSTPluginMain", "main"}, error);
}

std::unique_ptr<Plugin> Host::loadVia(const std::string& path, const std::string& entryName, std::string* error)
{
    return loadWith(path, {entryName}, error);
}

std::unique_ptr<Plugin> Host::loadWith(const std::string& path, const std::vector<std::string>& entryNames,
                                       std::string* error)
{
    auto fail = [error](const std::string& reason) {
        if (error != nullptr) *error = reason;
        return std::unique_ptr<Plugin>();
    };

    std::string reason;
    std::shared_ptr<Module> module = Module::open(path, reason);
    if (!module) return fail(reason);

    std::string entryName;
    VstPluginMainProc entry = nullptr;
    for (const std::string& name : entryNames) {
        entry = module->entry(name.c_str());
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

    return instantiate(std::move(module), entry, entryName, path, error);
}

std::unique_ptr<Plugin> Host::loadBuiltIn(VstPluginMainProc entry, const std::string& label, std::string* error)
{
    if (entry == nullptr) {
        if (error != nullptr) *error = label + ": no entry point";
        return nullptr;
    }
    return instantiate(nullptr, entry, "VSTPluginMain", label, error);
}

std::unique_ptr<Plugin> Host::instantiate(std::shared_ptr<Module> module, VstPluginMainProc entry,
                                          const std::string& entryName, const std::string& label, std::string* error)
{
    auto fail = [error](const std::string& reason) {
        if (error != nullptr) *error = reason;
        return std::unique_ptr<Plugin>();
    };

    HostState* const outerLoad = t_loadingHost;
    t_loadingHost = state_.get();
    AEffect* effect = entry(&hostCallback);
    t_loadingHost = outerLoad;

    if (effect == nullptr) return fail(label + ": " + entryName + " returned no effect");
    if (effect->magic != kEffectMagic) {
        char text[96];
        std::snprintf(text, sizeof text, ": %s returned a record with magic 0x%08x instead of 'VstP'",
                      entryName.c_str(), static_cast<unsigned>(effect->magic));
        // The record is not a VST effect, so it cannot be closed either; it is abandoned.
        return fail(label + text);
    }

    registry().add(effect, state_);
    return std::unique_ptr<Plugin>(new Plugin(std::move(module), state_, effect, entryName));
}

// ---- Plugin ------------------------------------------------------------------------------

Plugin::Plugin(std::shared_ptr<Module> module, std::shared_ptr<HostState> state, AEffect* effect, std::string entryName)
    : module_(std::move(module)), state_(std::move(state)), effect_(effect), entryName_(std::move(entryName))
{
}

Plugin::~Plugin() { close(); }

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (effect_ == nullptr || effect_->dispatcher == nullptr) return 0;
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

float Plugin::getParameter(VstInt32 index)
{
    if (effect_ == nullptr || effect_->getParameter == nullptr) return 0.0f;
    return effect_->getParameter(effect_, index);
}

void Plugin::setParameter(VstInt32 index, float value)
{
    if (effect_ == nullptr || effect_->setParameter == nullptr) return;
    effect_->setParameter(effect_, index, value);
}

bool Plugin::process(float** inputs, float** outputs, VstInt32 frames)
{
    if (effect_ == nullptr || effect_->process == nullptr) return false;
    effect_->process(effect_, inputs, outputs, frames);
    return true;
}

bool Plugin::processReplacing(float** inputs, float** outputs, VstInt32 frames)
{
    if (effect_ == nullptr || effect_->processReplacing == nullptr) return false;
    effect_->processReplacing(effect_, inputs, outputs, frames);
    return true;
}

bool Plugin::processDoubleReplacing(double** inputs, double** outputs, VstInt32 frames)
{
    if (effect_ == nullptr || effect_->processDoubleReplacing == nullptr) return false;
    effect_->processDoubleReplacing(effect_, inputs, outputs, frames);
    return true;
}

std::string Plugin::text(VstInt32 opcode, VstInt32 index)
{
    char buffer[256] = {};
    dispatch(opcode, index, 0, buffer);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::string Plugin::effectName() { return text(effGetEffectName, 0); }
std::string Plugin::vendorString() { return text(effGetVendorString, 0); }
std::string Plugin::productString() { return text(effGetProductString, 0); }
std::string Plugin::paramName(VstInt32 index) { return text(effGetParamName, index); }
std::string Plugin::paramLabel(VstInt32 index) { return text(effGetParamLabel, index); }
std::string Plugin::paramDisplay(VstInt32 index) { return text(effGetParamDisplay, index); }
std::string Plugin::programName() { return text(effGetProgramName, 0); }
std::string Plugin::programNameIndexed(VstInt32 index) { return text(effGetProgramNameIndexed, index); }

VstIntPtr Plugin::canDo(const char* capability) { return dispatch(effCanDo, 0, 0, const_cast<char*>(capability)); }

VstIntPtr Plugin::open() { return dispatch(effOpen); }

void Plugin::close()
{
    if (effect_ == nullptr) return;
    AEffect* const closing = effect_;
    effect_ = nullptr;
    if (closing->dispatcher != nullptr) closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f);
    // Only now: the plug-in may still call back while it closes.
    registry().remove(closing);
}

} // namespace vsthost
