#include "maths/maths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "testing/maths_functions.h"
#include "testing/testing.h"

namespace {

namespace m = tarnutil::maths;
using tarnutil::testing::UlpDistance;

using tarnutil::testing::EvaluateMaths;
using tarnutil::testing::MathsFunc;

struct HardCase {
  MathsFunc fn;
  double x;
  double y;
  double expected;
  double hardness;  // distance of the exact value from a rounding boundary, ulps
};

// Correctly rounded by MPFR (scripts/maths_tables.sh).
const HardCase hardCases[] = {
#include "maths/maths_cases.inc"
};

// The same bits on every target: these are the arguments hardest to round
// of a large sample, plus those near multiples of pi/2 and near 1.
TEST(MathsHardCases, CorrectlyRoundedOnEveryTarget) {
  int wrong = 0;
  for (const HardCase& c : hardCases) {
    const double got = EvaluateMaths(c.fn, c.x, c.y);
    SCOPED_TRACE(testing::Message()
                 << static_cast<int>(c.fn) << " " << std::hexfloat << c.x << " " << c.y);
    // Faithful at worst; a miss is allowed only where the exact value lies
    // within 2^-40 ulp of a boundary.
    EXPECT_LE(UlpDistance(got, c.expected), 1u);
    if (got != c.expected) {
      ++wrong;
      EXPECT_LT(c.hardness, 0x1p-40);
    }
  }
  EXPECT_EQ(wrong, 0);
}

struct SpecialCase {
  const char* what;
  double got;
  double expected;
};

TEST(MathsSpecialValues, FollowTheDocumentedContract) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  const double pi = 0x1.921fb54442d18p+1;
  const double halfPi = 0x1.921fb54442d18p+0;
  const SpecialCase cases[] = {
      {"sin(-0)", m::Sin(-0.0), -0.0},
      {"sin(inf)", m::Sin(inf), nan},
      {"cos(nan)", m::Cos(nan), nan},
      {"cos(0)", m::Cos(0.0), 1.0},
      {"tan(-0)", m::Tan(-0.0), -0.0},
      {"atan(-inf)", m::Atan(-inf), -halfPi},
      {"atan(1e300)", m::Atan(1e300), halfPi},
      {"atan2(-0, -1)", m::Atan2(-0.0, -1.0), -pi},
      {"atan2(0, -0)", m::Atan2(0.0, -0.0), pi},
      {"atan2(-0, 0)", m::Atan2(-0.0, 0.0), -0.0},
      {"atan2(1, 0)", m::Atan2(1.0, 0.0), halfPi},
      {"atan2(-inf, inf)", m::Atan2(-inf, inf), -0x1.921fb54442d18p-1},
      {"atan2(inf, -inf)", m::Atan2(inf, -inf), 0x1.2d97c7f3321d2p+1},
      {"atan2(1, -inf)", m::Atan2(1.0, -inf), pi},
      {"atan2(1e-300, 1e300)", m::Atan2(1e-300, 1e300), 0.0},
      {"log(0)", m::Log(0.0), -inf},
      {"log(-1)", m::Log(-1.0), nan},
      {"log(inf)", m::Log(inf), inf},
      {"log(1)", m::Log(1.0), 0.0},
      {"pow(x, 0)", m::Pow(nan, 0.0), 1.0},
      {"pow(0.7, -0)", m::Pow(0.7, -0.0), 1.0},
      {"pow(1, nan)", m::Pow(1.0, nan), 1.0},
      {"pow(1, -1e308)", m::Pow(1.0, -1e308), 1.0},
      {"pow(1, 0.04)", m::Pow(1.0, 0.0409095955), 1.0},
      {"pow(-2, 0.5)", m::Pow(-2.0, 0.5), nan},
      {"pow(0, -1)", m::Pow(0.0, -1.0), inf},
      {"pow(0, 2)", m::Pow(0.0, 2.0), 0.0},
      {"pow(0.5, inf)", m::Pow(0.5, inf), 0.0},
      {"pow(2, -inf)", m::Pow(2.0, -inf), 0.0},
      {"pow(10, 400)", m::Pow(10.0, 400.0), inf},
      {"pow(10, -400)", m::Pow(10.0, -400.0), 0.0},
      {"pow(4, 0.5)", m::Pow(4.0, 0.5), 2.0},
      {"pow(2, 1000)", m::Pow(2.0, 1000.0), 0x1p1000},
  };
  for (const SpecialCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.expected != c.expected) {
      EXPECT_NE(c.got, c.got);
    } else {
      EXPECT_EQ(c.got, c.expected);
      EXPECT_EQ(std::signbit(c.got), std::signbit(c.expected));
    }
  }
}

// Far outside the library's domains the results stay sane: in range and
// odd or even as the function is.
TEST(MathsHugeArguments, StayInRangeAndKeepSymmetry) {
  const double args[] = {0x1p25, 0x1.8p40, 1e22, 0x1p53 + 2.0, 1e200, 0x1.fffffffffffffp1023};
  for (double x : args) {
    SCOPED_TRACE(x);
    const double s = m::Sin(x);
    const double c = m::Cos(x);
    EXPECT_LE(std::fabs(s), 1.0);
    EXPECT_LE(std::fabs(c), 1.0);
    EXPECT_EQ(m::Sin(-x), -s);
    EXPECT_EQ(m::Cos(-x), c);
    EXPECT_NEAR(s * s + c * c, 1.0, 1e-15);
  }
}

// The shared-reduction pair gives Sin's and Cos's bits, signed zeros and
// NaNs included, in every quadrant and past the small reduction.
TEST(MathsSinCos, SameBitsAsSinAndCos) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  const double args[] = {0.0,   -0.0, 0x1p-1074, -0x1.fffffffffffffp-10, 0.7853981633974483,
                         2.0,   -2.5, 4.0,       -5.5,                   1e6,
                         0x1p25, -1e22, inf,     -inf,                   std::nan("")};
  for (double x : args) {
    SCOPED_TRACE(x);
    double s = 0.0, c = 0.0;
    m::SinCos(x, s, c);
    const double wantS = m::Sin(x);
    const double wantC = m::Cos(x);
    EXPECT_EQ(UlpDistance(s, wantS), 0u);
    EXPECT_EQ(UlpDistance(c, wantC), 0u);
    EXPECT_EQ(std::signbit(s), std::signbit(wantS));
  }
}

}  // namespace
