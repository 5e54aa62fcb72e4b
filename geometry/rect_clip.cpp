// Cohen-Sutherland clipping of integer polylines to an inclusive rectangle.
#include "geometry/rect_clip.h"

#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <utility>

#include "util/exact.h"

namespace tarnutil {
namespace detail {

namespace {

// Without truncation an end point is moved at most twice (once per axis),
// so a segment needs at most four moves. Truncating the moved coordinate
// toward zero can send a point a unit past a corner and around it, which
// costs a move or two more: a line exactly through a corner can take five,
// and no segment that ends has been seen to take more in millions of random
// trials. Eight leaves room above that; a point still outside by then is
// circling a corner it never reaches, and the segment is rejected.
constexpr int maxMoves = 8;

}  // namespace

int ComputeRegionCode(const std::int32_t* x, const std::int32_t* y, const tagPOINT* min,
                      const tagPOINT* max) {
  int code = 0;
  if (*x < static_cast<std::int32_t>(min->x)) {
    code = regionLeft;
  } else if (*x > static_cast<std::int32_t>(max->x)) {
    code = regionRight;
  }
  if (*y < static_cast<std::int32_t>(min->y)) {
    code |= regionBelow;
  } else if (*y > static_cast<std::int32_t>(max->y)) {
    code |= regionAbove;
  }
  return code;
}

int ClipSegmentToRect(std::int32_t* x1, std::int32_t* y1, std::int32_t* x2, std::int32_t* y2,
                      int* startEdge, int* endEdge, const tagPOINT* min, const tagPOINT* max) {
  *startEdge = 0;
  *endEdge = 0;
  const std::int32_t xmin = static_cast<std::int32_t>(min->x);
  const std::int32_t ymin = static_cast<std::int32_t>(min->y);
  const std::int32_t xmax = static_cast<std::int32_t>(max->x);
  const std::int32_t ymax = static_cast<std::int32_t>(max->y);

  // From the ends as passed in, once. A vertical segment gets 0: it is only
  // ever moved in y, and a horizontal one only in x, so no move divides by
  // a zero slope. Otherwise |slope| lies in [2^-32, 2^32], so every moved
  // coordinate is finite and TruncToInt32 saturates what overflows. Every
  // difference is exact: 33 bits fit in a double.
  double slope = 0.0;
  if (*x1 != *x2) {
    slope = SubToDouble(*y1, *y2) / SubToDouble(*x1, *x2);
  }

  // The first point is always the one moved: the ends (with their edge
  // codes) are exchanged when it is inside, and exchanged back on success.
  bool swapped = false;
  for (int moves = 0;; ++moves) {
    int c1 = ComputeRegionCode(x1, y1, min, max);
    const int c2 = ComputeRegionCode(x2, y2, min, max);
    if (c1 == 0 && c2 == 0) {
      if (swapped) {
        std::swap(*x1, *x2);
        std::swap(*y1, *y2);
        std::swap(*startEdge, *endEdge);
      }
      return 1;
    }
    if ((c1 & c2) != 0 || moves == maxMoves) return 0;
    if (c1 == 0) {
      std::swap(*x1, *x2);
      std::swap(*y1, *y2);
      std::swap(*startEdge, *endEdge);
      swapped = !swapped;
      c1 = c2;
    }

    if ((c1 & regionLeft) != 0) {
      *y1 = TruncToInt32(SubToDouble(xmin, *x1) * slope + static_cast<double>(*y1));
      *x1 = xmin;
      *startEdge = regionLeft;
    } else if ((c1 & regionRight) != 0) {
      *y1 = TruncToInt32(SubToDouble(xmax, *x1) * slope + static_cast<double>(*y1));
      *x1 = xmax;
      *startEdge = regionRight;
    } else if ((c1 & regionBelow) != 0) {
      if (*x1 != *x2) {
        *x1 = TruncToInt32(SubToDouble(ymin, *y1) / slope + static_cast<double>(*x1));
      }
      *y1 = ymin;
      *startEdge = regionBelow;
    } else {
      if (*x1 != *x2) {
        *x1 = TruncToInt32(SubToDouble(ymax, *y1) / slope + static_cast<double>(*x1));
      }
      *y1 = ymax;
      *startEdge = regionAbove;
    }
  }
}

}  // namespace detail
}  // namespace tarnutil

int RectClipLine(tagPOINT* points, int n, tagPOINT* out, int* totals, tagPOINT* min,
                 tagPOINT* max) {
  if (n < 2) return 0;
  int i = 0;
  int j = 0;
  // A piece is open while the polyline stays inside; openEnd is its last
  // point, not yet written.
  bool open = false;
  tagPOINT openEnd{};
  // The previous segment's end point as it was read, and its region code:
  // the next segment starts there, so the code is taken over, unless the
  // point reads differently now (an output array laid over the input).
  std::int32_t lastX = 0;
  std::int32_t lastY = 0;
  int lastCode = -1;
  for (int k = 0; k + 1 < n; ++k) {
    std::int32_t x1 = static_cast<std::int32_t>(points[k].x);
    std::int32_t y1 = static_cast<std::int32_t>(points[k].y);
    std::int32_t x2 = static_cast<std::int32_t>(points[k + 1].x);
    std::int32_t y2 = static_cast<std::int32_t>(points[k + 1].y);
    const int startCode = (lastCode >= 0 && x1 == lastX && y1 == lastY)
                              ? lastCode
                              : tarnutil::detail::ComputeRegionCode(&x1, &y1, min, max);
    const int endCode = tarnutil::detail::ComputeRegionCode(&x2, &y2, min, max);
    lastX = x2;
    lastY = y2;
    lastCode = endCode;
    int startEdge = 0;
    int endEdge = 0;
    // The clipper's first round decides these two cases without moving a
    // point: both ends inside is visible as it is, both beyond one edge is
    // rejected. Only the rest is handed to it.
    int visible = 0;
    if ((startCode | endCode) == 0) {
      visible = 1;
    } else if ((startCode & endCode) == 0) {
      visible =
          tarnutil::detail::ClipSegmentToRect(&x1, &y1, &x2, &y2, &startEdge, &endEdge, min, max);
    }
    if (visible == 0) {
      // Only a segment that grazes the border from an inside end and then
      // circles a corner is rejected after an open piece; close the piece at
      // that end so its points are not lost.
      if (open) {
        out[i] = openEnd;
        ++i;
        totals[j] = i;
        ++j;
        open = false;
      }
      continue;
    }
    out[i].x = x1;
    out[i].y = y1;
    ++i;
    if (endEdge == 0) {
      open = true;
      openEnd.x = x2;
      openEnd.y = y2;
      continue;
    }
    // The polyline leaves the rectangle in this segment: close the piece.
    out[i].x = x2;
    out[i].y = y2;
    ++i;
    totals[j] = i;
    ++j;
    open = false;
  }
  // A piece still open at the end is closed with the polyline's last point.
  if (open) {
    out[i] = openEnd;
    totals[j] = i + 1;
    ++j;
  }
  return j;
}
