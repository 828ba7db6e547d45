// bitmap_files.cpp -- Windows bitmap files: LoadImageA's file reading and the decoder from memory
#include "platform/core/bitmap_files.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <cstdio>
#include <filesystem>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/win32.h"
#include "platform/core/platform_core.h"

// stb_image decodes the direct-colour pixel arrays. Only its bitmap reader is compiled, reading from
// memory, with its functions local to this file.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#include <stb_image.h>

namespace {

constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3;
constexpr size_t FILE_HEADER_BYTES = 14;
constexpr uint64_t MAX_PIXELS_PER_RUN = 255; // pixels one two-byte run of a run-length stream codes at most

// Little-endian fields of the buffer; callers check the range first.
struct Bytes {
    const uint8_t* data;
    size_t size;
    bool has(uint64_t at, uint64_t count) const { return at <= size && count <= size - at; }
    uint32_t u16(size_t at) const { return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8; }
    uint32_t u32(size_t at) const { return u16(at) | u16(at + 2) << 16; }
};

// What the headers say, in the terms the pixel readers need.
struct Layout {
    uint32_t infoSize; // 12 for the core header
    int64_t width;     // > 0
    int64_t height;    // rows, > 0
    bool topDown;      // a negative height in the info header: the first stored row is the top one
    unsigned bits;     // 1, 2, 4, 8 (indexed), 15, 16, 24 or 32 (direct colour)
    uint32_t compression;
    uint32_t colorsUsed; // 0: as many as the indices can name
    uint32_t masks[3];   // red, green, blue of 15-, 16- and 32-bit pixels
    uint32_t offset;     // of the pixel data from the start of the file
};

bool indexed(unsigned bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8;
}

// Width of a channel mask the readers take: one run of 4, 5, 6 or 8 set bits inside the pixel; 0 for any
// other mask.
unsigned channelBits(uint32_t mask, unsigned pixelBits) {
    if (mask == 0 || (pixelBits < 32 && mask >> pixelBits != 0)) return 0;
    uint32_t run = mask >> __builtin_ctz(mask);
    if ((run & (run + 1)) != 0) return 0; // not one run
    unsigned width = unsigned(__builtin_popcount(run));
    return (width == 4 || width == 5 || width == 6 || width == 8) ? width : 0;
}

bool readLayout(const Bytes& in, Layout* l) {
    if (!in.has(0, 26) || in.data[0] != 'B' || in.data[1] != 'M') return false;
    l->offset = in.u32(10);
    l->infoSize = in.u32(14);
    l->masks[0] = l->masks[1] = l->masks[2] = 0;
    if (l->infoSize == 12) { // BITMAPCOREHEADER: unsigned 16-bit sizes, no compression, full palette
        l->width = in.u16(18);
        l->height = in.u16(20);
        l->topDown = false;
        l->bits = in.u16(24);
        l->compression = BI_RGB;
        l->colorsUsed = 0;
    } else if (l->infoSize >= 40) { // BITMAPINFOHEADER and its successors
        if (!in.has(0, 54)) return false;
        l->width = int32_t(in.u32(18));
        int64_t h = int32_t(in.u32(22));
        l->topDown = h < 0;
        l->height = h < 0 ? -h : h;
        l->bits = in.u16(28);
        l->compression = in.u32(30);
        l->colorsUsed = in.u32(46);
        // Channel masks follow the 40 bytes: as the colour table of a plain info header or inside a longer
        // one (the 64-byte OS/2 header has none). Longer headers hold them whether or not they are used,
        // and the alpha mask after them from 56 bytes on.
        bool bitfields = l->compression == BI_BITFIELDS;
        if (bitfields && l->infoSize == 64) return false;
        size_t maskBytes = (bitfields || (l->infoSize >= 52 && l->infoSize != 64)) ? 12 : 0;
        if (l->infoSize >= 56 && l->infoSize != 64) maskBytes += 4;
        if (!in.has(54, maskBytes)) return false;
        if (bitfields)
            for (int c = 0; c < 3; ++c)
                l->masks[c] = in.u32(54 + 4 * size_t(c));
    } else {
        return false;
    }
    if (l->width <= 0 || l->height <= 0 || l->width > PLATFORM_MAX_BITMAP_SIDE ||
        l->height > PLATFORM_MAX_BITMAP_SIDE || l->width * l->height > PLATFORM_MAX_BITMAP_PIXELS)
        return false;

    switch (l->compression) {
    case BI_RGB:
        if (indexed(l->bits) || l->bits == 24) return true;
        if (l->bits == 15 || l->bits == 16) {
            l->masks[0] = 0x7C00, l->masks[1] = 0x03E0, l->masks[2] = 0x001F;
            return true;
        }
        if (l->bits == 32) {
            l->masks[0] = 0xFF0000, l->masks[1] = 0x00FF00, l->masks[2] = 0x0000FF;
            return true;
        }
        return false;
    case BI_RLE8:
    case BI_RLE4:
        return indexed(l->bits);
    case BI_BITFIELDS:
        if (l->bits != 15 && l->bits != 16 && l->bits != 24 && l->bits != 32) return false;
        for (uint32_t mask : l->masks)
            if (channelBits(mask, l->bits == 15 ? 16 : l->bits) == 0) return false;
        return !(l->masks[0] == l->masks[1] && l->masks[1] == l->masks[2]);
    default: // JPEG or PNG inside, or unknown
        return false;
    }
}

// The colour table: colorsUsed entries (all 256 when 0 or more than 256) of 3 bytes after a core header,
// 4 after an info header, blue first. A byte past the end of the file reads as 0xFF.
std::vector<uint32_t> readPalette(const Bytes& in, const Layout& l) {
    uint32_t count = (l.colorsUsed == 0 || l.colorsUsed > 256) ? 256 : l.colorsUsed;
    size_t entryBytes = l.infoSize == 12 ? 3 : 4;
    size_t at = FILE_HEADER_BYTES + l.infoSize;
    std::vector<uint32_t> palette(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t rgb = 0;
        for (size_t c = 0; c < 3; ++c) {
            uint64_t pos = uint64_t(at) + i * entryBytes + c;
            uint32_t v = in.has(pos, 1) ? in.data[pos] : 0xFF;
            rgb |= v << (8 * c);
        }
        palette[i] = rgb;
    }
    return palette;
}

// Plain indexed rows, bottom row first unless top-down, each padded to 4 bytes; the last row's padding
// may be missing from 1-, 2- and 4-bit files.
bool readIndexedRows(const Bytes& in, const Layout& l, std::vector<uint8_t>* index) {
    uint64_t rowBytes = (uint64_t(l.width) * l.bits + 7) / 8;
    uint64_t stride = (rowBytes + 3) & ~uint64_t(3);
    uint64_t needed = stride * uint64_t(l.height - 1) + (l.bits == 8 ? stride : rowBytes);
    if (!in.has(l.offset, needed)) return false;
    const size_t w = size_t(l.width), h = size_t(l.height);
    index->assign(w * h, 0);
    const unsigned perByte = 8 / l.bits, mask = (1u << l.bits) - 1;
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* row = in.data + l.offset + y * stride;
        uint8_t* out = index->data() + (l.topDown ? y : h - 1 - y) * w;
        for (size_t x = 0; x < w; ++x) {
            unsigned shift = 8 - l.bits * (unsigned(x % perByte) + 1);
            out[x] = uint8_t((row[x / perByte] >> shift) & mask);
        }
    }
    return true;
}

