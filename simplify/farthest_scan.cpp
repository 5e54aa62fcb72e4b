// The farthest-point scan: every point measured, or, in a plain range, only
// the points that can still be the farthest.
#include "simplify/farthest_scan.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "util/exact.h"

namespace tarnutil {
namespace detail {

namespace {

bool SamePoint(const tagPOINT& a, const tagPOINT& b) {
  return a.x == b.x && a.y == b.y;
}

// Largest extent, in each axis, of a range whose deviations can be computed
// in plain 32-bit arithmetic: every coordinate difference is then at most
// 32766, so lenSq and dot stay below 2^31, and the foot, which lies within a
// unit of the chord's box, is at most 32767 away from any point of the range
// in each axis.
constexpr std::int64_t plainExtent = 32766;
static_assert(2 * (plainExtent + 1) * (plainExtent + 1) <= std::numeric_limits<std::int32_t>::max(),
              "a plain range's squared deviations fit in 32 bits");

// Margin of the bounds below, above sqrt(2) (a foot moved by the truncation
// of both coordinates) by more than any rounding in testing them.
constexpr double footSlack = 1.5;

// Every how many points the first look at a plain range samples.
constexpr int sampleStride = 8;

// Points per block of the scan, which one point can vouch for.
constexpr int blockPoints = 8;

// The chord of a plain range, with the values every reading against it uses.
struct PlainChord {
  PlainChord(const tagPOINT& a, const tagPOINT& b)
      : ax(static_cast<std::int32_t>(a.x)),
        ay(static_cast<std::int32_t>(a.y)),
        bx(static_cast<std::int32_t>(b.x)),
        by(static_cast<std::int32_t>(b.y)),
        dx(bx - ax),
        dy(by - ay),
        lenSq(dx * dx + dy * dy),
        dxD(dx),
        dyD(dy),
        lenSqD(lenSq),
        axD(ax),
        ayD(ay) {}
  std::int32_t ax, ay, bx, by, dx, dy, lenSq;
  double dxD, dyD, lenSqD, axD, ayD;
};

// A point read against a plain chord, by SquaredDeviation's steps on values
// that cannot wrap. Off the chord (dot <= 0 or dot > lenSq) the squared
// deviation to the nearer end is exact; on it, cross^2 / lenSq is the
// squared distance to the chord's line, and FootDeviation finishes the
// measurement.
struct PlainReading {
  bool on;
  std::int32_t offDev;  // 0 when on
  std::int32_t dot;
  double crossSq;  // 0 when off
};

inline PlainReading ReadPlain(const PlainChord& c, const tagPOINT& p) {
  const std::int32_t px = static_cast<std::int32_t>(p.x);
  const std::int32_t py = static_cast<std::int32_t>(p.y);
  const std::int32_t ex = px - c.ax;
  const std::int32_t ey = py - c.ay;
  PlainReading r;
  r.dot = ex * c.dx + ey * c.dy;
  r.on = false;
  r.crossSq = 0.0;
  if (r.dot <= 0) {
    r.offDev = ex * ex + ey * ey;
    return r;
  }
  if (r.dot > c.lenSq) {
    const std::int32_t ux = px - c.bx;
    const std::int32_t uy = py - c.by;
    r.offDev = ux * ux + uy * uy;
    return r;
  }
  r.on = true;
  r.offDev = 0;
  const double cross = static_cast<double>(ex) * c.dyD - static_cast<double>(ey) * c.dxD;
  r.crossSq = cross * cross;
  return r;
}

// The squared deviation of a point read as on the chord: to the foot of
// the perpendicular, truncated to integers.
inline std::int32_t FootDeviation(const PlainChord& c, const tagPOINT& p, std::int32_t dot) {
  const std::int32_t px = static_cast<std::int32_t>(p.x);
  const std::int32_t py = static_cast<std::int32_t>(p.y);
  const double r = static_cast<double>(dot) / c.lenSqD;
  const std::int32_t fx = TruncToInt32(c.dxD * r + c.axD);
  const std::int32_t fy = TruncToInt32(c.dyD * r + c.ayD);
  return (px - fx) * (px - fx) + (py - fy) * (py - fy);
}

// The level a plain scan must beat, and the bounds below which a point, or
// a block headed by a point, certainly stays under it. A point at segment
// distance s <= reach lies below the level: on the chord that is
// cross^2 <= skipBelow. A block's first point at s <= blockReach vouches for
// the whole block: on the chord cross^2 <= blockOn, off it (where the
// deviation is s^2 exactly) a deviation <= blockOff. -1 where no point
// qualifies.
struct ScanLevel {
  double level = 0.0;
  double skipBelow = -1.0;
  double blockOn = -1.0;
  double blockOff = -1.0;

