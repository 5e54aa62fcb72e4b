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
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/bmp_writer.h"
#include "tools/cli_support.h"
#include "tools/commands.h"
#include "tools/demo_network.h"
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

std::int32_t NearestMetre(double v) { return static_cast<std::int32_t>(std::floor(v + 0.5)); }

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
    return PixelPoint{(static_cast<std::int32_t>(p.x) - static_cast<std::int32_t>(lo.x)) /
                          metresPerPixel,
                      (static_cast<std::int32_t>(hi.y) - static_cast<std::int32_t>(p.y)) /
                          metresPerPixel};
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

// Thins a line in place. The farthest-point split keeps nothing between two
// equal points that end up as the ends of a range, so a line that comes
// back to a point it passed (a loop, or a crossing of itself) is thinned in
// runs that visit no point twice, each run starting where the last ended.
void Thin(std::vector<tagPOINT>& line) {
  std::vector<tagPOINT> out;
  auto thinRun = [&line, &out](std::size_t first, std::size_t last) {
    std::vector<tagPOINT> run(line.begin() + static_cast<std::ptrdiff_t>(first),
                              line.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    int kept = 0;
    PolySimplifyInt2D(thinningTolerance, run.data(), static_cast<int>(run.size()), &kept);
    out.insert(out.end(), run.begin() + (out.empty() ? 0 : 1), run.begin() + kept);
  };
  auto key = [&line](std::size_t i) {
    return std::make_pair(static_cast<std::int32_t>(line[i].x), static_cast<std::int32_t>(line[i].y));
  };
  std::set<std::pair<std::int32_t, std::int32_t>> seen;
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
  bool ok = markerDc != nullptr && mapDc != nullptr && markerBitmap != nullptr &&
            mapBitmap != nullptr;
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

// Clips a closed outline with clipGraph, then fills and edges it.
std::size_t DrawArea(Canvas& canvas, const ViewMapping& view, std::vector<tagPOINT> outline,
                     std::uint32_t fill, std::uint32_t edge) {
  tagRECT rect;
  rect.left = view.lo.x;
  rect.bottom = view.lo.y;
  rect.right = view.hi.x;
  rect.top = view.hi.y;
  // Each of the four edge stages passes on at most m + m / 2 of its m
  // points; 81 / 16 of the count, rounded up, bounds all four.
  std::vector<tagPOINT> clipped((81 * outline.size() + 15) / 16);
  const std::int32_t n = clipGraph(&rect, outline.data(), static_cast<std::int32_t>(outline.size()),
                                   clipped.data(), 0);
  std::vector<PixelPoint> pixels = view.ToPixels(clipped.data(), static_cast<std::size_t>(n));
  canvas.FillPolygon(pixels, fill);
  if (!pixels.empty()) {
    pixels.push_back(pixels.front());
  }
  canvas.Polyline(pixels, 2, edge);
  return static_cast<std::size_t>(n);
}

struct Timings {
  std::vector<std::pair<const char*, double>> stages;
  Clock::time_point start = Clock::now();
  void Lap(const char* name) {
    stages.emplace_back(name, MillisecondsSince(start));
    start = Clock::now();
  }
};

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
  const DemoNetwork net = MakeDemoNetwork();
  timings.Lap("generate");

  std::size_t linksIn[roadClassCount] = {0, 0, 0};
  std::vector<std::vector<GeoPoint>> geoLines[roadClassCount];
  for (int c = 0; c < roadClassCount; ++c) {
    geoLines[c] = ChainLinks(net, static_cast<RoadClass>(c), linksIn[c]);
  }
  timings.Lap("chain");

  std::vector<std::vector<tagPOINT>> lines[roadClassCount];
  for (int c = 0; c < roadClassCount; ++c) {
    for (const std::vector<GeoPoint>& g : geoLines[c]) {
      lines[c].push_back(Project(g));
    }
  }
  const std::vector<tagPOINT> lake = Project(net.lake);
  const std::vector<tagPOINT> park = Project(net.park);
  const std::vector<tagPOINT> route = Project(net.route);
  const tagPOINT centre = Project(net.centre);
  timings.Lap("project");

  std::size_t pointsBefore = 0;
  std::size_t pointsAfter = 0;
  for (std::vector<std::vector<tagPOINT>>& classLines : lines) {
    for (std::vector<tagPOINT>& line : classLines) {
      pointsBefore += line.size();
      Thin(line);
      pointsAfter += line.size();
    }
  }
  timings.Lap("thin");

  ViewMapping view;
  view.metresPerPixel = viewWidthMetres / width;
  const std::int32_t viewWidth = NearestMetre(viewWidthMetres);
  const std::int32_t viewHeight = NearestMetre(height * view.metresPerPixel);
  view.lo.x = static_cast<std::int32_t>(centre.x) - viewWidth / 2;
  view.lo.y = static_cast<std::int32_t>(centre.y) - viewHeight / 2;
  view.hi.x = static_cast<std::int32_t>(view.lo.x) + viewWidth;
  view.hi.y = static_cast<std::int32_t>(view.lo.y) + viewHeight;
  std::vector<std::vector<PixelPoint>> pieces[roadClassCount];
  std::size_t pieceCount = 0;
  auto clipLine = [&view](std::vector<tagPOINT>& line, std::vector<std::vector<PixelPoint>>& out) {
    if (line.size() < 2) {
      return;
    }
    // Room the library asks for: 2 (n - 1) points and n - 1 piece totals.
    std::vector<tagPOINT> clipped(2 * (line.size() - 1));
    std::vector<int> totals(line.size() - 1);
    tagPOINT lo = view.lo;
    tagPOINT hi = view.hi;
    const int n = RectClipLine(line.data(), static_cast<int>(line.size()), clipped.data(),
                               totals.data(), &lo, &hi);
    int begin = 0;
    for (int j = 0; j < n; ++j) {
      const int end = totals[static_cast<std::size_t>(j)];
      out.push_back(view.ToPixels(clipped.data() + begin, static_cast<std::size_t>(end - begin)));
      begin = end;
    }
  };
  for (int c = 0; c < roadClassCount; ++c) {
    for (std::vector<tagPOINT>& line : lines[c]) {
      clipLine(line, pieces[c]);
    }
    pieceCount += pieces[c].size();
  }
  std::vector<tagPOINT> routeLine = route;
  std::vector<std::vector<PixelPoint>> routePieces;
  clipLine(routeLine, routePieces);
  timings.Lap("clip");

  std::vector<unsigned char> block = MakePackedDib24(width, height);
  CDIB dib;
  if (dib.AttachDIB(reinterpret_cast<tagBITMAPINFO*>(block.data()), nullptr, 0) != 1) {
    std::cerr << "tarnutil demo: the library refused the bitmap\n";
    return exitBadInput;
  }
  Canvas canvas(dib);
  canvas.Clear(backgroundColour);
  const std::size_t parkPoints = DrawArea(canvas, view, park, parkFill, parkEdge);
  const std::size_t lakePoints = DrawArea(canvas, view, lake, lakeFill, lakeEdge);
  for (int c = 0; c < roadClassCount; ++c) {
    for (const std::vector<PixelPoint>& piece : pieces[c]) {
      canvas.Polyline(piece, roadStyles[c].casingWidth, roadStyles[c].casing);
    }
    for (const std::vector<PixelPoint>& piece : pieces[c]) {
      canvas.Polyline(piece, roadStyles[c].fillWidth, roadStyles[c].fill);
    }
  }
  for (const std::vector<PixelPoint>& piece : routePieces) {
    canvas.Polyline(piece, 3, routeColour);
  }
  const PixelPoint startPixel = view.ToPixel(route.front());
  const PixelPoint endPixel = view.ToPixel(route.back());
  const int startX = static_cast<int>(std::floor(startPixel.x));
  const int startY = static_cast<int>(std::floor(startPixel.y));
  canvas.Disc(startX, startY, 6, routeColour);
  canvas.Disc(startX, startY, 3, white);
  DrawScaleBar(canvas, view.metresPerPixel);
  DrawFrame(canvas);
  timings.Lap("draw");

  const int tipX = static_cast<int>(std::floor(endPixel.x));
  const int tipY = static_cast<int>(std::floor(endPixel.y));
  if (!PlaceMarker(canvas, tipX, tipY)) {
    std::cerr << "tarnutil demo: the graphics calls for the marker failed\n";
    return exitBadInput;
  }
  timings.Lap("marker");

  double routeMetres = 0.0;
  for (std::size_t i = 1; i < net.route.size(); ++i) {
    double bearing = 0.0;
    double metres = 0.0;
    LLDistance(net.route[i - 1].lon, net.route[i - 1].lat, net.route[i].lon, net.route[i].lat,
               &bearing, &metres);
    routeMetres += metres;
  }
  double rhumbBearing = 0.0;
  double rhumbMetres = 0.0;
  LLDistance(net.route.front().lon, net.route.front().lat, net.route.back().lon,
             net.route.back().lat, &rhumbBearing, &rhumbMetres);
  timings.Lap("route");

  if (!WriteBmp24(dib, outPath)) {
    std::cerr << "tarnutil demo: cannot write " << outPath << "\n";
    return exitBadInput;
  }
  timings.Lap("write");
  const bool same = ReadsBackTheSame(dib, outPath);
  timings.Lap("read back");

  std::string report = "tarnutil demo: synthetic road network near 104.5E 30.5N\n";
  std::size_t totalLinks = 0;
  std::size_t totalLines = 0;
  std::string linkDetail;
  std::string lineDetail;
  for (int c = roadClassCount - 1; c >= 0; --c) {
    totalLinks += linksIn[c];
    totalLines += lines[c].size();
    const std::string sep = c == roadClassCount - 1 ? "" : ", ";
    linkDetail += sep + roadClassNames[c] + " " + std::to_string(linksIn[c]);
    lineDetail += sep + roadClassNames[c] + " " + std::to_string(lines[c].size());
  }
  report += "links in:    " + std::to_string(totalLinks) + " (" + linkDetail + ")\n";
  report += "lines out:   " + std::to_string(totalLines) + " (" + lineDetail + ")\n";
  report += "points:      " + std::to_string(pointsBefore) + " before thinning, " +
            std::to_string(pointsAfter) + " after\n";
  report += "pieces:      " + std::to_string(pieceCount) + " road pieces in the " +
            std::to_string(viewWidth) + " x " + std::to_string(viewHeight) + " m view; lake " +
            std::to_string(lake.size()) + " -> " + std::to_string(lakePoints) + " points, park " +
            std::to_string(park.size()) + " -> " + std::to_string(parkPoints) + " points\n";
  report += "route:       " + Fixed(routeMetres / metresPerKm, 3) + " km along the highway; rhumb line " +
            Fixed(rhumbMetres / metresPerKm, 3) + " km at bearing " + Fixed(rhumbBearing, 2) + "\n";
  report += "marker:      pixel " + std::to_string(tipX) + " " + std::to_string(tipY) + "\n";
  report += "picture:     " + outPath + ", " + std::to_string(width) + " x " +
            std::to_string(height) + " pixels, 24 bits; read back through CDIB: " +
            (same ? "identical" : "DIFFERENT") + "\n";
  if (options.timing) {
    report += "time (ms):  ";
    for (const std::pair<const char*, double>& stage : timings.stages) {
      report += std::string(" ") + stage.first + " " + Fixed(stage.second, 1) + ",";
    }
    report.back() = '\n';
  }
  Print(report);
  return same ? exitOk : exitBadInput;
}

}  // namespace

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
