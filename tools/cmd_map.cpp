// map: GeoJSON layers drawn into a bitmap file, with the demo's report.
#include <tarnutil/tarnutil.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "tools/bmp_writer.h"
#include "tools/cli_support.h"
#include "tools/commands.h"
#include "tools/geo_cli.h"
#include "tools/geo_io.h"
#include "tools/map_render.h"
#include "tools/tool_platform.h"

namespace tarnutil {
namespace cli {

namespace {

const char mapFooter[] =
    "Draws GeoJSON layers, in the order given, into a 24-bit bitmap and prints a\n"
    "report. Longitude/latitude input (no \"crs\" member) is projected with the\n"
    "Lambert projection; input with a \"crs\" is drawn in its own units. Areas are\n"
    "clipped to the view with clipGraph and filled; lines are thinned (bends under\n"
    "a quarter pixel go) and clipped with RectClipLine; roads are chained by their\n"
    "end coordinates, one class at a time, before the same steps. --class,\n"
    "--colour and --width apply to the layer given last before them.\n"
    "Example: echo '{\"type\":\"LineString\",\"coordinates\":[[0,0],[30,40]]}' > l.json && "
    "tarnutil map --line l.json -o l.bmp -s 16 16 | grep '^layer'   prints   layer 1:     lines "
    "l.json: 1 features, 1 lines; points 2 before thinning, 2 after; 1 pieces, 2 points drawn";

const char colourRule[] = "a colour is six hexadecimal digits, RRGGBB";

struct MapOptions {
  std::string outPath = "tarnutil-map.bmp";
  std::vector<std::int32_t> size{800, 600};
  std::vector<std::int32_t> view;
  std::uint32_t background = 0xA9D3E4;
  std::vector<geo::MapLayer> layers;
  // The first misplaced layer option, reported after the parse.
  std::string misplaced;
};

// Six hex digits exactly: from_chars takes no sign, space or 0x, which
// strtoul would.
bool ParseColour(const std::string& text, std::uint32_t& colour) {
  if (text.size() != 6) {
    return false;
  }
  std::uint32_t v = 0;
  const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), v, 16);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) {
    return false;
  }
  colour = v;
  return true;
}

CLI::Validator ColourCheck() {
  return CLI::Validator(
      [](std::string& text) {
        std::uint32_t colour = 0;
        return ParseColour(text, colour) ? std::string() : std::string(colourRule);
      },
      "");
}

// Reads the layers, draws them and writes the picture; prints the report.
int DrawMap(std::vector<geo::MapLayer>& layers, const geo::MapView& view, std::uint32_t background,
            std::int32_t width, std::int32_t height, const std::string& outPath) {
  const auto readStart = std::chrono::steady_clock::now();
  for (geo::MapLayer& layer : layers) {
    std::string text;
    std::string error;
    if (!ReadDocumentText(layer.name, text, error)) {
      std::cerr << "tarnutil map: " << error << "\n";
      return exitBadInput;
    }
    if (!geo::ReadGeoJson(text, layer.data, error)) {
      std::cerr << "tarnutil map: " << layer.name << ": " << error << "\n";
      return exitBadInput;
    }
  }
  const double readMillis =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - readStart)
          .count();

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
        name, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count());
    start = std::chrono::steady_clock::now();
  };
  lap("write");
  const bool same = ReadsBackTheSame(dib, outPath);
  lap("read back");
  Print(geo::MapReport(layers, stats, outPath, width, height, same));
  return FinishStatus("map", !same);
}

}  // namespace