  void Raise(double newLevel, double lenSq, double stepBound) {
    level = newLevel;
    const double reach = std::sqrt(level) - footSlack;
    skipBelow = reach > 0.0 ? reach * reach * lenSq : -1.0;
    const double blockReach = reach - (blockPoints - 1) * stepBound;
    blockOn = blockReach > 0.0 ? blockReach * blockReach * lenSq : -1.0;
    blockOff = blockReach > 0.0 ? blockReach * blockReach : -1.0;
  }
};

// Measures points[i] unless its reading puts it below the level; a new
// maximum raises the level.
inline void MeasurePlain(const PlainChord& chord, const tagPOINT* points, int i, double stepBound,
                         ScanLevel* scan, double* maxDev, int* idx) {
  const PlainReading r = ReadPlain(chord, points[i]);
  if (r.on && r.crossSq <= scan->skipBelow) return;
  const std::int32_t dev = r.on ? FootDeviation(chord, points[i], r.dot) : r.offDev;
  if (static_cast<double>(dev) > *maxDev) {
    *maxDev = static_cast<double>(dev);
    *idx = i;
    if (*maxDev > scan->level) scan->Raise(*maxDev, chord.lenSqD, stepBound);
  }
}

// FarthestAbove's scan of a plain range, first and last not coinciding.
// Most points are not measured. A point's deviation is below (s + sqrt(2))^2,
// where s is its distance to the chord's segment: the exact foot, or the
// nearer end when the foot falls off the segment, and the truncated foot is
// less than sqrt(2) from the exact one. A first look at every eighth point
// gives a level that the largest deviation reaches for sure (the threshold,
// where higher, serves too: nothing at or below it splits). Only points
// whose bound passes the level, raised to the running maximum as the scan
// goes, are measured; every other point is certainly below the largest
// deviation and cannot be chosen. As s changes by at most stepBound from
// one point to the next, the first point of a block, if far enough below
// the level, vouches for the whole block, which the scan then passes over.
// Writes the largest deviation measured and returns its index, or -1.
int ScanPlain(float threshold, const tagPOINT* points, int first, int last, double stepBound,
              double* maxDev) {
  const PlainChord chord(points[first], points[last]);

  // Largest exact deviation of the sampled points whose foot falls off the
  // chord, and largest cross^2 of those whose foot falls on it.
  std::int32_t maxOff = 0;
  double maxCrossSq = 0.0;
  for (int i = first + 1; i < last; i += sampleStride) {
    const PlainReading r = ReadPlain(chord, points[i]);
    maxOff = r.offDev > maxOff ? r.offDev : maxOff;
    maxCrossSq = r.crossSq > maxCrossSq ? r.crossSq : maxCrossSq;
  }
  double level = threshold > 0.0f ? static_cast<double>(threshold) : 0.0;
  level = static_cast<double>(maxOff) > level ? static_cast<double>(maxOff) : level;
  const double nearest = std::sqrt(maxCrossSq / chord.lenSqD) - footSlack;
  if (nearest > 0.0 && nearest * nearest > level) level = nearest * nearest;
  ScanLevel scan;
  scan.Raise(level, chord.lenSqD, stepBound);

  int idx = -1;
  int i = first + 1;
  for (; i + blockPoints <= last; i += blockPoints) {
    // Below a level within a block's reach no point vouches for a block.
    if (scan.blockOff >= 0.0) {
      const PlainReading head = ReadPlain(chord, points[i]);
      if (head.on ? head.crossSq <= scan.blockOn
                  : static_cast<double>(head.offDev) <= scan.blockOff) {
        continue;
      }
    }
    for (int k = i; k < i + blockPoints; ++k) {
      MeasurePlain(chord, points, k, stepBound, &scan, maxDev, &idx);
    }
  }
  for (; i < last; ++i) MeasurePlain(chord, points, i, stepBound, &scan, maxDev, &idx);
  return idx;
}

}  // namespace

double SquaredDeviation(const tagPOINT& p, const tagPOINT& a, const tagPOINT& b) {
  const std::int32_t ax = static_cast<std::int32_t>(a.x);
  const std::int32_t ay = static_cast<std::int32_t>(a.y);
  const std::int32_t bx = static_cast<std::int32_t>(b.x);
  const std::int32_t by = static_cast<std::int32_t>(b.y);
  const std::int32_t px = static_cast<std::int32_t>(p.x);
  const std::int32_t py = static_cast<std::int32_t>(p.y);
  // Differences of 33 bits, their squares and products exact in 128 bits:
  // nothing wraps for any coordinates. Compared exactly, and widened to
  // double where the formula divides or returns.
  const std::int64_t dx = Sub64(bx, ax);
  const std::int64_t dy = Sub64(by, ay);
  const Wide128 lenSq = SquaredLength128(dx, dy);
  const std::int64_t ex = Sub64(px, ax);
  const std::int64_t ey = Sub64(py, ay);
  const Wide128 dot = Add128(MulDiff128(ex, dx), MulDiff128(ey, dy));
  const Wide128 zero{0, 0};
  if (Compare128(dot, zero) <= 0) return ToDouble128(SquaredLength128(ex, ey));
  if (Compare128(dot, lenSq) > 0)
    return ToDouble128(SquaredLength128(Sub64(px, bx), Sub64(py, by)));
  // 0 < dot <= lenSq here, so lenSq is positive and r lies in (0, 1]: the
  // foot lies within the chord's box, inside the 32-bit range. It is cut
  // toward zero, so the deviation is that of an integer point near the
  // perpendicular's foot.
  const double r = ToDouble128(dot) / ToDouble128(lenSq);
  const std::int32_t fx = TruncToInt32(static_cast<double>(dx) * r + static_cast<double>(ax));
  const std::int32_t fy = TruncToInt32(static_cast<double>(dy) * r + static_cast<double>(ay));
  return ToDouble128(SquaredLength128(Sub64(px, fx), Sub64(py, fy)));
}

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

int FarthestAbove(float threshold, const tagPOINT* points, int first, int last,
                  const RangeShape& shape) {
  if (first + 1 >= last) return -1;
  if (SamePoint(points[first], points[last])) return -1;
  double maxDev = 0.0;
  int idx = -1;
  if (shape.plain) {
    idx = ScanPlain(threshold, points, first, last, shape.stepBound, &maxDev);
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

}  // namespace detail
}  // namespace tarnutil
