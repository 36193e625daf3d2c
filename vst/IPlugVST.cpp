#include "IPlugVST.h"

#include "plugcore/HostTable.h"
#include "plugcore/Trace.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

const VstInt32 kVendorSpecificParamDisplay = 7;
const VstIntPtr kVendorSpecificHandled = 0xbeef;
const VstIntPtr kCockosExtension = static_cast<VstIntPtr>(0xbeef0000);
const VstIntPtr kIdentifyAnswer = 0x4e764566; // 'NvEf'

IPlugVST* PlugOf(AEffect* effect) { return effect ? static_cast<IPlugVST*>(effect->object) : nullptr; }

int ClampToInt(VstIntPtr value)
{
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// The decimal answer of audioMasterGetVendorVersion (10203) packed as 0xMMMMmmpp (0x10203).
int PackDecimalVersion(VstIntPtr decimal)
{
    const int64_t v = decimal;
    const int64_t packed = v + (v / 10000) * 55536 + ((v % 10000) / 100) * 156;
    return static_cast<int>(static_cast<uint32_t>(packed));
}

template <class Sample> bool HasBuffers(Sample** buffers, int count)
{
    if (count == 0) return true;
    if (!buffers) return false;
    for (int i = 0; i < count; ++i)
        if (!buffers[i]) return false;
    return true;
}

} // namespace

IPlugVST::IPlugVST(audioMasterCallback hostCallback, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* makerName, int version, int uniqueId,
                   int makerId, int latency, bool doesMidi, bool doesChunks, bool isInstrument)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, makerName, version, uniqueId, makerId,
                latency, doesMidi, doesChunks, isInstrument),
      m_hostCallback(hostCallback),
      m_doesMidi(doesMidi)
{
    memset(&m_aeffect, 0, sizeof m_aeffect);
    m_aeffect.magic = kEffectMagic;
    m_aeffect.dispatcher = VSTDispatcher;
    m_aeffect.process = VSTProcess;
    m_aeffect.setParameter = VSTSetParameter;
    m_aeffect.getParameter = VSTGetParameter;
    m_aeffect.numPrograms = nPresets;
    m_aeffect.numParams = nParams;
    m_aeffect.numInputs = NInChannels();
    m_aeffect.numOutputs = NOutChannels();
    m_aeffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    if (doesChunks) m_aeffect.flags |= effFlagsProgramChunks;
    if (LegalIO(1, -1)) m_aeffect.flags |= effFlagsCanMono;
    if (isInstrument) m_aeffect.flags |= effFlagsIsSynth;
    m_aeffect.initialDelay = latency;
    m_aeffect.ioRatio = 1.0f;
    m_aeffect.object = this;
    m_aeffect.uniqueID = uniqueId;
    m_aeffect.version = GetEffectVersion(true);
    m_aeffect.processReplacing = VSTProcessReplacing;
    m_aeffect.processDoubleReplacing = VSTProcessDoubleReplacing;

    memset(&m_editorRect, 0, sizeof m_editorRect);
    memset(&m_inputArrangement, 0, sizeof m_inputArrangement);
    memset(&m_outputArrangement, 0, sizeof m_outputArrangement);
    m_inputArrangement.numChannels = NInChannels();
    m_outputArrangement.numChannels = NOutChannels();

    m_sliceInF.Resize(NInChannels());
    m_sliceInD.Resize(NInChannels());
    m_sliceOutF.Resize(NOutChannels());
    m_sliceOutD.Resize(NOutChannels());

    SetInputConnections(0, NInChannels(), true);
    SetOutputConnections(0, NOutChannels(), true);
    SetMaxBlockSize(1024);
}

VstIntPtr IPlugVST::HostCallback(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return m_hostCallback ? m_hostCallback(&m_aeffect, opcode, index, value, ptr, opt) : 0;
}

// ---- Host services ------------------------------------------------------------------------------

void IPlugVST::BeginParamEdit(int paramIdx) { HostCallback(audioMasterBeginEdit, paramIdx, 0, nullptr, 0.0f); }

