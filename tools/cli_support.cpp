#include "tools/cli_support.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <system_error>
#include <utility>

#include "tools/tool_platform.h"

namespace tarnutil {
namespace cli {

namespace {

// Longest field text an error message quotes.
constexpr std::size_t quotedPrefixBytes = 24;
// Enough for any double in either form: 17 digits, sign, point, exponent,
// and up to 308 integer digits plus 17 decimals in fixed form.
constexpr std::size_t numberTextBytes = 400;

std::FILE* output = nullptr;

std::FILE* Output() {
  return output != nullptr ? output : stdout;
}

}  // namespace

std::string NumberFormat::Format(double value) const {
  char text[numberTextBytes];
  const std::to_chars_result r = decimals_ >= 0 ? std::to_chars(text, text + sizeof text, value,
                                                                std::chars_format::fixed, decimals_)
                                                : std::to_chars(text, text + sizeof text, value);
  return std::string(text, r.ptr);
}

bool OpenOutput(const std::string& path, std::string& why) {
  if (path.empty() || path == "-") {
    return true;
  }
  std::FILE* file = OpenFileForWriting(path);
  if (file == nullptr) {
    why = "cannot create " + path;
    return false;
  }
  output = file;
  return true;
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), Output());
}

bool FinishOutput() {
  std::FILE* to = Output();
  const bool ok = std::fflush(to) == 0 && std::ferror(to) == 0;
  if (output != nullptr) {
    const bool closed = std::fclose(output) == 0;
    output = nullptr;
    return ok && closed;
  }
  return ok;
}

std::unique_ptr<std::istream> OpenInput(const std::string& path, std::string& why) {
  std::error_code ec;
  const std::filesystem::path name = std::filesystem::u8path(path);
  if (std::filesystem::is_directory(name, ec)) {
    why = path + " is a folder, not a file";
    return nullptr;
  }
  std::unique_ptr<std::ifstream> file(new std::ifstream(name, std::ios::in | std::ios::binary));
  if (!file->is_open()) {
    why = std::filesystem::exists(name, ec) ? "cannot read " + path : "no file " + path;
    return nullptr;
  }
  return file;
}

LineSource::LineSource(const char* command, std::vector<std::string> paths)
    : command_(command),
      paths_(std::move(paths)),
      nextPath_(0),
      in_(nullptr),
      open_(false),
      pendingBreak_(false),
      tooLong_(false),
      sawRecord_(false),
      lineNumber_(0),
      errors_(false) {
  if (paths_.empty()) {
    paths_.push_back("-");
  }
}

LineSource::~LineSource() = default;

bool LineSource::OpenNext() {
  while (nextPath_ < paths_.size()) {
    const std::string& path = paths_[nextPath_++];
    lineNumber_ = 0;
    sawRecord_ = false;
    if (path == "-") {
      in_ = &std::cin;
      currentName_.clear();
      open_ = true;
      return true;
    }
    std::string why;
    file_ = OpenInput(path, why);
    if (file_) {
      in_ = file_.get();
      currentName_ = path;
      open_ = true;
      return true;
    }
    std::cerr << "tarnutil " << command_ << ": " << why << "\n";
    errors_ = true;
  }
  return false;
}

bool ReadCappedLine(std::streambuf& in, std::size_t cap, std::string& line, bool& tooLong) {
  // Character by character up to the cap: getline would hold a line of any
  // length in memory before the tool could refuse it.
  line.clear();
  tooLong = false;
  bool any = false;
  for (;;) {
    const int c = in.sbumpc();
    if (c == std::char_traits<char>::eof()) {
      break;
    }
    any = true;
    if (c == '\n') {
      break;
    }
    if (line.size() < cap) {
      line.push_back(static_cast<char>(c));
    } else {
      tooLong = true;
    }
  }
  return any;
}

