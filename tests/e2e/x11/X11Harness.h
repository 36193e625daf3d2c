// The X11 e2e tests' fixtures and helpers: the editor opened in a real X11 window on the display
// that scripts/xvfb-run made, from the .so or from the effect linked into this program, driven with
// real input through XTest. What every platform shares is in EditorReference.h.
#pragma once

#include "../EditorReference.h"
#include "EditorWindowX11.h"
#include "VstHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class IGraphicsX11;

namespace e2e {

// The X11 editor the in-process effect was last made with (null before any).
IGraphicsX11* lastMadeX11Editor();

// Skips the test, with the reason, when there is no display to open windows on.
#define E2E_REQUIRE_DISPLAY()                                                                                          \
    do {                                                                                                               \
        if (!::e2e::haveDisplay()) GTEST_SKIP() << "no X display ($DISPLAY); run under scripts/xvfb-run";              \
    } while (0)
bool haveDisplay();

// Opens the editor of `plugin` in a new window, checks its size and lets it paint. Windows open
// at once need frames at different places (`place` 0, 1, ... side by side).
std::unique_ptr<vsthost::X11EditorWindow> openWindow(vsthost::Plugin& plugin, int place = 0);

// Whether a client other than this one holds the pointer, or the keyboard, in an active grab.
bool pointerGrabbedElsewhere(const vsthost::X11Server& server);
bool keyboardGrabbedElsewhere(const vsthost::X11Server& server);

// The server's resources over every client but `except` (the host's own connection).
struct ServerTotals {
    int clients = 0;
    long windows = 0, pixmaps = 0, gcs = 0, total = 0;
    int topLevelWindows = 0;
};
ServerTotals serverTotals(const vsthost::X11Server& server);
std::string describe(const ServerTotals& totals);

// Sets $DISPLAY for the life of the object (unsets it for null) and puts it back afterwards.
class DisplayVariable {
public:
    explicit DisplayVariable(const char* value);
    ~DisplayVariable();
    DisplayVariable(const DisplayVariable&) = delete;
    DisplayVariable& operator=(const DisplayVariable&) = delete;
    // What $DISPLAY was before.
    const std::string& Saved() const { return m_saved; }

private:
    bool m_had = false;
    std::string m_saved;
};

// ---- Fixtures ---------------------------------------------------------------------------------

// The .so loaded and opened (effOpen), with its editor in a real window whose splash has been
// shown and clicked away.
class SoEditor : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    vsthost::Host host;
    std::unique_ptr<vsthost::Plugin> plugin;
    std::unique_ptr<vsthost::X11EditorWindow> window;
};

// The effect linked into this program, loaded through its entry point, with its editor open and
// the splash clicked away. The graphics object is reachable, so tests can change the layout and
// read the layer's ledger.
class InProcessX11Editor : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    IGraphicsX11* graphics() const { return m_graphics; }

    vsthost::Host host;
    IGraphicsX11* m_graphics = nullptr;
    std::unique_ptr<vsthost::Plugin> plugin;
    std::unique_ptr<vsthost::X11EditorWindow> window;
};

} // namespace e2e