// Run-length encoded indices (RLE8, or RLE4 with two alternating 4-bit indices per byte). Rows are laid
// from the bottom up whatever the height's sign; a run that goes past a row's end continues into the row
// below it in memory, positions outside the image are skipped, and positions never written stay index 0.
// The stream must end with the end-of-bitmap escape, and it must be long enough to code the pixels the
// headers claim: a run codes at most 255 pixels in two bytes and nothing codes more per byte, so a bitmap
// claiming more than 255 pixels for every two bytes of its stream is refused before any pixel memory is
// taken. A short file then costs at most about 128 pixels per byte, whatever size it claims.
bool readRunLengthRows(const Bytes& in, const Layout& l, std::vector<uint8_t>* index) {
    const bool rle8 = l.compression == BI_RLE8;
    const int64_t w = l.width, h = l.height;
    size_t at = l.offset;
    if (at > in.size || uint64_t(w) * uint64_t(h) > MAX_PIXELS_PER_RUN * uint64_t((in.size - at) / 2))
        return false;
    const int64_t pitch = (w + 3) & ~int64_t(3); // rows of an 8-bit image in memory, padded to 4 bytes
    const int64_t total = pitch * h;
    std::vector<uint8_t> image(size_t(total), 0);
    int64_t row = (h - 1) * pitch, column = 0;
    auto next = [&](uint8_t* v) {
        if (at >= in.size) return false;
        *v = in.data[at++];
        return true;
    };
    // Writes `count` pixels from the cursor, pixel k being pixelAt(k), and moves the cursor past them.
    auto put = [&](int64_t count, auto pixelAt) {
        int64_t start = row + column;
        int64_t first = std::max<int64_t>(0, -start), end = std::min<int64_t>(count, total - start);
        for (int64_t k = first; k < end; ++k)
            image[size_t(start + k)] = pixelAt(k);
        column += count;
    };
    for (;;) {
        uint8_t count, value;
        if (!next(&count) || !next(&value)) return false;
        if (count != 0) { // a run of one index, or of two alternating ones
            uint8_t hi = rle8 ? value : uint8_t(value >> 4), lo = rle8 ? value : uint8_t(value & 0x0F);
            put(count, [&](int64_t k) { return (k & 1) ? lo : hi; });
            continue;
        }
        switch (value) {
        case 0: // end of line
            column = 0;
            row -= pitch;
            break;
        case 1: // end of bitmap
            index->assign(size_t(w * h), 0);
            for (int64_t y = 0; y < h; ++y)
                std::memcpy(index->data() + y * w, image.data() + y * pitch, size_t(w));
            return true;
        case 2: { // move the cursor right and up
            uint8_t dx, dy;
            if (!next(&dx) || !next(&dy)) return false;
            column += dx;
            row -= int64_t(dy) * pitch;
            break;
        }
        default: { // `value` indices stored as they are, padded to an even number of bytes
            size_t bytes = rle8 ? value : (size_t(value) + 1) / 2;
            if (!in.has(at, bytes)) return false;
            const uint8_t* src = in.data + at;
            put(value, [&](int64_t k) {
                return rle8 ? src[k] : uint8_t((k & 1) ? src[k / 2] & 0x0F : src[k / 2] >> 4);
            });
            at += bytes;
            uint8_t pad;
            if ((bytes & 1) && !next(&pad)) return false;
            break;
        }
        }
    }
}

