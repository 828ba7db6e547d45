// textures.cpp -- draws the demo's bitmaps from integer noise and the cave's floor heights
#include "tools/cavegen/textures.h"

#include <cmath>
#include <cstdint>

#include "math/float_bits.h"
#include "tools/cavegen/cave_mesh.h"

namespace cavegen {
namespace {

// xorshift32: a small fixed-seed generator, the same sequence on every machine.
class Random {
  public:
    explicit Random(std::uint32_t seed) : state_(seed) {}
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // A value from lo to hi inclusive.
    int range(int lo, int hi) {
        return lo + static_cast<int>(next() % static_cast<std::uint32_t>(hi - lo + 1));
    }

  private:
    std::uint32_t state_;
};

struct Colour {
    double r, g, b;
};

// Floor colour for a height in demo units: dark water-green in the hollows, moss and earth on
// the plain, pale rock up the rim.
Colour heightColour(double h) {
    struct Stop {
        double h;
        Colour c;
    };
    static const Stop stops[] = {
        {-28.0, {38.0, 70.0, 96.0}},  {-8.0, {70.0, 118.0, 104.0}},  {0.0, {112.0, 140.0, 86.0}},
        {20.0, {156.0, 136.0, 92.0}}, {48.0, {186.0, 168.0, 140.0}}, {96.0, {236.0, 232.0, 224.0}},
    };
    const int count = static_cast<int>(sizeof stops / sizeof stops[0]);
    if (h <= stops[0].h) return stops[0].c;
    for (int k = 1; k < count; ++k) {
        if (h <= stops[k].h) {
            double t = (h - stops[k - 1].h) / (stops[k].h - stops[k - 1].h);
            const Colour& a = stops[k - 1].c;
            const Colour& b = stops[k].c;
            return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
        }
    }
    return stops[count - 1].c;
}

int toByte(double v) {
    return static_cast<int>(v + 0.5);
}

} // namespace

Image makeChecker() {
    Image image(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (((x / 8) + (y / 8)) % 2 == 0)
                image.set(x, y, 200, 36, 36);
            else
                image.set(x, y, 240, 232, 208);
        }
    }
    return image;
}

Image makeStoneBlocks() {
    constexpr int kSize = 128;
    constexpr int kRowHeight = 32;
    constexpr int kRows = kSize / kRowHeight;
    constexpr int kMortar = 2;
    Random random(0x5EEDB10Cu);

    // Each row: a shift along x and three blocks whose widths add up to the tile's width, so
    // the pattern wraps around seamlessly.
    int shift[kRows], width[kRows][3], tone[kRows][3];
    for (int r = 0; r < kRows; ++r) {
        shift[r] = random.range(0, kSize - 1);
        width[r][0] = random.range(36, 56);
        width[r][1] = random.range(36, 56);
        width[r][2] = kSize - width[r][0] - width[r][1];
        for (int b = 0; b < 3; ++b)
            tone[r][b] = random.range(-22, 22);
    }

    Image image(kSize, kSize);
    for (int y = 0; y < kSize; ++y) {
        const int r = y / kRowHeight;
        const int ly = y % kRowHeight;
        for (int x = 0; x < kSize; ++x) {
            int lx = (x - shift[r] + kSize) % kSize;
            int b = 0;
            while (lx >= width[r][b])
                lx -= width[r][b++];
            const int grain = random.range(-10, 10);
            if (ly < kMortar || lx < kMortar) {
                image.set(x, y, 40 + grain, 35 + grain, 30 + grain);
                continue;
            }
            int base = 90 + tone[r][b] + grain;
            // Light from the upper left: a bright top and left edge, a shadowed bottom and right edge.
            if (ly < kMortar + 3 || lx < kMortar + 3) base += 16;
            if (ly >= kRowHeight - 3 || lx >= width[r][b] - 3) base -= 20;
            // Occasional dark pits in the stone.
            if (random.range(0, 63) == 0) base -= 30;
            image.set(x, y, base + 14, base + 5, base - 10);
        }
    }
    return image;
}

Image makeCaveMap() {
    constexpr int kSize = 128;
    const double scaleX = (kMaxX - kMinX) / kSize;
    const double scaleZ = (kMaxZ - kMinZ) / kSize;
    double height[kSize][kSize];
    for (int py = 0; py < kSize; ++py)
        for (int px = 0; px < kSize; ++px)
            height[py][px] = floorSurfaceHeight(kMinX + (px + 0.5) * scaleX, kMaxZ - (py + 0.5) * scaleZ);

    Image image(kSize, kSize);
    for (int py = 0; py < kSize; ++py) {
        for (int px = 0; px < kSize; ++px) {
            const double h = height[py][px];
            Colour c = heightColour(h);
            // Contour line where the 8-unit band changes towards the right or downwards neighbour.
            const int band = cave::floorToInt(h / 8.0);
            bool contour = (px + 1 < kSize && cave::floorToInt(height[py][px + 1] / 8.0) != band) ||
                           (py + 1 < kSize && cave::floorToInt(height[py + 1][px] / 8.0) != band);
            double shade = contour ? 0.72 : 1.0;
            if (px == 0 || py == 0 || px == kSize - 1 || py == kSize - 1) shade = 0.35; // the walls
            image.set(px, py, toByte(c.r * shade), toByte(c.g * shade), toByte(c.b * shade));
        }
    }

    // Marks: the ball's start (yellow) and where the column of spheres comes down (red).
    struct Mark {
        double x, z;
        int r, g, b;
    };
    const Mark marks[] = {{0.0, 0.0, 250, 220, 40}, {0.25, 66.25, 220, 40, 40}};
    for (const Mark& m : marks) {
        const int cx = static_cast<int>((m.x - kMinX) / scaleX);
        const int cy = static_cast<int>((kMaxZ - m.z) / scaleZ);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                image.set(cx + dx, cy + dy, m.r, m.g, m.b);
    }
    return image;
}

} // namespace cavegen
