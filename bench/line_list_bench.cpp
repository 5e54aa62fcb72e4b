// Chaining cost per link on a synthetic road grid, in street order (road by
// road, as a map loader delivers links) and shuffled. AddToLineList walks
// the line list without an index for every link, so its time per link
// follows the number of open lines; AddLinksToLineList gives the same lines
// through an index of line ends. GEOS's GEOSLineMerge is the peer: it merges
// the same links, given as two-point lines built outside the timed loop.
#include <benchmark/benchmark.h>
#include <tarnutil/tarnutil.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <list>
#include <utility>
#include <vector>

#include "bench_support.h"

#if defined(TARNUTIL_BENCH_HAVE_GEOS)
#include <geos_c.h>
#endif

namespace {

// Streets run between crossings this many links apart.
constexpr int linksPerRoad = 16;

struct RoadGrid {
  std::vector<ST_NODE> nodes;
  std::vector<ST_LINK> links;  // in the order they are handed in
};

// The first n links of a square grid of streets (rows and columns, each cut
// into roads of linksPerRoad links), as a map loader delivers them: road by
// road in shuffled order, each road walked from either end, a few links
// digitised against the walk and a few swapped with their neighbour.
RoadGrid MakeRoadGrid(int n) {
  int side = 2;
  while (2 * side * (side - 1) < n) ++side;
  RoadGrid grid;
  grid.nodes.reserve(static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) grid.nodes.push_back(ST_NODE{x, y});
  }
  const auto node = [&](int x, int y) {
    return &grid.nodes[static_cast<std::size_t>(y) * static_cast<std::size_t>(side) +
                       static_cast<std::size_t>(x)];
  };

  // A road: its first node and the step to each next node.
  struct Road {
    int x, y, dx, dy, count;
  };
  std::vector<Road> roads;
  for (int line = 0; line < side; ++line) {
    for (int from = 0; from < side - 1; from += linksPerRoad) {
      const int count = std::min(linksPerRoad, side - 1 - from);
      roads.push_back({from, line, 1, 0, count});
      roads.push_back({line, from, 0, 1, count});
    }
  }
  bench::Rng rng(12345u);
  for (std::size_t i = roads.size(); i > 1; --i) {
    std::swap(roads[i - 1], roads[static_cast<std::size_t>(rng.Next() % i)]);
  }

  for (const Road& r : roads) {
    const bool fromFarEnd = rng.OneIn(2);
    const std::size_t first = grid.links.size();
    for (int k = 0; k < r.count; ++k) {
      const int step = fromFarEnd ? r.count - 1 - k : k;
      ST_NODE* a = node(r.x + step * r.dx, r.y + step * r.dy);
      ST_NODE* b = node(r.x + (step + 1) * r.dx, r.y + (step + 1) * r.dy);
      if (fromFarEnd != rng.OneIn(4)) std::swap(a, b);
      grid.links.push_back(ST_LINK{static_cast<std::uint32_t>(grid.links.size()), 1, a, b});
      if (grid.links.size() - first >= 2 && rng.OneIn(8)) {
        std::swap(grid.links[grid.links.size() - 1], grid.links[grid.links.size() - 2]);
      }
    }
  }
  grid.links.resize(static_cast<std::size_t>(n));
  return grid;
}

// The same links in a random order, each possibly reversed.
RoadGrid Shuffled(RoadGrid grid) {
  bench::Rng rng(777u);
  for (std::size_t i = grid.links.size(); i > 1; --i) {
    std::swap(grid.links[i - 1], grid.links[rng.Below(i)]);
  }
  for (ST_LINK& link : grid.links) {
    if (rng.OneIn(2)) std::swap(link.startNode, link.endNode);
  }
  return grid;
}

const RoadGrid& Grid(std::int64_t n, bool shuffled) {
  static const RoadGrid street1k = MakeRoadGrid(1000);
  static const RoadGrid street10k = MakeRoadGrid(10000);
  static const RoadGrid street100k = MakeRoadGrid(100000);
  static const RoadGrid shuffled1k = Shuffled(street1k);
  static const RoadGrid shuffled10k = Shuffled(street10k);
  static const RoadGrid shuffled100k = Shuffled(street100k);
  if (n <= 1000) return shuffled ? shuffled1k : street1k;
  if (n <= 10000) return shuffled ? shuffled10k : street10k;
  return shuffled ? shuffled100k : street100k;
}

