// The Win32 e2e tests' fixtures: the editor opened in a real window, from the DLL or from the
// effect linked into this program. What every platform shares is in EditorReference.h.
#pragma once

#include "EditorReference.h"
#include "EditorWindow.h"
#include "VstHost.h"

#include <gtest/gtest.h>

#include <memory>

class IGraphicsWin32;

namespace e2e {

// ---- Fixtures ---------------------------------------------------------------------------------

// The plug-in DLL loaded and opened (effOpen), with its editor in a real window whose splash has
// been shown and clicked away.
class DllEditor : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens the editor and checks that it shows the editor at its size.
    void openEditor();
    void dismissSplash();

    vsthost::Host host;
    std::unique_ptr<vsthost::Plugin> plugin;
    std::unique_ptr<vsthost::EditorWindow> window;
};

// The effect linked into this program, loaded through its entry point, with its editor open. The
// graphics object is reachable, so tests can change the layout and read the layer's ledger.
class InProcessEditor : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    IGraphicsWin32* graphics() const { return m_graphics; }

    vsthost::Host host;
    IGraphicsWin32* m_graphics = nullptr;
    std::unique_ptr<vsthost::Plugin> plugin;
    std::unique_ptr<vsthost::EditorWindow> window;
};

} // namespace e2e
