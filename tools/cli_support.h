// Plumbing shared by the subcommands of the tarnutil tool: numbered input
// lines with error reports, fields as users write them, number parsing and
// printing, and the output stream.
#ifndef TARNUTIL_TOOLS_CLI_SUPPORT_H
#define TARNUTIL_TOOLS_CLI_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <istream>
#include <memory>
#include <string>
#include <vector>

namespace tarnutil {
namespace cli {

// Exit statuses: every input line was used; some line or file was rejected;
// the command line itself was wrong.
constexpr int exitOk = 0;
constexpr int exitBadInput = 1;
constexpr int exitUsage = 2;

// A line longer than this is a bad row; the rest of it is skipped unread
// into memory, so a file without line breaks cannot exhaust it.
constexpr std::size_t maxLineBytes = std::size_t{1} << 20;

// How doubles are printed: the shortest form that reads back to the same
// double, or a fixed number of decimals. Both through <charconv>, so the
// text is the same on every platform and in every locale.
class NumberFormat {
 public:
  // A negative count selects the round-trip form.
  void SetDecimals(int decimals) { decimals_ = decimals; }
  int Decimals() const { return decimals_; }
  std::string Format(double value) const;

 private:
  int decimals_ = -1;
};

// Where results go: standard output (binary, so line ends are LF on every
// platform) or the file -o names. False with why when the file cannot be
// created.
bool OpenOutput(const std::string& path, std::string& why);
// Writes text to the output as it is.
void Print(const std::string& text);
// Flushes the output; false when a write failed (disk full, closed pipe).
bool FinishOutput();

// Opens a file named as the user typed it (UTF-8 on Windows too) for binary
// reading; null with a reason that carries no system text on failure.
std::unique_ptr<std::istream> OpenInput(const std::string& path, std::string& why);

// Reads one line (up to '\n', which it drops) from in, keeping at most cap
// bytes of it; tooLong tells that more were skipped. False at the end of the
// input with nothing read.
bool ReadCappedLine(std::streambuf& in, std::size_t cap, std::string& line, bool& tooLong);

// Input lines from a list of files (standard input when the list is empty
// or holds "-"), numbered from 1 in each file. A rejected line is reported as
// "line N: what is wrong" (with "FILE: " in front for a named file) and
// remembered, so that the command can end with a failing status.
class LineSource {
 public:
  LineSource(const char* command, std::vector<std::string> paths);
  ~LineSource();

  // Next line without its end-of-line characters or a leading byte-order
  // mark; false after the last line of the last file. A file that cannot be
  // opened is reported and skipped. Crossing into the next file counts as a
  // blank line between, so records that blank lines separate never run
  // across files. A line over maxLineBytes comes back marked TooLong().
  bool Next(std::string& line);
  // The current line exceeded maxLineBytes; only its start was kept.
  bool TooLong() const { return tooLong_; }
  // The current line is the first non-blank, non-comment line of its file.
  bool FirstRecord() const { return !sawRecord_; }
  // Marks that the current file has had a record line.
  void SawRecord() { sawRecord_ = true; }
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
  std::unique_ptr<std::istream> file_;
  std::istream* in_;
  bool open_;
  bool pendingBreak_;
  bool tooLong_;
  bool sawRecord_;
  long lineNumber_;
  bool errors_;
};

// A record line split for reading: the fields a command needs, and what
// follows them (passed through to the output row), without a '#' comment.
struct Record {
  std::vector<std::string> fields;
  std::string trailing;
};

// Splits at spaces, tabs and commas (one comma between two fields, with or
// without spaces around it); a '#' ends the record. Takes at most `needed`
// fields and keeps the rest of the line as trailing text; fewer than
// `needed` is an error naming the layout (for instance "lon lat").
bool SplitRecord(const std::string& line, std::size_t needed, const char* layout, Record& record,
                 std::string& why);

// Splits at spaces and tabs.
std::vector<std::string> SplitFields(const std::string& line);

// Blank (only spaces and tabs) or a comment (first visible character '#').
bool IsBlank(const std::string& line);
bool IsComment(const std::string& line);

// The field as an error message shows it: quoted, at most a short prefix.
std::string Quote(const std::string& field);

// Whole-field parsers: decimal text only (no hex, no inf or nan, no junk
// after the number). On failure they leave value unchanged and write a short
// reason ("'abc' is not a number") to why.
bool ParseDouble(const std::string& field, double& value, std::string& why);
bool ParseInt32(const std::string& field, std::int32_t& value, std::string& why);
bool ParseUint32(const std::string& field, std::uint32_t& value, std::string& why);

// Which axis a hemisphere letter named: none, latitude (N, S) or longitude
// (E, W).
enum class Axis { none, latitude, longitude };

// An angle in degrees: a decimal number, or degrees, minutes and seconds
// written with d ' " or ° ′ ″ or colons, with a sign or a trailing (or
// leading) hemisphere letter: 110d30'15"E, 30°15′N, 104.5E, -30:15:00.
bool ParseAngle(const std::string& field, double& degrees, Axis& axis, std::string& why);

// Degrees as degrees, minutes and seconds with a hemisphere letter, the
// seconds with `decimals` decimals: 110d30'15.000"E.
std::string FormatDms(double degrees, Axis axis, int decimals);

// Parses exactly count doubles from the fields of line; on failure writes
// why, naming what the record should hold (for instance "lon lat").
bool ParseDoubles(const std::string& line, std::size_t count, const char* layout,
                  std::vector<double>& values, std::string& why);

}  // namespace cli
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_CLI_SUPPORT_H
