// Random host call sequences: any opcode with any index, value and opt, a null or a properly
// sized pointer, interleaved with parameter and audio calls. The plug-in must answer every one
// without touching memory it was not given.
#include "FuzzReader.h"
#include "vst/Vst24.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback);

namespace {

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetProductString && ptr) {
        strcpy(static_cast<char*>(ptr), "Fuzz Host");
        return 1;
    }
    if (opcode == audioMasterGetVendorVersion) return 10203;
    return 0;
}

// Memory that any opcode may write into: large enough for every VST 2.4 record.
struct alignas(16) Scratch {
    uint8_t bytes[8192];
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader in(data, size);
    AEffect* effect = VSTPluginMain(Host);
    if (!effect) return 0;

    Scratch scratch, chunkBytes;
    VstSpeakerArrangement arrangement;
    VstMidiEvent midi;
    VstEvents events;
    const int kFrames = 3000;
    std::vector<float> f0(kFrames), f1(kFrames), g0(kFrames), g1(kFrames);
    std::vector<double> d0(kFrames), d1(kFrames), e0(kFrames), e1(kFrames);

    for (int steps = 0; steps < 64 && !in.Done(); ++steps) {
        const uint8_t kind = in.Take<uint8_t>();
        const VstInt32 index = in.Take<int8_t>();
        switch (kind % 8) {
        case 0: effect->setParameter(effect, index, in.Take<float>()); break;
        case 1: (void)effect->getParameter(effect, index); break;
        case 2:
        case 3: {
            const VstInt32 frames = in.Take<int16_t>() % kFrames;
            float* fin[] = {f0.data(), f1.data()};
            float* fout[] = {g0.data(), g1.data()};
            double* din[] = {d0.data(), d1.data()};
            double* dout[] = {(in.Take<uint8_t>() & 1) ? d0.data() : e0.data(), e1.data()};
            if (kind % 8 == 2)
                effect->processReplacing(effect, fin, fout, frames);
            else if (index & 1)
                effect->process(effect, fin, fout, frames);
            else
                effect->processDoubleReplacing(effect, din, dout, frames);
            break;
        }
        default: {
            VstInt32 opcode = in.Take<uint8_t>() % 80;
            if (opcode == effClose) opcode = effOpen; // closing ends the sequence below
            VstIntPtr value = in.Take<int32_t>();
            const float opt = in.Take<float>();
            const bool withPtr = (in.Take<uint8_t>() & 1);
            memset(&scratch, 0, sizeof scratch);
            void* ptr = withPtr ? scratch.bytes : nullptr;
            switch (opcode) {
            case effSetProgramName:
            case effCanDo:
                // Host texts: whatever bytes came in, terminated within the buffer.
                in.Take<uint64_t>();
                if (size) memcpy(scratch.bytes, data, size < 200 ? size : 200);
                scratch.bytes[200] = 0;
                break;
            case effSetChunk:
                if (size)
                    memcpy(chunkBytes.bytes, data, size < sizeof chunkBytes.bytes ? size : sizeof chunkBytes.bytes);
                if (withPtr) ptr = chunkBytes.bytes;
                value = value % static_cast<VstIntPtr>(sizeof chunkBytes.bytes + 1);
                break;
            case effSetSpeakerArrangement:
                memset(&arrangement, 0, sizeof arrangement);
                arrangement.numChannels = static_cast<VstInt32>(value % 5) - 1;
                value = (value & 1) ? reinterpret_cast<VstIntPtr>(&arrangement) : 0;
                if (withPtr) ptr = &arrangement;
                break;
            case effGetSpeakerArrangement:
                value = (value & 1) ? reinterpret_cast<VstIntPtr>(scratch.bytes + 4096) : 0;
                break;
            case effProcessEvents:
                memset(&midi, 0, sizeof midi);
                midi.type = (value & 1) ? kVstMidiType : 6;
                midi.byteSize = sizeof midi;
                memset(&events, 0, sizeof events);
                events.numEvents = static_cast<VstInt32>(value % 3);
                events.events[0] = reinterpret_cast<VstEvent*>(&midi);
                events.events[1] = nullptr;
                if (withPtr) ptr = &events;
                break;
            case effEditOpen:
                ptr = nullptr; // no parent window to offer
                break;
            default: break;
            }
            effect->dispatcher(effect, opcode, index, value, ptr, opt);
            break;
        }
        }
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return 0;
}
