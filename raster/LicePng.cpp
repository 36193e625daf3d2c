#include "raster/LicePng.h"

#include <png.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

// libpng reports errors by longjmp back into Decode(). Nothing with a destructor lives in that
// function's frame: everything it makes is recorded in the DecodeJob, which the caller frees
// whether or not the jump happened.

namespace {

struct MemoryCursor {
    const unsigned char* data;
    size_t left;
};

// Reading past the end is an error, as it is for files. Handing out zeros instead would let a
// chunk whose length field claims gigabytes keep libpng reading zeros (to skip it, or to check
// its CRC) for seconds before the data is found bad.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    MemoryCursor* cursor = static_cast<MemoryCursor*>(png_get_io_ptr(png));
    if (count > cursor->left) png_error(png, "unexpected end of data");
    memcpy(out, cursor->data, count);
    cursor->data += count;
    cursor->left -= count;
}

void ReadFromFile(png_structp png, png_bytep out, png_size_t count)
{
    FILE* file = static_cast<FILE*>(png_get_io_ptr(png));
    if (fread(out, 1, count, file) != count) png_error(png, "unexpected end of file");
}

// A plug-in has no console: errors only unwind, warnings are dropped.
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

struct DecodeJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytep* rows = nullptr;
    LICE_IBitmap* target = nullptr;  // the caller's bitmap, or null
    LICE_IBitmap* created = nullptr; // the bitmap made here when the caller passed none
    int width = 0;
    int height = 0;
};

// Asks libpng for alpha, red, green, blue bytes per pixel whatever the stored format.
void RequestArgb(png_structp png, png_infop info)
{
    const int color = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (color == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (color == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (hasTrns) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (depth < 8) png_set_packing(png);
    if (color == PNG_COLOR_TYPE_GRAY || color == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    // After the expansions every image is RGB or RGBA; move alpha first, or put 255 there.
    if ((color & PNG_COLOR_MASK_ALPHA) || hasTrns)
        png_set_swap_alpha(png);
    else
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

// Reads the whole image into the job's bitmap; false on any failure.
bool Decode(DecodeJob* job)
{
    if (setjmp(png_jmpbuf(job->png))) return false;

    png_set_user_limits(job->png, LICE_kMaxDimension, LICE_kMaxDimension);
    png_read_info(job->png, job->info);
    const png_uint_32 w = png_get_image_width(job->png, job->info);
    const png_uint_32 h = png_get_image_height(job->png, job->info);
    if (w == 0 || h == 0 || w > LICE_kMaxDimension || h > LICE_kMaxDimension) return false;
    job->width = static_cast<int>(w);
    job->height = static_cast<int>(h);
    RequestArgb(job->png, job->info);
    if (png_get_rowbytes(job->png, job->info) != static_cast<size_t>(w) * 4) return false;

    LICE_IBitmap* bmp = job->target;
    if (bmp) {
        bmp->Resize(job->width, job->height);
    } else {
        bmp = job->created = new (std::nothrow) LICE_MemBitmap(job->width, job->height);
        if (!bmp) return false;
    }
    if (bmp->Width() != job->width || bmp->Height() != job->height || !bmp->Pixels()) return false;

    job->rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * h));
    if (!job->rows) return false;
    const ptrdiff_t span = bmp->RowSpan();
    unsigned char* top = reinterpret_cast<unsigned char*>(bmp->Pixels());
    for (int i = 0; i < job->height; ++i) {
        const int stored = bmp->IsBottomUp() ? job->height - 1 - i : i;
        job->rows[i] = top + stored * span * 4;
    }
    png_read_image(job->png, job->rows);
    return true;
}

// libpng wrote alpha, red, green, blue bytes; make each pixel the word 0xAARRGGBB.
void PackRows(const DecodeJob& job)
{
    for (int i = 0; i < job.height; ++i) {
        unsigned char* p = job.rows[i];
        for (int x = 0; x < job.width; ++x, p += 4) {
            const LICE_ColorWord word = (static_cast<LICE_ColorWord>(p[0]) << 24) |
                                        (static_cast<LICE_ColorWord>(p[1]) << 16) |
                                        (static_cast<LICE_ColorWord>(p[2]) << 8) | p[3];
            memcpy(p, &word, 4);
        }
    }
}

LICE_IBitmap* Run(png_rw_ptr reader, void* io, int signatureBytesRead, LICE_IBitmap* target)
{
    DecodeJob job;
    job.target = target;
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!job.png) return nullptr;
    job.info = png_create_info_struct(job.png);
    bool ok = false;
    if (job.info) {
        png_set_read_fn(job.png, io, reader);
        png_set_sig_bytes(job.png, signatureBytesRead);
        ok = Decode(&job);
    }
    png_destroy_read_struct(&job.png, job.info ? &job.info : nullptr, nullptr);
    if (ok) PackRows(job);
    free(job.rows);
    if (!ok) {
        delete job.created;
        return nullptr;
    }
    return job.created ? job.created : target;
}

const char* PngExtensions() { return "PNG files (*.PNG)\0*.PNG\0"; }

LICE_ImageLoaderRecord g_pngLoader = {LICE_ReadPngByName, PngExtensions, nullptr};

struct RegisterPngLoader {
    RegisterPngLoader()
    {
        g_pngLoader.next = LICE_ImageLoaderList;
        LICE_ImageLoaderList = &g_pngLoader;
    }
} g_registerPngLoader;

} // namespace

LICE_ImageLoaderRecord* LICE_ImageLoaderList;

LICE_IBitmap* LICE_ReadPngMemory(const void* data, size_t size, LICE_IBitmap* target)
{
    if (!data || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) return nullptr;
    MemoryCursor cursor = {static_cast<const unsigned char*>(data), size};
    return Run(ReadFromMemory, &cursor, 0, target);
}

LICE_IBitmap* LICE_ReadPngResource(LICE_Module module, int id, LICE_IBitmap* target)
{
    const unsigned char* data = nullptr;
    size_t size = 0;
    if (!lice_platform::FindResourceBytes(module, id, "PNG", &data, &size)) return nullptr;
    return LICE_ReadPngMemory(data, size, target);
}

LICE_IBitmap* LICE_ReadPngFile(const char* path, LICE_IBitmap* target)
{
    if (!path) return nullptr;
    FILE* file = fopen(path, "rb");
    if (!file) return nullptr;
    unsigned char signature[8];
    LICE_IBitmap* result = nullptr;
    if (fread(signature, 1, 8, file) == 8 && png_sig_cmp(signature, 0, 8) == 0)
        result = Run(ReadFromFile, file, 8, target);
    fclose(file);
    return result;
}

LICE_IBitmap* LICE_ReadPngByName(const char* path, bool checkExtension, LICE_IBitmap* target)
{
    if (!path) return nullptr;
    if (checkExtension) {
        const char* ext = path + strlen(path);
        while (ext > path && ext[-1] != '.' && ext[-1] != '/' && ext[-1] != '\\') --ext;
        if (ext > path) --ext;
        const char* png = ".png";
        for (int i = 0; i < 5; ++i)
            if (tolower(static_cast<unsigned char>(ext[i])) != png[i]) return nullptr;
    }
    return LICE_ReadPngFile(path, target);
}
