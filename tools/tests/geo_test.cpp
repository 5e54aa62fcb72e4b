// GeoJSON and WKT reading and writing, the commands over collections, and
// the map drawn from the committed real-data extract (data/extract/).
#include <tarnutil/tarnutil.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/bmp_writer.h"
#include "tools/geo_commands.h"
#include "tools/geo_io.h"
#include "tools/map_render.h"

namespace {

using namespace tarnutil::geo;

FeatureCollection Read(Format format, const std::string& text) {
  FeatureCollection c;
  std::string error;
  EXPECT_TRUE(ReadDocument(format, text, c, error)) << error << "\n" << text;
  return c;
}

void ExpectSame(const FeatureCollection& a, const FeatureCollection& b) {
  ASSERT_EQ(a.features.size(), b.features.size());
  EXPECT_EQ(a.crs, b.crs);
  for (std::size_t i = 0; i < a.features.size(); ++i) {
    const Feature& fa = a.features[i];
    const Feature& fb = b.features[i];
    EXPECT_EQ(fa.hasGeometry, fb.hasGeometry) << i;
    EXPECT_EQ(fa.geometry.kind, fb.geometry.kind) << i;
    EXPECT_TRUE(fa.geometry.parts == fb.geometry.parts) << i;
    EXPECT_EQ(fa.properties, fb.properties) << i;
    EXPECT_EQ(fa.id, fb.id) << i;
  }
}

TEST(GeoIo, DocumentsRoundTripThroughTheWriter) {
  struct Case {
    Format format;
    const char* text;
    std::size_t features;
    std::size_t positions;
  };
  const Case cases[] = {
      {Format::GeoJson, R"({"type":"Point","coordinates":[104.5,30.25,1200]})", 1, 1},
      {Format::GeoJson,
       R"({"type":"Feature","id":7,"properties":{"name":"Hokkaidō","n":[1,2.5,null]},
           "geometry":{"type":"LineString","coordinates":[[0.1,0.2],[1e-7,-3e20]]}})",
       1, 2},
      {Format::GeoJson,
       R"({"type":"FeatureCollection","crs":{"type":"name","properties":{"name":"x"}},"features":[
           {"type":"Feature","properties":null,"geometry":null},
           {"type":"Feature","properties":{},"geometry":{"type":"Polygon","coordinates":
             [[[0,0],[10,0],[10,10],[0,0]],[[1,1],[2,1],[2,2],[1,1]]]}},
           {"type":"Feature","properties":{"a":"b"},"geometry":{"type":"MultiPolygon","coordinates":
             [[[[0,0],[1,0],[1,1],[0,0]]],[[[5,5],[6,5],[6,6],[5,5]]]]}},
           {"type":"Feature","properties":{},"geometry":{"type":"MultiLineString","coordinates":
             [[[0,0],[1,1]],[[2,2],[3,3],[4,2]]]}},
           {"type":"Feature","properties":{},"geometry":{"type":"MultiLineString","coordinates":[]}}]})",
       5, 21},
      {Format::Wkt,
       "# comment\nPOINT (1 2)\nlinestring(0.5 0, -1e-3 2.25)\n\n"
       "POLYGON ((0 0, 4 0, 4 4, 0 0), (1 1, 2 1, 2 2, 1 1))\n"
       "MULTILINESTRING ((0 0, 1 1), (2 2, 3 3))\n"
       "MULTIPOLYGON (((0 0, 1 0, 1 1, 0 0)), ((5 5, 6 5, 6 6, 5 5)))\n"
       "GEOMETRYCOLLECTION EMPTY\nMULTIPOLYGON EMPTY\n",
       7, 23},
  };
  for (const Case& c : cases) {
    const FeatureCollection first = Read(c.format, c.text);
    EXPECT_EQ(first.features.size(), c.features) << c.text;
    EXPECT_EQ(CountPositions(first), c.positions) << c.text;
    const std::string written = WriteDocument(c.format, first);
    const FeatureCollection second = Read(c.format, written);
    ExpectSame(first, second);
    // A second pass writes the same text.
    EXPECT_EQ(WriteDocument(c.format, second), written);
  }
}

