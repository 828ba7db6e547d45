// float_bits_test.cpp -- next float up and down, and floor to int, against the math library over the whole
// range
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "math/float_bits.h"

namespace {

std::uint32_t toBits(float x) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

float fromBits(std::uint32_t bits) {
    float x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

} // namespace

TEST(FloatBits, NextUpDownAndFloorAgreeWithTheLibraryOverTheRange) {
    // Every sign, both zeros, subnormals, the largest floats, infinities and NaN, then a sweep of all
    // bit patterns.
    const std::uint32_t edges[] = {0x00000000u, 0x80000000u, 0x00000001u, 0x80000001u, 0x007fffffu,
                                   0x00800000u, 0x807fffffu, 0x7f7fffffu, 0xff7fffffu, 0x7f800000u,
                                   0xff800000u, 0x3f800000u, 0xbf800000u, 0x4effffffu, 0xcf000000u,
                                   0xcf000001u, 0x4f000000u};
    auto check = [](std::uint32_t bits) {
        const float x = fromBits(bits);
        const float inf = INFINITY;
        ASSERT_EQ(toBits(cave::nextUp(x)), toBits(std::nextafter(x, inf))) << std::hex << bits;
        ASSERT_EQ(toBits(cave::nextDown(x)), toBits(std::nextafter(x, -inf))) << std::hex << bits;
        // floor of the float and of a double just off it; saturation outside the int range.
        for (double d : {static_cast<double>(x), static_cast<double>(x) * (1.0 + 0x1p-40), -0.5 * x}) {
            const double f = std::floor(d);
            const int expected =
                f >= 2147483647.0 ? INT_MAX : (f <= -2147483648.0 ? INT_MIN : static_cast<int>(f));
            ASSERT_EQ(cave::floorToInt(d), expected) << d;
        }
    };
    for (std::uint32_t bits : edges)
        check(bits);
    for (std::uint64_t bits = 0; bits < 0xff800000u; bits += 9973) {
        if ((bits & 0x7fffffffu) > 0x7f800000u) continue; // NaN: checked below
        check(static_cast<std::uint32_t>(bits));
    }
    EXPECT_TRUE(std::isnan(cave::nextUp(NAN)));
    EXPECT_TRUE(std::isnan(cave::nextDown(NAN)));
    EXPECT_EQ(cave::floorToInt(NAN), 0);
}
