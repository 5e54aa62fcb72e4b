// Sutherland-Hodgman clipping of integer polygons, pipelined stage by stage.
#include "geometry/polygon_clip.h"

#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <new>
#include <utility>

#include "memory/small_object.h"
#include "util/exact.h"

namespace tarnutil {
namespace detail {
namespace {

// Each stage's first point lives in a block of exactly one point's size.
constexpr unsigned int firstPointBytes = 8;
static_assert(sizeof(tagPOINT) == firstPointBytes, "a point is two 32-bit coordinates");

// Fields are LONG on Windows and int32_t elsewhere; both are 32 bits wide.
std::int32_t X(const tagPOINT& p) {
  return static_cast<std::int32_t>(p.x);
}
std::int32_t Y(const tagPOINT& p) {
  return static_cast<std::int32_t>(p.y);
}

bool InsideClipEdge(const tagPOINT& p, std::int32_t stage, const tagRECT& rect) {
  switch (stage) {
    case stageLeft:
      return X(p) >= static_cast<std::int32_t>(rect.left);
    case stageRight:
      return X(p) <= static_cast<std::int32_t>(rect.right);
    case stageBottom:
      return Y(p) >= static_cast<std::int32_t>(rect.bottom);
    default:
      return Y(p) <= static_cast<std::int32_t>(rect.top);
  }
}

}  // namespace

int CrossesClipEdge(tagPOINT a, tagPOINT b, std::int32_t stage, const tagRECT& rect) {
  return InsideClipEdge(a, stage, rect) != InsideClipEdge(b, stage, rect) ? 1 : 0;
}

tagPOINT* ClipEdgeIntersection(tagPOINT* result, tagPOINT a, tagPOINT b, std::int32_t stage,
                               const tagRECT& rect) {
  if (stage == stageLeft || stage == stageRight) {
    const std::int32_t edge =
        static_cast<std::int32_t>(stage == stageLeft ? rect.left : rect.right);
    std::int32_t y = Y(b);
    if (X(a) != X(b)) {
      // (E - B.x) * (A.y - B.y) first, then one truncating division, exact
      // for any coordinates.
      const std::int64_t step =
          MulDivTrunc64(Sub64(edge, X(b)), Sub64(Y(a), Y(b)), Sub64(X(a), X(b)));
      y = SatToInt32(Y(b) + step);
    }
    result->x = edge;
    result->y = y;
    return result;
  }
  const std::int32_t edge =
      static_cast<std::int32_t>(stage == stageBottom ? rect.bottom : rect.top);
  std::int32_t x = X(b);
  if (Y(a) != Y(b)) {
    const std::int64_t step =
        MulDivTrunc64(Sub64(edge, Y(b)), Sub64(X(a), X(b)), Sub64(Y(a), Y(b)));
    x = SatToInt32(X(b) + step);
  }
  result->x = x;
  result->y = edge;
  return result;
}

ClipPipeline::ClipPipeline(const tagRECT& rect, tagPOINT* out) : rect_(rect), out_(out) {}

ClipPipeline::~ClipPipeline() {
  for (tagPOINT* block : first_) {
    if (block != nullptr) sfree(block);
  }
}

int ClipPipeline::ClipPolygonPoint(tagPOINT p, std::int32_t stage) {
  for (; stage < clipStageCount; ++stage) {
    if (first_[stage] == nullptr) {
      // From smalloc's pool: the call's only allocation, eight bytes without a trip to the heap.
      void* block = smalloc(firstPointBytes);
      if (block == nullptr) return 0;
      first_[stage] = ::new (block) tagPOINT(p);
    } else if (CrossesClipEdge(p, last_[stage], stage, rect_) != 0) {
      tagPOINT crossing;
      ClipEdgeIntersection(&crossing, p, last_[stage], stage, rect_);
      if (PassCrossing(crossing, stage) == 0) return 0;
    }
    last_[stage] = p;
    if (!InsideClipEdge(p, stage, rect_)) return 1;
    if (stage == stageTop) {
      Append(p);
      return 1;
    }
  }
  return 1;
}

int ClipPipeline::ClosePolygonClip() {
  // Pipeline order: an earlier stage's closing crossing reaches the later
  // stages before they close.
  for (std::int32_t stage = stageLeft; stage < clipStageCount; ++stage) {
    if (first_[stage] == nullptr) continue;
    if (CrossesClipEdge(last_[stage], *first_[stage], stage, rect_) == 0) continue;
    tagPOINT crossing;
    ClipEdgeIntersection(&crossing, last_[stage], *first_[stage], stage, rect_);
    if (PassCrossing(crossing, stage) == 0) return 0;
  }
  return 1;
}

int ClipPipeline::PassCrossing(const tagPOINT& crossing, std::int32_t stage) {
  if (stage < stageTop) return ClipPolygonPoint(crossing, stage + 1);
  Append(crossing);
  return 1;
}

void ClipPipeline::Append(const tagPOINT& p) {
  out_[outCount_] = p;
  outCount_ = AddWrap32(outCount_, 1);
}

}  // namespace detail
}  // namespace tarnutil

std::int32_t clipGraph(tagRECT* rect, tagPOINT* points, std::int32_t count, tagPOINT* out,
                       int open) {
  using tarnutil::detail::stageLeft;
  if (points == nullptr || out == nullptr || count < 1) return 0;
  if (rect->bottom > rect->top) std::swap(rect->top, rect->bottom);

  tarnutil::detail::ClipPipeline pipeline(*rect, out);
  int ok = 1;
  for (std::int32_t i = 0; i < count && ok != 0; ++i) {
    ok = pipeline.ClipPolygonPoint(points[i], stageLeft);
  }
  if (ok != 0 && open == 0) ok = pipeline.ClosePolygonClip();
  // A failed block request comes before the top stage holds its block, so
  // nothing has been written to out then.
  return ok != 0 ? pipeline.outCount() : 0;
}
