// Stages of the pipelined polygon clipper behind clipGraph.
//
// Four stages, one per rectangle edge in the order left, right, bottom, top,
// are chained; each input point is pushed through them one at a time. A stage
// keeps only its first point (in an 8-byte block from smalloc, taken when the
// stage receives its first point) and its last point.
#ifndef TARNUTIL_GEOMETRY_POLYGON_CLIP_H
#define TARNUTIL_GEOMETRY_POLYGON_CLIP_H

#include <cstdint>

#include "platform/platform_types.h"

namespace tarnutil {
namespace detail {

// The stages in pipeline order, each named for the edge it clips against.
constexpr std::int32_t stageLeft = 0;    // inside: x >= left
constexpr std::int32_t stageRight = 1;   // inside: x <= right
constexpr std::int32_t stageBottom = 2;  // inside: y >= bottom
constexpr std::int32_t stageTop = 3;     // inside: y <= top
constexpr std::int32_t clipStageCount = 4;

// 1 when exactly one of a and b is inside for the stage (points on the edge
// line are inside), else 0.
int CrossesClipEdge(tagPOINT a, tagPOINT b, std::int32_t stage, const tagRECT& rect);

// Writes to *result the point where the line through a and b meets the
// stage's edge line, measured from the base point b, exactly for any
// coordinates, with the division truncating toward zero; when the line runs
// parallel to the edge line (equal x for the left and right stages, equal y
// for bottom and top) the free coordinate is b's. When a and b lie on either
// side of the edge line, as the pipeline asks, the point lies between them;
// otherwise a free coordinate beyond the 32-bit range saturates. Returns
// result.
tagPOINT* ClipEdgeIntersection(tagPOINT* result, tagPOINT a, tagPOINT b, std::int32_t stage,
                               const tagRECT& rect);

// The state of one clipGraph call: the rectangle, the output with its count,
// and each stage's first and last point. Gives the first-point blocks back
// to smalloc's pool when it goes.
class ClipPipeline {
 public:
  ClipPipeline(const tagRECT& rect, tagPOINT* out);
  ~ClipPipeline();
  ClipPipeline(const ClipPipeline&) = delete;
  ClipPipeline& operator=(const ClipPipeline&) = delete;

  // Feeds p into the given stage and, as far as it survives, the later ones;
  // the top stage appends what survives to the output. Returns 1, or 0 when
  // a first-point block could not be had: then nothing was appended (output
  // is only written once the top stage holds its block, after which no
  // block is taken) and the clip must be abandoned.
  int ClipPolygonPoint(tagPOINT p, std::int32_t stage);

  // Closing pass: for the stages in pipeline order, pushes the crossing of
  // the edge from the stage's last point back to its first point on through
  // the later stages. Returns 1, or 0 as ClipPolygonPoint does.
  int ClosePolygonClip();

  std::int32_t outCount() const { return outCount_; }
  // Null until the stage has received a point, then the block holding it.
  const tagPOINT* first(std::int32_t stage) const { return first_[stage]; }
  const tagPOINT& last(std::int32_t stage) const { return last_[stage]; }

 private:
  // Hands a crossing point from the given stage to the next one, or to the
  // output after the top stage.
  int PassCrossing(const tagPOINT& crossing, std::int32_t stage);
  void Append(const tagPOINT& p);

  const tagRECT& rect_;
  tagPOINT* out_;
  std::int32_t outCount_ = 0;
  tagPOINT* first_[clipStageCount] = {};
  tagPOINT last_[clipStageCount] = {};
};

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_GEOMETRY_POLYGON_CLIP_H
