#include "tools/cli_support.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <utility>

namespace tarnutil {
namespace cli {

namespace {

// 17 significant digits read back to the same double for every value; fewer
// often do, and the shortest such form is the one worth reading.
constexpr int roundTripDigits = 17;
constexpr int shortestTriedDigits = 15;
// Beyond 17 decimals a double carries no further information.
constexpr int maxDecimals = 17;

}  // namespace

std::string NumberFormat::Format(double value) const {
  char text[400];
  if (decimals_ >= 0) {
    std::snprintf(text, sizeof text, "%.*f", decimals_, value);
    return text;
  }
  for (int digits = shortestTriedDigits; digits < roundTripDigits; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) {
      return text;
    }
  }
  std::snprintf(text, sizeof text, "%.*g", roundTripDigits, value);
  return text;
}

OptionReader::OptionReader(const char* command, std::vector<std::string> args)
    : command_(command), args_(std::move(args)), pos_(0), started_(false), optionsEnded_(false) {}

bool OptionReader::Next() {
  if (started_) {
    ++pos_;
  }
  started_ = true;
  if (pos_ < args_.size() && !optionsEnded_ && args_[pos_] == "--") {
    optionsEnded_ = true;
    ++pos_;
  }
  if (pos_ >= args_.size()) {
    return false;
  }
  option_ = args_[pos_];
  return true;
}

bool OptionReader::Is(const char* shortName, const char* longName) const {
  if (optionsEnded_) {
    return false;
  }
  const std::string& arg = args_[pos_];
  return (shortName != nullptr && arg == shortName) || (longName != nullptr && arg == longName);
}

bool OptionReader::IsOperand() const {
  const std::string& arg = args_[pos_];
  // No option starts with a digit, so "-5" is a negative number.
  const bool negativeNumber = arg.size() > 1 && arg[0] == '-' && arg[1] >= '0' && arg[1] <= '9';
  return optionsEnded_ || arg == "-" || arg.empty() || arg[0] != '-' || negativeNumber;
}

bool OptionReader::TakeString(std::string& text) {
  if (pos_ + 1 >= args_.size()) {
    Usage(option_ + " is missing a value");
    return false;
  }
  ++pos_;
  text = args_[pos_];
  return true;
}

bool OptionReader::TakeDouble(double& value) {
  std::string text;
  std::string why;
  if (!TakeString(text)) {
    return false;
  }
  if (!ParseDouble(text, value, why)) {
    Usage(option_ + ": " + why);
    return false;
  }
  return true;
}

bool OptionReader::TakeInt32(std::int32_t& value) {
  std::string text;
  std::string why;
  if (!TakeString(text)) {
    return false;
  }
  if (!ParseInt32(text, value, why)) {
    Usage(option_ + ": " + why);
    return false;
  }
  return true;
}

bool OptionReader::TakeDecimals(NumberFormat& format) {
  std::int32_t decimals = 0;
  if (!TakeInt32(decimals)) {
    return false;
  }
  if (decimals < 0 || decimals > maxDecimals) {
    Usage("-p takes 0 to 17 decimals");
    return false;
  }
  format.SetDecimals(static_cast<int>(decimals));
  return true;
}

int OptionReader::Usage(const std::string& message) const {
  std::cerr << "tarnutil " << command_ << ": " << message << " (try 'tarnutil " << command_
            << " --help')\n";
  return exitUsage;
}

int OptionReader::Unknown() const {
  if (IsOperand()) {
    return Usage("unexpected argument '" + args_[pos_] + "'");
  }
  return Usage("unknown option '" + args_[pos_] + "'");
}

LineSource::LineSource(const char* command, std::vector<std::string> paths)
    : command_(command),
      paths_(std::move(paths)),
      nextPath_(0),
      usingStdin_(false),
      open_(false),
      pendingBreak_(false),
      lineNumber_(0),
      errors_(false) {
  if (paths_.empty()) {
    paths_.push_back("-");
  }
}

bool LineSource::OpenNext() {
  while (nextPath_ < paths_.size()) {
    const std::string& path = paths_[nextPath_++];
    lineNumber_ = 0;
    if (path == "-") {
      usingStdin_ = true;
      currentName_.clear();
      open_ = true;
      return true;
    }
    usingStdin_ = false;
    file_.close();
    file_.clear();
    file_.open(path, std::ios::in | std::ios::binary);
    if (file_.is_open()) {
      currentName_ = path;
      open_ = true;
      return true;
    }
    std::cerr << "tarnutil " << command_ << ": cannot open " << path << "\n";
    errors_ = true;
  }
  return false;
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
      line.clear();
      return true;
    }
    std::istream& in = usingStdin_ ? std::cin : static_cast<std::istream&>(file_);
    if (std::getline(in, line)) {
      ++lineNumber_;
      // Lines ending in CR LF read the same as lines ending in LF.
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      return true;
    }
    open_ = false;
  }
}

void LineSource::Reject(const std::string& what) {
  errors_ = true;
  if (!currentName_.empty()) {
    std::cerr << currentName_ << ": ";
  }
  std::cerr << "line " << lineNumber_ << ": " << what << "\n";
}

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
      ++i;
    }
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
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

bool ParseDouble(const std::string& field, double& value, std::string& why) {
  const char* begin = field.c_str();
  char* end = nullptr;
  errno = 0;
  const double parsed = std::strtod(begin, &end);
  if (end == begin || *end != '\0') {
    why = "'" + field + "' is not a number";
    return false;
  }
  if (!std::isfinite(parsed)) {
    why = "'" + field + "' is not a finite number";
    return false;
  }
  value = parsed;
  return true;
}

namespace {

// Integer text: optional sign, then decimal digits only.
bool ParseWide(const std::string& field, long long& value, std::string& why) {
  const char* begin = field.c_str();
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(begin, &end, 10);
  if (end == begin || *end != '\0') {
    why = "'" + field + "' is not an integer";
    return false;
  }
  if (errno == ERANGE) {
    why = "'" + field + "' is out of range";
    return false;
  }
  value = parsed;
  return true;
}

}  // namespace

bool ParseInt32(const std::string& field, std::int32_t& value, std::string& why) {
  long long wide = 0;
  if (!ParseWide(field, wide, why)) {
    return false;
  }
  if (wide < INT32_MIN || wide > INT32_MAX) {
    why = "'" + field + "' is outside the 32-bit integer range";
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
    why = "'" + field + "' is outside the unsigned 32-bit range";
    return false;
  }
  value = static_cast<std::uint32_t>(wide);
  return true;
}

bool ParseDoubles(const std::string& line, std::size_t count, const char* layout,
                  std::vector<double>& values, std::string& why) {
  const std::vector<std::string> fields = SplitFields(line);
  if (fields.size() != count) {
    why = "expected " + std::to_string(count) + " numbers (" + layout + "), got " +
          std::to_string(fields.size());
    return false;
  }
  std::vector<double> parsed(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (!ParseDouble(fields[i], parsed[i], why)) {
      return false;
    }
  }
  values = std::move(parsed);
  return true;
}

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace cli
}  // namespace tarnutil
