#pragma once
// The plug-in's programs: a fixed number of named records, each a snapshot of every parameter's
// plain value, and which of them is current.
//
// The bank never writes a parameter itself. Taking values from the live parameters and making a
// record's values live go through its owner, which alone knows what a change of value sets off
// (the effect's reaction, the listeners, the lock). The parameter list is read only for the shape
// of a record: how many values, which are integers, and the range each is held to.
//
// Threads: the caller holds the plug-in's mutex, as for every preset operation of the plug-in.

#include "Containers.h"
#include "IParam.h"
#include "StateChunk.h"

#include <cstdarg>

const int MAX_PRESET_NAME_LEN = 256;

// A named snapshot of every parameter's plain value, one double per parameter.
struct Preset {
    bool initialized = false;
    char name[MAX_PRESET_NAME_LEN] = "";
    StateChunk values;
};

// What a bank needs of the plug-in that owns it.
class IPresetOwner {
public:
    // Appends every parameter's live plain value to `chunk`, one double each.
    virtual bool SerializeParams(StateChunk* chunk) = 0;
    // Makes the values at `startPos` live, as a state load does. Answers the position after them,
    // or a negative one (changing nothing) when they are cut short.
    virtual int UnserializeParams(StateChunk* chunk, int startPos) = 0;
    // A record has just become the current program.
    virtual void PresetLoaded(int idx) = 0;

protected:
    ~IPresetOwner() = default;
};

class PresetBank {
public:
    // `nPresets` free records named "- 0 -", "- 1 -", ...
    PresetBank(const PointerList<IParam>& params, IPresetOwner& owner, int nPresets);
    ~PresetBank();
    PresetBank(const PresetBank&) = delete;
    PresetBank& operator=(const PresetBank&) = delete;

    int NPresets() const { return m_presets.GetSize(); }
    const Preset* Get(int idx) const { return m_presets.Get(idx); }
    // "" for an index out of range.
    const char* GetName(int idx) const;
    int GetCurrentIdx() const { return m_currentIdx; }
    // The first record no program occupies, or -1 when every one is taken.
    int FirstFree() const;

    // Fills the first free record with one value per parameter: an int for integer kinds, a
    // double otherwise. The values are stored as given and held to range when loaded. False when
    // no record is free.
    bool AddFactory(const char* name, ...);
    bool AddFactoryV(const char* name, va_list args);
    // Fills up to `count` free records with the live values, under `name` ("Default" for null).
    void AddDefaults(const char* name, int count);
    // A bank of no records gets one, "Default", holding the live values.
    void EnsureOne();

    // Makes record `idx` the current program. A filled record's values go live; a free one becomes
    // "user preset N" holding the live values, so selecting it keeps the current sound.
    bool Load(int idx);
    // Replaces the current record's values with the live ones, and its name unless `name` is
    // null or empty. Names are cut to MAX_PRESET_NAME_LEN - 1 characters.
    void StoreCurrent(const char* name = nullptr);

    // Per record: its name, whether it is filled, and if so its values.
    bool Serialize(StateChunk* chunk) const;
    // Reads the records Serialize wrote, in order, until the data runs out; records beyond that
    // point are left as they were. A record whose values are cut short keeps the values it held,
    // and one whose name is empty or unreadable keeps its name. Then the current program is
    // reloaded from its record if that is filled; a free one leaves the live values and the
    // current program alone. Answers the position after the bank, or a negative one when it was
    // cut short.
    int Unserialize(StateChunk* chunk, int startPos);

private:
    Preset* FirstFreePreset() const;
    void MakeUserPresetName(char* name) const;
    // One record's values, into the record only: the live parameters are left alone.
    int ReadPresetValues(StateChunk* chunk, int startPos, Preset* preset);

    const PointerList<IParam>& m_params;
    IPresetOwner& m_owner;
    PointerList<Preset> m_presets;
    int m_currentIdx = 0;
    // Where a record is read before it is stored, so that one cut short keeps what it held.
    TypedBuffer<double> m_loadedValues;
};
