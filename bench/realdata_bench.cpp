// Real map data, as scripts/realdata.sh prepares it in build/data/:
//   - chaining the 3,982 roads of the mapnik example network by their end
//     coordinates (AddLinksToLineList, and one AddToLineList call per link)
//     against GEOSLineMerge, which stops where three or more lines meet;
//   - thinning the 1:10m coastlines (PolySimplifyInt2D, PolySimplify)
//     against GEOSSimplify and Boost.Geometry's simplify at the same
//     distance;
//   - clipping the East Asian countries (1:50m) and coastlines (1:10m) to
//     every 100 km square of the Lambert plane they touch (clipGraph,
//     RectClipLine) against GEOSClipByRect, with the clipped areas reported
//     for both.
// Lines and kept points are reported as counters. Without the data each
// benchmark skips with a message.
#include <benchmark/benchmark.h>
#include <tarnutil/tarnutil.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <list>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "tools/geo_io.h"

#if defined(TARNUTIL_BENCH_HAVE_BOOST)
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/linestring.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#endif
#if defined(TARNUTIL_BENCH_HAVE_GEOS)
#include <geos_c.h>
#endif

namespace {

using tarnutil::geo::FeatureCollection;
using tarnutil::geo::Path;
using Line = std::vector<tagPOINT>;

// 100 m: PolySimplifyInt2D compares squared deviations with sqrt(T), so
// T = 100^4 drops the same bends as a distance of 100 m for the peers.
constexpr double thinDistance = 100.0;
constexpr float thinTolerance = 1e8f;
constexpr std::int32_t manhattanDistance = 200;
constexpr std::int32_t squareSide = 100000;

std::string DataDir() {
  const char* env = std::getenv("TARNUTIL_DATA_DIR");
  return env != nullptr ? env : TARNUTIL_BENCH_DATA_DIR;
}

bool Load(const std::string& name, FeatureCollection& out) {
  std::ifstream in(DataDir() + "/" + name, std::ios::binary);
  if (!in) {
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string error;
  return tarnutil::geo::ReadGeoJson(text.str(), out, error);
}

tagPOINT Point(std::int32_t x, std::int32_t y) {
  tagPOINT p;
  p.x = x;
  p.y = y;
  return p;
}

// Metres, rounded to whole metres; longitude/latitude input is projected.
Line ToLine(const Path& path, bool lonLat) {
  Line out;
  out.reserve(path.size());
  for (const tarnutil::geo::Position& q : path) {
    double x = q.x;
    double y = q.y;
    if (lonLat) {
      Lambert_Projct_LL2XY(q.x * bench::unitsPerDegree, q.y * bench::unitsPerDegree, x, y);
    }
    out.push_back(Point(static_cast<std::int32_t>(std::lround(x)), static_cast<std::int32_t>(std::lround(y))));
  }
  return out;
}

struct RealData {
  bool ok = false;
  std::string missing;
  std::vector<Line> roads;
  // Coastline arcs, closed ones cut in two at their middle point so that
  // every thinner sees open lines with distinct ends.
  std::vector<Line> coast;
  std::vector<Line> eastCoast;
  // Countries: polygons of rings.
  std::vector<std::vector<Line>> countries;
};

const RealData& Data() {
  static const RealData data = [] {
    RealData d;
    FeatureCollection roads, coast, eastCoast, countries;
    const char* files[] = {"roads.geojson", "coast-10m.geojson", "ea-coast-10m.geojson",
                           "ea-countries-50m.geojson"};
    FeatureCollection* into[] = {&roads, &coast, &eastCoast, &countries};
    for (int i = 0; i < 4; ++i) {
      if (!Load(files[i], *into[i])) {
        d.missing = DataDir() + "/" + files[i] + " is missing: run scripts/realdata.sh";
        return d;
      }
    }
    for (const auto& f : roads.features) {
      d.roads.push_back(ToLine(f.geometry.parts[0][0], false));
    }
    auto addArcs = [](const FeatureCollection& c, std::vector<Line>& out) {
      for (const auto& f : c.features) {
        for (const auto& part : f.geometry.parts) {
          Line line = ToLine(part[0], true);
          if (line.front().x == line.back().x && line.front().y == line.back().y) {
            const std::size_t mid = line.size() / 2;
            out.emplace_back(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(mid) + 1);
            out.emplace_back(line.begin() + static_cast<std::ptrdiff_t>(mid), line.end());
          } else {
            out.push_back(line);
          }
        }
      }
    };
    addArcs(coast, d.coast);
    addArcs(eastCoast, d.eastCoast);
    for (const auto& f : countries.features) {
      for (const auto& part : f.geometry.parts) {
        std::vector<Line> rings;
        for (const Path& ring : part) {
          Line r = ToLine(ring, true);
          r.pop_back();  // the closing point: clipGraph closes by itself
          rings.push_back(r);
        }
        d.countries.push_back(rings);
      }
    }
    d.ok = true;
    return d;
  }();
  return data;
}

std::size_t Points(const std::vector<Line>& lines) {
  std::size_t n = 0;
  for (const Line& l : lines) n += l.size();
  return n;
}

#define REAL_DATA_OR_SKIP(state)              \
  const RealData& data = Data();              \
  if (!data.ok) {                             \
    state.SkipWithError(data.missing.c_str()); \
    return;                                   \
  }

// ---- chaining

// The road network's links, nodes keyed by end coordinates.
template <typename Add>
void RunChain(benchmark::State& state, Add add) {
  REAL_DATA_OR_SKIP(state)
  std::deque<ST_NODE> nodes;
  for (const Line& r : data.roads) {
    nodes.push_back(ST_NODE{static_cast<std::int32_t>(r.front().x), static_cast<std::int32_t>(r.front().y)});
    nodes.push_back(ST_NODE{static_cast<std::int32_t>(r.back().x), static_cast<std::int32_t>(r.back().y)});
  }
  std::size_t lines = 0;
  std::vector<ST_LINK*> links(data.roads.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < links.size(); ++i) {
      links[i] = new ST_LINK{static_cast<std::uint32_t>(i), 1, &nodes[2 * i], &nodes[2 * i + 1]};
    }
    std::list<std::deque<ST_LINK*>*> list;
    add(links, list);
    lines = list.size();
    ClearLineList(&list);
  }
  bench::SetItems(state, data.roads.size());
  state.counters["lines"] = static_cast<double>(lines);
}

void ChainRoadsBatch(benchmark::State& state) {
  RunChain(state, [](std::vector<ST_LINK*>& links, std::list<std::deque<ST_LINK*>*>& list) {
    AddLinksToLineList(links.data(), static_cast<int>(links.size()), list);
  });
}
BENCHMARK(ChainRoadsBatch)->Name("RealChainRoads/TarnUtil")->Unit(benchmark::kMicrosecond);

void ChainRoadsSingle(benchmark::State& state) {
  RunChain(state, [](std::vector<ST_LINK*>& links, std::list<std::deque<ST_LINK*>*>& list) {
    for (ST_LINK* link : links) AddToLineList(link, list);
  });
}
BENCHMARK(ChainRoadsSingle)->Name("RealChainRoads/TarnUtilSingle")->Unit(benchmark::kMicrosecond);

#if defined(TARNUTIL_BENCH_HAVE_GEOS)
GEOSGeometry* GeosLine(GEOSContextHandle_t ctx, const Line& line) {
  std::vector<double> xy;
  xy.reserve(2 * line.size());
  for (const tagPOINT& p : line) {
    xy.push_back(static_cast<std::int32_t>(p.x));
    xy.push_back(static_cast<std::int32_t>(p.y));
  }
  GEOSCoordSequence* seq =
      GEOSCoordSeq_copyFromBuffer_r(ctx, xy.data(), static_cast<unsigned int>(line.size()), 0, 0);
  return GEOSGeom_createLineString_r(ctx, seq);
}

GEOSGeometry* GeosPolygon(GEOSContextHandle_t ctx, const std::vector<Line>& rings) {
  std::vector<GEOSGeometry*> shells;
  for (const Line& ring : rings) {
    std::vector<double> xy;
    for (const tagPOINT& p : ring) {
      xy.push_back(static_cast<std::int32_t>(p.x));
      xy.push_back(static_cast<std::int32_t>(p.y));
    }
    xy.push_back(static_cast<std::int32_t>(ring.front().x));
    xy.push_back(static_cast<std::int32_t>(ring.front().y));
    GEOSCoordSequence* seq = GEOSCoordSeq_copyFromBuffer_r(
        ctx, xy.data(), static_cast<unsigned int>(ring.size() + 1), 0, 0);
    shells.push_back(GEOSGeom_createLinearRing_r(ctx, seq));
  }
  return GEOSGeom_createPolygon_r(ctx, shells[0], shells.data() + 1,
                                  static_cast<unsigned int>(shells.size() - 1));
}

void ChainRoadsGeos(benchmark::State& state) {
  REAL_DATA_OR_SKIP(state)
  GEOSContextHandle_t ctx = GEOS_init_r();
  std::vector<GEOSGeometry*> parts;
  for (const Line& r : data.roads) parts.push_back(GeosLine(ctx, r));
  GEOSGeometry* all = GEOSGeom_createCollection_r(ctx, GEOS_MULTILINESTRING, parts.data(),
                                                   static_cast<unsigned int>(parts.size()));
  int lines = 0;
  for (auto _ : state) {
    GEOSGeometry* merged = GEOSLineMerge_r(ctx, all);
    lines = GEOSGetNumGeometries_r(ctx, merged);
    GEOSGeom_destroy_r(ctx, merged);
  }
  GEOSGeom_destroy_r(ctx, all);
  GEOS_finish_r(ctx);
  bench::SetItems(state, data.roads.size());
  state.counters["lines"] = lines;
}
BENCHMARK(ChainRoadsGeos)->Name("RealChainRoads/GEOS")->Unit(benchmark::kMicrosecond);
#endif

// ---- thinning

template <typename Simplify>
void RunThin(benchmark::State& state, Simplify simplify) {
  REAL_DATA_OR_SKIP(state)
  std::vector<Line> work = data.coast;
  std::size_t kept = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (std::size_t i = 0; i < work.size(); ++i) {
      std::memcpy(work[i].data(), data.coast[i].data(), work[i].size() * sizeof(tagPOINT));
    }
    state.ResumeTiming();
    kept = 0;
    for (Line& line : work) {
      int k = 0;
      simplify(line.data(), static_cast<int>(line.size()), &k);
      kept += static_cast<std::size_t>(k);
    }
    benchmark::ClobberMemory();
  }
  bench::SetItems(state, Points(data.coast));
  state.counters["kept"] = static_cast<double>(kept);
}

