// The command-line side of GeoJSON and WKT: lcc, simplify, clip and chain
// given --format read one document and write one, through geo_commands.
// Kept apart from the line-by-line commands so that both can change alone.
#include "tools/geo_cli.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/geo_commands.h"
#include "tools/geo_io.h"

namespace tarnutil {
namespace cli {

namespace {

const char geoHelp[] =
    "usage: tarnutil COMMAND --format geojson|wkt [OPTIONS] [FILE]\n"
    "\n"
    "Reads one GeoJSON document (FeatureCollection, Feature or geometry) or WKT\n"
    "text (one geometry per line) from FILE or standard input, and writes the\n"
    "result in the same format to standard output (or --out FILE). A malformed\n"
    "document is an error naming the place; nothing is then written.\n"
    "\n"
    "  lcc [-i]                         project longitude/latitude in degrees to\n"
    "                                   metres (GeoJSON output names the projection\n"
    "                                   in a \"crs\" member); -i the inverse\n"
    "  simplify (--tolerance T | --manhattan N)\n"
    "  clip --rect XMIN YMIN XMAX YMAX [--valid]\n"
    "                                   one ring out per ring in (zero-width bridges\n"
    "                                   where the rectangle cuts a figure into\n"
    "                                   parts); --valid splits them into valid\n"
    "                                   polygons\n"
    "  chain [--by PROPERTY] [--scale S]\n"
    "                                   joins line strings whose end positions are\n"
    "                                   equal after scaling by S (default 1) and\n"
    "                                   rounding, chaining only within equal values\n"
    "                                   of PROPERTY\n"
    "\n"
    "simplify, clip and chain work in 32-bit integers: other coordinates are\n"
    "rounded to the nearest, halves away from zero, and counted in a warning.\n";

bool ReadAll(const std::string& path, std::string& text) {
  if (path.empty() || path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

}  // namespace

bool IsGeoInvocation(const std::string& command, const std::vector<std::string>& args) {
  if (command != "lcc" && command != "simplify" && command != "clip" && command != "chain") {
    return false;
  }
  for (const std::string& a : args) {
    if (a == "--format" || a.rfind("--format=", 0) == 0) {
      return true;
    }
  }
  return false;
}

int RunGeoCommand(const std::string& command, const std::vector<std::string>& args) {
  OptionReader reader(command.c_str(), args);
  std::string formatName;
  std::string outPath;
  std::string file;
  geo::LccOptions lcc;
  geo::SimplifyOptions simplify;
  geo::ClipOptions clip;
  geo::ChainOptions chain;
  bool haveTolerance = false;
  bool haveManhattan = false;
  bool haveRect = false;
  while (reader.Next()) {
    const std::string& arg = reader.Current();
    if (reader.Is("-h", "--help")) {
      std::fputs(geoHelp, stdout);
      return exitOk;
    }
    if (arg.rfind("--format=", 0) == 0) {
      formatName = arg.substr(9);
    } else if (reader.Is(nullptr, "--format")) {
      if (!reader.TakeString(formatName)) {
        return exitUsage;
      }
    } else if (reader.Is("-o", "--out")) {
      if (!reader.TakeString(outPath)) {
        return exitUsage;
      }
    } else if (command == "lcc" && reader.Is("-i", "--inverse")) {
      lcc.inverse = true;
    } else if (command == "simplify" && reader.Is("-t", "--tolerance")) {
      double t = 0.0;
      if (!reader.TakeDouble(t)) {
        return exitUsage;
      }
      simplify.tolerance = static_cast<float>(t);  // the library takes a float
      haveTolerance = true;
    } else if (command == "simplify" && reader.Is("-m", "--manhattan")) {
      if (!reader.TakeInt32(simplify.manhattanDistance)) {
        return exitUsage;
      }
      simplify.manhattan = true;
      haveManhattan = true;
    } else if (command == "clip" && reader.Is("-r", "--rect")) {
      if (!reader.TakeInt32(clip.xmin) || !reader.TakeInt32(clip.ymin) ||
          !reader.TakeInt32(clip.xmax) || !reader.TakeInt32(clip.ymax)) {
        return exitUsage;
      }
      haveRect = true;
    } else if (command == "clip" && reader.Is(nullptr, "--valid")) {
      clip.valid = true;
    } else if (command == "chain" && reader.Is(nullptr, "--by")) {
      if (!reader.TakeString(chain.groupBy)) {
        return exitUsage;
      }
    } else if (command == "chain" && reader.Is(nullptr, "--scale")) {
      if (!reader.TakeDouble(chain.scale)) {
        return exitUsage;
      }
    } else if (reader.IsOperand()) {
      if (!file.empty()) {
        return reader.Usage("--format reads one document");
      }
      file = arg;
    } else {
      return reader.Unknown();
    }
  }
  geo::Format format = geo::Format::GeoJson;
  if (formatName == "wkt") {
    format = geo::Format::Wkt;
  } else if (formatName != "geojson") {
    return reader.Usage("--format takes geojson or wkt");
  }
  if (command == "simplify" && haveTolerance == haveManhattan) {
    return reader.Usage("give exactly one of --tolerance and --manhattan");
  }
  if (command == "clip" && !haveRect) {
    return reader.Usage("--rect XMIN YMIN XMAX YMAX is required");
  }
  std::string text;
  if (!ReadAll(file, text)) {
    std::cerr << "tarnutil " << command << ": cannot read " << file << "\n";
    return exitBadInput;
  }
  geo::FeatureCollection in;
  std::string error;
  if (!geo::ReadDocument(format, text, in, error)) {
    std::cerr << "tarnutil " << command << ": " << (file.empty() ? "" : file + ": ") << error
              << "\n";
    return exitBadInput;
  }
  geo::GeoResult result;
  if (command == "lcc") {
    result = geo::RunLccOn(in, lcc);
  } else if (command == "simplify") {
    result = geo::RunSimplifyOn(in, simplify);
  } else if (command == "clip") {
    result = geo::RunClipOn(in, clip);
  } else {
    result = geo::RunChainOn(in, chain);
  }
  for (const std::string& w : result.warnings) {
    std::cerr << w << "\n";
  }
  if (!result.ok) {
    std::cerr << "tarnutil " << command << ": " << result.error << "\n";
    return exitBadInput;
  }
  const std::string out = geo::WriteDocument(format, result.output);
  if (outPath.empty()) {
    Print(out);
    return exitOk;
  }
  std::ofstream file_out(outPath, std::ios::binary);
  file_out << out;
  if (!file_out.flush()) {
    std::cerr << "tarnutil " << command << ": cannot write " << outPath << "\n";
    return exitBadInput;
  }
  return exitOk;
}

}  // namespace cli
}  // namespace tarnutil
