// Polyline thinning of a 1M-point GPS-like track. The farthest-point split
// runs against Boost.Geometry's simplify and GEOS's GEOSSimplify (both
// Douglas-Peucker) at a tolerance that keeps a comparable share; the
// Manhattan pass runs against a plain copy of the track, the speed of memory.
//
// PolySimplifyInt2D keeps a point whose squared deviation exceeds
// sqrt(tolerance): tolerance 100 keeps deviations above sqrt(10) units, the
// distance the peers are given. The kept counts are reported beside the
// times.
#include <benchmark/benchmark.h>
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "bench_support.h"

#if defined(TARNUTIL_BENCH_HAVE_BOOST)
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/linestring.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#endif
#if defined(TARNUTIL_BENCH_HAVE_GEOS)
#include <geos_c.h>
#endif

namespace {

constexpr std::size_t trackPoints = 1000000;
constexpr float splitTolerance = 100.0f;
// sqrt(sqrt(100)): the peers' distance for the same squared threshold.
const double peerDistance = std::sqrt(10.0);
constexpr std::int32_t manhattanTolerance = 25;

const std::vector<tagPOINT>& Track() {
  static const std::vector<tagPOINT> track = bench::GpsTrack(trackPoints, 2024u);
  return track;
}

// Runs one of TarnUtil's in-place simplifiers on a fresh copy of the track
// per iteration; the copy is not timed.
template <typename Simplify>
void RunInPlace(benchmark::State& state, Simplify simplify) {
  const std::vector<tagPOINT>& track = Track();
  std::vector<tagPOINT> work(track.size());
  int kept = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(work.data(), track.data(), track.size() * sizeof(tagPOINT));
    state.ResumeTiming();
    simplify(work.data(), static_cast<int>(work.size()), &kept);
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, track.size());
  state.counters["kept"] = static_cast<double>(kept);
}

void SimplifySplitTarnUtil(benchmark::State& state) {
  RunInPlace(state, [](tagPOINT* points, int count, int* kept) {
    PolySimplifyInt2D(splitTolerance, points, count, kept);
  });
}

void SimplifyManhattanTarnUtil(benchmark::State& state) {
  RunInPlace(state, [](tagPOINT* points, int count, int* kept) {
    PolySimplify(manhattanTolerance, points, count, kept);
  });
}

// The floor for one pass over the track: read every point, write them all.
void SimplifyManhattanMemcpy(benchmark::State& state) {
  const std::vector<tagPOINT>& track = Track();
  std::vector<tagPOINT> work(track.size());
  for (auto _ : state) {
    std::memcpy(work.data(), track.data(), track.size() * sizeof(tagPOINT));
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, track.size());
  state.counters["kept"] = static_cast<double>(track.size());
}

BENCHMARK(SimplifySplitTarnUtil)->Name("SimplifySplit/TarnUtil")->Unit(benchmark::kMillisecond);
BENCHMARK(SimplifyManhattanTarnUtil)
    ->Name("SimplifyManhattan/TarnUtil")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SimplifyManhattanMemcpy)->Name("SimplifyManhattan/memcpy")->Unit(benchmark::kMillisecond);

#if defined(TARNUTIL_BENCH_HAVE_BOOST)

namespace bg = boost::geometry;
using BoostPoint = bg::model::d2::point_xy<double>;
using BoostLine = bg::model::linestring<BoostPoint>;

void SimplifySplitBoost(benchmark::State& state) {
  BoostLine line;
  for (const tagPOINT& p : Track()) line.emplace_back(p.x, p.y);
  BoostLine out;
  for (auto _ : state) {
    out.clear();
    bg::simplify(line, out, peerDistance);
    benchmark::DoNotOptimize(out.data());
  }
  bench::SetItems(state, line.size());
  state.counters["kept"] = static_cast<double>(out.size());
}

BENCHMARK(SimplifySplitBoost)->Name("SimplifySplit/Boost")->Unit(benchmark::kMillisecond);

#endif

#if defined(TARNUTIL_BENCH_HAVE_GEOS)

void SimplifySplitGeos(benchmark::State& state) {
  GEOSContextHandle_t ctx = GEOS_init_r();
  const std::vector<tagPOINT>& track = Track();
  std::vector<double> xy;
  xy.reserve(2 * track.size());
  for (const tagPOINT& p : track) {
    xy.push_back(p.x);
    xy.push_back(p.y);
  }
  GEOSCoordSequence* seq =
      GEOSCoordSeq_copyFromBuffer_r(ctx, xy.data(), static_cast<unsigned int>(track.size()), 0, 0);
  GEOSGeometry* line = GEOSGeom_createLineString_r(ctx, seq);
  int kept = 0;
  for (auto _ : state) {
    GEOSGeometry* out = GEOSSimplify_r(ctx, line, peerDistance);
    kept = GEOSGeomGetNumPoints_r(ctx, out);
    GEOSGeom_destroy_r(ctx, out);
  }
  GEOSGeom_destroy_r(ctx, line);
  GEOS_finish_r(ctx);
  bench::SetItems(state, track.size());
  state.counters["kept"] = static_cast<double>(kept);
}

BENCHMARK(SimplifySplitGeos)->Name("SimplifySplit/GEOS")->Unit(benchmark::kMillisecond);

#endif

}  // namespace