void IPlugVST::ReportParamChange(int paramIdx, double normalizedValue)
{
    HostCallback(audioMasterAutomate, paramIdx, 0, nullptr, static_cast<float>(normalizedValue));
}

void IPlugVST::EndParamEdit(int paramIdx) { HostCallback(audioMasterEndEdit, paramIdx, 0, nullptr, 0.0f); }

const VstTimeInfo* IPlugVST::GetTimeInfo(VstInt32 wanted)
{
    // The host answers with a pointer in the integer result, as VST 2.4 defines it.
    return reinterpret_cast<const VstTimeInfo*>( // NOLINT(performance-no-int-to-ptr)
        HostCallback(audioMasterGetTime, 0, wanted, nullptr, 0.0f));
}

int IPlugVST::GetSamplePosition()
{
    const VstTimeInfo* info = GetTimeInfo(0);
    return info && info->samplePos >= 0.0 ? TruncToInt(info->samplePos) : 0;
}

double IPlugVST::GetTempo()
{
    const VstTimeInfo* info = GetTimeInfo(kVstTempoValid);
    return info && (info->flags & kVstTempoValid) && info->tempo >= 0.0 ? info->tempo : 0.0;
}

void IPlugVST::GetTimeSignature(int* numerator, int* denominator)
{
    *numerator = *denominator = 0;
    const VstTimeInfo* info = GetTimeInfo(kVstTimeSigValid);
    if (info && (info->flags & kVstTimeSigValid) && info->timeSigNumerator >= 0 && info->timeSigDenominator >= 0) {
        *numerator = info->timeSigNumerator;
        *denominator = info->timeSigDenominator;
    }
}

int IPlugVST::IdentifyHost()
{
    const int known = IPlugBase::IdentifyHost();
    if (known != kHostUninit) return known;

    char product[256] = "";
    HostCallback(audioMasterGetProductString, 0, 0, product, 0.0f);
    product[sizeof product - 1] = '\0';
    int version = 0;
    if (*product) version = PackDecimalVersion(HostCallback(audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f));
    SetHost(product, version);
    return IPlugBase::IdentifyHost();
}

void IPlugVST::UpdateEditorSize(int /*width*/, int /*height*/)
{
    if (IPlugEditor* gui = GetGUI()) {
        m_editorRect.top = m_editorRect.left = 0;
        m_editorRect.bottom = static_cast<VstInt16>(gui->Height());
        m_editorRect.right = static_cast<VstInt16>(gui->Width());
    }
}

void IPlugVST::PrepareForHost()
{
    if (!m_hostSetupDone) {
        m_hostSetupDone = true;
        const int host = IdentifyHost();
        if (host == kHostForte || host == kHostAudition || host == kHostOrion || host == kHostSAWStudio)
            RestrictToStereo();
    }
    m_aeffect.numInputs = m_inputArrangement.numChannels = NInChannels();
    m_aeffect.numOutputs = m_outputArrangement.numChannels = NOutChannels();
}

void IPlugVST::SetEditor(IPlugEditor* editor)
{
    if (!editor) return;
    IPlugBase::SetEditor(editor);
    // An editor without a window system (tests, the command-line host) is never offered.
    if (editor->CanOpenInHost())
        m_aeffect.flags |= effFlagsHasEditor;
    else
        m_aeffect.flags &= ~effFlagsHasEditor;
    UpdateEditorSize(editor->Width(), editor->Height());
}

bool IPlugVST::EditorShownToHost() const { return GetGUI() && GetGUI()->CanOpenInHost(); }

void IPlugVST::SetLatencySamples(int samples)
{
    m_aeffect.initialDelay = samples;
    IPlugBase::SetLatencySamples(samples);
}

bool IPlugVST::SendMidiMessage(IMidiMsg* msg)
{
    if (!msg) return false;
    VstMidiEvent event;
    memset(&event, 0, sizeof event);
    event.type = kVstMidiType;
    event.byteSize = sizeof event;
    event.deltaFrames = msg->offset;
    event.midiData[0] = static_cast<char>(msg->status);
    event.midiData[1] = static_cast<char>(msg->data1);
    event.midiData[2] = static_cast<char>(msg->data2);

    VstEvents events;
    memset(&events, 0, sizeof events);
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&event);
    return HostCallback(audioMasterProcessEvents, 0, 0, &events, 0.0f) == 1;
}

