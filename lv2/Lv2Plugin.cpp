// The LV2 binding: the effect as an LV2 plug-in, over the same KorWayfarerDsp the VST binding
// calls, so both formats give the same samples for the same settings.
//
// Each setting lives here as the exact double the effect computes with. The control ports are read
// at the start of every run; KorWayfarerDsp decides what a port value means (NaN ignored, clamped,
// "Pan" rounded), and a port that holds the float of the current setting leaves it exact. The
// state extension saves and restores the exact doubles, which float ports cannot carry. They are
// saved as the shortest decimal text that reads back as the same double: hosts write states out
// as Turtle, and the usual writer keeps only 16 decimals of an atom:Double, which loses bits (and
// all of a small value).
//
// run() allocates nothing, takes no lock and makes no system call.
#include "Lv2Names.h"
#include "effect/KorWayfarerDsp.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <new>
#include <system_error>

namespace {

using lv2names::kNumPorts;

class Lv2Instance {
public:
    explicit Lv2Instance(const LV2_Feature* const* features)
    {
        const LV2_URID_Map* map = nullptr;
        for (int i = 0; features && features[i]; ++i)
            if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
                map = static_cast<const LV2_URID_Map*>(features[i]->data);
        if (map) {
            m_panKey = map->map(map->handle, lv2names::kStatePanUri);
            m_wetMixKey = map->map(map->handle, lv2names::kStateWetMixUri);
            m_doubleType = map->map(map->handle, LV2_ATOM__Double);
            m_stringType = map->map(map->handle, LV2_ATOM__String);
        }
        Apply();
    }

    void Connect(uint32_t port, void* data)
    {
        if (port < kNumPorts) m_ports[port] = static_cast<float*>(data);
    }

    void Run(uint32_t nFrames)
    {
        ReadControls();
        if (nFrames == 0) return;
        float* inputs[2] = {m_ports[lv2names::kInL], m_ports[lv2names::kInR]};
        float* outputs[2] = {m_ports[lv2names::kOutL], m_ports[lv2names::kOutR]};
        if (!inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;
        // The effect counts frames in int; a larger block runs in slices.
        const uint32_t kSlice = 1u << 30;
        for (uint32_t done = 0; done < nFrames;) {
            const uint32_t n = nFrames - done < kSlice ? nFrames - done : kSlice;
            float* in[2] = {inputs[0] + done, inputs[1] + done};
            float* out[2] = {outputs[0] + done, outputs[1] + done};
            m_dsp.ProcessFloat(in, out, static_cast<int>(n), false);
            done += n;
        }
    }

    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle) const
    {
        if (!m_stringType) return LV2_STATE_ERR_NO_FEATURE;
        const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        const LV2_URID keys[KorWayfarerDsp::kNumParams] = {m_panKey, m_wetMixKey};
        for (int i = 0; i < KorWayfarerDsp::kNumParams; ++i) {
            char text[40];
            const std::to_chars_result written = std::to_chars(text, text + sizeof text - 1, m_values[i]);
            if (written.ec != std::errc()) return LV2_STATE_ERR_UNKNOWN;
            *written.ptr = '\0';
            const auto size = static_cast<size_t>(written.ptr - text) + 1;
            if (store(handle, keys[i], text, size, m_stringType, flags) != LV2_STATE_SUCCESS)
                return LV2_STATE_ERR_UNKNOWN;
        }
        return LV2_STATE_SUCCESS;
    }

