// The command-line side of GeoJSON and WKT: lcc, simplify, clip and chain
// given --format read one document and write one, through geo_commands.
#include "tools/geo_cli.h"

#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/commands.h"

namespace tarnutil {
namespace cli {

// The whole document: parsers need it at once, and the error places they
// report are bytes and lines of it.
bool ReadDocumentText(const std::string& path, std::string& text, std::string& why) {
  if (path.empty() || path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  std::unique_ptr<std::istream> in = OpenInput(path, why);
  if (!in) {
    return false;
  }
  std::ostringstream buffer;
  buffer << in->rdbuf();
  if (in->bad()) {
    why = "cannot read " + path;
    return false;
  }
  text = buffer.str();
  return true;
}

CLI::Option* DeclareFormat(CLI::App& sub, std::string& format,
                           const std::vector<std::string>& lineOnly) {
  CLI::Option* option =
      sub.add_option("--format", format,
                     "read one GeoJSON or WKT document (one file or standard input) and write "
                     "the result in the same format")
          ->type_name("geojson|wkt")
          ->check(CLI::Validator(
              [](std::string& text) {
                return text == "geojson" || text == "wkt" ? std::string()
                                                          : std::string("takes geojson or wkt");
              },
              ""));
  for (const std::string& name : lineOnly) {
    option->excludes(sub.get_option(name));
  }
  return option;
}

int RunGeoCommand(const char* command, const std::string& format,
                  const std::vector<std::string>& files, const std::string& output,
                  const std::function<geo::GeoResult(const geo::FeatureCollection&)>& run) {
  if (files.size() > 1) {
    std::cerr << "tarnutil " << command << ": --format reads one document (try 'tarnutil "
              << command << " --help')\n";
    return exitUsage;
  }
  const std::string file = files.empty() ? std::string() : files.front();
  const geo::Format kind = format == "wkt" ? geo::Format::Wkt : geo::Format::GeoJson;
  std::string text;
  std::string why;
  if (!ReadDocumentText(file, text, why)) {
    std::cerr << "tarnutil " << command << ": " << why << "\n";
    return exitBadInput;
  }
  geo::FeatureCollection in;
  std::string error;
  if (!geo::ReadDocument(kind, text, in, error)) {
    const bool named = !file.empty() && file != "-";
    std::cerr << "tarnutil " << command << ": " << (named ? file + ": " : "") << error << "\n";
    return exitBadInput;
  }
  const geo::GeoResult result = run(in);
  for (const std::string& w : result.warnings) {
    std::cerr << w << "\n";
  }
  if (!result.ok) {
    std::cerr << "tarnutil " << command << ": " << result.error << "\n";
    return exitBadInput;
  }
  // Only now, so that a refused document leaves no half-written file.
  if (!OpenOutput(output, why)) {
    std::cerr << "tarnutil " << command << ": " << why << "\n";
    return exitBadInput;
  }
  Print(geo::WriteDocument(kind, result.output));
  return FinishStatus(command, false);
}

}  // namespace cli
}  // namespace tarnutil
