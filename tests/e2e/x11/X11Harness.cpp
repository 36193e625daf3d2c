#include "X11Harness.h"

#include "editor/x11/IGraphicsX11.h"
#include "vst/PluginFactory.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <new>
#include <sstream>

namespace e2e {

namespace {

// The tests make one in-process editor at a time on this thread, and ask for the last one.
IGraphicsX11* g_lastMade = nullptr;

IGraphics* MakeRecordedX11Graphics(IParamOwner* owner, int width, int height, int fps)
{
    auto* gui = new (std::nothrow) IGraphicsX11(owner, width, height, fps);
    g_lastMade = gui;
    return gui;
}

} // namespace

AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host) { return CreateVstEffect(host, MakeRecordedX11Graphics); }

IGraphicsX11* lastMadeX11Editor() { return g_lastMade; }

bool haveDisplay()
{
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return false;
    const vsthost::X11Server server;
    return server.Connected();
}

std::unique_ptr<vsthost::X11EditorWindow> openWindow(vsthost::Plugin& plugin, int place)
{
    auto window = std::make_unique<vsthost::X11EditorWindow>(
        plugin, vsthost::X11EditorWindow::kFrameX + place * (kEditorW + 40), vsthost::X11EditorWindow::kFrameY);
    std::string error;
    EXPECT_TRUE(window->Open(&error)) << error;
    EXPECT_EQ(window->Width(), kEditorW);
    EXPECT_EQ(window->Height(), kEditorH);
    window->Settle();
    return window;
}

bool pointerGrabbedElsewhere(const vsthost::X11Server& server)
{
    Display* display = server.Connection();
    const int result = XGrabPointer(display, DefaultRootWindow(display), False, 0, GrabModeAsync, GrabModeAsync, None,
                                    None, CurrentTime);
    if (result == GrabSuccess) XUngrabPointer(display, CurrentTime);
    XSync(display, False);
    return result == AlreadyGrabbed;
}

bool keyboardGrabbedElsewhere(const vsthost::X11Server& server)
{
    Display* display = server.Connection();
    const int result =
        XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (result == GrabSuccess) XUngrabKeyboard(display, CurrentTime);
    XSync(display, False);
    return result == AlreadyGrabbed;
}

ServerTotals serverTotals(const vsthost::X11Server& server)
{
    ServerTotals totals;
    const auto self = server.Self();
    for (const vsthost::X11ClientResources& client : server.Clients()) {
        if (self && client.base == self->base) continue;
        ++totals.clients;
        totals.windows += client.windows;
        totals.pixmaps += client.pixmaps;
        totals.gcs += client.gcs;
        totals.total += client.total;
    }
    totals.topLevelWindows = static_cast<int>(server.Children(server.Root()).size());
    return totals;
}

std::string describe(const ServerTotals& totals)
{
    std::ostringstream text;
    text << totals.clients << " other clients holding " << totals.windows << " windows, " << totals.pixmaps
         << " pixmaps, " << totals.gcs << " GCs (" << totals.total << " resources); " << totals.topLevelWindows
         << " top-level windows";
    return text.str();
}

DisplayVariable::DisplayVariable(const char* value)
{
    if (const char* old = std::getenv("DISPLAY")) {
        m_had = true;
        m_saved = old;
    }
    if (value)
        setenv("DISPLAY", value, 1);
    else
        unsetenv("DISPLAY");
}

DisplayVariable::~DisplayVariable()
{
    if (m_had)
        setenv("DISPLAY", m_saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

// ---- Fixtures ---------------------------------------------------------------------------------

void SoEditor::SetUp()
{
    E2E_REQUIRE_DISPLAY();
    plugin = openEffect(host, Source::binary);
    ASSERT_TRUE(plugin);
    window = openWindow(*plugin);
    if (HasFailure()) return;
    window->Click(kStripX, kStripY + 100); // the splash goes
    window->Settle();
    host.Log().Clear();
}

void SoEditor::TearDown()
{
    window.reset();
    if (plugin) plugin->Close();
}

void InProcessX11Editor::SetUp()
{
    E2E_REQUIRE_DISPLAY();
    g_lastMade = nullptr;
    plugin = openEffect(host, Source::inProcess);
    ASSERT_TRUE(plugin);
    m_graphics = g_lastMade;
    ASSERT_NE(graphics(), nullptr);
    window = openWindow(*plugin);
    if (HasFailure()) return;
    window->Click(kStripX, kStripY + 100);
    window->Settle();
    host.Log().Clear();
}

void InProcessX11Editor::TearDown()
{
    window.reset();
    if (plugin) plugin->Close();
}

} // namespace e2e