// Plain direct-colour rows of 2-, 3- or 4-byte pixels, each padded to 4 bytes.
bool directRowsPresent(const Bytes& in, const Layout& l, uint64_t* stride) {
    const unsigned bytesPerPixel = l.bits == 24 ? 3 : l.bits == 32 ? 4 : 2;
    *stride = (uint64_t(l.width) * bytesPerPixel + 3) & ~uint64_t(3);
    return in.has(l.offset, *stride * uint64_t(l.height));
}

// Channels narrower than 8 bits, or 24-bit pixels with masks, read here: a channel value v of n bits
// becomes v * 255 / (2^n - 1), rounded down, except the green of red-high 5-6-5 pixels, which becomes
// 4v + v / 24. These are the colours LoadImageA has always given such bitmaps.
bool readMaskedPixels(const Bytes& in, const Layout& l, std::vector<uint32_t>* pixels) {
    uint64_t stride;
    if (!directRowsPresent(in, l, &stride)) return false;
    const unsigned bytesPerPixel = l.bits == 24 ? 3 : l.bits == 32 ? 4 : 2;
    const bool green565 = l.masks[0] == 0xF800 && l.masks[1] == 0x07E0 && l.masks[2] == 0x001F;
    unsigned shift[3], max[3];
    for (int c = 0; c < 3; ++c) {
        shift[c] = unsigned(__builtin_ctz(l.masks[c]));
        max[c] = l.masks[c] >> shift[c];
    }
    const size_t w = size_t(l.width), h = size_t(l.height);
    pixels->resize(w * h);
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* row = in.data + l.offset + y * stride;
        uint32_t* out = pixels->data() + (l.topDown ? y : h - 1 - y) * w;
        for (size_t x = 0; x < w; ++x) {
            uint32_t v = 0;
            for (unsigned b = 0; b < bytesPerPixel; ++b)
                v |= uint32_t(row[x * bytesPerPixel + b]) << (8 * b);
            uint32_t rgb = 0;
            for (int c = 0; c < 3; ++c) {
                uint32_t channel = (v & l.masks[c]) >> shift[c];
                channel = (c == 1 && green565) ? 4 * channel + channel / 24 : channel * 255 / max[c];
                rgb = rgb << 8 | channel;
            }
            out[x] = rgb;
        }
    }
    return true;
}

