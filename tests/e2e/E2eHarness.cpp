// The effect's headers first: once windows.h has declared its own `byte`, theirs would shadow it.
#include "effect/KorFreeWayfarer.h"

#include "E2eHarness.h"
#include "editor/win32/IGraphicsWin32.h"
#include "vst/PluginFactory.h"

#include <new>

namespace e2e {

namespace {

// The Win32 editor the in-process effect was last made with; the tests make one at a time on
// this thread, and ask for the last one.
IGraphicsWin32* g_lastMade = nullptr;

IGraphics* MakeRecordedWin32Graphics(IParamOwner* owner, int width, int height, int fps)
{
    auto* gui = new (std::nothrow) IGraphicsWin32(owner, width, height, fps, nullptr);
    g_lastMade = gui;
    return gui;
}

} // namespace

AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host)
{
    return CreateVstEffect(host, MakeRecordedWin32Graphics);
}

// ---- Fixtures ---------------------------------------------------------------------------------

void DllEditor::SetUp()
{
    plugin = openEffect(host, Source::binary);
    ASSERT_TRUE(plugin);
    openEditor();
    if (HasFatalFailure()) return;
    dismissSplash();
    host.Log().Clear();
}

void DllEditor::TearDown()
{
    window.reset();
    if (plugin) plugin->Close();
}

void DllEditor::openEditor()
{
    window = std::make_unique<vsthost::EditorWindow>(*plugin);
    std::string error;
    ASSERT_TRUE(window->Open(&error)) << error;
    ASSERT_EQ(window->Width(), kEditorW);
    ASSERT_EQ(window->Height(), kEditorH);
    window->Settle();
}

void DllEditor::dismissSplash()
{
    window->Click(kKnob.cx(), kKnob.cy());
    window->Settle();
}

void InProcessEditor::SetUp()
{
    g_lastMade = nullptr;
    plugin = openEffect(host, Source::inProcess);
    ASSERT_TRUE(plugin);
    m_graphics = g_lastMade;
    std::string error;
    ASSERT_NE(graphics(), nullptr);
    window = std::make_unique<vsthost::EditorWindow>(*plugin);
    ASSERT_TRUE(window->Open(&error)) << error;
    window->Settle();
    window->Click(kStripX, kStripY + 100); // the splash goes
    window->Settle();
    host.Log().Clear();
}

void InProcessEditor::TearDown()
{
    window.reset();
    if (plugin) plugin->Close();
}

} // namespace e2e
