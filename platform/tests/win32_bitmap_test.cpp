// win32_bitmap_test.cpp -- the core's bitmap decoder against SDL's loader (LoadImageA's former reader):
// every shipped and corpus bitmap, generated files of every layout, cut short and with damaged pixel data
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/core/bitmap_files.h"
#include "platform/win32.h"
#include "platform/core/platform_core.h"

namespace {

struct Decoded {
    bool ok = false;
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    bool operator==(const Decoded& o) const {
        return ok == o.ok && width == o.width && height == o.height && pixels == o.pixels;
    }
};

std::ostream& operator<<(std::ostream& out, const Decoded& d) {
    out << (d.ok ? "loaded " : "refused ") << d.width << " x " << d.height;
    for (size_t i = 0; i < d.pixels.size() && i < 4; ++i)
        out << (i ? " " : " [") << std::hex << d.pixels[i] << std::dec;
    return out << (d.pixels.empty() ? "" : " ...]");
}

// LoadImageA's reader before the core decoded bitmaps: the claimed size checked from the headers, then
// SDL_LoadBMP and a conversion to 0x00RRGGBB. The byte above the colour is not part of the pixel (SDL
// left a 32-bit file's fourth byte there).
Decoded sdlDecode(const std::vector<uint8_t>& file) {
    Decoded d;
    if (file.size() < 26 || file[0] != 'B' || file[1] != 'M') return d;
    auto le16 = [&file](size_t at) { return uint32_t(file[at]) | uint32_t(file[at + 1]) << 8; };
    auto le32 = [&](size_t at) { return le16(at) | le16(at + 2) << 16; };
    int64_t w = int32_t(le32(18)), h = int32_t(le32(22));
    if (le32(14) == 12) w = le16(18), h = le16(20);
    w = w < 0 ? -w : w;
    h = h < 0 ? -h : h;
    if (w <= 0 || h <= 0 || w > PLATFORM_MAX_BITMAP_SIDE || h > PLATFORM_MAX_BITMAP_SIDE ||
        w * h > PLATFORM_MAX_BITMAP_PIXELS)
        return d;
    SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), int(file.size())), 1);
    if (!loaded) return d;
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
    SDL_FreeSurface(loaded);
    if (!rgb) return d;
    d.ok = true;
    d.width = rgb->w;
    d.height = rgb->h;
    for (int y = 0; y < rgb->h; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(rgb->pixels) +
                                                                size_t(y) * size_t(rgb->pitch));
        for (int x = 0; x < rgb->w; ++x)
            d.pixels.push_back(row[x] & 0xFFFFFF);
    }
    SDL_FreeSurface(rgb);
    return d;
}

Decoded coreDecode(const std::vector<uint8_t>& file) {
    Decoded d;
    d.ok = platformDecodeBitmap(file.data(), file.size(), &d.width, &d.height, &d.pixels);
    return d;
}

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// What a generated bitmap file holds.
struct Layout {
    uint32_t infoSize = 40; // 12, 40, 56, 108 or 124
    int32_t width = 5, height = 3;
    uint16_t bits = 24;
    uint32_t compression = 0; // 0 plain, 1 RLE8, 2 RLE4, 3 masks
    uint32_t colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    int paletteEntries = 0;
    std::vector<uint8_t> pixelData; // as stored, after the headers and the palette
};

std::vector<uint8_t> bitmapFile(const Layout& l, std::mt19937* rng) {
    std::vector<uint8_t> f = {'B', 'M'};
    auto put = [&f](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            f.push_back(uint8_t(v >> (8 * i)));
    };
    const bool masksAfter = l.compression == 3 && l.infoSize == 40;
    const size_t entry = l.infoSize == 12 ? 3 : 4;
    const size_t offset = 14 + l.infoSize + (masksAfter ? 12 : 0) + entry * size_t(l.paletteEntries);
    put(uint32_t(offset + l.pixelData.size()), 4);
    put(0, 4);
    put(uint32_t(offset), 4);
    put(l.infoSize, 4);
    if (l.infoSize == 12) {
        put(uint32_t(l.width), 2), put(uint32_t(l.height), 2), put(1, 2), put(l.bits, 2);
    } else {
        put(uint32_t(l.width), 4), put(uint32_t(l.height), 4), put(1, 2), put(l.bits, 2);
        put(l.compression, 4), put(uint32_t(l.pixelData.size()), 4), put(2835, 4), put(2835, 4);
        put(l.colorsUsed, 4), put(0, 4);
        for (uint32_t m : l.masks)
            put(m, 4);
        if (l.infoSize >= 56) put(0, 4);
        f.resize(14 + l.infoSize + (masksAfter ? 12 : 0), 0);
    }
    for (int i = 0; i < l.paletteEntries; ++i)
        for (size_t c = 0; c < entry; ++c)
            f.push_back(uint8_t((*rng)()));
    f.insert(f.end(), l.pixelData.begin(), l.pixelData.end());
    return f;
}