bool IPlugVST::SendMidiMessages(TypedBuffer<IMidiMsg>* msgs)
{
    bool ok = true;
    for (int i = 0; msgs && i < msgs->GetSize(); ++i) ok = SendMidiMessage(msgs->Get() + i) && ok;
    return ok;
}

// ---- Dispatcher ---------------------------------------------------------------------------------

VstIntPtr IPlugVST::EditorRequest(VstInt32 opcode, void* ptr)
{
    if (!EditorShownToHost()) return 0;
    IPlugEditor* gui = GetGUI();
    if (opcode == effEditOpen) {
        if (!gui->OpenWindow(ptr)) return 0;
        EditorControlsLock controls(gui);
        EditorOpened();
        return 1;
    }
    {
        EditorControlsLock controls(gui);
        EditorClosed();
    }
    gui->CloseWindow();
    return 1;
}

VstIntPtr VSTCALLBACK IPlugVST::VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                              void* ptr, float opt)
{
    IPlugVST* plug = PlugOf(effect);
    if (!plug) return 0;
    if (opcode == effClose) {
        // An editor closed in the middle of a drag tells the host the gesture ended; that needs
        // the whole object, so it happens before the object goes.
        plug->CloseEditor();
        // The mutex lives inside the object: let go of it before the object goes.
        plug->GetMutex().Enter();
        plug->GetMutex().Leave();
        delete plug;
        return 0;
    }
    if (opcode == effEditIdle) {
        // The editor's own thread; it takes no plug-in lock to show what changed.
        if (plug->EditorShownToHost()) plug->GetGUI()->Idle();
        return 0;
    }
    if (opcode == effEditOpen || opcode == effEditClose) {
        // Also on the editor's thread, and also without the plug-in's lock: the editor's work in
        // idle calls takes its own lock and then, for an edit, the plug-in's; holding them the
        // other way round here could deadlock with it.
        return plug->EditorRequest(opcode, ptr);
    }
    MutexLock lock(plug->GetMutex());
    if (opcode == effIdle) return 0;
    WAYFARER_TRACE("IPlugVST::VSTDispatcher", "%d(%s):%d:%d", opcode, "", index, static_cast<int>(value));
    return plug->Dispatch(opcode, index, value, ptr, opt);
}

