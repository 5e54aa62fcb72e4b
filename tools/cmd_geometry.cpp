// simplify and clip: integer polylines and polygons, one "x y" per line and a
// blank line between figures.
#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/commands.h"

namespace tarnutil {
namespace cli {

namespace {

const char simplifyHelp[] =
    "usage: tarnutil simplify (--tolerance T | --manhattan N) [FILE...]\n"
    "\n"
    "Thins polylines of integer points: one \"x y\" per line, a blank line between\n"
    "polylines. Prints the kept points the same way; first and last points stay.\n"
    "\n"
    "  --tolerance T  farthest-point split: a point survives when its squared\n"
    "                 deviation from the chord exceeds sqrt(T), so T = 16 keeps\n"
    "                 points whose squared deviation is above 4\n"
    "  --manhattan N  one forward pass: keeps a point whose |dx| + |dy| from the\n"
    "                 last kept point exceeds N; the point before the last one is\n"
    "                 always dropped\n"
    "\n"
    "Lines starting with '#' are skipped.\n";

const char clipHelp[] =
    "usage: tarnutil clip --rect XMIN YMIN XMAX YMAX [--polygon [--open]] [FILE...]\n"
    "\n"
    "Clips integer figures (one \"x y\" per line, a blank line between figures) to\n"
    "the rectangle, bounds included. Prints the results the same way.\n"
    "\n"
    "  --rect XMIN YMIN XMAX YMAX  the rectangle (y grows upward)\n"
    "  (default)                   polylines: every visible piece on its own\n"
    "  --polygon                   polygons: the clipped outline of each, closing\n"
    "                              edge included\n"
    "  --open                      with --polygon: leave out the closing edge\n"
    "\n"
    "Lines starting with '#' are skipped.\n";

// Output of figures, a blank line between two of them.
class FigureWriter {
 public:
  void Write(const tagPOINT* points, std::size_t count) {
    if (count == 0) {
      return;
    }
    std::string text;
    if (written_) {
      text += "\n";
    }
    for (std::size_t i = 0; i < count; ++i) {
      text += std::to_string(static_cast<std::int32_t>(points[i].x)) + " " +
              std::to_string(static_cast<std::int32_t>(points[i].y)) + "\n";
    }
    Print(text);
    written_ = true;
  }

