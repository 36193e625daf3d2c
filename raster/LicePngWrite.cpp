#include "raster/LicePngWrite.h"

#include "raster/LiceSurface.h"

#include <png.h>

#include <cstdint>
#include <cstdio>

// libpng reports errors by longjmp back into Encode(). Nothing with a destructor lives in that
// function's frame: the row pointers and the output belong to the caller.

namespace {

void Append(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void Flush(png_structp) {}

// A library has no console: errors only unwind, warnings are dropped.
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

int Channels(int colorType)
{
    switch (colorType) {
    case LICE_PNG_GRAY:
    case LICE_PNG_PALETTE: return 1;
    case LICE_PNG_GRAY_ALPHA: return 2;
    case LICE_PNG_RGB: return 3;
    case LICE_PNG_RGBA: return 4;
    default: return 0;
    }
}

struct EncodeJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const LICE_PngImage* image = nullptr;
    png_bytepp rows = nullptr;
    png_color palette[256] = {};
    std::vector<unsigned char>* out = nullptr;
};

bool Encode(EncodeJob* job)
{
    if (setjmp(png_jmpbuf(job->png))) return false;
    const LICE_PngImage& image = *job->image;
    png_set_write_fn(job->png, job->out, Append, Flush);
    if (image.compressionLevel >= 0 && image.compressionLevel <= 9)
        png_set_compression_level(job->png, image.compressionLevel);
    png_set_IHDR(job->png, job->info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
                 image.bitDepth, image.colorType, image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (image.paletteEntries > 0) png_set_PLTE(job->png, job->info, job->palette, image.paletteEntries);
    if (image.paletteAlphas > 0) {
        png_set_tRNS(job->png, job->info, image.paletteAlpha, image.paletteAlphas, nullptr);
    } else if (image.transparentColor) {
        png_color_16 color = {};
        color.gray = image.transparent[0];
        color.red = image.transparent[0];
        color.green = image.transparent[1];
        color.blue = image.transparent[2];
        png_set_tRNS(job->png, job->info, nullptr, 0, &color);
    }
    png_write_info(job->png, job->info);
    // Passes over the rows as often as the interlacing needs.
    png_write_image(job->png, job->rows);
    png_write_end(job->png, job->info);
    return true;
}

bool Describable(const LICE_PngImage& image)
{
    const int channels = Channels(image.colorType);
    if (!channels || image.width <= 0 || image.height <= 0 || !image.rows || image.bitDepth <= 0) return false;
    if (image.paletteEntries < 0 || image.paletteEntries > 256 || (image.paletteEntries > 0 && !image.palette))
        return false;
    if (image.paletteAlphas < 0 || (image.paletteAlphas > 0 && !image.paletteAlpha)) return false;
    const uint64_t bits =
        static_cast<uint64_t>(image.width) * static_cast<uint64_t>(channels) * static_cast<uint64_t>(image.bitDepth);
    return image.rowBytes >= (bits + 7) / 8;
}

bool WriteFile(const char* path, const std::vector<unsigned char>& bytes)
{
    FILE* file = path ? std::fopen(path, "wb") : nullptr;
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::remove(path);
    return ok;
}

} // namespace

bool LICE_WritePng(const LICE_PngImage& image, std::vector<unsigned char>* out)
{
    if (!out) return false;
    out->clear();
    if (!Describable(image)) return false;
    std::vector<png_bytep> rows(static_cast<size_t>(image.height));
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = const_cast<png_bytep>(image.rows + y * image.rowBytes);

    EncodeJob job;
    job.image = &image;
    job.rows = rows.data();
    job.out = out;
    for (int i = 0; i < image.paletteEntries; ++i) {
        const unsigned char* entry = image.palette + 3 * static_cast<size_t>(i);
        job.palette[i] = png_color{entry[0], entry[1], entry[2]};
    }
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (job.png) job.info = png_create_info_struct(job.png);
    const bool ok = job.png && job.info && Encode(&job);
    png_destroy_write_struct(job.png ? &job.png : nullptr, job.info ? &job.info : nullptr);
    if (!ok) out->clear();
    return ok;
}

bool LICE_WritePngFile(const char* path, const LICE_PngImage& image)
{
    std::vector<unsigned char> bytes;
    return LICE_WritePng(image, &bytes) && WriteFile(path, bytes);
}

bool LICE_WritePng(const LICE_IBitmap* bmp, bool alpha, std::vector<unsigned char>* out, int compressionLevel)
{
    if (out) out->clear();
    if (!bmp || !out) return false;
    const lice_detail::Surface s(bmp);
    if (s.Empty()) return false;
    const size_t channels = alpha ? 4 : 3;
    const size_t rowBytes = static_cast<size_t>(s.width) * channels;
    std::vector<unsigned char> bytes(rowBytes * static_cast<size_t>(s.height));
    for (int y = 0; y < s.height; ++y) {
        const LICE_ColorWord* in = s.Row(y);
        unsigned char* row = bytes.data() + static_cast<size_t>(y) * rowBytes;
        for (int x = 0; x < s.width; ++x, row += channels) {
            row[0] = static_cast<unsigned char>(LICE_GETR(in[x]));
            row[1] = static_cast<unsigned char>(LICE_GETG(in[x]));
            row[2] = static_cast<unsigned char>(LICE_GETB(in[x]));
            if (alpha) row[3] = static_cast<unsigned char>(LICE_GETA(in[x]));
        }
    }
    LICE_PngImage image;
    image.width = s.width;
    image.height = s.height;
    image.colorType = alpha ? LICE_PNG_RGBA : LICE_PNG_RGB;
    image.rows = bytes.data();
    image.rowBytes = rowBytes;
    image.compressionLevel = compressionLevel;
    return LICE_WritePng(image, out);
}

bool LICE_WritePngFile(const char* path, const LICE_IBitmap* bmp, bool alpha, int compressionLevel)
{
    std::vector<unsigned char> bytes;
    return LICE_WritePng(bmp, alpha, &bytes, compressionLevel) && WriteFile(path, bytes);
}