void ThinCoastSplit(benchmark::State& state) {
  RunThin(state, [](tagPOINT* p, int n, int* k) { PolySimplifyInt2D(thinTolerance, p, n, k); });
}
BENCHMARK(ThinCoastSplit)->Name("RealThinCoast/TarnUtil")->Unit(benchmark::kMillisecond);

void ThinCoastManhattan(benchmark::State& state) {
  RunThin(state, [](tagPOINT* p, int n, int* k) { PolySimplify(manhattanDistance, p, n, k); });
}
BENCHMARK(ThinCoastManhattan)->Name("RealThinCoastManhattan/TarnUtil")->Unit(benchmark::kMillisecond);

#if defined(TARNUTIL_BENCH_HAVE_GEOS)
void ThinCoastGeos(benchmark::State& state) {
  REAL_DATA_OR_SKIP(state)
  GEOSContextHandle_t ctx = GEOS_init_r();
  std::vector<GEOSGeometry*> lines;
  for (const Line& l : data.coast) lines.push_back(GeosLine(ctx, l));
  std::size_t kept = 0;
  for (auto _ : state) {
    kept = 0;
    for (GEOSGeometry* line : lines) {
      GEOSGeometry* out = GEOSSimplify_r(ctx, line, thinDistance);
      kept += static_cast<std::size_t>(GEOSGeomGetNumPoints_r(ctx, out));
      GEOSGeom_destroy_r(ctx, out);
    }
  }
  for (GEOSGeometry* line : lines) GEOSGeom_destroy_r(ctx, line);
  GEOS_finish_r(ctx);
  bench::SetItems(state, Points(data.coast));
  state.counters["kept"] = static_cast<double>(kept);
}
BENCHMARK(ThinCoastGeos)->Name("RealThinCoast/GEOS")->Unit(benchmark::kMillisecond);
#endif