 private:
  bool written_ = false;
};

// Reads figures of integer points from source and hands each to use.
// Rejected lines are reported and left out; the figure goes on without them.
template <typename Use>
void ForEachFigure(LineSource& source, Use use) {
  std::vector<tagPOINT> figure;
  std::string line;
  std::string why;
  while (source.Next(line)) {
    if (IsComment(line)) {
      continue;
    }
    if (IsBlank(line)) {
      if (!figure.empty()) {
        use(figure);
        figure.clear();
      }
      continue;
    }
    const std::vector<std::string> fields = SplitFields(line);
    if (fields.size() != 2) {
      source.Reject("expected 2 integers (x y), got " + std::to_string(fields.size()));
      continue;
    }
    std::int32_t x = 0;
    std::int32_t y = 0;
    if (!ParseInt32(fields[0], x, why) || !ParseInt32(fields[1], y, why)) {
      source.Reject(why);
      continue;
    }
    tagPOINT p;
    p.x = x;
    p.y = y;
    figure.push_back(p);
  }
  if (!figure.empty()) {
    use(figure);
  }
}

}  // namespace

int RunSimplify(const std::vector<std::string>& args) {
  OptionReader reader("simplify", args);
  bool haveTolerance = false;
  bool haveManhattan = false;
  double tolerance = 0.0;
  std::int32_t manhattan = 0;
  std::vector<std::string> files;
  while (reader.Next()) {
    if (reader.Is("-h", "--help")) {
      std::fputs(simplifyHelp, stdout);
      return exitOk;
    }
    if (reader.Is("-t", "--tolerance")) {
      if (!reader.TakeDouble(tolerance)) {
        return exitUsage;
      }
      haveTolerance = true;
    } else if (reader.Is("-m", "--manhattan")) {
      if (!reader.TakeInt32(manhattan)) {
        return exitUsage;
      }
      haveManhattan = true;
    } else if (reader.IsOperand()) {
      files.push_back(reader.Current());
    } else {
      return reader.Unknown();
    }
  }
  if (haveTolerance == haveManhattan) {
    return reader.Usage("give exactly one of --tolerance and --manhattan");
  }
  const float toleranceF = static_cast<float>(tolerance);  // the library takes a float
  LineSource source("simplify", files);
  FigureWriter writer;
  ForEachFigure(source, [&](std::vector<tagPOINT>& points) {
    int kept = 0;
    const int count = static_cast<int>(points.size());
    if (haveTolerance) {
      PolySimplifyInt2D(toleranceF, points.data(), count, &kept);
    } else {
      PolySimplify(manhattan, points.data(), count, &kept);
    }
    writer.Write(points.data(), static_cast<std::size_t>(kept));
  });
  return source.HadErrors() ? exitBadInput : exitOk;
}

int RunClip(const std::vector<std::string>& args) {
  OptionReader reader("clip", args);
  bool haveRect = false;
  bool polygon = false;
  bool open = false;
  std::int32_t bounds[4] = {0, 0, 0, 0};
  std::vector<std::string> files;
  while (reader.Next()) {
    if (reader.Is("-h", "--help")) {
      std::fputs(clipHelp, stdout);
      return exitOk;
    }
    if (reader.Is("-r", "--rect")) {
      for (std::int32_t& bound : bounds) {
        if (!reader.TakeInt32(bound)) {
          return exitUsage;
        }
      }
      haveRect = true;
    } else if (reader.Is(nullptr, "--polygon")) {
      polygon = true;
    } else if (reader.Is(nullptr, "--open")) {
      open = true;
    } else if (reader.IsOperand()) {
      files.push_back(reader.Current());
    } else {
      return reader.Unknown();
    }
  }
  if (!haveRect) {
    return reader.Usage("--rect XMIN YMIN XMAX YMAX is required");
  }
  if (open && !polygon) {
    return reader.Usage("--open applies to --polygon only");
  }
  LineSource source("clip", files);
  FigureWriter writer;
  if (polygon) {
    ForEachFigure(source, [&](std::vector<tagPOINT>& points) {
      // Fresh each time: the library normalises the rectangle in place.
      tagRECT rect;
      rect.left = bounds[0];
      rect.bottom = bounds[1];
      rect.right = bounds[2];
      rect.top = bounds[3];
      // Each of the four edge stages passes on at most m + m / 2 of its m
      // points; 81 / 16 of the count, rounded up, bounds all four.
      const std::size_t room = (81 * points.size() + 15) / 16;
      std::vector<tagPOINT> out(room);
      const std::int32_t n = clipGraph(&rect, points.data(),
                                       static_cast<std::int32_t>(points.size()), out.data(),
                                       open ? 1 : 0);
      writer.Write(out.data(), static_cast<std::size_t>(n));
    });
  } else {
    tagPOINT lo;
    lo.x = bounds[0];
    lo.y = bounds[1];
    tagPOINT hi;
    hi.x = bounds[2];
    hi.y = bounds[3];
    ForEachFigure(source, [&](std::vector<tagPOINT>& points) {
      if (points.size() < 2) {
        return;
      }
      // Room the library asks for: 2 (n - 1) points and n - 1 piece totals.
      std::vector<tagPOINT> out(2 * (points.size() - 1));
      std::vector<int> totals(points.size() - 1);
      const int pieces = RectClipLine(points.data(), static_cast<int>(points.size()), out.data(),
                                      totals.data(), &lo, &hi);
      int begin = 0;
      for (int j = 0; j < pieces; ++j) {
        const int end = totals[static_cast<std::size_t>(j)];
        writer.Write(out.data() + begin, static_cast<std::size_t>(end - begin));
        begin = end;
      }
    });
  }
  return source.HadErrors() ? exitBadInput : exitOk;
}

}  // namespace cli
}  // namespace tarnutil
