// Projection, thinning, clipping and chaining over feature collections,
// through the library's exported functions.
#include "tools/geo_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <list>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tarnutil {
namespace geo {

const char lambertProjString[] =
    "+proj=lcc +lat_1=25 +lat_2=47 +lat_0=18 +lon_0=104 +x_0=0 +y_0=0 +a=6378137 "
    "+e=0.081819191 +units=m +no_defs";

namespace {

// The library takes positions in 1/86400 degree.
constexpr double unitsPerDegree = 86400.0;

std::string FeatureName(std::size_t i) { return "feature " + std::to_string(i); }

Path ToPath(const std::vector<tagPOINT>& points) {
  Path out;
  out.reserve(points.size());
  for (const tagPOINT& p : points) {
    out.push_back(Position{static_cast<double>(static_cast<std::int32_t>(p.x)),
                           static_cast<double>(static_cast<std::int32_t>(p.y))});
  }
  return out;
}

bool SamePoint(const tagPOINT& a, const tagPOINT& b) { return a.x == b.x && a.y == b.y; }

void DropRepeats(std::vector<tagPOINT>& line) {
  line.erase(std::unique(line.begin(), line.end(), SamePoint), line.end());
}

// Twice the signed area (positive counter-clockwise, y up) of a closed ring.
double TwiceArea(const std::vector<tagPOINT>& ring) {
  double sum = 0.0;
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
    sum += static_cast<double>(static_cast<std::int32_t>(ring[i].x)) *
               static_cast<std::int32_t>(ring[i + 1].y) -
           static_cast<double>(static_cast<std::int32_t>(ring[i + 1].x)) *
               static_cast<std::int32_t>(ring[i].y);
  }
  return sum;
}

void Close(std::vector<tagPOINT>& ring) {
  if (!ring.empty() && !SamePoint(ring.front(), ring.back())) {
    ring.push_back(ring.front());
  }
}

// Polygon geometry from a list of polygons: Polygon for one, MultiPolygon
// otherwise; false when nothing is left.
bool SetPolygons(Geometry& g, std::vector<std::vector<Path>> polygons, GeometryKind given) {
  g.parts = std::move(polygons);
  g.kind = given == GeometryKind::Polygon && g.parts.size() == 1 ? GeometryKind::Polygon
                                                                  : GeometryKind::MultiPolygon;
  return !g.parts.empty();
}

bool IsPolygonal(GeometryKind k) {
  return k == GeometryKind::Polygon || k == GeometryKind::MultiPolygon;
}

// Even-odd point-in-ring test on a closed ring.
bool Inside(const tagPOINT& p, const std::vector<tagPOINT>& ring) {
  bool in = false;
  const double px = static_cast<std::int32_t>(p.x);
  const double py = static_cast<std::int32_t>(p.y);
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
    const double ax = static_cast<std::int32_t>(ring[i].x);
    const double ay = static_cast<std::int32_t>(ring[i].y);
    const double bx = static_cast<std::int32_t>(ring[i + 1].x);
    const double by = static_cast<std::int32_t>(ring[i + 1].y);
    if ((ay > py) != (by > py) && px < ax + (py - ay) * (bx - ax) / (by - ay)) {
      in = !in;
    }
  }
  return in;
}

}  // namespace

bool Rounding::Apply(const Path& path, double scale, std::vector<tagPOINT>& out,
                     std::string& error, std::size_t feature) {
  out.clear();
  out.reserve(path.size());
  constexpr double lowest = -2147483648.0;
  constexpr double highest = 2147483647.0;
  for (const Position& p : path) {
    const double xy[2] = {p.x * scale, p.y * scale};
    std::int32_t r[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
      const double v = std::round(xy[i]);
      if (!(v >= lowest && v <= highest)) {
        error = FeatureName(feature) + ": coordinate " + FormatNumber(xy[i]) +
                " lies outside the 32-bit integer range";
        return false;
      }
      if (v != xy[i]) {
        ++rounded;
      }
      r[i] = static_cast<std::int32_t>(v);
    }
    tagPOINT q;
    q.x = r[0];
    q.y = r[1];
    out.push_back(q);
  }
  return true;
}

