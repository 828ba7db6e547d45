// bitmap_files.h -- Windows bitmap files decoded from memory into 0x00RRGGBB pixels
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Largest file LoadImageA reads: the biggest pixel array a bitmap may claim (PLATFORM_MAX_BITMAP_PIXELS at
// 32 bits) and a megabyte for headers, palette and gaps. Bytes past it are never read.
constexpr size_t PLATFORM_MAX_BITMAP_FILE_BYTES = (size_t(1) << 26) + (size_t(1) << 20);

// Decodes the Windows bitmap file in data[0, size): file header, a core (12-byte) or info (40 bytes and
// longer) header; 1, 2, 4 and 8 bits with a palette, plain or run-length encoded (RLE8, RLE4); 15, 16 and
// 32 bits plain or with channel masks of at most 8 contiguous bits each, and 24 bits. On success fills
// *width, *height and *pixels (width * height values 0x00RRGGBB, top row first) and returns true.
// Returns false, with the outputs cleared, for anything else: not a bitmap, a size outside
// PLATFORM_MAX_BITMAP_SIDE / PLATFORM_MAX_BITMAP_PIXELS (refused before pixel memory is allocated), pixel
// data cut short (plain rows missing, a run-length stream without its end-of-bitmap escape), a
// run-length stream too short to code the claimed pixels (more than 255 pixels for every two bytes,
// refused before pixel memory is allocated), a colour index outside the palette, an unknown compression.
// Reads nothing outside the buffer; the work is linear in size plus the pixel count, and the pixel count
// of a decoded bitmap is at most 128 times the file's size.
bool platformDecodeBitmap(const uint8_t* data, size_t size, int* width, int* height,
                          std::vector<uint32_t>* pixels);
