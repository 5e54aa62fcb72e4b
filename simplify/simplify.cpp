// In-place polyline thinning: farthest-point splitting and a Manhattan pass.
#include "simplify/simplify.h"

#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "simplify/farthest_scan.h"
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

}  // namespace

KeepAllocator keepAllocator = MallocKeep;

void SimplifyRange(float threshold, const tagPOINT* points, int* keep, int first, int last) {
  // The ranges are handled in the order of the recursive scheme (split, left
  // part in full, then the right part). The pending right parts end exactly
  // at the split points beyond the current range that still carry
  // pendingSplit, and the nearest of them ends the next range. The most
  // recent of them are also held in a small fixed stack (the nearest on
  // top); only when it has overflowed and runs empty is the next one found
  // by stepping through the flags, at most one step per point of the range
  // it ends, no more than scanning that range. Memory stays constant however
  // deep the splits nest.
  if (first + 1 >= last) return;
  // Every range below lies within this one, so one look at its shape
  // serves all of them.
  const RangeShape shape = ShapeOf(points, first, last);
  constexpr int stackSize = 64;
  int pending[stackSize];
  int held = 0;
  int dropped = 0;
  int from = first;
  int to = last;
  for (;;) {
    const int idx = FarthestAbove(threshold, points, from, to, shape);
    if (idx >= 0) {
      keep[idx] = pendingSplit;
      if (held == stackSize) {
        // Forget the farthest pending split; the flags still mark it.
        for (int k = 1; k < stackSize; ++k) pending[k - 1] = pending[k];
        --held;
        ++dropped;
      }
      pending[held++] = idx;
      to = idx;
      continue;
    }
    if (to >= last) return;
    keep[to] = 1;
    if (held > 0 && pending[held - 1] == to) --held;
    from = to;
    if (held > 0) {
      to = pending[held - 1];
    } else if (dropped > 0) {
      to = from + 1;
      while (to < last && keep[to] != pendingSplit) ++to;
      if (to < last) --dropped;
    } else {
      to = last;
    }
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
  using tarnutil::detail::AbsDiff32;
  if (count < 2) {
    *newCount = count;
    return;
  }
  int k = 1;
  // The last kept point, points[k - 1], held in registers.
  std::int32_t refX = static_cast<std::int32_t>(points[0].x);
  std::int32_t refY = static_cast<std::int32_t>(points[0].y);
  // The point at count - 2 is never examined: the last point always follows.
  // Each examined point is written to slot k whether kept or not, so that no
  // branch depends on the data: a dropped point's copy is overwritten by the
  // next kept one or by the last point, and slot k has been read already.
  for (int j = 1; j < count - 2; ++j) {
    const tagPOINT p = points[j];
    const std::int32_t px = static_cast<std::int32_t>(p.x);
    const std::int32_t py = static_cast<std::int32_t>(p.y);
    // Up to 2^33 - 2, exact in 64 bits for any coordinates.
    const std::int64_t dist = static_cast<std::int64_t>(AbsDiff32(px, refX)) + AbsDiff32(py, refY);
    const bool kept = dist > tolerance;
    points[k] = p;
    refX = kept ? px : refX;
    refY = kept ? py : refY;
    k += kept ? 1 : 0;
  }
  if (k != count - 1) points[k] = points[count - 1];
  *newCount = k + 1;
}
