#pragma once
// Between a host's channel arrays and the plug-in's processing.
//
// The router knows the legal layouts, which channels the host connects, and, per channel, where
// a block reads or writes: the host's own double arrays, or a scratch block of the channel's that
// float input is converted into and output converted or added from. The processing itself belongs
// to its owner, which the router calls once per block.
//
// Threads: every call is made with the plug-in's mutex held. The attach and run calls, the audio
// path, allocate nothing and take no lock of their own; only the constructor and SetMaxBlockSize
// allocate.

#include "Containers.h"

struct ChannelIOPair {
    int nIn;
    int nOut;
};

// What a router needs of the plug-in that owns it: the processing, in either precision.
class IAudioProcessor {
public:
    // One block, one array per channel, at most the block size in frames.
    virtual void ProcessAudio(double** inputs, double** outputs, int nFrames) = 0;
    // The same block on single-precision arrays, giving bit for bit what the double path gives.
    // False to have the router convert and call ProcessAudio instead.
    virtual bool ProcessAudioFloat(float** inputs, float** outputs, int nFrames, bool accumulate) = 0;

protected:
    ~IAudioProcessor() = default;
};

class ChannelRouter {
public:
    // `channelIOStr` lists the legal layouts as "in-out" pairs separated by single spaces, e.g.
    // "1-2 2-2"; the channel counts are the largest of each. Every channel starts unconnected, and
    // the block size at 0.
    ChannelRouter(const char* channelIOStr, IAudioProcessor& processor);
    ~ChannelRouter();
    ChannelRouter(const ChannelRouter&) = delete;
    ChannelRouter& operator=(const ChannelRouter&) = delete;

    // Whether a layout is legal; a negative count matches any.
    bool LegalIO(int nIn, int nOut) const;
    int NChannelIOPairs() const { return m_channelIO.GetSize(); }
    const ChannelIOPair* GetChannelIOPair(int idx) const { return m_channelIO.Get(idx); }
    int NInChannels() const { return m_inputChannels.GetSize(); }
    int NOutChannels() const { return m_outputChannels.GetSize(); }

    int GetBlockSize() const { return m_blockSize; }
    // Sizes every channel's scratch block for blocks of up to `nFrames` and silences it. If the
    // blocks cannot be made that large, the block size becomes what they hold. The same size
    // again, or a negative one, changes nothing.
    void SetMaxBlockSize(int nFrames);

    // A channel that is not connected reads zeros, and what is written to it is discarded.
    void SetInputConnections(int first, int count, bool connected);
    void SetOutputConnections(int first, int count, bool connected);
    bool IsInputConnected(int idx) const
    {
        return idx >= 0 && idx < NInChannels() && m_inputChannels.GetList()[idx]->connected;
    }
    bool IsOutputConnected(int idx) const
    {
        return idx >= 0 && idx < NOutChannels() && m_outputChannels.GetList()[idx]->connected;
    }
    // How many host arrays a block consumes: one per connected channel.
    int NConnectedInputs() const { return m_nConnectedIn; }
    int NConnectedOutputs() const { return m_nConnectedOut; }
    // Inputs from 2 on are disconnected, outputs from 2 on connected.
    void RestrictToStereo();

    // Each connected channel in range takes the next host array; unconnected channels take none.
    // Float input is read when the block runs, converted into the channel's scratch unless the
    // owner processes floats itself; nFrames must not exceed the block size.
    void AttachInputs(int first, int count, double** hostInputs, int nFrames);
    void AttachInputs(int first, int count, float** hostInputs, int nFrames);
    void AttachOutputs(int first, int count, double** hostOutputs);
    void AttachOutputs(int first, int count, float** hostOutputs);

    // After double attaches: the owner writes straight into the host's arrays.
    void Run(int nFrames);
    // After float attaches: the host's float outputs are overwritten with the result, or with
    // `accumulate` the result is added to what they hold, in double and rounded once.
    void RunFloat(int nFrames, bool accumulate);

private:
    struct InputChannel {
        bool connected = false;
        double** slot = nullptr;
        const float* hostFloatSrc = nullptr;
        TypedBuffer<double> scratch;
    };
    struct OutputChannel {
        bool connected = false;
        double** slot = nullptr;
        float* hostFloatDest = nullptr;
        TypedBuffer<double> scratch;
    };

    void ParseChannelIO(const char* channelIOStr);

    IAudioProcessor& m_processor;
    PointerList<ChannelIOPair> m_channelIO;
    int m_blockSize = 0;
    // The arrays ProcessAudio is handed; each channel's slot points into one of them.
    TypedBuffer<double*> m_inputPointers;
    TypedBuffer<double*> m_outputPointers;
    // Per-channel views for ProcessAudioFloat, and where unconnected channels read and write.
    TypedBuffer<float*> m_floatInputs;
    TypedBuffer<float*> m_floatOutputs;
    TypedBuffer<float> m_floatSilence;
    TypedBuffer<float> m_floatDiscard;
    PointerList<InputChannel> m_inputChannels;
    PointerList<OutputChannel> m_outputChannels;
    int m_nConnectedIn = 0;
    int m_nConnectedOut = 0;
};