bool LineSource::Next(std::string& line) {
  for (;;) {
    if (!open_) {
      const bool hadFile = nextPath_ > 0;
      if (!OpenNext()) {
        return false;
      }
      pendingBreak_ = hadFile;
    }
    if (pendingBreak_) {
      pendingBreak_ = false;
      tooLong_ = false;
      line.clear();
      return true;
    }
    if (!ReadCappedLine(*in_->rdbuf(), maxLineBytes, line, tooLong_)) {
      open_ = false;
      file_.reset();
      continue;
    }
    ++lineNumber_;
    // Lines ending in CR LF read the same as lines ending in LF.
    if (!tooLong_ && !line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    // A UTF-8 byte-order mark, as some editors write, is no part of the data.
    static const char bom[] = "\xEF\xBB\xBF";
    if (lineNumber_ == 1 && line.compare(0, 3, bom) == 0) {
      line.erase(0, 3);
    }
    return true;
  }
}

void LineSource::Reject(const std::string& what) {
  errors_ = true;
  std::string text;
  if (!currentName_.empty()) {
    text += currentName_ + ": ";
  }
  text += "line " + std::to_string(lineNumber_) + ": " + what + "\n";
  std::cerr << text;
}

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

bool SplitRecord(const std::string& line, std::size_t needed, const char* layout, Record& record,
                 std::string& why) {
  record.fields.clear();
  record.trailing.clear();
  std::size_t end = line.find('#');
  if (end == std::string::npos) {
    end = line.size();
  }
  std::size_t i = 0;
  while (record.fields.size() < needed) {
    while (i < end && IsSpace(line[i])) {
      ++i;
    }
    // One comma may separate two fields; the first field has none before it.
    if (i < end && line[i] == ',' && !record.fields.empty()) {
      ++i;
      while (i < end && IsSpace(line[i])) {
        ++i;
      }
    }
    const std::size_t start = i;
    while (i < end && !IsSpace(line[i]) && line[i] != ',') {
      ++i;
    }
    if (i == start) {
      break;
    }
    record.fields.push_back(line.substr(start, i - start));
  }
  if (record.fields.size() < needed) {
    why = "expected " + std::to_string(needed) + " columns (" + layout + "), got " +
          std::to_string(record.fields.size());
    return false;
  }
  // What follows the needed columns goes through unchanged, without the
  // separator before it and the blanks after it.
  while (i < end && (IsSpace(line[i]) || line[i] == ',')) {
    ++i;
  }
  std::size_t last = end;
  while (last > i && IsSpace(line[last - 1])) {
    --last;
  }
  record.trailing = line.substr(i, last - i);
  return true;
}

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsSpace(line[i])) {
      ++i;
    }
    const std::size_t start = i;
    while (i < line.size() && !IsSpace(line[i])) {
      ++i;
    }
    if (i > start) {
      fields.push_back(line.substr(start, i - start));
    }
  }
  return fields;
}

bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t") == std::string::npos;
}

bool IsComment(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t");
  return first != std::string::npos && line[first] == '#';
}

