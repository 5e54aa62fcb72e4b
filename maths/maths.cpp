#include "maths/maths.h"

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
double Abs(double x) {
  return x < 0.0 ? -x : x;
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
  if (x <= quarterPiDown) {
    r = {x, 0.0};
    return 0;
  }
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

// sin(a + t) and cos(a + t) from the table entry nearest r: a = j/256, so
// |t| <= 2^-9 and the series terms past t need double precision only.
struct SinCosParts {
  Dd s;       // sin(a)
  Dd c;       // cos(a)
  double th;  // t = th + tl
  double tl;
  double sinT;  // sin(t) / t - 1
  double cosT;  // cos(t) - 1
};

SinCosParts Expand(Dd r) {
  SinCosParts p;
  const int j = static_cast<int>(r.hi * 256.0 + 0.5);
  p.s = {sinTable256[2 * j], sinTable256[2 * j + 1]};
  p.c = {cosTable256[2 * j], cosTable256[2 * j + 1]};
  p.th = r.hi - static_cast<double>(j) * 0x1p-8;  // exact
  p.tl = r.lo;
  const double t2 = p.th * p.th;
  p.sinT = t2 * (sinC3 + t2 * (sinC5 + t2 * sinC7));
  // tl is small against r, not against th: its share of t^2 / 2 counts.
  p.cosT = t2 * (-0.5 + t2 * (cosC4 + t2 * cosC6)) - p.th * p.tl;
  return p;
}

// sin(r) for 0 <= r <= pi/4 + tiny, unrounded.
Dd SinPositive(Dd r) {
  const SinCosParts p = Expand(r);
  const Dd ct = TwoProd(p.c.hi, p.th);
  const Dd h = TwoSum(p.s.hi, ct.hi);
  const double lo = ((((h.lo + ct.lo) + p.s.lo) + p.c.hi * p.tl) + p.c.lo * p.th) +
                    (p.s.hi * p.cosT + ct.hi * p.sinT);
  return {h.hi, lo};
}

// cos(r) for 0 <= r <= pi/4 + tiny, unrounded.
Dd CosPositive(Dd r) {
  const SinCosParts p = Expand(r);
  const Dd st = TwoProd(p.s.hi, p.th);
  const Dd h = TwoSum(p.c.hi, -st.hi);
  const double lo = ((((h.lo - st.lo) + p.c.lo) - p.s.hi * p.tl) - p.s.lo * p.th) +
                    (p.c.hi * p.cosT - st.hi * p.sinT);
  return {h.hi, lo};
}

Dd Negate(Dd a) {
  return {-a.hi, -a.lo};
}

// sin(r) or cos(r) for |r| <= pi/4 + tiny.
Dd SinReduced(Dd r) {
  return r.hi < 0.0 ? Negate(SinPositive(Negate(r))) : SinPositive(r);
}
Dd CosReduced(Dd r) {
  return r.hi < 0.0 ? CosPositive(Negate(r)) : CosPositive(r);
}

// ---- arctangent ----

constexpr double atanC3 = -1.0 / 3.0;
constexpr double atanC5 = 1.0 / 5.0;
constexpr double atanC7 = -1.0 / 7.0;
constexpr double atanC9 = 1.0 / 9.0;

// atan(z) for 0 <= z <= 1 (+ tiny), unrounded: atan(c) + atan(u) with
// c = j/128 the nearest table point and u = (z - c) / (1 + z c), |u| <= 2^-8.
Dd AtanUnit(Dd z) {
  const int j = static_cast<int>(z.hi * 128.0 + 0.5);
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

constexpr double expC2 = 0.5;
constexpr double expC3 = 1.0 / 6.0;
constexpr double expC4 = 1.0 / 24.0;
constexpr double expC5 = 1.0 / 120.0;
constexpr double expC6 = 1.0 / 720.0;
constexpr double expC7 = 1.0 / 5040.0;

// exp(z) rounded, for |z.hi| <= 746: z = (128 m + j) ln2/128 + r with
// |r| <= ln2/256, exp(z) = 2^m 2^(j/128) exp(r) (Tang).
double ExpRounded(Dd z) {
  const double k = NearestInteger(z.hi * inv128Ln2);
  const double r1 = z.hi - k * ln2By128Part1;  // exact
  const Dd rs = TwoSum(r1, -(k * ln2By128Part2));
  const double rl = (rs.lo + z.lo) - k * ln2By128Part3;
  const Dd r = FastTwoSum(rs.hi, rl);
  const double rh = r.hi;
  const double p =
      (rh * rh) * (expC2 + rh * (expC3 + rh * (expC4 + rh * (expC5 + rh * (expC6 + rh * expC7))))) +
      rh * r.lo;
  const std::int64_t ki = static_cast<std::int64_t>(k);
  const std::int64_t j = ki & 127;
  const int m = static_cast<int>((ki - j) / 128);
  const double th = exp2Table128[2 * j];
  const double tl = exp2Table128[2 * j + 1];
  const Dd a = TwoProd(th, rh);
  const Dd h = TwoSum(th, a.hi);
  const double lo = (((h.lo + a.lo) + tl) + tl * rh) + th * (r.lo + p);
  return ScaleByPow2(h.hi + lo, m);
}

}  // namespace

double Sin(double x) {
  if (x == 0.0 || IsNaN(x)) return x;
  if (IsInf(x)) return quietNaN;
  Dd r{};
  const int q = Reduce(Abs(x), r);
  Dd v = (q & 1) ? CosReduced(r) : SinReduced(r);
  if (q & 2) v = Negate(v);
  const double y = v.hi + v.lo;
  return x < 0.0 ? -y : y;
}

double Cos(double x) {
  if (IsNaN(x)) return x;
  if (IsInf(x)) return quietNaN;
  Dd r{};
  const int q = Reduce(Abs(x), r);
  Dd v = (q & 1) ? SinReduced(r) : CosReduced(r);
  if (((q + 1) & 2) != 0) v = Negate(v);
  return v.hi + v.lo;
}

double Tan(double x) {
  if (x == 0.0 || IsNaN(x)) return x;
  if (IsInf(x)) return quietNaN;
  Dd r{};
  const int q = Reduce(Abs(x), r);
  const Dd s = SinReduced(r);
  const Dd c = CosReduced(r);
  const Dd v = (q & 1) ? Negate(Divide(c, s)) : Divide(s, c);
  const double y = v.hi + v.lo;
  return x < 0.0 ? -y : y;
}

double Atan(double x) {
  if (x == 0.0 || IsNaN(x)) return x;
  const double ax = Abs(x);
  double y = 0.0;
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
    // Bring the larger magnitude near 1 so the quotient's error term stays
    // in range.
    const double big = ay > ax ? ay : ax;
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
  if (IsNaN(x)) return x;
  if (x < 0.0) return quietNaN;
  if (x == 0.0) return -infinity;
  if (x == infinity) return x;
  const Dd v = LogPositive(x);
  return v.hi + v.lo;
}

double Pow(double x, double y) {
  if (y == 0.0 || x == 1.0) return 1.0;
  if (IsNaN(x) || IsNaN(y)) return x + y;
  if (x < 0.0) return quietNaN;
  if (x == 0.0) return y > 0.0 ? 0.0 : infinity;
  if (IsInf(y)) return (x < 1.0) == (y > 0.0) ? 0.0 : infinity;
  if (x == infinity) return y > 0.0 ? infinity : 0.0;
  const Dd l = LogPositive(x);
  const Dd z0 = TwoProd(y, l.hi);
  if (z0.hi > 709.8) return infinity;
  if (z0.hi < -745.2) return 0.0;
  const Dd z = FastTwoSum(z0.hi, z0.lo + y * l.lo);
  return ExpRounded(z);
}

}  // namespace maths
}  // namespace tarnutil
