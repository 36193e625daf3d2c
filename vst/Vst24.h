// Vst24.h: the VST 2.4 plug-in interface as a binary contract between a host and a plug-in.
//
// Written from the published VST 2.4 record layouts, opcode numbers and constants. Hosts that
// load the plug-in were built against Steinberg's definitions, so every record below must have
// exactly the size and field offsets they expect; the static_asserts at the end pin them down
// for 32-bit and 64-bit builds.
//
// Conventions of the interface:
//  - Every function pointer uses the C calling convention (cdecl on Windows).
//  - Records are laid out with 8-byte packing, as the original headers request on every platform.
//  - Four-character codes hold their first character in the most significant byte.
//  - Text buffers that the host hands over have the fixed maximum lengths below, terminating
//    zero included; a plug-in never writes more than that into them.
//  - All names live in the global namespace because hosts and plug-ins traditionally spell them
//    exactly so.
#pragma once

#include "../plugcore/FourCC.h"

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

#pragma pack(push, 8)

// ---- Basic types -------------------------------------------------------------------------

typedef std::int16_t VstInt16;
typedef std::int32_t VstInt32;
typedef std::int64_t VstInt64;
// Pointer-sized: 32 bits in a 32-bit process, 64 bits in a 64-bit one.
typedef std::intptr_t VstIntPtr;

struct AEffect;

typedef VstIntPtr(VSTCALLBACK* audioMasterCallback)(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                    void* ptr, float opt);
typedef VstIntPtr(VSTCALLBACK* AEffectDispatcherProc)(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                      void* ptr, float opt);
typedef void(VSTCALLBACK* AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames);
typedef void(VSTCALLBACK* AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
                                                    VstInt32 sampleFrames);
typedef void(VSTCALLBACK* AEffectSetParameterProc)(AEffect* effect, VstInt32 index, float parameter);
typedef float(VSTCALLBACK* AEffectGetParameterProc)(AEffect* effect, VstInt32 index);

// The exported entry point (VSTPluginMain, and the older name main) has this type.
typedef AEffect*(VSTCALLBACK* VstPluginMainProc)(audioMasterCallback host);

constexpr VstInt32 kEffectMagic = FourCC("VstP"); // 0x56737450
constexpr VstInt32 kVstVersion = 2400;

// ---- The effect record -------------------------------------------------------------------

// What the entry point returns. The host reads the counts, flags and identity from it and calls
// the function pointers; the plug-in finds its own object through `object`.
struct AEffect {
    VstInt32 magic;                   // kEffectMagic
    AEffectDispatcherProc dispatcher; // every request that is not audio or a parameter value
    AEffectProcessProc process;       // accumulating float processing (deprecated in 2.4)
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags;         // VstAEffectFlags
    VstIntPtr resvd1;       // reserved for the host, zero
    VstIntPtr resvd2;       // reserved for the host, zero
    VstInt32 initialDelay;  // latency in samples
    VstInt32 realQualities; // deprecated, zero
    VstInt32 offQualities;  // deprecated, zero
    float ioRatio;          // deprecated, 1.0
    void* object;           // the plug-in's own instance
    void* user;             // free for the host
    VstInt32 uniqueID;      // four-character code of the plug-in
    VstInt32 version;       // decimal plug-in version, e.g. 10200 for 1.2.0
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56]; // reserved, zero
};

enum VstAEffectFlags : VstInt32 {
    effFlagsHasEditor = 1 << 0,
    effFlagsHasClip = 1 << 1, // deprecated
    effFlagsHasVu = 1 << 2,   // deprecated
    effFlagsCanMono = 1 << 3, // deprecated
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsExtIsAsync = 1 << 10,   // deprecated
    effFlagsExtHasBuffer = 1 << 11, // deprecated
    effFlagsCanDoubleReplacing = 1 << 12,
};

// ---- Dispatcher opcodes (host to plug-in) ------------------------------------------------

