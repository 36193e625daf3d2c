// The committed editor images (img/*.png): the formats the editor loads them with, what a user
// must be able to read from them, and that wayfarer-make-art still draws exactly them.
#include "raster/LicePng.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kImgDir = WAYFARER_IMG_DIR;
const std::string kGenerator = WAYFARER_MAKE_ART;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// --- Reading PNG files ---------------------------------------------------------------------------

struct PngLayout {
    bool valid = false;
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    std::vector<std::string> chunks;
};

uint32_t BigEndian32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

// The header fields and the chunk names of a PNG file, read straight from its bytes.
PngLayout ReadLayout(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    PngLayout layout;
    if (bytes.size() < 33 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return layout;
    layout.width = BigEndian32(bytes, 16);
    layout.height = BigEndian32(bytes, 20);
    layout.bitDepth = static_cast<unsigned char>(bytes[24]);
    layout.colorType = static_cast<unsigned char>(bytes[25]);
    for (size_t at = 8; at + 8 <= bytes.size();) {
        layout.chunks.push_back(bytes.substr(at + 4, 4));
        at += 12 + size_t{BigEndian32(bytes, at)};
    }
    layout.valid = true;
    return layout;
}

struct Pixel {
    int r, g, b, a;
};

// An image as the editor decodes it.
class Image {
public:
    explicit Image(const std::string& path) : m_bitmap(LICE_ReadPngFile(path.c_str(), nullptr)) {}
    bool Loaded() const { return m_bitmap != nullptr; }
    int Width() const { return m_bitmap ? m_bitmap->Width() : 0; }
    int Height() const { return m_bitmap ? m_bitmap->Height() : 0; }
    Pixel At(int x, int y) const
    {
        const LICE_ColorWord w = m_bitmap->Pixels()[static_cast<size_t>(y) * m_bitmap->RowSpan() + x];
        return Pixel{LICE_GETR(w), LICE_GETG(w), LICE_GETB(w), LICE_GETA(w)};
    }

private:
    std::unique_ptr<LICE_IBitmap> m_bitmap;
};

Image Load(const std::string& name) { return Image(kImgDir + "/" + name); }

double Luminance(const Pixel& p) { return 0.2126 * p.r + 0.7152 * p.g + 0.0722 * p.b; }

// The warm accent that marks state: the knob's pointer and the lit switch button.
bool IsAccent(const Pixel& p) { return p.a > 128 && p.r >= 200 && p.g >= 100 && p.g <= 200 && p.b <= 110; }

// --- Formats -------------------------------------------------------------------------------------

constexpr int kRgb = 2;  // PNG colour type: truecolour
constexpr int kRgba = 6; // truecolour with alpha

struct ImageCase {
    const char* file;
    uint32_t width, height;
    int colorType;
    int frames;
};

const ImageCase kImages[] = {
    {"korFreeWayfarer.png", 275, 212, kRgba, 1},
    {"splash.png", 225, 90, kRgb, 1},
    {"switch.png", 169, 42, kRgba, 2},
    {"knob.png", 77, 5005, kRgba, 65},
};

TEST(MakeArt, ImagesHaveTheFormatsTheEditorLoads)
{
    for (const ImageCase& c : kImages) {
        SCOPED_TRACE(c.file);
        const PngLayout layout = ReadLayout(kImgDir + "/" + c.file);
        ASSERT_TRUE(layout.valid);
        EXPECT_EQ(layout.width, c.width);
        EXPECT_EQ(layout.height, c.height);
        EXPECT_EQ(layout.bitDepth, 8);
        EXPECT_EQ(layout.colorType, c.colorType);
        // Nothing that records when or where a file was made, or it could not be reproduced.
        for (const std::string& chunk : layout.chunks)
            EXPECT_TRUE(chunk == "IHDR" || chunk == "IDAT" || chunk == "IEND") << "chunk " << chunk;

        const Image image = Load(c.file);
        ASSERT_TRUE(image.Loaded());
        ASSERT_EQ(image.Height() % c.frames, 0);
        const int frameHeight = image.Height() / c.frames;
        for (int f = 0; f < c.frames; ++f) {
            int clear = 0, solid = 0, partial = 0;
            for (int y = f * frameHeight; y < (f + 1) * frameHeight; ++y) {
                for (int x = 0; x < image.Width(); ++x) {
                    const int a = image.At(x, y).a;
                    (a == 0 ? clear : a == 255 ? solid : partial)++;
                }
            }
            if (c.file == std::string("korFreeWayfarer.png") || c.colorType == kRgb) {
                EXPECT_EQ(clear + partial, 0) << "frame " << f + 1 << " must be opaque";
            } else {
                // Controls are cut out of their frames with soft edges.
                EXPECT_GT(clear, 0) << "frame " << f + 1;
                EXPECT_GT(solid, 0) << "frame " << f + 1;
                EXPECT_GT(partial, 0) << "frame " << f + 1;
            }
        }
    }
}

// --- What the controls show ----------------------------------------------------------------------

TEST(MakeArt, KnobPointerTurnsFromSevenToFiveOClock)
{
    const struct {
        int frame; // one-based, as the editor counts
        double degrees;
    } cases[] = {{1, -150.0}, {17, -75.0}, {33, 0.0}, {49, 75.0}, {65, 150.0}};
    const Image knob = Load("knob.png");
    ASSERT_TRUE(knob.Loaded());
    for (const auto& c : cases) {
        SCOPED_TRACE("frame " + std::to_string(c.frame));
        const int top = (c.frame - 1) * 77;
        double sumX = 0.0, sumY = 0.0;
        int count = 0;
        for (int y = 0; y < 77; ++y) {
            for (int x = 0; x < 77; ++x) {
                if (!IsAccent(knob.At(x, top + y))) continue;
                sumX += x + 0.5 - 38.5;
                sumY += y + 0.5 - 38.5;
                ++count;
            }
        }
        ASSERT_GT(count, 20) << "no visible pointer";
        const double dx = sumX / count, dy = sumY / count;
        EXPECT_GT(std::hypot(dx, dy), 8.0) << "the pointer should run out from the centre";
        // Clockwise from straight up, y growing downward.
        const double degrees = std::atan2(dx, -dy) * 180.0 / 3.14159265358979323846;
        EXPECT_NEAR(degrees, c.degrees, 3.0);
    }
}

TEST(MakeArt, KnobLightingStaysStillWhileThePointerTurns)
{
    // The pointer of the first and the last frame points downward; above the centre both frames
    // show only the body, which must not have turned with the pointer.
    const Image knob = Load("knob.png");
    ASSERT_TRUE(knob.Loaded());
    int differing = 0;
    for (int y = 0; y < 36; ++y) {
        for (int x = 0; x < 77; ++x) {
            const Pixel a = knob.At(x, y), b = knob.At(x, 64 * 77 + y);
            differing += (a.r != b.r || a.g != b.g || a.b != b.b || a.a != b.a) ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST(MakeArt, SwitchLightsOnlyTheSelectedSide)
{
    const Image strip = Load("switch.png");
    ASSERT_TRUE(strip.Loaded());
    // Frame 1 is "Left", frame 2 "Right".
    for (int frame = 0; frame < 2; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame + 1));
        int lit[2] = {0, 0};
        for (int y = frame * 21; y < (frame + 1) * 21; ++y)
            for (int x = 0; x < 169; ++x) lit[x < 169 / 2 ? 0 : 1] += IsAccent(strip.At(x, y)) ? 1 : 0;
        EXPECT_GT(lit[frame], 30);
        EXPECT_EQ(lit[1 - frame], 0);
    }
}

TEST(MakeArt, BackgroundIsCalmAndLightWhereTheEditorWrites)
{
    // Where the editor sets its dark texts: the "L", "C" and "R" labels and the version.
    const struct {
        const char* what;
        int left, top, right, bottom;
    } areas[] = {
        {"L", 96, 157, 104, 170}, {"R", 171, 157, 179, 170}, {"C", 133, 63, 143, 76}, {"version", 56, 196, 221, 209}};
    const Image bg = Load("korFreeWayfarer.png");
    ASSERT_TRUE(bg.Loaded());
    for (const auto& area : areas) {
        SCOPED_TRACE(area.what);
        double lo = 255.0, hi = 0.0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                const double l = Luminance(bg.At(x, y));
                lo = std::min(lo, l);
                hi = std::max(hi, l);
            }
        }
        EXPECT_GT(lo, 150.0) << "too dark for the label colour (33, 37, 40)";
        EXPECT_LT(hi - lo, 40.0) << "marks under the text";
    }
}