// Plain rows of random pixels; indices stay below `colors`.
std::vector<uint8_t> plainRows(const Layout& l, uint32_t colors, std::mt19937* rng) {
    const unsigned bits = l.bits == 15 ? 16 : l.bits;
    const size_t rowBytes = (size_t(l.width) * bits + 7) / 8, stride = (rowBytes + 3) & ~size_t(3);
    const size_t rows = size_t(l.height < 0 ? -l.height : l.height);
    std::vector<uint8_t> data(stride * rows, 0);
    for (size_t y = 0; y < rows; ++y) {
        if (bits > 8) {
            for (size_t i = 0; i < rowBytes; ++i)
                data[y * stride + i] = uint8_t((*rng)());
            continue;
        }
        for (int x = 0; x < l.width; ++x) {
            size_t bit = size_t(x) * bits;
            data[y * stride + bit / 8] |= uint8_t(((*rng)() % colors) << (8 - bits - bit % 8));
        }
    }
    return data;
}

// A run-length stream of random runs, stored runs, line ends and cursor moves, ending with the
// end-of-bitmap escape; some runs go past a row's end or above the image.
std::vector<uint8_t> runLengthStream(bool rle8, std::mt19937* rng) {
    std::vector<uint8_t> s;
    const int pieces = 2 + int((*rng)() % 24);
    for (int p = 0; p < pieces; ++p) {
        switch ((*rng)() % 6) {
        case 0:
        case 1:
            s.push_back(uint8_t(1 + (*rng)() % 9)), s.push_back(uint8_t((*rng)()));
            break;
        case 2: {
            uint8_t n = uint8_t(3 + (*rng)() % 9);
            s.push_back(0), s.push_back(n);
            size_t bytes = rle8 ? n : (n + 1) / 2;
            for (size_t i = 0; i < bytes; ++i)
                s.push_back(uint8_t((*rng)()));
            if (bytes & 1) s.push_back(0);
            break;
        }
        case 3:
        case 4:
            s.push_back(0), s.push_back(0);
            break;
        default:
            s.push_back(0), s.push_back(2), s.push_back(uint8_t((*rng)() % 4)),
                s.push_back(uint8_t((*rng)() % 2));
            break;
        }
    }
    s.push_back(0), s.push_back(1);
    return s;
}

