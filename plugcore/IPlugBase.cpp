#include "IPlugBase.h"

#include "HostTable.h"
#include "Trace.h"

#include <cassert>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

// A plain loop: the compiler vectorises it, four or eight samples at a time.
template <class From, class To> void ConvertSamples(const From* __restrict from, To* __restrict to, int n)
{
    for (int i = 0; i < n; ++i) to[i] = static_cast<To>(from[i]);
}

// The sum is formed in double and stored as float.
void AccumulateSamples(const double* __restrict from, float* __restrict to, int n)
{
    for (int i = 0; i < n; ++i) to[i] = static_cast<float>(static_cast<double>(to[i]) + from[i]);
}

} // namespace

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* makerName, int version, int uniqueId, int makerId,
                     int latency, bool /*doesMidi*/, bool doesChunks, bool isInstrument)
    : m_uniqueId(uniqueId),
      m_makerId(makerId),
      m_version(version),
      m_doesChunks(doesChunks),
      m_isInstrument(isInstrument),
      m_latency(latency),
      m_presets(m_params, m_link, nPresets)
{
    for (int i = 0; i < nParams; ++i) AddOwned(m_params, new IParam);

    assert(strlen(effectName ? effectName : "") < MAX_EFFECT_NAME_LEN);
    CopyText(m_effectName, effectName, MAX_EFFECT_NAME_LEN);
    CopyText(m_productName, productName, MAX_EFFECT_NAME_LEN);
    CopyText(m_makerName, makerName, MAX_EFFECT_NAME_LEN);

    ParseChannelIO(channelIOStr);

    int nIn = 0, nOut = 0;
    for (int i = 0; i < m_channelIO.GetSize(); ++i) {
        const ChannelIOPair* pair = m_channelIO.Get(i);
        if (pair->nIn > nIn) nIn = pair->nIn;
        if (pair->nOut > nOut) nOut = pair->nOut;
    }
    m_floatInputs.Resize(nIn);
    m_floatOutputs.Resize(nOut);
    double** inSlots = m_inputPointers.Resize(nIn);
    double** outSlots = m_outputPointers.Resize(nOut);
    for (int i = 0; i < nIn; ++i) {
        InputChannel* channel = new InputChannel;
        inSlots[i] = nullptr;
        channel->slot = &inSlots[i];
        AddOwned(m_inputChannels, channel);
    }
    for (int i = 0; i < nOut; ++i) {
        OutputChannel* channel = new OutputChannel;
        outSlots[i] = nullptr;
        channel->slot = &outSlots[i];
        AddOwned(m_outputChannels, channel);
    }
}

IPlugBase::~IPlugBase()
{
    // Closed here only if the binding did not: the binding's half of the object is gone by now, so
    // the editor must not be in the middle of a gesture it would report.
    delete m_editor;
    m_editor = nullptr;
    m_params.Empty(true);
    m_inputChannels.Empty(true);
    m_outputChannels.Empty(true);
    m_channelIO.Empty(true);
}

void IPlugBase::ParseChannelIO(const char* channelIOStr)
{
    if (!channelIOStr) return;
    const char* pos = channelIOStr;
    while (pos) {
        int nIn = 0, nOut = 0;
        const int read = sscanf(pos, "%d-%d", &nIn, &nOut);
        assert(read == 2 && "sscanf(channelIOStr, \"%d-%d\", &nIn, &nOut) == 2");
        if (read != 2) nIn = nOut = 0;
        AddOwned(m_channelIO, new ChannelIOPair{nIn, nOut});
        pos = strchr(pos, ' ');
        if (pos) ++pos;
    }
}

bool IPlugBase::LegalIO(int nIn, int nOut) const
{
    for (int i = 0; i < m_channelIO.GetSize(); ++i) {
        const ChannelIOPair* pair = m_channelIO.Get(i);
        if ((nIn < 0 || nIn == pair->nIn) && (nOut < 0 || nOut == pair->nOut)) return true;
    }
    return false;
}

// ---- Virtual defaults ---------------------------------------------------------------------------

void IPlugBase::ResetState() { MutexLock lock(m_mutex); }

void IPlugBase::HandleParamChange(int /*paramIdx*/) { MutexLock lock(m_mutex); }

void IPlugBase::ActivationChanged(bool /*active*/) { MutexLock lock(m_mutex); }

