// Workloads shared by the benchmark programs. Every generator is seeded, so
// each run, each program and each library sees exactly the same input.
//
// Benchmark names read Workload/Implementation[/size]; implementations whose
// name starts with TarnUtil are ours, every other one is a peer. Each
// benchmark reports items_per_second, so scripts/bench_report.py can turn the
// medians into a cost per item and a TarnUtil / peer ratio.
#ifndef TARNUTIL_BENCH_BENCH_SUPPORT_H
#define TARNUTIL_BENCH_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>
#include <tarnutil/tarnutil.h>

#include "testing/seeded_rng.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace bench {

// The seeded generator the tests and the demo use too.
using Rng = tarnutil::testing::SeededRng;

// Interface units of the geodesy functions: 1/86400 of a degree.
constexpr double unitsPerDegree = 86400.0;

// The map's area: 70..140 degrees east, 15..55 degrees north.
constexpr double areaWestDeg = 70.0;
constexpr double areaEastDeg = 140.0;
constexpr double areaSouthDeg = 15.0;
constexpr double areaNorthDeg = 55.0;

// Side of the square grid over the map's area.
constexpr int gridSide = 1000;

struct LonLat {
  double lon;
  double lat;
};

// gridSide x gridSide positions, row by row from the south-west corner, in
// interface units; both edges of the area are included.
inline std::vector<LonLat> MapGrid() {
  std::vector<LonLat> grid;
  grid.reserve(static_cast<std::size_t>(gridSide) * gridSide);
  for (int row = 0; row < gridSide; ++row) {
    const double lat =
        areaSouthDeg + (areaNorthDeg - areaSouthDeg) * static_cast<double>(row) / (gridSide - 1);
    for (int col = 0; col < gridSide; ++col) {
      const double lon =
          areaWestDeg + (areaEastDeg - areaWestDeg) * static_cast<double>(col) / (gridSide - 1);
      grid.push_back({lon * unitsPerDegree, lat * unitsPerDegree});
    }
  }
  return grid;
}

// Side of the square that GPS tracks wander in, in track units (metres):
// every coordinate difference stays below 32768, where the simplifier's
// 32-bit products are exact.
constexpr std::int32_t trackBox = 32000;

// A vehicle track sampled once a second: speed 0..30 units a step, heading
// turning smoothly with occasional sharp turns, stops, a unit of jitter, and
// a reflection at the walls of the box.
inline std::vector<tagPOINT> GpsTrack(std::size_t n, std::uint64_t seed) {
  Rng rng(seed);
  std::vector<tagPOINT> track;
  track.reserve(n);
  double x = trackBox / 2.0;
  double y = trackBox / 2.0;
  double heading = rng.Real(0.0, 6.283185307179586);
  double speed = 12.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (rng.OneIn(60)) heading += rng.Real(-1.6, 1.6);
    heading += rng.Real(-0.03, 0.03);
    speed = std::min(30.0, std::max(0.0, speed + rng.Real(-1.0, 1.0)));
    if (rng.OneIn(500)) speed = 0.0;
    x += speed * std::cos(heading);
    y += speed * std::sin(heading);
    if (x < 0.0 || x > trackBox) {
      x = std::min<double>(trackBox, std::max(0.0, x));
      heading = 3.141592653589793 - heading;
    }
    if (y < 0.0 || y > trackBox) {
      y = std::min<double>(trackBox, std::max(0.0, y));
      heading = -heading;
    }
    const double jitterX = rng.Real(-1.0, 1.0);
    const double jitterY = rng.Real(-1.0, 1.0);
    tagPOINT p;
    p.x = static_cast<std::int32_t>(std::lround(x + jitterX));
    p.y = static_cast<std::int32_t>(std::lround(y + jitterY));
    track.push_back(p);
  }
  return track;
}

// Centre and radii of the star polygons; every coordinate difference stays
// below 46341, where the polygon clipper's 32-bit products are exact.
constexpr std::int32_t starCentre = 20000;
constexpr double starOuter = 20000.0;
constexpr double starInner = 6000.0;
// Arms of the star: the vertex count grows, the number of arms the window
// cuts does not, so every library's time is linear in the vertices.
constexpr int starArms = 12;

// A star-shaped polygon of n vertices, counter-clockwise: the radius swings
// between the two radii starArms times around the centre, sampled at n
// angles, with a little seeded wobble.
inline std::vector<tagPOINT> StarPolygon(std::size_t n) {
  Rng rng(n);
  std::vector<tagPOINT> star;
  star.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double a = 6.283185307179586 * static_cast<double>(i) / static_cast<double>(n);
    const double swing = std::fabs(std::cos(0.5 * starArms * a));
    const double r =
        (starInner + (starOuter - starInner) * swing * swing * swing) * rng.Real(0.995, 1.0);
    tagPOINT p;
    p.x = starCentre + static_cast<std::int32_t>(std::lround(r * std::cos(a)));
    p.y = starCentre + static_cast<std::int32_t>(std::lround(r * std::sin(a)));
    star.push_back(p);
  }
  return star;
}

// The clipping window: it cuts every spike of the star on its right and
// upper sides and takes about half of a track's box.
constexpr std::int32_t clipLeft = 8000;
constexpr std::int32_t clipBottom = 8000;
constexpr std::int32_t clipRight = 32000;
constexpr std::int32_t clipTop = 30000;

// Reports n items per iteration, so the report reads a cost per item.
inline void SetItems(benchmark::State& state, std::size_t n) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(n));
}

}  // namespace bench

#endif  // TARNUTIL_BENCH_BENCH_SUPPORT_H
