// GeoJSON through nlohmann-json, WKT by a small hand-written scanner.
#include "tools/geo_io.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace tarnutil {
namespace geo {

namespace {

using nlohmann::json;

// A fault found while walking a parsed document; the path names the place.
struct Fault {
  std::string where;
  std::string what;
};

// Deep nesting would only make the parser and the destructor work hard on
// what no geometry needs; counted outside strings, before parsing.
bool NestingWithin(const std::string& text, std::size_t& badByte) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > maxNesting) {
        badByte = i + 1;
        return false;
      }
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

bool ReadPosition(const json& value, const std::string& where, Position& out, Fault& fault) {
  if (!value.is_array() || value.size() < 2 || value.size() > 3) {
    fault = {where, "a position is an array of 2 or 3 numbers"};
    return false;
  }
  double xy[2] = {0.0, 0.0};
  for (std::size_t i = 0; i < 2; ++i) {
    if (!value[i].is_number()) {
      fault = {where + "[" + std::to_string(i) + "]", "expected a number"};
      return false;
    }
    xy[i] = value[i].get<double>();
    if (!std::isfinite(xy[i])) {
      fault = {where + "[" + std::to_string(i) + "]", "number out of range"};
      return false;
    }
  }
  if (value.size() == 3 && !value[2].is_number()) {
    fault = {where + "[2]", "expected a number"};
    return false;
  }
  out = Position{xy[0], xy[1]};
  return true;
}

// minimum: positions a path needs; closed: a ring, first equal to last.
bool ReadPath(const json& value, const std::string& where, std::size_t minimum, bool closed,
              Path& out, Fault& fault) {
  if (!value.is_array()) {
    fault = {where, "expected an array of positions"};
    return false;
  }
  if (value.size() < minimum) {
    fault = {where, std::string(closed ? "a ring" : "a line string") + " needs " +
                        std::to_string(minimum) + " positions or more, got " +
                        std::to_string(value.size())};
    return false;
  }
  out.clear();
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    Position p{0.0, 0.0};
    if (!ReadPosition(value[i], where + "[" + std::to_string(i) + "]", p, fault)) {
      return false;
    }
    out.push_back(p);
  }
  if (closed && out.front() != out.back()) {
    fault = {where, "ring not closed: the last position differs from the first"};
    return false;
  }
  return true;
}

bool ReadRings(const json& value, const std::string& where, std::vector<Path>& out,
               Fault& fault) {
  if (!value.is_array() || value.empty()) {
    fault = {where, "a polygon is a non-empty array of rings"};
    return false;
  }
  out.resize(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (!ReadPath(value[i], where + "[" + std::to_string(i) + "]", 4, true, out[i], fault)) {
      return false;
    }
  }
  return true;
}

bool ReadGeometry(const json& value, const std::string& where, Geometry& out, Fault& fault) {
  if (!value.is_object()) {
    fault = {where, "a geometry is an object"};
    return false;
  }
  const auto type = value.find("type");
  if (type == value.end() || !type->is_string()) {
    fault = {where, "the geometry has no \"type\" string"};
    return false;
  }
  const std::string name = type->get<std::string>();
  const auto coordinates = value.find("coordinates");
  if (coordinates == value.end()) {
    fault = {where, "the " + name + " has no \"coordinates\""};
    return false;
  }
  const std::string at = where + ".coordinates";
  const json& c = *coordinates;
  out.parts.clear();
  if (name == "Point") {
    out.kind = GeometryKind::Point;
    Position p{0.0, 0.0};
    if (!ReadPosition(c, at, p, fault)) {
      return false;
    }
    out.parts.push_back({Path{p}});
    return true;
  }
  if (name == "LineString") {
    out.kind = GeometryKind::LineString;
    out.parts.resize(1, std::vector<Path>(1));
    return ReadPath(c, at, 2, false, out.parts[0][0], fault);
  }
  if (name == "Polygon") {
    out.kind = GeometryKind::Polygon;
    out.parts.resize(1);
    return ReadRings(c, at, out.parts[0], fault);
  }
  if (name == "MultiLineString" || name == "MultiPolygon") {
    const bool lines = name == "MultiLineString";
    out.kind = lines ? GeometryKind::MultiLineString : GeometryKind::MultiPolygon;
    if (!c.is_array()) {
      fault = {at, "expected an array"};
      return false;
    }
    out.parts.resize(c.size());
    for (std::size_t i = 0; i < c.size(); ++i) {
      const std::string partAt = at + "[" + std::to_string(i) + "]";
      if (lines) {
        out.parts[i].resize(1);
        if (!ReadPath(c[i], partAt, 2, false, out.parts[i][0], fault)) {
          return false;
        }
      } else if (!ReadRings(c[i], partAt, out.parts[i], fault)) {
        return false;
      }
    }
    return true;
  }
  fault = {where + ".type", "unsupported geometry type \"" + name + "\""};
  return false;
}

