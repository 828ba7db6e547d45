// float_bits.cpp -- next float up or down from the bit pattern, floor to int by truncation
#include "math/float_bits.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

std::uint32_t bitsOf(float x) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

float floatOf(std::uint32_t bits) {
    float x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

} // namespace

namespace cave {

float nextUp(float x) {
    if (x != x) return x;
    const std::uint32_t bits = bitsOf(x);
    if (bits == 0x7f800000u) return x;                // +inf
    if ((bits & 0x7fffffffu) == 0) return floatOf(1); // either zero: the smallest positive subnormal
    // Positive floats grow with their bit pattern, negative ones shrink in magnitude as it falls.
    return floatOf((bits >> 31) == 0 ? bits + 1 : bits - 1);
}

float nextDown(float x) {
    return -nextUp(-x);
}

int floorToInt(double x) {
    if (x != x) return 0;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
    // Truncation rounds towards zero; a negative value with a fraction goes one further down.
    const int t = static_cast<int>(x);
    return (static_cast<double>(t) > x) ? t - 1 : t;
}

} // namespace cave