TEST(GeoIo, MalformedDocumentsNameThePlace) {
  struct Case {
    Format format;
    const char* text;
    const char* error;
  };
  const std::string deep(maxNesting + 1, '[');
  const Case cases[] = {
      {Format::GeoJson, "{\"type\": \"Point\", ", "byte 19: not JSON"},
      {Format::GeoJson, deep.c_str(), "byte 65: nesting deeper than 64 brackets"},
      {Format::GeoJson, "[1, 2]", "top level: a GeoJSON document is an object"},
      {Format::GeoJson, R"({"coordinates":[1,2]})", "top level: no \"type\" string"},
      {Format::GeoJson, R"({"type":"FeatureCollection"})",
       "top level: a FeatureCollection needs a \"features\" array"},
      {Format::GeoJson, R"({"type":"FeatureCollection","features":[{"type":"Feature"}]})",
       "features[0]: the feature has no \"geometry\" member"},
      {Format::GeoJson, R"({"type":"Feature","geometry":null,"properties":[1]})",
       "feature.properties: properties are an object or null"},
      {Format::GeoJson, R"({"type":"Feature","geometry":null,"id":{}})",
       "feature.id: an id is a string or a number"},
      {Format::GeoJson, R"({"type":"Circle","coordinates":[1,2]})",
       "geometry.type: unsupported geometry type \"Circle\""},
      {Format::GeoJson, R"({"type":"Point"})", "geometry: the Point has no \"coordinates\""},
      {Format::GeoJson, R"({"type":"Point","coordinates":[1]})",
       "geometry.coordinates: a position is an array of 2 or 3 numbers"},
      {Format::GeoJson, R"({"type":"LineString","coordinates":[[0,0],[1,"2"]]})",
       "geometry.coordinates[1][1]: expected a number"},
      {Format::GeoJson, R"({"type":"LineString","coordinates":[[0,0]]})",
       "geometry.coordinates: a line string needs 2 positions or more, got 1"},
      {Format::GeoJson, R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1],[0,1]]]})",
       "geometry.coordinates[0]: ring not closed: the last position differs from the first"},
      {Format::GeoJson, R"({"type":"MultiPolygon","coordinates":[[[[0,0],[1,0],[0,0]]]]})",
       "geometry.coordinates[0][0]: a ring needs 4 positions or more, got 3"},
      {Format::GeoJson, R"({"type":"Point","coordinates":[1e400,0]})",
       "top level: a number too large for a double"},
      {Format::Wkt, "POINT (1 2)\nPOINT (1 2 3)\n",
       "line 2, column 12: expected ',' or ')' after a position (Z and M are not read)"},
      {Format::Wkt, "CIRCLE (1 2)", "line 1, column 7: unsupported geometry type CIRCLE"},
      {Format::Wkt, "LINESTRING (0 0, 1 x)", "line 1, column 20: expected a number"},
      {Format::Wkt, "POLYGON ((0 0, 1 0, 1 1, 0 1))", "line 1, column 30: ring not closed"},
      {Format::Wkt, "LINESTRING (0 0, 1 1",
       "line 1, column 21: expected ',' or ')' after a position (Z and M are not read)"},
      {Format::Wkt, "POINT (1 2) x", "line 1, column 13: text after the geometry"},
  };
  for (const Case& c : cases) {
    FeatureCollection out;
    out.features.resize(3);
    std::string error;
    EXPECT_FALSE(ReadDocument(c.format, c.text, out, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
    EXPECT_EQ(out.features.size(), 3u) << "a refused document changes nothing";
  }
}

// Twice the area of a closed ring of whole numbers.
double TwiceArea(const Path& ring) {
  double sum = 0.0;
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
    sum += ring[i].x * ring[i + 1].y - ring[i + 1].x * ring[i].y;
  }
  return sum;
}

