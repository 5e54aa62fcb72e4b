#include "tools/demo_network.h"

#include <cstddef>
#include <utility>

#include "testing/seeded_rng.h"

namespace tarnutil {
namespace cli {

namespace {

// The network is laid out in a local frame in metres (east, north) around
// this centre and then turned into 1/86400-degree units.
constexpr std::int32_t centreLon = 9028800;  // 104.5 degrees east
constexpr std::int32_t centreLat = 2635200;  // 30.5 degrees north
// Units per 10 km near the centre: a degree of longitude is about 95990 m
// there and a degree of latitude about 110860 m. Close is enough: the data
// is invented, only its layout has to look right.
constexpr std::int64_t lonUnitsPer10Km = 9001;
constexpr std::int64_t latUnitsPer10Km = 7794;
constexpr std::int64_t metres10Km = 10000;

// Street grid: columns and rows of crossings over the network's extent;
// every seventh column and sixth row is a main road.
constexpr int gridColumns = 55;
constexpr int gridRows = 42;
constexpr std::int32_t gridWest = -15000;
constexpr std::int32_t gridSouth = -11500;
constexpr std::int32_t gridWidth = 30000;
constexpr std::int32_t gridHeight = 23000;
constexpr int mainColumnEvery = 7;
constexpr int mainColumnPhase = 3;
constexpr int mainRowEvery = 6;
constexpr int mainRowPhase = 2;
// Crossings wander this far from the grid; main roads stay straighter.
constexpr std::int32_t minorJitter = 70;
constexpr std::int32_t mainJitter = 25;
// Bends inside a link: a few metres on streets, more on main roads.
constexpr std::int32_t minorBend = 5;
constexpr std::int32_t mainBend = 12;
// One street link in this many is missing, so blocks differ in size.
constexpr std::uint32_t streetGapOneIn = 8;
// Links handed over end first, in fifths.
constexpr std::uint32_t reversedFifths = 2;

// Highways follow smooth curves through these points; each curve segment is
// sampled this many times, and a link spans this many samples.
constexpr int samplesPerSegment = 64;
constexpr int samplesPerLink = 8;
struct LocalPoint {
  std::int32_t east;
  std::int32_t north;
};
const LocalPoint highwayWestEast[] = {
    {-17000, -3500}, {-9000, 2000}, {-1000, -500}, {6000, 2500}, {17000, 5000}};
const LocalPoint highwaySouthNorth[] = {
    {2000, -13000}, {-2500, -5000}, {3500, 1500}, {500, 7000}, {3000, 13000}};
// The trip runs along the first highway between the crossings nearest
// these eastings, both inside the view.
constexpr std::int32_t routeFromEast = -10000;
constexpr std::int32_t routeToEast = 9000;

// Lake and park outlines: radii around a centre in 24 directions 15 degrees
// apart, each radius varied by a percentage and smoothed with its
// neighbours.
constexpr int outlineVertices = 24;
// cos(15 k degrees) * 10^6 for k = 0..6; the other directions by symmetry.
constexpr std::int64_t cosTable[7] = {1000000, 965926, 866025, 707107, 500000, 258819, 0};
constexpr std::int64_t unitScale = 1000000;
constexpr LocalPoint lakeCentre = {11000, -4500};
constexpr std::int32_t lakeRadius = 3600;
constexpr std::uint32_t lakeVaryPercent = 40;
constexpr LocalPoint parkCentre = {-6500, 5000};
constexpr std::int32_t parkRadius = 2000;
constexpr std::uint32_t parkVaryPercent = 20;

constexpr std::uint64_t demoSeed = 0x7A2D5EEDC0FFEE01u;

// The demo's draws over the shared seeded generator.
class DemoRng {
 public:
  explicit DemoRng(std::uint64_t seed) : rng_(seed) {}

  // Uniform in 0..n-1 for n >= 1, by the high bits of a 64-bit product.
  std::uint32_t Below(std::uint32_t n) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(rng_.Upper32()) * n) >> 32);
  }

  // Uniform in -reach..reach.
  std::int32_t Spread(std::int32_t reach) {
    return static_cast<std::int32_t>(Below(static_cast<std::uint32_t>(2 * reach + 1))) - reach;
  }

 private:
  testing::SeededRng rng_;
};

GeoPoint ToGeo(LocalPoint p) {
  GeoPoint g;
  g.lon = centreLon + static_cast<std::int32_t>(p.east * lonUnitsPer10Km / metres10Km);
  g.lat = centreLat + static_cast<std::int32_t>(p.north * latUnitsPer10Km / metres10Km);
  return g;
}

std::vector<GeoPoint> ToGeo(const std::vector<LocalPoint>& points) {
  std::vector<GeoPoint> out;
  out.reserve(points.size());
  for (const LocalPoint& p : points) {
    out.push_back(ToGeo(p));
  }
  return out;
}

