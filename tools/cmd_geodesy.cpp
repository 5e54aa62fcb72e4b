// lcc and rhumb: the projection and the rhumb line over lines of numbers.
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstddef>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/cli_support.h"
#include "tools/commands.h"
#include "tools/geo_cli.h"

namespace tarnutil {
namespace cli {

namespace {

// The library takes positions in 1/86400 degree; the tool reads degrees
// unless told otherwise.
constexpr double unitsPerDegree = 86400.0;
constexpr double maxLatitude = 90.0;
constexpr double maxLongitude = 180.0;
// Seconds' decimals of --dms output when -p does not say.
constexpr int defaultDmsDecimals = 4;

const char inputForms[] =
    "Input: one record per line, fields separated by spaces, tabs or a comma;\n"
    "blank lines, a byte-order mark and '#' comments are skipped, and text after\n"
    "the needed columns is copied to the end of the output row. Angles are\n"
    "decimal degrees or degrees, minutes and seconds with a sign or hemisphere\n"
    "letter: 110d30'15\"E, 30°15′N, 104.5E, -30:15:00. Longitudes and latitudes\n"
    "are taken on the ellipsoid of the computation, unshifted (no datum change).\n";

const char lccFooter[] =
    "Lambert conformal conic projection, standard parallels 25N and 47N, origin\n"
    "18N 104E, no false easting or northing, on the ellipsoid a = 6378137 m,\n"
    "e = 0.081819191 (1/f = 298.257222413682; not Krasovsky). As PROJ writes it:\n"
    "  +proj=lcc +lat_1=25 +lat_2=47 +lat_0=18 +lon_0=104 +a=6378137 +e=0.081819191\n"
    "and as WKT2:\n"
    "  PROJCRS[\"TarnUtil Lambert\",BASEGEOGCRS[\"unknown\",DATUM[\"unknown\",\n"
    "   ELLIPSOID[\"unknown\",6378137,298.257222413682,LENGTHUNIT[\"metre\",1]]],\n"
    "   PRIMEM[\"Greenwich\",0,ANGLEUNIT[\"degree\",0.0174532925199433]]],\n"
    "   CONVERSION[\"unknown\",METHOD[\"Lambert Conic Conformal (2SP)\",ID[\"EPSG\",9802]],\n"
    "   PARAMETER[\"Latitude of false origin\",18,ANGLEUNIT[\"degree\",0.0174532925199433]],\n"
    "   PARAMETER[\"Longitude of false origin\",104,ANGLEUNIT[\"degree\",0.0174532925199433]],\n"
    "   PARAMETER[\"Latitude of 1st standard "
    "parallel\",25,ANGLEUNIT[\"degree\",0.0174532925199433]],\n"
    "   PARAMETER[\"Latitude of 2nd standard "
    "parallel\",47,ANGLEUNIT[\"degree\",0.0174532925199433]],\n"
    "   PARAMETER[\"Easting at false origin\",0,LENGTHUNIT[\"metre\",1]],\n"
    "   PARAMETER[\"Northing at false origin\",0,LENGTHUNIT[\"metre\",1]]],\n"
    "   CS[Cartesian,2],AXIS[\"(E)\",east,ORDER[1],LENGTHUNIT[\"metre\",1]],\n"
    "   AXIS[\"(N)\",north,ORDER[2],LENGTHUNIT[\"metre\",1]]]\n"
    "Forward: \"lon lat\" in degrees to \"x y\" in metres (x east, y north);\n"
    "-i reads \"x y\" and writes \"lon lat\". A latitude outside 90 degrees or a\n"
    "longitude outside 180, or a result that is not finite (the pole, the\n"
    "inverse's apex), is a bad row.\n"
    "With --format geojson|wkt: one GeoJSON document (FeatureCollection, Feature\n"
    "or geometry) or WKT text (one geometry per line) in, projected in the same\n"
    "format out; GeoJSON output names the projection in a \"crs\" member, which\n"
    "-i removes.\n";

const char lccExample[] =
    "Example: echo '110 30' | tarnutil lcc -p 4   prints   571250.7147 1353621.3719\n"
    "Example: echo '110d30E, 30N Chengdu' | tarnutil lcc -p 1   prints   618786.2 1356692.9 "
    "Chengdu";

const char rhumbFooter[] =
    "Rhumb line on the Krasovsky 1940 ellipsoid (a = 6378245 m, 1/f = 298.3):\n"
    "\"lon1 lat1 lon2 lat2\" in degrees per line to \"bearing distance\": the\n"
    "bearing in degrees clockwise from north, after the library's tenths rule (a\n"
    "tenths digit of 6 or more adds 1), and the length in metres. Longitudes are\n"
    "not wrapped across 180 degrees.\n";

const char rhumbExample[] =
    "Example: echo '116 39 117 40' | tarnutil rhumb -p 4   prints   38.7648 140446.0632";

struct GeodesyOptions {
  InputOptions input;
  int decimals = -1;
  bool inverse = false;
  bool units = false;
  bool latFirst = false;
  bool dms = false;
  std::string format;
};

// One position's longitude and latitude from two fields: in the order the
// options say, or as hemisphere letters name them; false with why.
bool ReadPosition(const std::string& a, const std::string& b, const GeodesyOptions& options,
                  double& lon, double& lat, std::string& why) {
  if (options.units) {
    if (!ParseDouble(a, lon, why) || !ParseDouble(b, lat, why)) {
      return false;
    }
    if (options.latFirst) {
      std::swap(lon, lat);
    }
    return true;
  }
  double first = 0.0;
  double second = 0.0;
  Axis firstAxis = Axis::none;
  Axis secondAxis = Axis::none;
  if (!ParseAngle(a, first, firstAxis, why) || !ParseAngle(b, second, secondAxis, why)) {
    return false;
  }
  if (firstAxis != Axis::none && firstAxis == secondAxis) {
    why = "both " + Quote(a) + " and " + Quote(b) + " name the same axis";
    return false;
  }
  bool swapped = options.latFirst;
  if (firstAxis == Axis::latitude || secondAxis == Axis::longitude) {
    swapped = true;
  } else if (firstAxis == Axis::longitude || secondAxis == Axis::latitude) {
    swapped = false;
  }
  lon = swapped ? second : first;
  lat = swapped ? first : second;
  return true;
}

// Whether a longitude and latitude in degrees lie on the globe; the message
// suggests the usual cause, a lat-lon file read as lon-lat.
bool OnTheGlobe(double lon, double lat, const NumberFormat& shortest, std::string& why) {
  if (std::fabs(lat) > maxLatitude) {
    why = "latitude " + shortest.Format(lat) +
          " is outside -90 to 90; if the data is \"lat lon\", give --lat-first";
    return false;
  }
  if (std::fabs(lon) > maxLongitude) {
    why = "longitude " + shortest.Format(lon) + " is outside -180 to 180";
    return false;
  }
  return true;
}

// Reads records of `count` columns from the options' inputs and prints what
// compute makes of each; compute returns false with why for a bad row. Bad
// rows are reported, and printed as the -e placeholder when there is one.
template <typename Compute>
int RunRecords(const char* command, const GeodesyOptions& options, std::size_t count,
               const char* layout, Compute compute) {
  if (!OpenOutputFor(command, options.input)) {
    return exitBadInput;
  }
  LineSource source(command, options.input.files);
  std::string line;
  std::string why;
  std::string row;
  Record record;
  while (source.Next(line)) {
    if (source.TooLong()) {
      why = "the line is longer than " + std::to_string(maxLineBytes) + " bytes";
    } else if (IsBlank(line) || IsComment(line)) {
      continue;
    } else if (!SplitRecord(line, count, layout, record, why)) {
      // Keep why.
    } else {
      row.clear();
      if (options.input.echo) {
        for (const std::string& field : record.fields) {
          row += field + " ";
        }
      }
      const bool firstRecord = source.FirstRecord();
      source.SawRecord();
      if (compute(record.fields, row, why)) {
        if (!record.trailing.empty()) {
          row += " " + record.trailing;
        }
        Print(row + "\n");
        continue;
      }
      const char c = record.fields[0][0];
      if (firstRecord && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
        why += "; a header line? start it with '#'";
      }
    }
    source.Reject(why);
    if (options.input.havePlaceholder) {
      Print(options.input.placeholder + "\n");
    }
  }
  return FinishStatus(command, source.HadErrors());
}

void DeclareShared(CLI::App& sub, GeodesyOptions& options) {
  DeclareInput(sub, options.input, true);
  DeclarePrecision(sub, options.decimals);
  sub.add_flag("-u,--units", options.units,
               "longitudes and latitudes in 1/86400 degree instead of degrees");
  sub.add_flag("--lat-first", options.latFirst, "positions are \"lat lon\" instead of \"lon lat\"");
}

}  // namespace

Command DeclareLcc(CLI::App& sub) {
  auto options = std::make_shared<GeodesyOptions>();
  sub.footer(std::string(lccFooter) + inputForms + lccExample);
  sub.add_flag("-i,--inverse", options->inverse, "read \"x y\" in metres, write \"lon lat\"");
  DeclareShared(sub, *options);
  sub.add_flag("--dms", options->dms,
               "with -i: write degrees, minutes and seconds with hemisphere letters");
  CLI::Option* formatOption =
      DeclareFormat(sub, options->format,
                    {"--error-row", "--echo", "--precision", "--units", "--lat-first", "--dms"});
  Command command;
  command.operands = &options->input.files;
  command.run = [options, formatOption]() -> int {
    const GeodesyOptions& o = *options;
    if (formatOption->count() > 0) {
      geo::LccOptions lcc;
      lcc.inverse = o.inverse;
      return RunGeoCommand(
          "lcc", o.format, o.input.files, o.input.output,
          [&lcc](const geo::FeatureCollection& in) { return geo::RunLccOn(in, lcc); });
    }
    NumberFormat format;
    format.SetDecimals(o.decimals);
    const NumberFormat shortest;
    const double scale = o.units ? 1.0 : unitsPerDegree;
    if (o.dms && (!o.inverse || o.units)) {
      std::cerr << "tarnutil lcc: --dms goes with -i and degrees (try 'tarnutil lcc --help')\n";
      return exitUsage;
    }
    const auto compute = [&](const std::vector<std::string>& f, std::string& row,
                             std::string& why) {
      double a = 0.0;
      double b = 0.0;
      if (o.inverse) {
        double x = 0.0;
        double y = 0.0;
        if (!ParseDouble(f[0], x, why) || !ParseDouble(f[1], y, why)) {
          return false;
        }
        Lambert_Projct_XY2LL(x, y, a, b);
        a /= scale;
        b /= scale;
      } else {
        double lon = 0.0;
        double lat = 0.0;
        if (!ReadPosition(f[0], f[1], o, lon, lat, why) ||
            !OnTheGlobe(lon * scale / unitsPerDegree, lat * scale / unitsPerDegree, shortest,
                        why)) {
          return false;
        }
        Lambert_Projct_LL2XY(lon * scale, lat * scale, a, b);
      }
      if (!std::isfinite(a) || !std::isfinite(b)) {
        why = "outside the projection's domain: the result is not finite";
        return false;
      }
      if (o.dms) {
        const int decimals = o.decimals >= 0 ? o.decimals : defaultDmsDecimals;
        row +=
            FormatDms(a, Axis::longitude, decimals) + " " + FormatDms(b, Axis::latitude, decimals);
      } else {
        row += format.Format(a) + " " + format.Format(b);
      }
      return true;
    };
    return RunRecords("lcc", o, 2, o.inverse ? "x y" : (o.latFirst ? "lat lon" : "lon lat"),
                      compute);
  };
  return command;
}

Command DeclareRhumb(CLI::App& sub) {
  auto options = std::make_shared<GeodesyOptions>();
  sub.footer(std::string(rhumbFooter) + inputForms + rhumbExample);
  DeclareShared(sub, *options);
  Command command;
  command.operands = &options->input.files;
  command.run = [options]() -> int {
    const GeodesyOptions& o = *options;
    NumberFormat format;
    format.SetDecimals(o.decimals);
    const NumberFormat shortest;
    const double scale = o.units ? 1.0 : unitsPerDegree;
    const auto compute = [&](const std::vector<std::string>& f, std::string& row,
                             std::string& why) {
      double lon1 = 0.0;
      double lat1 = 0.0;
      double lon2 = 0.0;
      double lat2 = 0.0;
      if (!ReadPosition(f[0], f[1], o, lon1, lat1, why) ||
          !ReadPosition(f[2], f[3], o, lon2, lat2, why) ||
          !OnTheGlobe(lon1 * scale / unitsPerDegree, lat1 * scale / unitsPerDegree, shortest,
                      why) ||
          !OnTheGlobe(lon2 * scale / unitsPerDegree, lat2 * scale / unitsPerDegree, shortest,
                      why)) {
        return false;
      }
      double bearing = 0.0;
      double distance = 0.0;
      LLDistance(lon1 * scale, lat1 * scale, lon2 * scale, lat2 * scale, &bearing, &distance);
      if (!std::isfinite(bearing) || !std::isfinite(distance)) {
        why = "outside the rhumb line's domain: the result is not finite";
        return false;
      }
      row += format.Format(bearing) + " " + format.Format(distance);
      return true;
    };
    return RunRecords("rhumb", o, 4, o.latFirst ? "lat1 lon1 lat2 lon2" : "lon1 lat1 lon2 lat2",
                      compute);
  };
  return command;
}

}  // namespace cli
}  // namespace tarnutil