// Plain 24-bit pixels and 32-bit pixels of 8-bit channels through stb_image. It is handed a plain copy: a
// 40-byte info header with the masks worked out above and the pixel rows, so that every header form reads
// the same way.
bool readWithStb(const Bytes& in, const Layout& l, std::vector<uint32_t>* pixels) {
    uint64_t stride;
    if (!directRowsPresent(in, l, &stride)) return false;
    const uint64_t data = stride * uint64_t(l.height);
    const bool masked = l.bits == 32;
    const size_t header = FILE_HEADER_BYTES + 40 + (masked ? 12 : 0);
    std::vector<uint8_t> plain(header + size_t(data), 0);
    auto put = [&plain](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            plain[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    plain[0] = 'B', plain[1] = 'M';
    put(2, uint32_t(plain.size()), 4);
    put(10, uint32_t(header), 4);
    put(14, 40, 4);
    put(18, uint32_t(l.width), 4);
    put(22, uint32_t(l.topDown ? -l.height : l.height), 4);
    put(26, 1, 2);
    put(28, l.bits, 2);
    put(30, masked ? BI_BITFIELDS : BI_RGB, 4);
    if (masked)
        for (int c = 0; c < 3; ++c)
            put(54 + 4 * size_t(c), l.masks[c], 4);
    std::memcpy(plain.data() + header, in.data + l.offset, size_t(data));

    int w = 0, h = 0, channels = 0;
    stbi_uc* rgb = stbi_load_from_memory(plain.data(), int(plain.size()), &w, &h, &channels, 3);
    if (!rgb) return false;
    bool ok = w == l.width && h == l.height;
    if (ok) {
        pixels->resize(size_t(w) * size_t(h));
        for (size_t i = 0; i < pixels->size(); ++i)
            (*pixels)[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    }
    stbi_image_free(rgb);
    return ok;
}

// stb_image reads plain 24-bit pixels and 32-bit ones of 8-bit channels exactly; narrower channels it
// widens differently, and it takes no masks on 24-bit pixels.
bool stbReads(const Layout& l) {
    if (l.bits == 24) return l.compression == BI_RGB;
    if (l.bits != 32) return false;
    for (uint32_t mask : l.masks)
        if (channelBits(mask, 32) != 8) return false;
    return true;
}

} // namespace

bool platformDecodeBitmap(const uint8_t* data, size_t size, int* width, int* height,
                          std::vector<uint32_t>* pixels) {
    *width = *height = 0;
    pixels->clear();
    if (!data) return false;
    const Bytes in = {data, size};
    Layout l;
    if (!readLayout(in, &l)) return false;

    if (indexed(l.bits)) {
        std::vector<uint8_t> index;
        bool read =
            l.compression == BI_RGB ? readIndexedRows(in, l, &index) : readRunLengthRows(in, l, &index);
        if (!read) return false;
        const std::vector<uint32_t> palette = readPalette(in, l);
        pixels->resize(index.size());
        for (size_t i = 0; i < index.size(); ++i) {
            if (index[i] >= palette.size()) { // a colour the table does not have
                pixels->clear();
                return false;
            }
            (*pixels)[i] = palette[index[i]];
        }
    } else if (!(stbReads(l) ? readWithStb(in, l, pixels) : readMaskedPixels(in, l, pixels))) {
        pixels->clear();
        return false;
    }
    *width = int(l.width);
    *height = int(l.height);
    return true;
}

namespace {

// The bytes of a plain file, up to the largest file a bitmap can need whatever size the file claims,
// read in pieces. False for a file that is missing, unreadable or not a plain file: opening a named pipe
// would wait for a writer, and a device may never end.
bool readPlainFile(const char* name, std::vector<uint8_t>& bytes) {
#ifdef _WIN32
    // No open without waiting here: the name must be a plain file (not a pipe or a device such as CON).
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error)) return false;
    FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return false;
#else
    // Opened without waiting and checked on the open file, so that nothing can be swapped in between.
    int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
#endif
    bytes.clear();
    bool ok = true;
    for (;;) {
        size_t have = bytes.size();
        size_t piece = std::min<size_t>(size_t(1) << 20, PLATFORM_MAX_BITMAP_FILE_BYTES - have);
        if (piece == 0) break;
        bytes.resize(have + piece);
#ifdef _WIN32
        size_t got = std::fread(bytes.data() + have, 1, piece, file);
        bytes.resize(have + got);
        if (got < piece) {
            ok = !std::ferror(file);
            break;
        }
#else
        ssize_t got = read(fd, bytes.data() + have, piece);
        if (got <= 0) {
            bytes.resize(have);
            ok = got == 0;
            break;
        }
        bytes.resize(have + size_t(got));
#endif
    }
#ifdef _WIN32
    std::fclose(file);
#else
    close(fd);
#endif
    if (!ok) bytes.clear();
    return true;
}

} // namespace

HANDLE LoadImageA(HINSTANCE, LPCSTR name, UINT type, int, int, UINT flags) {
    if (!name || type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE)) return nullptr;
    std::vector<uint8_t> bytes;
    if (!readPlainFile(name, bytes)) return nullptr;

    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    if (!platformDecodeBitmap(bytes.data(), bytes.size(), &width, &height, &pixels)) return nullptr;
    return platformCreateBitmap(width, height, pixels.data());
}
