// Internals of the rectangle line clipping, reachable from the tests.
#ifndef TARNUTIL_GEOMETRY_RECT_CLIP_H
#define TARNUTIL_GEOMETRY_RECT_CLIP_H

#include <cstdint>

#include "platform/platform_types.h"

namespace tarnutil {
namespace detail {

// Region code bits; the same values name the edge an end point was moved to.
constexpr int regionLeft = 1;   // x < xmin, or moved to x = xmin
constexpr int regionRight = 2;  // x > xmax, or moved to x = xmax
constexpr int regionBelow = 4;  // y < ymin, or moved to y = ymin
constexpr int regionAbove = 8;  // y > ymax, or moved to y = ymax

// Region code of (*x, *y) against the inclusive rectangle [min, max]:
// 0 inside or on the border, else the bits above.
int ComputeRegionCode(const std::int32_t* x, const std::int32_t* y, const tagPOINT* min,
                      const tagPOINT* max);

// Clips the segment (*x1, *y1)-(*x2, *y2) in place. Returns 1 when part of it
// is visible, with *startEdge and *endEdge telling the edge each end was last
// moved to (0 when not moved). Returns 0 when it is rejected, including a
// segment whose truncated end points keep moving around a corner; the four
// coordinates and edge codes are then meaningless.
int ClipSegmentToRect(std::int32_t* x1, std::int32_t* y1, std::int32_t* x2, std::int32_t* y2,
                      int* startEdge, int* endEdge, const tagPOINT* min, const tagPOINT* max);

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_GEOMETRY_RECT_CLIP_H
