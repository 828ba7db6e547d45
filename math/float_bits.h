// float_bits.h -- exact floating-point helpers written with integer and IEEE arithmetic, in place of the math
// library's
//
// Like the sine and cosine of trig.h, these keep the simulation and the generated data free of the
// platform's math library (only sqrt is taken from it, being exactly rounded on every target).
#pragma once

namespace cave {

// The next float towards +infinity / -infinity. NaN stays NaN; +inf stays +inf under nextUp and becomes
// the largest finite float under nextDown (and the mirror for -inf); nextUp(-0) and nextUp(+0) are the
// smallest positive subnormal.
float nextUp(float x);
float nextDown(float x);

// The largest integer not above x, saturated to the int range; NaN gives 0.
int floorToInt(double x);

} // namespace cave