bool ReadFeature(const json& value, const std::string& where, Feature& out, Fault& fault) {
  if (!value.is_object()) {
    fault = {where, "a feature is an object"};
    return false;
  }
  const auto type = value.find("type");
  if (type == value.end() || !type->is_string() || type->get<std::string>() != "Feature") {
    fault = {where, "expected \"type\": \"Feature\""};
    return false;
  }
  const auto geometry = value.find("geometry");
  if (geometry == value.end()) {
    fault = {where, "the feature has no \"geometry\" member"};
    return false;
  }
  out.hasGeometry = !geometry->is_null();
  if (out.hasGeometry && !ReadGeometry(*geometry, where + ".geometry", out.geometry, fault)) {
    return false;
  }
  const auto properties = value.find("properties");
  out.properties = properties == value.end() ? json() : *properties;
  if (!out.properties.is_null() && !out.properties.is_object()) {
    fault = {where + ".properties", "properties are an object or null"};
    return false;
  }
  const auto id = value.find("id");
  out.id = id == value.end() ? json() : *id;
  if (!out.id.is_null() && !out.id.is_string() && !out.id.is_number()) {
    fault = {where + ".id", "an id is a string or a number"};
    return false;
  }
  return true;
}

bool ReadTop(const json& doc, FeatureCollection& out, Fault& fault) {
  if (!doc.is_object()) {
    fault = {"top level", "a GeoJSON document is an object"};
    return false;
  }
  const auto type = doc.find("type");
  if (type == doc.end() || !type->is_string()) {
    fault = {"top level", "no \"type\" string"};
    return false;
  }
  const auto crs = doc.find("crs");
  out.crs = crs == doc.end() ? json() : *crs;
  const std::string name = type->get<std::string>();
  if (name == "FeatureCollection") {
    out.layout = Layout::FeatureCollection;
    const auto features = doc.find("features");
    if (features == doc.end() || !features->is_array()) {
      fault = {"top level", "a FeatureCollection needs a \"features\" array"};
      return false;
    }
    out.features.resize(features->size());
    for (std::size_t i = 0; i < features->size(); ++i) {
      if (!ReadFeature((*features)[i], "features[" + std::to_string(i) + "]", out.features[i],
                       fault)) {
        return false;
      }
    }
    return true;
  }
  out.features.resize(1);
  if (name == "Feature") {
    out.layout = Layout::Feature;
    return ReadFeature(doc, "feature", out.features[0], fault);
  }
  out.layout = Layout::Geometry;
  out.features[0].hasGeometry = true;
  return ReadGeometry(doc, "geometry", out.features[0].geometry, fault);
}

// ---- WKT

class WktScanner {
 public:
  WktScanner(const std::string& line, long lineNumber) : s_(line), line_(lineNumber) {}

  void SkipSpace() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r')) {
      ++pos_;
    }
  }
  std::string Word() {
    SkipSpace();
    std::string w;
    while (pos_ < s_.size() && std::isalpha(static_cast<unsigned char>(s_[pos_]))) {
      w += static_cast<char>(std::toupper(static_cast<unsigned char>(s_[pos_])));
      ++pos_;
    }
    return w;
  }
  bool Peek(char c) {
    SkipSpace();
    return pos_ < s_.size() && s_[pos_] == c;
  }
  bool Expect(char c, std::string& error) {
    if (Peek(c)) {
      ++pos_;
      return true;
    }
    return Fail(std::string("expected '") + c + "'", error);
  }
  bool Number(double& value, std::string& error) {
    SkipSpace();
    const std::size_t start = pos_;
    while (pos_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[pos_])) ||
                                s_[pos_] == '-' || s_[pos_] == '+' || s_[pos_] == '.' ||
                                s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
    }
    const std::string text = s_.substr(start, pos_ - start);
    char* end = nullptr;
    value = text.empty() ? 0.0 : std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size()) {
      pos_ = start;
      return Fail("expected a number", error);
    }
    if (!std::isfinite(value)) {
      pos_ = start;
      return Fail("number out of range", error);
    }
    return true;
  }
  bool AtEnd() {
    SkipSpace();
    return pos_ >= s_.size();
  }
  bool Fail(const std::string& what, std::string& error) const {
    error = "line " + std::to_string(line_) + ", column " + std::to_string(pos_ + 1) + ": " + what;
    return false;
  }

 private:
  const std::string& s_;
  long line_;
  std::size_t pos_ = 0;
};

