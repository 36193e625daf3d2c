#pragma once
// The host-independent heart of a plug-in.
//
// IPlugBase owns the parameters, the editor's graphics context once one is attached, the
// listeners, and two parts: the programs (PresetBank), and the channel routing (ChannelRouter)
// that knows the legal layouts and turns whatever sample format a host hands over into
// double-precision arrays for ProcessAudio. A part reaches back into the plug-in only through the
// narrow interface it declares (IPresetOwner, IAudioProcessor), and every operation of a part is
// also an operation of IPlugBase, so callers never see the parts. A format binding derives from
// it and supplies the host services (the pure virtual operations); an effect derives from the
// binding and replaces the processing hooks.
//
// Threads: the audio callbacks, the host's control calls and the editor's changes all take the
// one re-entrant mutex (GetMutex), so a block never runs while a program change, chunk load or
// parameter change is under way. Operations documented as "caller holds the mutex" do not lock by
// themselves. No lock is held while the host is told of an editor's change: a host may answer
// that call by calling in from another thread.
//
// Every change of a parameter's value, whoever makes it (host automation, an editor gesture, a
// program change, a chunk or bank load, the first open), goes through ChangeParamValue: the value
// is stored, the effect reacts, and the listeners (the editor among them) are told. Listeners
// never touch the plug-in's state; an editor shows what it was told on its own thread.

#include "ChannelRouter.h"
#include "Containers.h"
#include "FourCC.h"
#include "IParam.h"
#include "Mutex.h"
#include "ParamOwner.h"
#include "PlugEditor.h"
#include "PresetBank.h"
#include "StateChunk.h"

#include <cstdint>

const int MAX_EFFECT_NAME_LEN = 128;
const int MAX_VERSION_STR_LEN = 32;

// A short MIDI message at a frame offset within the current block.
struct IMidiMsg {
    int offset = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

class IPlugBase : public IParamOwner {
public:
    // `channelIOStr` lists the legal layouts as "in-out" pairs separated by single spaces, e.g.
    // "1-2 2-2"; the channel counts are the largest of each. `version` is packed 0xMMMMmmpp.
    // `doesMidi` is for the binding; the base ignores it.
    IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName, const char* productName,
              const char* makerName, int version, int uniqueId, int makerId, int latency, bool doesMidi,
              bool doesChunks, bool isInstrument);

    IPlugBase(const IPlugBase&) = delete;
    IPlugBase& operator=(const IPlugBase&) = delete;

    // ---- Virtual operations, in slot order --------------------------------------------------
    virtual ~IPlugBase();

    // Forget everything carried from one block to the next (after a rate, block size or state
    // change). The default only takes and releases the mutex.
    virtual void ResetState();
    // A parameter's value has been set; recompute what depends on it. Called with the index of an
    // existing parameter.
    virtual void HandleParamChange(int paramIdx);
    // Process one block. Arrays hold one pointer per channel; at most GetBlockSize() frames.
    // The default copies input i to output i and silences the outputs beyond the inputs.
    virtual void ProcessAudio(double** inputs, double** outputs, int nFrames);
    virtual void EditorOpened() {}
    virtual void EditorClosed() {}
    virtual void SpareHook() {}
    virtual void ActivationChanged(bool active);
    // MIDI in from the host; the default sends it straight back out.
    virtual void HandleMidiMessage(IMidiMsg* msg);
    // Writes an empty name and answers false: no note has a name of its own.
    virtual bool GetMidiNoteName(int noteNumber, char* name);
    // The plug-in's state as the host stores it; by default the plain parameter values.
    virtual bool SaveState(StateChunk* chunk);
    virtual int LoadState(StateChunk* chunk, int startPos);

    // Host services, supplied by the format binding.
    void BeginParamEdit(int paramIdx) override = 0;
    virtual void ReportParamChange(int paramIdx, double normalizedValue) = 0;
    void EndParamEdit(int paramIdx) override = 0;
    virtual int GetSamplePosition() = 0;
    virtual double GetTempo() = 0;
    virtual void GetTimeSignature(int* numerator, int* denominator) = 0;
    virtual int IdentifyHost() { return m_hostId; }
    void UpdateEditorSize(int width, int height) override = 0;
    virtual void SpareHookWithArg(int /*arg*/) {}
    virtual void PrepareForHost() = 0;
    // Takes ownership of the editor, makes it a listener and shows it the current values. Null is
    // ignored; an editor it replaces is deleted.
    virtual void SetEditor(IPlugEditor* editor);
    // Sizes every channel's scratch buffer for blocks of up to `nFrames` and silences it. If the
    // buffers cannot be made that large, the block size becomes what they hold.
    virtual void SetMaxBlockSize(int nFrames) { m_router.SetMaxBlockSize(nFrames); }
    virtual void SetLatencySamples(int samples) { m_latency = samples; }
    virtual bool SendMidiMessage(IMidiMsg* msg) = 0;
    virtual bool SendMidiMessages(TypedBuffer<IMidiMsg>* msgs) = 0;
    // Optional: process single-precision host buffers directly, giving bit for bit what the
    // double path gives (convert in, ProcessAudio, convert out or add). One pointer per channel;
    // unconnected inputs read silence and unconnected outputs go nowhere. Answer false to take
    // the double path instead.
    virtual bool ProcessAudioFloat(float** /*inputs*/, float** /*outputs*/, int /*nFrames*/, bool /*accumulate*/)
    {
        return false;
    }

