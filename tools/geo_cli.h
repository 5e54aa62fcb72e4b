// Entry points of the GeoJSON and WKT side of the tool, separate from the
// line-by-line commands in commands.h.
#ifndef TARNUTIL_TOOLS_GEO_CLI_H
#define TARNUTIL_TOOLS_GEO_CLI_H

#include <string>
#include <vector>

namespace tarnutil {
namespace cli {

// lcc, simplify, clip or chain given --format: one document in, one out.
bool IsGeoInvocation(const std::string& command, const std::vector<std::string>& args);
int RunGeoCommand(const std::string& command, const std::vector<std::string>& args);

// map: GeoJSON layers drawn into a bitmap.
int RunMap(const std::vector<std::string>& args);

}  // namespace cli
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_GEO_CLI_H
