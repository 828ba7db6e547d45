// trig_test.cpp -- the project's sine and cosine against long-double references, over sweeps and at the
// reduction's edges
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "math/trig.h"

namespace {

float fromBits(std::uint32_t bits) {
    float x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

std::uint32_t toBits(float x) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// Error of value against ref in units of the last place of a float (or double) in ref's binade; the
// subnormal ulp below the normal range.
double ulpError(long double value, long double ref, int mantissaBits, int minExponent) {
    int exponent = 0;
    std::frexp(static_cast<double>(std::fabs(ref)), &exponent);
    if (ref == 0.0L) exponent = minExponent;
    int ulpExponent = exponent - mantissaBits;
    if (ulpExponent < minExponent - mantissaBits) ulpExponent = minExponent - mantissaBits;
    return static_cast<double>(std::fabs(value - ref) / std::ldexp(1.0L, ulpExponent));
}

// Largest errors seen so far, with the argument where each occurred.
struct ErrorRecord {
    double sinFloat = 0, cosFloat = 0, sinDouble = 0, cosDouble = 0;
    float worstSinFloat = 0, worstCosFloat = 0, worstSinDouble = 0, worstCosDouble = 0;
    long count = 0;

    void check(float x) {
        const long double sinRef = std::sin(static_cast<long double>(x));
        const long double cosRef = std::cos(static_cast<long double>(x));
        note(ulpError(cave::sinf(x), sinRef, 24, -125), sinFloat, worstSinFloat, x);
        note(ulpError(cave::cosf(x), cosRef, 24, -125), cosFloat, worstCosFloat, x);
        note(ulpError(cave::sinDouble(x), sinRef, 53, -1021), sinDouble, worstSinDouble, x);
        note(ulpError(cave::cosDouble(x), cosRef, 53, -1021), cosDouble, worstCosDouble, x);
        // Odd and even: the negative argument gives exactly the mirrored bits.
        ASSERT_EQ(toBits(cave::sinf(-x)), toBits(-cave::sinf(x))) << x;
        ASSERT_EQ(toBits(cave::cosf(-x)), toBits(cave::cosf(x))) << x;
        ++count;
    }
    static void note(double error, double& largest, float& worst, float x) {
        if (error > largest) {
            largest = error;
            worst = x;
        }
    }
    void expectWithin(const char* what, double floatBound, double doubleBound) const {
        EXPECT_LE(sinFloat, floatBound) << what << ": sinf at " << worstSinFloat;
        EXPECT_LE(cosFloat, floatBound) << what << ": cosf at " << worstCosFloat;
        EXPECT_LE(sinDouble, doubleBound) << what << ": sinDouble at " << worstSinDouble;
        EXPECT_LE(cosDouble, doubleBound) << what << ": cosDouble at " << worstCosDouble;
        std::printf("%s: %ld arguments; largest error sinf %.9f, cosf %.9f float ulp; sinDouble %.3f, "
                    "cosDouble %.3f double ulp\n",
                    what, count, sinFloat, cosFloat, sinDouble, cosDouble);
    }
};

// The references are the C library's long double sine and cosine, which must be accurate to far below a
// double's ulp. Not every C library's are (MinGW-w64's reduce the argument with the x87's 66-bit pi): the
// sweeps are skipped where two known values, one near 2 pi and one far out, come out wrong. The same
// sine and cosine are then still checked through the body traces, bit for bit against a Linux build.
bool referencesAreAccurate() {
    struct Known {
        float x;
        long double sin, cos;
    };
    const Known known[] = {
        {0x1.921f96p+2f, -0.000007454548971173508365864256463482996645701L,
         0.9999999999722148498178019866839480137317L},
        {0x1.05e9a0p+86f, -0.6901824628865430253746486956541164453146L,
         -0.7236353832724500346162629698925795417059L},
    };
    for (const Known& k : known) {
        volatile long double x = k.x; // computed at run time, not folded by the compiler
        if (ulpError(std::sin(x), k.sin, 53, -1021) > 0.01 || ulpError(std::cos(x), k.cos, 53, -1021) > 0.01)
            return false;
    }
    return true;
}

// A float result whose double value is within 1 ulp of double of the truth rounds to at most
// 0.5 + 2^-28 ulp of float away; allow that much.
constexpr double FLOAT_BOUND = 0.5 + 0x1p-28;

} // namespace

// Largest errors measured when these sweeps were written: float 0.4999998 ulp (every result correctly
// rounded); double 1.38 ulp up to 8 radians, 2.47 ulp over the whole range and 2.29 ulp at the edges of
// the reduction (0.68 ulp below pi/4, where there is none).
TEST(Trig, SweepsAgreeWithLongDoubleReferences) {
    if (!referencesAreAccurate()) GTEST_SKIP() << "the C library's long double sine and cosine are not exact";
    // Dense over the angles the demonstration turns by (camera turn, a step's rotation, the sphere mesh,
    // test worlds): every 211th float up to 8 radians.
    ErrorRecord everyday;
    for (std::uint32_t bits = 0; bits <= toBits(8.0f); bits += 211)
        everyday.check(fromBits(bits));
    everyday.expectWithin("up to 8 radians", FLOAT_BOUND, 2.5);

    // Sparse over every finite float, both reductions included.
    ErrorRecord whole;
    for (std::uint64_t bits = 0; bits < 0x7f800000u; bits += 4099)
        whole.check(fromBits(static_cast<std::uint32_t>(bits)));
    whole.check(fromBits(0x7f7fffffu)); // the largest float
    whole.expectWithin("every finite float", FLOAT_BOUND, 3.0);
}

TEST(Trig, EdgesOfTheArgumentReduction) {
    if (!referencesAreAccurate()) GTEST_SKIP() << "the C library's long double sine and cosine are not exact";
    ErrorRecord edges;
    auto around = [&](float centre, int steps) {
        const std::uint32_t bits = toBits(centre);
        for (int d = -steps; d <= steps; ++d)
            edges.check(fromBits(bits + static_cast<std::uint32_t>(d)));
    };
    // The floats nearest to k pi/2 are where the reduction cancels most; k up to 400000 crosses from the
    // three-part pi/2 (below 2^19) into the bits of 2/pi.
    for (int k = 1; k <= 400000; ++k) {
        const float nearest = static_cast<float>(static_cast<long double>(k) * 1.57079632679489661923132169L);
        around(nearest, 1);
    }
    // Larger multiples, spread over the rest of the range.
    for (long double k = 400001.0L; k < 1e38L; k *= 1.37L)
        around(static_cast<float>(std::floor(k) * 1.57079632679489661923132169L), 1);
    around(0.785398163f, 64); // pi/4: no reduction below, reduction above
    around(0x1p19f, 64);      // switch from the three-part pi/2 to the bits of 2/pi
    // Exponents where the window of 2/pi moves on by a word (2^57, 2^89, 2^121), and the top of the range.
    around(0x1p57f, 64);
    around(0x1p89f, 64);
    around(0x1p121f, 64);
    around(fromBits(0x7f7fffc0u), 63);
    // Subnormal and tiny arguments: sin x = x, cos x = 1.
    for (std::uint32_t bits = 1; bits < 0x00800000u; bits = bits * 3 + 1)
        edges.check(fromBits(bits));
    around(0x1p-26f, 64);
    edges.expectWithin("reduction edges", FLOAT_BOUND, 3.0);

    // IEEE special cases: the sign of zero is kept by sine, cosine of zero is 1, and infinities or NaN
    // give NaN.
    EXPECT_EQ(toBits(cave::sinf(-0.0f)), toBits(-0.0f));
    EXPECT_EQ(toBits(cave::sinf(0.0f)), toBits(0.0f));
    EXPECT_TRUE(std::signbit(cave::sinDouble(-0.0f)));
    EXPECT_EQ(cave::cosf(-0.0f), 1.0f);
    EXPECT_EQ(cave::cosDouble(0.0f), 1.0);
    const float specials[] = {INFINITY, -INFINITY, NAN};
    for (float x : specials) {
        EXPECT_TRUE(std::isnan(cave::sinf(x))) << x;
        EXPECT_TRUE(std::isnan(cave::cosf(x))) << x;
        EXPECT_TRUE(std::isnan(cave::sinDouble(x))) << x;
        EXPECT_TRUE(std::isnan(cave::cosDouble(x))) << x;
    }
}
