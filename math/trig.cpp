// trig.cpp -- sine and cosine from an exact argument reduction and Taylor polynomials, in plain IEEE
// arithmetic
#include "math/trig.h"

#include <cstdint>
#include <cstring>

namespace {

// pi/2 in three parts: the first two have 33 significant bits, so k * part is exact for k < 2^20, the
// third carries the next 53 bits. Together they hold pi/2 to 2^-122.
constexpr double PIO2_1 = 0x1.921fb544p+0;
constexpr double PIO2_2 = 0x1.0b4611a6p-34;
constexpr double PIO2_3 = 0x1.3198a2e037073p-69;
constexpr double PIO2 = 0x1.921fb54442d18p+0; // pi/2 rounded to double
constexpr double TWO_OVER_PI = 0x1.45f306dc9c883p-1;
constexpr double PIO4 = 0x1.921fb54442d18p-1;

// Below this the three-part reduction is used; k = round(x * 2/pi) stays below 2^19 there.
constexpr float CODY_WAITE_LIMIT = 0x1p19f;

// The first 256 bits of 2/pi, most significant word first: 2/pi = sum of TWO_OVER_PI_BITS[i] * 2^(-32(i+1)).
constexpr std::uint32_t TWO_OVER_PI_BITS[8] = {0xa2f9836e, 0x4e441529, 0xfc2757d1, 0xf534ddc0,
                                               0xdb629599, 0x3c439041, 0xfe5163ab, 0xdebbc561};

// Taylor coefficients 1/n!, each rounded to double.
constexpr double INV_FACT3 = 0x1.5555555555555p-3;
constexpr double INV_FACT5 = 0x1.1111111111111p-7;
constexpr double INV_FACT7 = 0x1.a01a01a01a01ap-13;
constexpr double INV_FACT9 = 0x1.71de3a556c734p-19;
constexpr double INV_FACT11 = 0x1.ae64567f544e4p-26;
constexpr double INV_FACT13 = 0x1.6124613a86d09p-33;
constexpr double INV_FACT15 = 0x1.ae7f3e733b81fp-41;
constexpr double INV_FACT17 = 0x1.952c77030ad4ap-49;
constexpr double INV_FACT4 = 0x1.5555555555555p-5;
constexpr double INV_FACT6 = 0x1.6c16c16c16c17p-10;
constexpr double INV_FACT8 = 0x1.a01a01a01a01ap-16;
constexpr double INV_FACT10 = 0x1.27e4fb7789f5cp-22;
constexpr double INV_FACT12 = 0x1.1eed8eff8d898p-29;
constexpr double INV_FACT14 = 0x1.93974a8c07c9dp-37;
constexpr double INV_FACT16 = 0x1.ae7f3e733b81fp-45;
constexpr double INV_FACT18 = 0x1.6827863b97d97p-53;

// sin r = r - r^3/3! + r^5/5! - ... + r^17/17! for |r| <= pi/4 (a little beyond is fine); the first
// omitted term, r^19/19!, is below 2^-63 of the result there.
double sinKernel(double r) {
    const double z = r * r;
    const double p =
        -INV_FACT3 +
        z * (INV_FACT5 + z * (-INV_FACT7 +
                              z * (INV_FACT9 + z * (-INV_FACT11 +
                                                    z * (INV_FACT13 + z * (-INV_FACT15 + z * INV_FACT17))))));
    return r + r * z * p;
}

// cos r = 1 - r^2/2 + r^4/4! - ... + r^18/18! for |r| <= pi/4; the first omitted term, r^20/20!, is below
// 2^-67. 1 - r^2/2 is rounded to w and the error of that rounding is added back with the small terms.
double cosKernel(double r) {
    const double z = r * r;
    const double q =
        INV_FACT4 +
        z * (-INV_FACT6 + z * (INV_FACT8 + z * (-INV_FACT10 +
                                                z * (INV_FACT12 + z * (-INV_FACT14 +
                                                                       z * (INV_FACT16 - z * INV_FACT18))))));
    const double hz = 0.5 * z;
    const double w = 1.0 - hz;
    return w + (((1.0 - w) - hz) + z * z * q);
}

// Bit k (0 = least significant) of a little-endian array of 32-bit limbs; 0 outside it.
unsigned bitAt(const std::uint32_t* limbs, int count, int k) {
    if (k < 0 || k >= 32 * count) return 0;
    return (limbs[k / 32] >> (k % 32)) & 1u;
}

// a * 2^e for e in the normal exponent range, by building 2^e from its bits (no ldexp).
double scaleByPowerOfTwo(double a, int e) {
    const std::uint64_t bits = static_cast<std::uint64_t>(e + 1023) << 52;
    double scale;
    std::memcpy(&scale, &bits, sizeof scale);
    return a * scale;
}

// x = M * 2^E with M the 24-bit significand (x >= 2^19, so E >= -4). x * 2/pi mod 4 is formed exactly
// from M and a 160-bit window of 2/pi: the bits before the window contribute multiples of 4, the bits
// after it less than 2^-103. The quadrant is rounded to nearest and the remaining fraction f, |f| <= 1/2,
// gives r = f * pi/2.
int reduceLarge(std::uint32_t floatBits, double& r) {
    const int exponent = static_cast<int>((floatBits >> 23) & 0xffu) - 127;
    const std::uint64_t significand = (floatBits & 0x7fffffu) | 0x800000u;
    const int e = exponent - 23;
    // First word whose bits can reach below 4: word w contributes M * word * 2^(e - 32(w + 1)).
    const int first = e >= 2 ? (e - 2) / 32 : 0;
    // product = M * (words first .. first + 4), little-endian limbs; its units bit is bit 160 - shift.
    std::uint32_t product[6];
    std::uint64_t carry = 0;
    for (int i = 0; i < 5; ++i) {
        const std::uint64_t t = significand * TWO_OVER_PI_BITS[first + 4 - i] + carry;
        product[i] = static_cast<std::uint32_t>(t);
        carry = t >> 32;
    }
    product[5] = static_cast<std::uint32_t>(carry);
    const int units = 160 - (e - 32 * first);
    int quadrant = static_cast<int>(bitAt(product, 6, units + 1) * 2 + bitAt(product, 6, units));
    // The 128 fraction bits below the units bit, as hi:lo.
    std::uint64_t hi = 0, lo = 0;
    for (int j = 1; j <= 64; ++j)
        hi |= static_cast<std::uint64_t>(bitAt(product, 6, units - j)) << (64 - j);
    for (int j = 65; j <= 128; ++j)
        lo |= static_cast<std::uint64_t>(bitAt(product, 6, units - j)) << (128 - j);
    bool negative = false;
    if (hi >> 63) {
        // f >= 1/2: take the next quadrant and f - 1, whose magnitude is 2^128 - hi:lo.
        quadrant += 1;
        negative = true;
        lo = ~lo + 1;
        hi = ~hi + (lo == 0 ? 1 : 0);
    }
    // Normalise the magnitude so that hi's top bit is set (shift counted in leading).
    int leading = 0;
    if (hi == 0 && lo == 0) {
        r = 0.0;
        return quadrant & 3;
    }
    while ((hi >> 63) == 0) {
        hi = (hi << 1) | (lo >> 63);
        lo <<= 1;
        ++leading;
    }
    // hi rounded to double once: both halves convert exactly and the sum rounds.
    const double magnitude = static_cast<double>(hi >> 32) * 0x1p32 + static_cast<double>(hi & 0xffffffffu);
    const double f = scaleByPowerOfTwo(magnitude, -64 - leading);
    r = negative ? -(f * PIO2) : f * PIO2;
    return quadrant & 3;
}

// Reduces |x| (finite) to r in about [-pi/4, pi/4] with |x| = r + quadrant * pi/2 (mod 2 pi).
int reduce(float ax, double& r) {
    const double x = ax;
    if (x <= PIO4) {
        r = x;
        return 0;
    }
    if (ax < CODY_WAITE_LIMIT) {
        // k = round(x * 2/pi); x - k * PIO2_1 is exact (Sterbenz), and so is the next subtraction when it
        // cancels, so r has one rounding plus k * 2^-122.
        const int k = static_cast<int>(x * TWO_OVER_PI + 0.5);
        const double kd = k;
        r = ((x - kd * PIO2_1) - kd * PIO2_2) - kd * PIO2_3;
        return k & 3;
    }
    std::uint32_t bits;
    std::memcpy(&bits, &ax, sizeof bits);
    return reduceLarge(bits, r);
}

bool finite(float x) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return ((bits >> 23) & 0xffu) != 0xffu;
}

} // namespace

namespace cave {

double sinDouble(float angle) {
    if (!finite(angle)) return static_cast<double>(angle - angle); // NaN for infinities and NaN
    if (angle == 0.0f) return angle;                               // keeps the sign of zero
    const bool negative = angle < 0.0f;
    double r;
    const int quadrant = reduce(negative ? -angle : angle, r);
    double s;
    switch (quadrant) {
    case 0:
        s = sinKernel(r);
        break;
    case 1:
        s = cosKernel(r);
        break;
    case 2:
        s = -sinKernel(r);
        break;
    default:
        s = -cosKernel(r);
        break;
    }
    // sin is odd.
    return negative ? -s : s;
}

double cosDouble(float angle) {
    if (!finite(angle)) return static_cast<double>(angle - angle);
    double r;
    const int quadrant = reduce(angle < 0.0f ? -angle : angle, r);
    switch (quadrant) {
    case 0:
        return cosKernel(r);
    case 1:
        return -sinKernel(r);
    case 2:
        return -cosKernel(r);
    default:
        return sinKernel(r);
    }
}

float sinf(float angle) {
    return static_cast<float>(sinDouble(angle));
}

float cosf(float angle) {
    return static_cast<float>(cosDouble(angle));
}

} // namespace cave
