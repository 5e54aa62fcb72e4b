#include "tools/clip_plumbing.h"

#include <algorithm>
#include <cstddef>

namespace tarnutil {
namespace cli {

namespace {

// Each of clipGraph's four edge stages passes on at most m + m / 2 of its m
// points; 81 / 16 of the count, rounded up, bounds all four.
std::size_t PolygonRoom(std::size_t count) {
  return (81 * count + 15) / 16;
}

// RectClipLine asks for 2 (n - 1) points and n - 1 piece totals.
std::size_t PolylineRoom(std::size_t count) {
  return 2 * (count - 1);
}

}  // namespace

ClipRect RectFromCorners(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  return ClipRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

std::vector<std::vector<tagPOINT>> ClipPolyline(const ClipRect& rect,
                                                std::vector<tagPOINT> points) {
  std::vector<std::vector<tagPOINT>> pieces;
  if (points.size() < 2) {
    return pieces;
  }
  std::vector<tagPOINT> out(PolylineRoom(points.size()));
  std::vector<int> totals(points.size() - 1);
  tagPOINT lo;
  lo.x = rect.xMin;
  lo.y = rect.yMin;
  tagPOINT hi;
  hi.x = rect.xMax;
  hi.y = rect.yMax;
  const int count = RectClipLine(points.data(), static_cast<int>(points.size()), out.data(),
                                 totals.data(), &lo, &hi);
  int begin = 0;
  for (int j = 0; j < count; ++j) {
    const int end = totals[static_cast<std::size_t>(j)];
    pieces.emplace_back(out.begin() + begin, out.begin() + end);
    begin = end;
  }
  return pieces;
}

std::vector<tagPOINT> ClipPolygon(const ClipRect& rect, std::vector<tagPOINT> points, bool open) {
  // Fresh each time: the library normalises the rectangle in place.
  tagRECT r;
  r.left = rect.xMin;
  r.bottom = rect.yMin;
  r.right = rect.xMax;
  r.top = rect.yMax;
  std::vector<tagPOINT> out(PolygonRoom(points.size()));
  const std::int32_t n = clipGraph(&r, points.data(), static_cast<std::int32_t>(points.size()),
                                   out.data(), open ? 1 : 0);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

}  // namespace cli
}  // namespace tarnutil