std::string Rounding::Warning(const char* command) const {
  if (rounded == 0) {
    return std::string();
  }
  return std::string("tarnutil ") + command + ": warning: " + std::to_string(rounded) +
         " coordinates were not integers and were rounded to the nearest (halves away from zero)";
}

void ThinInRuns(std::vector<tagPOINT>& line, float tolerance) {
  std::vector<tagPOINT> out;
  auto thinRun = [&line, &out, tolerance](std::size_t first, std::size_t last) {
    std::vector<tagPOINT> run(line.begin() + static_cast<std::ptrdiff_t>(first),
                              line.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    int kept = 0;
    PolySimplifyInt2D(tolerance, run.data(), static_cast<int>(run.size()), &kept);
    out.insert(out.end(), run.begin() + (out.empty() ? 0 : 1), run.begin() + kept);
  };
  std::set<std::pair<std::int32_t, std::int32_t>> seen;
  auto key = [&line](std::size_t i) {
    return std::make_pair(static_cast<std::int32_t>(line[i].x),
                          static_cast<std::int32_t>(line[i].y));
  };
  std::size_t first = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (!seen.insert(key(i)).second) {
      thinRun(first, i - 1);
      first = i - 1;
      seen.clear();
      seen.insert(key(i - 1));
      seen.insert(key(i));
    }
  }
  if (!line.empty()) {
    thinRun(first, line.size() - 1);
  }
  line = std::move(out);
}

void ThinLine(std::vector<tagPOINT>& line, float tolerance) {
  DropRepeats(line);
  ThinInRuns(line, tolerance);
}