#if defined(TARNUTIL_BENCH_HAVE_BOOST)
namespace bg = boost::geometry;
using BoostPoint = bg::model::d2::point_xy<double>;
using BoostLine = bg::model::linestring<BoostPoint>;

void ThinCoastBoost(benchmark::State& state) {
  REAL_DATA_OR_SKIP(state)
  std::vector<BoostLine> lines;
  for (const Line& l : data.coast) {
    BoostLine b;
    for (const tagPOINT& p : l) {
      b.emplace_back(static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y));
    }
    lines.push_back(b);
  }
  std::size_t kept = 0;
  for (auto _ : state) {
    kept = 0;
    for (const BoostLine& line : lines) {
      BoostLine out;
      bg::simplify(line, out, thinDistance);
      kept += out.size();
    }
  }
  bench::SetItems(state, Points(data.coast));
  state.counters["kept"] = static_cast<double>(kept);
}
BENCHMARK(ThinCoastBoost)->Name("RealThinCoast/Boost")->Unit(benchmark::kMillisecond);
#endif

// ---- clipping to 100 km squares

struct Box {
  std::int32_t x0, y0, x1, y1;
};

Box Bounds(const Line& l) {
  Box b{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (const tagPOINT& p : l) {
    b.x0 = std::min(b.x0, static_cast<std::int32_t>(p.x));
    b.y0 = std::min(b.y0, static_cast<std::int32_t>(p.y));
    b.x1 = std::max(b.x1, static_cast<std::int32_t>(p.x));
    b.y1 = std::max(b.y1, static_cast<std::int32_t>(p.y));
  }
  return b;
}

std::int32_t FloorTo(std::int32_t v) {
  return static_cast<std::int32_t>(std::floor(static_cast<double>(v) / squareSide)) * squareSide;
}

// Every (figure, square) pair whose boxes meet: the squares of the grid
// that a figure's bounding box touches.
template <typename Use>
void ForEachSquare(const Box& b, Use use) {
  for (std::int32_t x = FloorTo(b.x0); x <= b.x1; x += squareSide) {
    for (std::int32_t y = FloorTo(b.y0); y <= b.y1; y += squareSide) {
      use(Box{x, y, x + squareSide, y + squareSide});
    }
  }
}

double RingArea(const tagPOINT* p, std::int32_t n) {
  double sum = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    const tagPOINT& a = p[i];
    const tagPOINT& b = p[(i + 1) % n];
    sum += static_cast<double>(static_cast<std::int32_t>(a.x)) * static_cast<std::int32_t>(b.y) -
           static_cast<double>(static_cast<std::int32_t>(b.x)) * static_cast<std::int32_t>(a.y);
  }
  return std::fabs(sum) / 2.0;
}

