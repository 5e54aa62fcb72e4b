// simplify and clip: integer polylines and polygons, one "x y" per line and a
// blank line between figures.
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/clip_plumbing.h"
#include "tools/commands.h"
#include "tools/geo_cli.h"

namespace tarnutil {
namespace cli {

namespace {

const char simplifyFooter[] =
    "Thins polylines of integer points: one \"x y\" per line (spaces, tabs or a\n"
    "comma between), a blank line between polylines. Prints the kept points the\n"
    "same way; first and last points stay. Give one of:\n"
    "  --distance D   farthest-point split: a point survives when its distance\n"
    "                 from the chord exceeds D, in the data's units\n"
    "  --tolerance T  the same split with the library's own tolerance: a point\n"
    "                 survives when its squared distance exceeds sqrt(T), so\n"
    "                 --tolerance 16 is --distance 2\n"
    "  --manhattan N  one forward pass: keeps a point whose |dx| + |dy| from the\n"
    "                 last kept point exceeds N; the point before the last one is\n"
    "                 always dropped\n"
    "Lines starting with '#' are skipped.\n"
    "With --format geojson|wkt: one GeoJSON document (FeatureCollection, Feature\n"
    "or geometry) or WKT text (one geometry per line) in, the result in the same\n"
    "format out; coordinates are rounded to 32-bit integers, halves away from\n"
    "zero, and counted in a warning.\n"
    "Example: printf '0 0\\n5 3\\n10 0\\n' | tarnutil simplify --distance 3 | wc -l   prints   2\n"
    "Example: printf '0 0\\n5 3\\n10 0\\n' | tarnutil simplify --distance 2 | wc -l   prints   3";

const char clipFooter[] =
    "Clips integer figures (one \"x y\" per line, a blank line between figures)\n"
    "to the rectangle, bounds included; its corners may come in either order.\n"
    "Prints the results the same way: for polylines every visible piece on its\n"
    "own, for polygons (--polygon) the clipped outline of each, closing edge\n"
    "included unless --open. With --ids each piece follows a comment line\n"
    "\"# figure N\", N counting the input figures from 1, so a figure that\n"
    "vanished or split shows. Lines starting with '#' are skipped.\n"
    "With --format geojson|wkt: one GeoJSON document (FeatureCollection, Feature\n"
    "or geometry) or WKT text (one geometry per line) in, the result in the same\n"
    "format out; coordinates are rounded to 32-bit integers, halves away from\n"
    "zero, and counted in a warning.\n"
    "Each ring gives one ring: parts the rectangle cuts apart are joined by\n"
    "zero-width bridges along its sides, unless --valid splits them into valid\n"
    "polygons.\n"
    "Example: printf -- '-5 5\\n5 5\\n' | tarnutil clip --rect 10 10 0 0 | paste -sd ' '   prints  "
    " 0 5 5 5";

// Output of figures, a blank line between two of them, each after a
// "# figure N" line when asked.
class FigureWriter {
 public:
  explicit FigureWriter(bool ids) : ids_(ids) {}

  void Write(const std::vector<tagPOINT>& points, long figure) {
    if (points.empty()) {
      return;
    }
    std::string text;
    if (written_) {
      text += "\n";
    }
    if (ids_) {
      text += "# figure " + std::to_string(figure) + "\n";
    }
    for (const tagPOINT& p : points) {
      text += std::to_string(static_cast<std::int32_t>(p.x)) + " " +
              std::to_string(static_cast<std::int32_t>(p.y)) + "\n";
    }
    Print(text);
    written_ = true;
  }