std::vector<std::vector<std::vector<tagPOINT>>> SplitClipped(
    const std::vector<std::vector<tagPOINT>>& rings, const tagRECT& rect) {
  const std::int64_t x0 = static_cast<std::int32_t>(rect.left);
  const std::int64_t x1 = static_cast<std::int32_t>(rect.right);
  const std::int64_t y0 = static_cast<std::int32_t>(rect.bottom);
  const std::int64_t y1 = static_cast<std::int32_t>(rect.top);
  const std::int64_t w = x1 - x0;
  const std::int64_t h = y1 - y0;
  const std::int64_t perimeter = 2 * (w + h);
  // Position along the boundary, counter-clockwise from the lower left;
  // -1 off the boundary.
  auto along = [&](const tagPOINT& p) -> std::int64_t {
    const std::int64_t x = static_cast<std::int32_t>(p.x);
    const std::int64_t y = static_cast<std::int32_t>(p.y);
    if (y == y0) return x - x0;
    if (x == x1) return w + (y - y0);
    if (y == y1) return w + h + (x1 - x);
    if (x == x0) return 2 * w + h + (y1 - y);
    return -1;
  };
  auto onOneSide = [&](const tagPOINT& a, const tagPOINT& b) {
    const std::int32_t ax = static_cast<std::int32_t>(a.x);
    const std::int32_t ay = static_cast<std::int32_t>(a.y);
    const std::int32_t bx = static_cast<std::int32_t>(b.x);
    const std::int32_t by = static_cast<std::int32_t>(b.y);
    return (ax == bx && (ax == x0 || ax == x1)) || (ay == by && (ay == y0 || ay == y1));
  };
  tagPOINT corners[4];
  corners[0].x = rect.left, corners[0].y = rect.bottom;
  corners[1].x = rect.right, corners[1].y = rect.bottom;
  corners[2].x = rect.right, corners[2].y = rect.top;
  corners[3].x = rect.left, corners[3].y = rect.top;
  const std::int64_t cornerAt[4] = {0, w, w + h, 2 * w + h};

  std::vector<std::vector<std::vector<tagPOINT>>> polygons;
  std::vector<std::vector<tagPOINT>> freeHoles;
  // Runs of edges off the boundary, each from one boundary point to another.
  std::vector<std::vector<tagPOINT>> chains;
  std::vector<tagPOINT> wholeRect;
  for (std::size_t r = 0; r < rings.size(); ++r) {
    std::vector<tagPOINT> ring = rings[r];
    DropRepeats(ring);
    Close(ring);
    const double area = TwiceArea(ring);
    if (ring.size() < 4 || area == 0.0) {
      continue;
    }
    // Outer rings counter-clockwise, holes clockwise: the inside on the left.
    if ((r == 0) != (area > 0.0)) {
      std::reverse(ring.begin(), ring.end());
    }
    std::size_t start = ring.size();
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
      if (onOneSide(ring[i], ring[i + 1])) {
        start = i + 1;
        break;
      }
    }
    bool anyInner = false;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
      anyInner = anyInner || !onOneSide(ring[i], ring[i + 1]);
    }
    if (start == ring.size() || !anyInner) {
      // Touches no side along an edge, or is the rectangle itself. The
      // rectangle as outer ring is only kept when no hole reaches a side:
      // otherwise the walk along the sides below draws it.
      if (r == 0 && anyInner) {
        polygons.push_back({ring});
      } else if (r == 0) {
        wholeRect = ring;
      } else {
        freeHoles.push_back(ring);
      }
      continue;
    }
    // Walk once round from just after a boundary edge, cutting at each one.
    const std::size_t n = ring.size() - 1;
    std::vector<tagPOINT> chain;
    for (std::size_t k = 0; k < n; ++k) {
      const tagPOINT& a = ring[(start + k) % n];
      const tagPOINT& b = ring[(start + k + 1) % n];
      if (onOneSide(a, b)) {
        if (chain.size() >= 2) {
          chains.push_back(chain);
        }
        chain.clear();
        continue;
      }
      if (chain.empty()) {
        chain.push_back(a);
      }
      chain.push_back(b);
    }
    if (chain.size() >= 2) {
      chains.push_back(chain);
    }
  }
  // Each chain ends on the boundary; the next one is the first start met
  // going counter-clockwise along it.
  std::vector<bool> used(chains.size(), false);
  for (std::size_t c = 0; c < chains.size(); ++c) {
    if (used[c]) {
      continue;
    }
    used[c] = true;
    std::vector<tagPOINT> ring = chains[c];
    std::size_t current = c;
    for (std::size_t guard = 0; guard <= chains.size(); ++guard) {
      const std::int64_t from = along(chains[current].back());
      std::size_t best = c;
      std::int64_t bestGap = std::numeric_limits<std::int64_t>::max();
      for (std::size_t k = 0; k < chains.size(); ++k) {
        if (used[k] && k != c) {
          continue;
        }
        const std::int64_t gap = ((along(chains[k].front()) - from) % perimeter + perimeter) %
                                 perimeter;
        if (gap < bestGap) {
          bestGap = gap;
          best = k;
        }
      }
      // The corners passed on the way, in the order met.
      std::vector<std::pair<std::int64_t, int>> passed;
      for (int corner = 0; corner < 4; ++corner) {
        const std::int64_t gap = ((cornerAt[corner] - from) % perimeter + perimeter) % perimeter;
        if (gap > 0 && gap < bestGap) {
          passed.emplace_back(gap, corner);
        }
      }
      std::sort(passed.begin(), passed.end());
      for (const std::pair<std::int64_t, int>& corner : passed) {
        ring.push_back(corners[corner.second]);
      }
      if (best == c) {
        break;
      }
      used[best] = true;
      ring.insert(ring.end(), chains[best].begin(), chains[best].end());
      current = best;
    }
    DropRepeats(ring);
    Close(ring);
    if (ring.size() >= 4 && TwiceArea(ring) != 0.0) {
      polygons.push_back({ring});
    }
  }
  if (!wholeRect.empty() && chains.empty()) {
    polygons.push_back({wholeRect});
  }
  for (std::vector<tagPOINT>& hole : freeHoles) {
    for (std::vector<std::vector<tagPOINT>>& polygon : polygons) {
      if (Inside(hole.front(), polygon.front())) {
        polygon.push_back(std::move(hole));
        break;
      }
    }
  }
  return polygons;
}

