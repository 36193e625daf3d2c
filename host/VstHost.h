// VstHost.h: a small VST 2.4 host for tests and the command-line tool.
//
// A Host loads a plug-in binary by path, calls its entry point with the host's own audioMaster
// callback and hands back a Plugin that wraps the AEffect record. Everything the plug-in asks
// of the host through the callback is answered from a HostConfig and recorded, in order, in the
// host's RequestLog, so that a test can check exactly what the plug-in asked for and when.
//
// Contract:
//  - Linux builds load with dlopen; Windows builds (also under Wine) with LoadLibraryA. Under
//    Wine an absolute Unix path ("/work/...") is accepted and read through the Z: drive.
//  - The entry point is VSTPluginMain, or main when a binary exports only the older name.
//  - The plug-in may call the callback from inside its entry point, before anyone knows its
//    AEffect (it passes null or its not yet returned record). Those requests belong to the host
//    whose Load() is running on that thread. Afterwards requests are routed by AEffect pointer,
//    from any thread.
//  - A Host and its Plugins may be destroyed in any order; the log and configuration live as
//    long as either does.
//  - A Plugin's calls may come from several threads at once, as a real host's do (the audio
//    thread processing while another automates); the plug-in serialises them. Only Close()
//    must not overlap any other call on the same Plugin.
#pragma once

#include "Vst24.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vsthost {

// One request that the plug-in made through the audioMaster callback.
struct HostRequest {
    const AEffect* effect = nullptr; // as the plug-in passed it; null during its entry point
    VstInt32 opcode = 0;
    VstInt32 index = 0;
    VstIntPtr value = 0;
    float opt = 0.0f; // audioMasterAutomate: the new normalised value
    bool hasPtr = false;
    std::string text;             // audioMasterCanDo: the capability asked about
    std::vector<VstEvent> events; // audioMasterProcessEvents: the head of every non-null event
};

// The requests in the order they arrived. Safe to use from any thread.
class RequestLog {
public:
    RequestLog();
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    void Add(HostRequest request);
    void Clear();

    std::vector<HostRequest> All() const;
    std::vector<HostRequest> WithOpcode(VstInt32 opcode) const;
    std::vector<VstInt32> Opcodes() const;
    std::size_t Count(VstInt32 opcode) const;
    std::size_t Size() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// How the host answers. The defaults describe a plain VST 2.4 host with no transport.
struct HostConfig {
    std::string productString = "Wayfarer Test Host"; // audioMasterGetProductString
    std::string vendorString = "Tarnbek";             // audioMasterGetVendorString
    VstIntPtr vendorVersion = 1000;                   // audioMasterGetVendorVersion, decimal
    VstIntPtr vstVersion = kVstVersion;               // audioMasterVersion
    double sampleRate = 44100.0;                      // audioMasterGetSampleRate
    VstIntPtr blockSize = 1024;                       // audioMasterGetBlockSize
    std::optional<VstTimeInfo> timeInfo;              // audioMasterGetTime; none answers 0
    VstIntPtr processEventsResult = 1;                // audioMasterProcessEvents
    std::vector<std::string> canDo = {"sendVstEvents",    "sendVstMidiEvent",    "sendVstTimeInfo",
                                      "receiveVstEvents", "receiveVstMidiEvent", "sizeWindow"};
};

struct HostState; // shared between a Host, its Plugins and the callback
class Plugin;
class Module; // a loaded binary; unloaded when its last effect is gone

class Host {
public:
    explicit Host(const HostConfig& config = {});
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Replaces the answers. Takes effect for the next request; a VstTimeInfo pointer that the
    // plug-in already holds stays valid but may show the new values.
    void SetConfig(const HostConfig& config);
    HostConfig Config() const;
    // Shorthand for pretending to be a particular host, e.g. ("REAPER", 6290).
    void SetProduct(const std::string& productString, VstIntPtr vendorVersion);

    RequestLog& Log();

    // Loads the binary and instantiates the effect. On failure returns null and, when `error` is
    // given, a one-line reason: the loader's message, a missing entry point, an entry point that
    // returned null, or a record without the VST magic.
    std::unique_ptr<Plugin> Load(const std::string& path, std::string* error = nullptr);
    // As Load(), but only through the named export ("VSTPluginMain" or "main"), to check that
    // each export creates a working instance.
    std::unique_ptr<Plugin> LoadVia(const std::string& path, const std::string& entryName,
                                    std::string* error = nullptr);

    // Instantiates an effect whose entry point is linked into this program, as Load() does for a
    // binary; `label` stands in for the path in messages.
    std::unique_ptr<Plugin> LoadBuiltIn(VstPluginMainProc entry, const std::string& label,
                                        std::string* error = nullptr);

    // Requests whose AEffect matched no live plug-in and that arrived outside any Load(), across
    // all hosts in the process. A plug-in that calls back with a stale or foreign pointer shows
    // up here.
    static std::size_t UnroutedRequestCount();

private:
    std::unique_ptr<Plugin> LoadWith(const std::string& path, const std::vector<std::string>& entryNames,
                                     std::string* error);
    std::unique_ptr<Plugin> Instantiate(std::shared_ptr<Module> module, VstPluginMainProc entry,
                                        const std::string& entryName, const std::string& label, std::string* error);

    std::shared_ptr<HostState> m_state;
};

// The path as the platform's file functions want it. Under Wine an absolute Unix path ("/work/...")
// becomes its Z: drive path, as Load() does for plug-ins; everywhere else it comes back unchanged.
std::string NativePath(const std::string& path);

// One effect instance. Destroying it closes the effect (effClose) if that has not happened.
class Plugin {
public:
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // The record, or null after Close().
    AEffect* Effect() const { return m_effect; }
    // "VSTPluginMain" or "main": the entry point that created this instance.
    const std::string& EntryName() const { return m_entryName; }

    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    float GetParameter(VstInt32 index);
    void SetParameter(VstInt32 index, float value);

    // The three audio callbacks. Each returns false without calling anything when the effect is
    // closed or does not provide that callback.
    bool Process(float** inputs, float** outputs, VstInt32 frames);
    bool ProcessReplacing(float** inputs, float** outputs, VstInt32 frames);
    bool ProcessDoubleReplacing(double** inputs, double** outputs, VstInt32 frames);

    // Text requests read into a zeroed 256-byte buffer; the result ends at the first zero byte.
    std::string EffectName();
    std::string VendorString();
    std::string ProductString();
    std::string ParamName(VstInt32 index);
    std::string ParamLabel(VstInt32 index);
    std::string ParamDisplay(VstInt32 index);
    std::string ProgramName();
    std::string ProgramNameIndexed(VstInt32 index);
    VstIntPtr CanDo(const char* capability);

    VstIntPtr Open(); // effOpen
    // effClose, once; afterwards Effect() is null and every call does nothing and answers 0.
    void Close();

private:
    friend class Host;
    Plugin(std::shared_ptr<Module> module, std::shared_ptr<HostState> state, AEffect* effect, std::string entryName);
    std::string Text(VstInt32 opcode, VstInt32 index);

    std::shared_ptr<Module> m_module;
    std::shared_ptr<HostState> m_state;
    AEffect* m_effect;
    std::string m_entryName;
};

} // namespace vsthost