TEST(GeoCommands, ClipKeepsOneRingPerRingOrSplitsIntoValidPolygons) {
  // A comb whose gap the rectangle cuts across: two parts inside, one hole
  // in the upper part; the second hole lies outside the rectangle.
  const FeatureCollection in = Read(
      Format::Wkt,
      "POLYGON ((-50 -50, 150 -50, 150 10, -20 10, -20 20, 150 20, 150 150, -50 150, -50 -50),"
      " (30 30, 30 40, 40 40, 30 30), (200 0, 210 0, 210 10, 200 0))\n");
  ClipOptions options;
  options.xmax = 100;
  options.ymax = 100;
  GeoResult joined = RunClipOn(in, options);
  ASSERT_TRUE(joined.ok) << joined.error;
  const Geometry& g = joined.output.features[0].geometry;
  ASSERT_EQ(g.kind, GeometryKind::Polygon);
  ASSERT_EQ(g.parts[0].size(), 2u);  // the hole outside is gone
  EXPECT_EQ(std::fabs(TwiceArea(g.parts[0][0])), 2 * (100.0 * 90));

  options.valid = true;
  GeoResult split = RunClipOn(in, options);
  ASSERT_TRUE(split.ok) << split.error;
  const Geometry& v = split.output.features[0].geometry;
  ASSERT_EQ(v.kind, GeometryKind::MultiPolygon);
  ASSERT_EQ(v.parts.size(), 2u);
  double total = 0.0;
  std::size_t holes = 0;
  for (const std::vector<Path>& polygon : v.parts) {
    total += TwiceArea(polygon[0]);  // outer rings counter-clockwise
    holes += polygon.size() - 1;
    for (std::size_t r = 1; r < polygon.size(); ++r) {
      total += TwiceArea(polygon[r]);  // holes clockwise
    }
  }
  EXPECT_EQ(total, 2 * (100.0 * 90 - 50));
  EXPECT_EQ(holes, 1u);
  // The properties and the rest of the document pass through.
  EXPECT_EQ(split.output.features.size(), 1u);
}

// Splitting keeps the clipped area: the valid polygons cover exactly what
// clipGraph's rings with their bridges cover, in the expected number of parts.
TEST(GeoCommands, ValidSplitKeepsTheAreaOfTheBridgedRings) {
  struct Case {
    const char* wkt;
    std::size_t parts;
    std::size_t holes;
  };
  const Case cases[] = {
      {"POLYGON ((-10 -10, 110 -10, 110 110, -10 110, -10 -10))", 1, 0},     // covers the view
      {"POLYGON ((10 10, 90 10, 90 90, 10 90, 10 10), (20 20, 20 30, 30 30, 20 20))", 1, 1},
      {"POLYGON ((-10 -20, 70 -20, 70 200, 60 200, 60 -10, 40 -10, 40 200, 30 200, 30 -10,"
       " 10 -10, 10 200, -10 200, -10 -20))", 3, 0},                           // a comb of three teeth
      {"POLYGON ((-10 -10, 110 -10, 110 110, -10 110, -10 -10), (50 -20, 60 -20, 60 50, 50 50, 50 -20))",
       1, 0},                                                                 // a hole cuts a notch
      {"POLYGON ((-10 -10, 110 -10, 110 110, -10 110, -10 -10), (-20 40, 120 40, 120 60, -20 60, -20 40))",
       2, 0},                                                                 // a hole cuts it in two
      {"POLYGON ((100 100, 150 100, 150 150, 100 150, 100 100))", 0, 0},     // touches a corner
  };
  for (const Case& c : cases) {
    const FeatureCollection in = Read(Format::Wkt, std::string(c.wkt) + "\n");
    ClipOptions options;
    options.xmax = 100;
    options.ymax = 100;
    const GeoResult joined = RunClipOn(in, options);
    options.valid = true;
    const GeoResult split = RunClipOn(in, options);
    ASSERT_TRUE(joined.ok && split.ok) << c.wkt;
    double joinedArea = 0.0;
    for (const std::vector<Path>& polygon : joined.output.features[0].geometry.parts) {
      for (std::size_t r = 0; r < polygon.size(); ++r) {
        joinedArea += (r == 0 ? 1 : -1) * std::fabs(TwiceArea(polygon[r]));
      }
    }
    double splitArea = 0.0;
    std::size_t holes = 0;
    const Feature& f = split.output.features[0];
    const std::size_t parts = f.hasGeometry ? f.geometry.parts.size() : 0;
    for (std::size_t p = 0; p < parts; ++p) {
      const std::vector<Path>& polygon = f.geometry.parts[p];
      EXPECT_GT(TwiceArea(polygon[0]), 0.0) << c.wkt << ": outer rings counter-clockwise";
      for (std::size_t r = 0; r < polygon.size(); ++r) {
        splitArea += TwiceArea(polygon[r]);
      }
      holes += polygon.size() - 1;
    }
    EXPECT_EQ(parts, c.parts) << c.wkt;
    EXPECT_EQ(holes, c.holes) << c.wkt;
    EXPECT_EQ(splitArea, joined.output.features[0].hasGeometry ? joinedArea : 0.0) << c.wkt;
  }
}