// Nearest whole metre; plain double arithmetic, so the same everywhere.
std::int32_t RoundMetre(double v) {
  const double shifted = v + 0.5;
  std::int32_t t = static_cast<std::int32_t>(shifted);
  if (static_cast<double>(t) > shifted) {
    --t;
  }
  return t;
}

// Catmull-Rom curve through the control points, end points repeated.
std::vector<LocalPoint> SampleCurve(const LocalPoint* control, std::size_t count) {
  std::vector<LocalPoint> samples;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    const LocalPoint& p0 = control[i == 0 ? 0 : i - 1];
    const LocalPoint& p1 = control[i];
    const LocalPoint& p2 = control[i + 1];
    const LocalPoint& p3 = control[i + 2 < count ? i + 2 : count - 1];
    for (int s = 0; s < samplesPerSegment; ++s) {
      const double t = static_cast<double>(s) / samplesPerSegment;
      auto axis = [t](double a, double b, double c, double d) {
        return 0.5 * (2.0 * b + (c - a) * t + (2.0 * a - 5.0 * b + 4.0 * c - d) * (t * t) +
                      (3.0 * b - a - 3.0 * c + d) * (t * t * t));
      };
      samples.push_back({RoundMetre(axis(p0.east, p1.east, p2.east, p3.east)),
                         RoundMetre(axis(p0.north, p1.north, p2.north, p3.north))});
    }
  }
  samples.push_back(control[count - 1]);
  return samples;
}

// Direction k of outlineVertices, scaled by unitScale.
LocalPoint Direction(int k) {
  const int quarter = k / 6;
  const int step = k % 6;
  const std::int32_t c = static_cast<std::int32_t>(cosTable[step]);
  const std::int32_t s = static_cast<std::int32_t>(cosTable[6 - step]);
  switch (quarter) {
    case 0:
      return {c, s};
    case 1:
      return {-s, c};
    case 2:
      return {-c, -s};
    default:
      return {s, -c};
  }
}

std::vector<LocalPoint> Blob(DemoRng& rng, LocalPoint centre, std::int32_t radius,
                             std::uint32_t varyPercent) {
  std::vector<std::int64_t> radii(outlineVertices);
  for (std::int64_t& r : radii) {
    const std::uint32_t percent = 100 - varyPercent / 2 + rng.Below(varyPercent + 1);
    r = static_cast<std::int64_t>(radius) * percent / 100;
  }
  std::vector<LocalPoint> outline;
  for (int k = 0; k < outlineVertices; ++k) {
    const std::size_t at = static_cast<std::size_t>(k);
    const std::int64_t before = radii[(at + outlineVertices - 1) % outlineVertices];
    const std::int64_t after = radii[(at + 1) % outlineVertices];
    const std::int64_t r = (before + 2 * radii[at] + after) / 4;
    const LocalPoint d = Direction(k);
    outline.push_back({centre.east + static_cast<std::int32_t>(r * d.east / unitScale),
                       centre.north + static_cast<std::int32_t>(r * d.north / unitScale)});
  }
  return outline;
}

// Even-odd test of p against the closed outline.
bool Inside(const std::vector<LocalPoint>& outline, LocalPoint p) {
  bool inside = false;
  const std::size_t n = outline.size();
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const LocalPoint& a = outline[i];
    const LocalPoint& b = outline[j];
    if ((a.north > p.north) != (b.north > p.north)) {
      const std::int64_t lhs = static_cast<std::int64_t>(p.east - a.east) * (b.north - a.north);
      const std::int64_t rhs = static_cast<std::int64_t>(b.east - a.east) * (p.north - a.north);
      // p lies left of the edge's crossing; the sign of the edge's rise
      // decides which way the comparison runs.
      if ((b.north > a.north) ? (lhs < rhs) : (lhs > rhs)) {
        inside = !inside;
      }
    }
  }
  return inside;
}

bool AnyInside(const std::vector<LocalPoint>& outline, const std::vector<LocalPoint>& shape) {
  for (const LocalPoint& p : shape) {
    if (Inside(outline, p)) {
      return true;
    }
  }
  return false;
}

class NetworkBuilder {
 public:
  NetworkBuilder() : rng_(demoSeed) {}

  DemoNetwork Build() {
    DemoNetwork net;
    net.centre = ToGeo(LocalPoint{0, 0});
    lake_ = Blob(rng_, lakeCentre, lakeRadius, lakeVaryPercent);
    park_ = Blob(rng_, parkCentre, parkRadius, parkVaryPercent);
    net.lake = ToGeo(lake_);
    net.park = ToGeo(park_);
    AddGrid();
    net.route = AddHighway(highwayWestEast, sizeof highwayWestEast / sizeof highwayWestEast[0]);
    AddHighway(highwaySouthNorth, sizeof highwaySouthNorth / sizeof highwaySouthNorth[0]);
    Shuffle();
    net.links = std::move(links_);
    return net;
  }

