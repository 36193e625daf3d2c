// wayfarer-make-art: draws the editor's four images from scratch.
//
//   wayfarer-make-art OUTDIR [--preview FILE.png] [--fonts DIR]
//
// writes korFreeWayfarer.png, splash.png, switch.png and knob.png into OUTDIR and, with
// --preview, the assembled editor panel as it first appears. To regenerate the committed images
// after changing the drawing, from the repository root:
//
//   cmake --build build/native --target wayfarer-make-art
//   build/native/tools/make-art/wayfarer-make-art img --preview /tmp/wayfarer-panel.png
//
// then look at the preview and commit img/*.png together with the change; the art test fails
// while the committed images differ from what this program draws. The output depends only on
// this program and the DejaVu font files (Debian's fonts-dejavu-core, read from
// /usr/share/fonts/truetype/dejavu unless --fonts names another folder): the same run gives the
// same bytes.
#include "Art.h"
#include "raster/LicePngWrite.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr const char* kUsage = "usage: wayfarer-make-art OUTDIR [--preview FILE.png] [--fonts DIR]\n";
constexpr const char* kDefaultFontDir = "/usr/share/fonts/truetype/dejavu";

struct Options {
    std::string outDir;
    std::string preview;
    std::string fontDir = kDefaultFontDir;
};

// False, with the reason in `error`, for anything but one folder and the known options.
bool ParseArgs(const std::vector<std::string>& args, Options* options, std::string* error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--preview" || a == "--fonts") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                *error = a + " needs a value";
                return false;
            }
            (a == "--preview" ? options->preview : options->fontDir) = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            *error = "unknown option " + a;
            return false;
        } else if (a.empty()) {
            *error = "an empty argument";
            return false;
        } else if (options->outDir.empty()) {
            options->outDir = a;
        } else {
            *error = "one output folder expected";
            return false;
        }
    }
    if (options->outDir.empty()) {
        *error = "no output folder given";
        return false;
    }
    return true;
}

// `colorType` is LICE_PNG_RGB (over a black matte) or LICE_PNG_RGBA. The best compression; the
// filter choice is libpng's adaptive heuristic, which depends on the pixels only.
bool Write(const std::string& path, const art::Canvas& canvas, LICE_PngColorType colorType)
{
    const bool alpha = colorType == LICE_PNG_RGBA;
    const std::vector<uint8_t> pixels = alpha ? canvas.ToRgba8() : canvas.ToRgb8(art::Rgb(0, 0, 0));
    LICE_PngImage image;
    image.width = canvas.Width();
    image.height = canvas.Height();
    image.colorType = colorType;
    image.rows = pixels.data();
    image.rowBytes = static_cast<size_t>(canvas.Width()) * (alpha ? 4 : 3);
    image.compressionLevel = 9;
    if (!LICE_WritePngFile(path.c_str(), image)) {
        std::cerr << "wayfarer-make-art: cannot write " << path << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!ParseArgs(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        std::cerr << "wayfarer-make-art: " << error << "\n" << kUsage;
        return 2;
    }

    art::Lettering lettering;
    if (!lettering.Open(options.fontDir, &error)) {
        std::cerr << "wayfarer-make-art: " << error << "\n";
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(options.outDir, ec);
    if (ec) {
        std::cerr << "wayfarer-make-art: cannot create the folder " << options.outDir << ": " << ec.message() << "\n";
        return 1;
    }

    const art::Artwork artwork = art::DrawArtwork(lettering);
    const std::string dir = options.outDir + "/";
    bool ok = Write(dir + "korFreeWayfarer.png", artwork.background, LICE_PNG_RGBA);
    ok = Write(dir + "splash.png", artwork.splash, LICE_PNG_RGB) && ok;
    ok = Write(dir + "switch.png", artwork.switchStrip, LICE_PNG_RGBA) && ok;
    ok = Write(dir + "knob.png", artwork.knobStrip, LICE_PNG_RGBA) && ok;
    if (ok && !options.preview.empty()) {
        // The editor's defaults: "Pan" on "Left", "Wet Mix" centred.
        const art::Canvas preview = art::DrawPreview(artwork, lettering, 0, art::kKnobFrames / 2);
        ok = Write(options.preview, preview, LICE_PNG_RGB);
    }
    return ok ? 0 : 1;
}
