// bitmap.cpp -- writes and reads 24-bit uncompressed Windows bitmaps
#include "tools/cavegen/bitmap.h"

namespace cavegen {
namespace {

int clampByte(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

std::uint32_t get16(const std::vector<std::uint8_t>& in, std::size_t at) {
    return static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8;
}

std::uint32_t get32(const std::vector<std::uint8_t>& in, std::size_t at) {
    return get16(in, at) | get16(in, at + 2) << 16;
}

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

} // namespace

void Image::set(int x, int y, int r, int g, int b) {
    std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    rgb[at] = static_cast<std::uint8_t>(clampByte(r));
    rgb[at + 1] = static_cast<std::uint8_t>(clampByte(g));
    rgb[at + 2] = static_cast<std::uint8_t>(clampByte(b));
}

std::vector<std::uint8_t> encodeBmp(const Image& image) {
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(image.width) * 3 + 3) & ~3u;
    const std::uint32_t pixelBytes = rowBytes * static_cast<std::uint32_t>(image.height);
    std::vector<std::uint8_t> out;
    out.reserve(kFileHeaderSize + kInfoHeaderSize + pixelBytes);
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    put32(out, kFileHeaderSize + kInfoHeaderSize + pixelBytes); // file size
    put32(out, 0);                                              // reserved
    put32(out, kFileHeaderSize + kInfoHeaderSize);              // offset of the pixels
    // BITMAPINFOHEADER
    put32(out, kInfoHeaderSize);
    put32(out, static_cast<std::uint32_t>(image.width));
    put32(out, static_cast<std::uint32_t>(image.height)); // positive: rows bottom-up
    put16(out, 1);                                        // planes
    put16(out, 24);                                       // bits per pixel
    put32(out, 0);                                        // BI_RGB, no compression
    put32(out, pixelBytes);
    put32(out, 2835); // 72 dots per inch, as pixels per metre
    put32(out, 2835);
    put32(out, 0); // colours used
    put32(out, 0); // important colours
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            out.push_back(static_cast<std::uint8_t>(image.channel(x, y, 2)));
            out.push_back(static_cast<std::uint8_t>(image.channel(x, y, 1)));
            out.push_back(static_cast<std::uint8_t>(image.channel(x, y, 0)));
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(image.width) * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    return out;
}

bool decodeBmp(const std::vector<std::uint8_t>& bytes, Image* image) {
    if (bytes.size() < kFileHeaderSize + kInfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') return false;
    if (get32(bytes, 14) != kInfoHeaderSize || get16(bytes, 26) != 1 || get16(bytes, 28) != 24 ||
        get32(bytes, 30) != 0)
        return false;
    const std::uint32_t width = get32(bytes, 18);
    const std::uint32_t height = get32(bytes, 22);
    const std::uint32_t offset = get32(bytes, 10);
    if (width == 0 || height == 0 || width > 4096 || height > 4096) return false;
    const std::uint32_t rowBytes = (width * 3 + 3) & ~3u;
    if (get32(bytes, 2) != bytes.size() ||
        offset + static_cast<std::size_t>(rowBytes) * height > bytes.size())
        return false;
    Image result(static_cast<int>(width), static_cast<int>(height));
    for (std::uint32_t row = 0; row < height; ++row) {
        std::size_t at = offset + static_cast<std::size_t>(rowBytes) * (height - 1 - row);
        for (std::uint32_t x = 0; x < width; ++x, at += 3)
            result.set(static_cast<int>(x), static_cast<int>(row), bytes[at + 2], bytes[at + 1], bytes[at]);
    }
    *image = result;
    return true;
}

} // namespace cavegen
