// The library's own maths against the platform's C library, per function,
// on the arguments the library passes: latitudes and courses for sine and
// cosine, the projection's half-colatitudes for tangent, map ratios for
// arctangent, the isometric latitude's quotients for log, and the
// projection's bases and fixed exponents for pow.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "bench_support.h"
#include "maths/maths.h"

namespace {

namespace m = tarnutil::maths;

constexpr std::size_t argumentCount = 100000;

struct Args {
  std::vector<double> x;
  std::vector<double> y;
};

Args Make(double xLo, double xHi, double yLo, double yHi, std::uint64_t seed) {
  bench::Rng rng(seed);
  Args a;
  for (std::size_t i = 0; i < argumentCount; ++i) {
    a.x.push_back(rng.Real(xLo, xHi));
    a.y.push_back(rng.Real(yLo, yHi));
  }
  return a;
}

// Radians: latitudes and courses up to half a turn.
const Args& Angles() {
  static const Args a = Make(-3.1, 3.1, 0.0, 0.0, 1);
  return a;
}
// tan(pi/4 - phi/2) over the map's latitudes.
const Args& HalfColatitudes() {
  static const Args a = Make(0.3, 0.65, 0.0, 0.0, 2);
  return a;
}
// Ratios x / d and fixed-point t values, and atan2's coordinate pairs.
const Args& Ratios() {
  static const Args a = Make(-3.0, 3.0, -3.0, 3.0, 3);
  return a;
}
// (1 + s) / (1 - s) over latitudes to 80 degrees.
const Args& LogArgs() {
  static const Args a = Make(0.005, 130.0, 0.0, 0.0, 4);
  return a;
}
// The projection's bases with its exponent n.
const Args& PowArgs() {
  static const Args a = Make(0.3, 1.2, 0.5915298988240185, 0.5915298988240185, 5);
  return a;
}

template <typename F>
void RunUnary(benchmark::State& state, const Args& a, F f) {
  for (auto _ : state) {
    double sum = 0.0;
    for (double x : a.x) sum += f(x);
    benchmark::DoNotOptimize(sum);
  }
  bench::SetItems(state, a.x.size());
}

template <typename F>
void RunBinary(benchmark::State& state, const Args& a, F f) {
  for (auto _ : state) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.x.size(); ++i) sum += f(a.x[i], a.y[i]);
    benchmark::DoNotOptimize(sum);
  }
  bench::SetItems(state, a.x.size());
}

#define TARNUTIL_MATHS_BENCH_UNARY(name, args, ours, theirs) \
  void name##TarnUtil(benchmark::State& s) {                 \
    RunUnary(s, args(), [](double x) { return ours(x); });   \
  }                                                          \
  void name##Libm(benchmark::State& s) {                     \
    RunUnary(s, args(), [](double x) { return theirs(x); }); \
  }                                                          \
  BENCHMARK(name##TarnUtil)->Name(#name "/TarnUtil");        \
  BENCHMARK(name##Libm)->Name(#name "/libm");

TARNUTIL_MATHS_BENCH_UNARY(Sin, Angles, m::Sin, std::sin)
TARNUTIL_MATHS_BENCH_UNARY(Cos, Angles, m::Cos, std::cos)
TARNUTIL_MATHS_BENCH_UNARY(Tan, HalfColatitudes, m::Tan, std::tan)
TARNUTIL_MATHS_BENCH_UNARY(Atan, Ratios, m::Atan, std::atan)
TARNUTIL_MATHS_BENCH_UNARY(Log, LogArgs, m::Log, std::log)

void Atan2TarnUtil(benchmark::State& s) {
  RunBinary(s, Ratios(), [](double y, double x) { return m::Atan2(y, x); });
}
void Atan2Libm(benchmark::State& s) {
  RunBinary(s, Ratios(), [](double y, double x) { return std::atan2(y, x); });
}
BENCHMARK(Atan2TarnUtil)->Name("Atan2/TarnUtil");
BENCHMARK(Atan2Libm)->Name("Atan2/libm");

void PowTarnUtil(benchmark::State& s) {
  RunBinary(s, PowArgs(), [](double x, double y) { return m::Pow(x, y); });
}
void PowLibm(benchmark::State& s) {
  RunBinary(s, PowArgs(), [](double x, double y) { return std::pow(x, y); });
}
BENCHMARK(PowTarnUtil)->Name("Pow/TarnUtil");
BENCHMARK(PowLibm)->Name("Pow/libm");

}  // namespace
