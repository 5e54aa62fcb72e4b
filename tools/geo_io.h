// GeoJSON and WKT in and out of a small feature model: a feature is one
// geometry of double coordinates and its properties; a collection keeps the
// features in order and says how the document was laid out, so that a
// command writes back the shape it read.
#ifndef TARNUTIL_TOOLS_GEO_IO_H
#define TARNUTIL_TOOLS_GEO_IO_H

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tarnutil {
namespace geo {

enum class GeometryKind { Point, LineString, MultiLineString, Polygon, MultiPolygon };

struct Position {
  double x;
  double y;
};
inline bool operator==(const Position& a, const Position& b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(const Position& a, const Position& b) { return !(a == b); }

using Path = std::vector<Position>;

// One shape for every kind: a list of parts, each a list of paths.
//   Point            one part holding one path of one position
//   LineString       one part holding the line
//   MultiLineString  one part per line, each holding that line
//   Polygon          one part: the outer ring, then the holes
//   MultiPolygon     one part per polygon, rings as for Polygon
// Rings are stored closed (last position equal to the first), as written.
struct Geometry {
  GeometryKind kind = GeometryKind::Point;
  std::vector<std::vector<Path>> parts;
};

struct Feature {
  // False for a feature whose geometry is null; such a feature passes
  // through every command unchanged.
  bool hasGeometry = false;
  Geometry geometry;
  // An object, or null when the document had none.
  nlohmann::json properties;
  // The feature's "id" member, null when absent.
  nlohmann::json id;
};

// How the document was laid out, so that output takes the same form.
enum class Layout { FeatureCollection, Feature, Geometry };

struct FeatureCollection {
  Layout layout = Layout::FeatureCollection;
  std::vector<Feature> features;
  // The "crs" member of the top level, null when absent.
  nlohmann::json crs;
};

enum class Format { GeoJson, Wkt };

// Reads a whole document. On failure returns false, leaves out untouched
// and writes to error where the fault is: "byte N" for text that is not
// JSON, a path such as "features[2].geometry.coordinates[0][5]" for JSON
// that is not GeoJSON, "line N, column C" for WKT.
//
// GeoJSON: a FeatureCollection, a Feature or a bare geometry of the five
// kinds; positions of two or three numbers (a third, the height, is
// dropped); line strings of two positions or more; rings of four or more,
// closed. Nesting deeper than maxNesting brackets is refused before parsing.
//
// WKT: one geometry per line (POINT, LINESTRING, MULTILINESTRING, POLYGON,
// MULTIPOLYGON, keywords in any case, Z and M coordinates refused); blank
// lines and lines starting with '#' are skipped. Each line becomes a feature
// without properties.
bool ReadGeoJson(const std::string& text, FeatureCollection& out, std::string& error);
bool ReadWkt(const std::string& text, FeatureCollection& out, std::string& error);
bool ReadDocument(Format format, const std::string& text, FeatureCollection& out,
                  std::string& error);

constexpr int maxNesting = 64;

// GeoJSON with one feature per line inside the collection; whole numbers
// below 2^53 are written without a fraction, every other number in the
// shortest form that reads back to the same double.
std::string WriteGeoJson(const FeatureCollection& collection);
// One geometry per line; features without geometry are written as
// "GEOMETRYCOLLECTION EMPTY" so that line N stays feature N.
std::string WriteWkt(const FeatureCollection& collection);
std::string WriteDocument(Format format, const FeatureCollection& collection);

// Shortest decimal text that reads back to the same double.
std::string FormatNumber(double value);

const char* KindName(GeometryKind kind);

// Whether a "crs" member leaves the coordinates longitude and latitude:
// absent, or naming OGC CRS84 or EPSG 4326 (as GDAL writes for them).
bool IsLonLat(const nlohmann::json& crs);

// Number of positions in all features.
std::size_t CountPositions(const FeatureCollection& collection);

}  // namespace geo
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_GEO_IO_H
