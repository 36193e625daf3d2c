#include "IPlugBase.h"

#include "HostTable.h"
#include "Trace.h"

#include <cassert>
#include <cmath>
#include <cstdarg>
#include <cstring>

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* makerName, int version, int uniqueId, int makerId,
                     int latency, bool /*doesMidi*/, bool doesChunks, bool isInstrument)
    : m_uniqueId(uniqueId),
      m_makerId(makerId),
      m_version(version),
      m_doesChunks(doesChunks),
      m_isInstrument(isInstrument),
      m_latency(latency),
      m_presets(m_params, m_link, nPresets),
      m_router(channelIOStr, m_link)
{
    for (int i = 0; i < nParams; ++i) AddOwned(m_params, new IParam);

    assert(strlen(effectName ? effectName : "") < MAX_EFFECT_NAME_LEN);
    CopyText(m_effectName, effectName, MAX_EFFECT_NAME_LEN);
    CopyText(m_productName, productName, MAX_EFFECT_NAME_LEN);
    CopyText(m_makerName, makerName, MAX_EFFECT_NAME_LEN);
}

IPlugBase::~IPlugBase()
{
    // The binding has closed the editor (CloseEditor) while it could still report the end of a
    // gesture; by now its half of the object is gone, so the editor is only deleted here.
    delete m_editor;
    m_editor = nullptr;
    m_params.Empty(true);
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
    const int pos = GetValues(*chunk, startPos, NParams(), &m_loadedValues);
    if (pos < 0) return pos;
    const double* values = m_loadedValues.Get();
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