std::string Quote(const std::string& field) {
  if (field.size() <= quotedPrefixBytes) {
    return "'" + field + "'";
  }
  // Cut before a UTF-8 continuation byte, so the message stays valid text.
  std::size_t cut = quotedPrefixBytes;
  while (cut > 0 && (static_cast<unsigned char>(field[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  return "'" + field.substr(0, cut) + "...' (" + std::to_string(field.size()) + " bytes)";
}

namespace {

// A decimal number without sign at the start of [first, last); the end of
// what it read, or null when nothing there is a finite number. Hex floats,
// inf and nan are not decimal text.
const char* ReadUnsigned(const char* first, const char* last, double& value) {
  if (first == last || !((*first >= '0' && *first <= '9') || *first == '.')) {
    return nullptr;
  }
  double parsed = 0.0;
  const std::from_chars_result r = std::from_chars(first, last, parsed);
  if (r.ec != std::errc() || !std::isfinite(parsed)) {
    return nullptr;
  }
  // "0x10" reads as 0 followed by junk; the caller refuses the junk.
  value = parsed;
  return r.ptr;
}

// Integer text: optional sign, then decimal digits only.
bool ParseWide(const std::string& field, long long& value, std::string& why) {
  const char* first = field.data();
  const char* last = first + field.size();
  if (first != last && *first == '+') {
    ++first;
    if (first != last && *first == '-') {
      why = Quote(field) + " is not an integer";
      return false;
    }
  }
  long long parsed = 0;
  const std::from_chars_result r = std::from_chars(first, last, parsed);
  if (r.ec == std::errc::result_out_of_range) {
    why = Quote(field) + " is out of range";
    return false;
  }
  if (r.ec != std::errc() || r.ptr != last) {
    why = Quote(field) + " is not an integer";
    return false;
  }
  value = parsed;
  return true;
}

}  // namespace

bool ParseDouble(const std::string& field, double& value, std::string& why) {
  const char* first = field.data();
  const char* last = first + field.size();
  bool negative = false;
  if (first != last && (*first == '+' || *first == '-')) {
    negative = *first == '-';
    ++first;
  }
  double parsed = 0.0;
  const char* end = ReadUnsigned(first, last, parsed);
  if (end == nullptr || end != last) {
    // Tell a number too large for a double from text that is no number.
    double huge = 0.0;
    if (first != last && *first >= '0' && *first <= '9' &&
        std::from_chars(first, last, huge).ec == std::errc::result_out_of_range) {
      why = Quote(field) + " is not a finite number";
    } else {
      why = Quote(field) + " is not a number";
    }
    return false;
  }
  value = negative ? -parsed : parsed;
  return true;
}

bool ParseInt32(const std::string& field, std::int32_t& value, std::string& why) {
  long long wide = 0;
  if (!ParseWide(field, wide, why)) {
    return false;
  }
  if (wide < INT32_MIN || wide > INT32_MAX) {
    why = Quote(field) + " is outside the 32-bit integer range";
    return false;
  }
  value = static_cast<std::int32_t>(wide);
  return true;
}

bool ParseUint32(const std::string& field, std::uint32_t& value, std::string& why) {
  long long wide = 0;
  if (!ParseWide(field, wide, why)) {
    return false;
  }
  if (wide < 0 || wide > static_cast<long long>(UINT32_MAX)) {
    why = Quote(field) + " is outside the unsigned 32-bit range";
    return false;
  }
  value = static_cast<std::uint32_t>(wide);
  return true;
}

namespace {

// Unit marks after a component of an angle, by rank: 0 degrees, 1 minutes,
// 2 seconds; -1 none; colon separates components of rising rank.
enum class Mark { none, degree, minute, second, colon, bad };

Mark ReadMark(const char*& p, const char* last) {
  const std::string rest(p, last);
  struct Spelling {
    const char* text;
    Mark mark;
  };
  // Longest first: two apostrophes are a seconds mark.
  static const Spelling spellings[] = {
      {"\xC2\xB0", Mark::degree},
      {"\xE2\x80\xB2", Mark::minute},
      {"\xE2\x80\xB3", Mark::second},
      {"''", Mark::second},
      {"d", Mark::degree},
      {"D", Mark::degree},
      {"'", Mark::minute},
      {"\"", Mark::second},
      {":", Mark::colon},
  };
  if (p == last) {
    return Mark::none;
  }
  for (const Spelling& s : spellings) {
    const std::size_t n = std::char_traits<char>::length(s.text);
    if (rest.compare(0, n, s.text) == 0) {
      p += n;
      return s.mark;
    }
  }
  return Mark::bad;
}

Axis HemisphereAxis(char c) {
  switch (c) {
    case 'N':
    case 'n':
    case 'S':
    case 's':
      return Axis::latitude;
    case 'E':
    case 'e':
    case 'W':
    case 'w':
      return Axis::longitude;
    default:
      return Axis::none;
  }
}

bool HemisphereNegative(char c) {
  return c == 'S' || c == 's' || c == 'W' || c == 'w';
}

}  // namespace

bool ParseAngle(const std::string& field, double& degrees, Axis& axis, std::string& why) {
  const char* first = field.data();
  const char* last = first + field.size();
  why = Quote(field) + " is not a number or an angle";
  // A hemisphere letter at either end; 'e' at the end of "1e" is no
  // exponent here, as no number ends in one.
  axis = Axis::none;
  bool negative = false;
  if (first != last && HemisphereAxis(last[-1]) != Axis::none) {
    axis = HemisphereAxis(last[-1]);
    negative = HemisphereNegative(last[-1]);
    --last;
  } else if (first != last && HemisphereAxis(*first) != Axis::none && *first != 'e') {
    axis = HemisphereAxis(*first);
    negative = HemisphereNegative(*first);
    ++first;
  }
  if (first != last && (*first == '+' || *first == '-')) {
    if (axis != Axis::none) {
      why = Quote(field) + " has both a sign and a hemisphere";
      return false;
    }
    negative = *first == '-';
    ++first;
  }
  // Up to three components of rising rank: degrees, minutes, seconds.
  double parts[3] = {0.0, 0.0, 0.0};
  int rank = -1;
  bool colons = false;
  while (first != last) {
    double value = 0.0;
    const char* p = ReadUnsigned(first, last, value);
    if (p == nullptr) {
      return false;
    }
    Mark mark = ReadMark(p, last);
    int next = rank + 1;
    switch (mark) {
      case Mark::bad:
        return false;
      case Mark::degree:
        next = 0;
        break;
      case Mark::minute:
        next = 1;
        break;
      case Mark::second:
        next = 2;
        break;
      case Mark::colon:
        colons = true;
        break;
      case Mark::none:
        break;
    }
    if (next <= rank || next > 2 || (colons && mark != Mark::colon && mark != Mark::none)) {
      return false;
    }
    if (mark == Mark::colon && p == last) {
      return false;
    }
    parts[next] = value;
    rank = next;
    first = p;
  }
  if (rank < 0) {
    return false;
  }
  if (parts[1] >= 60.0 || parts[2] >= 60.0) {
    why = Quote(field) + " has minutes or seconds of 60 or more";
    return false;
  }
  const double value = parts[0] + parts[1] / 60.0 + parts[2] / 3600.0;
  degrees = negative ? -value : value;
  return true;
}

std::string FormatDms(double degrees, Axis axis, int decimals) {
  const char* letters = axis == Axis::latitude ? "NS" : "EW";
  const char letter = degrees < 0.0 ? letters[1] : letters[0];
  double scale = 1.0;
  for (int i = 0; i < decimals; ++i) {
    scale *= 10.0;
  }
  // Whole units of the last printed decimal of a second, so that rounding
  // carries into minutes and degrees instead of printing 60 seconds.
  const long long ticks = std::llround(std::fabs(degrees) * 3600.0 * scale);
  const long long perSecond = static_cast<long long>(scale);
  const long long seconds = ticks / perSecond;
  const long long fraction = ticks % perSecond;
  std::string text = std::to_string(seconds / 3600) + "d";
  const long long minutes = seconds / 60 % 60;
  const long long wholeSeconds = seconds % 60;
  text += (minutes < 10 ? "0" : "") + std::to_string(minutes) + "'";
  text += (wholeSeconds < 10 ? "0" : "") + std::to_string(wholeSeconds);
  if (decimals > 0) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, static_cast<std::size_t>(decimals) - digits.size(), '0');
    text += "." + digits;
  }
  text += "\"";
  text += letter;
  return text;
}

bool ParseDoubles(const std::string& line, std::size_t count, const char* layout,
                  std::vector<double>& values, std::string& why) {
  Record record;
  if (!SplitRecord(line, count, layout, record, why)) {
    return false;
  }
  if (!record.trailing.empty()) {
    why = "expected " + std::to_string(count) + " numbers (" + layout + "), got more";
    return false;
  }
  std::vector<double> parsed(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (!ParseDouble(record.fields[i], parsed[i], why)) {
      return false;
    }
  }
  values = std::move(parsed);
  return true;
}

}  // namespace cli
}  // namespace tarnutil
