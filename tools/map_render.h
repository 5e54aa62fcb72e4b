// A map drawn from feature collections with the library's own steps:
// projection of longitude/latitude input, chaining of roads by their end
// coordinates, thinning, clipping to the view (clipGraph for areas,
// RectClipLine for lines), and drawing into a 24-bit CDIB.
#ifndef TARNUTIL_TOOLS_MAP_RENDER_H
#define TARNUTIL_TOOLS_MAP_RENDER_H

#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/geo_io.h"

namespace tarnutil {
namespace geo {

enum class LayerKind { Areas, Lines, Roads };

struct MapLayer {
  LayerKind kind = LayerKind::Areas;
  std::string name;
  FeatureCollection data;
  // 0xRRGGBB; for roads the colour of the first class, the others from a
  // fixed palette.
  std::uint32_t colour = 0;
  int width = 1;
  // Roads: the property whose values are the classes (chained apart and
  // coloured apart); classes are drawn in ascending order of value, the
  // lowest on top.
  std::string classField = "CLASS";
};

struct MapView {
  // In metres of the projection (or the input's own units for input with
  // a "crs"); all zero: the extent of the data, widened to the picture's
  // proportions.
  std::int32_t xmin = 0;
  std::int32_t ymin = 0;
  std::int32_t xmax = 0;
  std::int32_t ymax = 0;
  bool IsSet() const { return xmin != xmax && ymin != ymax; }
};

struct LayerStats {
  std::size_t features = 0;
  std::size_t paths = 0;       // rings, lines or road links read
  std::size_t chained = 0;     // roads: lines after chaining
  std::size_t pointsIn = 0;    // before thinning
  std::size_t pointsKept = 0;  // after thinning
  std::size_t pieces = 0;      // visible pieces or clipped rings drawn
  std::size_t pointsDrawn = 0;
};

struct MapStats {
  MapView view;
  double metresPerPixel = 0.0;
  std::vector<LayerStats> layers;
  std::vector<std::pair<const char*, double>> millis;
};

// Draws the layers, in order, into dib (24 bits). The view is the given
// one or the data's extent. False with error when a coordinate lies
// outside the integer range after projection.
bool RenderMap(std::vector<MapLayer>& layers, const MapView& view, std::uint32_t background,
               CDIB& dib, MapStats& stats, std::string& error);

// The report printed by the map command.
std::string MapReport(const std::vector<MapLayer>& layers, const MapStats& stats,
                      const std::string& picture, int width, int height, bool readBack);

}  // namespace geo
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_MAP_RENDER_H