bool WktPosition(WktScanner& in, Position& p, std::string& error) {
  if (!in.Number(p.x, error) || !in.Number(p.y, error)) {
    return false;
  }
  if (!in.Peek(',') && !in.Peek(')')) {
    return in.Fail("expected ',' or ')' after a position (Z and M are not read)", error);
  }
  return true;
}

bool WktPath(WktScanner& in, std::size_t minimum, bool closed, Path& out, std::string& error) {
  if (!in.Expect('(', error)) {
    return false;
  }
  out.clear();
  do {
    Position p{0.0, 0.0};
    if (!WktPosition(in, p, error)) {
      return false;
    }
    out.push_back(p);
  } while (in.Peek(',') && in.Expect(',', error));
  if (!in.Expect(')', error)) {
    return false;
  }
  if (out.size() < minimum) {
    return in.Fail(std::string(closed ? "a ring" : "a line string") + " needs " +
                       std::to_string(minimum) + " positions or more",
                   error);
  }
  if (closed && out.front() != out.back()) {
    return in.Fail("ring not closed", error);
  }
  return true;
}

// A parenthesised list of items, each read by item.
template <typename Item>
bool WktList(WktScanner& in, std::string& error, Item item) {
  if (!in.Expect('(', error)) {
    return false;
  }
  do {
    if (!item()) {
      return false;
    }
  } while (in.Peek(',') && in.Expect(',', error));
  return in.Expect(')', error);
}

bool WktRings(WktScanner& in, std::vector<Path>& rings, std::string& error) {
  rings.clear();
  return WktList(in, error, [&] {
    rings.emplace_back();
    return WktPath(in, 4, true, rings.back(), error);
  });
}

bool WktLine(const std::string& line, long number, Feature& out, std::string& error) {
  WktScanner in(line, number);
  const std::string word = in.Word();
  Geometry& g = out.geometry;
  g.parts.clear();
  out.hasGeometry = true;
  bool ok = false;
  if (word == "POINT") {
    g.kind = GeometryKind::Point;
    Position p{0.0, 0.0};
    ok = in.Expect('(', error) && WktPosition(in, p, error) && in.Expect(')', error);
    g.parts.push_back({Path{p}});
  } else if (word == "LINESTRING") {
    g.kind = GeometryKind::LineString;
    g.parts.resize(1, std::vector<Path>(1));
    ok = WktPath(in, 2, false, g.parts[0][0], error);
  } else if (word == "POLYGON") {
    g.kind = GeometryKind::Polygon;
    g.parts.resize(1);
    ok = WktRings(in, g.parts[0], error);
  } else if ((word == "MULTILINESTRING" || word == "MULTIPOLYGON") && (in.Peek('E') || in.Peek('e'))) {
    // A multi-geometry of no parts, as GeoJSON's empty coordinate array.
    g.kind = word == "MULTIPOLYGON" ? GeometryKind::MultiPolygon : GeometryKind::MultiLineString;
    ok = in.Word() == "EMPTY" || in.Fail("expected EMPTY or '('", error);
  } else if (word == "MULTILINESTRING") {
    g.kind = GeometryKind::MultiLineString;
    ok = WktList(in, error, [&] {
      g.parts.emplace_back(1);
      return WktPath(in, 2, false, g.parts.back()[0], error);
    });
  } else if (word == "MULTIPOLYGON") {
    g.kind = GeometryKind::MultiPolygon;
    ok = WktList(in, error, [&] {
      g.parts.emplace_back();
      return WktRings(in, g.parts.back(), error);
    });
  } else if (word == "GEOMETRYCOLLECTION") {
    out.hasGeometry = false;
    ok = in.Word() == "EMPTY" || in.Fail("only GEOMETRYCOLLECTION EMPTY is read", error);
  } else {
    return in.Fail(word.empty() ? "expected a geometry keyword"
                                : "unsupported geometry type " + word,
                   error);
  }
  if (ok && !in.AtEnd()) {
    return in.Fail("text after the geometry", error);
  }
  return ok;
}

