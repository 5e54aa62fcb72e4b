// The library's own transcendental functions. They use IEEE + - * / and
// integer bit work only, so every compiler, target and CPU gives the same
// bits (the platform's maths library picks CPU-specific variants at run
// time and rounds differently on every system).
//
// Each evaluates in double-double after an exact argument reduction and
// rounds once: the result is the correctly rounded value except where the
// exact value lies within the evaluation error (about 2^-70 relative) of a
// rounding boundary; there it is still one of the two neighbours of the
// exact value (faithful), and still the same everywhere. Every function
// first tries a cheaper evaluation with a proved error bound (the sine,
// cosine and tangent below 4, 4 and 1.5, with no reduction by pi/2) and
// keeps its result only when the whole error interval rounds to one
// double, which is then the value the double-double evaluation gives.
#ifndef TARNUTIL_MATHS_MATHS_H
#define TARNUTIL_MATHS_MATHS_H

namespace tarnutil {
namespace maths {

// Radians. NaN and infinities give NaN. Accurate for |x| < 2^200; beyond,
// the reduction runs out of digits of pi and the result, in [-1, 1], is
// deterministic but not the sine.
double Sin(double x);
double Cos(double x);
double Tan(double x);

// Sin(x) and Cos(x), bit for bit, sharing one reduction.
void SinCos(double x, double& sine, double& cosine);

// In [-pi/2, pi/2]; atan(+-inf) = +-pi/2 rounded.
double Atan(double x);

// The angle of (x, y) in [-pi, pi] with C's special values: signed zeros
// give +-0 or +-pi, infinities the multiples of pi/4.
double Atan2(double y, double x);

// Natural logarithm: log(0) = -inf, negative arguments give NaN.
double Log(double x);

// x^y for a positive base (the library's only use): negative bases give
// NaN. Zero, infinite and NaN arguments as in C. Results in the subnormal
// range are faithful rather than correctly rounded.
double Pow(double x, double y);

}  // namespace maths
}  // namespace tarnutil

#endif  // TARNUTIL_MATHS_MATHS_H
