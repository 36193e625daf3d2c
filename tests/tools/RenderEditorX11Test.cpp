// render-editor given the .so on Linux: the editor opens in a real X11 window on the display that
// scripts/xvfb-run made, the editor options arrive as real input, and the picture read back from
// the server is the one the built-in effect's headless rendering draws after the same options,
// pixel for pixel, text included.
#include "ToolHarness.h"
#include "raster/LiceBitmap.h"
#include "raster/LicePng.h"

#include <cstdlib>
#include <memory>

namespace tooltest {
namespace {

bool HaveDisplay()
{
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

// What the tool reports after "wrote the editor (W x H) to FILE; ": the parameters.
std::string Summary(const std::string& out)
{
    const std::string::size_type at = out.find("; ");
    return at == std::string::npos ? out : out.substr(at + 2);
}

struct WindowCase {
    const char* name;
    std::vector<std::string> options;
};

class RenderEditorInAWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(RenderEditorInAWindow, MatchesTheHeadlessRendering)
{
    if (!HaveDisplay()) GTEST_SKIP() << "no X display ($DISPLAY); run under scripts/xvfb-run";
    const WindowCase& c = GetParam();
    ScratchDir dir;
    std::vector<std::string> windowArgs = {"render-editor", PluginPath(), "-o", dir.Path("window.png")};
    std::vector<std::string> headlessArgs = {"render-editor", "-o", dir.Path("headless.png")};
    windowArgs.insert(windowArgs.end(), c.options.begin(), c.options.end());
    headlessArgs.insert(headlessArgs.end(), c.options.begin(), c.options.end());
    const RunResult window = RunTool(windowArgs);
    ASSERT_EQ(window.status, 0) << window.err;
    const RunResult headless = RunTool(headlessArgs);
    ASSERT_EQ(headless.status, 0) << headless.err;
    EXPECT_NE(window.out.find("wrote the editor (275 x 212)"), std::string::npos) << window.out;
    EXPECT_EQ(Summary(window.out), Summary(headless.out));

    std::unique_ptr<LICE_IBitmap> shown(LICE_ReadPngFile(dir.Path("window.png").c_str(), nullptr));
    std::unique_ptr<LICE_IBitmap> drawn(LICE_ReadPngFile(dir.Path("headless.png").c_str(), nullptr));
    ASSERT_TRUE(shown && drawn);
    ASSERT_EQ(shown->Width(), drawn->Width());
    ASSERT_EQ(shown->Height(), drawn->Height());
    int differ = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < shown->Height(); ++y) {
        for (int x = 0; x < shown->Width(); ++x) {
            if (shown->Pixels()[y * shown->RowSpan() + x] == drawn->Pixels()[y * drawn->RowSpan() + x]) continue;
            if (differ++ == 0) {
                firstX = x;
                firstY = y;
            }
        }
    }
    EXPECT_EQ(differ, 0) << "first at (" << firstX << ", " << firstY << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Tool, RenderEditorInAWindow,
    ::testing::Values(WindowCase{"FirstOpeningShowsTheSplash", {}},
                      WindowCase{"NoSplashAfterThreeOpenings", {"--openings", "4"}},
                      WindowCase{"ClickHidesTheSplash", {"--click", "137,120"}},
                      WindowCase{"ClicksReachTheSwitch", {"--click", "5,100", "--click", "60,120"}},
                      // Up past the stop, and out of the window: the pointer grab keeps the drag.
                      WindowCase{"DragTurnsTheKnob", {"--click", "5,100", "--drag", "137,150:137,-4"}},
                      WindowCase{"WheelTurnsTheKnob", {"--click", "5,100", "--wheel", "137,120:-7"}},
                      WindowCase{"DoubleClickResetsTheKnob",
                                 {"--click", "5,100", "--wheel", "137,120:9", "--double-click", "137,120"}},
                      WindowCase{"StateOptionsFirst", {"-p", "Pan hard left", "--param", "Wet Mix=0.3"}}),
    ByName());

TEST(RenderEditorInAWindow, WithoutADisplayFailsAndSaysWhy)
{
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display != nullptr ? display : "";
    unsetenv("DISPLAY");
    ScratchDir dir;
    const RunResult run = RunTool({"render-editor", PluginPath(), "-o", dir.Path("never.png")});
    if (display != nullptr) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no X display"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("scripts/xvfb-run"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(dir.Path("never.png")));
}

} // namespace
} // namespace tooltest
