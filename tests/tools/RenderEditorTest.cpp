// render-editor as a user runs it: the picture it writes and the state it reports after the
// editor options.
#include "ToolHarness.h"
#include "VstHost.h"
#include "raster/LiceBitmap.h"
#include "raster/LicePng.h"

#include <memory>

namespace tooltest {
namespace {

struct RenderCase {
    const char* name;
    std::vector<std::string> options;
    bool splash;         // the splash panel covers the middle
    const char* summary; // in what the tool reports
};

class RenderEditor : public ::testing::TestWithParam<RenderCase> {};

// The splash image's own pixel at its centre, as the editor draws it there.
LICE_ColorWord SplashCentre()
{
    std::unique_ptr<LICE_IBitmap> splash(
        LICE_ReadPngFile(vsthost::NativePath(WAYFARER_SOURCE_DIR "/img/splash.png").c_str(), nullptr));
    return splash ? splash->Pixels()[45 * splash->RowSpan() + 112] | 0xFF000000u : 0;
}

TEST_P(RenderEditor, WritesThePanelAfterTheOptions)
{
    const RenderCase& c = GetParam();
    ScratchDir dir;
    std::vector<std::string> args = {"render-editor", "-o", dir.Path("editor.png")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const RunResult run = RunTool(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("wrote the editor (275 x 212)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(c.summary), std::string::npos) << run.out;

    std::unique_ptr<LICE_IBitmap> picture(LICE_ReadPngFile(dir.Path("editor.png").c_str(), nullptr));
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->Width(), 275);
    ASSERT_EQ(picture->Height(), 212);
    const LICE_ColorWord centre = picture->Pixels()[(61 + 45) * picture->RowSpan() + 25 + 112];
    EXPECT_EQ(centre == SplashCentre(), c.splash) << std::hex << centre;
}

INSTANTIATE_TEST_SUITE_P(
    Tool, RenderEditor,
    ::testing::Values(
        RenderCase{"FirstOpeningShowsTheSplash", {}, true, "Pan = Left, Wet Mix = 0"},
        // Nothing takes the splash down but a click, however often the editor opens.
        RenderCase{"SplashStaysUntilClicked", {"--openings", "4"}, true, "Wet Mix = 0"},
        RenderCase{"ClickHidesTheSplash", {"--click", "137,120"}, false, "Wet Mix = 0"},
        // The first click hides the splash, the second turns "Pan".
        RenderCase{"ClicksReachTheSwitch", {"--click", "5,100", "--click", "60,120"}, false, "Pan = Right"},
        RenderCase{"DragTurnsTheKnob", {"--click", "5,100", "--drag", "137,150:137,-4"}, false, "Wet Mix = 0.75"},
        RenderCase{"StateOptionsFirst", {"-p", "Pan hard left", "--click", "5,100"}, false, "Pan = Right"}),
    ByName());

} // namespace
} // namespace tooltest
