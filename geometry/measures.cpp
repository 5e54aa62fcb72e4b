// Planar measures: distance, segment direction, side of a segment, and table
// sine and cosine.
#include "geometry/measures.h"

#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstdint>

#include "maths/maths.h"
#include "util/exact.h"

namespace tarnutil {
namespace detail {

int TrigTableIndex(int degrees) {
  // -360..719 covers the angles callers pass (a turn either side of the
  // table): for them the entry the remainder below gives is found without
  // its multiplications.
  // Shifted by a turn they are 0..1079; taking off as many turns as the
  // shifted value holds (0, 1 or 2) needs no branch, which random angles
  // would mispredict.
  constexpr unsigned int turn = static_cast<unsigned int>(degreesPerTurn);
  const unsigned int shifted = static_cast<unsigned int>(degrees) + turn;
  if (shifted < 3u * turn) {
    const unsigned int turns = static_cast<unsigned int>(shifted >= turn) +
                               static_cast<unsigned int>(shifted >= 2u * turn);
    return static_cast<int>(shifted - turns * turn);
  }
  // A remainder keeps the sign of the dividend, so one correction brings it
  // into 0..359. For -360..-1 this is the same entry as degrees + 360, and
  // any smaller angle (INT_MIN included) still reads inside the table.
  int index = degrees % degreesPerTurn;
  if (index < 0) index += degreesPerTurn;
  return index;
}

}  // namespace detail
}  // namespace tarnutil

namespace {

namespace maths = tarnutil::maths;

// 57.295779513, not 180/pi: segment angles are scaled by exactly this
// factor, and the last digits decide the rounding near half degrees.
constexpr double segmentRad2deg = 57.295779513;

// Added before truncation so that the angle rounds to the nearest degree for
// non-negative directions.
constexpr double roundingHalf = 0.5;

constexpr std::int32_t angleRight = 0;
constexpr std::int32_t angleUp = 90;
constexpr std::int32_t angleLeft = 180;
constexpr std::int32_t angleDown = 270;

}  // namespace

double Distance(double x1, double y1, double x2, double y2) {
  const double dx = x1 - x2;
  const double dy = y1 - y2;
  return std::sqrt(dy * dy + dx * dx);
}

int ComputeSegmentAngle(tagPOINT* start, tagPOINT* end, std::int32_t* angle) {
  using tarnutil::detail::SubToDouble;
  using tarnutil::detail::TruncToInt32;
  if (start == nullptr || end == nullptr || angle == nullptr) return 0;
  const std::int32_t sx = static_cast<std::int32_t>(start->x);
  const std::int32_t sy = static_cast<std::int32_t>(start->y);
  const std::int32_t ex = static_cast<std::int32_t>(end->x);
  const std::int32_t ey = static_cast<std::int32_t>(end->y);
  if (sx == ex && sy == ey) {
    *angle = 0;
    return 0;
  }

  std::int32_t n = 0;
  if (sy == ey) {
    n = sx < ex ? angleRight : angleLeft;
  } else if (sx == ex) {
    n = sy < ey ? angleUp : angleDown;
  } else {
    // Through float on purpose: differences beyond 2^24 lose their low bits.
    // The 33-bit difference is exact in double, so the float step is the
    // one rounding, as from a 32-bit integer.
    const float dxF = static_cast<float>(SubToDouble(ex, sx));
    const float dyF = static_cast<float>(SubToDouble(ey, sy));
    const double d =
        maths::Atan2(static_cast<double>(dyF), static_cast<double>(dxF)) * segmentRad2deg;
    // Toward zero, so directions just below 0 degrees round up to 0.
    n = TruncToInt32(d + roundingHalf);
    if (n < 0) n += tarnutil::detail::degreesPerTurn;
  }
  *angle = n % tarnutil::detail::degreesPerTurn;
  return 1;
}

int WherePtLiesSegment(const tagPOINT* p, const tagPOINT* a, const tagPOINT* b) {
  using tarnutil::detail::CrossSat32;
  using tarnutil::detail::Sub64;
  const std::int32_t ax = static_cast<std::int32_t>(a->x);
  const std::int32_t ay = static_cast<std::int32_t>(a->y);
  const std::int64_t apx = Sub64(static_cast<std::int32_t>(p->x), ax);
  const std::int64_t apy = Sub64(static_cast<std::int32_t>(p->y), ay);
  const std::int64_t abx = Sub64(static_cast<std::int32_t>(b->x), ax);
  const std::int64_t aby = Sub64(static_cast<std::int32_t>(b->y), ay);
  // Exact, then narrowed: a cross product beyond the int range saturates
  // with its sign, so the side is always right.
  return CrossSat32(apx, aby, apy, abx);
}

float SIN(int degrees) {
  return tarnutil::detail::sinTable[tarnutil::detail::TrigTableIndex(degrees)];
}

float COS(int degrees) {
  return tarnutil::detail::cosTable[tarnutil::detail::TrigTableIndex(degrees)];
}