    // ---- Identity and accessors -----------------------------------------------------------
    int NParams() const override { return m_params.GetSize(); }
    IParam* GetParam(int idx) const override { return m_params.Get(idx); }
    IPlugEditor* GetGUI() const { return m_editor; }
    const char* GetEffectName() const { return m_effectName; }
    const char* GetProductName() const { return m_productName; }
    const char* GetMfrName() const { return m_makerName; }
    int GetUniqueID() const { return m_uniqueId; }
    int GetMfrID() const { return m_makerId; }
    double GetSampleRate() const { return m_sampleRate; }
    int GetBlockSize() const { return m_router.GetBlockSize(); }
    int GetLatency() const { return m_latency; }
    int NInChannels() const { return m_router.NInChannels(); }
    int NOutChannels() const { return m_router.NOutChannels(); }
    bool DoesStateChunks() const { return m_doesChunks; }
    bool IsInstrument() const { return m_isInstrument; }
    int GetHostVersion() const { return m_hostVersion; }
    IMutex& GetMutex() { return m_mutex; }

    // major*10000 + minor*100 + patch when `decimal`, else the packed value.
    int GetEffectVersion(bool decimal) const;
    // Writes at most MAX_VERSION_STR_LEN bytes.
    void GetEffectVersionText(char* out) const;
    void SetHost(const char* productText, int packedVersion);
    // Caller holds the mutex and calls ResetState afterwards.
    void SetSampleRate(double rate) { m_sampleRate = rate; }
    // Whether a layout is legal; a negative count matches any.
    bool LegalIO(int nIn, int nOut) const { return m_router.LegalIO(nIn, nOut); }
    int NChannelIOPairs() const { return m_router.NChannelIOPairs(); }
    const ChannelIOPair* GetChannelIOPair(int idx) const { return m_router.GetChannelIOPair(idx); }

    // ---- Channels (caller holds the mutex) -------------------------------------------------
    // The channel routing; see ChannelRouter for what each does.
    // A channel that is not connected reads zeros, and what is written to it is discarded.
    void SetInputConnections(int first, int count, bool connected)
    {
        m_router.SetInputConnections(first, count, connected);
    }
    void SetOutputConnections(int first, int count, bool connected)
    {
        m_router.SetOutputConnections(first, count, connected);
    }
    bool IsInputConnected(int idx) const { return m_router.IsInputConnected(idx); }
    bool IsOutputConnected(int idx) const { return m_router.IsOutputConnected(idx); }
    // How many host arrays a block consumes: one per connected channel.
    int NConnectedInputs() const { return m_router.NConnectedInputs(); }
    int NConnectedOutputs() const { return m_router.NConnectedOutputs(); }
    // Each connected channel in range takes the next host array; unconnected channels take none.
    // Float input is read when the block runs, converted into the channel's scratch unless the
    // effect processes floats itself; nFrames must not exceed the block size.
    void AttachInputs(int first, int count, double** hostInputs, int nFrames)
    {
        m_router.AttachInputs(first, count, hostInputs, nFrames);
    }
    void AttachInputs(int first, int count, float** hostInputs, int nFrames)
    {
        m_router.AttachInputs(first, count, hostInputs, nFrames);
    }
    void AttachOutputs(int first, int count, double** hostOutputs)
    {
        m_router.AttachOutputs(first, count, hostOutputs);
    }
    void AttachOutputs(int first, int count, float** hostOutputs) { m_router.AttachOutputs(first, count, hostOutputs); }
    // After double attaches: the effect writes straight into the host's arrays.
    void RunProcess(int nFrames) { m_router.Run(nFrames); }
    // After float attaches, replacing: the host's float outputs are overwritten with the result.
    void RunProcessFloat(int nFrames) { m_router.RunFloat(nFrames, false); }
    // After float attaches, accumulating: the result is added to what the float outputs hold.
    void RunProcessAccumulating(int nFrames) { m_router.RunFloat(nFrames, true); }
    // Hosts that only cope with stereo: inputs from 2 on are disconnected, outputs from 2 on
    // connected.
    void RestrictToStereo() { m_router.RestrictToStereo(); }

