#pragma once
// Writing the artwork as PNG files that are the same bytes on every run: fixed zlib settings and
// no chunk that records when or where the file was made (no tIME, no text).

#include <cstdint>
#include <string>
#include <vector>

namespace art {

enum class PngFormat {
    Rgb,  // colour type 2: three bytes a pixel, no alpha
    Rgba, // colour type 6: four bytes a pixel, straight alpha
};

// Writes `pixels` (rows top to bottom, 3 or 4 bytes a pixel as `format` says) to `path`. False,
// with a message in `error`, when the size does not match the data or the file cannot be written;
// a partly written file is removed.
bool WritePng(const std::string& path, int width, int height, PngFormat format, const std::vector<uint8_t>& pixels,
              std::string* error);

} // namespace art
