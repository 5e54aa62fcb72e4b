#include "maths/maths.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// Double-double evaluation in the manner of Dekker (1971) and Tang's
// table-driven methods (1989-1991): each function reduces its argument
// exactly, looks up a double-double table entry, adds a short polynomial in
// the small remainder and rounds the double-double sum once.

namespace tarnutil {
namespace maths {
namespace {

#include "maths/maths_tables.inc"

// An unevaluated sum hi + lo; lo need not be normalised.
struct Dd {
  double hi;
  double lo;
};

// s + e == a + b exactly (Knuth).
Dd TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  const double e = (a - (s - bb)) + (b - bb);
  return {s, e};
}

// s + e == a + b exactly when |a| >= |b| or a == 0 (Dekker).
Dd FastTwoSum(double a, double b) {
  const double s = a + b;
  const double e = b - (s - a);
  return {s, e};
}

// Veltkamp's split: a == h + l with both halves 26 bits wide.
void SplitHalves(double a, double& h, double& l) {
  constexpr double splitter = 134217729.0;  // 2^27 + 1
  const double c = splitter * a;
  h = c - (c - a);
  l = a - h;
}

// p + e == a * b exactly without fused multiply-add (Dekker), barring
// overflow and underflow.
Dd TwoProd(double a, double b) {
  const double p = a * b;
  double ah = 0.0, al = 0.0, bh = 0.0, bl = 0.0;
  SplitHalves(a, ah, al);
  SplitHalves(b, bh, bl);
  const double e = (((ah * bh - p) + ah * bl) + al * bh) + al * bl;
  return {p, e};
}

// a / b for double-doubles, to about 2^-100 relative. The divisor is
// normalised first: the correction term divides by its head alone.
Dd Divide(Dd a, Dd b) {
  b = FastTwoSum(b.hi, b.lo);
  const double q = a.hi / b.hi;
  const Dd p = TwoProd(q, b.hi);
  const double r = (((a.hi - p.hi) - p.lo) + a.lo) - q * b.lo;
  return {q, r / b.hi};
}

// The nearest integer as a double, ties to even; |v| < 2^51.
double NearestInteger(double v) {
  constexpr double shifter = 0x1.8p52;
  return (v + shifter) - shifter;
}

// The integer nearest w >= 0, halves up, for a table index: w + 0.5 would
// round just below 1/2 (0.5 - 2^-54) up to 1, a table point more than twice
// the argument, and the remainder argument - point would not be exact.
int NearestIndex(double w) {
  const int i = static_cast<int>(w);
  return i + static_cast<int>(w - static_cast<double>(i) >= 0.5);
}

// v * 2^e for |e| <= 2000, exact unless the result leaves the normal range.
double ScaleByPow2(double v, int e) {
  auto pow2 = [](int k) {
    const std::uint64_t bits = static_cast<std::uint64_t>(k + 1023) << 52;
    double d = 0.0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  };
  while (e > 1000) {
    v *= pow2(1000);
    e -= 1000;
  }
  while (e < -1000) {
    v *= pow2(-1000);
    e += 1000;
  }
  return v * pow2(e);
}

// v * 2^e by the exponent field, for results known to stay normal.
double ScaleNormal(double v, int e) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  bits += static_cast<std::uint64_t>(static_cast<std::int64_t>(e)) << 52;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

constexpr double quietNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();
// The largest double that is at most pi/4.
constexpr double quarterPiDown = 0x1.921fb54442d18p-1;

bool IsNaN(double x) {
  return x != x;
}
bool IsInf(double x) {
  return x == infinity || x == -infinity;
}
// Clears the sign bit: a compare would become a branch that results of
// random sign mispredict half the time.
double Abs(double x) {
  return std::fabs(x);
}

// ---- sine and cosine ----

// x - k * pi/2 for an integer k with |k| < 2^25 (Cody and Waite): every
// product k * part is exact, and the leading difference cancels exactly.
Dd ReduceSmall(Dd x, double k) {
  const double r1 = x.hi - k * pio2Cw1;
  const Dd s = TwoSum(r1, -(k * pio2Cw2));
  const Dd s2 = TwoSum(s.hi, -(k * pio2Cw3));
  const double lo = ((s.lo + s2.lo) + x.lo) - k * pio2Cw4;
  return FastTwoSum(s2.hi, lo);
}

// TwoProd for |a| up to the largest double: Veltkamp's split overflows
// past 2^996, so such a factor is scaled down by 2^100 and back (exact).
Dd TwoProdWide(double a, double b) {
  if (Abs(a) < 0x1p900) return TwoProd(a, b);
  const Dd p = TwoProd(a * 0x1p-100, b);
  return {p.hi * 0x1p100, p.lo * 0x1p100};
}

// x - k * pi/2 with pi/2 to 318 bits and every product split exactly; for
// |x| >= 2^25. The products cancel x's leading bits exactly.
Dd ReduceLarge(Dd x, double k) {
  const double parts[] = {pio2Full2, pio2Full3, pio2Full4, pio2Full5, pio2Full6};
  const Dd head = TwoProdWide(k, pio2Full1);
  double sum = x.hi - head.hi;  // exact: x and k * pi/2 agree to 50 bits
  double lo = x.lo;
  Dd t = TwoSum(sum, -head.lo);
  sum = t.hi;
  lo += t.lo;
  for (double part : parts) {
    const Dd p = TwoProdWide(k, part);
    t = TwoSum(sum, -p.hi);
    sum = t.hi;
    lo += t.lo;
    lo -= p.lo;
  }
  return FastTwoSum(sum, lo);
}

// k mod 4 for an integer-valued double: past 2^53 k is even, past 2^54 a
// multiple of 4.
int IntegerMod4(double k) {
  const double a = Abs(k);
  int m = 0;
  if (a < 0x1p53) {
    m = static_cast<int>(static_cast<std::int64_t>(a) & 3);
  } else if (a < 0x1p54) {
    m = static_cast<int>((static_cast<std::uint64_t>(a * 0.5) & 1u) * 2u);
  }
  return k < 0.0 ? (4 - m) & 3 : m;
}

// Reduces |x| (finite, positive) to r in about [-pi/4, pi/4]; returns the
// quadrant k mod 4.
int Reduce(double x, Dd& r) {
  // Below pi/4 the quotient rounds to 0 and the reduction returns x
  // exactly: no branch for it.
  if (x < 0x1p25) {
    const double k = NearestInteger(x * twoOverPi);
    r = ReduceSmall({x, 0.0}, k);
    return IntegerMod4(k);
  }
  // Beyond 2^51 the quotient is already an integer but, rounded, may miss
  // the nearest one by many units; each pass takes what is left. Past about
  // 2^200 the 318 bits of pi/2 run out: the result is deterministic, in
  // range, and no longer the sine.
  r = {x, 0.0};
  int kMod4 = 0;
  for (int pass = 0; pass < 40 && Abs(r.hi) > 0.79; ++pass) {
    const double q = r.hi * twoOverPi;
    const double k = Abs(q) < 0x1p51 ? NearestInteger(q) : q;
    kMod4 += IntegerMod4(k);
    r = ReduceLarge(r, k);
  }
  if (!(Abs(r.hi) <= 0.79)) r = {0.0, 0.0};  // never seen; keeps the tables in bounds
  return kMod4 & 3;
}

// Coefficients of the Taylor series, as doubles.
constexpr double sinC3 = -1.0 / 6.0;
constexpr double sinC5 = 1.0 / 120.0;
constexpr double sinC7 = -1.0 / 5040.0;
constexpr double cosC4 = 1.0 / 24.0;
constexpr double cosC6 = -1.0 / 720.0;

// sin(r + q pi/2) for |r| <= pi/4 + tiny, unrounded, from the table row of
// a = j/256 nearest r: sin(a + t) = sin a cos t + cos a sin t, and an odd
// quadrant turns the row (sin a, cos a) into (cos a, -sin a). The sign of r
// and the quadrant pick table entries and factors of +-1 instead of
// branches, which random angles would mispredict half the time; the result
// is exactly the negation or rotation the branches would have computed,
// since rounding is symmetric.
Dd SinQuadrant(Dd r, int q) {
  const int aj = NearestIndex(Abs(r.hi) * 256.0);
  const int j = r.hi < 0.0 ? -aj : aj;
  const double* row = &sinCosTable256[4 * (j + 202)];
  const int odd = q & 1;
  const double turn = 1.0 - 2.0 * odd;  // -1 for an odd quadrant
  const double sh = row[2 * odd];
  const double sl = row[2 * odd + 1];
  const double ch = row[2 - 2 * odd] * turn;
  const double cl = row[3 - 2 * odd] * turn;
  const double th = r.hi - static_cast<double>(j) * 0x1p-8;  // exact
  const double tl = r.lo;
  const double t2 = th * th;
  const double sinT = t2 * (sinC3 + t2 * (sinC5 + t2 * sinC7));  // sin(t) / t - 1
  // tl is small against r, not against th: its share of t^2 / 2 counts.
  const double cosT = t2 * (-0.5 + t2 * (cosC4 + t2 * cosC6)) - th * tl;  // cos(t) - 1
  const Dd ct = TwoProd(ch, th);
  const Dd h = TwoSum(sh, ct.hi);
  const double lo = ((((h.lo + ct.lo) + sl) + ch * tl) + cl * th) + (sh * cosT + ct.hi * sinT);
  return {h.hi, lo};
}

// ---- first phases of sine, cosine and tangent ----
//
// Below 4, which holds every angle the library passes, x = a + t with
// a = j/128 the nearest table point: t = x - a is exact (a = 0, or Sterbenz)
// and |t| <= 2^-8, so no reduction by pi/2 is needed at all. Then
// f(a + t) = L cos t + F sin t with (L, F) = (sin a, cos a) for the sine and
// (cos a, -sin a) for the cosine. The product F t must be exact where it is
// as large as the result; F's leading 26 bits times t's are exact, and the
// rest of the product is small enough to round, which costs a few
// operations where Dekker's product costs seventeen.

constexpr double directLimit = 4.0;
// Relative bound of DirectKernel against |lh| + |p|: 2^-67 (the rounding
// of cos t - 1 near t^2 / 2 <= 2^-17 dominates), with a margin of 4.
constexpr double directEps = 0x1p-65;
// Tangent below 1.5: the sine's and the cosine's bounds, relative to their
// results, add up to 2^-64.8; with a margin of 3.
constexpr double directTanLimit = 1.5;
constexpr double directTanEps = 0x1p-63;

// v truncated to its leading 26 bits; v minus that is exact.
double Head26(double v) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  bits &= ~static_cast<std::uint64_t>(0x7FFFFFF);
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// The argument split x = j/128 + t, for 0 <= x < directLimit, and the
// parts of t both functions share.
struct DirectArg {
  const double* row;  // sin a hi, lo, cos a hi, lo
  double t;
  double th;    // t's leading 26 bits
  double tl;    // t - th, exact
  double sinT;  // sin(t) / t - 1
  double cosT;  // cos(t) - 1
};

DirectArg SplitDirect(double x) {
  constexpr double shifter = 0x1.8p52;
  const double w = x * 128.0 + shifter;  // the nearest integer, in the low bits
  std::uint64_t bits = 0;
  std::memcpy(&bits, &w, sizeof bits);
  DirectArg d{};
  d.row = &sinCosTable128[4 * static_cast<int>(bits & 0x3FF)];
  d.t = x - (w - shifter) * 0x1p-7;
  d.th = Head26(d.t);
  d.tl = d.t - d.th;
  const double t2 = d.t * d.t;
  d.sinT = t2 * (sinC3 + t2 * (sinC5 + t2 * sinC7));
  d.cosT = t2 * (-0.5 + t2 * (cosC4 + t2 * cosC6));
  return d;
}

// L cos t + F sin t, unrounded, for L = lh + ll and F = fh + fl; err bounds
// its error.
Dd DirectKernel(const DirectArg& d, double lh, double ll, double fh, double fl, double& err) {
  const double fm = Head26(fh);
  const double fr = (fh - fm) + fl;
  const double p = fm * d.th;  // exact
  const double q = fm * d.tl + fr * d.t;
  const Dd s = TwoSum(lh, p);
  const double lo = ((s.lo + ll) + q) + (lh * d.cosT + (p + q) * d.sinT);
  err = (Abs(lh) + Abs(p)) * directEps;
  return {s.hi, lo};
}

// The double every value within err of v.hi + v.lo rounds to, if there is
// one (Ziv's rounding test); the caller's bound carries the margin that
// covers the rounding of v.lo +- err.
bool RoundsWithin(Dd v, double err, double& out) {
  const double up = v.hi + (v.lo + err);
  const double down = v.hi + (v.lo - err);
  out = up;
  return up == down;
}

bool DirectSin(const DirectArg& d, double& out) {
  double err = 0.0;
  const Dd v = DirectKernel(d, d.row[0], d.row[1], d.row[2], d.row[3], err);
  return RoundsWithin(v, err, out);
}

bool DirectCos(const DirectArg& d, double& out) {
  double err = 0.0;
  const Dd v = DirectKernel(d, d.row[2], d.row[3], -d.row[0], -d.row[1], err);
  return RoundsWithin(v, err, out);
}

// tan x for 0 <= x < tanTableLimit, unrounded, with its error bound:
// x = a + t as for the sine, T = tan a and D = 1 + T^2 from the table, and
// tan(a + t) = T + D u / (1 - T u) with u = tan t = t (1 + s). D t is
// exact from 26-bit heads as F t in DirectKernel; D u (T u / (1 - T u)),
// below 2^-15 of the result, is taken in plain double with one division.
// Errors stay below 2^-64 of |T| + |D t| (the rounding of that last term
// dominates); the bound returned has a margin of 4.
constexpr double tanTableLimit = 0.79;
constexpr double tanC3 = 1.0 / 3.0;
constexpr double tanC5 = 2.0 / 15.0;
constexpr double tanC7 = 17.0 / 315.0;

Dd TableTan(double x, double& err) {
  constexpr double shifter = 0x1.8p52;
  const double w = x * 128.0 + shifter;
  std::uint64_t bits = 0;
  std::memcpy(&bits, &w, sizeof bits);
  const double* row = &tanTable128[4 * static_cast<int>(bits & 0x7F)];
  const double t = x - (w - shifter) * 0x1p-7;  // exact
  const double th = Head26(t);
  const double tl = t - th;
  const double t2 = t * t;
  const double s = t2 * (tanC3 + t2 * (tanC5 + t2 * tanC7));  // tan(t) / t - 1
  const double dm = Head26(row[2]);
  const double dr = (row[2] - dm) + row[3];
  const double p = dm * th;  // exact
  const double q = dm * tl + dr * t;
  const double dt = p + q;
  const double du = dt + dt * s;
  const double tu = row[0] * (t + t * s);
  const double corr = du * (tu / (1.0 - tu));
  const Dd h = TwoSum(row[0], p);
  const double lo = ((h.lo + row[1]) + (q + dt * s)) + corr;
  err = (row[0] + Abs(p)) * 0x1p-62;
  return {h.hi, lo};
}

// tan x = sin x / cos x for 0 <= x < directTanLimit, where both are far
// from zero relative to their bounds (from 2^-8 on, the sine's error is
// within 3 times its bound's share, the cosine's within 1.12).
bool DirectTan(double x, double& out) {
  const DirectArg d = SplitDirect(x);
  double es = 0.0, ec = 0.0;
  const Dd s = DirectKernel(d, d.row[0], d.row[1], d.row[2], d.row[3], es);
  const Dd c = DirectKernel(d, d.row[2], d.row[3], -d.row[0], -d.row[1], ec);
  // The kernels' low parts reach 2^-17 of their heads: the divisor is
  // normalised, and the quotient's first guess takes the dividend whole.
  const Dd cn = FastTwoSum(c.hi, c.lo);
  const double q = (s.hi + s.lo) / cn.hi;
  const Dd p = TwoProd(q, cn.hi);
  const double rem = (((s.hi - p.hi) - p.lo) + s.lo) - q * cn.lo;
  return RoundsWithin({q, rem / cn.hi}, Abs(q) * directTanEps, out);
}

Dd Negate(Dd a) {
  return {-a.hi, -a.lo};
}

// v with its sign flipped when flip is set.
double FlipSign(double v, bool flip) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  bits ^= static_cast<std::uint64_t>(flip) << 63;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// ---- arctangent ----

constexpr double atanC3 = -1.0 / 3.0;
constexpr double atanC5 = 1.0 / 5.0;
constexpr double atanC7 = -1.0 / 7.0;
constexpr double atanC9 = 1.0 / 9.0;

// atan(z) for 0 <= z <= 1 (+ tiny), unrounded: atan(c) + atan(u) with
// c = j/128 the nearest table point and u = (z - c) / (1 + z c), |u| <= 2^-8.
Dd AtanUnit(Dd z) {
  const int j = NearestIndex(z.hi * 128.0);
  const double c = static_cast<double>(j) * 0x1p-7;
  const Dd num = {z.hi - c, z.lo};  // exact difference
  const Dd zc = TwoProd(z.hi, c);
  const Dd d = FastTwoSum(1.0, zc.hi);
  const Dd den = {d.hi, (d.lo + zc.lo) + z.lo * c};
  const Dd u = Divide(num, den);
  const double u2 = u.hi * u.hi;
  const double poly = u2 * (atanC3 + u2 * (atanC5 + u2 * (atanC7 + u2 * atanC9)));
  const Dd h = TwoSum(atanTable128[2 * j], u.hi);
  const double lo = ((h.lo + atanTable128[2 * j + 1]) + u.lo) + u.hi * poly;
  return {h.hi, lo};
}

// The arctangent's first phase: (base + sg atan(small / big)) rounded,
// when 1/8 <= small / big <= 1 and the rounding test decides; false
// otherwise. atan(small / big) = atan(c) + atan(u) with c = j/512 nearest
// the quotient and u = (small - c big) / (big + c small): c has at most 10
// bits and big splits into 44 and 9 bits, so both products c big are exact
// and the numerator's leading difference cancels exactly. No double-double
// division: u carries at most 4 roundings (2^-51 relative) and |u| < 2^-10,
// so its share of the error is below 2^-61 absolute; the rest (series to
// u^7, table, sums) stays below 2^-80 relative. The caller keeps both
// arguments far inside the double range.
bool AtanFirstPhase(double small, double big, Dd base, double sg, double& out) {
  const double ratio = small / big;  // picks the table point only
  if (!(ratio >= 0.125)) return false;
  // The nearest integer to ratio * 512 (in 64..512) in the low bits of w,
  // without a conversion to an integer and back.
  constexpr double shifter = 0x1.8p52;
  const double w = ratio * 512.0 + shifter;
  std::uint64_t bits = 0;
  std::memcpy(&bits, &w, sizeof bits);
  const int j = static_cast<int>(bits & 0x3FF);
  const double c = (w - shifter) * 0x1p-9;
  std::memcpy(&bits, &big, sizeof bits);
  bits &= ~static_cast<std::uint64_t>(0x1FF);
  double bigHead = 0.0;
  std::memcpy(&bigHead, &bits, sizeof bigHead);
  const double num = (small - c * bigHead) - c * (big - bigHead);
  const double q = num / (big + c * small);
  const double q2 = q * q;
  const double tail = (q * q2) * (atanC3 + q2 * (atanC5 + q2 * atanC7));
  const double* a = &atanTable512[2 * (j - 64)];
  // Dekker's short sums are exact here: the base is 0 or at least pi/2 >
  // atan(c), and |s1| >= atan(1/8) - tiny > 2^-10 > |q|.
  const Dd s1 = FastTwoSum(base.hi, sg * a[0]);
  const Dd s2 = FastTwoSum(s1.hi, sg * q);
  const double lo = ((s1.lo + s2.lo) + (base.lo + sg * a[1])) + sg * tail;
  const double err = Abs(q) * 0x1p-50 + Abs(s2.hi) * 0x1p-70;
  const double up = s2.hi + (lo + err);
  const double down = s2.hi + (lo - err);
  out = up;
  return up == down;
}

// b - a for double-doubles with |b| > |a|, unrounded.
Dd Subtract(Dd b, Dd a) {
  const Dd h = TwoSum(b.hi, -a.hi);
  return {h.hi, (h.lo + b.lo) - a.lo};
}

Dd Add(Dd b, Dd a) {
  const Dd h = TwoSum(b.hi, a.hi);
  return {h.hi, (h.lo + b.lo) + a.lo};
}

// n / d for positive doubles as a double-double; d / n must stay in range.
Dd Quotient(double n, double d) {
  return Divide({n, 0.0}, {d, 0.0});
}

// ---- logarithm and exponential ----

constexpr double logC3 = 1.0 / 3.0;
constexpr double logC5 = 1.0 / 5.0;
constexpr double logC7 = 1.0 / 7.0;
constexpr double logC9 = 1.0 / 9.0;

// log(x) for finite x > 0, unrounded: x = 2^e m with m in [0.75, 1.5),
// c = j/128 the nearest table point, log(m/c) = 2 atanh((m - c) / (m + c)).
Dd LogPositive(double x) {
  int e = 0;
  if (x < 0x1p-1022) {
    x *= 0x1p54;
    e = -54;
  }
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  e += static_cast<int>(bits >> 52) - 1023;
  bits = (bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull;
  double m = 0.0;
  std::memcpy(&m, &bits, sizeof m);
  if (m >= 1.5) {
    m *= 0.5;
    e += 1;
  }
  const int j = static_cast<int>(m * 128.0 + 0.5);
  const double c = static_cast<double>(j) * 0x1p-7;
  const double f = m - c;  // exact
  const Dd w = Divide({f, 0.0}, TwoSum(m, c));
  const double w2 = w.hi * w.hi;
  const double poly = w2 * (logC3 + w2 * (logC5 + w2 * (logC7 + w2 * logC9)));
  const double ed = static_cast<double>(e);
  const Dd logC = {logTable128[2 * (j - 96)], logTable128[2 * (j - 96) + 1]};
  const Dd h1 = TwoSum(ed * ln2Part1, logC.hi);  // e * ln2Part1 is exact
  const Dd h = TwoSum(h1.hi, 2.0 * w.hi);
  const double lo = ((((h1.lo + h.lo) + logC.lo) + (ed * ln2Part2 + ed * ln2Part3)) + 2.0 * w.lo) +
                    (2.0 * w.hi) * poly;
  return {h.hi, lo};
}

// ---- first phases ----
//
// A first phase evaluates in plain double after an exact reduction,
// giving hi + lo within a proved relative bound of the exact value; when
// every value in that interval rounds to the same double (the rounding
// test of Ziv, 1991), that double is the correctly rounded result, so it is
// exactly what the double-double evaluation would have returned. Otherwise
// (a few calls in a hundred) the double-double evaluation decides.

// The double every value within eps |v.hi| of v.hi + v.lo rounds to, if
// there is one. The caller's eps carries a margin of at least 2 over the
// bound, which covers the rounding of v.lo +- err.
bool RoundsTo(Dd v, double eps, double& out) {
  const double err = Abs(v.hi) * eps;
  const double up = v.hi + (v.lo + err);
  const double down = v.hi + (v.lo - err);
  out = up;
  return up == down;
}

constexpr double log1pC3 = 1.0 / 3.0;
constexpr double log1pC4 = -1.0 / 4.0;
constexpr double log1pC5 = 1.0 / 5.0;
constexpr double log1pC6 = -1.0 / 6.0;
constexpr double log1pC7 = 1.0 / 7.0;
constexpr double log1pC8 = -1.0 / 8.0;

// Relative bound of LogFirstPhase: 2^-60.1 at worst (just outside the two
// intervals next to 1, where |log x| >= 2^-9 and the last additions of
// terms near r^2 / 2 <= 2^-17.8 round), doubled.
constexpr double logFirstPhaseEps = 0x1p-59;

// log(x) for finite x > 0, unrounded, within logFirstPhaseEps: x = 2^e z
// with z in [0.75, 1.5) taken by integer work (no branch on the interval),
// then log z = -log(1/c) + log1p(r) with r = z (1/c) - 1 exact: 1/c has 12
// bits and z splits into 41 and 12 bits, so both products are exact.
// |r| < 2^-8 and log1p takes its series to r^8.
Dd LogFirstPhase(double x) {
  int e = 0;
  if (x < 0x1p-1022) {
    x *= 0x1p54;
    e = -54;
  }
  std::uint64_t ix = 0;
  std::memcpy(&ix, &x, sizeof ix);
  const std::uint64_t tmp = ix - 0x3FE8000000000000ull;  // 0.75
  e += static_cast<int>(static_cast<std::int64_t>(tmp) >> 52);
  const int i = static_cast<int>((tmp >> 44) & 255u);
  const std::uint64_t iz = ix - (tmp & 0xFFF0000000000000ull);
  // The two intervals next to 1 take c = 1 and r = z - 1 whole (exact):
  // there the result can be as small as r, and b's square would count.
  const std::uint64_t keepAll = 0 - static_cast<std::uint64_t>(((i - 127) & ~1) == 0);
  const std::uint64_t izh = iz & (~static_cast<std::uint64_t>(0xFFF) | keepAll);
  double z = 0.0, zh = 0.0;
  std::memcpy(&z, &iz, sizeof z);
  std::memcpy(&zh, &izh, sizeof zh);
  const double zl = z - zh;  // exact
  const double* row = &logFastTable256[4 * i];
  // r = a + b with both parts exact and |b| < 2^-39.6 (b = 0 next to 1).
  // The series runs on a alone and b enters as log1p(a + b) - log1p(a) =
  // b / (1 + a), to 2^-79, against a result of at least 2^-9.5 (|a| <=
  // 2^-9 + 2^-13 where b != 0): no sum on the chain to the series.
  const double rh = zh * row[0] - 1.0;
  const double b = zl * row[0];
  const double r2 = rh * rh;
  // Estrin's scheme: the Lambert inverse chains powers, each through this
  // logarithm, so latency counts as much as throughput.
  const double cubic =
      (rh * r2) * ((log1pC3 + rh * log1pC4) +
                   r2 * ((log1pC5 + rh * log1pC6) + r2 * (log1pC7 + rh * log1pC8)));
  const double ed = static_cast<double>(e);
  // Both sums are exact with Dekker's short form: for e != 0, |e ln 2| >=
  // 0.69 > |log c| (at most 0.41) and the sum is at least 0.28 > |a|; for
  // e == 0, either c == 1 and the first operand of each is 0, or |log c| >=
  // 2^-8.4 > |a|, which is at most 2^-9 + 2^-13.
  const Dd s1 = FastTwoSum(ed * ln2Part1, row[1]);  // e * ln2Part1 is exact
  const Dd s2 = FastTwoSum(s1.hi, rh);
  // b / (1 + a) as b (1 - a)(1 + a^2), to b a^4 < 2^-75: a division would
  // queue on the divider the callers' quotients already keep busy.
  const double small = ((ed * ln2Part2 + row[2]) + (s1.lo + s2.lo)) + b * ((1.0 - rh) * (1.0 + r2));
  return {s2.hi, small + (cubic - 0.5 * r2)};
}

constexpr double expC2 = 0.5;
constexpr double expC3 = 1.0 / 6.0;
constexpr double expC4 = 1.0 / 24.0;
constexpr double expC5 = 1.0 / 120.0;
constexpr double expC6 = 1.0 / 720.0;
constexpr double expC7 = 1.0 / 5040.0;

// exp(z) = 2^m (hi + lo), unrounded, for |z.hi| <= 746: z = (128 m + j)
// ln2/128 + r with |r| <= ln2/256, exp(z) = 2^m 2^(j/128) exp(r) (Tang).
// Relative error below 2^-66: the rounding of terms near r^2 / 2 <= 2^-18.
struct ExpParts {
  Dd v;
  int m;
};

// With exactProduct false, th * rh is rounded instead of split exactly: at
// |r| <= 2^-8.5 that costs at most 2^-61.5 relative (expFirstPhaseEps).
template <bool exactProduct>
ExpParts ExpEvaluate(Dd z) {
  const double k = NearestInteger(z.hi * inv128Ln2);
  const double r1 = z.hi - k * ln2By128Part1;  // exact
  const Dd rs = TwoSum(r1, -(k * ln2By128Part2));
  const double rl = (rs.lo + z.lo) - k * ln2By128Part3;
  const Dd r = FastTwoSum(rs.hi, rl);
  const double rh = r.hi;
  // The first phase (exactProduct false) takes Estrin's scheme for a
  // shorter chain; the second keeps Horner's, whose roundings its results
  // near rounding boundaries have always had.
  const double r2 = rh * rh;
  const double p =
      (exactProduct
           ? r2 * (expC2 + rh * (expC3 + rh * (expC4 + rh * (expC5 + rh * (expC6 + rh * expC7)))))
           : r2 * ((expC2 + rh * expC3) + r2 * ((expC4 + rh * expC5) + r2 * (expC6 + rh * expC7)))) +
      rh * r.lo;
  const std::int64_t ki = static_cast<std::int64_t>(k);
  const std::int64_t j = ki & 127;
  const int m = static_cast<int>((ki - j) / 128);
  const double th = exp2Table128[2 * j];
  const double tl = exp2Table128[2 * j + 1];
  const Dd a = exactProduct ? TwoProd(th, rh) : Dd{th * rh, 0.0};
  const Dd h = FastTwoSum(th, a.hi);  // th >= 1 > |a.hi|
  const double lo = (((h.lo + a.lo) + tl) + tl * rh) + th * (r.lo + p);
  return {{h.hi, lo}, m};
}

// The power's first phase for |zh| < 8 and |zl| < 2^-14, which holds the
// projection's exponents, with z = zh + zl as the product y log x leaves
// it (not normalised). zh arrives well before zl, which waits for the
// logarithm's series: the quotient k, r1 = zh - k ln2/128 (exact) and
// exp(r1) from the table and the series need only zh, and the rest,
// d = zl - k (ln2/128 - head) with |d| < 2^-13.9, joins as a factor
// exp(d) = 1 + D (series to d^4; d^5 / 120 < 2^-76). The roundings of D
// and of the product with it stay below 2^-65, so the bound is
// ExpEvaluate<false>'s plus that (expNearEps).
ExpParts ExpNear(double zh, double zl) {
  const double k = NearestInteger(zh * inv128Ln2);
  const double r1 = zh - k * ln2By128Part1;  // exact: |k| < 2^11
  // To r1^6: the next term is below 2^-71.7.
  const double r2 = r1 * r1;
  const double p = r2 * ((expC2 + r1 * expC3) + r2 * ((expC4 + r1 * expC5) + r2 * expC6));
  const std::int64_t ki = static_cast<std::int64_t>(k);
  const std::int64_t j = ki & 127;
  const int m = static_cast<int>((ki - j) / 128);
  const double th = exp2Table128[2 * j];
  const double tl = exp2Table128[2 * j + 1];
  const Dd h = FastTwoSum(th, th * r1);  // th >= 1 > |th r1|
  const double lo1 = ((h.lo + tl) + tl * r1) + th * p;
  const double d = (zl - k * ln2By128Part2) - k * ln2By128Part3;
  const double bigD = d * (1.0 + d * (expC2 + d * (expC3 + d * expC4)));
  return {{h.hi, lo1 + (h.hi + lo1) * bigD}, m};
}

ExpParts ExpUnrounded(Dd z) {
  return ExpEvaluate<true>(z);
}

// exp(z) rounded, for |z.hi| <= 746.
double ExpRounded(Dd z) {
  const ExpParts e = ExpUnrounded(z);
  return ScaleByPow2(e.v.hi + e.v.lo, e.m);
}

// Relative bound of ExpEvaluate<false> (2^-61.4), with a margin of 2.
constexpr double expFirstPhaseEps = 0x1.8p-61;
// ExpNear's: 2^-61.3, with a margin of 2.5.
constexpr double expNearEps = 0x1p-60;

}  // namespace

double Sin(double x) {
  if (x == 0.0 || IsNaN(x)) return x;
  if (IsInf(x)) return quietNaN;
  const double ax = Abs(x);
  if (ax < directLimit) {
    double y = 0.0;
    if (DirectSin(SplitDirect(ax), y)) return FlipSign(y, x < 0.0);
  }
  Dd r{};
  const int q = Reduce(ax, r);
  const Dd v = SinQuadrant(r, q);
  return FlipSign(v.hi + v.lo, ((q & 2) != 0) != (x < 0.0));
}

double Cos(double x) {
  if (IsNaN(x)) return x;
  if (IsInf(x)) return quietNaN;
  const double ax = Abs(x);
  if (ax < directLimit) {
    double y = 0.0;
    if (DirectCos(SplitDirect(ax), y)) return y;
  }
  Dd r{};
  const int q = Reduce(ax, r) + 1;
  const Dd v = SinQuadrant(r, q);
  return FlipSign(v.hi + v.lo, (q & 2) != 0);
}

void SinCos(double x, double& sine, double& cosine) {
  if (IsNaN(x) || IsInf(x)) {
    sine = cosine = IsNaN(x) ? x : quietNaN;
    return;
  }
  const double ax = Abs(x);
  bool sineDone = false, cosineDone = false;
  if (ax < directLimit) {
    const DirectArg d = SplitDirect(ax);
    double s = 0.0;
    sineDone = DirectSin(d, s);
    sine = x == 0.0 ? x : FlipSign(s, x < 0.0);
    cosineDone = DirectCos(d, cosine);
    if (sineDone && cosineDone) return;
  }
  // Each result as Sin and Cos would give it.
  Dd r{};
  const int q = Reduce(ax, r);
  if (!sineDone) {
    const Dd s = SinQuadrant(r, q);
    sine = x == 0.0 ? x : FlipSign(s.hi + s.lo, ((q & 2) != 0) != (x < 0.0));
  }
  if (!cosineDone) {
    const Dd c = SinQuadrant(r, q + 1);
    cosine = FlipSign(c.hi + c.lo, ((q + 1) & 2) != 0);
  }
}

double Tan(double x) {
  if (x == 0.0 || IsNaN(x)) return x;
  if (IsInf(x)) return quietNaN;
  const double ax = Abs(x);
  if (ax < tanTableLimit) {
    double err = 0.0;
    const Dd v = TableTan(ax, err);
    double y = 0.0;
    if (RoundsWithin(v, err, y)) return FlipSign(y, x < 0.0);
  } else if (ax < directTanLimit) {
    double y = 0.0;
    if (DirectTan(ax, y)) return FlipSign(y, x < 0.0);
  }
  Dd v{};
  if (ax <= quarterPiDown) {
    // The projection's arguments: no reduction, no quadrant.
    v = Divide(SinQuadrant({ax, 0.0}, 0), SinQuadrant({ax, 0.0}, 1));
  } else {
    Dd r{};
    const int q = Reduce(ax, r);
    // An odd quadrant gives -cos r / sin r.
    const Dd s = SinQuadrant(r, 0);
    const Dd c = SinQuadrant(r, 1);
    v = (q & 1) ? Negate(Divide(c, s)) : Divide(s, c);
  }
  return FlipSign(v.hi + v.lo, x < 0.0);
}

double Atan(double x) {
  if (x == 0.0 || IsNaN(x)) return x;
  const double ax = Abs(x);
  double y = 0.0;
  {
    // atan(ax) = pi/2 - atan(1/ax) past 1, chosen by factors of 0 and +-1.
    const double wide = static_cast<double>(ax > 1.0);
    const double small = ax > 1.0 ? 1.0 : ax;
    const double big = ax > 1.0 ? ax : 1.0;
    if (AtanFirstPhase(small, big, {wide * pio2Dd1, wide * pio2Dd2}, 1.0 - 2.0 * wide, y)) {
      return FlipSign(y, x < 0.0);
    }
  }
  if (ax <= 1.0) {
    const Dd v = AtanUnit({ax, 0.0});
    y = v.hi + v.lo;
  } else if (ax < 0x1p60) {
    const Dd v = Subtract({pio2Dd1, pio2Dd2}, AtanUnit(Quotient(1.0, ax)));
    y = v.hi + v.lo;
  } else {
    // atan(1/ax) = 1/ax to far below the last place of pi/2.
    y = pio2Dd1 + (pio2Dd2 - 1.0 / ax);
  }
  return x < 0.0 ? -y : y;
}

double Atan2(double y, double x) {
  if (IsNaN(x) || IsNaN(y)) return x + y;
  const bool negY = y < 0.0 || (y == 0.0 && 1.0 / y < 0.0);
  const bool negX = x < 0.0 || (x == 0.0 && 1.0 / x < 0.0);
  double ay = Abs(y);
  double ax = Abs(x);
  double v = 0.0;
  if (ay == 0.0) {
    v = negX ? piDd1 : 0.0;
  } else if (ax == 0.0 || (IsInf(ay) && !IsInf(ax))) {
    v = pio2Dd1;
  } else if (IsInf(ax)) {
    if (IsInf(ay)) {
      const Dd threeQuarters = Add({pio2Dd1, pio2Dd2}, {pio2Dd1 * 0.5, pio2Dd2 * 0.5});
      v = negX ? threeQuarters.hi + threeQuarters.lo : pio2Dd1 * 0.5;
    } else {
      v = negX ? piDd1 : 0.0;
    }
  } else {
    const double big = ay > ax ? ay : ax;
    if (big > 0x1p-500 && big < 0x1p500) {
      // atan(ay/ax), pi - atan(ay/ax), pi/2 - atan(ax/ay), pi/2 + atan(ax/ay).
      static constexpr double baseHi[4] = {0.0, piDd1, pio2Dd1, pio2Dd1};
      static constexpr double baseLo[4] = {0.0, piDd2, pio2Dd2, pio2Dd2};
      static constexpr double turn[4] = {1.0, -1.0, -1.0, 1.0};
      const int swap = ay > ax;
      const int k = 2 * swap + static_cast<int>(negX);
      const double small = swap ? ax : ay;
      if (AtanFirstPhase(small, big, {baseHi[k], baseLo[k]}, turn[k], v)) return FlipSign(v, negY);
    }
    // Bring the larger magnitude near 1 so the quotient's error term stays
    // in range.
    if (big > 0x1p500) {
      ay *= 0x1p-600;
      ax *= 0x1p-600;
    } else if (big < 0x1p-500) {
      ay *= 0x1p600;
      ax *= 0x1p600;
    }
    Dd a{};
    if (ay <= ax) {
      a = AtanUnit(Quotient(ay, ax));
      if (negX) a = Subtract({piDd1, piDd2}, a);
    } else {
      a = AtanUnit(Quotient(ax, ay));
      a = negX ? Add({pio2Dd1, pio2Dd2}, a) : Subtract({pio2Dd1, pio2Dd2}, a);
    }
    v = a.hi + a.lo;
  }
  return negY ? -v : v;
}

double Log(double x) {
  std::uint64_t ix = 0;
  std::memcpy(&ix, &x, sizeof ix);
  // Positive normal arguments in one unsigned compare; the rest one by one.
  if (ix - 0x0010000000000000ull >= 0x7FE0000000000000ull) {
    if (IsNaN(x)) return x;
    if (x < 0.0) return quietNaN;
    if (x == 0.0) return -infinity;
    if (x == infinity) return x;
  }
  double y = 0.0;
  if (RoundsTo(LogFirstPhase(x), logFirstPhaseEps, y)) return y;
  const Dd v = LogPositive(x);
  return v.hi + v.lo;
}

double Pow(double x, double y) {
  std::uint64_t ix = 0, iy = 0;
  std::memcpy(&ix, &x, sizeof ix);
  std::memcpy(&iy, &y, sizeof iy);
  // Positive normal bases with exponents below 2^996, where Veltkamp's
  // split of y cannot overflow, in two unsigned compares (x == 1 and y == 0
  // among them give exactly 1 on the way below); the rest one by one.
  if (ix - 0x0010000000000000ull >= 0x7FE0000000000000ull ||
      (iy & 0x7FFFFFFFFFFFFFFFull) >= 0x7E30000000000000ull) {
    if (y == 0.0 || x == 1.0) return 1.0;
    if (IsNaN(x) || IsNaN(y)) return x + y;
    if (x < 0.0) return quietNaN;
    if (x == 0.0) return y > 0.0 ? 0.0 : infinity;
    if (IsInf(y)) return (x < 1.0) == (y > 0.0) ? 0.0 : infinity;
    if (x == infinity) return y > 0.0 ? infinity : 0.0;
  }
  {
    // Below |z| = 700 the result is normal and the scaling by 2^m exact (on
    // the exponent field), so the test on the unscaled sum decides it. The
    // error of log x scales with y log x in the exponent.
    const Dd l = LogFirstPhase(x);
    const Dd z0 = TwoProd(y, l.hi);
    const double az = Abs(z0.hi);
    if (az < 700.0) {
      // l.lo carries the logarithm's series: zl stays below 2^-14 for the
      // library's exponents, not for every y.
      const double zl = z0.lo + y * l.lo;
      const bool near = az < 8.0 && Abs(zl) < 0x1p-14;
      const ExpParts e = near ? ExpNear(z0.hi, zl) : ExpEvaluate<false>(FastTwoSum(z0.hi, zl));
      const double eps = az * (logFirstPhaseEps * 1.0002) + (near ? expNearEps : expFirstPhaseEps);
      double v = 0.0;
      if (RoundsTo(e.v, eps, v)) return ScaleNormal(v, e.m);
    }
  }
  const Dd l = LogPositive(x);
  const Dd z0 = TwoProd(y, l.hi);
  if (z0.hi > 709.8) return infinity;
  if (z0.hi < -745.2) return 0.0;
  const Dd z = FastTwoSum(z0.hi, z0.lo + y * l.lo);
  return ExpRounded(z);
}

}  // namespace maths
}  // namespace tarnutil
