// demo: the library at work on built-in sample data. A synthetic road
// network is chained into lines, projected, thinned, clipped to a view and
// drawn into a 24-bit CDIB with a lake and a park; a marker goes on with
// TransparentBlt2, and the picture is written as a bitmap file and read
// back through CDIB::LoadFile.
#include <tarnutil/tarnutil.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/bmp_writer.h"
#include "tools/cli_support.h"
#include "tools/clip_plumbing.h"
#include "tools/commands.h"
#include "tools/demo_network.h"
#include "tools/geo_commands.h"
#include "tools/raster.h"
#include "tools/tool_platform.h"

namespace tarnutil {
namespace cli {

namespace {

const char demoFooter[] =
    "Draws a map from built-in sample data (no input, no network access) and\n"
    "prints a report. A synthetic road network of a few thousand links near\n"
    "104.5E 30.5N is chained into lines, projected with the Lambert projection,\n"
    "thinned, clipped to a 24 km wide view, and drawn with a lake and a park\n"
    "into a 24-bit Windows bitmap (.bmp); a marker is placed with TransparentBlt2\n"
    "at the end of a trip whose rhumb-line bearing and length are reported.\n"
    "Every run draws the same picture and prints the same report.";

constexpr std::int32_t defaultWidth = 800;
constexpr std::int32_t defaultHeight = 600;
constexpr std::int32_t minSide = 64;
constexpr std::int32_t maxSide = 4000;
// The view is this wide whatever the picture size; its height follows the
// picture's proportions.
constexpr double viewWidthMetres = 24000.0;
// Squared deviations up to sqrt(4096) = 64 square metres are dropped: bends
// of up to 8 m, a quarter of a pixel at the default scale.
constexpr float thinningTolerance = 4096.0f;
// Length of the scale bar.
constexpr double scaleBarMetres = 5000.0;
constexpr double metresPerKm = 1000.0;

// Colours, 0xRRGGBB.
constexpr std::uint32_t backgroundColour = 0xF2EFE9;
constexpr std::uint32_t frameColour = 0x8A8A8A;
constexpr std::uint32_t parkFill = 0xC5E3B0;
constexpr std::uint32_t parkEdge = 0x94C27F;
constexpr std::uint32_t lakeFill = 0xA9D3E4;
constexpr std::uint32_t lakeEdge = 0x6FA8C4;
constexpr std::uint32_t routeColour = 0x2F6FD6;
constexpr std::uint32_t white = 0xFFFFFF;
constexpr std::uint32_t black = 0x202020;

// Each road class: a darker casing, then a lighter fill along its middle.
struct RoadStyle {
  int casingWidth;
  std::uint32_t casing;
  int fillWidth;
  std::uint32_t fill;
};
const RoadStyle roadStyles[roadClassCount] = {
    {3, 0xCBC3B8, 1, 0xFFFFFF},  // minor: white streets
    {5, 0xC2962B, 3, 0xF6D36B},  // main: yellow
    {7, 0xA3402A, 5, 0xE8734E},  // highway: red
};
const char* const roadClassNames[roadClassCount] = {"minor", "main", "highway"};

// The destination marker: a pin whose tip is at (markerTipX, markerTipY),
// on a key colour that TransparentBlt2 leaves out.
constexpr int markerWidth = 23;
constexpr int markerHeight = 33;
constexpr int markerTipX = 11;
constexpr int markerTipY = 32;
constexpr int markerHeadY = 11;
constexpr std::uint32_t markerKey = 0xFF00FF;
constexpr std::uint32_t markerFill = 0xD7263D;
constexpr std::uint32_t markerEdge = 0x7A1020;

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Fixed(double v, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

// Colour values of the graphics calls are red + green * 256 + blue * 65536,
// the pixels' 0xRRGGBB the other way round: swapping red and blue converts
// either way.
std::uint32_t SwapRedBlue(std::uint32_t c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

std::int32_t NearestMetre(double v) {
  return static_cast<std::int32_t>(std::floor(v + 0.5));
}

tagPOINT Project(GeoPoint g) {
  double x = 0.0;
  double y = 0.0;
  Lambert_Projct_LL2XY(static_cast<double>(g.lon), static_cast<double>(g.lat), x, y);
  tagPOINT p;
  p.x = NearestMetre(x);
  p.y = NearestMetre(y);
  return p;
}

std::vector<tagPOINT> Project(const std::vector<GeoPoint>& points) {
  std::vector<tagPOINT> out;
  out.reserve(points.size());
  for (const GeoPoint& g : points) {
    out.push_back(Project(g));
  }
  return out;
}

// Metres to pixels: x grows right, y down from the view's top edge.
struct ViewMapping {
  tagPOINT lo;
  tagPOINT hi;
  double metresPerPixel;

  PixelPoint ToPixel(const tagPOINT& p) const {
    return PixelPoint{
        (static_cast<std::int32_t>(p.x) - static_cast<std::int32_t>(lo.x)) / metresPerPixel,
        (static_cast<std::int32_t>(hi.y) - static_cast<std::int32_t>(p.y)) / metresPerPixel};
  }

  ClipRect Rect() const {
    return RectFromCorners(static_cast<std::int32_t>(lo.x), static_cast<std::int32_t>(lo.y),
                           static_cast<std::int32_t>(hi.x), static_cast<std::int32_t>(hi.y));
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

// Chains the links of each class in a line list of its own and returns each
// line's points from its start to its end. A link the list turned round is
// walked end first.
std::vector<std::vector<GeoPoint>> ChainLinks(const DemoNetwork& net, RoadClass roadClass,
                                              std::size_t& linksIn) {
  std::deque<ST_NODE> nodes;
  std::list<std::deque<ST_LINK*>*> lines;
  for (std::size_t i = 0; i < net.links.size(); ++i) {
    const DemoLink& link = net.links[i];
    if (link.roadClass != roadClass) {
      continue;
    }
    ++linksIn;
    nodes.push_back(ST_NODE{link.shape.front().lon, link.shape.front().lat});
    ST_NODE* start = &nodes.back();
    nodes.push_back(ST_NODE{link.shape.back().lon, link.shape.back().lat});
    ST_NODE* end = &nodes.back();
    // appData carries the link's index; the list owns the record.
    AddToLineList(new ST_LINK{static_cast<std::uint32_t>(i), 1, start, end}, lines);
  }
  std::vector<std::vector<GeoPoint>> out;
  for (const std::deque<ST_LINK*>* line : lines) {
    std::vector<GeoPoint> points;
    for (const ST_LINK* link : *line) {
      const std::vector<GeoPoint>& shape = net.links[link->appData].shape;
      std::vector<GeoPoint> walked(shape);
      if (link->direction != 1) {
        walked.assign(shape.rbegin(), shape.rend());
      }
      // Neighbouring links share their joint; keep it once.
      points.insert(points.end(), walked.begin() + (points.empty() ? 0 : 1), walked.end());
    }
    out.push_back(std::move(points));
  }
  ClearLineList(&lines);
  return out;
}

// Thins a line in place, in runs that visit no point twice (see ThinInRuns).
void Thin(std::vector<tagPOINT>& line) {
  geo::ThinInRuns(line, thinningTolerance);
}

// Colour of the marker at (x, y) of its box: a round head with a white eye
// above a tapering point, the rest the key colour.
std::uint32_t MarkerPixel(int x, int y) {
  const int dx = x - markerTipX;
  const int dy = y - markerHeadY;
  const int d2 = dx * dx + dy * dy;
  // Radii 3.5, 8.5 and 10.5 pixels: r * r + r rounds each circle outward by
  // half a pixel, so its edge has no lone pixels sticking out.
  if (d2 <= 12) {
    return white;
  }
  if (d2 <= 72) {
    return markerFill;
  }
  if (d2 <= 110) {
    return markerEdge;
  }
  // The point narrows from the head's width to the tip.
  if (y > markerHeadY) {
    const int half = (markerTipY - y) * 9 / (markerTipY - markerHeadY);
    const int ax = dx < 0 ? -dx : dx;
    if (ax < half) {
      return markerFill;
    }
    if (ax <= half) {
      return markerEdge;
    }
  }
  return markerKey;
}

// Puts the marker with its tip on (tipX, tipY): the part of the map under it
// goes into a memory device context, the marker into another, the library's
// transparent blit lays one on the other, and the result comes back.
bool PlaceMarker(Canvas& canvas, int tipX, int tipY) {
  const int left = tipX - markerTipX;
  const int top = tipY - markerTipY;
  HDC__* markerDc = CreateCompatibleDC(nullptr);
  HDC__* mapDc = CreateCompatibleDC(nullptr);
  HBITMAP__* markerBitmap = CreateBitmap(markerWidth, markerHeight, 1, 32, nullptr);
  HBITMAP__* mapBitmap = CreateBitmap(markerWidth, markerHeight, 1, 32, nullptr);
  bool ok =
      markerDc != nullptr && mapDc != nullptr && markerBitmap != nullptr && mapBitmap != nullptr;
  void* oldMarker = nullptr;
  void* oldMap = nullptr;
  if (ok) {
    oldMarker = SelectObject(markerDc, markerBitmap);
    oldMap = SelectObject(mapDc, mapBitmap);
    for (int y = 0; y < markerHeight; ++y) {
      for (int x = 0; x < markerWidth; ++x) {
        SetPixel(markerDc, x, y, SwapRedBlue(MarkerPixel(x, y)));
        SetPixel(mapDc, x, y, SwapRedBlue(canvas.Get(left + x, top + y) & 0xFFFFFFu));
      }
    }
    TransparentBlt2(mapDc, 0, 0, markerWidth, markerHeight, markerDc, 0, 0, markerWidth,
                    markerHeight, SwapRedBlue(markerKey));
    for (int y = 0; y < markerHeight && ok; ++y) {
      for (int x = 0; x < markerWidth; ++x) {
        const std::uint32_t c = static_cast<std::uint32_t>(GetPixel(mapDc, x, y));
        if (c == 0xFFFFFFFFu) {
          ok = false;
          break;
        }
        canvas.Plot(left + x, top + y, SwapRedBlue(c));
      }
    }
    SelectObject(mapDc, oldMap);
    SelectObject(markerDc, oldMarker);
  }
  if (mapDc != nullptr) {
    DeleteDC(mapDc);
  }
  if (markerDc != nullptr) {
    DeleteDC(markerDc);
  }
  if (mapBitmap != nullptr) {
    DeleteObject(mapBitmap);
  }
  if (markerBitmap != nullptr) {
    DeleteObject(markerBitmap);
  }
  return ok;
}

void DrawScaleBar(Canvas& canvas, double metresPerPixel) {
  const int length = static_cast<int>(scaleBarMetres / metresPerPixel);
  const int x0 = 16;
  const int y0 = canvas.Height() - 16;
  canvas.Line(x0, y0, x0 + length, y0, 5, white);
  canvas.Line(x0, y0, x0 + length, y0, 2, black);
  for (int tick = 0; tick <= 5; ++tick) {
    const int x = x0 + length * tick / 5;
    const int rise = tick % 5 == 0 ? 6 : 3;
    canvas.Line(x, y0 - rise, x, y0, 1, black);
  }
}

void DrawFrame(Canvas& canvas) {
  const int w = canvas.Width() - 1;
  const int h = canvas.Height() - 1;
  canvas.Line(0, 0, w, 0, 1, frameColour);
  canvas.Line(w, 0, w, h, 1, frameColour);
  canvas.Line(w, h, 0, h, 1, frameColour);
  canvas.Line(0, h, 0, 0, 1, frameColour);
}

// Clips a closed outline to the view, then fills and edges it.
std::size_t DrawArea(Canvas& canvas, const ViewMapping& view, const std::vector<tagPOINT>& outline,
                     std::uint32_t fill, std::uint32_t edge) {
  const std::vector<tagPOINT> clipped = ClipPolygon(view.Rect(), outline, false);
  std::vector<PixelPoint> pixels = view.ToPixels(clipped.data(), clipped.size());
  canvas.FillPolygon(pixels, fill);
  if (!pixels.empty()) {
    pixels.push_back(pixels.front());
  }
  canvas.Polyline(pixels, 2, edge);
  return clipped.size();
}

struct Timings {
  std::vector<std::pair<const char*, double>> stages;
  Clock::time_point start = Clock::now();
  void Lap(const char* name) {
    stages.emplace_back(name, MillisecondsSince(start));
    start = Clock::now();
  }
};


struct DemoOptions {
  std::string outPath = "tarnutil-demo.bmp";
  std::vector<std::int32_t> size{defaultWidth, defaultHeight};
  bool timing = false;
};

// Whether a name ends in ".bmp", in any case: the picture is a Windows
// bitmap, and another extension would make viewers misread it.
bool NamesBitmap(const std::string& path) {
  if (path.size() < 4) {
    return false;
  }
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) {
    c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return ext == ".bmp";
}

// What the stages hand on to each other.
struct DemoRun {
  DemoNetwork net;
  std::size_t linksIn[roadClassCount] = {0, 0, 0};
  std::vector<std::vector<tagPOINT>> lines[roadClassCount];
  std::vector<tagPOINT> lake;
  std::vector<tagPOINT> park;
  std::vector<tagPOINT> route;
  tagPOINT centre{};
  std::size_t pointsBefore = 0;
  std::size_t pointsAfter = 0;
  ViewMapping view;
  std::int32_t viewWidth = 0;
  std::int32_t viewHeight = 0;
  std::vector<std::vector<PixelPoint>> pieces[roadClassCount];
  std::vector<std::vector<PixelPoint>> routePieces;
  std::size_t pieceCount = 0;
  std::size_t lakePoints = 0;
  std::size_t parkPoints = 0;
  int tipX = 0;
  int tipY = 0;
  double routeMetres = 0.0;
  double rhumbBearing = 0.0;
  double rhumbMetres = 0.0;
};

// Chains each road class's links into lines and projects them and the
// areas to metres.
void ChainAndProject(DemoRun& run, Timings& timings) {
  std::vector<std::vector<GeoPoint>> geoLines[roadClassCount];
  for (int c = 0; c < roadClassCount; ++c) {
    geoLines[c] = ChainLinks(run.net, static_cast<RoadClass>(c), run.linksIn[c]);
  }
  timings.Lap("chain");
  for (int c = 0; c < roadClassCount; ++c) {
    for (const std::vector<GeoPoint>& g : geoLines[c]) {
      run.lines[c].push_back(Project(g));
    }
  }
  run.lake = Project(run.net.lake);
  run.park = Project(run.net.park);
  run.route = Project(run.net.route);
  run.centre = Project(run.net.centre);
  timings.Lap("project");
}

void ThinLines(DemoRun& run) {
  for (std::vector<std::vector<tagPOINT>>& classLines : run.lines) {
    for (std::vector<tagPOINT>& line : classLines) {
      run.pointsBefore += line.size();
      Thin(line);
      run.pointsAfter += line.size();
    }
  }
}

// The view: viewWidthMetres wide around the centre, as tall as the
// picture's proportions make it.
void SetView(DemoRun& run, std::int32_t width, std::int32_t height) {
  ViewMapping& view = run.view;
  view.metresPerPixel = viewWidthMetres / width;
  run.viewWidth = NearestMetre(viewWidthMetres);
  run.viewHeight = NearestMetre(height * view.metresPerPixel);
  view.lo.x = static_cast<std::int32_t>(run.centre.x) - run.viewWidth / 2;
  view.lo.y = static_cast<std::int32_t>(run.centre.y) - run.viewHeight / 2;
  view.hi.x = static_cast<std::int32_t>(view.lo.x) + run.viewWidth;
  view.hi.y = static_cast<std::int32_t>(view.lo.y) + run.viewHeight;
}

void ClipToView(DemoRun& run) {
  const ClipRect rect = run.view.Rect();
  const auto clipLine = [&run, &rect](const std::vector<tagPOINT>& line,
                                      std::vector<std::vector<PixelPoint>>& out) {
    for (const std::vector<tagPOINT>& piece : ClipPolyline(rect, line)) {
      out.push_back(run.view.ToPixels(piece.data(), piece.size()));
    }
  };
  for (int c = 0; c < roadClassCount; ++c) {
    for (const std::vector<tagPOINT>& line : run.lines[c]) {
      clipLine(line, run.pieces[c]);
    }
    run.pieceCount += run.pieces[c].size();
  }
  clipLine(run.route, run.routePieces);
}

// Areas, roads (casings under fills), the route with its start, the scale
// bar and the frame.
void DrawMap(DemoRun& run, Canvas& canvas) {
  canvas.Clear(backgroundColour);
  run.parkPoints = DrawArea(canvas, run.view, run.park, parkFill, parkEdge);
  run.lakePoints = DrawArea(canvas, run.view, run.lake, lakeFill, lakeEdge);
  for (int c = 0; c < roadClassCount; ++c) {
    for (const std::vector<PixelPoint>& piece : run.pieces[c]) {
      canvas.Polyline(piece, roadStyles[c].casingWidth, roadStyles[c].casing);
    }
    for (const std::vector<PixelPoint>& piece : run.pieces[c]) {
      canvas.Polyline(piece, roadStyles[c].fillWidth, roadStyles[c].fill);
    }
  }
  for (const std::vector<PixelPoint>& piece : run.routePieces) {
    canvas.Polyline(piece, 3, routeColour);
  }
  const PixelPoint startPixel = run.view.ToPixel(run.route.front());
  const int startX = static_cast<int>(std::floor(startPixel.x));
  const int startY = static_cast<int>(std::floor(startPixel.y));
  canvas.Disc(startX, startY, 6, routeColour);
  canvas.Disc(startX, startY, 3, white);
  DrawScaleBar(canvas, run.view.metresPerPixel);
  DrawFrame(canvas);
  const PixelPoint endPixel = run.view.ToPixel(run.route.back());
  run.tipX = static_cast<int>(std::floor(endPixel.x));
  run.tipY = static_cast<int>(std::floor(endPixel.y));
}

// The trip along the highway, leg by leg, and the rhumb line from its start
// to its end.
void MeasureRoute(DemoRun& run) {
  const std::vector<GeoPoint>& r = run.net.route;
  for (std::size_t i = 1; i < r.size(); ++i) {
    double bearing = 0.0;
    double metres = 0.0;
    LLDistance(r[i - 1].lon, r[i - 1].lat, r[i].lon, r[i].lat, &bearing, &metres);
    run.routeMetres += metres;
  }
  LLDistance(r.front().lon, r.front().lat, r.back().lon, r.back().lat, &run.rhumbBearing,
             &run.rhumbMetres);
}

std::string Report(const DemoRun& run, const DemoOptions& options, bool same,
                   const Timings& timings) {
  std::string report = "tarnutil demo: synthetic road network near 104.5E 30.5N\n";
  std::size_t totalLinks = 0;
  std::size_t totalLines = 0;
  std::string linkDetail;
  std::string lineDetail;
  for (int c = roadClassCount - 1; c >= 0; --c) {
    totalLinks += run.linksIn[c];
    totalLines += run.lines[c].size();
    const std::string sep = c == roadClassCount - 1 ? "" : ", ";
    linkDetail += sep + roadClassNames[c] + " " + std::to_string(run.linksIn[c]);
    lineDetail += sep + roadClassNames[c] + " " + std::to_string(run.lines[c].size());
  }
  report += "links in:    " + std::to_string(totalLinks) + " (" + linkDetail + ")\n";
  report += "lines out:   " + std::to_string(totalLines) + " (" + lineDetail + ")\n";
  report += "points:      " + std::to_string(run.pointsBefore) + " before thinning, " +
            std::to_string(run.pointsAfter) + " after\n";
  report += "pieces:      " + std::to_string(run.pieceCount) + " road pieces in the " +
            std::to_string(run.viewWidth) + " x " + std::to_string(run.viewHeight) +
            " m view; lake " + std::to_string(run.lake.size()) + " -> " +
            std::to_string(run.lakePoints) + " points, park " + std::to_string(run.park.size()) +
            " -> " + std::to_string(run.parkPoints) + " points\n";
  report += "route:       " + Fixed(run.routeMetres / metresPerKm, 3) +
            " km along the highway; rhumb line " + Fixed(run.rhumbMetres / metresPerKm, 3) +
            " km at bearing " + Fixed(run.rhumbBearing, 2) + "\n";
  report +=
      "marker:      pixel " + std::to_string(run.tipX) + " " + std::to_string(run.tipY) + "\n";
  report += "picture:     " + options.outPath + ", " + std::to_string(options.size[0]) + " x " +
            std::to_string(options.size[1]) +
            " pixels, 24 bits; read back through CDIB: " + (same ? "identical" : "DIFFERENT") +
            "\n";
  if (options.timing) {
    report += "time (ms):  ";
    for (const std::pair<const char*, double>& stage : timings.stages) {
      report += std::string(" ") + stage.first + " " + Fixed(stage.second, 1) + ",";
    }
    report.back() = '\n';
  }
  return report;
}

int RunDemo(const DemoOptions& options) {
  const std::string& outPath = options.outPath;
  const std::int32_t width = options.size[0];
  const std::int32_t height = options.size[1];
  if (!NamesBitmap(outPath)) {
    std::cerr << "tarnutil demo: the picture is a Windows bitmap; name it FILE.bmp (try "
                 "'tarnutil demo --help')\n";
    return exitUsage;
  }
  if (width < minSide || height < minSide || width > maxSide || height > maxSide) {
    std::cerr << "tarnutil demo: --size takes 64 to 4000 pixels a side (try 'tarnutil demo "
                 "--help')\n";
    return exitUsage;
  }
  Timings timings;
  DemoRun run;
  run.net = MakeDemoNetwork();
  timings.Lap("generate");
  ChainAndProject(run, timings);
  ThinLines(run);
  timings.Lap("thin");
  SetView(run, width, height);
  ClipToView(run);
  timings.Lap("clip");

  std::vector<unsigned char> block = MakePackedDib24(width, height);
  CDIB dib;
  if (dib.AttachDIB(reinterpret_cast<tagBITMAPINFO*>(block.data()), nullptr, 0) != 1) {
    std::cerr << "tarnutil demo: the library refused the bitmap\n";
    return exitBadInput;
  }
  Canvas canvas(dib);
  DrawMap(run, canvas);
  timings.Lap("draw");
  if (!PlaceMarker(canvas, run.tipX, run.tipY)) {
    std::cerr << "tarnutil demo: the graphics calls for the marker failed\n";
    return exitBadInput;
  }
  timings.Lap("marker");
  MeasureRoute(run);
  timings.Lap("route");

  if (!WriteBmp24(dib, outPath)) {
    std::cerr << "tarnutil demo: cannot write " << outPath << "\n";
    return exitBadInput;
  }
  timings.Lap("write");
  const bool same = ReadsBackTheSame(dib, outPath);
  timings.Lap("read back");
  Print(Report(run, options, same, timings));
  return same ? exitOk : exitBadInput;
}

}  // namespace

// Loads path and compares every pixel with dib.
bool ReadsBackTheSame(const CDIB& dib, const std::string& path) {
  const std::wstring wide = WidePath(path);
  if (wide.empty()) {
    return false;
  }
  CDIB loaded;
  const int ok = loaded.LoadFile(wide.c_str());
  if (ok != 1 || loaded.GetWidth() != dib.GetWidth() || loaded.GetHeight() != dib.GetHeight() ||
      loaded.GetDepth() != dib.GetDepth()) {
    return false;
  }
  for (int y = 0; y < dib.GetHeight(); ++y) {
    for (int x = 0; x < dib.GetWidth(); ++x) {
      if (loaded.GetRGBValue(x, y) != dib.GetRGBValue(x, y)) {
        return false;
      }
    }
  }
  return true;
}

Command DeclareDemo(CLI::App& sub) {
  auto options = std::make_shared<DemoOptions>();
  sub.footer(demoFooter);
  sub.add_option("-o,--out", options->outPath, "bitmap file to write (default tarnutil-demo.bmp)")
      ->type_name("FILE.bmp");
  sub.add_option("-s,--size", options->size, "picture size in pixels (default 800 600)")
      ->type_name("WIDTH HEIGHT")
      ->expected(2)
      ->allow_extra_args(false)
      ->check(Int32Check());
  sub.add_flag("--timing", options->timing, "add each stage's time to the report");
  Command command;
  command.run = [options]() { return RunDemo(*options); };
  return command;
}

}  // namespace cli
}  // namespace tarnutil