enum AEffectOpcodes : VstInt32 {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effGetVu = 9, // deprecated
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditDraw = 16,  // deprecated
    effEditMouse = 17, // deprecated
    effEditKey = 18,   // deprecated
    effEditIdle = 19,
    effEditTop = 20,   // deprecated
    effEditSleep = 21, // deprecated
    effIdentify = 22,  // deprecated
    effGetChunk = 23,
    effSetChunk = 24,
    effNumOpcodes = 25,

    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetNumProgramCategories = 28, // deprecated
    effGetProgramNameIndexed = 29,
    effCopyProgram = 30,   // deprecated
    effConnectInput = 31,  // deprecated
    effConnectOutput = 32, // deprecated
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effGetCurrentPosition = 36,   // deprecated
    effGetDestinationBuffer = 37, // deprecated
    effOfflineNotify = 38,
    effOfflinePrepare = 39,
    effOfflineRun = 40,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBlockSizeAndSampleRate = 43, // deprecated
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetErrorText = 46, // deprecated
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effIdle = 53,            // deprecated
    effGetIcon = 54,         // deprecated
    effSetViewPosition = 55, // deprecated
    effGetParameterProperties = 56,
    effKeysRequired = 57, // deprecated
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effGetMidiProgramName = 62,
    effGetCurrentMidiProgram = 63,
    effGetMidiProgramCategory = 64,
    effHasMidiProgramsChanged = 65,
    effGetMidiKeyName = 66,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetSpeakerArrangement = 69,
    effShellGetNextPlugin = 70,
    effStartProcess = 71,
    effStopProcess = 72,
    effSetTotalSampleToProcess = 73,
    effSetPanLaw = 74,
    effBeginLoadBank = 75,
    effBeginLoadProgram = 76,
    effSetProcessPrecision = 77,
    effGetNumMidiInputChannels = 78,
    effGetNumMidiOutputChannels = 79,
};

// ---- Host callback opcodes (plug-in to host) ---------------------------------------------

enum AudioMasterOpcodes : VstInt32 {
    audioMasterAutomate = 0, // index: parameter, opt: new normalised value
    audioMasterVersion = 1,  // host answers its VST version, e.g. 2400
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterPinConnected = 4,                 // deprecated
    audioMasterWantMidi = 6,                     // deprecated
    audioMasterGetTime = 7,                      // value: VstTimeInfoFlags wanted; answers a VstTimeInfo* or 0
    audioMasterProcessEvents = 8,                // ptr: VstEvents*
    audioMasterSetTime = 9,                      // deprecated
    audioMasterTempoAt = 10,                     // deprecated
    audioMasterGetNumAutomatableParameters = 11, // deprecated
    audioMasterGetParameterQuantization = 12,    // deprecated
    audioMasterIOChanged = 13,
    audioMasterNeedIdle = 14, // deprecated
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetPreviousPlug = 20,         // deprecated
    audioMasterGetNextPlug = 21,             // deprecated
    audioMasterWillReplaceOrAccumulate = 22, // deprecated
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterOfflineStart = 25,
    audioMasterOfflineRead = 26,
    audioMasterOfflineWrite = 27,
    audioMasterOfflineGetCurrentPass = 28,
    audioMasterOfflineGetCurrentMetaPass = 29,
    audioMasterSetOutputSampleRate = 30,         // deprecated
    audioMasterGetOutputSpeakerArrangement = 31, // deprecated
    audioMasterGetVendorString = 32,             // ptr: char[kVstMaxVendorStrLen]
    audioMasterGetProductString = 33,            // ptr: char[kVstMaxProductStrLen]
    audioMasterGetVendorVersion = 34,            // answers the host's version as a decimal number
    audioMasterVendorSpecific = 35,
    audioMasterSetIcon = 36, // deprecated
    audioMasterCanDo = 37,   // ptr: capability text
    audioMasterGetLanguage = 38,
    audioMasterOpenWindow = 39,  // deprecated
    audioMasterCloseWindow = 40, // deprecated
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43, // index: parameter; a user gesture starts
    audioMasterEndEdit = 44,   // index: parameter; the gesture ends
    audioMasterOpenFileSelector = 45,
    audioMasterCloseFileSelector = 46,
    audioMasterEditFile = 47,                   // deprecated
    audioMasterGetChunkFile = 48,               // deprecated
    audioMasterGetInputSpeakerArrangement = 49, // deprecated
};

