// lcc and rhumb: the projection and the rhumb line over lines of numbers.
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/commands.h"

namespace tarnutil {
namespace cli {

namespace {

// The library takes positions in 1/86400 degree; the tool reads degrees
// unless told otherwise.
constexpr double unitsPerDegree = 86400.0;

const char lccHelp[] =
    "usage: tarnutil lcc [-i] [-u] [-p N] [FILE...]\n"
    "\n"
    "Lambert conformal conic projection (standard parallels 25N and 47N, origin\n"
    "18N 104E, no false easting or northing), one position per line.\n"
    "Forward: \"lon lat\" in degrees to \"x y\" in metres (x east, y north).\n"
    "\n"
    "  -i, --inverse  read \"x y\" in metres, write \"lon lat\"\n"
    "  -u, --units    longitude and latitude in 1/86400 degree instead of degrees\n"
    "  -p N           print N decimals instead of the shortest exact form\n"
    "\n"
    "Blank lines and lines starting with '#' are skipped.\n"
    "Example: echo '110 30' | tarnutil lcc -p 4   prints   571250.7147 1353621.3719\n";

const char rhumbHelp[] =
    "usage: tarnutil rhumb [-u] [-p N] [FILE...]\n"
    "\n"
    "Rhumb line on the Krasovsky 1940 ellipsoid: \"lon1 lat1 lon2 lat2\" in degrees\n"
    "per line to \"bearing distance\": the bearing in degrees clockwise from north,\n"
    "after the library's tenths rule (a tenths digit of 6 or more adds 1), and the\n"
    "length in metres. Longitudes are not wrapped across 180 degrees.\n"
    "\n"
    "  -u, --units    positions in 1/86400 degree instead of degrees\n"
    "  -p N           print N decimals instead of the shortest exact form\n"
    "\n"
    "Blank lines and lines starting with '#' are skipped.\n"
    "Example: echo '116 39 117 40' | tarnutil rhumb -p 4   prints   38.7648 140446.0632\n";

struct GeodesyOptions {
  bool inverse = false;
  bool units = false;
  NumberFormat format;
  std::vector<std::string> files;
};

// Reads the options both commands share; returns -1 to go on, or the exit
// status to stop with.
int ReadOptions(OptionReader& reader, const char* help, bool allowInverse,
                GeodesyOptions& options) {
  while (reader.Next()) {
    if (reader.Is("-h", "--help")) {
      std::fputs(help, stdout);
      return exitOk;
    }
    if (allowInverse && reader.Is("-i", "--inverse")) {
      options.inverse = true;
    } else if (reader.Is("-u", "--units")) {
      options.units = true;
    } else if (reader.Is("-p", "--precision")) {
      if (!reader.TakeDecimals(options.format)) {
        return exitUsage;
      }
    } else if (reader.IsOperand()) {
      options.files.push_back(reader.Current());
    } else {
      return reader.Unknown();
    }
  }
  return -1;
}

// Reads records of `fields` numbers from the options' inputs and prints two
// numbers for each; a bad record, or one whose result is not finite (the
// pole, a latitude past 90 degrees), is reported and skipped.
template <typename Compute>
int RunRecords(const char* command, const GeodesyOptions& options, std::size_t fields,
               const char* names, Compute compute) {
  LineSource source(command, options.files);
  std::string line;
  std::string why;
  std::vector<double> v;
  while (source.Next(line)) {
    if (IsBlank(line) || IsComment(line)) {
      continue;
    }
    if (!ParseDoubles(line, fields, names, v, why)) {
      source.Reject(why);
      continue;
    }
    double a = 0.0;
    double b = 0.0;
    compute(v, a, b);
    if (!std::isfinite(a) || !std::isfinite(b)) {
      source.Reject("outside the domain: the result is not a finite number");
      continue;
    }
    Print(options.format.Format(a) + " " + options.format.Format(b) + "\n");
  }
  return source.HadErrors() ? exitBadInput : exitOk;
}

}  // namespace

int RunLcc(const std::vector<std::string>& args) {
  OptionReader reader("lcc", args);
  GeodesyOptions options;
  const int stop = ReadOptions(reader, lccHelp, true, options);
  if (stop >= 0) {
    return stop;
  }
  const double scale = options.units ? 1.0 : unitsPerDegree;
  const bool inverse = options.inverse;
  return RunRecords("lcc", options, 2, inverse ? "x y" : "lon lat",
                    [scale, inverse](const std::vector<double>& v, double& a, double& b) {
                      if (inverse) {
                        Lambert_Projct_XY2LL(v[0], v[1], a, b);
                        a /= scale;
                        b /= scale;
                      } else {
                        Lambert_Projct_LL2XY(v[0] * scale, v[1] * scale, a, b);
                      }
                    });
}

int RunRhumb(const std::vector<std::string>& args) {
  OptionReader reader("rhumb", args);
  GeodesyOptions options;
  const int stop = ReadOptions(reader, rhumbHelp, false, options);
  if (stop >= 0) {
    return stop;
  }
  const double scale = options.units ? 1.0 : unitsPerDegree;
  return RunRecords("rhumb", options, 4, "lon1 lat1 lon2 lat2",
                    [scale](const std::vector<double>& v, double& bearing, double& distance) {
                      LLDistance(v[0] * scale, v[1] * scale, v[2] * scale, v[3] * scale,
                                 &bearing, &distance);
                    });
}

}  // namespace cli
}  // namespace tarnutil
