// map: GeoJSON layers drawn into a bitmap file, with the demo's report.
#include <tarnutil/tarnutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/bmp_writer.h"
#include "tools/cli_support.h"
#include "tools/geo_cli.h"
#include "tools/geo_io.h"
#include "tools/map_render.h"

namespace tarnutil {
namespace cli {

namespace {

const char mapHelp[] =
    "usage: tarnutil map [--out FILE] [--size W H] [--view XMIN YMIN XMAX YMAX]\n"
    "                    [--background RRGGBB] LAYER...\n"
    "\n"
    "Draws GeoJSON layers, in the order given, into a 24-bit bitmap and prints a\n"
    "report. Longitude/latitude input (no \"crs\" member) is projected with the\n"
    "Lambert projection; input with a \"crs\" is drawn in its own units. Areas are\n"
    "clipped to the view with clipGraph and filled; lines are thinned (bends under\n"
    "a quarter pixel go) and clipped with RectClipLine; roads are chained by their\n"
    "end coordinates, one class at a time, before the same steps.\n"
    "\n"
    "  --area FILE       polygons, filled\n"
    "  --line FILE       lines, and polygon outlines as lines\n"
    "  --roads FILE      road links, coloured by class\n"
    "  --class NAME      with --roads: the class property (default CLASS)\n"
    "  --colour RRGGBB   colour of the layer given last\n"
    "  --width N         line width in pixels of the layer given last\n"
    "  --view ...        the view in metres (default: the data's extent)\n"
    "  --out FILE        bitmap file to write (default tarnutil-map.bmp)\n"
    "  --size W H        picture size in pixels (default 800 600)\n";

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

bool ParseColour(const std::string& text, std::uint32_t& colour) {
  if (text.size() != 6) {
    return false;
  }
  char* end = nullptr;
  const unsigned long v = std::strtoul(text.c_str(), &end, 16);
  if (end != text.c_str() + 6) {
    return false;
  }
  colour = static_cast<std::uint32_t>(v);
  return true;
}

bool SameAsFile(const CDIB& dib, const std::string& path) {
  wchar_t* wide = nullptr;
  AssicToUnicode(path.c_str(), wide);
  if (wide == nullptr) {
    return false;
  }
  CDIB loaded;
  const int ok = loaded.LoadFile(wide);
  std::free(wide);
  if (ok != 1 || loaded.GetWidth() != dib.GetWidth() || loaded.GetHeight() != dib.GetHeight()) {
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

}  // namespace

int RunMap(const std::vector<std::string>& args) {
  OptionReader reader("map", args);
  std::string outPath = "tarnutil-map.bmp";
  std::int32_t width = 800;
  std::int32_t height = 600;
  geo::MapView view;
  std::uint32_t background = 0xA9D3E4;
  std::vector<geo::MapLayer> layers;
  std::vector<std::string> paths;
  while (reader.Next()) {
    if (reader.Is("-h", "--help")) {
      std::fputs(mapHelp, stdout);
      return exitOk;
    }
    std::string text;
    if (reader.Is(nullptr, "--area") || reader.Is(nullptr, "--line") ||
        reader.Is(nullptr, "--roads")) {
      geo::MapLayer layer;
      if (reader.Is(nullptr, "--area")) {
        layer.kind = geo::LayerKind::Areas;
        layer.colour = 0xF2EFE9;
      } else if (reader.Is(nullptr, "--line")) {
        layer.kind = geo::LayerKind::Lines;
        layer.colour = 0x4F7FA0;
      } else {
        layer.kind = geo::LayerKind::Roads;
        layer.colour = 0xA3402A;
      }
      if (!reader.TakeString(text)) {
        return exitUsage;
      }
      layer.name = text;
      layers.push_back(layer);
    } else if (reader.Is(nullptr, "--class") || reader.Is(nullptr, "--colour") ||
               reader.Is(nullptr, "--width")) {
      if (layers.empty()) {
        return reader.Usage(reader.Current() + " applies to the layer before it; give a layer first");
      }
      const bool isClass = reader.Is(nullptr, "--class");
      const bool isColour = reader.Is(nullptr, "--colour");
      if (isClass) {
        if (!reader.TakeString(layers.back().classField)) {
          return exitUsage;
        }
      } else if (isColour) {
        if (!reader.TakeString(text)) {
          return exitUsage;
        }
        if (!ParseColour(text, layers.back().colour)) {
          return reader.Usage("a colour is six hexadecimal digits, RRGGBB");
        }
      } else {
        std::int32_t w = 0;
        if (!reader.TakeInt32(w)) {
          return exitUsage;
        }
        if (w < 1 || w > 20) {
          return reader.Usage("--width takes 1 to 20 pixels");
        }
        layers.back().width = w;
      }
    } else if (reader.Is(nullptr, "--background")) {
      if (!reader.TakeString(text)) {
        return exitUsage;
      }
      if (!ParseColour(text, background)) {
        return reader.Usage("a colour is six hexadecimal digits, RRGGBB");
      }
    } else if (reader.Is(nullptr, "--view")) {
      if (!reader.TakeInt32(view.xmin) || !reader.TakeInt32(view.ymin) ||
          !reader.TakeInt32(view.xmax) || !reader.TakeInt32(view.ymax)) {
        return exitUsage;
      }
      if (view.xmin >= view.xmax || view.ymin >= view.ymax) {
        return reader.Usage("--view needs XMIN < XMAX and YMIN < YMAX");
      }
    } else if (reader.Is("-o", "--out")) {
      if (!reader.TakeString(outPath)) {
        return exitUsage;
      }
    } else if (reader.Is("-s", "--size")) {
      if (!reader.TakeInt32(width) || !reader.TakeInt32(height)) {
        return exitUsage;
      }
      if (width < 16 || height < 16 || width > 4000 || height > 4000) {
        return reader.Usage("--size takes 16 to 4000 pixels a side");
      }
    } else {
      return reader.Unknown();
    }
  }
  if (layers.empty()) {
    return reader.Usage("give at least one layer (--area, --line or --roads FILE)");
  }
  const auto readStart = std::chrono::steady_clock::now();
  for (geo::MapLayer& layer : layers) {
    std::string text;
    std::string error;
    if (!ReadFile(layer.name, text)) {
      std::cerr << "tarnutil map: cannot read " << layer.name << "\n";
      return exitBadInput;
    }
    if (!geo::ReadGeoJson(text, layer.data, error)) {
      std::cerr << "tarnutil map: " << layer.name << ": " << error << "\n";
      return exitBadInput;
    }
  }
  const double readMillis =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - readStart).count();

  std::vector<unsigned char> block = MakePackedDib24(width, height);
  CDIB dib;
  if (dib.AttachDIB(reinterpret_cast<tagBITMAPINFO*>(block.data()), nullptr, 0) != 1) {
    std::cerr << "tarnutil map: the library refused the bitmap\n";
    return exitBadInput;
  }
  geo::MapStats stats;
  stats.millis.emplace_back("read", readMillis);
  std::string error;
  if (!geo::RenderMap(layers, view, background, dib, stats, error)) {
    std::cerr << "tarnutil map: " << error << "\n";
    return exitBadInput;
  }
  auto start = std::chrono::steady_clock::now();
  if (!WriteBmp24(dib, outPath)) {
    std::cerr << "tarnutil map: cannot write " << outPath << "\n";
    return exitBadInput;
  }
  auto lap = [&stats, &start](const char* name) {
    stats.millis.emplace_back(
        name, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    start = std::chrono::steady_clock::now();
  };
  lap("write");
  const bool same = SameAsFile(dib, outPath);
  lap("read back");
  Print(geo::MapReport(layers, stats, outPath, width, height, same));
  return same ? exitOk : exitBadInput;
}

}  // namespace cli
}  // namespace tarnutil
