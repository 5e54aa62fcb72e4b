// Chaining cost per link on a synthetic road grid. Every addition walks the
// line list without an index, so the time per link follows the number of
// open lines, which grows with the number of links handed in.
#include <benchmark/benchmark.h>
#include <tarnutil/tarnutil.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <list>
#include <utility>
#include <vector>

namespace {

// Streets run between crossings this many links apart.
constexpr int linksPerRoad = 16;

// SplitMix64: the same hand-in order on every run and standard library.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // True with probability 1/d.
  bool OneIn(std::uint64_t d) { return Next() % d == 0; }

 private:
  std::uint64_t state_;
};

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
  Rng rng(12345u);
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

void AddToLineListRoadGrid(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const RoadGrid grid = MakeRoadGrid(n);
  std::vector<ST_LINK*> handIn(grid.links.size());
  std::size_t linesLeft = 0;
  std::size_t peakLines = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (std::size_t i = 0; i < handIn.size(); ++i) handIn[i] = new ST_LINK(grid.links[i]);
    std::list<std::deque<ST_LINK*>*> lines;
    state.ResumeTiming();

    for (ST_LINK* link : handIn) {
      AddToLineList(link, lines);
      peakLines = std::max(peakLines, lines.size());
    }

    state.PauseTiming();
    linesLeft = lines.size();
    ClearLineList(&lines);
    state.ResumeTiming();
  }
  state.counters["per_link"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
  // Lines walked per addition at the worst moment, and left at the end.
  state.counters["peak_lines"] = static_cast<double>(peakLines);
  state.counters["lines"] = static_cast<double>(linesLeft);
}

BENCHMARK(AddToLineListRoadGrid)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