    // Both values are read before either is applied: a state cut short changes nothing. A value
    // may also come as an atom:Double, as a host or a hand-written preset may give it.
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
    {
        if (!m_stringType) return LV2_STATE_ERR_NO_FEATURE;
        double values[KorWayfarerDsp::kNumParams];
        const LV2_URID keys[KorWayfarerDsp::kNumParams] = {m_panKey, m_wetMixKey};
        for (int i = 0; i < KorWayfarerDsp::kNumParams; ++i) {
            size_t size = 0;
            uint32_t type = 0, flags = 0;
            const void* data = retrieve(handle, keys[i], &size, &type, &flags);
            if (!data) return LV2_STATE_ERR_NO_PROPERTY;
            if (!ReadValue(data, size, type, &values[i])) return LV2_STATE_ERR_BAD_TYPE;
        }
        for (int i = 0; i < KorWayfarerDsp::kNumParams; ++i) m_values[i] = KorWayfarerDsp::FromState(i, values[i]);
        Apply();
        return LV2_STATE_SUCCESS;
    }

private:
    bool ReadValue(const void* data, size_t size, uint32_t type, double* value) const
    {
        if (type == m_doubleType && size == sizeof(double)) {
            std::memcpy(value, data, sizeof(double));
            return true;
        }
        // Text must be terminated and be a number to its end.
        const auto* text = static_cast<const char*>(data);
        if (type != m_stringType || size < 2 || text[size - 1] != '\0') return false;
        const std::from_chars_result read = std::from_chars(text, text + size - 1, *value);
        return read.ec == std::errc() && read.ptr == text + size - 1;
    }

    void ReadControls()
    {
        const float* pan = m_ports[lv2names::kPan];
        const float* wetMix = m_ports[lv2names::kWetMix];
        double* values = m_values;
        const double newPan =
            pan ? KorWayfarerDsp::PanFromHost(*pan, values[KorWayfarerDsp::kPan]) : values[KorWayfarerDsp::kPan];
        const double newWetMix = wetMix ? KorWayfarerDsp::WetMixFromHost(*wetMix, values[KorWayfarerDsp::kWetMix])
                                        : values[KorWayfarerDsp::kWetMix];
        if (newPan != values[KorWayfarerDsp::kPan] || newWetMix != values[KorWayfarerDsp::kWetMix]) {
            values[KorWayfarerDsp::kPan] = newPan;
            values[KorWayfarerDsp::kWetMix] = newWetMix;
            Apply();
        }
    }

    void Apply()
    {
        // The host connects both inputs, always: the routing is the stereo one.
        m_dsp.SetPan(static_cast<int>(m_values[KorWayfarerDsp::kPan]), true);
        m_dsp.SetWetMix(m_values[KorWayfarerDsp::kWetMix]);
    }

    KorWayfarerDsp m_dsp;
    double m_values[KorWayfarerDsp::kNumParams] = {KorWayfarerDsp::kPanLeft, 0.0};
    float* m_ports[kNumPorts] = {};
    LV2_URID m_panKey = 0;
    LV2_URID m_wetMixKey = 0;
    LV2_URID m_doubleType = 0;
    LV2_URID m_stringType = 0;
};

Lv2Instance* InstanceOf(LV2_Handle handle) { return static_cast<Lv2Instance*>(handle); }

LV2_Handle Instantiate(const LV2_Descriptor* /*descriptor*/, double /*rate*/, const char* /*bundlePath*/,
                       const LV2_Feature* const* features)
{
    return new (std::nothrow) Lv2Instance(features);
}

void ConnectPort(LV2_Handle instance, uint32_t port, void* data) { InstanceOf(instance)->Connect(port, data); }

void Activate(LV2_Handle /*instance*/) {}

void Run(LV2_Handle instance, uint32_t nFrames) { InstanceOf(instance)->Run(nFrames); }

void Deactivate(LV2_Handle /*instance*/) {}

void Cleanup(LV2_Handle instance) { delete InstanceOf(instance); }

LV2_State_Status SaveState(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                           uint32_t /*flags*/, const LV2_Feature* const* /*features*/)
{
    return InstanceOf(instance)->Save(store, handle);
}

LV2_State_Status RestoreState(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                              uint32_t /*flags*/, const LV2_Feature* const* /*features*/)
{
    return InstanceOf(instance)->Restore(retrieve, handle);
}

const void* ExtensionData(const char* uri)
{
    static const LV2_State_Interface kState = {SaveState, RestoreState};
    return uri && std::strcmp(uri, LV2_STATE__interface) == 0 ? &kState : nullptr;
}

const LV2_Descriptor kDescriptor = {lv2names::kPluginUri, Instantiate, ConnectPort,  Activate, Run,
                                    Deactivate,           Cleanup,     ExtensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) { return index == 0 ? &kDescriptor : nullptr; }