Command DeclareMap(CLI::App& sub) {
  auto options = std::make_shared<MapOptions>();
  sub.footer(mapFooter);
  // Layer options act in the order given, so each runs as it is parsed.
  const auto addLayer = [&sub, options](const char* name, geo::LayerKind kind, std::uint32_t colour,
                                        const char* what) {
    sub.add_option_function<std::string>(
           name,
           [options, kind, colour](const std::string& path) {
             geo::MapLayer layer;
             layer.kind = kind;
             layer.colour = colour;
             layer.name = path;
             options->layers.push_back(layer);
           },
           what)
        ->type_name("FILE")
        ->trigger_on_parse();
  };
  addLayer("--area", geo::LayerKind::Areas, 0xF2EFE9, "a layer of polygons, filled");
  addLayer("--line", geo::LayerKind::Lines, 0x4F7FA0,
           "a layer of lines, and polygon outlines as lines");
  addLayer("--roads", geo::LayerKind::Roads, 0xA3402A, "a layer of road links, coloured by class");
  // Applies a setting to the layer before it, or remembers that none was.
  const auto toLast = [options](const char* name, const auto& set) {
    return [options, name, set](const std::string& text) {
      if (options->layers.empty()) {
        if (options->misplaced.empty()) {
          options->misplaced =
              std::string(name) + " applies to the layer before it; give a layer first";
        }
        return;
      }
      set(options->layers.back(), text);
    };
  };
  sub.add_option_function<std::string>(
         "--class",
         toLast("--class", [](geo::MapLayer& l, const std::string& t) { l.classField = t; }),
         "with --roads: the class property (default CLASS)")
      ->type_name("NAME")
      ->trigger_on_parse();
  sub.add_option_function<std::string>(
         "--colour",
         toLast("--colour",
                [](geo::MapLayer& l, const std::string& t) { ParseColour(t, l.colour); }),
         "colour of the layer given last")
      ->type_name("RRGGBB")
      ->check(ColourCheck())
      ->trigger_on_parse();
  sub.add_option_function<std::string>("--width",
                                       toLast("--width",
                                              [](geo::MapLayer& l, const std::string& t) {
                                                std::string why;
                                                ParseInt32(t, l.width, why);
                                              }),
                                       "line width in pixels of the layer given last")
      ->type_name("N")
      ->check(Int32Check())
      ->check(CLI::Range(1, 20))
      ->trigger_on_parse();
  sub.add_option_function<std::string>(
         "--background",
         [options](const std::string& text) { ParseColour(text, options->background); },
         "colour where no layer draws (default A9D3E4)")
      ->type_name("RRGGBB")
      ->check(ColourCheck());
  sub.add_option("--view", options->view, "the view in metres (default: the data's extent)")
      ->type_name("XMIN YMIN XMAX YMAX")
      ->expected(4)
      ->allow_extra_args(false)
      ->check(Int32Check());
  sub.add_option("-o,--out", options->outPath, "bitmap file to write (default tarnutil-map.bmp)")
      ->type_name("FILE");
  sub.add_option("-s,--size", options->size, "picture size in pixels (default 800 600)")
      ->type_name("W H")
      ->expected(2)
      ->allow_extra_args(false)
      ->check(Int32Check())
      ->check(CLI::Range(16, 4000));
  Command command;
  command.run = [options]() -> int {
    MapOptions& o = *options;
    const auto usage = [](const std::string& why) {
      std::cerr << "tarnutil map: " << why << " (try 'tarnutil map --help')\n";
      return exitUsage;
    };
    if (!o.misplaced.empty()) {
      return usage(o.misplaced);
    }
    geo::MapView view;
    if (!o.view.empty()) {
      view.xmin = o.view[0];
      view.ymin = o.view[1];
      view.xmax = o.view[2];
      view.ymax = o.view[3];
      if (view.xmin >= view.xmax || view.ymin >= view.ymax) {
        return usage("--view needs XMIN < XMAX and YMIN < YMAX");
      }
    }
    if (o.layers.empty()) {
      return usage("give at least one layer (--area, --line or --roads FILE)");
    }
    return DrawMap(o.layers, view, o.background, o.size[0], o.size[1], o.outPath);
  };
  return command;
}

}  // namespace cli
}  // namespace tarnutil