void ClipCountries(benchmark::State& state) {
  REAL_DATA_OR_SKIP(state)
  std::vector<Box> boxes;
  std::size_t maxRing = 0;
  for (const auto& c : data.countries) {
    boxes.push_back(Bounds(c[0]));
    for (const Line& r : c) maxRing = std::max(maxRing, r.size());
  }
  std::vector<tagPOINT> out((81 * maxRing + 15) / 16);
  double area = 0.0;
  std::size_t pairs = 0;
  for (auto _ : state) {
    area = 0.0;
    pairs = 0;
    for (std::size_t i = 0; i < data.countries.size(); ++i) {
      const std::vector<Line>& rings = data.countries[i];
      ForEachSquare(boxes[i], [&](const Box& s) {
        ++pairs;
        for (std::size_t r = 0; r < rings.size(); ++r) {
          tagRECT rect;
          rect.left = s.x0;
          rect.bottom = s.y0;
          rect.right = s.x1;
          rect.top = s.y1;
          const std::int32_t n = clipGraph(&rect, const_cast<tagPOINT*>(rings[r].data()),
                                           static_cast<std::int32_t>(rings[r].size()), out.data(), 0);
          const double a = RingArea(out.data(), n);
          area += r == 0 ? a : -a;
        }
      });
    }
    benchmark::DoNotOptimize(area);
  }
  bench::SetItems(state, pairs);
  state.counters["area_km2"] = area / 1e6;
  state.counters["pairs"] = static_cast<double>(pairs);
}
BENCHMARK(ClipCountries)->Name("RealClipCountries/TarnUtil")->Unit(benchmark::kMillisecond);

