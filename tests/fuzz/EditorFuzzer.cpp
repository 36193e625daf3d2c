// Random user and host activity on the effect's editor: pointer presses, moves, releases, double
// clicks and wheel turns anywhere (inside the window or far outside it, with any buttons and
// modifiers), timer ticks, repaints of any rectangle, parameter changes and program switches from
// the host, and the window opening and closing. Whatever the order, nothing may touch memory it
// should not, and every value the editor hands the plug-in must stay in range.
#include "FuzzReader.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "effect/KorFreeWayfarer.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

IMouseMod Modifiers(uint8_t bits)
{
    return IMouseMod((bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0, (bits & 16) != 0);
}

// Mostly on the panel, sometimes well off it, as a drag that leaves the window.
int Coordinate(FuzzReader& in)
{
    const auto raw = in.Take<int16_t>();
    return (raw & 0x4000) ? raw : std::abs(raw % 300);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader in(data, size);
    auto plug = std::make_unique<KorFreeWayfarer>(Host, MakeHeadlessGraphics);
    AEffect* effect = plug->GetAEffect();
    auto* gui = dynamic_cast<IGraphicsHeadless*>(plug->GetGUI());
    if (!gui) abort();
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);

    for (int step = 0; step < 256 && !in.Done(); ++step) {
        const uint8_t kind = in.Take<uint8_t>();
        switch (kind % 12) {
        case 0: gui->OpenWindow(nullptr), plug->EditorOpened(); break;
        case 1: gui->CloseWindow(), plug->EditorClosed(); break;
        case 2: {
            const int x = Coordinate(in), y = Coordinate(in);
            gui->OnMouseDown(x, y, Modifiers(in.Take<uint8_t>()));
            break;
        }
        case 3: {
            const int x = Coordinate(in), y = Coordinate(in);
            gui->OnMouseUp(x, y);
            break;
        }
        case 4:
        case 5: {
            const int x = Coordinate(in), y = Coordinate(in);
            gui->MouseMove(x, y, Modifiers(in.Take<uint8_t>()));
            break;
        }
        case 6: {
            const int x = Coordinate(in), y = Coordinate(in);
            gui->OnMouseDblClick(x, y, Modifiers(in.Take<uint8_t>()));
            break;
        }
        case 7: {
            const int x = Coordinate(in), y = Coordinate(in);
            gui->OnMouseWheel(x, y, Modifiers(in.Take<uint8_t>()), in.Take<int8_t>());
            break;
        }
        case 8: gui->Tick(); break;
        case 9: {
            const int l = Coordinate(in), t = Coordinate(in), r = Coordinate(in), b = Coordinate(in);
            gui->Paint(IRect(l, t, r, b));
            break;
        }
        case 10: effect->setParameter(effect, in.Take<uint8_t>() % 3, in.Take<float>()); break;
        default: effect->dispatcher(effect, effSetProgram, 0, in.Take<int8_t>(), nullptr, 0.0f); break;
        }
        // Whatever the editor did, the plug-in holds values in range.
        for (int i = 0; i < plug->NParams(); ++i) {
            const IParam* param = plug->GetParam(i);
            if (!(param->Value() >= param->GetMin() && param->Value() <= param->GetMax())) abort();
        }
        while (!gui->Prompts().empty()) gui->TakePrompt();
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    plug.release(); // effClose deleted it
    return 0;
}
