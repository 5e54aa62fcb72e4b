// Distance from a point to a segment, with the nearest point and whether it
// is the foot of the perpendicular or an end of the segment.
#include "geometry/point_segment.h"

#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstdint>

#include "util/exact.h"

double DistOfP2L_1(double px, double py, double x1, double y1, double x2, double y2, POINTD& foot,
                   int* flag) {
  double fx = 0.0;
  double fy = 0.0;
  if (std::fabs(x1 - x2) < tarnutil::detail::axisTolerance) {
    fx = x1;
    fy = py;
  } else if (std::fabs(y1 - y2) < tarnutil::detail::axisTolerance) {
    fx = px;
    fy = y1;
  } else {
    // Intersection of the segment's line (slope k) with the perpendicular
    // through the point (slope k2); left to right, as the results depend on it.
    const double k = (y2 - y1) / (x2 - x1);
    const double k2 = -1.0 / k;
    const double den = k - k2;
    fx = (((k * x1 - k2 * px) - y1) + py) / den;
    fy = (((k * py - k2 * y1) - x1) + px) / den;
  }

  const double minX = x1 > x2 ? x2 : x1;
  const double maxX = x1 > x2 ? x1 : x2;
  const double minY = y1 > y2 ? y2 : y1;
  const double maxY = y1 > y2 ? y1 : y2;
  if (fx < minX || fx > maxX || fy < minY || fy > maxY) {
    // Nearer end by Manhattan distance; a tie goes to the second end.
    const double s1 = std::fabs(y1 - py) + std::fabs(x1 - px);
    const double s2 = std::fabs(y2 - py) + std::fabs(x2 - px);
    const double ex = s2 > s1 ? x1 : x2;
    const double ey = s2 > s1 ? y1 : y2;
    foot.x = ex;
    foot.y = ey;
    if (flag != nullptr) *flag = 0;
    return Distance(ex, ey, px, py);
  }
  foot.x = fx;
  foot.y = fy;
  if (flag != nullptr) *flag = 1;
  return Distance(px, py, fx, fy);
}

std::int32_t DistOfP2L(std::int32_t px, std::int32_t py, std::int32_t x1, std::int32_t y1,
                       std::int32_t x2, std::int32_t y2, tagPOINT& foot, int* flag) {
  using tarnutil::detail::AbsDiff32;
  using tarnutil::detail::SubToDouble;
  using tarnutil::detail::TruncToInt32;
  using tarnutil::detail::TruncToInt64;
  // The foot in 64 bits: it lies on the segment's line within |P - A| of A,
  // so it can leave the 32-bit range, and is narrowed only inside the box.
  std::int64_t fx = 0;
  std::int64_t fy = 0;
  if (x1 == x2) {
    fx = x1;
    fy = py;
  } else if (y1 == y2) {
    fx = px;
    fy = y1;
  } else {
    // Both differences are non-zero 33-bit values, exact in double, so k,
    // k2 and den are finite and non-zero.
    const double k = SubToDouble(y2, y1) / SubToDouble(x2, x1);
    const double k2 = -1.0 / k;
    const double den = k - k2;
    const double pxD = px;
    const double pyD = py;
    const double x1D = x1;
    const double y1D = y1;
    fx = TruncToInt64((((x1D * k - pxD * k2) - y1D) + pyD) / den);
    fy = TruncToInt64((((pyD * k - y1D * k2) - x1D) + pxD) / den);
  }
  // The foot is truncated before this test, so a projection just outside the
  // segment near a negative coordinate can land back inside the box.
  const std::int32_t minX = x1 < x2 ? x1 : x2;
  const std::int32_t maxX = x1 < x2 ? x2 : x1;
  const std::int32_t minY = y1 < y2 ? y1 : y2;
  const std::int32_t maxY = y1 < y2 ? y2 : y1;
  if (fx < minX || fx > maxX || fy < minY || fy > maxY) {
    // Manhattan sums up to 2^34, exact in 64 bits.
    const std::uint64_t s1 = std::uint64_t{AbsDiff32(y1, py)} + AbsDiff32(x1, px);
    const std::uint64_t s2 = std::uint64_t{AbsDiff32(y2, py)} + AbsDiff32(x2, px);
    // Ties go to the second end, as in DistOfP2L_1.
    const bool second = s2 <= s1;
    const std::int32_t ex = second ? x2 : x1;
    const std::int32_t ey = second ? y2 : y1;
    foot.x = ex;
    foot.y = ey;
    if (flag != nullptr) *flag = 0;
    // Beyond INT32_MAX (up to 2^32.5) the distance saturates to INT32_MAX.
    return TruncToInt32(Distance(ex, ey, px, py));
  }
  // Inside the box, so within the 32-bit range.
  foot.x = static_cast<std::int32_t>(fx);
  foot.y = static_cast<std::int32_t>(fy);
  if (flag != nullptr) *flag = 1;
  // Measured to the truncated foot, not to the exact projection.
  return TruncToInt32(Distance(static_cast<double>(px), static_cast<double>(py),
                               static_cast<double>(fx), static_cast<double>(fy)));
}
