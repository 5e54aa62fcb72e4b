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

// Stages 0..3 clip against left, right, bottom and top, in this order.
constexpr std::int32_t clipStageCount = 4;

// 1 when exactly one of a and b is inside for the stage (points on the edge
// line are inside), else 0. Stage 0: x >= left, 1: x <= right,
// 2: y >= bottom, 3: y <= top.
int CrossesClipEdge(tagPOINT a, tagPOINT b, std::int32_t stage, const tagRECT& rect);

// Writes to *result the point where the line through a and b meets the
// stage's edge line, measured from the base point b in 32-bit wrap-around
// arithmetic with division truncating toward zero; when the line runs
// parallel to the edge line (equal x for stages 0 and 1, equal y for 2 and 3)
// the free coordinate is b's. Returns result.
tagPOINT* ClipEdgeIntersection(tagPOINT* result, tagPOINT a, tagPOINT b, std::int32_t stage,
                               const tagRECT& rect);

// Feeds p into the given stage and, as far as it survives, the later ones;
// stage 3 appends what survives to out[*outCount] and counts it. first[k] is
// null until stage k receives a point, then the smalloc block holding it;
// last[k] is stage k's last point. Returns 1, or 0 when a first-point block
// could not be had: then nothing was appended (output is only written once
// stage 3 holds its block, after which no block is taken) and the clip must
// be abandoned.
int ClipPolygonPoint(tagPOINT p, std::int32_t stage, const tagRECT& rect, tagPOINT* out,
                     std::int32_t* outCount, tagPOINT* first[clipStageCount],
                     tagPOINT last[clipStageCount]);

// Closing pass: for stages 0..3 in order, pushes the crossing of the edge
// from the stage's last point back to its first point on through the later
// stages. Returns 1, or 0 when a later stage could not get its first-point
// block (see ClipPolygonPoint).
int ClosePolygonClip(const tagRECT& rect, tagPOINT* out, std::int32_t* outCount,
                     tagPOINT* first[clipStageCount], tagPOINT last[clipStageCount]);

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_GEOMETRY_POLYGON_CLIP_H