// --- The generator -------------------------------------------------------------------------------

class TempDir {
public:
    TempDir()
    {
        std::string pattern = testing::TempDir() + "make-art-XXXXXX";
        if (mkdtemp(pattern.data())) m_path = pattern;
    }
    ~TempDir()
    {
        if (!m_path.empty()) std::system(("rm -rf '" + m_path + "'").c_str());
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

struct RunResult {
    int exitCode;
    std::string errors;
};

RunResult RunGenerator(const std::string& args, const TempDir& scratch)
{
    const std::string errFile = scratch.Path() + "/stderr.txt";
    const int status = std::system((kGenerator + " " + args + " 2> '" + errFile + "'").c_str());
    return RunResult{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(errFile)};
}

TEST(MakeArt, GeneratorRedrawsTheCommittedImages)
{
    TempDir scratch;
    ASSERT_FALSE(scratch.Path().empty());
    const std::string first = scratch.Path() + "/first";
    const std::string second = scratch.Path() + "/second";
    RunResult run = RunGenerator("'" + first + "' --preview '" + first + "/preview.png'", scratch);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    run = RunGenerator("'" + second + "'", scratch);
    ASSERT_EQ(run.exitCode, 0) << run.errors;

    for (const ImageCase& c : kImages) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(ReadFile(first + "/" + c.file), ReadFile(second + "/" + c.file)) << "two runs differ";
        const Image committed = Load(c.file);
        const Image drawn(first + "/" + c.file);
        ASSERT_TRUE(committed.Loaded() && drawn.Loaded());
        ASSERT_EQ(committed.Width(), drawn.Width());
        ASSERT_EQ(committed.Height(), drawn.Height());
        int differing = 0;
        std::string firstDifference;
        for (int y = 0; y < drawn.Height(); ++y) {
            for (int x = 0; x < drawn.Width(); ++x) {
                const Pixel a = committed.At(x, y), b = drawn.At(x, y);
                if (a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a) continue;
                if (differing++ == 0) firstDifference = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
            }
        }
        EXPECT_EQ(differing, 0) << "first at " << firstDifference
                                << "; regenerate img/ with wayfarer-make-art and commit the result";
    }
    const PngLayout preview = ReadLayout(first + "/preview.png");
    EXPECT_TRUE(preview.valid && preview.width == 275 && preview.height == 212);
}

TEST(MakeArt, GeneratorRefusesBadArguments)
{
    TempDir scratch;
    ASSERT_FALSE(scratch.Path().empty());
    const std::string out = "'" + scratch.Path() + "/out'";
    const struct {
        std::string args;
        int exitCode;
        const char* message;
    } cases[] = {
        {"", 2, "no output folder given"},
        {out + " --frobnicate", 2, "unknown option --frobnicate"},
        {out + " " + out, 2, "one output folder expected"},
        {out + " --preview", 2, "--preview needs a value"},
        {out + " --fonts /nonexistent-font-dir", 1, "cannot open the font /nonexistent-font-dir/DejaVuSans.ttf"},
        {"/dev/null/below-a-file", 1, "cannot create the folder /dev/null/below-a-file"},
        {out + " --preview /dev/null/below-a-file/p.png", 1, "cannot write /dev/null/below-a-file/p.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const RunResult run = RunGenerator(c.args, scratch);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
    }
}

} // namespace
