// Table sine and cosine of whole degrees against the maths library: one
// item is a sine and a cosine of the same angle.
#include <benchmark/benchmark.h>
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "bench_support.h"

namespace {

// Whole degrees as callers pass them, negative ones included.
constexpr std::size_t angleCount = 4096;
constexpr double degToRad = 0.017453292519943295;

const std::vector<int>& Angles() {
  static const std::vector<int> angles = [] {
    bench::Rng rng(360u);
    std::vector<int> a(angleCount);
    for (int& v : a) v = static_cast<int>(rng.Below(1080)) - 360;
    return a;
  }();
  return angles;
}

void SinCosTarnUtil(benchmark::State& state) {
  const std::vector<int>& angles = Angles();
  std::vector<float> out(angles.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < angles.size(); ++i) out[i] = SIN(angles[i]) + COS(angles[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, angles.size());
}

void SinCosLibm(benchmark::State& state) {
  const std::vector<int>& angles = Angles();
  std::vector<double> out(angles.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < angles.size(); ++i) {
      const double r = static_cast<double>(angles[i]) * degToRad;
      out[i] = std::sin(r) + std::cos(r);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, angles.size());
}

BENCHMARK(SinCosTarnUtil)->Name("SinCos/TarnUtil");
BENCHMARK(SinCosLibm)->Name("SinCos/libm");

}  // namespace