void ClipCoast(benchmark::State& state) {
  REAL_DATA_OR_SKIP(state)
  std::vector<Box> boxes;
  std::size_t maxLine = 0;
  for (const Line& l : data.eastCoast) {
    boxes.push_back(Bounds(l));
    maxLine = std::max(maxLine, l.size());
  }
  std::vector<tagPOINT> out(2 * maxLine);
  std::vector<int> totals(maxLine);
  std::size_t pieces = 0;
  std::size_t pairs = 0;
  for (auto _ : state) {
    pieces = 0;
    pairs = 0;
    for (std::size_t i = 0; i < data.eastCoast.size(); ++i) {
      const Line& line = data.eastCoast[i];
      ForEachSquare(boxes[i], [&](const Box& s) {
        ++pairs;
        tagPOINT lo = Point(s.x0, s.y0);
        tagPOINT hi = Point(s.x1, s.y1);
        pieces += static_cast<std::size_t>(RectClipLine(const_cast<tagPOINT*>(line.data()),
                                                        static_cast<int>(line.size()), out.data(),
                                                        totals.data(), &lo, &hi));
      });
    }
  }
  bench::SetItems(state, pairs);
  state.counters["pieces"] = static_cast<double>(pieces);
}
BENCHMARK(ClipCoast)->Name("RealClipCoast/TarnUtil")->Unit(benchmark::kMillisecond);

#if defined(TARNUTIL_BENCH_HAVE_GEOS)
void ClipCountriesGeos(benchmark::State& state) {
  REAL_DATA_OR_SKIP(state)
  GEOSContextHandle_t ctx = GEOS_init_r();
  std::vector<GEOSGeometry*> polygons;
  std::vector<Box> boxes;
  for (const auto& c : data.countries) {
    polygons.push_back(GeosPolygon(ctx, c));
    boxes.push_back(Bounds(c[0]));
  }
  double area = 0.0;
  std::size_t pairs = 0;
  for (auto _ : state) {
    area = 0.0;
    pairs = 0;
    for (std::size_t i = 0; i < polygons.size(); ++i) {
      ForEachSquare(boxes[i], [&](const Box& s) {
        ++pairs;
        GEOSGeometry* out = GEOSClipByRect_r(ctx, polygons[i], s.x0, s.y0, s.x1, s.y1);
        double a = 0.0;
        if (out != nullptr) {
          GEOSArea_r(ctx, out, &a);
          GEOSGeom_destroy_r(ctx, out);
        }
        area += a;
      });
    }
  }
  for (GEOSGeometry* g : polygons) GEOSGeom_destroy_r(ctx, g);
  GEOS_finish_r(ctx);
  bench::SetItems(state, pairs);
  state.counters["area_km2"] = area / 1e6;
  state.counters["pairs"] = static_cast<double>(pairs);
}
BENCHMARK(ClipCountriesGeos)->Name("RealClipCountries/GEOS")->Unit(benchmark::kMillisecond);

void ClipCoastGeos(benchmark::State& state) {
  REAL_DATA_OR_SKIP(state)
  GEOSContextHandle_t ctx = GEOS_init_r();
  std::vector<GEOSGeometry*> lines;
  std::vector<Box> boxes;
  for (const Line& l : data.eastCoast) {
    lines.push_back(GeosLine(ctx, l));
    boxes.push_back(Bounds(l));
  }
  std::size_t pieces = 0;
  std::size_t pairs = 0;
  for (auto _ : state) {
    pieces = 0;
    pairs = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ForEachSquare(boxes[i], [&](const Box& s) {
        ++pairs;
        GEOSGeometry* out = GEOSClipByRect_r(ctx, lines[i], s.x0, s.y0, s.x1, s.y1);
        if (out != nullptr) {
          if (!GEOSisEmpty_r(ctx, out)) {
            pieces += static_cast<std::size_t>(GEOSGetNumGeometries_r(ctx, out));
          }
          GEOSGeom_destroy_r(ctx, out);
        }
      });
    }
  }
  for (GEOSGeometry* g : lines) GEOSGeom_destroy_r(ctx, g);
  GEOS_finish_r(ctx);
  bench::SetItems(state, pairs);
  state.counters["pieces"] = static_cast<double>(pieces);
}
BENCHMARK(ClipCoastGeos)->Name("RealClipCoast/GEOS")->Unit(benchmark::kMillisecond);
#endif

}  // namespace