 private:
  void AddLink(RoadClass roadClass, const std::vector<LocalPoint>& shape) {
    links_.push_back(DemoLink{roadClass, ToGeo(shape)});
  }

  void AddGrid() {
    std::vector<LocalPoint> nodes(static_cast<std::size_t>(gridColumns * gridRows));
    auto at = [](int i, int j) { return static_cast<std::size_t>(j * gridColumns + i); };
    auto mainColumn = [](int i) { return i % mainColumnEvery == mainColumnPhase; };
    auto mainRow = [](int j) { return j % mainRowEvery == mainRowPhase; };
    for (int j = 0; j < gridRows; ++j) {
      for (int i = 0; i < gridColumns; ++i) {
        const std::int32_t jitterEast = mainColumn(i) ? mainJitter : minorJitter;
        const std::int32_t jitterNorth = mainRow(j) ? mainJitter : minorJitter;
        LocalPoint p;
        p.east = gridWest + i * gridWidth / (gridColumns - 1) + rng_.Spread(jitterEast);
        p.north = gridSouth + j * gridHeight / (gridRows - 1) + rng_.Spread(jitterNorth);
        nodes[at(i, j)] = p;
      }
    }
    for (int j = 0; j < gridRows; ++j) {
      for (int i = 0; i < gridColumns; ++i) {
        if (i + 1 < gridColumns) {
          AddGridLink(nodes[at(i, j)], nodes[at(i + 1, j)], mainRow(j));
        }
        if (j + 1 < gridRows) {
          AddGridLink(nodes[at(i, j)], nodes[at(i, j + 1)], mainColumn(i));
        }
      }
    }
  }

  void AddGridLink(LocalPoint a, LocalPoint b, bool isMain) {
    std::vector<LocalPoint> shape;
    shape.push_back(a);
    if (isMain) {
      for (int third = 1; third <= 2; ++third) {
        shape.push_back({a.east + (b.east - a.east) * third / 3 + rng_.Spread(mainBend),
                         a.north + (b.north - a.north) * third / 3 + rng_.Spread(mainBend)});
      }
    } else {
      shape.push_back({(a.east + b.east) / 2 + rng_.Spread(minorBend),
                       (a.north + b.north) / 2 + rng_.Spread(minorBend)});
    }
    shape.push_back(b);
    // Drawn last so that the random sequence does not depend on the areas.
    const bool gap = !isMain && rng_.Below(streetGapOneIn) == 0;
    if (gap || AnyInside(lake_, shape) || (!isMain && AnyInside(park_, shape))) {
      return;
    }
    AddLink(isMain ? RoadClass::main : RoadClass::minor, shape);
  }

  // Adds the highway's links; returns the trip along it.
  std::vector<GeoPoint> AddHighway(const LocalPoint* control, std::size_t count) {
    const std::vector<LocalPoint> samples = SampleCurve(control, count);
    std::size_t from = 0;
    std::size_t to = 0;
    for (std::size_t s = 0; s + samplesPerLink < samples.size(); s += samplesPerLink) {
      AddLink(RoadClass::highway,
              std::vector<LocalPoint>(samples.begin() + static_cast<std::ptrdiff_t>(s),
                                      samples.begin() + static_cast<std::ptrdiff_t>(s + samplesPerLink + 1)));
      if (samples[s].east <= routeFromEast) {
        from = s + samplesPerLink;
      }
      if (samples[s].east <= routeToEast) {
        to = s;
      }
    }
    if (to < from) {
      to = from;
    }
    return ToGeo(std::vector<LocalPoint>(samples.begin() + static_cast<std::ptrdiff_t>(from),
                                         samples.begin() + static_cast<std::ptrdiff_t>(to + 1)));
  }

  // Fisher-Yates over the links, then some turned end first.
  void Shuffle() {
    for (std::size_t i = links_.size(); i > 1; --i) {
      const std::size_t j = rng_.Below(static_cast<std::uint32_t>(i));
      std::swap(links_[i - 1], links_[j]);
    }
    for (DemoLink& link : links_) {
      if (rng_.Below(5) < reversedFifths) {
        std::vector<GeoPoint> reversed(link.shape.rbegin(), link.shape.rend());
        link.shape = std::move(reversed);
      }
    }
  }

  DemoRng rng_;
  std::vector<LocalPoint> lake_;
  std::vector<LocalPoint> park_;
  std::vector<DemoLink> links_;
};

}  // namespace

DemoNetwork MakeDemoNetwork() { return NetworkBuilder().Build(); }

}  // namespace cli
}  // namespace tarnutil