GeoResult RunLccOn(const FeatureCollection& in, const LccOptions& options) {
  GeoResult result;
  if (!options.inverse && !IsLonLat(in.crs)) {
    result.error = "the input names a \"crs\": already projected? (lcc reads longitude and latitude)";
    return result;
  }
  result.output = in;
  for (Feature& f : result.output.features) {
    for (std::vector<Path>& part : f.geometry.parts) {
      for (Path& path : part) {
        for (Position& p : path) {
          double a = 0.0;
          double b = 0.0;
          if (options.inverse) {
            Lambert_Projct_XY2LL(p.x, p.y, a, b);
            p = Position{a / unitsPerDegree, b / unitsPerDegree};
          } else {
            Lambert_Projct_LL2XY(p.x * unitsPerDegree, p.y * unitsPerDegree, a, b);
            p = Position{a, b};
          }
        }
      }
    }
  }
  if (options.inverse) {
    result.output.crs = nlohmann::json();
  } else {
    result.output.crs = {{"type", "name"}, {"properties", {{"name", lambertProjString}}}};
  }
  result.ok = true;
  return result;
}

GeoResult RunSimplifyOn(const FeatureCollection& in, const SimplifyOptions& options) {
  GeoResult result;
  result.output = in;
  Rounding rounding;
  std::vector<tagPOINT> points;
  auto thin = [&](std::vector<tagPOINT>& line) {
    if (options.manhattan) {
      int kept = 0;
      PolySimplify(options.manhattanDistance, line.data(), static_cast<int>(line.size()), &kept);
      line.resize(static_cast<std::size_t>(kept));
    } else {
      ThinLine(line, options.tolerance);
    }
  };
  for (std::size_t i = 0; i < result.output.features.size(); ++i) {
    Feature& f = result.output.features[i];
    if (!f.hasGeometry) {
      continue;
    }
    Geometry& g = f.geometry;
    std::vector<std::vector<Path>> parts;
    for (std::vector<Path>& part : g.parts) {
      std::vector<Path> kept;
      for (std::size_t r = 0; r < part.size(); ++r) {
        if (!rounding.Apply(part[r], 1.0, points, result.error, i)) {
          return result;
        }
        if (g.kind != GeometryKind::Point) {
          thin(points);
        }
        if (IsPolygonal(g.kind) && points.size() < 4) {
          if (r == 0) {
            break;  // the outer ring went: the holes go with it
          }
          continue;
        }
        if (g.kind != GeometryKind::Point && points.size() < 2) {
          continue;  // a line of one repeated point is no line
        }
        kept.push_back(ToPath(points));
      }
      if (!kept.empty()) {
        parts.push_back(std::move(kept));
      }
    }
    if (IsPolygonal(g.kind)) {
      f.hasGeometry = SetPolygons(g, std::move(parts), g.kind);
    } else {
      g.parts = std::move(parts);
      f.hasGeometry = g.kind == GeometryKind::MultiLineString || !g.parts.empty();
    }
  }
  const std::string warning = rounding.Warning("simplify");
  if (!warning.empty()) {
    result.warnings.push_back(warning);
  }
  result.ok = true;
  return result;
}