void IPlugBase::ProcessAudio(double** inputs, double** outputs, int nFrames)
{
    if (nFrames <= 0) return;
    const int nIn = NInChannels(), nOut = NOutChannels();
    const size_t bytes = static_cast<size_t>(nFrames) * sizeof(double);
    int i = 0;
    for (; i < nIn && i < nOut; ++i)
        if (outputs[i] != inputs[i]) memmove(outputs[i], inputs[i], bytes);
    for (; i < nOut; ++i) memset(outputs[i], 0, bytes);
}

void IPlugBase::HandleMidiMessage(IMidiMsg* msg) { SendMidiMessage(msg); }

bool IPlugBase::GetMidiNoteName(int /*noteNumber*/, char* name)
{
    if (name) *name = '\0';
    return false;
}

bool IPlugBase::SaveState(StateChunk* chunk) { return SerializeParams(chunk); }

int IPlugBase::LoadState(StateChunk* chunk, int startPos) { return UnserializeParams(chunk, startPos); }

void IPlugBase::SetEditor(IPlugEditor* editor)
{
    if (!editor) return;
    MutexLock lock(m_mutex);
    // A replaced editor would otherwise be owned by nobody.
    if (m_editor != editor) {
        RemoveParamListener(m_editor);
        delete m_editor;
    }
    m_editor = editor;
    AddParamListener(editor);
    for (int i = 0; i < NParams(); ++i) editor->OnParamChange(i, GetParam(i)->GetNormalizedValue());
    // No other thread can reach a new editor yet, so it may show the values now.
    editor->ShowParamChanges();
    editor->PrepareDrawing();
}

void IPlugBase::CloseEditor()
{
    if (m_editor) m_editor->CloseWindow();
}

void IPlugBase::SetMaxBlockSize(int nFrames)
{
    if (nFrames == m_blockSize || nFrames < 0) return;
    int held = nFrames;
    auto size = [&](TypedBuffer<double>& scratch) {
        double* data = scratch.Resize(nFrames);
        const int n = scratch.GetSize();
        if (n < held) held = n;
        if (data && n) memset(data, 0, static_cast<size_t>(n) * sizeof(double));
    };
    // The scratch blocks may move, and an unconnected channel's slot points into its own.
    for (int i = 0; i < NInChannels(); ++i) {
        InputChannel* channel = m_inputChannels.Get(i);
        size(channel->scratch);
        if (!channel->connected) *channel->slot = channel->scratch.Get();
    }
    for (int i = 0; i < NOutChannels(); ++i) {
        OutputChannel* channel = m_outputChannels.Get(i);
        size(channel->scratch);
        if (!channel->connected) *channel->slot = channel->scratch.Get();
    }
    for (TypedBuffer<float>* floats : {&m_floatSilence, &m_floatDiscard}) {
        floats->Resize(nFrames);
        if (floats->GetSize()) memset(floats->Get(), 0, static_cast<size_t>(floats->GetSize()) * sizeof(float));
    }
    m_blockSize = held;
}

// ---- Version and host ---------------------------------------------------------------------------

int IPlugBase::GetEffectVersion(bool decimal) const
{
    if (!decimal) return m_version;
    const unsigned v = static_cast<unsigned>(m_version);
    return static_cast<int>((v >> 16) * 10000 + ((v >> 8) & 0xff) * 100 + (v & 0xff));
}

void IPlugBase::GetEffectVersionText(char* out) const { FormatVersion(m_version, out, MAX_VERSION_STR_LEN); }

void IPlugBase::SetHost(const char* productText, int packedVersion)
{
    m_hostId = LookUpHost(productText);
    m_hostVersion = packedVersion;
    char versionText[MAX_VERSION_STR_LEN];
    FormatVersion(packedVersion, versionText, MAX_VERSION_STR_LEN);
    WAYFARER_TRACE("IPlugBase::SetHost", "host_%sknown:%s:%s", m_hostId == kHostUnknown ? "un" : "",
                   productText ? productText : "", versionText);
}

// ---- Channels -----------------------------------------------------------------------------------

void IPlugBase::SetInputConnections(int first, int count, bool connected)
{
    for (int i = first < 0 ? 0 : first; i < NInChannels() && i - first < count; ++i) {
        InputChannel* channel = m_inputChannels.Get(i);
        // A channel that goes quiet must read silence, not the last block the host gave it.
        if (!connected && channel->scratch.GetSize())
            memset(channel->scratch.Get(), 0, static_cast<size_t>(channel->scratch.GetSize()) * sizeof(double));
        m_nConnectedIn += (connected ? 1 : 0) - (channel->connected ? 1 : 0);
        channel->connected = connected;
        if (!connected) *channel->slot = channel->scratch.Get();
    }
}