// ---- Text buffer sizes, terminating zero included ----------------------------------------

enum VstStringConstants : VstInt32 {
    kVstMaxProgNameLen = 24,   // effGetProgramName, effSetProgramName, effGetProgramNameIndexed
    kVstMaxParamStrLen = 8,    // effGetParamLabel, effGetParamDisplay, effGetParamName
    kVstMaxVendorStrLen = 64,  // effGetVendorString, audioMasterGetVendorString
    kVstMaxProductStrLen = 64, // effGetProductString, audioMasterGetProductString
    kVstMaxEffectNameLen = 32, // effGetEffectName
};

enum Vst2StringConstants : VstInt32 {
    kVstMaxNameLen = 64,
    kVstMaxLabelLen = 64,     // VstPinProperties::label
    kVstMaxShortLabelLen = 8, // VstPinProperties::shortLabel
    kVstMaxCategLabelLen = 24,
    kVstMaxFileNameLen = 100,
};

// ---- Editor rectangle --------------------------------------------------------------------

struct ERect {
    VstInt16 top;
    VstInt16 left;
    VstInt16 bottom;
    VstInt16 right;
};

// ---- Events ------------------------------------------------------------------------------

enum VstEventTypes : VstInt32 {
    kVstMidiType = 1,
    kVstAudioType = 2,     // deprecated
    kVstVideoType = 3,     // deprecated
    kVstParameterType = 4, // deprecated
    kVstTriggerType = 5,   // deprecated
    kVstSysExType = 6,
};

// The common head of every event; byteSize counts the bytes after the first two fields.
struct VstEvent {
    VstInt32 type;
    VstInt32 byteSize;
    VstInt32 deltaFrames; // frame offset into the current block
    VstInt32 flags;
    char data[16];
};

enum VstMidiEventFlags : VstInt32 {
    kVstMidiEventIsRealtime = 1 << 0,
};