 private:
  bool ids_;
  bool written_ = false;
};

// Reads figures of integer points from source and hands each to use with
// its number, counting from 1. Rejected lines are reported and left out;
// the figure goes on without them.
template <typename Use>
void ForEachFigure(LineSource& source, Use use) {
  std::vector<tagPOINT> figure;
  long number = 0;
  std::string line;
  std::string why;
  Record record;
  while (source.Next(line)) {
    if (!source.TooLong() && IsComment(line)) {
      continue;
    }
    if (!source.TooLong() && IsBlank(line)) {
      if (!figure.empty()) {
        use(figure, ++number);
        figure.clear();
      }
      continue;
    }
    std::int32_t x = 0;
    std::int32_t y = 0;
    if (source.TooLong()) {
      source.Reject("the line is longer than " + std::to_string(maxLineBytes) + " bytes");
      continue;
    }
    if (!SplitRecord(line, 2, "x y", record, why) || !ParseInt32(record.fields[0], x, why) ||
        !ParseInt32(record.fields[1], y, why)) {
      source.Reject(why);
      continue;
    }
    if (!record.trailing.empty()) {
      source.Reject("expected 2 integers (x y), got more: " + Quote(record.trailing));
      continue;
    }
    tagPOINT p;
    p.x = x;
    p.y = y;
    figure.push_back(p);
  }
  if (!figure.empty()) {
    use(figure, ++number);
  }
}

struct SimplifyOptions {
  InputOptions input;
  double distance = 0.0;
  double tolerance = 0.0;
  std::int32_t manhattan = 0;
  std::string format;
};

struct ClipOptions {
  InputOptions input;
  std::vector<std::int32_t> corners;
  bool polygon = false;
  bool open = false;
  bool ids = false;
  bool valid = false;
  std::string format;
};

// The library's tolerance for a distance: it keeps a point when the squared
// distance exceeds sqrt(tolerance), so the tolerance is the fourth power.
float ToleranceForDistance(double distance) {
  const double squared = distance * distance;
  return static_cast<float>(squared * squared);  // exact while D squared is an integer below 2^12
}

}  // namespace

Command DeclareSimplify(CLI::App& sub) {
  auto options = std::make_shared<SimplifyOptions>();
  sub.footer(simplifyFooter);
  CLI::Option* distance = sub.add_option("-d,--distance", options->distance,
                                         "keep points farther than D from the chord")
                              ->type_name("D")
                              ->check(NumberCheck());
  CLI::Option* tolerance =
      sub.add_option("-t,--tolerance", options->tolerance,
                     "keep points whose squared distance from the chord exceeds sqrt(T)")
          ->type_name("T")
          ->check(NumberCheck());
  CLI::Option* manhattan = sub.add_option("-m,--manhattan", options->manhattan,
                                          "keep points whose |dx| + |dy| step exceeds N")
                               ->type_name("N")
                               ->check(Int32Check());
  distance->excludes(tolerance)->excludes(manhattan);
  tolerance->excludes(manhattan);
  DeclareInput(sub, options->input, false);
  CLI::Option* formatOption = DeclareFormat(sub, options->format, {});
  Command command;
  command.operands = &options->input.files;
  command.run = [options, distance, tolerance, manhattan, formatOption]() -> int {
    const SimplifyOptions& o = *options;
    const bool farthest = distance->count() > 0 || tolerance->count() > 0;
    if (!farthest && manhattan->count() == 0) {
      std::cerr << "tarnutil simplify: give one of --distance, --tolerance and --manhattan (try "
                   "'tarnutil simplify --help')\n";
      return exitUsage;
    }
    float toleranceF = static_cast<float>(o.tolerance);  // the library takes a float
    if (distance->count() > 0) {
      // Past 2^31 no integer point lies that far from a chord.
      if (o.distance < 0.0 || o.distance > 4294967296.0) {
        std::cerr << "tarnutil simplify: --distance takes 0 to 2^32 (try 'tarnutil simplify "
                     "--help')\n";
        return exitUsage;
      }
      toleranceF = ToleranceForDistance(o.distance);
    } else if (tolerance->count() > 0 &&
               (o.tolerance < 0.0 || !std::isfinite(static_cast<float>(o.tolerance)))) {
      std::cerr << "tarnutil simplify: --tolerance takes a number from 0 to the largest float "
                   "(try 'tarnutil simplify --help')\n";
      return exitUsage;
    }
    if (formatOption->count() > 0) {
      geo::SimplifyOptions thin;
      thin.manhattan = !farthest;
      thin.tolerance = toleranceF;
      thin.manhattanDistance = o.manhattan;
      return RunGeoCommand(
          "simplify", o.format, o.input.files, o.input.output,
          [&thin](const geo::FeatureCollection& in) { return geo::RunSimplifyOn(in, thin); });
    }
    if (!OpenOutputFor("simplify", o.input)) {
      return exitBadInput;
    }
    LineSource source("simplify", o.input.files);
    FigureWriter writer(false);
    ForEachFigure(source, [&](std::vector<tagPOINT>& points, long number) {
      int kept = 0;
      const int count = static_cast<int>(points.size());
      if (farthest) {
        PolySimplifyInt2D(toleranceF, points.data(), count, &kept);
      } else {
        PolySimplify(o.manhattan, points.data(), count, &kept);
      }
      points.resize(static_cast<std::size_t>(kept));
      writer.Write(points, number);
    });
    return FinishStatus("simplify", source.HadErrors());
  };
  return command;
}

Command DeclareClip(CLI::App& sub) {
  auto options = std::make_shared<ClipOptions>();
  sub.footer(clipFooter);
  sub.add_option("-r,--rect", options->corners, "the rectangle's corners, in either order")
      ->type_name("X1 Y1 X2 Y2")
      ->expected(4)
      ->allow_extra_args(false)
      ->required()
      ->check(Int32Check());
  sub.add_flag("--polygon", options->polygon, "clip polygons instead of polylines");
  sub.add_flag("--open", options->open, "with --polygon: leave out the closing edge");
  sub.add_flag("--ids", options->ids, "put \"# figure N\" before each piece");
  DeclareInput(sub, options->input, false);
  CLI::Option* formatOption = DeclareFormat(sub, options->format, {"--polygon", "--open", "--ids"});
  sub.add_flag("--valid", options->valid,
               "with --format: split polygons the rectangle cuts into parts into valid "
               "polygons (a MultiPolygon) instead of joining them by zero-width bridges")
      ->needs(formatOption);
  Command command;
  command.operands = &options->input.files;
  command.run = [options, formatOption]() -> int {
    const ClipOptions& o = *options;
    if (formatOption->count() > 0) {
      const ClipRect r = RectFromCorners(o.corners[0], o.corners[1], o.corners[2], o.corners[3]);
      geo::ClipOptions clip;
      clip.xmin = r.xMin;
      clip.ymin = r.yMin;
      clip.xmax = r.xMax;
      clip.ymax = r.yMax;
      clip.valid = o.valid;
      return RunGeoCommand(
          "clip", o.format, o.input.files, o.input.output,
          [&clip](const geo::FeatureCollection& in) { return geo::RunClipOn(in, clip); });
    }
    if (o.open && !o.polygon) {
      std::cerr << "tarnutil clip: --open applies to --polygon only (try 'tarnutil clip "
                   "--help')\n";
      return exitUsage;
    }
    const ClipRect rect = RectFromCorners(o.corners[0], o.corners[1], o.corners[2], o.corners[3]);
    if (!OpenOutputFor("clip", o.input)) {
      return exitBadInput;
    }
    LineSource source("clip", o.input.files);
    FigureWriter writer(o.ids);
    ForEachFigure(source, [&](std::vector<tagPOINT>& points, long number) {
      if (o.polygon) {
        writer.Write(ClipPolygon(rect, points, o.open), number);
        return;
      }
      for (const std::vector<tagPOINT>& piece : ClipPolyline(rect, points)) {
        writer.Write(piece, number);
      }
    });
    return FinishStatus("clip", source.HadErrors());
  };
  return command;
}

}  // namespace cli
}  // namespace tarnutil