GeoResult RunClipOn(const FeatureCollection& in, const ClipOptions& options) {
  GeoResult result;
  result.output = in;
  Rounding rounding;
  std::vector<tagPOINT> points;
  tagPOINT lo;
  lo.x = options.xmin;
  lo.y = options.ymin;
  tagPOINT hi;
  hi.x = options.xmax;
  hi.y = options.ymax;
  for (std::size_t i = 0; i < result.output.features.size(); ++i) {
    Feature& f = result.output.features[i];
    if (!f.hasGeometry) {
      continue;
    }
    Geometry& g = f.geometry;
    if (g.kind == GeometryKind::Point) {
      if (!rounding.Apply(g.parts[0][0], 1.0, points, result.error, i)) {
        return result;
      }
      const std::int32_t x = static_cast<std::int32_t>(points[0].x);
      const std::int32_t y = static_cast<std::int32_t>(points[0].y);
      if (x < options.xmin || x > options.xmax || y < options.ymin || y > options.ymax) {
        f.hasGeometry = false;
      } else {
        g.parts[0][0] = ToPath(points);
      }
      continue;
    }
    if (!IsPolygonal(g.kind)) {
      std::vector<std::vector<Path>> pieces;
      for (std::vector<Path>& part : g.parts) {
        if (!rounding.Apply(part[0], 1.0, points, result.error, i)) {
          return result;
        }
        // Room the library asks for: 2 (n - 1) points and n - 1 piece totals.
        std::vector<tagPOINT> out(2 * (points.size() - 1));
        std::vector<int> totals(points.size() - 1);
        tagPOINT l = lo;
        tagPOINT h = hi;
        const int n = RectClipLine(points.data(), static_cast<int>(points.size()), out.data(),
                                   totals.data(), &l, &h);
        int begin = 0;
        for (int j = 0; j < n; ++j) {
          const int end = totals[static_cast<std::size_t>(j)];
          pieces.push_back({ToPath(std::vector<tagPOINT>(out.begin() + begin, out.begin() + end))});
          begin = end;
        }
      }
      g.kind = GeometryKind::MultiLineString;
      g.parts = std::move(pieces);
      f.hasGeometry = !g.parts.empty();
      continue;
    }
    std::vector<std::vector<Path>> polygons;
    for (std::vector<Path>& part : g.parts) {
      std::vector<std::vector<tagPOINT>> clippedRings;
      for (std::size_t r = 0; r < part.size(); ++r) {
        if (!rounding.Apply(part[r], 1.0, points, result.error, i)) {
          return result;
        }
        points.pop_back();  // the closing position: clipGraph closes by itself
        tagRECT rect;
        rect.left = options.xmin;
        rect.bottom = options.ymin;
        rect.right = options.xmax;
        rect.top = options.ymax;
        // Each of the four edge stages passes on at most m + m / 2 of its m
        // points; 81 / 16 of the count, rounded up, bounds all four.
        std::vector<tagPOINT> out((81 * points.size() + 15) / 16);
        const std::int32_t n = clipGraph(&rect, points.data(),
                                         static_cast<std::int32_t>(points.size()), out.data(), 0);
        out.resize(static_cast<std::size_t>(n));
        if (out.size() < 3) {
          if (r == 0) {
            break;
          }
          continue;
        }
        Close(out);
        clippedRings.push_back(std::move(out));
      }
      if (clippedRings.empty()) {
        continue;
      }
      if (options.valid) {
        tagRECT rect;
        rect.left = options.xmin;
        rect.bottom = options.ymin;
        rect.right = options.xmax;
        rect.top = options.ymax;
        for (const std::vector<std::vector<tagPOINT>>& polygon : SplitClipped(clippedRings, rect)) {
          std::vector<Path> rings;
          for (const std::vector<tagPOINT>& ring : polygon) {
            rings.push_back(ToPath(ring));
          }
          polygons.push_back(std::move(rings));
        }
      } else {
        std::vector<Path> rings;
        for (const std::vector<tagPOINT>& ring : clippedRings) {
          rings.push_back(ToPath(ring));
        }
        polygons.push_back(std::move(rings));
      }
    }
    f.hasGeometry = SetPolygons(g, std::move(polygons), g.kind);
  }
  const std::string warning = rounding.Warning("clip");
  if (!warning.empty()) {
    result.warnings.push_back(warning);
  }
  result.ok = true;
  return result;
}

