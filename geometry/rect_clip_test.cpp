#include "geometry/rect_clip.h"

#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

#include "testing/testing.h"

namespace {

using tarnutil::detail::ClipSegmentToRect;
using tarnutil::detail::ComputeRegionCode;

constexpr std::int32_t sentinel = -123456789;

std::int32_t X(const tagPOINT& p) {
  return static_cast<std::int32_t>(p.x);
}
std::int32_t Y(const tagPOINT& p) {
  return static_cast<std::int32_t>(p.y);
}

TEST(ComputeRegionCode, BitsPerSide) {
  const tagPOINT min{0, 0};
  const tagPOINT max{100, 100};
  struct CodeCase {
    std::int32_t x, y;
    int code;
  };
  const CodeCase cases[] = {{50, 50, 0},  {0, 0, 0},    {100, 100, 0}, {-1, 50, 1},
                            {101, 50, 2}, {50, -1, 4},  {50, 101, 8},  {-1, -1, 5},
                            {101, -1, 6}, {-1, 101, 9}, {101, 101, 10}};
  for (const CodeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    EXPECT_EQ(ComputeRegionCode(&c.x, &c.y, &min, &max), c.code);
  }
  // Exchanged corners: the low bits win, so nothing is inside.
  const std::int32_t mid = 50;
  EXPECT_EQ(ComputeRegionCode(&mid, &mid, &max, &min), 5);
}

TEST(ClipSegmentToRect, MovesEndsAndReportsEdges) {
  const tagPOINT min{0, 0};
  const tagPOINT max{100, 100};
  struct SegmentCase {
    tagPOINT from, to;
    int visible;
    tagPOINT clippedFrom, clippedTo;
    int startEdge, endEdge;
  };
  const SegmentCase cases[] = {
      {{10, 10}, {20, 20}, 1, {10, 10}, {20, 20}, 0, 0},
      {{-10, 50}, {110, 50}, 1, {0, 50}, {100, 50}, 1, 2},
      {{110, 50}, {-10, 50}, 1, {100, 50}, {0, 50}, 2, 1},
      {{50, 50}, {150, 150}, 1, {50, 50}, {100, 100}, 0, 2},
      {{50, -20}, {50, 120}, 1, {50, 0}, {50, 100}, 4, 8},
      // Moved to x = 100, then to y = 100 at 66.67, truncated: the last move counts.
      {{150, 150}, {50, 90}, 1, {66, 100}, {50, 90}, 8, 0},
      // Touches the corner (0, 0) only.
      {{-100, 30}, {100, -30}, 1, {0, 0}, {0, 0}, 1, 4},
  };
  for (const SegmentCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << X(c.from) << "," << Y(c.from) << "-" << X(c.to) << "," << Y(c.to));
    std::int32_t x1 = X(c.from), y1 = Y(c.from), x2 = X(c.to), y2 = Y(c.to);
    int startEdge = -1;
    int endEdge = -1;
    EXPECT_EQ(ClipSegmentToRect(&x1, &y1, &x2, &y2, &startEdge, &endEdge, &min, &max), c.visible);
    EXPECT_EQ(x1, X(c.clippedFrom));
    EXPECT_EQ(y1, Y(c.clippedFrom));
    EXPECT_EQ(x2, X(c.clippedTo));
    EXPECT_EQ(y2, Y(c.clippedTo));
    EXPECT_EQ(startEdge, c.startEdge);
    EXPECT_EQ(endEdge, c.endEdge);
  }
}

// The line passes exactly through the corner (0, 2). Truncation sends the
// second end around the corner, (3, 0), (-1, 2), (0, 1), before the fifth
// move lands on it: more moves than an exact clipper needs, still visible.
TEST(ClipSegmentToRect, CornerReachedAfterFiveMoves) {
  const tagPOINT min{0, 2};
  const tagPOINT max{3, 8};
  std::int32_t x1 = -14, y1 = 9, x2 = 14, y2 = -5;
  int startEdge = -1;
  int endEdge = -1;
  EXPECT_EQ(ClipSegmentToRect(&x1, &y1, &x2, &y2, &startEdge, &endEdge, &min, &max), 1);
  EXPECT_EQ(x1, 0);
  EXPECT_EQ(y1, 2);
  EXPECT_EQ(x2, 0);
  EXPECT_EQ(y2, 2);
  EXPECT_EQ(startEdge, 1);
  EXPECT_EQ(endEdge, 4);
}

TEST(ClipSegmentToRect, RejectsOutsideAndCirclingSegments) {
  struct RejectCase {
    tagPOINT min, max, from, to;
  };
  const RejectCase cases[] = {
      {{0, 0}, {100, 100}, {-10, -10}, {-20, 50}},
      {{0, 0}, {100, 100}, {-10, 120}, {120, 110}},
      // Truncation makes the moving point alternate between (34, -13) and
      // (35, -14) around the corner (34, -14).
      {{12, -40}, {34, -14}, {-131, 93}, {67, -35}},
      // Grazes the border at the inside end (6, 4), then circles a corner.
      {{-7, 4}, {7, 8}, {6, 4}, {-16, 2}},
      {{-7, 4}, {7, 8}, {-16, 2}, {6, 4}},
  };
  for (const RejectCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << X(c.from) << "," << Y(c.from) << "-" << X(c.to) << "," << Y(c.to));
    std::int32_t x1 = X(c.from), y1 = Y(c.from), x2 = X(c.to), y2 = Y(c.to);
    int startEdge = -1;
    int endEdge = -1;
    EXPECT_EQ(ClipSegmentToRect(&x1, &y1, &x2, &y2, &startEdge, &endEdge, &c.min, &c.max), 0);
  }
}

