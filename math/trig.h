// trig.h -- the project's own sine and cosine, the same bits on every platform
//
// Every value that feeds the simulation or the generated data (body rotations, the camera turn, the
// sphere mesh, the test worlds) takes its sine and cosine from here, never from the platform's math
// library: C libraries round some results differently in the last bit, and a chaotic pile of spheres
// turns one bit into a different pile. These functions use only IEEE additions, multiplications,
// integer arithmetic and conversions, with no fused multiply-add (the build has -ffp-contract=off),
// so they give the same bits wherever they are compiled.
//
// Range: every finite float. The argument is reduced to [-pi/4, pi/4] exactly enough for double
// precision below 2^19 (a three-part pi/2) and above it by multiplying the float's integer significand
// with the bits of 2/pi, so huge arguments give accurate results too. Infinities and NaN give NaN.
//
// Accuracy, measured against long-double references (math/tests/trig_test.cpp): the float functions
// round the double result once, so they are within 0.5 ulp of float plus 2^-28 ulp (every result of the
// sweeps was correctly rounded: largest error 0.4999999 ulp); the double functions are within 0.7 ulp of
// double without reduction (|angle| <= pi/4), 1.5 ulp up to 8 radians and 2.5 ulp over the whole range.
#pragma once

namespace cave {

// Single-precision sine and cosine of a single-precision angle (radians).
float sinf(float angle);
float cosf(float angle);

// Double-precision sine and cosine of a single-precision angle (radians), for formulas that keep
// double intermediates.
double sinDouble(float angle);
double cosDouble(float angle);

} // namespace cave
