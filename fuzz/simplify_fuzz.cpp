// Both simplifiers on arbitrary polylines and tolerances (0, negative, NaN,
// infinities); kept points must be the input's in order.
#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

#include "fuzz/fuzz_input.h"

namespace {

float FloatTolerance(tarnutil::fuzz::FuzzInput& in) {
  const std::uint8_t tag = in.U8();
  constexpr float inf = std::numeric_limits<float>::infinity();
  const float table[] = {0.0f, -0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), inf, -inf,
                         std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min(),
                         0.5f, 1.0f, 4.0f, 100.0f};
  constexpr std::size_t tableSize = sizeof table / sizeof table[0];
  if (tag < tableSize) return table[tag];
  return static_cast<float>(in.U16()) / static_cast<float>((tag & 7) + 1);
}

std::int32_t IntTolerance(tarnutil::fuzz::FuzzInput& in) {
  const std::uint8_t tag = in.U8();
  const std::int32_t table[] = {0, -1, 1, std::numeric_limits<std::int32_t>::min(),
                                std::numeric_limits<std::int32_t>::max()};
  constexpr std::size_t tableSize = sizeof table / sizeof table[0];
  if (tag < tableSize) return table[tag];
  return tag < 128 ? static_cast<std::int32_t>(in.U8()) : in.I32();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnutil::fuzz::FuzzInput in(data, size);
  const std::uint8_t mode = in.U8();
  const float floatTolerance = FloatTolerance(in);
  const std::int32_t intTolerance = IntTolerance(in);
  const int count = static_cast<int>(in.U8()) - 2;
  const std::size_t pointCount = count > 0 ? static_cast<std::size_t>(count) : 0;
  std::unique_ptr<tagPOINT[]> points(new tagPOINT[pointCount]);
  std::unique_ptr<tagPOINT[]> original(new tagPOINT[pointCount]);
  for (std::size_t i = 0; i < pointCount; ++i) {
    points[i].x = in.Coord();
    points[i].y = in.Coord();
    original[i] = points[i];
  }

  int newCount = -12345;
  if ((mode & 1) != 0) {
    PolySimplify(intTolerance, points.get(), count, &newCount);
  } else {
    PolySimplifyInt2D(floatTolerance, points.get(), count, &newCount);
  }
  if (count < 1) return 0;
  TARNUTIL_FUZZ_CHECK(newCount >= 0 && newCount <= count);
  // Kept points are a subsequence of the input.
  std::size_t j = 0;
  for (int i = 0; i < newCount; ++i) {
    while (j < pointCount &&
           (original[j].x != points[static_cast<std::size_t>(i)].x ||
            original[j].y != points[static_cast<std::size_t>(i)].y)) {
      ++j;
    }
    TARNUTIL_FUZZ_CHECK(j < pointCount);
    ++j;
  }
  return 0;
}
