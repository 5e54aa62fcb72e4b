// The tool's input reader on any bytes: lines under a length cap, fields split
// at blanks and commas, decimal numbers, and angles in degrees, minutes and
// seconds. Checks that a line never outgrows its cap, that what splits and
// parses is what the reader says it is, and that an angle printed as
// degrees, minutes and seconds reads back to itself.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz/fuzz_input.h"
#include "tools/cli_support.h"

namespace {

using tarnutil::cli::Axis;

// Smallest step FormatDms prints with three decimals of a second, in
// degrees, with room for the rounding of the sum itself.
constexpr double dmsStepDegrees = 0.0005 / 3600.0 * 1.01;
// Beyond this the seconds no longer fit the printer's 64-bit count.
constexpr double dmsLargestDegrees = 1e9;

void CheckField(const std::string& field) {
  std::string why;
  TARNUTIL_FUZZ_CHECK(tarnutil::cli::Quote(field).size() <= 64);
  double value = 0.0;
  if (tarnutil::cli::ParseDouble(field, value, why)) {
    TARNUTIL_FUZZ_CHECK(std::isfinite(value));
    TARNUTIL_FUZZ_CHECK(field.find_first_of("xXnNiI") == std::string::npos);
  }
  std::int32_t whole = 0;
  if (tarnutil::cli::ParseInt32(field, whole, why)) {
    TARNUTIL_FUZZ_CHECK(tarnutil::cli::ParseDouble(field, value, why));
    TARNUTIL_FUZZ_CHECK(value == static_cast<double>(whole));
  }
  double degrees = 0.0;
  Axis axis = Axis::none;
  if (!tarnutil::cli::ParseAngle(field, degrees, axis, why)) {
    return;
  }
  TARNUTIL_FUZZ_CHECK(std::isfinite(degrees));
  if (std::fabs(degrees) > dmsLargestDegrees) {
    return;
  }
  const Axis printed = axis == Axis::none ? Axis::latitude : axis;
  const std::string dms = tarnutil::cli::FormatDms(degrees, printed, 3);
  double back = 0.0;
  Axis backAxis = Axis::none;
  TARNUTIL_FUZZ_CHECK(tarnutil::cli::ParseAngle(dms, back, backAxis, why));
  TARNUTIL_FUZZ_CHECK(backAxis == printed);
  TARNUTIL_FUZZ_CHECK(std::fabs(back - degrees) <= dmsStepDegrees + std::fabs(degrees) * 1e-15);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnutil::fuzz::FuzzInput in(data, size);
  const std::size_t cap = in.U8() % 64 + 1;
  const std::size_t needed = in.U8() % 5;
  const std::string text(reinterpret_cast<const char*>(in.Rest()), in.Remaining());
  std::istringstream stream(text);
  std::string line;
  bool tooLong = false;
  std::size_t lines = 0;
  while (tarnutil::cli::ReadCappedLine(*stream.rdbuf(), cap, line, tooLong)) {
    ++lines;
    TARNUTIL_FUZZ_CHECK(line.size() <= cap);
    TARNUTIL_FUZZ_CHECK(line.find('\n') == std::string::npos);
    TARNUTIL_FUZZ_CHECK(lines <= text.size());
    if (tooLong) {
      continue;
    }
    tarnutil::cli::Record record;
    std::string why;
    if (!tarnutil::cli::SplitRecord(line, needed, "fields", record, why)) {
      continue;
    }
    TARNUTIL_FUZZ_CHECK(record.fields.size() == needed);
    for (const std::string& field : record.fields) {
      TARNUTIL_FUZZ_CHECK(!field.empty());
      TARNUTIL_FUZZ_CHECK(field.find_first_of(" \t,#") == std::string::npos);
      CheckField(field);
    }
    TARNUTIL_FUZZ_CHECK(record.trailing.find('#') == std::string::npos);
  }
  return 0;
}
