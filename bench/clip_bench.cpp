// Clipping to a rectangle against the peers: star-shaped polygons of 1k, 10k
// and 100k vertices (clipGraph), and GPS-like tracks of 10k and 1M points
// (RectClipLine), through GEOS's GEOSClipByRect, Boost.Geometry's
// intersection with a box, and Clipper's intersection with the rectangle.
//
// GEOS and Boost get their input geometry built outside the timed loop;
// Clipper takes its paths per run by design, so adding them is timed.
#include <benchmark/benchmark.h>
#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bench_support.h"

#if defined(TARNUTIL_BENCH_HAVE_BOOST)
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/linestring.hpp>
#include <boost/geometry/geometries/multi_linestring.hpp>
#include <boost/geometry/geometries/multi_polygon.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#endif
#if defined(TARNUTIL_BENCH_HAVE_GEOS)
#include <geos_c.h>
#endif
#if defined(TARNUTIL_BENCH_HAVE_CLIPPER)
#include <polyclipping/clipper.hpp>
#endif

namespace {

const std::vector<tagPOINT>& Star(std::int64_t n) {
  static const std::vector<tagPOINT> s1k = bench::StarPolygon(1000);
  static const std::vector<tagPOINT> s10k = bench::StarPolygon(10000);
  static const std::vector<tagPOINT> s100k = bench::StarPolygon(100000);
  return n <= 1000 ? s1k : (n <= 10000 ? s10k : s100k);
}

const std::vector<tagPOINT>& Track(std::int64_t n) {
  static const std::vector<tagPOINT> t10k = bench::GpsTrack(10000, 99u);
  static const std::vector<tagPOINT> t1m = bench::GpsTrack(1000000, 99u);
  return n <= 10000 ? t10k : t1m;
}

void ClipPolygonTarnUtil(benchmark::State& state) {
  const std::vector<tagPOINT>& star = Star(state.range(0));
  const std::size_t n = star.size();
  std::vector<tagPOINT> in(star);
  std::vector<tagPOINT> out(81 * n / 16 + 1);
  std::int32_t written = 0;
  for (auto _ : state) {
    tagRECT rect{bench::clipLeft, bench::clipTop, bench::clipRight, bench::clipBottom};
    written = clipGraph(&rect, in.data(), static_cast<std::int32_t>(n), out.data(), 0);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, n);
  state.counters["out_points"] = static_cast<double>(written);
}

void ClipLineTarnUtil(benchmark::State& state) {
  const std::vector<tagPOINT>& track = Track(state.range(0));
  const std::size_t n = track.size();
  std::vector<tagPOINT> in(track);
  std::vector<tagPOINT> out(2 * (n - 1));
  std::vector<int> totals(n - 1);
  int pieces = 0;
  for (auto _ : state) {
    tagPOINT lo;
    lo.x = bench::clipLeft;
    lo.y = bench::clipBottom;
    tagPOINT hi;
    hi.x = bench::clipRight;
    hi.y = bench::clipTop;
    pieces = RectClipLine(in.data(), static_cast<int>(n), out.data(), totals.data(), &lo, &hi);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, n);
  state.counters["pieces"] = static_cast<double>(pieces);
}

BENCHMARK(ClipPolygonTarnUtil)
    ->Name("ClipPolygon/TarnUtil")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(ClipLineTarnUtil)
    ->Name("ClipLine/TarnUtil")
    ->Arg(10000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

#if defined(TARNUTIL_BENCH_HAVE_GEOS)

GEOSGeometry* GeosLine(GEOSContextHandle_t ctx, const std::vector<tagPOINT>& points, bool ring) {
  std::vector<double> xy;
  xy.reserve(2 * points.size() + 2);
  for (const tagPOINT& p : points) {
    xy.push_back(p.x);
    xy.push_back(p.y);
  }
  if (ring) {
    xy.push_back(points.front().x);
    xy.push_back(points.front().y);
  }
  GEOSCoordSequence* seq =
      GEOSCoordSeq_copyFromBuffer_r(ctx, xy.data(), static_cast<unsigned int>(xy.size() / 2), 0, 0);
  if (!ring) return GEOSGeom_createLineString_r(ctx, seq);
  GEOSGeometry* shell = GEOSGeom_createLinearRing_r(ctx, seq);
  return GEOSGeom_createPolygon_r(ctx, shell, nullptr, 0);
}

void RunGeosClip(benchmark::State& state, const std::vector<tagPOINT>& points, bool ring) {
  GEOSContextHandle_t ctx = GEOS_init_r();
  GEOSGeometry* geometry = GeosLine(ctx, points, ring);
  int written = 0;
  for (auto _ : state) {
    GEOSGeometry* out = GEOSClipByRect_r(ctx, geometry, bench::clipLeft, bench::clipBottom,
                                         bench::clipRight, bench::clipTop);
    written = GEOSGetNumCoordinates_r(ctx, out);
    GEOSGeom_destroy_r(ctx, out);
  }
  GEOSGeom_destroy_r(ctx, geometry);
  GEOS_finish_r(ctx);
  bench::SetItems(state, points.size());
  state.counters["out_points"] = static_cast<double>(written);
}

void ClipPolygonGeos(benchmark::State& state) {
  RunGeosClip(state, Star(state.range(0)), true);
}
void ClipLineGeos(benchmark::State& state) {
  RunGeosClip(state, Track(state.range(0)), false);
}

BENCHMARK(ClipPolygonGeos)
    ->Name("ClipPolygon/GEOS")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(ClipLineGeos)
    ->Name("ClipLine/GEOS")
    ->Arg(10000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

#endif

#if defined(TARNUTIL_BENCH_HAVE_BOOST)

namespace bg = boost::geometry;
using BoostPoint = bg::model::d2::point_xy<double>;
using BoostBox = bg::model::box<BoostPoint>;
// Counter-clockwise and closed, as the star is generated.
using BoostPolygon = bg::model::polygon<BoostPoint, false, true>;
using BoostLine = bg::model::linestring<BoostPoint>;

BoostBox ClipBox() {
  return BoostBox(BoostPoint(bench::clipLeft, bench::clipBottom),
                  BoostPoint(bench::clipRight, bench::clipTop));
}

void ClipPolygonBoost(benchmark::State& state) {
  const std::vector<tagPOINT>& star = Star(state.range(0));
  BoostPolygon polygon;
  for (const tagPOINT& p : star) polygon.outer().emplace_back(p.x, p.y);
  polygon.outer().emplace_back(star.front().x, star.front().y);
  const BoostBox box = ClipBox();
  bg::model::multi_polygon<BoostPolygon> out;
  for (auto _ : state) {
    out.clear();
    bg::intersection(polygon, box, out);
    benchmark::DoNotOptimize(out.data());
  }
  bench::SetItems(state, star.size());
  state.counters["out_points"] = static_cast<double>(bg::num_points(out));
}

void ClipLineBoost(benchmark::State& state) {
  const std::vector<tagPOINT>& track = Track(state.range(0));
  BoostLine line;
  for (const tagPOINT& p : track) line.emplace_back(p.x, p.y);
  const BoostBox box = ClipBox();
  bg::model::multi_linestring<BoostLine> out;
  for (auto _ : state) {
    out.clear();
    bg::intersection(line, box, out);
    benchmark::DoNotOptimize(out.data());
  }
  bench::SetItems(state, track.size());
  state.counters["pieces"] = static_cast<double>(out.size());
}

BENCHMARK(ClipPolygonBoost)
    ->Name("ClipPolygon/Boost")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(ClipLineBoost)
    ->Name("ClipLine/Boost")
    ->Arg(10000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

#endif

#if defined(TARNUTIL_BENCH_HAVE_CLIPPER)

ClipperLib::Path ToPath(const std::vector<tagPOINT>& points) {
  ClipperLib::Path path;
  path.reserve(points.size());
  for (const tagPOINT& p : points) path.emplace_back(p.x, p.y);
  return path;
}

ClipperLib::Path ClipRectPath() {
  return {{bench::clipLeft, bench::clipBottom},
          {bench::clipRight, bench::clipBottom},
          {bench::clipRight, bench::clipTop},
          {bench::clipLeft, bench::clipTop}};
}

void ClipPolygonClipper(benchmark::State& state) {
  const std::vector<tagPOINT>& star = Star(state.range(0));
  const ClipperLib::Path subject = ToPath(star);
  const ClipperLib::Path rect = ClipRectPath();
  ClipperLib::Paths out;
  for (auto _ : state) {
    ClipperLib::Clipper clipper;
    clipper.AddPath(subject, ClipperLib::ptSubject, true);
    clipper.AddPath(rect, ClipperLib::ptClip, true);
    out.clear();
    clipper.Execute(ClipperLib::ctIntersection, out);
    benchmark::DoNotOptimize(out.data());
  }
  bench::SetItems(state, star.size());
  std::size_t written = 0;
  for (const ClipperLib::Path& p : out) written += p.size();
  state.counters["out_points"] = static_cast<double>(written);
}

void ClipLineClipper(benchmark::State& state) {
  const std::vector<tagPOINT>& track = Track(state.range(0));
  const ClipperLib::Path subject = ToPath(track);
  const ClipperLib::Path rect = ClipRectPath();
  ClipperLib::Paths out;
  for (auto _ : state) {
    ClipperLib::Clipper clipper;
    clipper.AddPath(subject, ClipperLib::ptSubject, false);
    clipper.AddPath(rect, ClipperLib::ptClip, true);
    ClipperLib::PolyTree tree;
    clipper.Execute(ClipperLib::ctIntersection, tree);
    out.clear();
    ClipperLib::OpenPathsFromPolyTree(tree, out);
    benchmark::DoNotOptimize(out.data());
  }
  bench::SetItems(state, track.size());
  state.counters["pieces"] = static_cast<double>(out.size());
}

BENCHMARK(ClipPolygonClipper)
    ->Name("ClipPolygon/Clipper")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(ClipLineClipper)
    ->Name("ClipLine/Clipper")
    ->Arg(10000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

#endif

}  // namespace