VstIntPtr IPlugVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    char* text = static_cast<char*>(ptr);
    IParam* param = GetParam(index);

    switch (opcode) {
    case effOpen:
        PrepareForHost();
        NotifyAllParamsChanged();
        return 0;

    case effSetProgram:
        // Edits of the current program survive the switch; a number out of range loads nothing.
        if (!DoesStateChunks()) StoreCurrentPreset();
        LoadPreset(ClampToInt(value));
        return 0;
    case effGetProgram: return GetCurrentPresetIdx();
    case effSetProgramName:
        if (text) {
            // Hosts may hand over more than they should; never read past the 255 we can keep.
            char name[MAX_PRESET_NAME_LEN];
            CopyText(name, text, sizeof name);
            StoreCurrentPreset(name);
        }
        return 0;
    case effGetProgramName:
        if (text) CopyText(text, GetPresetName(GetCurrentPresetIdx()), kVstMaxProgNameLen);
        return 0;
    case effGetProgramNameIndexed: {
        if (!text) return 0;
        CopyText(text, GetPresetName(index), kVstMaxProgNameLen);
        return *text ? 1 : 0;
    }

    case effGetParamLabel:
        if (text && param) CopyText(text, param->GetLabelForHost(), kVstMaxParamStrLen);
        return 0;
    case effGetParamDisplay:
        if (text && param) {
            char display[MAX_PARAM_DISPLAY_LEN];
            param->GetDisplayForHost(display);
            CopyText(text, display, kVstMaxParamStrLen);
        }
        return 0;
    case effGetParamName:
        if (text && param) CopyText(text, param->GetNameForHost(), kVstMaxParamStrLen);
        return 0;
    case effCanBeAutomated: return 1;
    case effVendorSpecific: {
        if (index != kVendorSpecificParamDisplay || !text) return 0;
        IParam* target = value >= 0 && value < NParams() ? GetParam(static_cast<int>(value)) : nullptr;
        if (target) {
            char display[MAX_PARAM_DISPLAY_LEN];
            target->GetDisplayForHost(opt, true, display);
            CopyText(text, display, kVstMaxParamStrLen);
        }
        return kVendorSpecificHandled;
    }

    case effSetSampleRate:
        SetSampleRate(opt);
        ResetState();
        return 0;
    case effSetBlockSize:
        // A block size we cannot use is ignored; blocks larger than the scratch run in slices.
        if (value > 0) SetMaxBlockSize(value < kMaxScratchFrames ? static_cast<int>(value) : kMaxScratchFrames);
        ResetState();
        return 0;
    case effMainsChanged:
        ActivationChanged(value != 0);
        if (!value) ResetState();
        return 0;

    case effEditGetRect:
        if (!EditorShownToHost() || !ptr) return 0;
        *static_cast<ERect**>(ptr) = &m_editorRect;
        return 1;

    case effIdentify: return kIdentifyAnswer;
    case effGetChunk: return ptr ? GetChunk(index == 0, static_cast<void**>(ptr)) : 0;
    case effSetChunk: return ptr ? SetChunk(index == 0, ptr, value) : 0;
    case effProcessEvents:
        if (!ptr) return 0;
        ProcessEvents(static_cast<const VstEvents*>(ptr));
        return 1;

    case effGetInputProperties:
    case effGetOutputProperties: {
        const bool input = opcode == effGetInputProperties;
        auto* pin = static_cast<VstPinProperties*>(ptr);
        if (!pin || index < 0 || index >= (input ? NInChannels() : NOutChannels())) return 0;
        pin->flags = kVstPinIsActive | (index % 2 == 0 ? kVstPinIsStereo : 0);
        snprintf(pin->label, kVstMaxLabelLen, input ? "Input %d" : "Output %d", index + 1);
        return 1;
    }
    case effGetPlugCategory: return kPlugCategEffect;
    case effSetSpeakerArrangement:
        SetConnectionsFromArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value), // NOLINT
                                      true);
        SetConnectionsFromArrangement(static_cast<const VstSpeakerArrangement*>(ptr), false);
        // The effect's routing depends on which inputs are connected, and it is worked out when a
        // value changes; a layout announced after effOpen must not wait for the next change.
        for (int i = 0; i < NParams(); ++i) HandleParamChange(i);
        return 1;
    case effGetSpeakerArrangement:
        if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &m_inputArrangement; // NOLINT
        if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &m_outputArrangement;
        return 1;

    case effGetEffectName:
        if (!text) return 0;
        CopyText(text, GetEffectName(), kVstMaxEffectNameLen);
        return 1;
    case effGetVendorString:
        if (!text) return 0;
        CopyText(text, GetMfrName(), kVstMaxVendorStrLen);
        return 1;
    case effGetProductString:
        if (!text) return 0;
        CopyText(text, GetProductName(), kVstMaxProductStrLen);
        return 1;
    case effCanDo: return CanDo(text);
    case effGetVstVersion: return kVstVersion;
    case effGetMidiKeyName: {
        auto* key = static_cast<MidiKeyName*>(ptr);
        if (!key) return 0;
        key->keyName[0] = '\0';
        char name[kVstMaxNameLen] = "";
        const bool named = GetMidiNoteName(key->thisKeyNumber, name);
        CopyText(key->keyName, name, kVstMaxNameLen);
        return named ? 1 : 0;
    }
    default: return 0;
    }
}