struct ClipResult {
  int pieces;
  std::vector<tagPOINT> out;
  std::vector<int> totals;
};

// Runs RectClipLine with sentinel-filled arrays of the documented capacity
// plus a margin, checks the margin is untouched, and returns what the
// totals say was written.
ClipResult Clip(std::vector<tagPOINT> points, tagPOINT min, tagPOINT max) {
  const int n = static_cast<int>(points.size());
  const int capacity = n < 2 ? 0 : n - 1;
  constexpr int margin = 4;
  std::vector<tagPOINT> out(static_cast<std::size_t>(2 * capacity + margin),
                            tagPOINT{sentinel, sentinel});
  std::vector<int> totals(static_cast<std::size_t>(capacity + margin), sentinel);
  ClipResult r;
  r.pieces = RectClipLine(points.data(), n, out.data(), totals.data(), &min, &max);
  EXPECT_GE(r.pieces, 0);
  EXPECT_LE(r.pieces, capacity);
  for (std::size_t i = static_cast<std::size_t>(2 * capacity); i < out.size(); ++i) {
    EXPECT_EQ(X(out[i]), sentinel);
    EXPECT_EQ(Y(out[i]), sentinel);
  }
  for (std::size_t j = static_cast<std::size_t>(r.pieces); j < totals.size(); ++j) {
    EXPECT_EQ(totals[j], sentinel);
  }
  if (r.pieces > 0) {
    r.totals.assign(totals.begin(), totals.begin() + r.pieces);
    r.out.assign(out.begin(), out.begin() + r.totals.back());
  } else {
    for (const tagPOINT& p : out) EXPECT_EQ(X(p), sentinel);
  }
  return r;
}

TEST(RectClipLine, KnownPolylines) {
  struct LineCase {
    std::vector<tagPOINT> points, out;
    std::vector<int> totals;
  };
  const LineCase cases[] = {
      {{{10, 10}, {20, 20}, {30, 10}}, {{10, 10}, {20, 20}, {30, 10}}, {3}},
      {{{-50, 50}, {50, 50}, {150, 50}}, {{0, 50}, {50, 50}, {100, 50}}, {3}},
      {{{50, 50}, {150, 50}, {150, 60}, {50, 60}},
       {{50, 50}, {100, 50}, {100, 60}, {50, 60}},
       {2, 4}},
      {{{-10, 50}, {110, 50}}, {{0, 50}, {100, 50}}, {2}},
      {{{50, 50}, {150, 150}, {50, 90}}, {{50, 50}, {100, 100}, {66, 100}, {50, 90}}, {2, 4}},
      {{{-100, 30}, {100, -30}}, {{0, 0}, {0, 0}}, {2}},
      {{{-10, -10}, {-20, 50}}, {}, {}},
      {{{50, 50}}, {}, {}},
      {{}, {}, {}},
      {{{0, 0}, {100, 0}}, {{0, 0}, {100, 0}}, {2}},
      // Differences beyond 32 bits keep their sign: slopes 1 / (2^32 - 1)
      // (which 32 bits would read as -1), 2 (y differences of 4e9) and
      // -1 / (2^32 - 1) from the far corner.
      {{{INT32_MIN, 0}, {INT32_MAX, 1}}, {{0, 0}, {100, 0}}, {2}},
      {{{-1000000000, -2000000000}, {1000000000, 2000000000}}, {{0, 0}, {50, 100}}, {2}},
      {{{INT32_MAX, 50}, {INT32_MIN, 51}}, {{100, 50}, {0, 50}}, {2}},
  };
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    const LineCase& c = cases[k];
    SCOPED_TRACE(k);
    const ClipResult r = Clip(c.points, tagPOINT{0, 0}, tagPOINT{100, 100});
    EXPECT_EQ(r.pieces, static_cast<int>(c.totals.size()));
    EXPECT_EQ(r.totals, c.totals);
    ASSERT_EQ(r.out.size(), c.out.size());
    for (std::size_t i = 0; i < c.out.size(); ++i) {
      EXPECT_EQ(X(r.out[i]), X(c.out[i])) << i;
      EXPECT_EQ(Y(r.out[i]), Y(c.out[i])) << i;
    }
    // Exchanged corners leave nothing inside.
    EXPECT_EQ(Clip(c.points, tagPOINT{100, 100}, tagPOINT{0, 0}).pieces, 0);
  }
}

TEST(RectClipLine, SegmentCirclingACornerGivesNoPiece) {
  EXPECT_EQ(Clip({{-131, 93}, {67, -35}}, tagPOINT{12, -40}, tagPOINT{34, -14}).pieces, 0);
}

