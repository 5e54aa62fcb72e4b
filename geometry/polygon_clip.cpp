#include "geometry/polygon_clip.h"

#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <new>
#include <utility>

#include "util/exact.h"

namespace tarnutil {
namespace detail {
namespace {

// Each stage's first point lives in a block of exactly one point's size.
constexpr unsigned int firstPointBytes = 8;
static_assert(sizeof(tagPOINT) == firstPointBytes, "a point is two 32-bit coordinates");

constexpr std::int32_t lastStage = clipStageCount - 1;

// Fields are LONG on Windows and int32_t elsewhere; both are 32 bits wide.
std::int32_t X(const tagPOINT& p) {
  return static_cast<std::int32_t>(p.x);
}
std::int32_t Y(const tagPOINT& p) {
  return static_cast<std::int32_t>(p.y);
}

bool InsideClipEdge(const tagPOINT& p, std::int32_t stage, const tagRECT& rect) {
  switch (stage) {
    case 0:
      return X(p) >= static_cast<std::int32_t>(rect.left);
    case 1:
      return X(p) <= static_cast<std::int32_t>(rect.right);
    case 2:
      return Y(p) >= static_cast<std::int32_t>(rect.bottom);
    default:
      return Y(p) <= static_cast<std::int32_t>(rect.top);
  }
}

void AppendPoint(const tagPOINT& p, tagPOINT* out, std::int32_t* outCount) {
  out[*outCount] = p;
  *outCount = AddWrap32(*outCount, 1);
}

// Hands a crossing point from the given stage to the next one, or to the
// output after the last stage.
int PassCrossing(const tagPOINT& crossing, std::int32_t stage, const tagRECT& rect, tagPOINT* out,
                 std::int32_t* outCount, tagPOINT* first[clipStageCount],
                 tagPOINT last[clipStageCount]) {
  if (stage < lastStage) {
    return ClipPolygonPoint(crossing, stage + 1, rect, out, outCount, first, last);
  }
  AppendPoint(crossing, out, outCount);
  return 1;
}

}  // namespace

int CrossesClipEdge(tagPOINT a, tagPOINT b, std::int32_t stage, const tagRECT& rect) {
  return InsideClipEdge(a, stage, rect) != InsideClipEdge(b, stage, rect) ? 1 : 0;
}

tagPOINT* ClipEdgeIntersection(tagPOINT* result, tagPOINT a, tagPOINT b, std::int32_t stage,
                               const tagRECT& rect) {
  if (stage == 0 || stage == 1) {
    const std::int32_t edge = static_cast<std::int32_t>(stage == 0 ? rect.left : rect.right);
    std::int32_t y = Y(b);
    if (X(a) != X(b)) {
      // (E - B.x) * (A.y - B.y) first, then one truncating division.
      const std::int32_t num = MulWrap32(SubWrap32(edge, X(b)), SubWrap32(Y(a), Y(b)));
      y = AddWrap32(Y(b), DivTrunc32(num, SubWrap32(X(a), X(b))));
    }
    result->x = edge;
    result->y = y;
    return result;
  }
  const std::int32_t edge = static_cast<std::int32_t>(stage == 2 ? rect.bottom : rect.top);
  std::int32_t x = X(b);
  if (Y(a) != Y(b)) {
    const std::int32_t num = MulWrap32(SubWrap32(edge, Y(b)), SubWrap32(X(a), X(b)));
    x = AddWrap32(X(b), DivTrunc32(num, SubWrap32(Y(a), Y(b))));
  }
  result->x = x;
  result->y = edge;
  return result;
}

int ClipPolygonPoint(tagPOINT p, std::int32_t stage, const tagRECT& rect, tagPOINT* out,
                     std::int32_t* outCount, tagPOINT* first[clipStageCount],
                     tagPOINT last[clipStageCount]) {
  for (; stage < clipStageCount; ++stage) {
    if (first[stage] == nullptr) {
      void* block = smalloc(firstPointBytes);
      if (block == nullptr) return 0;
      first[stage] = ::new (block) tagPOINT(p);
    } else if (CrossesClipEdge(p, last[stage], stage, rect) != 0) {
      tagPOINT crossing;
      ClipEdgeIntersection(&crossing, p, last[stage], stage, rect);
      if (PassCrossing(crossing, stage, rect, out, outCount, first, last) == 0) return 0;
    }
    last[stage] = p;
    if (!InsideClipEdge(p, stage, rect)) return 1;
    if (stage == lastStage) {
      AppendPoint(p, out, outCount);
      return 1;
    }
  }
  return 1;
}

int ClosePolygonClip(const tagRECT& rect, tagPOINT* out, std::int32_t* outCount,
                     tagPOINT* first[clipStageCount], tagPOINT last[clipStageCount]) {
  // Pipeline order: an earlier stage's closing crossing reaches the later
  // stages before they close.
  for (std::int32_t stage = 0; stage < clipStageCount; ++stage) {
    if (first[stage] == nullptr) continue;
    if (CrossesClipEdge(last[stage], *first[stage], stage, rect) == 0) continue;
    tagPOINT crossing;
    ClipEdgeIntersection(&crossing, last[stage], *first[stage], stage, rect);
    if (PassCrossing(crossing, stage, rect, out, outCount, first, last) == 0) return 0;
  }
  return 1;
}

}  // namespace detail
}  // namespace tarnutil

std::int32_t clipGraph(tagRECT* rect, tagPOINT* points, std::int32_t count, tagPOINT* out,
                       int open) {
  using tarnutil::detail::clipStageCount;
  if (points == nullptr || out == nullptr || count < 1) return 0;
  if (rect->bottom > rect->top) std::swap(rect->top, rect->bottom);

  std::int32_t outCount = 0;
  tagPOINT* first[clipStageCount] = {};
  tagPOINT last[clipStageCount] = {};
  int ok = 1;
  for (std::int32_t i = 0; i < count && ok != 0; ++i) {
    ok = tarnutil::detail::ClipPolygonPoint(points[i], 0, *rect, out, &outCount, first, last);
  }
  if (ok != 0 && open == 0) {
    ok = tarnutil::detail::ClosePolygonClip(*rect, out, &outCount, first, last);
  }
  for (tagPOINT* block : first) {
    if (block != nullptr) sfree(block);
  }
  // A failed block request comes before stage 3 holds its block, so nothing
  // has been written to out then.
  return ok != 0 ? outCount : 0;
}