GeoResult RunChainOn(const FeatureCollection& in, const ChainOptions& options) {
  GeoResult result;
  Rounding rounding;
  struct Link {
    const Path* shape;
    nlohmann::json group;
  };
  std::vector<Link> links;
  for (std::size_t i = 0; i < in.features.size(); ++i) {
    const Feature& f = in.features[i];
    if (!f.hasGeometry) {
      continue;
    }
    if (f.geometry.kind != GeometryKind::LineString &&
        f.geometry.kind != GeometryKind::MultiLineString) {
      result.error = FeatureName(i) + ": chain takes LineString and MultiLineString features, not " +
                     KindName(f.geometry.kind);
      return result;
    }
    nlohmann::json group;
    if (!options.groupBy.empty() && f.properties.is_object()) {
      const auto v = f.properties.find(options.groupBy);
      if (v != f.properties.end()) {
        group = *v;
      }
    }
    for (const std::vector<Path>& part : f.geometry.parts) {
      links.push_back(Link{&part[0], group});
    }
  }
  // Groups in the order they first appear.
  std::vector<nlohmann::json> groups;
  std::map<std::string, std::size_t> groupIndex;
  std::vector<std::size_t> linkGroup(links.size());
  for (std::size_t k = 0; k < links.size(); ++k) {
    const std::string key = links[k].group.dump();
    const auto found = groupIndex.emplace(key, groups.size());
    if (found.second) {
      groups.push_back(links[k].group);
    }
    linkGroup[k] = found.first->second;
  }
  result.output.layout = Layout::FeatureCollection;
  result.output.crs = in.crs;
  std::vector<tagPOINT> ends;
  for (std::size_t gi = 0; gi < groups.size(); ++gi) {
    std::deque<ST_NODE> nodes;
    std::vector<ST_LINK*> batch;
    for (std::size_t k = 0; k < links.size(); ++k) {
      if (linkGroup[k] != gi) {
        continue;
      }
      const Path& shape = *links[k].shape;
      if (!rounding.Apply(Path{shape.front(), shape.back()}, options.scale, ends, result.error,
                          k)) {
        for (ST_LINK* l : batch) {
          delete l;
        }
        result.error = "line string " + result.error.substr(std::string("feature ").size());
        return result;
      }
      nodes.push_back(ST_NODE{static_cast<std::int32_t>(ends[0].x), static_cast<std::int32_t>(ends[0].y)});
      ST_NODE* start = &nodes.back();
      nodes.push_back(ST_NODE{static_cast<std::int32_t>(ends[1].x), static_cast<std::int32_t>(ends[1].y)});
      // appData carries the link's number; the list owns the record.
      batch.push_back(new ST_LINK{static_cast<std::uint32_t>(k), 1, start, &nodes.back()});
    }
    std::list<std::deque<ST_LINK*>*> lines;
    AddLinksToLineList(batch.data(), static_cast<int>(batch.size()), lines);
    for (const std::deque<ST_LINK*>* line : lines) {
      Path points;
      nlohmann::json names = nlohmann::json::array();
      for (const ST_LINK* link : *line) {
        const Path& shape = *links[link->appData].shape;
        const bool forward = link->direction == 1;
        names.push_back((forward ? "+" : "-") + std::to_string(link->appData));
        // Neighbouring links share their joint; keep it once.
        const std::size_t skip = points.empty() ? 0 : 1;
        if (forward) {
          points.insert(points.end(), shape.begin() + static_cast<std::ptrdiff_t>(skip), shape.end());
        } else {
          points.insert(points.end(), shape.rbegin() + static_cast<std::ptrdiff_t>(skip), shape.rend());
        }
      }
      Feature f;
      f.hasGeometry = true;
      f.geometry.kind = GeometryKind::LineString;
      f.geometry.parts = {{points}};
      f.properties = nlohmann::json::object();
      if (!options.groupBy.empty()) {
        f.properties[options.groupBy] = groups[gi];
      }
      f.properties["links"] = std::move(names);
      result.output.features.push_back(std::move(f));
    }
    ClearLineList(&lines);
  }
  const std::string warning = rounding.Warning("chain");
  if (!warning.empty()) {
    result.warnings.push_back(warning);
  }
  result.ok = true;
  return result;
}

}  // namespace geo
}  // namespace tarnutil
