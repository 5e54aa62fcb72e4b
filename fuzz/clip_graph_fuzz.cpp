// clipGraph on arbitrary polygons and rectangles in every orientation, with
// the output array sized to exactly the documented bound.
#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_input.h"

namespace {

// Each of the four edge stages passes on at most m + m / 2 points.
std::size_t OutputBound(std::int32_t count) {
  if (count < 1) return 0;
  std::int64_t m = count;
  for (int stage = 0; stage < 4; ++stage) m = m + m / 2;
  return static_cast<std::size_t>(m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnutil::fuzz::FuzzInput in(data, size);
  tagRECT rect;
  rect.left = in.Coord();
  rect.top = in.Coord();
  rect.right = in.Coord();
  rect.bottom = in.Coord();
  const std::uint8_t mode = in.U8();
  const int open = (mode & 1) != 0 ? static_cast<int>(in.I32() | 1) : 0;
  const std::int32_t count = static_cast<std::int32_t>(in.U8() % 200) - 2;
  const std::size_t pointCount = count > 0 ? static_cast<std::size_t>(count) : 0;
  const std::size_t capacity = OutputBound(count);

  std::unique_ptr<tagPOINT[]> points(new tagPOINT[pointCount]);
  for (std::size_t i = 0; i < pointCount; ++i) {
    points[i].x = in.Coord();
    points[i].y = in.Coord();
  }
  std::unique_ptr<tagPOINT[]> out(new tagPOINT[capacity]);
  tagPOINT* const pointsArg = (mode & 2) != 0 ? nullptr : points.get();
  tagPOINT* const outArg = (mode & 4) != 0 ? nullptr : out.get();

  const std::int32_t written = clipGraph(&rect, pointsArg, count, outArg, open);
  TARNUTIL_FUZZ_CHECK(written >= 0);
  TARNUTIL_FUZZ_CHECK(static_cast<std::size_t>(written) <= capacity);
  if (pointsArg == nullptr || outArg == nullptr || count < 1) {
    TARNUTIL_FUZZ_CHECK(written == 0);
  } else {
    // The rectangle comes back with bottom <= top, and, whatever the
    // coordinates, every clipped point lies inside it.
    TARNUTIL_FUZZ_CHECK(rect.bottom <= rect.top);
    for (std::int32_t i = 0; i < written; ++i) {
      const tagPOINT& p = out[static_cast<std::size_t>(i)];
      TARNUTIL_FUZZ_CHECK(p.x >= rect.left && p.x <= rect.right);
      TARNUTIL_FUZZ_CHECK(p.y >= rect.bottom && p.y <= rect.top);
    }
  }
  return 0;
}
