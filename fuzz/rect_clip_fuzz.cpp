// RectClipLine on arbitrary polylines and rectangles in every orientation,
// with output arrays of exactly the documented capacity.
#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnutil::fuzz::FuzzInput in(data, size);
  tagPOINT lo{in.Coord(), in.Coord()};
  tagPOINT hi{in.Coord(), in.Coord()};
  // Counts below 2 included: no room is owed for them.
  const int n = static_cast<int>(in.U8() % 130) - 2;
  const std::size_t pointCount = n > 0 ? static_cast<std::size_t>(n) : 0;
  const std::size_t outCapacity = n > 1 ? 2 * static_cast<std::size_t>(n - 1) : 0;
  const std::size_t totalsCapacity = n > 1 ? static_cast<std::size_t>(n - 1) : 0;

  std::unique_ptr<tagPOINT[]> points(new tagPOINT[pointCount]);
  for (std::size_t i = 0; i < pointCount; ++i) {
    points[i].x = in.Coord();
    points[i].y = in.Coord();
  }
  std::unique_ptr<tagPOINT[]> out(new tagPOINT[outCapacity]);
  std::unique_ptr<int[]> totals(new int[totalsCapacity]);

  const int pieces = RectClipLine(points.get(), n, out.get(), totals.get(), &lo, &hi);
  TARNUTIL_FUZZ_CHECK(pieces >= 0);
  TARNUTIL_FUZZ_CHECK(static_cast<std::size_t>(pieces) <= totalsCapacity);
  int previous = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(pieces); ++i) {
    // Each piece has at least two points and the totals only grow.
    TARNUTIL_FUZZ_CHECK(totals[i] >= previous + 2);
    TARNUTIL_FUZZ_CHECK(static_cast<std::size_t>(totals[i]) <= outCapacity);
    previous = totals[i];
  }
  // Whatever the coordinates, every clipped point lies inside the rectangle.
  for (std::size_t i = 0; i < static_cast<std::size_t>(previous); ++i) {
    TARNUTIL_FUZZ_CHECK(out[i].x >= lo.x && out[i].x <= hi.x);
    TARNUTIL_FUZZ_CHECK(out[i].y >= lo.y && out[i].y <= hi.y);
  }
  return 0;
}
