// tarnutil: the library's exports from the command line, one subcommand per
// family, reading one record per line and writing one result per line.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/commands.h"
#include "tools/geo_cli.h"

namespace {

using Runner = int (*)(const std::vector<std::string>&);

struct Subcommand {
  const char* name;
  Runner run;
  const char* summary;
};

const Subcommand subcommands[] = {
    {"lcc", tarnutil::cli::RunLcc, "Lambert projection of \"lon lat\" lines, -i for the inverse"},
    {"rhumb", tarnutil::cli::RunRhumb, "rhumb-line bearing and length of \"lon1 lat1 lon2 lat2\""},
    {"simplify", tarnutil::cli::RunSimplify, "thin polylines (--tolerance T or --manhattan N)"},
    {"clip", tarnutil::cli::RunClip, "clip polylines or polygons (--polygon) to --rect"},
    {"chain", tarnutil::cli::RunChain, "chain road links \"id startA startB endA endB\" into lines"},
    {"bmp", tarnutil::cli::RunBmp, "bitmap file facts (bmp info FILE) and pixels (bmp pixel)"},
    {"demo", tarnutil::cli::RunDemo, "draw the demonstration map and print its report"},
    {"map", tarnutil::cli::RunMap, "draw GeoJSON layers into a bitmap and print a report"},
};

void PrintOverview(std::FILE* to) {
  std::fputs(
      "usage: tarnutil COMMAND [OPTIONS] [FILE...]\n"
      "\n"
      "Reads one record per line from the files or standard input and writes one\n"
      "result per line. A bad line is reported on standard error as \"line N: ...\";\n"
      "the others are still processed, and the exit status is then 1.\n"
      "\n"
      "Commands:\n",
      to);
  for (const Subcommand& sub : subcommands) {
    std::fprintf(to, "  %-9s %s\n", sub.name, sub.summary);
  }
  std::fputs("\n'tarnutil COMMAND --help' describes a command.\n", to);
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  if (argc < 2) {
    PrintOverview(stderr);
    return tarnutil::cli::exitUsage;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintOverview(stdout);
    return tarnutil::cli::exitOk;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  // GeoJSON and WKT documents (--format) take their own path.
  if (tarnutil::cli::IsGeoInvocation(name, args)) {
    const int status = tarnutil::cli::RunGeoCommand(name, args);
    std::fflush(stdout);
    return status;
  }
  for (const Subcommand& sub : subcommands) {
    if (name == sub.name) {
      const int status = sub.run(args);
      std::fflush(stdout);
      return status;
    }
  }
  std::cerr << "tarnutil: unknown command '" << name << "' (try 'tarnutil --help')\n";
  return tarnutil::cli::exitUsage;
}