VstIntPtr IPlugVST::CanDo(const char* capability) const
{
    if (!capability) return 0;
    WAYFARER_TRACE("VSTCanDo(%s)", "%s", capability);
    if (!strcmp(capability, "receiveVstTimeInfo")) return 1;
    if (m_doesMidi && (!strcmp(capability, "sendVstEvents") || !strcmp(capability, "sendVstMidiEvent") ||
                       !strcmp(capability, "receiveVstEvents") || !strcmp(capability, "receiveVstMidiEvent")))
        return 1;
    if (!strcmp(capability, "hasCockosExtensions") || !strcmp(capability, "hasCockosViewAsConfig"))
        return kCockosExtension;
    return 0;
}

void IPlugVST::SetConnectionsFromArrangement(const VstSpeakerArrangement* arrangement, bool input)
{
    if (!arrangement) return;
    const int n = arrangement->numChannels < 0 ? 0 : arrangement->numChannels;
    if (input) {
        SetInputConnections(0, n, true);
        SetInputConnections(n, NInChannels() - n, false);
    } else {
        SetOutputConnections(0, n, true);
        SetOutputConnections(n, NOutChannels() - n, false);
    }
}

void IPlugVST::ProcessEvents(const VstEvents* events)
{
    // The record declares two entries, but a host's list is as long as numEvents says.
    VstEvent* const* list = events->events;
    for (int i = 0; i < events->numEvents; ++i) {
        VstEvent* event = list[i];
        if (!event) continue;
        if (event->type == kVstMidiType) {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
            IMidiMsg msg;
            msg.offset = midi->deltaFrames;
            msg.status = static_cast<uint8_t>(midi->midiData[0]);
            msg.data1 = static_cast<uint8_t>(midi->midiData[1]);
            msg.data2 = static_cast<uint8_t>(midi->midiData[2]);
            HandleMidiMessage(&msg);
        } else {
            VstEvents single;
            memset(&single, 0, sizeof single);
            single.numEvents = 1;
            single.events[0] = event;
            HostCallback(audioMasterProcessEvents, 0, 0, &single, 0.0f);
        }
    }
}

VstIntPtr IPlugVST::GetChunk(bool bank, void** data)
{
    StateChunk& chunk = bank ? m_bankChunk : m_programChunk;
    bool ok = StartChunk(&chunk);
    if (bank) {
        StoreCurrentPreset();
        ok = ok && SerializeBank(&chunk);
    } else {
        ok = ok && SaveState(&chunk);
    }
    if (!ok || chunk.Size() == 0) return 0;
    *data = chunk.Data();
    return chunk.Size();
}

VstIntPtr IPlugVST::SetChunk(bool bank, const void* data, VstIntPtr size)
{
    // An empty, negative or absurd size is refused before anything changes.
    if (size <= 0 || size > kMaxChunkBytes) return 0;
    StateChunk& chunk = bank ? m_bankChunk : m_programChunk;
    const int n = static_cast<int>(size);

    // Hosts often hand back the very chunk we gave them; it must survive the resize.
    const auto* bytes = static_cast<const uint8_t*>(data);
    const bool own = chunk.Data() && bytes >= chunk.Data() && bytes < chunk.Data() + chunk.Size();
    StateChunk copy;
    if (own) {
        if (!copy.PutBytes(bytes, n < chunk.Size() ? n : chunk.Size())) return 0;
        if (!copy.Resize(n)) return 0;
        bytes = copy.Data();
    }
    if (!chunk.Resize(n)) return 0;
    memcpy(chunk.Data(), bytes, static_cast<size_t>(n));

    int pos = 0;
    const int32_t version = ReadChunkHeader(chunk, &pos);
    if (bank && version >= kChunkFormatVersion) {
        pos = UnserializeBank(&chunk, pos);
    } else {
        // A state that could not be read changed nothing, and the program keeps what it held.
        pos = LoadState(&chunk, pos);
        if (pos >= 0) StoreCurrentPreset();
    }
    if (pos < 0) return 0;
    RefreshEditor();
    return 1;
}

// ---- Parameter callbacks ------------------------------------------------------------------------