// ---- writing

json NumberValue(double v) {
  constexpr double exactWhole = 9007199254740992.0;  // 2^53
  if (v == std::floor(v) && std::fabs(v) < exactWhole) {
    return json(static_cast<long long>(v));
  }
  return json(v);
}

json PositionValue(const Position& p) { return json::array({NumberValue(p.x), NumberValue(p.y)}); }

json PathValue(const Path& path) {
  json a = json::array();
  for (const Position& p : path) {
    a.push_back(PositionValue(p));
  }
  return a;
}

json RingsValue(const std::vector<Path>& rings) {
  json a = json::array();
  for (const Path& r : rings) {
    a.push_back(PathValue(r));
  }
  return a;
}

// Written by hand so that "type" comes first, as people read GeoJSON.
std::string GeometryText(const Geometry& g) {
  json coordinates;
  switch (g.kind) {
    case GeometryKind::Point:
      coordinates = PositionValue(g.parts.at(0).at(0).at(0));
      break;
    case GeometryKind::LineString:
      coordinates = PathValue(g.parts.at(0).at(0));
      break;
    case GeometryKind::Polygon:
      coordinates = RingsValue(g.parts.at(0));
      break;
    case GeometryKind::MultiLineString:
      coordinates = json::array();
      for (const std::vector<Path>& part : g.parts) {
        coordinates.push_back(PathValue(part.at(0)));
      }
      break;
    case GeometryKind::MultiPolygon:
      coordinates = json::array();
      for (const std::vector<Path>& part : g.parts) {
        coordinates.push_back(RingsValue(part));
      }
      break;
  }
  return std::string("{\"type\":\"") + KindName(g.kind) + "\",\"coordinates\":" +
         coordinates.dump() + "}";
}

std::string FeatureText(const Feature& f) {
  std::string out = "{\"type\":\"Feature\",";
  if (!f.id.is_null()) {
    out += "\"id\":" + f.id.dump() + ",";
  }
  out += "\"properties\":" + f.properties.dump() + ",\"geometry\":";
  out += f.hasGeometry ? GeometryText(f.geometry) : std::string("null");
  return out + "}";
}

void WktPathText(const Path& path, std::string& out) {
  out += '(';
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (i != 0) {
      out += ", ";
    }
    out += FormatNumber(path[i].x) + " " + FormatNumber(path[i].y);
  }
  out += ')';
}

void WktRingsText(const std::vector<Path>& rings, std::string& out) {
  out += '(';
  for (std::size_t i = 0; i < rings.size(); ++i) {
    if (i != 0) {
      out += ", ";
    }
    WktPathText(rings[i], out);
  }
  out += ')';
}

}  // namespace

const char* KindName(GeometryKind kind) {
  switch (kind) {
    case GeometryKind::Point:
      return "Point";
    case GeometryKind::LineString:
      return "LineString";
    case GeometryKind::MultiLineString:
      return "MultiLineString";
    case GeometryKind::Polygon:
      return "Polygon";
    case GeometryKind::MultiPolygon:
      return "MultiPolygon";
  }
  return "Point";
}

std::string FormatNumber(double value) {
  char text[40];
  // Whole numbers of up to 15 digits in full, as a person writes them.
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
  }
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) {
      break;
    }
  }
  return text;
}

bool ReadGeoJson(const std::string& text, FeatureCollection& out, std::string& error) {
  std::size_t badByte = 0;
  if (!NestingWithin(text, badByte)) {
    error = "byte " + std::to_string(badByte) + ": nesting deeper than " +
            std::to_string(maxNesting) + " brackets";
    return false;
  }
  json doc;
  try {
    doc = json::parse(text);
  } catch (const json::parse_error& e) {
    error = "byte " + std::to_string(e.byte) + ": not JSON";
    return false;
  } catch (const json::exception&) {
    // The parser's other refusal: a number beyond the range of a double.
    error = "top level: a number too large for a double";
    return false;
  }
  FeatureCollection read;
  Fault fault;
  if (!ReadTop(doc, read, fault)) {
    error = fault.where + ": " + fault.what;
    return false;
  }
  out = std::move(read);
  return true;
}

