// bitmap_fuzz.cpp -- fuzz target of the platform core's bitmap decoder
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "platform/core/bitmap_files.h"
#include "platform/win32.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int width = -1, height = -1;
    std::vector<uint32_t> pixels(7, 0xDEADBEEF);
    if (!platformDecodeBitmap(data, size, &width, &height, &pixels)) {
        FUZZ_CHECK(width == 0 && height == 0 && pixels.empty(),
                   "a refused bitmap leaves the outputs cleared");
        return 0;
    }
    FUZZ_CHECK(width >= 1 && height >= 1 && width <= PLATFORM_MAX_BITMAP_SIDE &&
                   height <= PLATFORM_MAX_BITMAP_SIDE,
               "a decoded bitmap is inside the side limit");
    size_t count = size_t(width) * size_t(height);
    FUZZ_CHECK(count <= size_t(PLATFORM_MAX_BITMAP_PIXELS) && pixels.size() == count,
               "one pixel per position, inside the pixel limit");
    FUZZ_CHECK(count <= 128 * size, "a bitmap costs what its bytes can encode");
    for (uint32_t p : pixels)
        FUZZ_CHECK(p <= 0xFFFFFF, "pixels are 0x00RRGGBB");
    return 0;
}
