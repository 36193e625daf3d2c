#include "PngOut.h"

#include <png.h>

#include <cstdio>

namespace art {

namespace {

// libpng reports errors by longjmp back into Encode(); nothing with a destructor lives in that
// frame. The message is kept for the caller.
struct EncodeJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    FILE* file = nullptr;
    int width = 0;
    int height = 0;
    int colorType = 0;
    const png_byte* const* rows = nullptr;
    char message[256] = {};
};

void OnError(png_structp png, png_const_charp message)
{
    auto* job = static_cast<EncodeJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message);
    png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

bool Encode(EncodeJob* job)
{
    if (setjmp(png_jmpbuf(job->png))) return false;
    png_init_io(job->png, job->file);
    // The best compression; the filter choice is libpng's adaptive heuristic, which depends on the
    // pixels only.
    png_set_compression_level(job->png, 9);
    png_set_IHDR(job->png, job->info, static_cast<png_uint_32>(job->width), static_cast<png_uint_32>(job->height), 8,
                 job->colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(job->png, job->info);
    png_write_image(job->png, const_cast<png_bytepp>(job->rows));
    png_write_end(job->png, nullptr);
    return true;
}

} // namespace

bool WritePng(const std::string& path, int width, int height, PngFormat format, const std::vector<uint8_t>& pixels,
              std::string* error)
{
    const size_t channels = format == PngFormat::Rgb ? 3 : 4;
    if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * height * channels) {
        *error = path + ": the image data does not match its size";
        return false;
    }
    std::vector<const png_byte*> rows(static_cast<size_t>(height));
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = pixels.data() + y * static_cast<size_t>(width) * channels;

    EncodeJob job;
    job.width = width;
    job.height = height;
    job.colorType = format == PngFormat::Rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA;
    job.rows = rows.data();
    job.file = std::fopen(path.c_str(), "wb");
    if (!job.file) {
        *error = "cannot write " + path;
        return false;
    }
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, OnError, OnWarning);
    if (job.png) job.info = png_create_info_struct(job.png);
    bool ok = job.png && job.info && Encode(&job);
    png_destroy_write_struct(job.png ? &job.png : nullptr, job.info ? &job.info : nullptr);
    ok = std::fclose(job.file) == 0 && ok;
    if (!ok) {
        *error = "cannot write " + path + (job.message[0] ? std::string(": ") + job.message : std::string());
        std::remove(path.c_str());
    }
    return ok;
}

} // namespace art