TEST(GeoIo, OutputKeepsTheInputLayoutUnlessACrsNeedsACollection) {
  const char* point = R"({"type":"Point","coordinates":[1,2]})";
  const char* feature = R"({"type":"Feature","properties":{"a":1},"geometry":{"type":"Point","coordinates":[1,2.5]}})";
  EXPECT_EQ(WriteGeoJson(Read(Format::GeoJson, point)), std::string(point) + "\n");
  EXPECT_EQ(WriteGeoJson(Read(Format::GeoJson, feature)), std::string(feature) + "\n");
  FeatureCollection projected = Read(Format::GeoJson, point);
  projected.crs = {{"type", "name"}, {"properties", {{"name", "x"}}}};
  const FeatureCollection again = Read(Format::GeoJson, WriteGeoJson(projected));
  EXPECT_EQ(again.layout, Layout::FeatureCollection);
  EXPECT_EQ(again.crs, projected.crs);
  EXPECT_TRUE(IsLonLat(nlohmann::json()));
  EXPECT_TRUE(IsLonLat(nlohmann::json::parse(
      R"({"type":"name","properties":{"name":"urn:ogc:def:crs:OGC:1.3:CRS84"}})")));
  EXPECT_FALSE(IsLonLat(projected.crs));
}

TEST(GeoCommands, IntegersAreRoundedHalvesAwayAndCounted) {
  const FeatureCollection in =
      Read(Format::Wkt, "LINESTRING (0.5 -0.5, 2 3, 1.49 -2.5)\nLINESTRING (3e9 0, 1 1)\n");
  FeatureCollection first;
  first.features = {in.features[0]};
  SimplifyOptions options;
  options.manhattan = true;
  GeoResult r = RunSimplifyOn(first, options);
  ASSERT_TRUE(r.ok) << r.error;
  const Path expected = {{1, -1}, {1, -3}};  // the point before the last always goes
  EXPECT_TRUE(r.output.features[0].geometry.parts[0][0] == expected);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_NE(r.warnings[0].find(" 4 coordinates were not integers"), std::string::npos);

  // A line whose points all round to one point is no line any more.
  GeoResult collapsed =
      RunSimplifyOn(Read(Format::Wkt, "LINESTRING (0.2 0, 0 0.3)\n"), SimplifyOptions());
  ASSERT_TRUE(collapsed.ok);
  EXPECT_FALSE(collapsed.output.features[0].hasGeometry);

  GeoResult beyond = RunSimplifyOn(in, options);
  EXPECT_FALSE(beyond.ok);
  EXPECT_EQ(beyond.error, "feature 1: coordinate 3000000000 lies outside the 32-bit integer range");
}

TEST(GeoCommands, ChainJoinsOnRoundedEndsWithinEachClass) {
  const FeatureCollection in = Read(Format::GeoJson, R"({"type":"FeatureCollection","features":[
    {"type":"Feature","properties":{"c":1},"geometry":{"type":"LineString","coordinates":[[0,0],[5,1],[10,0]]}},
    {"type":"Feature","properties":{"c":1},"geometry":{"type":"LineString","coordinates":[[20,0],[15,1],[10.4,0.2]]}},
    {"type":"Feature","properties":{"c":2},"geometry":{"type":"LineString","coordinates":[[20,0],[30,0]]}}]})");
  ChainOptions options;
  options.groupBy = "c";
  GeoResult r = RunChainOn(in, options);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.output.features.size(), 2u);
  EXPECT_EQ(r.output.features[0].properties.dump(), R"({"c":1,"links":["+0","-1"]})");
  const Path joined = {{0, 0}, {5, 1}, {10, 0}, {15, 1}, {20, 0}};
  EXPECT_TRUE(r.output.features[0].geometry.parts[0][0] == joined);
  EXPECT_EQ(r.output.features[1].properties.dump(), R"({"c":2,"links":["+2"]})");
}

