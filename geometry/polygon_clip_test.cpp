#include "geometry/polygon_clip.h"

#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "testing/exact_reference.h"
#include "testing/testing.h"

namespace {

using tarnutil::detail::ClipEdgeIntersection;
using tarnutil::detail::ClipPipeline;
using tarnutil::detail::clipStageCount;
using tarnutil::detail::CrossesClipEdge;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

using Pts = std::vector<std::pair<std::int64_t, std::int64_t>>;

Pts ToPts(const tagPOINT* p, std::int64_t n) {
  Pts r;
  for (std::int64_t i = 0; i < n; ++i) r.emplace_back(p[i].x, p[i].y);
  return r;
}

std::vector<tagPOINT> ToPoints(const Pts& pts) {
  std::vector<tagPOINT> r;
  for (const auto& p : pts) {
    r.push_back(tagPOINT{static_cast<std::int32_t>(p.first), static_cast<std::int32_t>(p.second)});
  }
  return r;
}

// Largest output the header promises room for: each stage passes on at most
// m + m / 2 of m points.
std::int64_t OutputBound(std::int64_t count) {
  for (int stage = 0; stage < 4; ++stage) count += count / 2;
  return count;
}

// Whole-list clipping in exact integers, one edge at a time, as an
// independent reference. The wrap-around edge is handled last with the first point as
// base, which is where the streaming clipper meets it.
Pts ReferenceClip(Pts poly, std::int64_t left, std::int64_t top, std::int64_t right,
                  std::int64_t bottom, bool closed) {
  if (bottom > top) std::swap(bottom, top);
  const std::int64_t lines[4] = {left, right, bottom, top};
  for (int s = 0; s < 4 && !poly.empty(); ++s) {
    const bool onX = s < 2;
    auto in = [&](const std::pair<std::int64_t, std::int64_t>& p) {
      const std::int64_t v = onX ? p.first : p.second;
      return (s % 2 == 0) ? v >= lines[s] : v <= lines[s];
    };
    auto cut = [&](const std::pair<std::int64_t, std::int64_t>& a,
                   const std::pair<std::int64_t, std::int64_t>& b) {
      const std::int64_t da = onX ? a.first - b.first : a.second - b.second;
      const std::int64_t dOther = onX ? a.second - b.second : a.first - b.first;
      const std::int64_t toLine = lines[s] - (onX ? b.first : b.second);
      // Exact for any coordinates: the product needs up to 65 bits.
      const std::int64_t step =
          da == 0 ? 0 : (tarnutil::testing::BigInt(toLine) * dOther / da).ToInt64();
      const std::int64_t other = (onX ? b.second : b.first) + step;
      return onX ? std::make_pair(lines[s], other) : std::make_pair(other, lines[s]);
    };
    Pts next;
    if (in(poly[0])) next.push_back(poly[0]);
    for (std::size_t i = 1; i < poly.size(); ++i) {
      if (in(poly[i]) != in(poly[i - 1])) next.push_back(cut(poly[i], poly[i - 1]));
      if (in(poly[i])) next.push_back(poly[i]);
    }
    if (closed && in(poly.back()) != in(poly.front())) next.push_back(cut(poly.back(), poly[0]));
    poly = next;
  }
  return poly;
}

TEST(CrossesClipEdge, OneInsideOneOutsideWithEdgeLineInside) {
  const tagRECT rect{0, 100, 100, 0};
  struct Case {
    std::int32_t stage;
    tagPOINT a, b;
    int expected;
  };
  const Case cases[] = {
      {0, {0, 5}, {-1, 5}, 1},    {0, {0, 5}, {50, 5}, 0},    {0, {-1, 5}, {-9, 5}, 0},
      {1, {100, 5}, {101, 5}, 1}, {1, {101, 5}, {100, 5}, 1}, {1, {99, 5}, {100, 5}, 0},
      {2, {5, 0}, {5, -1}, 1},    {2, {5, -1}, {5, -2}, 0},   {2, {-50, 0}, {500, 1}, 0},
      {3, {5, 100}, {5, 101}, 1}, {3, {5, 101}, {5, 200}, 0}, {3, {5, 100}, {5, 0}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "stage " << c.stage << " a " << c.a.x << "," << c.a.y);
    EXPECT_EQ(CrossesClipEdge(c.a, c.b, c.stage, rect), c.expected);
  }
}

TEST(ClipEdgeIntersection, TruncatesTowardZeroFromBasePoint) {
  struct Case {
    tagRECT rect;
    std::int32_t stage;
    tagPOINT a, b, expected;
  };
  const Case cases[] = {
      // 12 + 1800 / 130 = 12 + 13; from the other end 30 - 540 / 130 = 30 - 4.
      {{0, 100, 100, 0}, 3, {30, 130}, {12, 0}, {25, 100}},
      {{0, 100, 100, 0}, 3, {12, 0}, {30, 130}, {26, 100}},
      // 300 + 35000 / -150: -233.3 truncates to -233, not -234.
      {{0, 100, 100, 0}, 1, {50, -50}, {200, 300}, {100, 67}},
      {{0, 100, 100, 0}, 0, {-50, 50}, {50, -50}, {0, 0}},
      // 10 + 400 / 150 = 10 + 2; from the other end 30 + 2600 / -150 = 30 - 17.
      {{0, 100, 100, 0}, 2, {30, 130}, {10, -20}, {12, 0}},
      {{0, 100, 100, 0}, 2, {10, -20}, {30, 130}, {13, 0}},
      // Parallel to the edge line: the base point's free coordinate.
      {{0, 100, 100, 0}, 0, {7, 3}, {7, 9}, {0, 9}},
      {{0, 100, 100, 0}, 2, {3, 7}, {9, 7}, {9, 0}},
      // Differences beyond 32 bits: 2^31 * 1 / (2^32 - 1) truncates to 0.
      {{0, kMax, kMax, kMin}, 0, {kMax, 1}, {kMin, 0}, {0, 0}},
      {{kMin, kMax, kMax, 0}, 2, {1, kMax}, {0, kMin}, {0, 0}},
      // 2^31 * (2^31 - 1) / (2^32 - 1) = 1073741823.75; from the other end
      // kMax - (2^31 - 1)^2 / (2^32 - 1) = kMax - 1073741823.25.
      {{0, kMax, 100, kMin}, 0, {kMax, kMax}, {kMin, 0}, {0, 1073741823}},
      {{0, kMax, 100, kMin}, 0, {kMin, 0}, {kMax, kMax}, {0, 1073741824}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "stage " << c.stage << " a " << c.a.x << "," << c.a.y);
    tagPOINT result{-1, -1};
    EXPECT_EQ(ClipEdgeIntersection(&result, c.a, c.b, c.stage, c.rect), &result);
    EXPECT_EQ(ToPts(&result, 1), ToPts(&c.expected, 1));
  }
}

TEST(ClipPolygonPoint, TakesFirstPointBlockOnlyWhenStageIsReached) {
  const tagRECT rect{0, 100, 100, 0};
  tagPOINT out[4] = {};
  ClipPipeline pipeline(rect, out);
  ASSERT_EQ(pipeline.ClipPolygonPoint(tagPOINT{-5, 50}, tarnutil::detail::stageLeft), 1);
  ASSERT_NE(pipeline.first(0), nullptr);
  EXPECT_EQ(ToPts(pipeline.first(0), 1), (Pts{{-5, 50}}));
  EXPECT_EQ(pipeline.first(1), nullptr);
  EXPECT_EQ(pipeline.first(2), nullptr);
  EXPECT_EQ(pipeline.first(3), nullptr);
  EXPECT_EQ(pipeline.outCount(), 0);
  // Entering the left edge sends the crossing, then the point, to the end.
  ASSERT_EQ(pipeline.ClipPolygonPoint(tagPOINT{50, 50}, tarnutil::detail::stageLeft), 1);
  EXPECT_EQ(ToPts(out, pipeline.outCount()), (Pts{{0, 50}, {50, 50}}));
  ASSERT_NE(pipeline.first(3), nullptr);
  EXPECT_EQ(ToPts(pipeline.first(3), 1), (Pts{{0, 50}}));
  for (std::int32_t stage = 0; stage < clipStageCount; ++stage) {
    EXPECT_EQ(ToPts(&pipeline.last(stage), 1), (Pts{{50, 50}}));
  }
}

TEST(ClipGraph, KnownPolygonsAgainstSquare) {
  const tagRECT up{0, 100, 100, 0};
  const tagRECT down{0, 0, 100, 100};
  const Pts overlap = {{50, 50}, {150, 50}, {150, 150}, {50, 150}};
  const Pts overlapOut = {{50, 50}, {100, 50}, {100, 100}, {50, 100}};
  const Pts enclosing = {{-10, -10}, {110, -10}, {110, 110}, {-10, 110}};
  const Pts diamond = {{-50, 50}, {50, -50}, {150, 50}, {50, 150}};
  const Pts triangle = {{10, -20}, {30, 130}, {50, -20}};
  // 12 from 12.67; 25 from the already truncated (12, 0).
  const Pts triangleOut = {{12, 0}, {25, 100}, {33, 100}, {47, 0}};
  const Pts inside = {{10, 10}, {90, 10}, {90, 90}, {10, 90}};
  const Pts diamondOut = {{0, 0},     {0, 0},     {100, 0}, {100, 0},
                          {100, 100}, {100, 100}, {0, 100}, {0, 100}};
  // The top stage gets its first point only from the closing pass.
  const Pts lateTop = {{200, 300}, {200, -50}, {50, -50}};
  const Pts lateTopOut = {{71, 0}, {100, 67}, {100, 0}};
  // Wrapped division stays defined: INT32_MIN / -1 gives INT32_MIN.
  const tagRECT wide{0, kMax, kMax, kMin};
  const Pts wrapped = {{kMin, 0}, {kMax, 1}};
  struct Case {
    const char* name;
    tagRECT rect;
    Pts in;
    int open;
    Pts expected;
  };
  const Case cases[] = {
      {"inside", up, inside, 0, inside},
      {"overlap", up, overlap, 0, overlapOut},
      {"overlap open", up, overlap, 1, {{50, 50}, {100, 50}, {100, 100}}},
      {"enclosing", up, enclosing, 0, {{100, 0}, {100, 100}, {0, 100}, {0, 0}}},
      {"enclosing open", up, enclosing, 7, {{100, 0}, {100, 100}}},
      {"diamond", up, diamond, 0, diamondOut},
      {"triangle", up, triangle, 0, triangleOut},
      {"outside", up, {{200, 200}, {300, 200}, {300, 300}}, 0, {}},
      {"one inside", up, {{40, 60}}, 0, {{40, 60}}},
      {"one outside", up, {{40, 160}}, 0, {}},
      {"closing feeds top", up, lateTop, 0, lateTopOut},
      {"flipped overlap", down, overlap, 0, overlapOut},
      {"flipped triangle", down, triangle, 0, triangleOut},
      {"left beyond right", {100, 100, 0, 0}, enclosing, 0, {}},
      {"full-range edge", wide, wrapped, 0, {{0, 0}, {kMax, 1}, {0, 0}}},
      {"long edges across the rectangle",
       {0, 100000, 100000, 0},
       {{-910795, 2443993}, {-2565024, -1684236}, {-2050360, 118828}, {934836, -931598}},
       0,
       {{100000, 0}, {100000, 100000}, {0, 100000}, {0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tagRECT rect = c.rect;
    std::vector<tagPOINT> in = ToPoints(c.in);
    std::vector<tagPOINT> out(16, tagPOINT{-7, -7});
    const std::int32_t n =
        clipGraph(&rect, in.data(), static_cast<std::int32_t>(in.size()), out.data(), c.open);
    ASSERT_GE(n, 0);
    EXPECT_EQ(ToPts(out.data(), n), c.expected);
    EXPECT_EQ(ToPts(out.data() + n, 1), (Pts{{-7, -7}}));
    EXPECT_EQ(rect.top, std::max(c.rect.top, c.rect.bottom));
    EXPECT_EQ(rect.bottom, std::min(c.rect.top, c.rect.bottom));
  }
}

TEST(ClipGraph, RejectedCallsLeaveRectangleAndOutputAlone) {
  tagPOINT square[4] = {{10, 10}, {90, 10}, {90, 90}, {10, 90}};
  struct Case {
    const char* name;
    tagPOINT* points;
    std::int32_t count;
    bool nullOut;
  };
  const Case cases[] = {{"count 0", square, 0, false},
                        {"count -1", square, -1, false},
                        {"null points", nullptr, 4, false},
                        {"null out", square, 4, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tagRECT rect{0, 0, 100, 100};
    tagPOINT out[8] = {};
    EXPECT_EQ(clipGraph(&rect, c.points, c.count, c.nullOut ? nullptr : out, 0), 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.bottom, 100);
    EXPECT_EQ(ToPts(out, 1), (Pts{{0, 0}}));
  }
}

// Random rectangles (either orientation, sometimes empty) and polygons with
// coordinates within 20000, so every intersection product fits in 32 bits;
// some points sit exactly on an edge line.
TEST(ClipGraph, MatchesWholeListReferenceOnRandomPolygons) {
  tarnutil::testing::SeededRng rng(2202);
  for (int iter = 0; iter < 3000; ++iter) {
    const std::int32_t l = rng.Int(-10000, 10000), r = rng.Int(-10000, 10000);
    const std::int32_t t = rng.Int(-10000, 10000), b = rng.Int(-10000, 10000);
    const std::int32_t lines[4] = {l, r, b, t};
    const std::int32_t n = rng.Int(1, 24);
    Pts poly;
    for (std::int32_t i = 0; i < n; ++i) {
      std::int32_t x = rng.Int(-20000, 20000), y = rng.Int(-20000, 20000);
      if (rng.Int(0, 5) == 0) x = lines[rng.Int(0, 1)];
      if (rng.Int(0, 5) == 0) y = lines[rng.Int(2, 3)];
      poly.emplace_back(x, y);
    }
    const int open = rng.Int(0, 3) == 0 ? 1 : 0;
    SCOPED_TRACE(testing::Message() << "iteration " << iter);
    tagRECT rect{l, t, r, b};
    std::vector<tagPOINT> in = ToPoints(poly);
    std::vector<tagPOINT> out(static_cast<std::size_t>(OutputBound(n)));
    const std::int32_t count = clipGraph(&rect, in.data(), n, out.data(), open);
    ASSERT_GE(count, 0);
    ASSERT_EQ(ToPts(out.data(), count), ReferenceClip(poly, l, t, r, b, open == 0));
  }
}

// Rectangles and polygons anywhere in the 32-bit range: the same result as
// the exact reference, and every point inside the rectangle.
TEST(ClipGraph, FullRangePolygonsStayInsideTheRectangle) {
  tarnutil::testing::SeededRng rng(2203);
  for (int iter = 0; iter < 1500; ++iter) {
    std::int32_t l = rng.Int(kMin, kMax), r = rng.Int(kMin, kMax);
    std::int32_t b = rng.Int(kMin, kMax), t = rng.Int(kMin, kMax);
    if (l > r) std::swap(l, r);
    const std::int32_t n = rng.Int(1, 12);
    Pts poly;
    for (std::int32_t i = 0; i < n; ++i)
      poly.emplace_back(rng.Int(kMin, kMax), rng.Int(kMin, kMax));
    SCOPED_TRACE(testing::Message() << "iteration " << iter);
    tagRECT rect{l, t, r, b};
    std::vector<tagPOINT> in = ToPoints(poly);
    std::vector<tagPOINT> out(static_cast<std::size_t>(OutputBound(n)));
    const std::int32_t count = clipGraph(&rect, in.data(), n, out.data(), 0);
    ASSERT_GE(count, 0);
    ASSERT_EQ(ToPts(out.data(), count), ReferenceClip(poly, l, t, r, b, true));
    for (std::int32_t k = 0; k < count; ++k) {
      const tagPOINT& p = out[static_cast<std::size_t>(k)];
      ASSERT_TRUE(p.x >= rect.left && p.x <= rect.right && p.y >= rect.bottom && p.y <= rect.top)
          << "point " << k << ": " << p.x << "," << p.y;
    }
  }
}

// Buffers of exactly the documented size, followed by sentinels: wide
// zigzags around a small rectangle cross its edges as often as possible. The
// fixed polygon gives 43 points from 16, more than 2 * count + 8.
TEST(ClipGraph, OutputStaysWithinDocumentedBound) {
  const Pts zigzag = {{-121, -97},  {66, 142},  {183, -132}, {-30, 169}, {37, -89},  {161, 213},
                      {-109, -136}, {218, 236}, {34, -102},  {-38, 174}, {136, -79}, {89, 114},
                      {-30, -33},   {238, 241}, {-125, -96}, {172, 33}};
  std::vector<Pts> polys = {zigzag};
  tarnutil::testing::SeededRng rng(81);
  for (int i = 0; i < 1500; ++i) {
    Pts poly;
    const std::int32_t n = rng.Int(1, 40);
    for (std::int32_t k = 0; k < n; ++k) poly.emplace_back(rng.Int(-150, 250), rng.Int(-150, 250));
    polys.push_back(poly);
  }
  constexpr std::size_t sentinels = 8;
  for (std::size_t i = 0; i < polys.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "polygon " << i);
    const auto n = static_cast<std::int32_t>(polys[i].size());
    const auto bound = static_cast<std::size_t>(OutputBound(n));
    for (int open = 0; open < 2; ++open) {
      tagRECT rect{0, 100, 100, 0};
      std::vector<tagPOINT> in = ToPoints(polys[i]);
      std::vector<tagPOINT> out(bound + sentinels, tagPOINT{kMin, kMax});
      const std::int32_t count = clipGraph(&rect, in.data(), n, out.data(), open);
      ASSERT_LE(static_cast<std::size_t>(count), bound);
      ASSERT_EQ(ToPts(out.data() + bound, sentinels), Pts(sentinels, {kMin, kMax}));
      if (i == 0 && open == 0) {
        EXPECT_EQ(count, 43);
      }
    }
  }
}

// The blocks come back to the pool: the pool hands out the last freed block
// first, so blocks freed just before the call are taken by the call and must
// be free again afterwards.
TEST(ClipGraph, ReturnsEveryBlockItTakes) {
  void* blocks[clipStageCount];
  for (void*& b : blocks) b = smalloc(8);
  for (int k = clipStageCount - 1; k >= 0; --k) sfree(blocks[k]);
  tagRECT rect{0, 100, 100, 0};
  tagPOINT in[4] = {{-50, 50}, {50, -50}, {150, 50}, {50, 150}};
  tagPOINT out[8];
  ASSERT_EQ(clipGraph(&rect, in, 4, out, 0), 8);
  void* again[clipStageCount];
  for (void*& b : again) b = smalloc(8);
  std::vector<void*> before(blocks, blocks + clipStageCount);
  std::vector<void*> after(again, again + clipStageCount);
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, before);
  for (void* b : again) sfree(b);
}

// With the heap failing, only the blocks freed before the call can be had.
// Whichever stage's request fails, including one made by the closing pass,
// the call returns 0 with nothing written and gives back what it took.
TEST(ClipGraph, FailedBlockRequestWritesNothing) {
  tarnutil::platform::HeapHooks* hooks = tarnutil::platform::HeapTestHooks();
  if (hooks == nullptr) {
    GTEST_SKIP() << "no heap hooks on this back end";
  }
  struct Case {
    const char* name;
    Pts in;
    int available;
  };
  const Case cases[] = {
      {"no block", {{-50, 50}, {50, -50}, {150, 50}, {50, 150}}, 0},
      {"right stage fails", {{-50, 50}, {50, -50}, {150, 50}, {50, 150}}, 1},
      {"bottom stage fails", {{-50, 50}, {50, -50}, {150, 50}, {50, 150}}, 2},
      {"top stage fails", {{-50, 50}, {50, -50}, {150, 50}, {50, 150}}, 3},
      {"closing pass fails", {{200, 300}, {200, -50}, {50, -50}}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Make sure the pool holds some blocks, then empty its free list with the
    // heap failing, so that only the blocks given back below remain.
    void* warm[clipStageCount];
    for (void*& p : warm) p = smalloc(8);
    for (void* p : warm) sfree(p);
    hooks->failNext = 1000000;
    std::vector<void*> drained;
    for (void* p = smalloc(8); p != nullptr && drained.size() < 100000; p = smalloc(8)) {
      drained.push_back(p);
    }
    ASSERT_GE(drained.size(), static_cast<std::size_t>(c.available));
    for (int k = 0; k < c.available; ++k) {
      sfree(drained.back());
      drained.pop_back();
    }
    tagRECT rect{0, 0, 100, 100};
    std::vector<tagPOINT> in = ToPoints(c.in);
    tagPOINT out[16];
    std::fill(out, out + 16, tagPOINT{-7, -7});
    EXPECT_EQ(clipGraph(&rect, in.data(), static_cast<std::int32_t>(in.size()), out, 0), 0);
    EXPECT_EQ(ToPts(out, 16), Pts(16, {-7, -7}));
    EXPECT_EQ(rect.top, 100);
    std::vector<void*> back;
    for (int k = 0; k < c.available; ++k) back.push_back(smalloc(8));
    EXPECT_EQ(std::count(back.begin(), back.end(), nullptr), 0);
    hooks->failNext = 0;
    for (void* p : back) {
      if (p != nullptr) sfree(p);
    }
    for (void* p : drained) sfree(p);
  }
}

}  // namespace
