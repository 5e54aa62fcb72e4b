// Geodesy against the peers: the Lambert projection both ways over a
// 1000 x 1000 grid of the map's area (PROJ's lcc through proj_trans_generic,
// GeographicLib's LambertConformalConic), and rhumb lines on the Krasovsky
// ellipsoid (GeographicLib's Rhumb with its series).
//
// Peers get their input already in the units they take (radians or
// degrees, converted outside the timed loop); TarnUtil takes 1/86400 degree.
#include <benchmark/benchmark.h>
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "bench_support.h"

#if defined(TARNUTIL_BENCH_HAVE_PROJ)
#include <proj.h>
#endif
#if defined(TARNUTIL_BENCH_HAVE_GEOGRAPHICLIB)
#include <GeographicLib/Constants.hpp>
#include <GeographicLib/LambertConformalConic.hpp>
#include <GeographicLib/Rhumb.hpp>
#endif

namespace {

constexpr double degPerRad = 57.29577951308232;

// The projection: WGS84-sized ellipsoid (a = 6378137, e = 0.081819191),
// parallels 25N and 47N, origin 18N 104E, no false easting or northing.
constexpr double lccLat1 = 25.0;
constexpr double lccLat2 = 47.0;
constexpr double lccLat0 = 18.0;
constexpr double lccLon0 = 104.0;

const std::vector<bench::LonLat>& Grid() {
  static const std::vector<bench::LonLat> grid = bench::MapGrid();
  return grid;
}

// The grid projected by TarnUtil: the inverse's input, in metres.
struct PlanePoint {
  double x;
  double y;
};
const std::vector<PlanePoint>& PlaneGrid() {
  static const std::vector<PlanePoint> plane = [] {
    std::vector<PlanePoint> out;
    out.reserve(Grid().size());
    for (const bench::LonLat& p : Grid()) {
      PlanePoint q{};
      Lambert_Projct_LL2XY(p.lon, p.lat, q.x, q.y);
      out.push_back(q);
    }
    return out;
  }();
  return plane;
}

void LambertForwardTarnUtil(benchmark::State& state) {
  const std::vector<bench::LonLat>& grid = Grid();
  std::vector<PlanePoint> out(grid.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < grid.size(); ++i) {
      Lambert_Projct_LL2XY(grid[i].lon, grid[i].lat, out[i].x, out[i].y);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, grid.size());
}

void LambertInverseTarnUtil(benchmark::State& state) {
  const std::vector<PlanePoint>& plane = PlaneGrid();
  std::vector<bench::LonLat> out(plane.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < plane.size(); ++i) {
      Lambert_Projct_XY2LL(plane[i].x, plane[i].y, out[i].lon, out[i].lat);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, plane.size());
}

BENCHMARK(LambertForwardTarnUtil)->Name("LambertForward/TarnUtil")->Unit(benchmark::kMillisecond);
BENCHMARK(LambertInverseTarnUtil)->Name("LambertInverse/TarnUtil")->Unit(benchmark::kMillisecond);

#if defined(TARNUTIL_BENCH_HAVE_PROJ)

// The bare lcc operation: radians in, metres out, no unit or axis steps in
// a pipeline, which is the cheapest way PROJ offers.
PJ* ProjLcc() {
  static PJ* const p =
      proj_create(PJ_DEFAULT_CTX,
                  "+proj=lcc +lat_1=25 +lat_2=47 +lat_0=18 +lon_0=104 +x_0=0 +y_0=0 +ellps=WGS84");
  return p;
}

// Transforms a copy of the input in place, as proj_trans_generic works;
// refilling the copy is not timed.
void RunProj(benchmark::State& state, PJ_DIRECTION direction, const std::vector<double>& a,
             const std::vector<double>& b) {
  PJ* const p = ProjLcc();
  if (p == nullptr) {
    state.SkipWithError("proj_create failed");
    return;
  }
  std::vector<double> u(a.size());
  std::vector<double> v(b.size());
  const std::size_t n = a.size();
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(u.data(), a.data(), n * sizeof(double));
    std::memcpy(v.data(), b.data(), n * sizeof(double));
    state.ResumeTiming();
    proj_trans_generic(p, direction, u.data(), sizeof(double), n, v.data(), sizeof(double), n,
                       nullptr, 0, 0, nullptr, 0, 0);
    benchmark::DoNotOptimize(u.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, n);
}

void LambertForwardProj(benchmark::State& state) {
  std::vector<double> lam;
  std::vector<double> phi;
  for (const bench::LonLat& p : Grid()) {
    lam.push_back(p.lon / bench::unitsPerDegree / degPerRad);
    phi.push_back(p.lat / bench::unitsPerDegree / degPerRad);
  }
  RunProj(state, PJ_FWD, lam, phi);
}

void LambertInverseProj(benchmark::State& state) {
  std::vector<double> x;
  std::vector<double> y;
  for (const PlanePoint& p : PlaneGrid()) {
    x.push_back(p.x);
    y.push_back(p.y);
  }
  RunProj(state, PJ_INV, x, y);
}

BENCHMARK(LambertForwardProj)->Name("LambertForward/PROJ")->Unit(benchmark::kMillisecond);
BENCHMARK(LambertInverseProj)->Name("LambertInverse/PROJ")->Unit(benchmark::kMillisecond);

#endif

#if defined(TARNUTIL_BENCH_HAVE_GEOGRAPHICLIB)

// GeographicLib places y = 0 at its own origin latitude: the offset to 18N
// is taken once and applied per point, as a caller would.
struct GeographicLcc {
  GeographicLib::LambertConformalConic lcc{GeographicLib::Constants::WGS84_a(),
                                           GeographicLib::Constants::WGS84_f(), lccLat1, lccLat2,
                                           1.0};
  double y0 = 0.0;
  GeographicLcc() {
    double x0 = 0.0;
    lcc.Forward(lccLon0, lccLat0, lccLon0, x0, y0);
  }
};

void LambertForwardGeographicLib(benchmark::State& state) {
  const GeographicLcc g;
  std::vector<double> lon;
  std::vector<double> lat;
  for (const bench::LonLat& p : Grid()) {
    lon.push_back(p.lon / bench::unitsPerDegree);
    lat.push_back(p.lat / bench::unitsPerDegree);
  }
  std::vector<PlanePoint> out(lon.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < lon.size(); ++i) {
      g.lcc.Forward(lccLon0, lat[i], lon[i], out[i].x, out[i].y);
      out[i].y -= g.y0;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, lon.size());
}

void LambertInverseGeographicLib(benchmark::State& state) {
  const GeographicLcc g;
  const std::vector<PlanePoint>& plane = PlaneGrid();
  std::vector<bench::LonLat> out(plane.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < plane.size(); ++i) {
      g.lcc.Reverse(lccLon0, plane[i].x, plane[i].y + g.y0, out[i].lat, out[i].lon);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, plane.size());
}

BENCHMARK(LambertForwardGeographicLib)
    ->Name("LambertForward/GeographicLib")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(LambertInverseGeographicLib)
    ->Name("LambertInverse/GeographicLib")
    ->Unit(benchmark::kMillisecond);

#endif

// Rhumb-line pairs inside the map's area: short ones a few kilometres long
// (a route's legs) and long ones between any two places of the area.
constexpr std::size_t rhumbPairs = 100000;
constexpr double shortSpanDeg = 0.05;

struct RhumbPair {
  double lon1, lat1, lon2, lat2;  // interface units
};

std::vector<RhumbPair> MakeRhumbPairs(bool longPairs) {
  bench::Rng rng(longPairs ? 77u : 78u);
  std::vector<RhumbPair> pairs;
  pairs.reserve(rhumbPairs);
  for (std::size_t i = 0; i < rhumbPairs; ++i) {
    const double lon1 = rng.Real(bench::areaWestDeg, bench::areaEastDeg);
    const double lat1 = rng.Real(bench::areaSouthDeg, bench::areaNorthDeg);
    double lon2 = 0.0;
    double lat2 = 0.0;
    if (longPairs) {
      lon2 = rng.Real(bench::areaWestDeg, bench::areaEastDeg);
      lat2 = rng.Real(bench::areaSouthDeg, bench::areaNorthDeg);
    } else {
      lon2 = lon1 + rng.Real(-shortSpanDeg, shortSpanDeg);
      lat2 = lat1 + rng.Real(-shortSpanDeg, shortSpanDeg);
    }
    pairs.push_back({lon1 * bench::unitsPerDegree, lat1 * bench::unitsPerDegree,
                     lon2 * bench::unitsPerDegree, lat2 * bench::unitsPerDegree});
  }
  return pairs;
}

const std::vector<RhumbPair>& RhumbPairs(bool longPairs) {
  static const std::vector<RhumbPair> shortPairs = MakeRhumbPairs(false);
  static const std::vector<RhumbPair> farPairs = MakeRhumbPairs(true);
  return longPairs ? farPairs : shortPairs;
}

void RhumbTarnUtil(benchmark::State& state, bool longPairs) {
  const std::vector<RhumbPair>& pairs = RhumbPairs(longPairs);
  std::vector<double> bearing(pairs.size());
  std::vector<double> length(pairs.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      const RhumbPair& p = pairs[i];
      LLDistance(p.lon1, p.lat1, p.lon2, p.lat2, &bearing[i], &length[i]);
    }
    benchmark::DoNotOptimize(length.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, pairs.size());
}

BENCHMARK_CAPTURE(RhumbTarnUtil, short, false)->Name("RhumbShort/TarnUtil");
BENCHMARK_CAPTURE(RhumbTarnUtil, long, true)->Name("RhumbLong/TarnUtil");

#if defined(TARNUTIL_BENCH_HAVE_GEOGRAPHICLIB)

void RhumbGeographicLib(benchmark::State& state, bool longPairs) {
  // Krasovsky 1940: a = 6378245 m, f = 1/298.3; the series, not the exact
  // elliptic integrals.
  const GeographicLib::Rhumb rhumb(6378245.0, 1.0 / 298.3, false);
  std::vector<RhumbPair> deg = RhumbPairs(longPairs);
  for (RhumbPair& p : deg) {
    p.lon1 /= bench::unitsPerDegree;
    p.lat1 /= bench::unitsPerDegree;
    p.lon2 /= bench::unitsPerDegree;
    p.lat2 /= bench::unitsPerDegree;
  }
  std::vector<double> bearing(deg.size());
  std::vector<double> length(deg.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < deg.size(); ++i) {
      const RhumbPair& p = deg[i];
      rhumb.Inverse(p.lat1, p.lon1, p.lat2, p.lon2, length[i], bearing[i]);
    }
    benchmark::DoNotOptimize(length.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, deg.size());
}

BENCHMARK_CAPTURE(RhumbGeographicLib, short, false)->Name("RhumbShort/GeographicLib");
BENCHMARK_CAPTURE(RhumbGeographicLib, long, true)->Name("RhumbLong/GeographicLib");

#endif

}  // namespace