TEST(GeoCommands, ProjectionNamesItsCrsAndComesBack) {
  const FeatureCollection in =
      Read(Format::GeoJson, R"({"type":"Point","coordinates":[110,30]})");
  GeoResult projected = RunLccOn(in, LccOptions());
  ASSERT_TRUE(projected.ok);
  EXPECT_EQ(projected.output.crs["properties"]["name"], lambertProjString);
  const Position p = projected.output.features[0].geometry.parts[0][0][0];
  EXPECT_NEAR(p.x, 571250.7147, 1e-4);
  EXPECT_NEAR(p.y, 1353621.3719, 1e-4);
  EXPECT_FALSE(RunLccOn(projected.output, LccOptions()).ok) << "projected twice";
  LccOptions inverse;
  inverse.inverse = true;
  GeoResult back = RunLccOn(projected.output, inverse);
  ASSERT_TRUE(back.ok);
  EXPECT_TRUE(back.output.crs.is_null());
  EXPECT_NEAR(back.output.features[0].geometry.parts[0][0][0].x, 110.0, 1e-9);
  EXPECT_NEAR(back.output.features[0].geometry.parts[0][0][0].y, 30.0, 1e-9);
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The extract drawn small: Korea, Japan and Taiwan filled, their coastline
// arcs, and the road extract as a separate picture; the pixels must match
// the pictures recorded from this code (tools/tests/expected/map_*.bmp).
TEST(MapRender, ExtractDrawsTheRecordedPixels) {
  const std::string data = TARNUTIL_SOURCE_DIR "/data/extract/";
  const std::string expected = TARNUTIL_SOURCE_DIR "/tools/tests/expected/";
  struct Case {
    const char* picture;
    std::vector<std::pair<LayerKind, const char*>> layers;
  };
  const Case cases[] = {
      {"map_east_asia.bmp",
       {{LayerKind::Areas, "ea-countries-50m.geojson"}, {LayerKind::Lines, "ea-coast-50m.geojson"}}},
      {"map_roads.bmp", {{LayerKind::Roads, "roads-ottawa.geojson"}}},
  };
  for (const Case& c : cases) {
    std::vector<MapLayer> layers;
    for (const auto& l : c.layers) {
      MapLayer layer;
      layer.kind = l.first;
      layer.name = l.second;
      layer.colour = l.first == LayerKind::Areas ? 0xF2EFE9 : 0x4F7FA0;
      std::string error;
      ASSERT_TRUE(ReadGeoJson(Slurp(data + l.second), layer.data, error)) << error;
      layers.push_back(std::move(layer));
    }
    std::vector<unsigned char> block = tarnutil::cli::MakePackedDib24(160, 120);
    CDIB dib;
    ASSERT_EQ(dib.AttachDIB(reinterpret_cast<tagBITMAPINFO*>(block.data()), nullptr, 0), 1);
    MapStats stats;
    std::string error;
    ASSERT_TRUE(RenderMap(layers, MapView(), 0xA9D3E4, dib, stats, error)) << error;
    const char* record = std::getenv("TARNUTIL_RECORD_MAPS");
    if (record != nullptr) {
      ASSERT_TRUE(tarnutil::cli::WriteBmp24(dib, expected + c.picture));
    }
    const std::string path = expected + c.picture;
    wchar_t* wide = nullptr;
    AssicToUnicode(path.c_str(), wide);
    ASSERT_NE(wide, nullptr);
    CDIB want;
    const int loaded = want.LoadFile(wide);
    std::free(wide);
    ASSERT_EQ(loaded, 1) << path;
    ASSERT_EQ(want.GetWidth(), 160);
    ASSERT_EQ(want.GetHeight(), 120);
    int differing = 0;
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 160; ++x) {
        differing += want.GetRGBValue(x, y) != dib.GetRGBValue(x, y) ? 1 : 0;
      }
    }
    EXPECT_EQ(differing, 0) << c.picture;
  }
}

}  // namespace