// Every layout the old reader took, with random content.
std::vector<std::pair<std::string, std::vector<uint8_t>>> generatedBitmaps(std::mt19937* rng) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    const int32_t sizes[][2] = {{1, 1}, {5, 3}, {13, 4}, {6, -2}};
    auto add = [&](Layout l, uint32_t colors) {
        for (const auto& size : sizes) {
            l.width = size[0];
            l.height = l.infoSize == 12 ? (size[1] < 0 ? -size[1] : size[1]) : size[1];
            if (l.compression == 1 || l.compression == 2) {
                l.pixelData = runLengthStream(l.compression == 1, rng);
            } else {
                l.pixelData = plainRows(l, colors, rng);
            }
            std::string name = "header " + std::to_string(l.infoSize) + ", " + std::to_string(l.bits) +
                               " bits, compression " + std::to_string(l.compression) + ", colours used " +
                               std::to_string(l.colorsUsed) + ", masks " + std::to_string(l.masks[0]) + "/" +
                               std::to_string(l.masks[1]) + "/" + std::to_string(l.masks[2]) + ", " +
                               std::to_string(l.width) + " x " + std::to_string(l.height);
            files.push_back({name, bitmapFile(l, rng)});
        }
    };
    for (uint32_t info : {12u, 40u, 56u, 108u, 124u}) {
        for (uint16_t bits : {1, 2, 4, 8}) {
            Layout l;
            l.infoSize = info;
            l.bits = bits;
            l.paletteEntries = 1 << bits;
            add(l, 1u << bits);
            if (info != 12 && bits > 1) { // a short colour table, used in full
                l.colorsUsed = l.paletteEntries = 3;
                add(l, 3);
            }
        }
        for (uint16_t bits : {15, 16, 24, 32}) {
            Layout l;
            l.infoSize = info;
            l.bits = bits;
            add(l, 0);
        }
        if (info == 12) continue;
        // Every channel layout of 16, 24 and 32 bits the old reader took with no alpha mask or a zero one.
        const std::vector<std::vector<uint32_t>> masks16 = {{0xF800, 0x07E0, 0x001F},
                                                            {0x001F, 0x07E0, 0xF800},
                                                            {0x7C00, 0x03E0, 0x001F},
                                                            {0x001F, 0x03E0, 0x7C00}};
        const std::vector<std::vector<uint32_t>> masks24 = {{0xFF0000, 0xFF00, 0xFF},
                                                            {0xFF, 0xFF00, 0xFF0000}};
        const std::vector<std::vector<uint32_t>> masks32 = {{0xFF0000, 0xFF00, 0xFF},
                                                            {0xFF, 0xFF00, 0xFF0000},
                                                            {0xFF000000, 0xFF0000, 0xFF00},
                                                            {0xFF00, 0xFF0000, 0xFF000000}};
        for (uint16_t bits : {16, 24, 32})
            for (const auto& m : bits == 16 ? masks16 : bits == 24 ? masks24 : masks32) {
                Layout l;
                l.infoSize = info;
                l.bits = bits;
                l.compression = 3;
                std::copy(m.begin(), m.end(), l.masks);
                add(l, 0);
            }
        for (int variant = 0; variant < 6; ++variant) { // RLE8 and RLE4, also on other index widths
            Layout l;
            l.infoSize = info;
            l.compression = variant % 2 ? 2 : 1;
            l.bits = variant < 2 ? (variant % 2 ? 4 : 8) : variant < 4 ? (variant % 2 ? 8 : 4) : 1;
            l.paletteEntries = 256;
            add(l, 0);
        }
    }
    return files;
}

} // namespace

TEST(BitmapDecoder, EveryShippedAndCorpusBitmapDecodesAsSdlDidAndLoadsFromItsFile) {
    std::vector<std::filesystem::path> files;
    for (const char* dir : {CAVE_ASSETS_DIR, CAVE_XFILES_DIR}) {
        if (!std::filesystem::is_directory(dir)) {
            std::printf("no bitmaps in %s (not present here)\n", dir);
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path().extension() == ".bmp") files.push_back(entry.path());
    }
    ASSERT_GE(files.size(), 3u); // the shipped check, map and block bitmaps at least
    for (const auto& path : files) {
        const std::vector<uint8_t> bytes = readFile(path);
        const Decoded old = sdlDecode(bytes), core = coreDecode(bytes);
        EXPECT_TRUE(old.ok) << path;
        EXPECT_EQ(core, old) << path;
        HANDLE bm =
            LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
        ASSERT_NE(bm, nullptr) << path;
        BITMAP info = {};
        ASSERT_EQ(GetObjectA(bm, sizeof info, &info), int(sizeof info));
        ASSERT_EQ(info.bmWidth, core.width);
        ASSERT_EQ(info.bmHeight, core.height);
        const uint32_t* pixels = platformBitmapPixels(static_cast<HBITMAP>(bm));
        EXPECT_TRUE(std::equal(core.pixels.begin(), core.pixels.end(), pixels)) << path;
        DeleteObject(static_cast<HBITMAP>(bm));
    }
}

TEST(BitmapDecoder, GeneratedLayoutsCutShortAndDamagedDecodeAsSdlDid) {
    std::mt19937 rng(20261207);
    const auto files = generatedBitmaps(&rng);
    ASSERT_GT(files.size(), 250u);
    int loaded = 0, refused = 0;
    for (const auto& [name, file] : files) {
        const Decoded old = sdlDecode(file);
        ASSERT_TRUE(old.ok) << name << ": " << SDL_GetError();
        ASSERT_EQ(coreDecode(file), old) << name;
        // Cut short: in the headers, in the colour table and in the pixels.
        for (size_t cut = 0; cut < file.size(); cut += (cut < 80 || cut + 8 > file.size()) ? 1 : 7) {
            std::vector<uint8_t> part(file.begin(), file.begin() + std::ptrdiff_t(cut));
            Decoded a = sdlDecode(part), b = coreDecode(part);
            ASSERT_EQ(b, a) << name << ", cut to " << cut << " bytes";
            (a.ok ? loaded : refused)++;
        }
        // Damaged colour tables and pixels (the headers as written).
        const size_t body = 14 + (file[14] | file[15] << 8) + (file[30] == 3 && file[14] == 40 ? 12 : 0);
        for (int round = 0; round < 12 && body < file.size(); ++round) {
            std::vector<uint8_t> damaged = file;
            for (int k = 0; k < 1 + round % 3; ++k)
                damaged[body + rng() % (file.size() - body)] = uint8_t(rng());
            Decoded a = sdlDecode(damaged), b = coreDecode(damaged);
            ASSERT_EQ(b, a) << name << ", damaged in round " << round;
            (a.ok ? loaded : refused)++;
        }
    }
    // Both outcomes were compared, not only failures.
    EXPECT_GT(loaded, 1000);
    EXPECT_GT(refused, 1000);
}