struct VstMidiEvent {
    VstInt32 type;     // kVstMidiType
    VstInt32 byteSize; // sizeof(VstMidiEvent)
    VstInt32 deltaFrames;
    VstInt32 flags; // VstMidiEventFlags
    VstInt32 noteLength;
    VstInt32 noteOffset;
    char midiData[4]; // status, data 1, data 2, zero
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

struct VstMidiSysexEvent {
    VstInt32 type; // kVstSysExType
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 dumpBytes;
    VstIntPtr resvd1;
    char* sysexDump;
    VstIntPtr resvd2;
};

// A list of events. The record declares two entries, but the sender allocates as many as
// numEvents says; receivers must not assume the array ends after two.
struct VstEvents {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
};

// ---- Pins and speakers -------------------------------------------------------------------

enum VstPinPropertiesFlags : VstInt32 {
    kVstPinIsActive = 1 << 0,
    kVstPinIsStereo = 1 << 1, // this pin is the first of a stereo pair
    kVstPinUseSpeaker = 1 << 2,
};

struct VstPinProperties {
    char label[kVstMaxLabelLen];
    VstInt32 flags; // VstPinPropertiesFlags
    VstInt32 arrangementType;
    char shortLabel[kVstMaxShortLabelLen];
    char future[48];
};

enum VstSpeakerArrangementType : VstInt32 {
    kSpeakerArrUserDefined = -2,
    kSpeakerArrEmpty = -1,
    kSpeakerArrMono = 0,
    kSpeakerArrStereo = 1,
};

enum VstSpeakerType : VstInt32 {
    kSpeakerUndefined = 0x7fffffff,
    kSpeakerM = 0,
    kSpeakerL = 1,
    kSpeakerR = 2,
};

struct VstSpeakerProperties {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[kVstMaxNameLen];
    VstInt32 type; // VstSpeakerType
    char future[28];
};

struct VstSpeakerArrangement {
    VstInt32 type; // VstSpeakerArrangementType
    VstInt32 numChannels;
    VstSpeakerProperties speakers[8];
};

// ---- Parameters, MIDI key names, categories -----------------------------------------------

struct VstParameterProperties {
    float stepFloat;
    float smallStepFloat;
    float largeStepFloat;
    char label[kVstMaxLabelLen];
    VstInt32 flags;
    VstInt32 minInteger;
    VstInt32 maxInteger;
    VstInt32 stepInteger;
    VstInt32 largeStepInteger;
    char shortLabel[kVstMaxShortLabelLen];
    VstInt16 displayIndex;
    VstInt16 category;
    VstInt16 numParametersInCategory;
    VstInt16 reserved;
    char categoryLabel[kVstMaxCategLabelLen];
    char future[16];
};

struct MidiKeyName {
    VstInt32 thisProgramIndex;
    VstInt32 thisKeyNumber;
    char keyName[kVstMaxNameLen];
    VstInt32 reserved;
    VstInt32 flags;
};

enum VstPlugCategory : VstInt32 {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
    kPlugCategAnalysis = 3,
    kPlugCategMastering = 4,
    kPlugCategSpacializer = 5,
    kPlugCategRoomFx = 6,
    kPlugSurroundFx = 7,
    kPlugCategRestoration = 8,
    kPlugCategOfflineProcess = 9,
    kPlugCategShell = 10,
    kPlugCategGenerator = 11,
    kPlugCategMaxCount = 12,
};

enum VstProcessPrecision : VstInt32 {
    kVstProcessPrecision32 = 0,
    kVstProcessPrecision64 = 1,
};

// ---- Transport -------------------------------------------------------------------------

enum VstTimeInfoFlags : VstInt32 {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording = 1 << 3,
    kVstAutomationWriting = 1 << 6,
    kVstAutomationReading = 1 << 7,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15,
};

// What audioMasterGetTime answers with. samplePos and sampleRate are always valid; the other
// fields only when their flag is set.
struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo; // beats per minute
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    VstInt32 timeSigNumerator;
    VstInt32 timeSigDenominator;
    VstInt32 smpteOffset;
    VstInt32 smpteFrameRate;
    VstInt32 samplesToNextClock;
    VstInt32 flags; // VstTimeInfoFlags
};

#pragma pack(pop)

// ---- Binary layout checks ----------------------------------------------------------------
// A host compiled against the original headers reads these records at fixed offsets. A wrong
// size here would not fail to build anything; it would crash or silently misread in the host.

static_assert(sizeof(VstInt16) == 2 && sizeof(VstInt32) == 4 && sizeof(VstInt64) == 8, "fixed-width types");
static_assert(sizeof(VstIntPtr) == sizeof(void*), "VstIntPtr is pointer-sized");