    // ---- Parameter change paths ------------------------------------------------------------
    // The one writer of parameter values: stores `value` (normalised, or plain when `normalized`
    // is false), lets the effect react (HandleParamChange), and tells every listener but
    // `alreadyKnows`. An index out of range changes nothing. Takes the mutex.
    void ChangeParamValue(int paramIdx, double value, bool normalized, const IParamListener* alreadyKnows = nullptr);
    // The editor's path: the host hears of the change first, with no lock held, then the
    // parameter takes it. The editor is not told again.
    void SetParameterFromGUI(int paramIdx, double normalizedValue) override;
    // Every parameter's handler and listeners run on its current value, then ResetState. Caller
    // holds the mutex.
    void NotifyAllParamsChanged();
    // Tells the listeners every parameter's value. Caller holds the mutex.
    void RefreshEditor();
    // Listeners are told of changes from any thread, under the mutex. Not owned. False when the
    // list is full.
    bool AddParamListener(IParamListener* listener);
    void RemoveParamListener(IParamListener* listener);
    // Ends any edit gesture in the editor and takes its window down, while the binding can still
    // hear about it. A binding calls this before it is torn down.
    void CloseEditor();

    // ---- Presets and state (caller holds the mutex, except the two Params calls) ------------
    bool SerializeParams(StateChunk* chunk);
    int UnserializeParams(StateChunk* chunk, int startPos);
    // The bank of programs; see PresetBank for what each does.
    // One value per parameter: an int for integer kinds, a double otherwise.
    bool AddFactoryPreset(const char* name, ...);
    void AddDefaultPresets(const char* name, int count) { m_presets.AddDefaults(name, count); }
    void EnsureOnePreset() { m_presets.EnsureOne(); }
    bool LoadPreset(int idx) { return m_presets.Load(idx); }
    void StoreCurrentPreset(const char* name = nullptr) { m_presets.StoreCurrent(name); }
    const char* GetPresetName(int idx) const { return m_presets.GetName(idx); }
    int NPresets() const { return m_presets.NPresets(); }
    int GetCurrentPresetIdx() const { return m_presets.GetCurrentIdx(); }
    const Preset* GetPreset(int idx) const { return m_presets.Get(idx); }
    bool SerializeBank(StateChunk* chunk) { return m_presets.Serialize(chunk); }
    int UnserializeBank(StateChunk* chunk, int startPos) { return m_presets.Unserialize(chunk, startPos); }

private:
    // The parts reach back into the plug-in through this, and through nothing else. It stands
    // apart from IPlugBase so that the plug-in's own virtual operations stay exactly its own.
    class PartLink final : public IPresetOwner, public IAudioProcessor {
    public:
        explicit PartLink(IPlugBase& plug) : m_plug(plug) {}
        bool SerializeParams(StateChunk* chunk) override { return m_plug.SerializeParams(chunk); }
        int UnserializeParams(StateChunk* chunk, int startPos) override
        {
            return m_plug.UnserializeParams(chunk, startPos);
        }
        void PresetLoaded(int /*idx*/) override { m_plug.RefreshEditor(); }
        void ProcessAudio(double** inputs, double** outputs, int nFrames) override
        {
            m_plug.ProcessAudio(inputs, outputs, nFrames);
        }
        bool ProcessAudioFloat(float** inputs, float** outputs, int nFrames, bool accumulate) override
        {
            return m_plug.ProcessAudioFloat(inputs, outputs, nFrames, accumulate);
        }

    private:
        IPlugBase& m_plug;
    };

    char m_effectName[MAX_EFFECT_NAME_LEN] = "";
    char m_productName[MAX_EFFECT_NAME_LEN] = "";
    char m_makerName[MAX_EFFECT_NAME_LEN] = "";
    int m_uniqueId;
    int m_makerId;
    int m_version;
    int m_hostId = -1;
    int m_hostVersion = 0;
    bool m_doesChunks;
    bool m_isInstrument;
    double m_sampleRate = 44100.0;
    int m_latency;
    PointerList<IParam> m_params;
    IPlugEditor* m_editor = nullptr;
    // Few listeners ever exist (an editor, a format's own observer); a fixed list needs no
    // allocation and no lock-free care.
    static const int kMaxListeners = 8;
    IParamListener* m_listeners[kMaxListeners] = {};
    int m_nListeners = 0;
    // Where a state is read before any of it is applied, so that a load that fails changes nothing.
    TypedBuffer<double> m_loadedValues;
    PartLink m_link{*this};
    PresetBank m_presets;
    ChannelRouter m_router;
    IMutex m_mutex;
};