TEST(RectClipLine, RejectedGrazingSegmentClosesTheOpenPiece) {
  const tagPOINT min{-7, 4};
  const tagPOINT max{7, 8};
  const ClipResult r = Clip({{0, 6}, {6, 4}, {-16, 2}, {0, 6}}, min, max);
  ASSERT_EQ(r.pieces, 2);
  EXPECT_EQ(r.totals, (std::vector<int>{2, 4}));
  const std::int32_t expected[][2] = {{0, 6}, {6, 4}, {-7, 4}, {0, 6}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(X(r.out[i]), expected[i][0]) << i;
    EXPECT_EQ(Y(r.out[i]), expected[i][1]) << i;
  }
}

// Random polylines, some with coordinates over the whole 32-bit range: every
// output point lies inside, the totals grow by at least two points a piece,
// and nothing is written past the documented capacity (checked in Clip).
TEST(RectClipLine, RandomPolylinesStayInsideAndWithinCapacity) {
  tarnutil::testing::SeededRng rng(7);
  for (int round = 0; round < 1500; ++round) {
    const std::int32_t span = round % 5 == 0 ? INT32_MAX : 1000;
    const std::int32_t xa = rng.Int(-span / 2, span / 2), xb = rng.Int(-span / 2, span / 2);
    const std::int32_t ya = rng.Int(-span / 2, span / 2), yb = rng.Int(-span / 2, span / 2);
    const tagPOINT min{xa < xb ? xa : xb, ya < yb ? ya : yb};
    const tagPOINT max{xa < xb ? xb : xa, ya < yb ? yb : ya};
    std::vector<tagPOINT> points(static_cast<std::size_t>(rng.Int(2, 24)));
    for (tagPOINT& p : points) p = tagPOINT{rng.Int(-span, span), rng.Int(-span, span)};
    SCOPED_TRACE(round);
    const ClipResult r = Clip(points, min, max);
    int previous = 0;
    for (const int total : r.totals) {
      EXPECT_GE(total - previous, 2);
      previous = total;
    }
    for (const tagPOINT& p : r.out) {
      EXPECT_TRUE(X(p) >= X(min) && X(p) <= X(max) && Y(p) >= Y(min) && Y(p) <= Y(max))
          << X(p) << "," << Y(p);
    }
  }
}

// Full-range segments: each clipped end lies within two units of the
// segment's line (a truncation per move, each under a unit across the
// line), and inside the rectangle.
TEST(RectClipLine, FullRangeSegmentsClipOntoTheirLine) {
  tarnutil::testing::SeededRng rng(13);
  for (int round = 0; round < 4000; ++round) {
    const std::int32_t xa = rng.Int(INT32_MIN, INT32_MAX), xb = rng.Int(INT32_MIN, INT32_MAX);
    const std::int32_t ya = rng.Int(INT32_MIN, INT32_MAX), yb = rng.Int(INT32_MIN, INT32_MAX);
    const tagPOINT min{xa < xb ? xa : xb, ya < yb ? ya : yb};
    const tagPOINT max{xa < xb ? xb : xa, ya < yb ? yb : ya};
    const std::vector<tagPOINT> points = {
        tagPOINT{rng.Int(INT32_MIN, INT32_MAX), rng.Int(INT32_MIN, INT32_MAX)},
        tagPOINT{rng.Int(INT32_MIN, INT32_MAX), rng.Int(INT32_MIN, INT32_MAX)}};
    SCOPED_TRACE(round);
    const ClipResult r = Clip(points, min, max);
    const double ax = X(points[0]), ay = Y(points[0]);
    const double dx = X(points[1]) - ax, dy = Y(points[1]) - ay;
    const double length = std::hypot(dx, dy);
    for (const tagPOINT& p : r.out) {
      const double across = std::fabs((X(p) - ax) * dy - (Y(p) - ay) * dx) / length;
      ASSERT_LE(across, 2.0 + 1e-9 * length) << X(p) << "," << Y(p);
      ASSERT_TRUE(X(p) >= X(min) && X(p) <= X(max) && Y(p) >= Y(min) && Y(p) <= Y(max));
    }
  }
}

TEST(RectClipLine, PolylineInsideComesBackWhole) {
  tarnutil::testing::SeededRng rng(11);
  const tagPOINT min{-300, -200};
  const tagPOINT max{400, 500};
  for (int round = 0; round < 200; ++round) {
    std::vector<tagPOINT> points(static_cast<std::size_t>(rng.Int(2, 16)));
    for (tagPOINT& p : points) p = tagPOINT{rng.Int(-300, 400), rng.Int(-200, 500)};
    SCOPED_TRACE(round);
    const ClipResult r = Clip(points, min, max);
    ASSERT_EQ(r.pieces, 1);
    ASSERT_EQ(r.totals[0], static_cast<int>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
      EXPECT_EQ(X(r.out[i]), X(points[i]));
      EXPECT_EQ(Y(r.out[i]), Y(points[i]));
    }
  }
}

}  // namespace
