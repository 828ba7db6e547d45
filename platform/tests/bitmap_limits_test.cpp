// bitmap_limits_test.cpp -- bitmaps cost what their bytes can encode: short files claiming huge sizes are
// refused before pixel memory is taken, complete bitmaps up to the size limits load pixel-exact
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/core/bitmap_files.h"
#include "platform/win32.h"

// The largest single allocation made since the last reset: the decoder's pixel memory shows here.
static size_t largestAllocation = 0;

void* operator new(size_t size) {
    if (size > largestAllocation) largestAllocation = size;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

void put(std::vector<uint8_t>* f, uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        f->push_back(uint8_t(v >> (8 * i)));
}

// A bitmap file with a 40-byte info header, a palette of `colors` entries (entry i is colour(i)) and
// the given pixel data.
uint32_t colour(uint32_t i) {
    return (i * 0x3B5D1Fu + 0x102030u) & 0xFFFFFFu;
}
std::vector<uint8_t> bitmapFile(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                                uint32_t colors, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> f = {'B', 'M'};
    const uint32_t offset = 14 + 40 + 4 * colors;
    put(&f, uint32_t(offset + data.size()), 4);
    put(&f, 0, 4);
    put(&f, offset, 4);
    put(&f, 40, 4);
    put(&f, uint32_t(width), 4), put(&f, uint32_t(height), 4), put(&f, 1, 2), put(&f, bits, 2);
    put(&f, compression, 4), put(&f, uint32_t(data.size()), 4), put(&f, 2835, 4), put(&f, 2835, 4);
    put(&f, colors, 4), put(&f, 0, 4);
    for (uint32_t i = 0; i < colors; ++i)
        put(&f, colour(i), 4); // blue, green, red, 0
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

struct Decoded {
    bool ok;
    int width, height;
    std::vector<uint32_t> pixels;
    size_t largest; // largest allocation while decoding
};

Decoded decode(const std::vector<uint8_t>& file) {
    Decoded d{};
    largestAllocation = 0;
    d.ok = platformDecodeBitmap(file.data(), file.size(), &d.width, &d.height, &d.pixels);
    d.largest = largestAllocation;
    return d;
}

// Every pixel is the palette colour of index(x, y), y counted from the top row.
template <typename Index>
::testing::AssertionResult exact(const Decoded& d, int width, int height, Index index) {
    if (!d.ok || d.width != width || d.height != height || d.pixels.size() != size_t(width) * size_t(height))
        return ::testing::AssertionFailure() << "not decoded at " << width << " x " << height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (d.pixels[size_t(y) * size_t(width) + size_t(x)] != colour(index(x, y)))
                return ::testing::AssertionFailure() << "pixel " << x << ", " << y;
    return ::testing::AssertionSuccess();
}

} // namespace

// The 31-byte run-length file that claims 2835 x 5904 pixels (its stream cut short inside the header),
// the same claim with whole headers and a few bytes of stream, with or without its end-of-bitmap escape:
// all refused, none taking more than a few kB. At the bound (255 pixels for every two bytes of stream) a
// bitmap still loads; one pixel more is refused.
TEST(BitmapLimits, ShortFilesClaimingHugeSizesAreRefusedBeforeTheirPixelMemory) {
    std::vector<uint8_t> tiny = bitmapFile(2835, 5904, 4, 2, 16, {0x10, 0x12, 0x04});
    tiny.resize(31);
    Decoded d = decode(tiny);
    EXPECT_FALSE(d.ok);
    EXPECT_LT(d.largest, size_t(4096));
    char path[] = "/tmp/cave-rle4-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, tiny.data(), tiny.size()), ssize_t(tiny.size()));
    close(fd);
    EXPECT_EQ(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    unlink(path);

    const std::vector<std::vector<uint8_t>> streams = {
        {0x10, 0x12, 0x04},                   // cut short
        {0xFF, 0x12, 0xFF, 0x34, 0x00, 0x01}, // whole, but coding 510 pixels at most
        {0x00, 0x02, 0xFF, 0xFF, 0x00, 0x01}, // a cursor move over much of the image, then the end
    };
    for (uint32_t compression : {1u, 2u}) {
        for (const auto& stream : streams) {
            d = decode(bitmapFile(2835, 5904, compression == 1 ? 8 : 4, compression, 16, stream));
            EXPECT_FALSE(d.ok);
            EXPECT_LT(d.largest, size_t(4096)) << stream.size() << " bytes of stream";
        }
    }

    // Two runs and the end: six bytes of stream code 765 pixels at most.
    const std::vector<uint8_t> twoRuns = {0xFF, 0x12, 0xFF, 0x34, 0x00, 0x01};
    d = decode(bitmapFile(765, 1, 4, 2, 16, twoRuns));
    EXPECT_TRUE(exact(d, 765, 1, [](int x, int) {
        return x < 255 ? (x % 2 ? 2 : 1) : x < 510 ? (x % 2 ? 3 : 4) : 0;
    }));
    d = decode(bitmapFile(766, 1, 4, 2, 16, twoRuns));
    EXPECT_FALSE(d.ok);
}

// Complete bitmaps at the size limits load pixel-exact: run-length 4-bit at the 2835 x 5904 of the claim
// above, run-length 8-bit at 4096 x 4096 (the pixel limit), plain 4-bit at 16384 x 1024 (the side limit).
TEST(BitmapLimits, CompleteBitmapsUpToTheLimitsLoadPixelExact) {
    {
        const int w = 2835, h = 5904;
        auto index = [](int x, int y) { return uint32_t(x % 2 ? (3 * y + 1) % 16 : y % 16); };
        std::vector<uint8_t> stream;
        for (int row = 0; row < h; ++row) { // stored bottom row first
            const int y = h - 1 - row;
            for (int x = 0; x < w; x += 254) {
                int run = w - x < 254 ? w - x : 254; // even runs keep the two indices in step
                stream.push_back(uint8_t(run));
                stream.push_back(uint8_t(index(0, y) << 4 | index(1, y)));
            }
            stream.push_back(0), stream.push_back(0);
        }
        stream.push_back(0), stream.push_back(1);
        EXPECT_TRUE(exact(decode(bitmapFile(w, h, 4, 2, 16, stream)), w, h, index));
    }
    {
        const int w = 4096, h = 4096;
        auto index = [](int x, int y) { return uint32_t((x / 255 + y) % 256); };
        std::vector<uint8_t> stream;
        for (int row = 0; row < h; ++row) {
            const int y = h - 1 - row;
            for (int x = 0; x < w; x += 255) {
                stream.push_back(uint8_t(w - x < 255 ? w - x : 255));
                stream.push_back(uint8_t(index(x, y)));
            }
            stream.push_back(0), stream.push_back(0);
        }
        stream.push_back(0), stream.push_back(1);
        EXPECT_TRUE(exact(decode(bitmapFile(w, h, 8, 1, 256, stream)), w, h, index));
    }
    {
        const int w = 16384, h = 1024;
        auto index = [](int x, int y) { return uint32_t((x ^ y) % 16); };
        std::vector<uint8_t> rows(size_t(w / 2) * h);
        for (int row = 0; row < h; ++row)
            for (int x = 0; x < w; x += 2)
                rows[size_t(row) * (w / 2) + size_t(x / 2)] =
                    uint8_t(index(x, h - 1 - row) << 4 | index(x + 1, h - 1 - row));
        std::vector<uint8_t> file = bitmapFile(w, h, 4, 0, 16, rows);
        EXPECT_TRUE(exact(decode(file), w, h, index));
        file.resize(file.size() - 4096); // its last half row missing
        EXPECT_FALSE(decode(file).ok);
    }
}
