// The editor and the host's threads: the host automates and changes programs from threads of its
// own while the editor repaints on its thread, and a host may answer the editor's automation by
// calling in from yet another thread. Run under ThreadSanitizer in the tsan build.
#include "editor/headless/IGraphicsHeadless.h"
#include "effect/KorFreeWayfarer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Ends the test program if `body` has not returned within `seconds`: a deadlock would otherwise
// hang the test run until its time-out.
template <class Body> void WithinSeconds(int seconds, const char* what, Body body)
{
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        const auto until = Clock::now() + std::chrono::seconds(seconds);
        while (!done.load() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!done.load()) {
            std::fprintf(stderr, "%s did not finish within %d s: deadlock\n", what, seconds);
            std::_Exit(1);
        }
    });
    body();
    done = true;
    watchdog.join();
}

// A host that, told of an automation, sets the other parameter from a thread of its own and waits
// for it, as hosts that route automation through their engine thread do.
std::atomic<int> g_callsBack{0};

VstIntPtr VSTCALLBACK CallingBackHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
{
    if (opcode == audioMasterAutomate && effect) {
        std::thread engine([effect, index, opt] {
            effect->setParameter(
                effect, index == KorFreeWayfarer::kPan ? KorFreeWayfarer::kWetMix : KorFreeWayfarer::kPan, opt);
            ++g_callsBack;
        });
        engine.join();
    }
    return 0;
}

TEST(EditorThreads, HostCallingBackFromAnotherThreadDuringAnEditDoesNotDeadlock)
{
    g_callsBack = 0;
    auto* plug = new KorFreeWayfarer(CallingBackHost, MakeHeadlessGraphics);
    auto* gui = static_cast<IGraphicsHeadless*>(plug->GetGUI()); // what MakeHeadlessGraphics makes
    AEffect* effect = plug->GetAEffect();
    gui->OpenWindow(nullptr);
    gui->Click(10, 100); // the splash goes
    gui->Tick();
    WithinSeconds(10, "a knob drag whose host calls back", [&] {
        gui->OnMouseDown(137, 120, IMouseMod(true));
        for (int y = 119; y > 100; --y) gui->MouseMove(137, y, IMouseMod(true));
        gui->OnMouseUp(137, 100);
        gui->Click(60, 120); // the switch
    });
    EXPECT_GT(g_callsBack.load(), 0);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

VstIntPtr VSTCALLBACK QuietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// Two host threads change values as fast as a busy session does while the editor repaints; the
// editor shows the last values once its thread ticks again.
TEST(EditorThreads, EditorRepaintsWhileTheHostAutomatesAndChangesPrograms)
{
    auto* plug = new KorFreeWayfarer(QuietHost, MakeHeadlessGraphics);
    auto* gui = static_cast<IGraphicsHeadless*>(plug->GetGUI());
    AEffect* effect = plug->GetAEffect();
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);

    std::atomic<bool> stop{false};
    std::atomic<int> ticks{0};
    std::thread editor([&] {
        gui->OpenWindow(nullptr);
        while (!stop.load()) {
            gui->Tick();
            ++ticks;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::thread automation([&] {
        for (int i = 0; !stop.load(); ++i) {
            effect->setParameter(effect, KorFreeWayfarer::kPan, static_cast<float>(i % 2));
            effect->setParameter(effect, KorFreeWayfarer::kWetMix, static_cast<float>(i % 100) / 100.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::thread programs([&] {
        for (int i = 0; !stop.load(); ++i) {
            effect->dispatcher(effect, effSetProgram, 0, i % 12, nullptr, 0.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    std::this_thread::sleep_for(std::chrono::seconds(2));
    stop = true;
    automation.join();
    programs.join();
    editor.join();
    EXPECT_GT(ticks.load(), 10);

    // This thread is the editor's now: one tick shows where the host left the values.
    effect->setParameter(effect, KorFreeWayfarer::kPan, 1.0f);
    effect->setParameter(effect, KorFreeWayfarer::kWetMix, 0.25f);
    gui->Tick();
    for (int i = 0; i < gui->NControls(); ++i) {
        const IControl* control = gui->GetControl(i);
        if (control->ParamIdx() < 0) continue;
        EXPECT_EQ(control->GetValue(), control->ParamIdx() == KorFreeWayfarer::kPan ? 1.0 : 0.25) << "control " << i;
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

// A host that closes the effect while the user is dragging its knob: the gesture still ends.
std::atomic<int> g_endEdits{0};
VstIntPtr VSTCALLBACK CountingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterEndEdit) ++g_endEdits;
    return 0;
}

TEST(EditorThreads, CloseInTheMiddleOfADragEndsTheGesture)
{
    g_endEdits = 0;
    auto* plug = new KorFreeWayfarer(CountingHost, MakeHeadlessGraphics);
    auto* gui = static_cast<IGraphicsHeadless*>(plug->GetGUI());
    AEffect* effect = plug->GetAEffect();
    gui->OpenWindow(nullptr);
    gui->Click(10, 100);
    gui->Tick();
    g_endEdits = 0;
    gui->OnMouseDown(137, 120, IMouseMod(true));
    gui->MouseMove(137, 110, IMouseMod(true));
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(g_endEdits.load(), 1);
}

} // namespace
