// The subcommands of the tarnutil tool. Each Declare function adds its
// options to the subcommand it is given, once, from which CLI11 builds the
// help, the man page and the parser, and returns how to run it.
#ifndef TARNUTIL_TOOLS_COMMANDS_H
#define TARNUTIL_TOOLS_COMMANDS_H

#include <tarnutil/tarnutil.h>

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

namespace tarnutil {
namespace cli {

struct Command {
  // Runs the command after the parse; returns the process exit status.
  std::function<int()> run;
  // Where operands after "--" go (file names that start with '-'); null
  // when the command takes none.
  std::vector<std::string>* operands = nullptr;
};

using Declare = Command (*)(CLI::App& sub);

Command DeclareLcc(CLI::App& sub);
Command DeclareRhumb(CLI::App& sub);
Command DeclareSimplify(CLI::App& sub);
Command DeclareClip(CLI::App& sub);
Command DeclareChain(CLI::App& sub);
Command DeclareBmp(CLI::App& sub);
Command DeclareDemo(CLI::App& sub);
Command DeclareMap(CLI::App& sub);

// Options of the commands that read records from files: the files, -o, and
// the bad-row conventions -e and -E.
struct InputOptions {
  std::vector<std::string> files;
  std::string output;
  // -e: printed in place of the row of a bad input line, so that output
  // rows stay aligned with input rows.
  std::string placeholder;
  bool havePlaceholder = false;
  // -E: each output row starts with the input columns it came from.
  bool echo = false;
};
void DeclareInput(CLI::App& sub, InputOptions& options, bool rows);

// -p N: decimals from 0 to 17 instead of the shortest round-trip form.
void DeclarePrecision(CLI::App& sub, int& decimals);

// Validators through the tool's own parsers, so options read numbers
// exactly as input lines do (no hex, no inf, no junk).
CLI::Validator NumberCheck();
CLI::Validator Int32Check();

// Opens the -o file; false after reporting the failure.
bool OpenOutputFor(const char* command, const InputOptions& options);
// The status a record command ends with: bad input, or a failed write.
int FinishStatus(const char* command, bool hadErrors);

// Loads the bitmap file at path through CDIB and compares size, depth and
// every pixel with dib: the demo's and the map's check of what they wrote.
bool ReadsBackTheSame(const CDIB& dib, const std::string& path);

}  // namespace cli
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_COMMANDS_H
