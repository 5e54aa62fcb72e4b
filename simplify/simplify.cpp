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

// Largest extent, in each axis, of a range whose deviations can be computed
// without wrap-around: every coordinate difference is then at most 32766,
// so lenSq and dot stay below 2^31, and the foot, which lies within a unit
// of the chord's box, is at most 32767 away from any point of the range in
// each axis, so a squared deviation stays below 2 * 32767^2 < 2^31.
constexpr std::int64_t plainExtent = 32766;

// Margin of the bounds below, above sqrt(2) (a foot moved by the truncation
// of both coordinates) by more than any rounding in testing them.
constexpr double footSlack = 1.5;

// Every how many points the first look at a plain range samples.
constexpr int sampleStride = 8;

// Points per block of the scan, which one point can vouch for.
constexpr int blockPoints = 8;

// What one look at a whole range tells about every range inside it.
struct RangeShape {
  // Every coordinate difference stays within plainExtent in both axes.
  bool plain;
  // No two neighbouring points lie farther apart than this (0: none apart).
  double stepBound;
};

RangeShape ShapeOf(const tagPOINT* points, int first, int last) {
  std::int64_t minX = points[first].x;
  std::int64_t maxX = minX;
  std::int64_t minY = points[first].y;
  std::int64_t maxY = minY;
  // In doubles: exact for the steps of a plain range, and no overflow for
  // the steps of any other.
  double maxStepSq = 0.0;
  for (int i = first + 1; i <= last; ++i) {
    const std::int64_t x = points[i].x;
    const std::int64_t y = points[i].y;
    minX = x < minX ? x : minX;
    maxX = x > maxX ? x : maxX;
    minY = y < minY ? y : minY;
    maxY = y > maxY ? y : maxY;
    const double sx = static_cast<double>(x - points[i - 1].x);
    const double sy = static_cast<double>(y - points[i - 1].y);
    const double stepSq = sx * sx + sy * sy;
    maxStepSq = stepSq > maxStepSq ? stepSq : maxStepSq;
  }
  RangeShape shape{};
  shape.plain = maxX - minX <= plainExtent && maxY - minY <= plainExtent;
  // Rounded up, so it bounds the true step despite the square root's rounding.
  shape.stepBound = std::sqrt(maxStepSq) * (1.0 + 1e-12);
  return shape;
}