// Times one chaining of the grid's links; making the links and clearing the
// lines are not timed.
template <typename Chain>
void RunChain(benchmark::State& state, bool shuffled, Chain chain) {
  const RoadGrid& grid = Grid(state.range(0), shuffled);
  std::vector<ST_LINK*> handIn(grid.links.size());
  std::size_t linesLeft = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (std::size_t i = 0; i < handIn.size(); ++i) handIn[i] = new ST_LINK(grid.links[i]);
    std::list<std::deque<ST_LINK*>*> lines;
    state.ResumeTiming();

    chain(handIn, lines);

    state.PauseTiming();
    linesLeft = lines.size();
    ClearLineList(&lines);
    state.ResumeTiming();
  }
  bench::SetItems(state, grid.links.size());
  state.counters["lines"] = static_cast<double>(linesLeft);
}

void OneByOne(std::vector<ST_LINK*>& links, std::list<std::deque<ST_LINK*>*>& lines) {
  for (ST_LINK* link : links) AddToLineList(link, lines);
}

void Batched(std::vector<ST_LINK*>& links, std::list<std::deque<ST_LINK*>*>& lines) {
  AddLinksToLineList(links.data(), static_cast<int>(links.size()), lines);
}

void ChainStreetTarnUtil(benchmark::State& state) {
  RunChain(state, false, OneByOne);
}
void ChainStreetTarnUtilBatch(benchmark::State& state) {
  RunChain(state, false, Batched);
}
void ChainShuffledTarnUtil(benchmark::State& state) {
  RunChain(state, true, OneByOne);
}
void ChainShuffledTarnUtilBatch(benchmark::State& state) {
  RunChain(state, true, Batched);
}

BENCHMARK(ChainStreetTarnUtil)
    ->Name("ChainStreet/TarnUtil")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ChainStreetTarnUtilBatch)
    ->Name("ChainStreet/TarnUtilBatch")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
// One call per link on 100k shuffled links walks tens of thousands of open
// lines per link (seconds per run); its growth shows by 10k.
BENCHMARK(ChainShuffledTarnUtil)
    ->Name("ChainShuffled/TarnUtil")
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ChainShuffledTarnUtilBatch)
    ->Name("ChainShuffled/TarnUtilBatch")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

#if defined(TARNUTIL_BENCH_HAVE_GEOS)

void RunGeosLineMerge(benchmark::State& state, bool shuffled) {
  const RoadGrid& grid = Grid(state.range(0), shuffled);
  GEOSContextHandle_t ctx = GEOS_init_r();
  std::vector<GEOSGeometry*> parts;
  parts.reserve(grid.links.size());
  for (const ST_LINK& link : grid.links) {
    const double xy[4] = {
        static_cast<double>(link.startNode->key1), static_cast<double>(link.startNode->key2),
        static_cast<double>(link.endNode->key1), static_cast<double>(link.endNode->key2)};
    parts.push_back(
        GEOSGeom_createLineString_r(ctx, GEOSCoordSeq_copyFromBuffer_r(ctx, xy, 2, 0, 0)));
  }
  GEOSGeometry* network = GEOSGeom_createCollection_r(ctx, GEOS_MULTILINESTRING, parts.data(),
                                                      static_cast<unsigned int>(parts.size()));
  int merged = 0;
  for (auto _ : state) {
    GEOSGeometry* out = GEOSLineMerge_r(ctx, network);
    merged = GEOSGetNumGeometries_r(ctx, out);
    GEOSGeom_destroy_r(ctx, out);
  }
  GEOSGeom_destroy_r(ctx, network);
  GEOS_finish_r(ctx);
  bench::SetItems(state, grid.links.size());
  state.counters["lines"] = static_cast<double>(merged);
}

void ChainStreetGeos(benchmark::State& state) {
  RunGeosLineMerge(state, false);
}
void ChainShuffledGeos(benchmark::State& state) {
  RunGeosLineMerge(state, true);
}

BENCHMARK(ChainStreetGeos)
    ->Name("ChainStreet/GEOS")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ChainShuffledGeos)
    ->Name("ChainShuffled/GEOS")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

#endif

}  // namespace
