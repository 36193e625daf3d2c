#pragma once
// The VST 2.4 binding: the only door between a host and the plug-in.
//
// The host holds the AEffect record embedded in this object and reaches everything through its
// six callbacks. Each callback is a thin C door: it finds the object from the record, checks what
// the host handed in, and forwards to a method. Every door holds the plug-in's mutex for its whole
// duration, so the dispatcher, the parameter callbacks and the audio callbacks exclude one another.
//
// What hosts are known to do, and what the binding does about it:
// - ask for names, programs and flags before effOpen, or never call effOpen: every answer is valid
//   from construction on, and audio before effOpen uses the routing for the default values;
// - announce one block size and send bigger blocks: blocks are processed in slices;
// - process in place, or call only one of the three audio callbacks: all three are exact on their own;
// - read getParameter right after setParameter: the value read is the value that took effect;
// - hand over bad values (NaN, out-of-range indices, null pointers, absurd sizes): the request is
//   refused with 0 and nothing is written.

#include "Vst24.h"
#include "plugcore/IPlugBase.h"

class IPlugVST : public IPlugBase {
public:
    IPlugVST(audioMasterCallback hostCallback, int nParams, const char* channelIOStr, int nPresets,
             const char* effectName, const char* productName, const char* makerName, int version, int uniqueId,
             int makerId, int latency, bool doesMidi, bool doesChunks, bool isInstrument);

    // The editor is closed while this part of the object can still tell the host a gesture ended.
    ~IPlugVST() override { CloseEditor(); }

    AEffect* GetAEffect() { return &m_aeffect; }
    // Whether hosts are offered the editor: there is one, and it can open in a host's window.
    bool EditorShownToHost() const;

    // ---- Host services for the base and the effect --------------------------------------------
    void BeginParamEdit(int paramIdx) override;
    void ReportParamChange(int paramIdx, double normalizedValue) override;
    void EndParamEdit(int paramIdx) override;
    int GetSamplePosition() override;
    double GetTempo() override;
    void GetTimeSignature(int* numerator, int* denominator) override;
    int IdentifyHost() override;
    void UpdateEditorSize(int width, int height) override;
    void PrepareForHost() override;
    void SetEditor(IPlugEditor* editor) override;
    void SetLatencySamples(int samples) override;
    bool SendMidiMessage(IMidiMsg* msg) override;
    bool SendMidiMessages(TypedBuffer<IMidiMsg>* msgs) override;

    // ---- The C doors stored in the AEffect record ----------------------------------------------
    static VstIntPtr VSTCALLBACK VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                               void* ptr, float opt);
    static void VSTCALLBACK VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames);
    static void VSTCALLBACK VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames);
    static void VSTCALLBACK VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                      VstInt32 nFrames);
    static float VSTCALLBACK VSTGetParameter(AEffect* effect, VstInt32 idx);
    static void VSTCALLBACK VSTSetParameter(AEffect* effect, VstInt32 idx, float value);

    // Chunks larger than this are refused: no state of ours comes near it.
    static const int kMaxChunkBytes = 16 * 1024 * 1024;
    // Scratch buffers are never sized beyond this; larger blocks run in slices.
    static const int kMaxScratchFrames = 1 << 16;

private:
    enum class Delivery { kDouble, kFloatReplacing, kFloatAccumulating };

    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    // effEditOpen and effEditClose, outside the plug-in's lock.
    VstIntPtr EditorRequest(VstInt32 opcode, void* ptr);
    VstIntPtr HostCallback(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    VstIntPtr GetChunk(bool bank, void** data);
    VstIntPtr SetChunk(bool bank, const void* data, VstIntPtr size);
    void ProcessEvents(const VstEvents* events);
    VstIntPtr CanDo(const char* capability) const;
    void SetConnectionsFromArrangement(const VstSpeakerArrangement* arrangement, bool input);
    const VstTimeInfo* GetTimeInfo(VstInt32 wanted);
    template <class Sample> void Process(Sample** inputs, Sample** outputs, VstInt32 nFrames, Delivery delivery);
    template <class Sample> TypedBuffer<Sample*>& SliceInputs();
    template <class Sample> TypedBuffer<Sample*>& SliceOutputs();

    audioMasterCallback m_hostCallback;
    bool m_hostSetupDone = false;
    bool m_doesMidi;
    StateChunk m_programChunk;
    StateChunk m_bankChunk;
    AEffect m_aeffect;
    ERect m_editorRect;
    VstSpeakerArrangement m_inputArrangement;
    VstSpeakerArrangement m_outputArrangement;
    // Host buffer pointers advanced to the current slice of an oversized block.
    TypedBuffer<float*> m_sliceInF, m_sliceOutF;
    TypedBuffer<double*> m_sliceInD, m_sliceOutD;
};