float VSTCALLBACK IPlugVST::VSTGetParameter(AEffect* effect, VstInt32 idx)
{
    WAYFARER_TRACE("IPlugVST::VSTGetParameter", "%d", idx);
    IPlugVST* plug = PlugOf(effect);
    if (!plug) return 0.0f;
    MutexLock lock(plug->GetMutex());
    const IParam* param = plug->GetParam(idx);
    return param ? static_cast<float>(param->GetNormalizedValue()) : 0.0f;
}

void VSTCALLBACK IPlugVST::VSTSetParameter(AEffect* effect, VstInt32 idx, float value)
{
    WAYFARER_TRACE("IPlugVST::VSTSetParameter", "%d:%f", idx, static_cast<double>(value));
    IPlugVST* plug = PlugOf(effect);
    if (!plug || std::isnan(value)) return;
    // A wild host must not drive a gain out of its range.
    const double normalized = value < 0.0f ? 0.0 : (value > 1.0f ? 1.0 : static_cast<double>(value));
    plug->ChangeParamValue(idx, normalized, true);
}

// ---- Audio callbacks ----------------------------------------------------------------------------

template <> TypedBuffer<float*>& IPlugVST::SliceInputs<float>() { return m_sliceInF; }
template <> TypedBuffer<float*>& IPlugVST::SliceOutputs<float>() { return m_sliceOutF; }
template <> TypedBuffer<double*>& IPlugVST::SliceInputs<double>() { return m_sliceInD; }
template <> TypedBuffer<double*>& IPlugVST::SliceOutputs<double>() { return m_sliceOutD; }

template <class Sample> void IPlugVST::Process(Sample** inputs, Sample** outputs, VstInt32 nFrames, Delivery delivery)
{
    if (nFrames <= 0) return;
    MutexLock lock(GetMutex());
    if (m_doesMidi) HostCallback(audioMasterWantMidi, 0, 0, nullptr, 0.0f);

    // Host arrays are consumed by connected channels only, so that is all we may read.
    const int nIn = NConnectedInputs(), nOut = NConnectedOutputs();
    const int slice = GetBlockSize();
    if (!HasBuffers(inputs, nIn) || !HasBuffers(outputs, nOut) || slice <= 0) {
        if (delivery != Delivery::kFloatAccumulating && outputs)
            for (int c = 0; c < nOut; ++c)
                if (outputs[c]) memset(outputs[c], 0, static_cast<size_t>(nFrames) * sizeof(Sample));
        return;
    }

    // A block within the announced size runs on the host's arrays; a larger one in slices.
    const bool sliced = nFrames > slice;
    Sample** sliceIn = sliced ? SliceInputs<Sample>().Get() : inputs;
    Sample** sliceOut = sliced ? SliceOutputs<Sample>().Get() : outputs;
    for (int done = 0; done < nFrames;) {
        const int n = nFrames - done < slice ? nFrames - done : slice;
        if (sliced) {
            for (int c = 0; c < nIn; ++c) sliceIn[c] = inputs[c] + done;
            for (int c = 0; c < nOut; ++c) sliceOut[c] = outputs[c] + done;
        }
        AttachInputs(0, NInChannels(), sliceIn, n);
        AttachOutputs(0, NOutChannels(), sliceOut);
        switch (delivery) {
        case Delivery::kDouble: RunProcess(n); break;
        case Delivery::kFloatReplacing: RunProcessFloat(n); break;
        case Delivery::kFloatAccumulating: RunProcessAccumulating(n); break;
        }
        done += n;
    }
}

void VSTCALLBACK IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames)
{
    if (IPlugVST* plug = PlugOf(effect)) plug->Process(inputs, outputs, nFrames, Delivery::kFloatAccumulating);
}

void VSTCALLBACK IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames)
{
    if (IPlugVST* plug = PlugOf(effect)) plug->Process(inputs, outputs, nFrames, Delivery::kFloatReplacing);
}

void VSTCALLBACK IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                     VstInt32 nFrames)
{
    if (IPlugVST* plug = PlugOf(effect)) plug->Process(inputs, outputs, nFrames, Delivery::kDouble);
}
