#include "PresetBank.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const kUserPresetName = "user preset";

} // namespace

PresetBank::PresetBank(const PointerList<IParam>& params, IPresetOwner& owner, int nPresets)
    : m_params(params), m_owner(owner)
{
    for (int i = 0; i < nPresets; ++i) {
        Preset* preset = new Preset;
        snprintf(preset->name, sizeof preset->name, "- %d -", i);
        AddOwned(m_presets, preset);
    }
}

PresetBank::~PresetBank() { m_presets.Empty(true); }

const char* PresetBank::GetName(int idx) const
{
    const Preset* preset = m_presets.Get(idx);
    return preset ? preset->name : "";
}

int PresetBank::FirstFree() const
{
    for (int i = 0; i < m_presets.GetSize(); ++i)
        if (!m_presets.Get(i)->initialized) return i;
    return -1;
}

Preset* PresetBank::FirstFreePreset() const { return m_presets.Get(FirstFree()); }

bool PresetBank::AddFactory(const char* name, ...)
{
    va_list args;
    va_start(args, name);
    const bool added = AddFactoryV(name, args);
    va_end(args);
    return added;
}

bool PresetBank::AddFactoryV(const char* name, va_list args)
{
    Preset* preset = FirstFreePreset();
    if (!preset) return false;
    preset->initialized = true;
    CopyText(preset->name, name, MAX_PRESET_NAME_LEN);
    preset->values.Clear();

    for (int i = 0; i < m_params.GetSize(); ++i) {
        const IParam::EParamType type = m_params.Get(i)->Type();
        const bool integer = type == IParam::kTypeBool || type == IParam::kTypeInt || type == IParam::kTypeEnum;
        // The analyzer loses track of va_start on platforms where va_list is an array.
        // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
        const double v = integer ? static_cast<double>(va_arg(args, int)) : va_arg(args, double);
        preset->values.Put(v);
    }
    return true;
}

void PresetBank::AddDefaults(const char* name, int count)
{
    for (int i = 0; i < count; ++i) {
        Preset* preset = FirstFreePreset();
        if (!preset) continue;
        preset->initialized = true;
        CopyText(preset->name, name ? name : "Default", MAX_PRESET_NAME_LEN);
        preset->values.Clear();
        m_owner.SerializeParams(&preset->values);
    }
}

void PresetBank::EnsureOne()
{
    if (m_presets.GetSize()) return;
    Preset* preset = new Preset;
    snprintf(preset->name, sizeof preset->name, "- %d -", 0);
    if (!AddOwned(m_presets, preset)) return;
    AddDefaults(nullptr, 1);
}

void PresetBank::MakeUserPresetName(char* name) const
{
    int count = 0;
    for (int i = 0; i < m_presets.GetSize(); ++i)
        if (strstr(m_presets.Get(i)->name, kUserPresetName)) ++count;
    snprintf(name, MAX_PRESET_NAME_LEN, "%s %d", kUserPresetName, count + 1);
}

bool PresetBank::Load(int idx)
{
    Preset* preset = m_presets.Get(idx);
    if (!preset) return false;

    bool ok;
    if (preset->initialized) {
        ok = m_owner.UnserializeParams(&preset->values, 0) > 0;
    } else {
        preset->initialized = true;
        MakeUserPresetName(preset->name);
        preset->values.Clear();
        ok = m_owner.SerializeParams(&preset->values);
    }
    if (ok) {
        m_currentIdx = idx;
        m_owner.PresetLoaded(idx);
    }
    return ok;
}

void PresetBank::StoreCurrent(const char* name)
{
    Preset* preset = m_presets.Get(m_currentIdx);
    if (!preset) return;
    preset->values.Clear();
    m_owner.SerializeParams(&preset->values);
    if (name && *name) CopyText(preset->name, name, MAX_PRESET_NAME_LEN);
}

bool PresetBank::Serialize(StateChunk* chunk) const
{
    bool ok = true;
    for (int i = 0; i < m_presets.GetSize(); ++i) {
        const Preset* preset = m_presets.Get(i);
        ok = chunk->PutStr(preset->name) && ok;
        ok = chunk->Put(preset->initialized) && ok;
        if (preset->initialized) ok = chunk->PutChunk(preset->values) && ok;
    }
    return ok;
}

int PresetBank::Unserialize(StateChunk* chunk, int startPos)
{
    int pos = startPos;
    GrowString name;
    for (int i = 0; i < m_presets.GetSize() && pos >= 0; ++i) {
        Preset* preset = m_presets.Get(i);
        // A record is taken whole or not at all: one cut short keeps its name, its flag and its
        // values, so that a filled flag never stands without the values it promises.
        name.Set("");
        pos = chunk->GetStr(&name, pos);
        bool filled = false;
        if (pos >= 0) pos = chunk->Get(&filled, pos);
        if (pos >= 0 && filled) pos = ReadPresetValues(chunk, pos, preset);
        if (pos < 0) break;
        // A record whose name is empty keeps the name it had.
        if (name.GetLength()) CopyText(preset->name, name.Get(), MAX_PRESET_NAME_LEN);
        preset->initialized = filled;
    }
    // The current program takes its record's values. A free record leaves the current values and
    // the program as they are: loading it would make it a user preset of whatever values were live.
    const Preset* current = m_presets.Get(m_currentIdx);
    if (current && current->initialized) Load(m_currentIdx);
    return pos;
}

int PresetBank::ReadPresetValues(StateChunk* chunk, int startPos, Preset* preset)
{
    const int nParams = m_params.GetSize();
    const int pos = GetValues(*chunk, startPos, nParams, &m_loadedValues);
    const double* values = m_loadedValues.Get();
    // A record cut short keeps what it held; a whole one holds its values as the parameters
    // would take them.
    if (pos <= 0) return pos;
    preset->values.Clear();
    for (int i = 0; i < nParams; ++i) preset->values.Put(m_params.Get(i)->Constrain(values[i]));
    return pos;
}
