// In-place polyline thinning: farthest-point splitting and a Manhattan pass.
#include "simplify/simplify.h"

#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "util/exact.h"

namespace tarnutil {
namespace detail {

namespace {

// A split point whose right part is still to be handled. It is distinct
// from 1 so that flags set before the call are never taken for one; every
// such mark becomes 1 before SimplifyRange returns.
constexpr int pendingSplit = 2;

void* MallocKeep(std::size_t bytes) {
  return std::malloc(bytes);
}

std::int32_t SquaredLength(std::int32_t dx, std::int32_t dy) {
  return AddWrap32(MulWrap32(dx, dx), MulWrap32(dy, dy));
}

bool SamePoint(const tagPOINT& a, const tagPOINT& b) {
  return a.x == b.x && a.y == b.y;
}

// Index of the point strictly between first and last that lies farthest
// from their chord, or -1 when the range is not split: no point between,
// coinciding ends, or no deviation greater than threshold. Ties go to the
// lowest index, and a deviation of 0 is never chosen.
int FarthestAbove(float threshold, const tagPOINT* points, int first, int last) {
  if (first + 1 >= last) return -1;
  if (SamePoint(points[first], points[last])) return -1;
  double maxDev = 0.0;
  int idx = -1;
  for (int i = first + 1; i < last; ++i) {
    const double dev = SquaredDeviation(points[i], points[first], points[last]);
    if (dev > maxDev) {
      maxDev = dev;
      idx = i;
    }
  }
  // Written as "not greater" so that a NaN threshold splits nothing. With
  // every deviation 0, idx is still -1 even for a negative threshold.
  if (!(maxDev > static_cast<double>(threshold))) return -1;
  return idx;
}

}  // namespace

KeepAllocator keepAllocator = MallocKeep;

double SquaredDeviation(const tagPOINT& p, const tagPOINT& a, const tagPOINT& b) {
  const std::int32_t ax = static_cast<std::int32_t>(a.x);
  const std::int32_t ay = static_cast<std::int32_t>(a.y);
  const std::int32_t px = static_cast<std::int32_t>(p.x);
  const std::int32_t py = static_cast<std::int32_t>(p.y);
  const std::int32_t dx = SubWrap32(static_cast<std::int32_t>(b.x), ax);
  const std::int32_t dy = SubWrap32(static_cast<std::int32_t>(b.y), ay);
  const double lenSq = static_cast<double>(SquaredLength(dx, dy));
  const std::int32_t ex = SubWrap32(px, ax);
  const std::int32_t ey = SubWrap32(py, ay);
  const double dot = static_cast<double>(AddWrap32(MulWrap32(ex, dx), MulWrap32(ey, dy)));
  if (dot <= 0.0) return static_cast<double>(SquaredLength(ex, ey));
  if (dot > lenSq) {
    return static_cast<double>(SquaredLength(SubWrap32(px, static_cast<std::int32_t>(b.x)),
                                             SubWrap32(py, static_cast<std::int32_t>(b.y))));
  }
  // 0 < dot <= lenSq here, so lenSq is positive. The foot is cut toward zero,
  // so the deviation is that of an integer point near the perpendicular's foot.
  const double r = dot / lenSq;
  const std::int32_t fx = TruncToInt32(static_cast<double>(dx) * r + static_cast<double>(ax));
  const std::int32_t fy = TruncToInt32(static_cast<double>(dy) * r + static_cast<double>(ay));
  return static_cast<double>(SquaredLength(SubWrap32(px, fx), SubWrap32(py, fy)));
}

void SimplifyRange(float threshold, const tagPOINT* points, int* keep, int first, int last) {
  // The ranges are handled in the order of the recursive scheme (split, left
  // part in full, then the right part), but the pending right parts are not
  // kept on a stack: their ends are exactly the split points beyond the
  // current range that still carry pendingSplit, and the nearest of them
  // ends the next range. Finding it costs one step per point of that range,
  // no more than scanning the range.
  int from = first;
  int to = last;
  for (;;) {
    const int idx = FarthestAbove(threshold, points, from, to);
    if (idx >= 0) {
      keep[idx] = pendingSplit;
      to = idx;
      continue;
    }
    if (to >= last) return;
    keep[to] = 1;
    from = to;
    to = from + 1;
    while (to < last && keep[to] != pendingSplit) ++to;
  }
}

}  // namespace detail
}  // namespace tarnutil

void PolySimplifyInt2D(float tolerance, tagPOINT* points, int count, int* newCount) {
  using tarnutil::detail::keepAllocator;
  using tarnutil::detail::SimplifyRange;
  if (count < 2) {
    *newCount = count;
    return;
  }
  const float threshold = static_cast<float>(std::sqrt(static_cast<double>(tolerance)));
  // Without flags nothing can be thinned: the points stay as given. A count
  // whose byte size does not fit in size_t fails the same way.
  const std::size_t n = static_cast<std::size_t>(count);
  if (n > std::numeric_limits<std::size_t>::max() / sizeof(int)) {
    *newCount = count;
    return;
  }
  int* keep = static_cast<int*>(keepAllocator(n * sizeof(int)));
  if (keep == nullptr) {
    *newCount = count;
    return;
  }
  for (int i = 0; i < count; ++i) keep[i] = 0;
  keep[0] = 1;
  keep[count - 1] = 1;
  SimplifyRange(threshold, points, keep, 0, count - 1);
  int w = 0;
  for (int i = 0; i < count; ++i) {
    if (keep[i] == 1) {
      points[w] = points[i];
      ++w;
    }
  }
  std::free(keep);
  *newCount = w;
}

void PolySimplify(std::int32_t tolerance, tagPOINT* points, int count, int* newCount) {
  using tarnutil::detail::AbsWrap32;
  using tarnutil::detail::AddWrap32;
  using tarnutil::detail::SubWrap32;
  if (count < 2) {
    *newCount = count;
    return;
  }
  int k = 1;
  // The point at count - 2 is never examined: the last point always follows.
  for (int j = 1; j < count - 2; ++j) {
    const tagPOINT& ref = points[k - 1];
    const std::int32_t distX = AbsWrap32(
        SubWrap32(static_cast<std::int32_t>(points[j].x), static_cast<std::int32_t>(ref.x)));
    const std::int32_t distY = AbsWrap32(
        SubWrap32(static_cast<std::int32_t>(points[j].y), static_cast<std::int32_t>(ref.y)));
    if (AddWrap32(distX, distY) > tolerance) {
      if (k != j) points[k] = points[j];
      ++k;
    }
  }
  if (k != count - 1) points[k] = points[count - 1];
  *newCount = k + 1;
}