static_assert(sizeof(ERect) == 8, "ERect");
static_assert(sizeof(VstEvent) == 32, "VstEvent");
static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent");
static_assert(offsetof(VstMidiEvent, midiData) == 24, "VstMidiEvent::midiData");
static_assert(sizeof(VstPinProperties) == 128, "VstPinProperties");
static_assert(offsetof(VstPinProperties, flags) == 64, "VstPinProperties::flags");
static_assert(offsetof(VstPinProperties, shortLabel) == 72, "VstPinProperties::shortLabel");
static_assert(sizeof(VstSpeakerProperties) == 112, "VstSpeakerProperties");
static_assert(sizeof(VstSpeakerArrangement) == 904, "VstSpeakerArrangement");
static_assert(offsetof(VstSpeakerArrangement, numChannels) == 4, "VstSpeakerArrangement::numChannels");
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8, "VstSpeakerArrangement::speakers");
static_assert(sizeof(VstParameterProperties) == 152, "VstParameterProperties");
static_assert(sizeof(MidiKeyName) == 80, "MidiKeyName");
static_assert(offsetof(MidiKeyName, keyName) == 8, "MidiKeyName::keyName");
static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo");
static_assert(offsetof(VstTimeInfo, tempo) == 32, "VstTimeInfo::tempo");
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64, "VstTimeInfo::timeSigNumerator");
static_assert(offsetof(VstTimeInfo, flags) == 84, "VstTimeInfo::flags");

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(AEffect) == 144, "AEffect, 32-bit");
static_assert(offsetof(AEffect, dispatcher) == 4, "AEffect::dispatcher, 32-bit");
static_assert(offsetof(AEffect, numPrograms) == 20, "AEffect::numPrograms, 32-bit");
static_assert(offsetof(AEffect, flags) == 36, "AEffect::flags, 32-bit");
static_assert(offsetof(AEffect, resvd1) == 40, "AEffect::resvd1, 32-bit");
static_assert(offsetof(AEffect, initialDelay) == 48, "AEffect::initialDelay, 32-bit");
static_assert(offsetof(AEffect, ioRatio) == 60, "AEffect::ioRatio, 32-bit");
static_assert(offsetof(AEffect, object) == 64, "AEffect::object, 32-bit");
static_assert(offsetof(AEffect, uniqueID) == 72, "AEffect::uniqueID, 32-bit");
static_assert(offsetof(AEffect, version) == 76, "AEffect::version, 32-bit");
static_assert(offsetof(AEffect, processReplacing) == 80, "AEffect::processReplacing, 32-bit");
static_assert(offsetof(AEffect, processDoubleReplacing) == 84, "AEffect::processDoubleReplacing, 32-bit");
static_assert(offsetof(AEffect, future) == 88, "AEffect::future, 32-bit");
static_assert(sizeof(VstEvents) == 16, "VstEvents, 32-bit");
static_assert(offsetof(VstEvents, events) == 8, "VstEvents::events, 32-bit");
static_assert(sizeof(VstMidiSysexEvent) == 32, "VstMidiSysexEvent, 32-bit");
#elif INTPTR_MAX == INT64_MAX
static_assert(sizeof(AEffect) == 192, "AEffect, 64-bit");
static_assert(offsetof(AEffect, dispatcher) == 8, "AEffect::dispatcher, 64-bit");
static_assert(offsetof(AEffect, numPrograms) == 40, "AEffect::numPrograms, 64-bit");
static_assert(offsetof(AEffect, flags) == 56, "AEffect::flags, 64-bit");
static_assert(offsetof(AEffect, resvd1) == 64, "AEffect::resvd1, 64-bit");
static_assert(offsetof(AEffect, initialDelay) == 80, "AEffect::initialDelay, 64-bit");
static_assert(offsetof(AEffect, ioRatio) == 92, "AEffect::ioRatio, 64-bit");
static_assert(offsetof(AEffect, object) == 96, "AEffect::object, 64-bit");
static_assert(offsetof(AEffect, uniqueID) == 112, "AEffect::uniqueID, 64-bit");
static_assert(offsetof(AEffect, version) == 116, "AEffect::version, 64-bit");
static_assert(offsetof(AEffect, processReplacing) == 120, "AEffect::processReplacing, 64-bit");
static_assert(offsetof(AEffect, processDoubleReplacing) == 128, "AEffect::processDoubleReplacing, 64-bit");
static_assert(offsetof(AEffect, future) == 136, "AEffect::future, 64-bit");
static_assert(sizeof(VstEvents) == 32, "VstEvents, 64-bit");
static_assert(offsetof(VstEvents, events) == 16, "VstEvents::events, 64-bit");
static_assert(sizeof(VstMidiSysexEvent) == 48, "VstMidiSysexEvent, 64-bit");
#else
#error "VST 2.4 is defined for 32-bit and 64-bit processes only"
#endif
