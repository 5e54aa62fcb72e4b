// Both simplifiers on arbitrary polylines and tolerances (0, negative, NaN,
// infinities), coordinates anywhere in the 32-bit range; kept points must be
// the input's in order, the Manhattan pass keeps only points farther than
// the tolerance, and every point the split drops lies near the thinned line.
#include <tarnutil/tarnutil.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "fuzz/fuzz_input.h"

namespace {

float FloatTolerance(tarnutil::fuzz::FuzzInput& in) {
  const std::uint8_t tag = in.U8();
  constexpr float inf = std::numeric_limits<float>::infinity();
  const float table[] = {0.0f,
                         -0.0f,
                         -1.0f,
                         std::numeric_limits<float>::quiet_NaN(),
                         inf,
                         -inf,
                         std::numeric_limits<float>::max(),
                         std::numeric_limits<float>::denorm_min(),
                         0.5f,
                         1.0f,
                         4.0f,
                         100.0f};
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

// Distance from p to the segment a-b, in doubles.
double SegmentDistance(const tagPOINT& p, const tagPOINT& a, const tagPOINT& b) {
  const double dx = static_cast<double>(b.x) - a.x;
  const double dy = static_cast<double>(b.y) - a.y;
  const double lenSq = dx * dx + dy * dy;
  double t =
      lenSq > 0.0
          ? ((static_cast<double>(p.x) - a.x) * dx + (static_cast<double>(p.y) - a.y) * dy) / lenSq
          : 0.0;
  t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool AllDistinct(const tagPOINT* points, std::size_t n) {
  std::vector<std::pair<std::int32_t, std::int32_t>> sorted;
  for (std::size_t i = 0; i < n; ++i) sorted.emplace_back(points[i].x, points[i].y);
  std::sort(sorted.begin(), sorted.end());
  return std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
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
  // Kept points are a subsequence of the input; keptAt[i] is where.
  std::vector<std::size_t> keptAt;
  std::size_t j = 0;
  for (int i = 0; i < newCount; ++i) {
    while (j < pointCount && (original[j].x != points[static_cast<std::size_t>(i)].x ||
                              original[j].y != points[static_cast<std::size_t>(i)].y)) {
      ++j;
    }
    TARNUTIL_FUZZ_CHECK(j < pointCount);
    keptAt.push_back(j);
    ++j;
  }
  if ((mode & 1) != 0) {
    // Each kept point but the last lies farther than the tolerance, in exact
    // Manhattan distance, from the one kept before it.
    for (int i = 1; i + 1 < newCount; ++i) {
      const tagPOINT& a = points[static_cast<std::size_t>(i - 1)];
      const tagPOINT& b = points[static_cast<std::size_t>(i)];
      const std::int64_t dist = std::llabs(static_cast<std::int64_t>(b.x) - a.x) +
                                std::llabs(static_cast<std::int64_t>(b.y) - a.y);
      TARNUTIL_FUZZ_CHECK(dist > intTolerance);
    }
    return 0;
  }
  // With distinct points (so the kept ones are found where they were) and a
  // finite tolerance, every dropped point lies within tolerance^(1/4) of the
  // thinned line, give or take sqrt(2) for the truncated foot and a relative
  // 1e-9 for rounding in doubles.
  if (count < 2 || !(floatTolerance >= 0.0f) || std::isinf(floatTolerance) ||
      !AllDistinct(original.get(), pointCount)) {
    return 0;
  }
  TARNUTIL_FUZZ_CHECK(keptAt.front() == 0 && keptAt.back() == pointCount - 1);
  const double allowed = std::sqrt(std::sqrt(static_cast<double>(floatTolerance))) + std::sqrt(2.0);
  for (std::size_t k = 1; k < keptAt.size(); ++k) {
    const tagPOINT& a = original[keptAt[k - 1]];
    const tagPOINT& b = original[keptAt[k]];
    const double length =
        std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y);
    for (std::size_t i = keptAt[k - 1] + 1; i < keptAt[k]; ++i) {
      TARNUTIL_FUZZ_CHECK(SegmentDistance(original[i], a, b) <= allowed + 1e-9 * length);
    }
  }
  return 0;
}