bool ReadWkt(const std::string& text, FeatureCollection& out, std::string& error) {
  FeatureCollection read;
  read.layout = Layout::FeatureCollection;
  std::size_t start = 0;
  long number = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') {
      continue;
    }
    Feature f;
    if (!WktLine(line, number, f, error)) {
      return false;
    }
    read.features.push_back(std::move(f));
  }
  out = std::move(read);
  return true;
}

bool ReadDocument(Format format, const std::string& text, FeatureCollection& out,
                  std::string& error) {
  return format == Format::GeoJson ? ReadGeoJson(text, out, error) : ReadWkt(text, out, error);
}

std::string WriteGeoJson(const FeatureCollection& collection) {
  // A "crs" needs the collection around it.
  const bool single = collection.crs.is_null() && collection.features.size() == 1;
  if (single && collection.layout == Layout::Geometry &&
      collection.features[0].hasGeometry) {
    return GeometryText(collection.features[0].geometry) + "\n";
  }
  if (single && collection.layout != Layout::FeatureCollection) {
    return FeatureText(collection.features[0]) + "\n";
  }
  std::string out = "{\"type\":\"FeatureCollection\",";
  if (!collection.crs.is_null()) {
    out += "\"crs\":" + collection.crs.dump() + ",";
  }
  out += "\"features\":[";
  for (std::size_t i = 0; i < collection.features.size(); ++i) {
    out += i == 0 ? "\n" : ",\n";
    out += FeatureText(collection.features[i]);
  }
  out += "\n]}\n";
  return out;
}

std::string WriteWkt(const FeatureCollection& collection) {
  std::string out;
  for (const Feature& f : collection.features) {
    if (!f.hasGeometry) {
      out += "GEOMETRYCOLLECTION EMPTY\n";
      continue;
    }
    const Geometry& g = f.geometry;
    switch (g.kind) {
      case GeometryKind::Point:
        out += "POINT ";
        WktPathText(g.parts.at(0).at(0), out);
        break;
      case GeometryKind::LineString:
        out += "LINESTRING ";
        WktPathText(g.parts.at(0).at(0), out);
        break;
      case GeometryKind::Polygon:
        out += "POLYGON ";
        WktRingsText(g.parts.at(0), out);
        break;
      case GeometryKind::MultiLineString:
        if (g.parts.empty()) {
          out += "MULTILINESTRING EMPTY";
          break;
        }
        out += "MULTILINESTRING (";
        for (std::size_t i = 0; i < g.parts.size(); ++i) {
          out += i == 0 ? "" : ", ";
          WktPathText(g.parts[i].at(0), out);
        }
        out += ')';
        break;
      case GeometryKind::MultiPolygon:
        if (g.parts.empty()) {
          out += "MULTIPOLYGON EMPTY";
          break;
        }
        out += "MULTIPOLYGON (";
        for (std::size_t i = 0; i < g.parts.size(); ++i) {
          out += i == 0 ? "" : ", ";
          WktRingsText(g.parts[i], out);
        }
        out += ')';
        break;
    }
    out += '\n';
  }
  return out;
}

std::string WriteDocument(Format format, const FeatureCollection& collection) {
  return format == Format::GeoJson ? WriteGeoJson(collection) : WriteWkt(collection);
}

bool IsLonLat(const nlohmann::json& crs) {
  if (crs.is_null()) {
    return true;
  }
  const nlohmann::json* name = nullptr;
  if (crs.is_object()) {
    const auto properties = crs.find("properties");
    if (properties != crs.end() && properties->is_object()) {
      const auto n = properties->find("name");
      if (n != properties->end() && n->is_string()) {
        name = &*n;
      }
    }
  }
  if (name == nullptr) {
    return false;
  }
  const std::string text = name->get<std::string>();
  return text.find("CRS84") != std::string::npos || text.find("EPSG::4326") != std::string::npos ||
         text.find("EPSG:4326") != std::string::npos;
}

std::size_t CountPositions(const FeatureCollection& collection) {
  std::size_t n = 0;
  for (const Feature& f : collection.features) {
    for (const std::vector<Path>& part : f.geometry.parts) {
      for (const Path& path : part) {
        n += path.size();
      }
    }
  }
  return n;
}

}  // namespace geo
}  // namespace tarnutil
