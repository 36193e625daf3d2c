// Stand-in plug-in binaries for testing the host itself. One source builds four variants:
//   FAKE_NULL       VSTPluginMain returns null
//   FAKE_BAD_MAGIC  VSTPluginMain returns a record that is not a VST effect
//   FAKE_NO_ENTRY   exports neither VSTPluginMain nor main
//   FAKE_MAIN_ONLY  exports only main; asks the host questions from inside the entry point
//                   (with a null and with a not yet returned effect), calls back with its
//                   effect on effOpen (begin-edit) and on setParameter (automate), and answers
//                   effGetTailSize, effCanDo and effGetVendorVersion with what the host said
//                   to audioMasterGetTime (the tempo, or -1 for none), audioMasterCanDo and
//                   audioMasterGetVendorVersion.
// They use only the C library, so that they load anywhere without a C++ runtime beside them.
#include "Vst24.h"

#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#if defined(FAKE_NULL)

FAKE_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback) { return nullptr; }

#elif defined(FAKE_BAD_MAGIC)

// Static so that the abandoned record is no leak.
static AEffect g_notAnEffect;

FAKE_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback)
{
    g_notAnEffect.magic = FourCC("Nope");
    return &g_notAnEffect;
}

#elif defined(FAKE_NO_ENTRY)

FAKE_EXPORT int wayfarerFakeNothing(void) { return 0; }

#elif defined(FAKE_MAIN_ONLY)

namespace {

struct FakeEffect {
    AEffect record; // first, so that the record's address is the object's
    audioMasterCallback host;
    char hostProduct[kVstMaxProductStrLen];
    float values[2];
};

FakeEffect* self(AEffect* effect) { return static_cast<FakeEffect*>(effect->object); }

VstIntPtr VSTCALLBACK dispatcher(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    FakeEffect* fake = self(effect);
    switch (opcode) {
    case effOpen: fake->host(effect, audioMasterBeginEdit, 1, 0, nullptr, 0.0f); return 0;
    case effClose: std::free(fake); return 0;
    // Three requests that hand the host's answer straight back, so tests can see it.
    case effGetTailSize: {
        const auto* time = reinterpret_cast<const VstTimeInfo*>(
            fake->host(effect, audioMasterGetTime, 0, kVstTempoValid, nullptr, 0.0f));
        return time != nullptr ? static_cast<VstIntPtr>(time->tempo) : -1;
    }
    case effCanDo: return fake->host(effect, audioMasterCanDo, 0, 0, ptr, 0.0f);
    case effGetVendorVersion: return fake->host(effect, audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f);
    case effGetProductString:
        if (ptr == nullptr) return 0;
        std::memcpy(ptr, fake->hostProduct, sizeof fake->hostProduct);
        return 1;
    default: return 0;
    }
}

void VSTCALLBACK setParameter(AEffect* effect, VstInt32 index, float value)
{
    if (index < 0 || index > 1) return;
    self(effect)->values[index] = value;
    self(effect)->host(effect, audioMasterAutomate, index, 0, nullptr, value);
}

float VSTCALLBACK getParameter(AEffect* effect, VstInt32 index)
{
    return index < 0 || index > 1 ? 0.0f : self(effect)->values[index];
}

} // namespace

#if defined(_WIN32)
// Exported as "main" through FakeMainOnly.def: GCC will not let a function named main have
// this signature.
extern "C" AEffect* VSTCALLBACK wayfarerFakeMain(audioMasterCallback host);
#else
extern "C" __attribute__((visibility("default"))) AEffect* wayfarerFakeMain(audioMasterCallback host) __asm__("main");
#endif

extern "C" AEffect* VSTCALLBACK wayfarerFakeMain(audioMasterCallback host)
{
    auto* fake = static_cast<FakeEffect*>(std::calloc(1, sizeof(FakeEffect)));
    if (fake == nullptr) return nullptr;
    fake->host = host;
    AEffect* effect = &fake->record;
    effect->object = fake;

    // The host cannot know this record yet: both requests must reach the loading host anyway.
    host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    host(effect, audioMasterGetProductString, 0, 0, fake->hostProduct, 0.0f);
    fake->hostProduct[sizeof fake->hostProduct - 1] = '\0';

    effect->magic = kEffectMagic;
    effect->dispatcher = dispatcher;
    effect->setParameter = setParameter;
    effect->getParameter = getParameter;
    effect->numParams = 2;
    effect->numPrograms = 1;
    effect->ioRatio = 1.0f;
    return effect;
}

#else
#error "define one of FAKE_NULL, FAKE_BAD_MAGIC, FAKE_NO_ENTRY, FAKE_MAIN_ONLY"
#endif