TEST(BitmapDecoder, RefusesWhatItCannotReadFaithfully) {
    std::mt19937 rng(7);
    auto refused = [&rng](Layout l) {
        const std::vector<uint8_t> file = bitmapFile(l, &rng);
        Decoded d = coreDecode(file);
        return !d.ok && d.width == 0 && d.height == 0 && d.pixels.empty();
    };
    Layout rle;
    rle.bits = 8, rle.compression = 1, rle.width = 4, rle.height = 2;
    rle.colorsUsed = rle.paletteEntries = 4;
    rle.pixelData = {4, 3, 0, 0, 4, 3, 0, 1};
    EXPECT_FALSE(refused(rle));
    rle.pixelData = {4, 3, 0, 0, 4, 4, 0, 1}; // index 4 of a 4-colour table
    EXPECT_TRUE(refused(rle));
    rle.pixelData = {4, 3, 0, 0, 4, 3}; // no end-of-bitmap escape
    EXPECT_TRUE(refused(rle));

    Layout direct;
    direct.bits = 24, direct.width = 2, direct.height = 2;
    direct.pixelData.assign(16, 0x80);
    EXPECT_FALSE(refused(direct));
    for (uint32_t compression : {4u, 5u, 6u, 0x7FFFFFFFu}) { // JPEG, PNG, alpha masks, unknown
        direct.compression = compression;
        EXPECT_TRUE(refused(direct)) << compression;
    }
    direct.bits = 32, direct.compression = 3, direct.pixelData.assign(16, 0x80);
    const uint32_t badMasks[][3] = {
        {0x3FF00000, 0xFFC00, 0x3FF}, // 10-bit channels
        {0xF0F0, 0x0F00, 0x000F},     // not one run of bits
        {0, 0xFF00, 0xFF},            // a missing channel
        {0xFF, 0xFF, 0xFF},           // one channel three times
    };
    for (const auto& m : badMasks) {
        std::copy(m, m + 3, direct.masks);
        EXPECT_TRUE(refused(direct)) << std::hex << m[0];
    }
    direct.bits = 16, direct.masks[0] = 0x1F0000, direct.masks[1] = 0x7E0, direct.masks[2] = 0x1F;
    EXPECT_TRUE(refused(direct)); // a mask above the pixel's bits

    // Sizes are refused from the headers alone: nothing is allocated for a claim the bytes cannot back.
    Layout huge;
    huge.bits = 8, huge.compression = 1, huge.paletteEntries = 256;
    huge.pixelData = {0, 1};
    huge.width = 4096, huge.height = 4096;
    EXPECT_TRUE(refused(huge)); // exactly PLATFORM_MAX_BITMAP_PIXELS, but two bytes cannot code them
    huge.pixelData.clear();
    for (int row = 0; row < 4096; ++row) {
        for (int x = 0; x < 4096; x += 255)
            huge.pixelData.push_back(uint8_t(4096 - x < 255 ? 4096 - x : 255)), huge.pixelData.push_back(0);
        huge.pixelData.push_back(0), huge.pixelData.push_back(0);
    }
    huge.pixelData.push_back(0), huge.pixelData.push_back(1);
    EXPECT_FALSE(refused(huge)); // every index 0, coded
    huge.height = 4097;
    EXPECT_TRUE(refused(huge));
    std::vector<uint32_t> pixels(3);
    int w = 1, h = 1;
    EXPECT_FALSE(platformDecodeBitmap(nullptr, 0, &w, &h, &pixels));
    EXPECT_TRUE(w == 0 && h == 0 && pixels.empty());
}
