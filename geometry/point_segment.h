// Internals of the point-to-segment distance.
#ifndef TARNUTIL_GEOMETRY_POINT_SEGMENT_H
#define TARNUTIL_GEOMETRY_POINT_SEGMENT_H

namespace tarnutil {
namespace detail {

// DistOfP2L_1 treats a segment whose ends differ by less than this in x (or
// in y) as exactly vertical (horizontal); a difference of exactly 0.1 does
// not count, which keeps the slope and its perpendicular finite and non-zero.
constexpr double axisTolerance = 0.1;

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_GEOMETRY_POINT_SEGMENT_H
