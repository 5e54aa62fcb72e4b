// The clipping calls shared by the clip command and the demonstration map:
// the room the library needs, worked out once, and the rectangle's corners
// in whatever order the caller has them.
#ifndef TARNUTIL_TOOLS_CLIP_PLUMBING_H
#define TARNUTIL_TOOLS_CLIP_PLUMBING_H

#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <vector>

namespace tarnutil {
namespace cli {

// An axis-aligned rectangle with lo <= hi on both axes, whatever the order
// of the corners it was made from.
struct ClipRect {
  std::int32_t xMin;
  std::int32_t yMin;
  std::int32_t xMax;
  std::int32_t yMax;
};
ClipRect RectFromCorners(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);

// The visible pieces of a polyline, in order along it; none for fewer than
// two points.
std::vector<std::vector<tagPOINT>> ClipPolyline(const ClipRect& rect, std::vector<tagPOINT> points);

// The clipped outline of a polygon, closing edge included unless open.
std::vector<tagPOINT> ClipPolygon(const ClipRect& rect, std::vector<tagPOINT> points, bool open);

}  // namespace cli
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_CLIP_PLUMBING_H
