// bitmap.h -- RGB images and their encoding as 24-bit Windows bitmap files
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cavegen {

// An RGB image, rows from the top, three bytes (red, green, blue) per pixel.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    Image(int w, int h) : width(w), height(h), rgb(static_cast<std::size_t>(w) * h * 3, 0) {}
    void set(int x, int y, int r, int g, int b);
    // Red, green, blue of pixel (x, y) as 0..255.
    int channel(int x, int y, int c) const { return rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c]; }
};

// The bytes of an uncompressed 24-bit bitmap file (BITMAPFILEHEADER + BITMAPINFOHEADER,
// bottom-up rows in blue-green-red order, each row padded to a multiple of 4 bytes).
std::vector<std::uint8_t> encodeBmp(const Image& image);

// Reads back what encodeBmp writes (24-bit, uncompressed); false for anything else.
bool decodeBmp(const std::vector<std::uint8_t>& bytes, Image* image);

} // namespace cavegen
