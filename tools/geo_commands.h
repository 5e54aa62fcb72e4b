// The tool's commands over feature collections: projection, thinning,
// clipping and chaining of GeoJSON or WKT geometry. Each takes its options
// and a collection and gives the output collection or an error; reading
// arguments and files is the caller's.
#ifndef TARNUTIL_TOOLS_GEO_COMMANDS_H
#define TARNUTIL_TOOLS_GEO_COMMANDS_H

#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/geo_io.h"

namespace tarnutil {
namespace geo {

// The projection's definition, written as the "crs" member of projected
// GeoJSON (a named CRS whose name is a PROJ string, which GDAL reads).
extern const char lambertProjString[];

struct GeoResult {
  bool ok = false;
  // Why the command refused the input (nothing is to be written).
  std::string error;
  // Notes for standard error, such as how many coordinates were rounded.
  std::vector<std::string> warnings;
  FeatureCollection output;
};

// Coordinates become 32-bit integers by rounding to the nearest, halves
// away from zero; values that are not integers are counted for a warning,
// and a value beyond the 32-bit range is an error naming the feature.
struct Rounding {
  std::size_t rounded = 0;
  bool Apply(const Path& path, double scale, std::vector<tagPOINT>& out, std::string& error,
             std::size_t feature);
  // The warning for command, or empty when nothing was rounded.
  std::string Warning(const char* command) const;
};

// lcc: longitude and latitude in degrees to metres, or back with inverse.
// Forward refuses a collection that already names a "crs".
struct LccOptions {
  bool inverse = false;
};
GeoResult RunLccOn(const FeatureCollection& in, const LccOptions& options);

// simplify: every line and ring thinned in integers. A ring that keeps
// fewer than four positions is left out, and a polygon whose outer ring
// goes is left out with its holes; a feature left with no geometry keeps
// a null geometry.
struct SimplifyOptions {
  bool manhattan = false;
  float tolerance = 0.0f;
  std::int32_t manhattanDistance = 0;
};
GeoResult RunSimplifyOn(const FeatureCollection& in, const SimplifyOptions& options);

// clip: lines by RectClipLine, each visible piece a line of a
// MultiLineString; polygon rings by clipGraph, one ring out per ring in,
// where a rectangle that cuts a figure into parts joins them by zero-width
// bridges along its edges. valid splits those rings into separate valid
// polygons (a MultiPolygon) with the holes placed in the part holding them.
struct ClipOptions {
  std::int32_t xmin = 0;
  std::int32_t ymin = 0;
  std::int32_t xmax = 0;
  std::int32_t ymax = 0;
  bool valid = false;
};
GeoResult RunClipOn(const FeatureCollection& in, const ClipOptions& options);

// chain: every line string is a link whose ends are its first and last
// positions, scaled and rounded as by Rounding; links meet where the
// rounded ends are equal. With groupBy, only links whose property of that
// name is equal are chained together. Output: one LineString feature per
// chained line, with properties {groupBy: value, "links": ["+0", "-3"]}
// (input line strings numbered from 0, - for one walked backwards).
struct ChainOptions {
  std::string groupBy;
  double scale = 1.0;
};
GeoResult RunChainOn(const FeatureCollection& in, const ChainOptions& options);

// Thins an integer polyline in place with the farthest-point split. That
// split keeps nothing between two equal ends of a range, so a line that
// returns to a point it passed (a closed ring, a loop) is thinned in runs
// that visit no point twice, each starting where the last one ended.
void ThinInRuns(std::vector<tagPOINT>& line, float tolerance);
// The same after dropping consecutive repeated points.
void ThinLine(std::vector<tagPOINT>& line, float tolerance);

// Splits the output of clipGraph for one outer ring and its clipped holes
// into valid polygons: rings (closed) whose edges along the rectangle's
// sides are re-joined. Each output polygon is its outer ring then holes.
std::vector<std::vector<std::vector<tagPOINT>>> SplitClipped(
    const std::vector<std::vector<tagPOINT>>& rings, const tagRECT& rect);

}  // namespace geo
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_GEO_COMMANDS_H
