// Map drawing from feature collections; the steps follow the demo's.
#include "tools/map_render.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/geo_commands.h"
#include "tools/raster.h"

namespace tarnutil {
namespace geo {

namespace {

using cli::Canvas;
using cli::PixelPoint;
using Clock = std::chrono::steady_clock;
using Ring = std::vector<tagPOINT>;

// Road classes after the first take these colours in turn.
const std::uint32_t roadPalette[] = {0xE8734E, 0xF6D36B, 0x9C6ADE, 0x5FA35F, 0x7A7A7A, 0xB0B0B0};

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Prepared {
  // Areas: polygons of rings; lines and roads: one path per entry.
  std::vector<std::vector<Ring>> polygons;
  std::vector<Ring> paths;
  // Roads: the class rank of each path (0 = lowest class value).
  std::vector<std::size_t> rank;
  std::size_t classCount = 0;
};

struct ViewMapping {
  MapView view;
  double metresPerPixel = 1.0;
  PixelPoint ToPixel(const tagPOINT& p) const {
    return PixelPoint{(static_cast<std::int32_t>(p.x) - static_cast<double>(view.xmin)) / metresPerPixel,
                      (static_cast<double>(view.ymax) - static_cast<std::int32_t>(p.y)) / metresPerPixel};
  }
  std::vector<PixelPoint> ToPixels(const tagPOINT* points, std::size_t count) const {
    std::vector<PixelPoint> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      out.push_back(ToPixel(points[i]));
    }
    return out;
  }
};

bool ToIntegers(const FeatureCollection& in, Prepared& out, bool polygons, LayerStats& stats,
                std::string& error) {
  Rounding rounding;
  Ring ring;
  for (std::size_t i = 0; i < in.features.size(); ++i) {
    const Feature& f = in.features[i];
    if (!f.hasGeometry) {
      continue;
    }
    ++stats.features;
    const bool areas = f.geometry.kind == GeometryKind::Polygon ||
                       f.geometry.kind == GeometryKind::MultiPolygon;
    for (const std::vector<Path>& part : f.geometry.parts) {
      std::vector<Ring> rings;
      for (const Path& path : part) {
        if (!rounding.Apply(path, 1.0, ring, error, i)) {
          return false;
        }
        ++stats.paths;
        if (polygons && areas) {
          rings.push_back(ring);
        } else if (!polygons) {
          // Outlines drawn as lines: each ring is a closed line.
          out.paths.push_back(ring);
        }
      }
      if (!rings.empty()) {
        out.polygons.push_back(std::move(rings));
      }
    }
  }
  return true;
}

void Extend(const Ring& ring, MapView& box, bool& any) {
  for (const tagPOINT& p : ring) {
    const std::int32_t x = static_cast<std::int32_t>(p.x);
    const std::int32_t y = static_cast<std::int32_t>(p.y);
    if (!any) {
      box = MapView{x, y, x, y};
      any = true;
    }
    box.xmin = std::min(box.xmin, x);
    box.ymin = std::min(box.ymin, y);
    box.xmax = std::max(box.xmax, x);
    box.ymax = std::max(box.ymax, y);
  }
}

// Fills a polygon with holes through one even-odd outline: each hole is
// reached from the outer ring's first point and left back to it, and an
// edge walked there and back crosses no pixel centre an odd number of times.
void FillRings(Canvas& canvas, const std::vector<std::vector<PixelPoint>>& rings,
               std::uint32_t colour) {
  if (rings.empty() || rings[0].empty()) {
    return;
  }
  std::vector<PixelPoint> outline = rings[0];
  const PixelPoint anchor = rings[0].front();
  outline.push_back(anchor);
  for (std::size_t r = 1; r < rings.size(); ++r) {
    if (rings[r].empty()) {
      continue;
    }
    outline.insert(outline.end(), rings[r].begin(), rings[r].end());
    outline.push_back(rings[r].front());
    outline.push_back(anchor);
  }
  canvas.FillPolygon(outline, colour);
}

}  // namespace

bool RenderMap(std::vector<MapLayer>& layers, const MapView& givenView, std::uint32_t background,
               CDIB& dib, MapStats& stats, std::string& error) {
  Clock::time_point start = Clock::now();
  auto lap = [&stats, &start](const char* name) {
    stats.millis.emplace_back(name, MillisecondsSince(start));
    start = Clock::now();
  };
  stats.layers.assign(layers.size(), LayerStats());
  std::vector<Prepared> prepared(layers.size());
  std::vector<FeatureCollection> projected(layers.size());
  for (std::size_t l = 0; l < layers.size(); ++l) {
    if (IsLonLat(layers[l].data.crs)) {
      GeoResult r = RunLccOn(layers[l].data, LccOptions());
      projected[l] = std::move(r.output);
    } else {
      projected[l] = layers[l].data;
    }
  }
  lap("project");

  for (std::size_t l = 0; l < layers.size(); ++l) {
    MapLayer& layer = layers[l];
    LayerStats& ls = stats.layers[l];
    if (layer.kind == LayerKind::Roads) {
      // Links meet where their rounded end coordinates are equal.
      for (const Feature& f : projected[l].features) {
        if (f.hasGeometry) {
          ++ls.features;
          ls.paths += f.geometry.parts.size();
        }
      }
      ChainOptions chain;
      chain.groupBy = layer.classField;
      GeoResult chained = RunChainOn(projected[l], chain);
      if (!chained.ok) {
        error = layer.name + ": " + chained.error;
        return false;
      }
      LayerStats unused;
      if (!ToIntegers(chained.output, prepared[l], false, unused, error)) {
        error = layer.name + ": " + error;
        return false;
      }
      ls.chained = prepared[l].paths.size();
      // Classes ranked by value: numbers numerically, then text.
      std::vector<nlohmann::json> values;
      for (const Feature& f : chained.output.features) {
        values.push_back(f.properties.value(layer.classField, nlohmann::json()));
      }
      std::vector<nlohmann::json> distinct = values;
      std::sort(distinct.begin(), distinct.end());
      distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
      prepared[l].classCount = distinct.size();
      for (const nlohmann::json& v : values) {
        prepared[l].rank.push_back(static_cast<std::size_t>(
            std::lower_bound(distinct.begin(), distinct.end(), v) - distinct.begin()));
      }
    } else if (!ToIntegers(projected[l], prepared[l], layer.kind == LayerKind::Areas, ls, error)) {
      error = layer.name + ": " + error;
      return false;
    }
  }
  lap("chain");

  MapView view = givenView;
  const int width = dib.GetWidth();
  const int height = dib.GetHeight();
  if (!view.IsSet()) {
    bool any = false;
    MapView box;
    for (const Prepared& p : prepared) {
      for (const std::vector<Ring>& polygon : p.polygons) {
        Extend(polygon[0], box, any);
      }
      for (const Ring& path : p.paths) {
        Extend(path, box, any);
      }
    }
    if (!any) {
      box = MapView{-1, -1, 1, 1};
    }
    // Widened about its centre to the picture's proportions, with a margin.
    const double cx = (static_cast<double>(box.xmin) + box.xmax) / 2.0;
    const double cy = (static_cast<double>(box.ymin) + box.ymax) / 2.0;
    const double scale = 1.02 * std::max((static_cast<double>(box.xmax) - box.xmin + 1) / width,
                                         (static_cast<double>(box.ymax) - box.ymin + 1) / height);
    const double halfW = scale * width / 2.0;
    const double halfH = scale * height / 2.0;
    auto clamp = [](double v) {
      return static_cast<std::int32_t>(std::max(-2147483647.0, std::min(2147483647.0, std::round(v))));
    };
    view = MapView{clamp(cx - halfW), clamp(cy - halfH), clamp(cx + halfW), clamp(cy + halfH)};
  }
  ViewMapping mapping;
  mapping.view = view;
  mapping.metresPerPixel = (static_cast<double>(view.xmax) - view.xmin) / width;
  stats.view = view;
  stats.metresPerPixel = mapping.metresPerPixel;

  // Bends of up to a quarter pixel go: squared deviations up to
  // (mpp / 4)^2, which the split compares with sqrt(tolerance).
  const double quarter = mapping.metresPerPixel / 4.0;
  const float tolerance = static_cast<float>(quarter * quarter * quarter * quarter);
  for (std::size_t l = 0; l < layers.size(); ++l) {
    LayerStats& ls = stats.layers[l];
    for (std::vector<Ring>& polygon : prepared[l].polygons) {
      for (Ring& ring : polygon) {
        ls.pointsIn += ring.size();
        ThinLine(ring, tolerance);
        ls.pointsKept += ring.size();
      }
    }
    for (Ring& path : prepared[l].paths) {
      ls.pointsIn += path.size();
      ThinLine(path, tolerance);
      ls.pointsKept += path.size();
    }
  }
  lap("thin");

  // Clipped and turned into pixels before any drawing, so that the stages
  // are timed apart.
  struct Drawable {
    std::vector<std::vector<std::vector<PixelPoint>>> areas;
    std::vector<std::vector<PixelPoint>> lines;
    std::vector<std::size_t> rank;
  };
  std::vector<Drawable> drawables(layers.size());
  for (std::size_t l = 0; l < layers.size(); ++l) {
    LayerStats& ls = stats.layers[l];
    for (const std::vector<Ring>& polygon : prepared[l].polygons) {
      std::vector<std::vector<PixelPoint>> rings;
      for (const Ring& ring0 : polygon) {
        Ring ring = ring0;
        if (ring.size() >= 2 && ring.front().x == ring.back().x && ring.front().y == ring.back().y) {
          ring.pop_back();
        }
        if (ring.size() < 3) {
          continue;
        }
        tagRECT rect;
        rect.left = view.xmin;
        rect.bottom = view.ymin;
        rect.right = view.xmax;
        rect.top = view.ymax;
        // Each of the four edge stages passes on at most m + m / 2 of its m
        // points; 81 / 16 of the count, rounded up, bounds all four.
        Ring clipped((81 * ring.size() + 15) / 16);
        const std::int32_t n = clipGraph(&rect, ring.data(), static_cast<std::int32_t>(ring.size()),
                                         clipped.data(), 0);
        if (n < 3) {
          continue;
        }
        ++ls.pieces;
        ls.pointsDrawn += static_cast<std::size_t>(n);
        rings.push_back(mapping.ToPixels(clipped.data(), static_cast<std::size_t>(n)));
      }
      if (!rings.empty()) {
        drawables[l].areas.push_back(std::move(rings));
      }
    }
    for (std::size_t k = 0; k < prepared[l].paths.size(); ++k) {
      Ring& line = prepared[l].paths[k];
      if (line.size() < 2) {
        continue;
      }
      // Room the library asks for: 2 (n - 1) points and n - 1 piece totals.
      Ring clipped(2 * (line.size() - 1));
      std::vector<int> totals(line.size() - 1);
      tagPOINT lo;
      lo.x = view.xmin;
      lo.y = view.ymin;
      tagPOINT hi;
      hi.x = view.xmax;
      hi.y = view.ymax;
      const int n = RectClipLine(line.data(), static_cast<int>(line.size()), clipped.data(),
                                 totals.data(), &lo, &hi);
      int begin = 0;
      for (int j = 0; j < n; ++j) {
        const int end = totals[static_cast<std::size_t>(j)];
        drawables[l].lines.push_back(
            mapping.ToPixels(clipped.data() + begin, static_cast<std::size_t>(end - begin)));
        drawables[l].rank.push_back(prepared[l].rank.empty() ? 0 : prepared[l].rank[k]);
        ++ls.pieces;
        ls.pointsDrawn += static_cast<std::size_t>(end - begin);
        begin = end;
      }
    }
  }
  lap("clip");

  Canvas canvas(dib);
  canvas.Clear(background);
  for (std::size_t l = 0; l < layers.size(); ++l) {
    const MapLayer& layer = layers[l];
    const Drawable& d = drawables[l];
    for (const std::vector<std::vector<PixelPoint>>& rings : d.areas) {
      FillRings(canvas, rings, layer.colour);
    }
    if (layer.kind == LayerKind::Roads) {
      // Highest class value first, so that the lowest (the main roads in
      // the usual numbering) end on top.
      for (std::size_t r = prepared[l].classCount; r-- > 0;) {
        const std::uint32_t colour =
            r == 0 ? layer.colour : roadPalette[(r - 1) % (sizeof roadPalette / sizeof roadPalette[0])];
        const int w = r == 0 ? layer.width + 1 : layer.width;
        for (std::size_t k = 0; k < d.lines.size(); ++k) {
          if (d.rank[k] == r) {
            canvas.Polyline(d.lines[k], w, colour);
          }
        }
      }
    } else {
      for (const std::vector<PixelPoint>& line : d.lines) {
        canvas.Polyline(line, layer.width, layer.colour);
      }
    }
  }
  lap("draw");
  return true;
}

std::string MapReport(const std::vector<MapLayer>& layers, const MapStats& stats,
                      const std::string& picture, int width, int height, bool readBack) {
  auto fixed = [](double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return std::string(text);
  };
  const MapView& v = stats.view;
  std::string report = "tarnutil map: " + std::to_string(layers.size()) + " layers, view " +
                       std::to_string(v.xmin) + " " + std::to_string(v.ymin) + " " +
                       std::to_string(v.xmax) + " " + std::to_string(v.ymax) + " (" +
                       fixed(stats.metresPerPixel, 1) + " units a pixel)\n";
  const char* kinds[] = {"areas", "lines", "roads"};
  for (std::size_t l = 0; l < layers.size(); ++l) {
    const LayerStats& s = stats.layers[l];
    const MapLayer& layer = layers[l];
    report += "layer " + std::to_string(l + 1) + ":     " + kinds[static_cast<int>(layer.kind)] +
              " " + layer.name + ": " + std::to_string(s.features) + " features, " +
              std::to_string(s.paths) + (layer.kind == LayerKind::Areas ? " rings" : " lines");
    if (layer.kind == LayerKind::Roads) {
      report += " chained into " + std::to_string(s.chained) + " lines";
    }
    report += "; points " + std::to_string(s.pointsIn) + " before thinning, " +
              std::to_string(s.pointsKept) + " after; " + std::to_string(s.pieces) +
              (layer.kind == LayerKind::Areas ? " clipped rings, " : " pieces, ") +
              std::to_string(s.pointsDrawn) + " points drawn\n";
  }
  report += "picture:     " + picture + ", " + std::to_string(width) + " x " +
            std::to_string(height) + " pixels, 24 bits; read back through CDIB: " +
            (readBack ? "identical" : "DIFFERENT") + "\n";
  report += "time (ms):  ";
  for (const std::pair<const char*, double>& stage : stats.millis) {
    report += std::string(" ") + stage.first + " " + fixed(stage.second, 1) + ",";
  }
  report.back() = '\n';
  return report;
}

}  // namespace geo
}  // namespace tarnutil
