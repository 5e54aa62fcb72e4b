// The GeoJSON and WKT side of lcc, simplify, clip and chain: given --format
// they read one document and write one, through geo_commands, instead of
// reading records line by line.
#ifndef TARNUTIL_TOOLS_GEO_CLI_H
#define TARNUTIL_TOOLS_GEO_CLI_H

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

#include "tools/geo_commands.h"
#include "tools/geo_io.h"

namespace tarnutil {
namespace cli {

// Declares --format geojson|wkt on a command; the options in `lineOnly`
// (long names) belong to the line-by-line form and are refused beside it.
// Returns the option, whose count() tells whether the document form runs.
CLI::Option* DeclareFormat(CLI::App& sub, std::string& format,
                           const std::vector<std::string>& lineOnly);

// Runs command on the one document in files (none or "-": standard input)
// in the named format and writes the result in the same format to output
// (empty: standard output); nothing is written when the input is refused.
int RunGeoCommand(const char* command, const std::string& format,
                  const std::vector<std::string>& files, const std::string& output,
                  const std::function<geo::GeoResult(const geo::FeatureCollection&)>& run);

// The whole text of a document ('-' or empty: standard input); false with
// why set when it cannot be read.
bool ReadDocumentText(const std::string& path, std::string& text, std::string& why);

}  // namespace cli
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_GEO_CLI_H
