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

INSTANTIATE_TEST_SUITE_P(Functions, MathsSweep, ::testing::ValuesIn(domains),
                         [](const ::testing::TestParamInfo<Domain>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