// Index of the point strictly between first and last that lies farthest
// from their chord, or -1 when the range is not split: no point between,
// coinciding ends, or no deviation greater than threshold. Ties go to the
// lowest index, and a deviation of 0 is never chosen.
//
// In a plain range (no wrap-around possible) most points are not measured.
// A point's deviation is below (s + sqrt(2))^2, where s is its distance to
// the chord's segment: the exact foot, or the nearer end when the foot
// falls off the segment, and the truncated foot is less than sqrt(2) from
// the exact one. A first look at every eighth point gives a level that the
// largest deviation reaches for sure (the threshold, where higher, serves
// too: nothing at or below it splits). Only points whose bound passes the
// level, raised to the running maximum as the scan goes, are measured;
// every other point is certainly below the largest deviation and cannot be
// chosen. As s changes by at most stepBound from one point to the next, the
// first point of a block, if far enough below the level, vouches for the
// whole block, which the scan then passes over.
int FarthestAbove(float threshold, const tagPOINT* points, int first, int last,
                  const RangeShape& shape) {
  if (first + 1 >= last) return -1;
  if (SamePoint(points[first], points[last])) return -1;
  double maxDev = 0.0;
  int idx = -1;
  if (shape.plain) {
    const tagPOINT& a = points[first];
    const tagPOINT& b = points[last];
    const std::int32_t ax = static_cast<std::int32_t>(a.x);
    const std::int32_t ay = static_cast<std::int32_t>(a.y);
    const std::int32_t bx = static_cast<std::int32_t>(b.x);
    const std::int32_t by = static_cast<std::int32_t>(b.y);
    const std::int32_t dx = bx - ax;
    const std::int32_t dy = by - ay;
    const std::int32_t lenSq = dx * dx + dy * dy;
    const double dxD = static_cast<double>(dx);
    const double dyD = static_cast<double>(dy);
    const double lenSqD = static_cast<double>(lenSq);
    const double axD = static_cast<double>(ax);
    const double ayD = static_cast<double>(ay);

    // Largest exact deviation of the sampled points whose foot falls off
    // the chord, and largest cross^2 of those whose foot falls on it.
    std::int32_t maxOff = 0;
    double maxCrossSq = 0.0;
    for (int i = first + 1; i < last; i += sampleStride) {
      const std::int32_t px = static_cast<std::int32_t>(points[i].x);
      const std::int32_t py = static_cast<std::int32_t>(points[i].y);
      const std::int32_t ex = px - ax;
      const std::int32_t ey = py - ay;
      const std::int32_t dot = ex * dx + ey * dy;
      const std::int32_t ux = px - bx;
      const std::int32_t uy = py - by;
      const std::int32_t off = dot <= 0 ? ex * ex + ey * ey : ux * ux + uy * uy;
      const bool on = (dot > 0) & (dot <= lenSq);
      const double cross = static_cast<double>(ex) * dyD - static_cast<double>(ey) * dxD;
      const double crossSq = on ? cross * cross : 0.0;
      const std::int32_t offOnly = on ? 0 : off;
      maxOff = offOnly > maxOff ? offOnly : maxOff;
      maxCrossSq = crossSq > maxCrossSq ? crossSq : maxCrossSq;
    }
    double level = threshold > 0.0f ? static_cast<double>(threshold) : 0.0;
    level = static_cast<double>(maxOff) > level ? static_cast<double>(maxOff) : level;
    const double nearest = std::sqrt(maxCrossSq / lenSqD) - footSlack;
    if (nearest > 0.0 && nearest * nearest > level) level = nearest * nearest;

    // A point at segment distance s <= reach lies below the level: on the
    // chord that is cross^2 <= skipBelow. A block's first point at s <= blockReach
    // vouches for the whole block: on the chord cross^2 <= blockOn, off it
    // (where the deviation is s^2 exactly) a deviation <= blockOff.
    double skipBelow = -1.0;
    double blockOn = -1.0;
    double blockOff = -1.0;
    const auto setLevel = [&](double newLevel) {
      level = newLevel;
      const double reach = std::sqrt(level) - footSlack;
      skipBelow = reach > 0.0 ? reach * reach * lenSqD : -1.0;
      const double blockReach = reach - (blockPoints - 1) * shape.stepBound;
      blockOn = blockReach > 0.0 ? blockReach * blockReach * lenSqD : -1.0;
      blockOff = blockReach > 0.0 ? blockReach * blockReach : -1.0;
    };
    setLevel(level);

    const auto blockBelow = [&](int i) {
      const std::int32_t px = static_cast<std::int32_t>(points[i].x);
      const std::int32_t py = static_cast<std::int32_t>(points[i].y);
      const std::int32_t ex = px - ax;
      const std::int32_t ey = py - ay;
      const std::int32_t dot = ex * dx + ey * dy;
      if (dot <= 0) return static_cast<double>(ex * ex + ey * ey) <= blockOff;
      if (dot > lenSq) {
        return static_cast<double>((px - bx) * (px - bx) + (py - by) * (py - by)) <= blockOff;
      }
      const double cross = static_cast<double>(ex) * dyD - static_cast<double>(ey) * dxD;
      return cross * cross <= blockOn;
    };
    const auto measure = [&](int i) {
      const std::int32_t px = static_cast<std::int32_t>(points[i].x);
      const std::int32_t py = static_cast<std::int32_t>(points[i].y);
      const std::int32_t ex = px - ax;
      const std::int32_t ey = py - ay;
      const std::int32_t dot = ex * dx + ey * dy;
      std::int32_t dev = 0;
      if (dot <= 0) {
        dev = ex * ex + ey * ey;
      } else if (dot > lenSq) {
        dev = (px - bx) * (px - bx) + (py - by) * (py - by);
      } else {
        const double cross = static_cast<double>(ex) * dyD - static_cast<double>(ey) * dxD;
        if (cross * cross <= skipBelow) return;
        // SquaredDeviation's steps on the values at hand; nothing wraps here.
        const double r = static_cast<double>(dot) / lenSqD;
        const std::int32_t fx = TruncToInt32(dxD * r + axD);
        const std::int32_t fy = TruncToInt32(dyD * r + ayD);
        dev = (px - fx) * (px - fx) + (py - fy) * (py - fy);
      }
      if (static_cast<double>(dev) > maxDev) {
        maxDev = static_cast<double>(dev);
        idx = i;
        if (maxDev > level) setLevel(maxDev);
      }
    };

    int i = first + 1;
    for (; i + blockPoints <= last; i += blockPoints) {
      // Below a level within a block's reach no point vouches for a block.
      if (blockOff >= 0.0 && blockBelow(i)) continue;
      for (int k = i; k < i + blockPoints; ++k) measure(k);
    }
    for (; i < last; ++i) measure(i);
  } else {
    for (int i = first + 1; i < last; ++i) {
      const double dev = SquaredDeviation(points[i], points[first], points[last]);
      if (dev > maxDev) {
        maxDev = dev;
        idx = i;
      }
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
  using tarnutil::detail::AbsWrap32;
  using tarnutil::detail::AddWrap32;
  using tarnutil::detail::SubWrap32;
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
    const std::int32_t distX = AbsWrap32(SubWrap32(px, refX));
    const std::int32_t distY = AbsWrap32(SubWrap32(py, refY));
    const bool kept = AddWrap32(distX, distY) > tolerance;
    points[k] = p;
    refX = kept ? px : refX;
    refY = kept ? py : refY;
    k += kept ? 1 : 0;
  }
  if (k != count - 1) points[k] = points[count - 1];
  *newCount = k + 1;
}
