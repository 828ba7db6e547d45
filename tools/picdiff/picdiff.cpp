// picdiff.cpp -- cave-picdiff: how far two pictures of the same frame agree, and where they differ
//
//   cave-picdiff A.png B.png [DIFF.png] [--max-mean M] [--min-within3 P] [--min-within8 Q]
//
// Prints, over the pixels of two pictures of one size, the mean absolute difference of each channel (in
// levels of 255) and the share of pixels whose three channels all lie within 3 and within 8 levels. DIFF.png,
// when named, shows the difference: each channel's absolute difference times 4, so that a difference of
// one level is visible and one of 64 or more is full. With limits given, exits 1 when the mean of any
// channel is above M or a share is below P or Q (shares in percent).
//
// Exit status: 0 when the pictures agree within the limits (or none were given), 1 when not, 2 for bad
// arguments or a picture that cannot be read or written.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

const char* const USAGE =
    "usage: cave-picdiff A.png B.png [DIFF.png] [--max-mean M] [--min-within3 P] [--min-within8 Q]\n";

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb; // three bytes a pixel, top row first
};

bool load(const char* path, Picture& picture) {
    int channels = 0;
    unsigned char* data = stbi_load(path, &picture.width, &picture.height, &channels, 3);
    if (data == nullptr) {
        std::fprintf(stderr, "cave-picdiff: cannot read %s: %s\n", path, stbi_failure_reason());
        return false;
    }
    picture.rgb.assign(data, data + size_t(picture.width) * size_t(picture.height) * 3);
    stbi_image_free(data);
    return true;
}

// A number from the text, or false.
bool number(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

} // namespace

int main(int argc, char** argv) {
    std::vector<const char*> files;
    double maxMean = -1, minWithin3 = -1, minWithin8 = -1;
    for (int i = 1; i < argc; ++i) {
        double* limit = std::strcmp(argv[i], "--max-mean") == 0      ? &maxMean
                        : std::strcmp(argv[i], "--min-within3") == 0 ? &minWithin3
                        : std::strcmp(argv[i], "--min-within8") == 0 ? &minWithin8
                                                                     : nullptr;
        if (limit != nullptr) {
            if (i + 1 >= argc || !number(argv[i + 1], *limit)) {
                std::fprintf(stderr, "cave-picdiff: %s needs a number\n%s", argv[i], USAGE);
                return 2;
            }
            ++i;
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.size() < 2 || files.size() > 3) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    Picture a, b;
    if (!load(files[0], a) || !load(files[1], b)) return 2;
    if (a.width != b.width || a.height != b.height) {
        std::fprintf(stderr, "cave-picdiff: the sizes differ: %dx%d and %dx%d\n", a.width, a.height, b.width,
                     b.height);
        return 1;
    }

    const size_t pixels = size_t(a.width) * size_t(a.height);
    double sum[3] = {0, 0, 0};
    size_t within3 = 0, within8 = 0;
    std::vector<unsigned char> diff(pixels * 3);
    for (size_t p = 0; p < pixels; ++p) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            const int d = std::abs(int(a.rgb[3 * p + c]) - int(b.rgb[3 * p + c]));
            sum[c] += d;
            worst = std::max(worst, d);
            diff[3 * p + c] = (unsigned char)std::min(255, 4 * d);
        }
        if (worst <= 3) ++within3;
        if (worst <= 8) ++within8;
    }
    const double n = double(pixels);
    const double mean[3] = {sum[0] / n, sum[1] / n, sum[2] / n};
    const double share3 = 100.0 * double(within3) / n, share8 = 100.0 * double(within8) / n;
    std::printf(
        "mean absolute difference R %.3f G %.3f B %.3f; within 3 levels %.2f%%, within 8 levels %.2f%%\n",
        mean[0], mean[1], mean[2], share3, share8);

    if (files.size() == 3 && !stbi_write_png(files[2], a.width, a.height, 3, diff.data(), a.width * 3)) {
        std::fprintf(stderr, "cave-picdiff: cannot write %s\n", files[2]);
        return 2;
    }

    bool agree = true;
    for (int c = 0; c < 3; ++c)
        if (maxMean >= 0 && mean[c] > maxMean) agree = false;
    if (minWithin3 >= 0 && share3 < minWithin3) agree = false;
    if (minWithin8 >= 0 && share8 < minWithin8) agree = false;
    if (!agree) std::printf("outside the limits\n");
    return agree ? 0 : 1;
}
