// EditorCommon.h: what the editor windows of the test host share on every platform (EditorWindow on
// Windows, X11EditorWindow on Linux): the buttons they press and the pixels they read back, with a
// PNG writer to keep a capture for the record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vsthost {

// Pixels as a window shows them: rows top-down, 4 bytes per pixel in the order R, G, B, A (A is
// always 255).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    bool Empty() const { return width <= 0 || height <= 0; }
    // 0xRRGGBB of the pixel, or 0 outside the image.
    std::uint32_t RgbAt(int x, int y) const;
};

enum class MouseButton { Left, Right };

// Writes an 8-bit RGBA PNG. False when the file cannot be written or the image is empty.
bool WritePng(const Image& image, const std::string& path);

} // namespace vsthost
