// The LV2 user interface (ui:X11UI): the VST's editor, in the host's X11 window (ui:parent), on
// the X11 window layer. The UI runs apart from the plug-in and reaches it only through the host:
// it stands in as the editor's parameter owner, writes each change to the control port through the
// host's write function, tells the host when a drag grabs and lets go of a control (ui:touch), and
// shows the port values the host sends (port_event). All of it happens on the host's UI thread,
// inside instantiate, port_event, idle and cleanup.
#include "Lv2Names.h"
#include "editor/GraphicsFactory.h"
#include "editor/IGraphics.h"
#include "effect/KorWayfarerDsp.h"
#include "effect/KorWayfarerEditor.h"
#include "plugcore/HostTable.h"
#include "plugcore/IParam.h"
#include "plugcore/IPlugBase.h"
#include "plugcore/PlugEditor.h"

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <cmath>
#include <cstring>
#include <new>

namespace {

class Lv2Ui final : public IParamOwner {
public:
    Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_Feature* const* features)
        : m_write(write), m_controller(controller)
    {
        for (int i = 0; features && features[i]; ++i) {
            const char* uri = features[i]->URI;
            if (std::strcmp(uri, LV2_UI__parent) == 0) m_parent = features[i]->data;
            if (std::strcmp(uri, LV2_UI__resize) == 0) m_resize = static_cast<const LV2UI_Resize*>(features[i]->data);
            if (std::strcmp(uri, LV2_UI__touch) == 0) m_touch = static_cast<const LV2UI_Touch*>(features[i]->data);
        }
        KorWayfarerEditor::InitParams(&m_params[KorWayfarerDsp::kPan], &m_params[KorWayfarerDsp::kWetMix]);
        FormatVersion(KorWayfarerDsp::kVersion, m_versionText, sizeof m_versionText);
    }

    ~Lv2Ui()
    {
        if (m_graphics) m_graphics->CloseWindow();
        delete m_graphics;
    }

    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    // The editor in the host's window; false when there is no window to put it in.
    bool Open(LV2UI_Widget* widget)
    {
        if (!m_parent || !m_write) return false;
        m_graphics = MakeGraphics(this, 1, 1, KorWayfarerEditor::kFps);
        if (!m_graphics) return false;
        KorWayfarerEditor::LayOut(m_graphics, this, m_versionText);
        for (int i = 0; i < KorWayfarerDsp::kNumParams; ++i)
            m_graphics->OnParamChange(i, m_params[i].GetNormalizedValue());
        m_graphics->ShowParamChanges();
        m_graphics->PrepareDrawing();
        void* window = m_graphics->OpenWindow(m_parent);
        if (!window) return false;
        *widget = window;
        if (m_resize) m_resize->ui_resize(m_resize->handle, m_graphics->Width(), m_graphics->Height());
        return true;
    }

    // A control port's value from the host: the plug-in's setting, whoever changed it.
    void PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        const int param = ParamOfPort(port);
        if (param < 0 || format != 0 || size != sizeof(float) || !buffer) return;
        float value = 0.0f;
        std::memcpy(&value, buffer, sizeof value);
        if (std::isnan(value)) return;
        // The editor's repaint thread reads the values while the host sends no idle calls.
        EditorControlsLock hold(m_graphics);
        m_params[param].Set(value);
        if (m_graphics) m_graphics->OnParamChange(param, m_params[param].GetNormalizedValue());
    }

    // Non-zero once the editor's window is gone (the host destroyed its parent).
    int Idle()
    {
        if (!m_graphics || !m_graphics->GetWindow()) return 1;
        m_graphics->Idle();
        return m_graphics->GetWindow() ? 0 : 1;
    }

    // ---- The editor's parameter owner ---------------------------------------------------------
    int NParams() const override { return KorWayfarerDsp::kNumParams; }
    IParam* GetParam(int paramIdx) const override
    {
        return paramIdx >= 0 && paramIdx < KorWayfarerDsp::kNumParams ? &m_params[paramIdx] : nullptr;
    }
    void BeginParamEdit(int paramIdx) override { Touch(paramIdx, true); }
    void SetParameterFromGUI(int paramIdx, double normalizedValue) override
    {
        IParam* param = GetParam(paramIdx);
        if (!param || std::isnan(normalizedValue)) return;
        param->SetNormalizedValue(normalizedValue < 0.0 ? 0.0 : (normalizedValue > 1.0 ? 1.0 : normalizedValue));
        const auto value = static_cast<float>(param->Value());
        m_write(m_controller, PortOfParam(paramIdx), sizeof value, 0, &value);
    }
    void EndParamEdit(int paramIdx) override { Touch(paramIdx, false); }
    void UpdateEditorSize(int width, int height) override
    {
        if (m_resize) m_resize->ui_resize(m_resize->handle, width, height);
    }

private:
    static int ParamOfPort(uint32_t port)
    {
        return port < static_cast<uint32_t>(lv2names::kNumPorts) ? lv2names::kPorts[port].param : -1;
    }
    static uint32_t PortOfParam(int param)
    {
        for (uint32_t port = 0; port < static_cast<uint32_t>(lv2names::kNumPorts); ++port)
            if (lv2names::kPorts[port].param == param) return port;
        return 0;
    }
    void Touch(int paramIdx, bool grabbed)
    {
        if (m_touch && GetParam(paramIdx)) m_touch->touch(m_touch->handle, PortOfParam(paramIdx), grabbed);
    }

    LV2UI_Write_Function m_write;
    LV2UI_Controller m_controller;
    void* m_parent = nullptr;
    const LV2UI_Resize* m_resize = nullptr;
    const LV2UI_Touch* m_touch = nullptr;
    // The editor reads descriptions and values from here; only the UI thread touches them.
    mutable IParam m_params[KorWayfarerDsp::kNumParams];
    char m_versionText[MAX_VERSION_STR_LEN] = "";
    IGraphics* m_graphics = nullptr;
};

Lv2Ui* UiOf(LV2UI_Handle handle) { return static_cast<Lv2Ui*>(handle); }

LV2UI_Handle Instantiate(const LV2UI_Descriptor* /*descriptor*/, const char* pluginUri, const char* /*bundlePath*/,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
    if (!widget || !pluginUri || std::strcmp(pluginUri, lv2names::kPluginUri) != 0) return nullptr;
    auto* ui = new (std::nothrow) Lv2Ui(write, controller, features);
    if (ui && !ui->Open(widget)) {
        delete ui;
        return nullptr;
    }
    return ui;
}

void Cleanup(LV2UI_Handle handle) { delete UiOf(handle); }

void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    UiOf(handle)->PortEvent(port, size, format, buffer);
}

int Idle(LV2UI_Handle handle) { return UiOf(handle)->Idle(); }

const void* ExtensionData(const char* uri)
{
    static const LV2UI_Idle_Interface kIdle = {Idle};
    return uri && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdle : nullptr;
}

const LV2UI_Descriptor kDescriptor = {lv2names::kUiUri, Instantiate, Cleanup, PortEvent, ExtensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
