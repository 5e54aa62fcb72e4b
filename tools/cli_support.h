// Plumbing shared by the subcommands of the tarnutil tool: option scanning,
// numbered input lines with error reports, and number parsing and printing.
#ifndef TARNUTIL_TOOLS_CLI_SUPPORT_H
#define TARNUTIL_TOOLS_CLI_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace tarnutil {
namespace cli {

// Exit statuses: every input line was used; some line or file was rejected;
// the command line itself was wrong.
constexpr int exitOk = 0;
constexpr int exitBadInput = 1;
constexpr int exitUsage = 2;

// How doubles are printed: the shortest form that reads back to the same
// double, or a fixed number of decimals.
class NumberFormat {
 public:
  // A negative count selects the round-trip form.
  void SetDecimals(int decimals) { decimals_ = decimals; }
  std::string Format(double value) const;

 private:
  int decimals_ = -1;
};

// Walks the arguments of one subcommand. Options may come in any order
// before, between or after the operands; "--" ends the options.
class OptionReader {
 public:
  OptionReader(const char* command, std::vector<std::string> args);

  // Moves to the next argument; false when none is left.
  bool Next();
  // The current argument is the option named shortName or longName.
  bool Is(const char* shortName, const char* longName) const;
  // The current argument is an operand (a file name, "-" for standard
  // input, or a negative number), not an option.
  bool IsOperand() const;
  const std::string& Current() const { return args_[pos_]; }

  // Takes the argument after the current option as a value; a missing or
  // malformed value prints a usage error and gives false.
  bool TakeString(std::string& text);
  bool TakeDouble(double& value);
  bool TakeInt32(std::int32_t& value);
  // -p N: decimals from 0 to 17.
  bool TakeDecimals(NumberFormat& format);

  // Prints "tarnutil COMMAND: message" and a hint to --help on standard
  // error; returns exitUsage for the caller to pass on.
  int Usage(const std::string& message) const;
  // Usage error for the current argument, which no branch took.
  int Unknown() const;

 private:
  const char* command_;
  std::vector<std::string> args_;
  // The option whose values are being taken, for messages.
  std::string option_;
  std::size_t pos_;
  bool started_;
  bool optionsEnded_;
};

// Input lines from a list of files (standard input when the list is empty
// or holds "-"), numbered from 1 in each file. A rejected line is reported as
// "line N: what is wrong" (with "FILE: " in front for a named file) and
// remembered, so that the command can end with a failing status.
class LineSource {
 public:
  LineSource(const char* command, std::vector<std::string> paths);

  // Next line without its end-of-line characters; false after the last
  // line of the last file. A file that cannot be opened is reported and
  // skipped. Crossing into the next file counts as a blank line between, so
  // records that blank lines separate never run across files.
  bool Next(std::string& line);
  // Reports the current line as rejected.
  void Reject(const std::string& what);
  // Whether any line or file was rejected so far.
  bool HadErrors() const { return errors_; }

 private:
  bool OpenNext();

  const char* command_;
  std::vector<std::string> paths_;
  std::size_t nextPath_;
  std::string currentName_;
  std::ifstream file_;
  bool usingStdin_;
  bool open_;
  bool pendingBreak_;
  long lineNumber_;
  bool errors_;
};

// Splits at spaces and tabs.
std::vector<std::string> SplitFields(const std::string& line);

// Blank (only spaces and tabs) or a comment (first visible character '#').
bool IsBlank(const std::string& line);
bool IsComment(const std::string& line);

// Whole-field parsers. On failure they leave value unchanged and write a
// short reason ("'abc' is not a number") to why.
bool ParseDouble(const std::string& field, double& value, std::string& why);
bool ParseInt32(const std::string& field, std::int32_t& value, std::string& why);
bool ParseUint32(const std::string& field, std::uint32_t& value, std::string& why);

// Parses exactly count doubles from the fields of line; on failure writes
// why, naming what the record should hold (for instance "lon lat").
bool ParseDoubles(const std::string& line, std::size_t count, const char* layout,
                  std::vector<double>& values, std::string& why);

// Writes text to standard output as it is.
void Print(const std::string& text);

}  // namespace cli
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_CLI_SUPPORT_H
