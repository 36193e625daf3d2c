// Arbitrary bytes as program and bank chunks: whatever arrives, every parameter must end finite
// and inside its range, and nothing may read or write out of bounds.
#include "../plugcore/TestPlug.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20)) return 0;
    static TestPlug plug;
    static bool ready = false;
    if (!ready) {
        plug.AddDefaultPresets("RESET", 1);
        plug.AddFactoryPreset("Left", 1, -0.7);
        plug.AddDefaultPresets("User", 10);
        ready = true;
    }

    StateChunk chunk;
    chunk.PutBytes(data, static_cast<int>(size));
    int pos = 0;
    const int32_t version = ReadChunkHeader(chunk, &pos);
    if (size && (data[0] & 1))
        plug.UnserializeParams(&chunk, pos);
    else if (version >= kChunkFormatVersion || (size && (data[0] & 2)))
        plug.UnserializeBank(&chunk, pos);
    else
        plug.UnserializeBank(&chunk, 0);
    plug.log.clear();

    for (int i = 0; i < plug.NParams(); ++i) {
        const IParam* p = plug.GetParam(i);
        if (!std::isfinite(p->Value()) || p->Value() < p->GetMin() || p->Value() > p->GetMax()) abort();
    }
    for (int i = 0; i < plug.NPresets(); ++i)
        if (strlen(plug.GetPresetName(i)) >= MAX_PRESET_NAME_LEN) abort();
    return 0;
}
