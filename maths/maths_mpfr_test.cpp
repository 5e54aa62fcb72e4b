// Sweeps each function of maths/ over its domain against GNU MPFR: the
// share of correctly rounded results and the largest error in ulps. The
// test run uses a modest count; scripts/maths_sweep.sh sets
// TARNUTIL_MATHS_SWEEP_COUNT for the full sweep and prints the figures.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>

#include "geodesy/lambert.h"
#include "maths/maths.h"
#include "testing/maths_functions.h"
#include "testing/testing.h"

namespace {

using tarnutil::testing::EvaluateMaths;
using tarnutil::testing::SeededRng;

using Fn = tarnutil::testing::MathsFunc;

struct Domain {
  const char* name;
  Fn fn;
};

// A double spread evenly over the binary exponents of [lo, hi).
double LogUniform(SeededRng& rng, double lo, double hi) {
  return std::exp2(rng.Real(std::log2(lo), std::log2(hi)));
}

// One argument pair from the domain the library uses, widened.
void Draw(Fn fn, std::uint64_t i, SeededRng& rng, double& x, double& y) {
  namespace lc = tarnutil::detail::lambert;
  const double powExps[] = {lc::eHalf, lc::n, lc::invN};
  y = 0.0;
  switch (fn) {
    case Fn::sin:
    case Fn::cos:
      x = (i & 1) ? rng.Real(-7.0, 7.0) : LogUniform(rng, 0x1p-30, 0x1p20) * ((i & 2) ? -1 : 1);
      break;
    case Fn::tan:
      x = (i & 1) ? rng.Real(-1.5707, 1.5707) : LogUniform(rng, 0x1p-30, 1.5707);
      break;
    case Fn::atan:
      x = LogUniform(rng, 0x1p-30, 0x1p30) * ((i & 2) ? -1 : 1);
      break;
    case Fn::atan2:
      x = rng.Real(-1e6, 1e6);
      y = rng.Real(-1e6, 1e6);
      break;
    case Fn::log:
      x = (i & 1) ? rng.Real(0.5, 2.0) : LogUniform(rng, 0x1p-1000, 0x1p1000);
      break;
    case Fn::pow:
      x = (i & 1) ? rng.Real(0.8, 1.25) : LogUniform(rng, 1e-3, 1e3);
      y = (i % 4 < 3) ? powExps[i % 3] : rng.Real(-4.0, 4.0);
      break;
  }
}

void Exact(Fn fn, mpfr_t r, double x, double y) {
  mpfr_t a, b;
  mpfr_inits2(64, a, b, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_d(a, x, MPFR_RNDN);
  mpfr_set_d(b, y, MPFR_RNDN);
  switch (fn) {
    case Fn::sin:
      mpfr_sin(r, a, MPFR_RNDN);
      break;
    case Fn::cos:
      mpfr_cos(r, a, MPFR_RNDN);
      break;
    case Fn::tan:
      mpfr_tan(r, a, MPFR_RNDN);
      break;
    case Fn::atan:
      mpfr_atan(r, a, MPFR_RNDN);
      break;
    case Fn::atan2:
      mpfr_atan2(r, a, b, MPFR_RNDN);
      break;
    case Fn::log:
      mpfr_log(r, a, MPFR_RNDN);
      break;
    case Fn::pow:
      mpfr_pow(r, a, b, MPFR_RNDN);
      break;
  }
  mpfr_clears(a, b, static_cast<mpfr_ptr>(nullptr));
}

std::uint64_t SweepCount() {
  const char* env = std::getenv("TARNUTIL_MATHS_SWEEP_COUNT");
  return env ? std::strtoull(env, nullptr, 10) : 20000u;
}

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Domain& d, std::ostream* os) {
  *os << d.name;
}

class MathsSweep : public ::testing::TestWithParam<Domain> {};

TEST_P(MathsSweep, CorrectlyRoundedAndWithinOneUlp) {
  const Domain d = GetParam();
  const std::uint64_t count = SweepCount();
  SeededRng rng(0x5EEDull + static_cast<std::uint64_t>(d.fn));
  mpfr_t exact, diff;
  mpfr_init2(exact, 160);
  mpfr_init2(diff, 160);
  std::uint64_t wrong = 0;
  double maxUlps = 0.0;
  for (std::uint64_t i = 0; i < count; ++i) {
    double x = 0.0, y = 0.0;
    Draw(d.fn, i, rng, x, y);
    const double got = EvaluateMaths(d.fn, x, y);
    Exact(d.fn, exact, x, y);
    const double want = mpfr_get_d(exact, MPFR_RNDN);
    if (got != want) ++wrong;
    // Error in ulps of the correctly rounded value.
    mpfr_sub_d(diff, exact, got, MPFR_RNDN);
    const double ulp = std::nextafter(std::fabs(want), INFINITY) - std::fabs(want);
    const double ulps = std::fabs(mpfr_get_d(diff, MPFR_RNDN)) / ulp;
    if (ulps > maxUlps) maxUlps = ulps;
    if (ulps >= 1.0) {
      ADD_FAILURE() << d.name << "(" << std::hexfloat << x << ", " << y << ") = " << got
                    << ", correctly rounded " << want;
    }
  }
  mpfr_clears(exact, diff, static_cast<mpfr_ptr>(nullptr));
  const double share = 1.0 - static_cast<double>(wrong) / static_cast<double>(count);
  std::printf("sweep %-6s %llu arguments: %.7f%% correctly rounded, largest error %.4f ulp\n",
              d.name, static_cast<unsigned long long>(count), 100.0 * share, maxUlps);
  RecordProperty("CorrectlyRounded", std::to_string(share));
  RecordProperty("MaxUlps", std::to_string(maxUlps));
  EXPECT_GE(share, 0.9999);
}

const Domain domains[] = {{"sin", Fn::sin},   {"cos", Fn::cos},     {"tan", Fn::tan},
                          {"atan", Fn::atan}, {"atan2", Fn::atan2}, {"log", Fn::log},
                          {"pow", Fn::pow}};

// Errors of one function's results against MPFR.
struct Tally {
  std::uint64_t count = 0;
  std::uint64_t wrong = 0;
  double maxUlps = 0.0;
};

// The grid side: TARNUTIL_MATHS_GRID_SIDE, or a coarse grid for the suite.
int GridSide() {
  const char* env = std::getenv("TARNUTIL_MATHS_GRID_SIDE");
  return env ? std::atoi(env) : 16;
}

// Every argument the projection (both ways) and the rhumb line's latitude
// terms pass to the maths over the map's area, 70..140 degrees east and
// 15..55 north, on a square grid, through the geodesy code's formulas.
TEST(MathsGrid, ProjectionAndRhumbArgumentsCorrectlyRounded) {
  namespace lc = tarnutil::detail::lambert;
  namespace m = tarnutil::maths;
  // The rhumb line's ellipsoid eccentricity (Krasovsky 1940).
  constexpr double rhumbE = 0.081813334;
  const int side = GridSide();
  Tally tally[7];
  mpfr_t exact, diff;
  mpfr_init2(exact, 160);
  mpfr_init2(diff, 160);
  auto check = [&](Fn fn, double x, double y, double got) {
    Exact(fn, exact, x, y);
    const double want = mpfr_get_d(exact, MPFR_RNDN);
    Tally& t = tally[static_cast<int>(fn)];
    ++t.count;
    if (got != want) ++t.wrong;
    mpfr_sub_d(diff, exact, got, MPFR_RNDN);
    const double ulp = std::nextafter(std::fabs(want), INFINITY) - std::fabs(want);
    const double ulps = std::fabs(mpfr_get_d(diff, MPFR_RNDN)) / ulp;
    if (ulps > t.maxUlps) t.maxUlps = ulps;
    EXPECT_LT(ulps, 1.0) << std::hexfloat << x << ", " << y;
    return got;
  };
  for (int i = 0; i < side; ++i) {
    for (int k = 0; k < side; ++k) {
      const double lonDeg = 70.0 + 70.0 * (i + 0.5) / side;
      const double latDeg = 15.0 + 40.0 * (k + 0.5) / side;
      // Forward.
      const double phi = latDeg * lc::deg2rad;
      const double a1 = lc::quarterPi - phi * 0.5;
      const double bigT = check(Fn::tan, a1, 0.0, m::Tan(a1));
      const double s = check(Fn::sin, phi, 0.0, m::Sin(phi));
      const double q = (1.0 - s * lc::e) / (s * lc::e + 1.0);
      const double t = bigT / check(Fn::pow, q, lc::eHalf, m::Pow(q, lc::eHalf));
      const double rho = check(Fn::pow, t, lc::n, m::Pow(t, lc::n)) * lc::aF;
      const double theta = (lonDeg - lc::lambda0) * lc::nDeg2rad;
      const double y = lc::rho0 - rho * check(Fn::cos, theta, 0.0, m::Cos(theta));
      const double x = rho * check(Fn::sin, theta, 0.0, m::Sin(theta));
      // Inverse of that point, every pass.
      const double d = lc::rho0 - y;
      const double r2 = std::sqrt(d * d + x * x) * lc::nSign * lc::invAF;
      const double ti = check(Fn::pow, r2, lc::invN, m::Pow(r2, lc::invN));
      check(Fn::atan, x / d, 0.0, m::Atan(x / d));
      double p = lc::halfPi - 2.0 * check(Fn::atan, ti, 0.0, m::Atan(ti));
      for (int pass = 1; pass < lc::latitudePasses; ++pass) {
        const double si = check(Fn::sin, p, 0.0, m::Sin(p));
        const double qi = (1.0 - si * lc::e) / (si * lc::e + 1.0);
        const double w = check(Fn::pow, qi, lc::eHalf, m::Pow(qi, lc::eHalf)) * ti;
        const double next = lc::halfPi - 2.0 * check(Fn::atan, w, 0.0, m::Atan(w));
        const bool settled = next == p;
        p = next;
        if (settled) break;
      }
      // The rhumb line's isometric latitude and radius, and the angle of
      // the projected point.
      const double l1 = (s + 1.0) / (1.0 - s);
      const double l2 = (s * rhumbE + 1.0) / (1.0 - s * rhumbE);
      check(Fn::log, l1, 0.0, m::Log(l1));
      check(Fn::log, l2, 0.0, m::Log(l2));
      check(Fn::cos, phi, 0.0, m::Cos(phi));
      check(Fn::atan2, x, y, m::Atan2(x, y));
    }
  }
  mpfr_clears(exact, diff, static_cast<mpfr_ptr>(nullptr));
  for (const Domain& d : domains) {
    const Tally& t = tally[static_cast<int>(d.fn)];
    if (t.count == 0) continue;
    const double share = 1.0 - static_cast<double>(t.wrong) / static_cast<double>(t.count);
    std::printf("grid  %-6s %llu arguments: %.7f%% correctly rounded, largest error %.4f ulp\n",
                d.name, static_cast<unsigned long long>(t.count), 100.0 * share, t.maxUlps);
    EXPECT_GE(share, 0.9999) << d.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Functions, MathsSweep, ::testing::ValuesIn(domains),
                         [](const ::testing::TestParamInfo<Domain>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
