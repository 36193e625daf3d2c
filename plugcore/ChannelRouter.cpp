#include "ChannelRouter.h"

#include <cassert>
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

ChannelRouter::ChannelRouter(const char* channelIOStr, IAudioProcessor& processor) : m_processor(processor)
{
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

ChannelRouter::~ChannelRouter()
{
    m_inputChannels.Empty(true);
    m_outputChannels.Empty(true);
    m_channelIO.Empty(true);
}

void ChannelRouter::ParseChannelIO(const char* channelIOStr)
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

bool ChannelRouter::LegalIO(int nIn, int nOut) const
{
    for (int i = 0; i < m_channelIO.GetSize(); ++i) {
        const ChannelIOPair* pair = m_channelIO.Get(i);
        if ((nIn < 0 || nIn == pair->nIn) && (nOut < 0 || nOut == pair->nOut)) return true;
    }
    return false;
}

void ChannelRouter::SetMaxBlockSize(int nFrames)
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

void ChannelRouter::SetInputConnections(int first, int count, bool connected)
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

void ChannelRouter::SetOutputConnections(int first, int count, bool connected)
{
    for (int i = first < 0 ? 0 : first; i < NOutChannels() && i - first < count; ++i) {
        OutputChannel* channel = m_outputChannels.Get(i);
        m_nConnectedOut += (connected ? 1 : 0) - (channel->connected ? 1 : 0);
        channel->connected = connected;
        if (!connected) *channel->slot = channel->scratch.Get();
    }
}

void ChannelRouter::RestrictToStereo()
{
    if (NInChannels() > 2) SetInputConnections(2, NInChannels() - 2, false);
    if (NOutChannels() > 2) SetOutputConnections(2, NOutChannels() - 2, true);
}

void ChannelRouter::AttachInputs(int first, int count, double** hostInputs, int /*nFrames*/)
{
    InputChannel* const* channels = m_inputChannels.GetList();
    int next = 0;
    for (int i = first < 0 ? 0 : first; i < NInChannels() && i - first < count; ++i)
        if (channels[i]->connected) *channels[i]->slot = hostInputs[next++];
}

void ChannelRouter::AttachInputs(int first, int count, float** hostInputs, int /*nFrames*/)
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

void ChannelRouter::AttachOutputs(int first, int count, double** hostOutputs)
{
    OutputChannel* const* channels = m_outputChannels.GetList();
    int next = 0;
    for (int i = first < 0 ? 0 : first; i < NOutChannels() && i - first < count; ++i)
        if (channels[i]->connected) *channels[i]->slot = hostOutputs[next++];
}

void ChannelRouter::AttachOutputs(int first, int count, float** hostOutputs)
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

void ChannelRouter::Run(int nFrames)
{
    m_processor.ProcessAudio(m_inputPointers.Get(), m_outputPointers.Get(), nFrames);
}

void ChannelRouter::RunFloat(int nFrames, bool accumulate)
{
    // The float views were set up by the attach calls; the silence and discard buffers stand in
    // for unconnected channels and hold a whole block.
    if (nFrames <= m_floatSilence.GetSize() && nFrames <= m_floatDiscard.GetSize() &&
        m_processor.ProcessAudioFloat(m_floatInputs.Get(), m_floatOutputs.Get(), nFrames, accumulate))
        return;

    InputChannel* const* inputs = m_inputChannels.GetList();
    for (int i = 0; i < NInChannels(); ++i) {
        InputChannel* channel = inputs[i];
        if (!channel->connected || !channel->hostFloatSrc) continue;
        const int n = nFrames < channel->scratch.GetSize() ? nFrames : channel->scratch.GetSize();
        ConvertSamples(channel->hostFloatSrc, channel->scratch.Get(), n);
    }
    m_processor.ProcessAudio(m_inputPointers.Get(), m_outputPointers.Get(), nFrames);
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