void IPlugBase::SetOutputConnections(int first, int count, bool connected)
{
    for (int i = first < 0 ? 0 : first; i < NOutChannels() && i - first < count; ++i) {
        OutputChannel* channel = m_outputChannels.Get(i);
        m_nConnectedOut += (connected ? 1 : 0) - (channel->connected ? 1 : 0);
        channel->connected = connected;
        if (!connected) *channel->slot = channel->scratch.Get();
    }
}

void IPlugBase::AttachInputs(int first, int count, double** hostInputs, int /*nFrames*/)
{
    InputChannel* const* channels = m_inputChannels.GetList();
    int next = 0;
    for (int i = first < 0 ? 0 : first; i < NInChannels() && i - first < count; ++i)
        if (channels[i]->connected) *channels[i]->slot = hostInputs[next++];
}

void IPlugBase::AttachInputs(int first, int count, float** hostInputs, int /*nFrames*/)
{
    InputChannel* const* channels = m_inputChannels.GetList();
    float** floatIn = m_floatInputs.Get();
    int next = 0;
    for (int i = first < 0 ? 0 : first; i < NInChannels() && i - first < count; ++i) {
        InputChannel* channel = channels[i];
        if (channel->connected) {
            channel->hostFloatSrc = hostInputs[next++];
            floatIn[i] = const_cast<float*>(channel->hostFloatSrc);
            *channel->slot = channel->scratch.Get();
        } else {
            floatIn[i] = m_floatSilence.Get();
        }
    }
}

void IPlugBase::AttachOutputs(int first, int count, double** hostOutputs)
{
    OutputChannel* const* channels = m_outputChannels.GetList();
    int next = 0;
    for (int i = first < 0 ? 0 : first; i < NOutChannels() && i - first < count; ++i)
        if (channels[i]->connected) *channels[i]->slot = hostOutputs[next++];
}

void IPlugBase::AttachOutputs(int first, int count, float** hostOutputs)
{
    OutputChannel* const* channels = m_outputChannels.GetList();
    float** floatOut = m_floatOutputs.Get();
    int next = 0;
    for (int i = first < 0 ? 0 : first; i < NOutChannels() && i - first < count; ++i) {
        OutputChannel* channel = channels[i];
        if (channel->connected) {
            *channel->slot = channel->scratch.Get();
            channel->hostFloatDest = hostOutputs[next++];
            floatOut[i] = channel->hostFloatDest;
        } else {
            floatOut[i] = m_floatDiscard.Get();
        }
    }
}

void IPlugBase::RunProcess(int nFrames) { ProcessAudio(m_inputPointers.Get(), m_outputPointers.Get(), nFrames); }

void IPlugBase::RunFloat(int nFrames, bool accumulate)
{
    // The float views were set up by the attach calls; the silence and discard buffers stand in
    // for unconnected channels and hold a whole block.
    if (nFrames <= m_floatSilence.GetSize() && nFrames <= m_floatDiscard.GetSize() &&
        ProcessAudioFloat(m_floatInputs.Get(), m_floatOutputs.Get(), nFrames, accumulate))
        return;

    InputChannel* const* inputs = m_inputChannels.GetList();
    for (int i = 0; i < NInChannels(); ++i) {
        InputChannel* channel = inputs[i];
        if (!channel->connected || !channel->hostFloatSrc) continue;
        const int n = nFrames < channel->scratch.GetSize() ? nFrames : channel->scratch.GetSize();
        ConvertSamples(channel->hostFloatSrc, channel->scratch.Get(), n);
    }
    ProcessAudio(m_inputPointers.Get(), m_outputPointers.Get(), nFrames);
    OutputChannel* const* outputs = m_outputChannels.GetList();
    for (int i = 0; i < NOutChannels(); ++i) {
        OutputChannel* channel = outputs[i];
        if (!channel->connected || !channel->hostFloatDest) continue;
        const int n = nFrames < channel->scratch.GetSize() ? nFrames : channel->scratch.GetSize();
        if (accumulate)
            AccumulateSamples(*channel->slot, channel->hostFloatDest, n);
        else
            ConvertSamples(*channel->slot, channel->hostFloatDest, n);
    }
}

void IPlugBase::RunProcessFloat(int nFrames) { RunFloat(nFrames, false); }

void IPlugBase::RunProcessAccumulating(int nFrames) { RunFloat(nFrames, true); }

void IPlugBase::RestrictToStereo()
{
    if (NInChannels() > 2) SetInputConnections(2, NInChannels() - 2, false);
    if (NOutChannels() > 2) SetOutputConnections(2, NOutChannels() - 2, true);
}

// ---- Parameter change paths ---------------------------------------------------------------------

void IPlugBase::ChangeParamValue(int paramIdx, double value, bool normalized, const IParamListener* alreadyKnows)
{
    IParam* param = GetParam(paramIdx);
    if (!param) return;
    if (normalized) {
        // A normalised NaN is no value at all; a plain one is missing data, which Set reads as 0.
        if (std::isnan(value)) return;
        value = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
    }
    MutexLock lock(m_mutex);
    if (normalized)
        param->SetNormalizedValue(value);
    else
        param->Set(value);
    HandleParamChange(paramIdx);
    // A normalised value reaches the listeners as it was given (a host's automation shows exactly
    // where the host put it); a plain one as the parameter normalises it.
    const double shown = normalized ? value : param->GetNormalizedValue();
    for (int i = 0; i < m_nListeners; ++i)
        if (m_listeners[i] != alreadyKnows) m_listeners[i]->OnParamChange(paramIdx, shown);
}

void IPlugBase::SetParameterFromGUI(int paramIdx, double normalizedValue)
{
    if (!GetParam(paramIdx)) return;
    // A host may answer this by calling in from another thread and waiting for it; holding the
    // mutex here would deadlock both. The host still hears before the parameter changes.
    ReportParamChange(paramIdx, normalizedValue);
    ChangeParamValue(paramIdx, normalizedValue, true, m_editor);
}

void IPlugBase::NotifyAllParamsChanged()
{
    for (int i = 0; i < NParams(); ++i) ChangeParamValue(i, GetParam(i)->Value(), false);
    ResetState();
}

void IPlugBase::RefreshEditor()
{
    for (int p = 0; p < NParams(); ++p) {
        const double shown = GetParam(p)->GetNormalizedValue();
        for (int i = 0; i < m_nListeners; ++i) m_listeners[i]->OnParamChange(p, shown);
    }
}

bool IPlugBase::AddParamListener(IParamListener* listener)
{
    if (!listener) return false;
    MutexLock lock(m_mutex);
    for (int i = 0; i < m_nListeners; ++i)
        if (m_listeners[i] == listener) return true;
    if (m_nListeners == kMaxListeners) return false;
    m_listeners[m_nListeners++] = listener;
    return true;
}

void IPlugBase::RemoveParamListener(IParamListener* listener)
{
    MutexLock lock(m_mutex);
    for (int i = 0; i < m_nListeners; ++i) {
        if (m_listeners[i] != listener) continue;
        m_listeners[i] = m_listeners[--m_nListeners];
        m_listeners[m_nListeners] = nullptr;
        return;
    }
}

// ---- Presets and state --------------------------------------------------------------------------

bool IPlugBase::SerializeParams(StateChunk* chunk)
{
    MutexLock lock(m_mutex);
    bool ok = true;
    for (int i = 0; i < NParams(); ++i) ok = chunk->Put(GetParam(i)->Value()) && ok;
    return ok;
}

int IPlugBase::UnserializeParams(StateChunk* chunk, int startPos)
{
    MutexLock lock(m_mutex);
    // Everything is read before anything is applied: a state cut short changes nothing.
    double* values = m_loadedValues.Resize(NParams());
    if (NParams() && !values) return -1;
    int pos = startPos;
    for (int i = 0; i < NParams() && pos >= 0; ++i) {
        values[i] = 0.0;
        pos = chunk->Get(&values[i], pos);
    }
    if (pos < 0) return pos;
    for (int i = 0; i < NParams(); ++i) ChangeParamValue(i, values[i], false);
    ResetState();
    return pos;
}

bool IPlugBase::AddFactoryPreset(const char* name, ...)
{
    va_list args;
    va_start(args, name);
    const bool added = m_presets.AddFactoryV(name, args);
    va_end(args);
    return added;
}
