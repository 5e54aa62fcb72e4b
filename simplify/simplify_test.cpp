#include "simplify/simplify.h"

#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "simplify/farthest_scan.h"
#include "testing/exact_reference.h"
#include "testing/testing.h"

namespace {

using tarnutil::detail::SimplifyRange;
using tarnutil::detail::SquaredDeviation;
using tarnutil::testing::SeededRng;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

using Coords = std::vector<std::pair<std::int32_t, std::int32_t>>;

tagPOINT Pt(std::int32_t x, std::int32_t y) {
  tagPOINT p;
  p.x = x;
  p.y = y;
  return p;
}

Coords ToCoords(const tagPOINT* points, int n) {
  Coords out;
  for (int i = 0; i < n; ++i) {
    out.emplace_back(static_cast<std::int32_t>(points[i].x),
                     static_cast<std::int32_t>(points[i].y));
  }
  return out;
}

std::vector<tagPOINT> ToPoints(const Coords& coords) {
  std::vector<tagPOINT> out;
  for (const auto& c : coords) out.push_back(Pt(c.first, c.second));
  return out;
}

bool IsSubsequence(const Coords& sub, const Coords& of) {
  std::size_t j = 0;
  for (const auto& c : of) {
    if (j < sub.size() && sub[j] == c) ++j;
  }
  return j == sub.size();
}

// The splitting scheme as written down: recursion on the left part, a loop
// on the right part. Records the deepest nesting of left parts reached.
void ReferenceRange(float threshold, const tagPOINT* pts, int* keep, int first, int last, int depth,
                    int* maxDepth) {
  if (depth > *maxDepth) *maxDepth = depth;
  while (first + 1 < last) {
    if (pts[first].x == pts[last].x && pts[first].y == pts[last].y) return;
    double maxDev = 0.0;
    int idx = -1;
    for (int i = first + 1; i < last; ++i) {
      const double dev = SquaredDeviation(pts[i], pts[first], pts[last]);
      if (dev > maxDev) {
        maxDev = dev;
        idx = i;
      }
    }
    if (idx < 0 || !(maxDev > static_cast<double>(threshold))) return;
    keep[idx] = 1;
    ReferenceRange(threshold, pts, keep, first, idx, depth + 1, maxDepth);
    first = idx;
  }
}

// Whole-call reference for PolySimplifyInt2D, built on ReferenceRange.
Coords ReferenceInt2D(float tolerance, const std::vector<tagPOINT>& pts) {
  const int count = static_cast<int>(pts.size());
  if (count < 2) return ToCoords(pts.data(), count);
  std::vector<int> keep(pts.size(), 0);
  keep.front() = 1;
  keep.back() = 1;
  int maxDepth = 0;
  const float threshold = static_cast<float>(std::sqrt(static_cast<double>(tolerance)));
  ReferenceRange(threshold, pts.data(), keep.data(), 0, count - 1, 0, &maxDepth);
  Coords out;
  for (int i = 0; i < count; ++i) {
    if (keep[static_cast<std::size_t>(i)] == 1) {
      out.emplace_back(static_cast<std::int32_t>(pts[static_cast<std::size_t>(i)].x),
                       static_cast<std::int32_t>(pts[static_cast<std::size_t>(i)].y));
    }
  }
  return out;
}

// Square spiral around the first point: point i lies at distance i on the
// axis turned by i quarter turns. For the chord from point 0 to point l, each
// point off the chord's axis is perpendicular to it or behind point 0, so it
// counts its squared distance to point 0, which grows with its index; the
// points on the chord's axis lie within one unit of it. So the farthest point
// is always l-1 and every split nests on the left.
std::vector<tagPOINT> LeftSplittingSpiral(int count) {
  std::vector<tagPOINT> pts;
  pts.push_back(Pt(0, 0));
  // Quarter turns: +x, +y, -x, -y.
  const std::int32_t turnX[] = {1, 0, -1, 0};
  const std::int32_t turnY[] = {0, 1, 0, -1};
  for (int i = 1; i < count; ++i) pts.push_back(Pt(turnX[i % 4] * i, turnY[i % 4] * i));
  return pts;
}

// Swaps the keep-flag allocator for the lifetime of the object.
class AllocatorSwap {
 public:
  explicit AllocatorSwap(tarnutil::detail::KeepAllocator replacement)
      : saved_(tarnutil::detail::keepAllocator) {
    tarnutil::detail::keepAllocator = replacement;
  }
  ~AllocatorSwap() { tarnutil::detail::keepAllocator = saved_; }
  AllocatorSwap(const AllocatorSwap&) = delete;
  AllocatorSwap& operator=(const AllocatorSwap&) = delete;

 private:
  tarnutil::detail::KeepAllocator saved_;
};

int allocCalls = 0;
std::size_t allocBytes = 0;

void* CountingAlloc(std::size_t bytes) {
  ++allocCalls;
  allocBytes = bytes;
  return std::malloc(bytes);
}

void* FailingAlloc(std::size_t bytes) {
  ++allocCalls;
  allocBytes = bytes;
  return nullptr;
}

TEST(SquaredDeviation, BranchesTruncationAndWrapping) {
  struct Case {
    const char* name;
    tagPOINT p, a, b;
    double expected;
  };
  const Case cases[] = {
      {"behind A measures to A", Pt(-2, 5), Pt(0, 0), Pt(10, 0), 29.0},
      {"perpendicular at A measures to A", Pt(0, 7), Pt(0, 0), Pt(10, 0), 49.0},
      {"beyond B measures to B", Pt(13, 4), Pt(0, 0), Pt(10, 0), 25.0},
      {"perpendicular at B uses the foot", Pt(10, 4), Pt(0, 0), Pt(10, 0), 16.0},
      {"middle of the chord", Pt(5, 3), Pt(0, 0), Pt(10, 0), 9.0},
      {"foot (1.2, 0.4) cut to (1, 0)", Pt(1, 1), Pt(0, 0), Pt(3, 1), 1.0},
      {"foot (-3.04, -2.28) cut toward zero", Pt(-4, -1), Pt(0, 0), Pt(-4, -3), 2.0},
      {"foot cut after adding A", Pt(6, 4), Pt(10, 5), Pt(6, 2), 4.0},
      {"on the chord", Pt(2, 2), Pt(0, 0), Pt(4, 4), 0.0},
      {"zero-length chord measures to A", Pt(3, 4), Pt(2, 2), Pt(2, 2), 5.0},
      // Beyond 32 bits nothing wraps: a chord of length 65536 (lenSq 2^32)
      // with the foot (1, 0); a point past the far end of a chord 2^32 - 100
      // long; opposite corners of the range, the foot at B.
      {"chord length beyond 32 bits", Pt(1, 1), Pt(0, 0), Pt(65536, 0), 1.0},
      {"opposite corners", Pt(0, 0), Pt(kMin, kMin), Pt(kMax, kMax), 0.0},
      {"beyond B of a full-range chord", Pt(-2147483646, 5), Pt(2147483600, 0), Pt(-2147483596, 0),
       2525.0},
      {"foot at B across the range", Pt(kMax, kMin), Pt(kMin, kMax), Pt(kMax, kMax),
       4294967295.0 * 4294967295.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SquaredDeviation(c.p, c.a, c.b), c.expected);
  }
}

// The squared deviation by the same steps in exact integers: the oracle for
// coordinates anywhere in the 32-bit range.
double ExactDeviation(const tagPOINT& p, const tagPOINT& a, const tagPOINT& b) {
  using tarnutil::testing::BigInt;
  const BigInt dx = BigInt(b.x) - a.x, dy = BigInt(b.y) - a.y;
  const BigInt ex = BigInt(p.x) - a.x, ey = BigInt(p.y) - a.y;
  const BigInt lenSq = dx * dx + dy * dy;
  const BigInt dot = ex * dx + ey * dy;
  if (dot.Sign() <= 0) return (ex * ex + ey * ey).ToDouble();
  const BigInt ux = BigInt(p.x) - b.x, uy = BigInt(p.y) - b.y;
  if (dot > lenSq) return (ux * ux + uy * uy).ToDouble();
  const double r = dot.ToDouble() / lenSq.ToDouble();
  const double fx = std::trunc(static_cast<double>(dx.ToInt64()) * r + a.x);
  const double fy = std::trunc(static_cast<double>(dy.ToInt64()) * r + a.y);
  const BigInt gx = BigInt(p.x) - static_cast<std::int64_t>(fx);
  const BigInt gy = BigInt(p.y) - static_cast<std::int64_t>(fy);
  return (gx * gx + gy * gy).ToDouble();
}

TEST(SquaredDeviation, MatchesExactStepsOverTheFullRange) {
  SeededRng rng(0xDE71);
  for (int i = 0; i < 5000; ++i) {
    // Every other chord short, so that all three branches are met.
    const tagPOINT a = Pt(rng.Int(kMin, kMax), rng.Int(kMin, kMax));
    const tagPOINT b = i % 2 == 0 ? Pt(rng.Int(kMin, kMax), rng.Int(kMin, kMax))
                                  : Pt(a.x / 2 + rng.Int(-9, 9), a.y / 2 + rng.Int(-9, 9));
    const tagPOINT p = Pt(rng.Int(kMin, kMax), rng.Int(kMin, kMax));
    ASSERT_EQ(SquaredDeviation(p, a, b), ExactDeviation(p, a, b))
        << p.x << "," << p.y << " from " << a.x << "," << a.y << " to " << b.x << "," << b.y;
  }
}

TEST(SimplifyRange, MarksNothing) {
  struct Case {
    const char* name;
    Coords coords;
    int first, last;
    float threshold;
  };
  const Case cases[] = {
      {"closed ring", {{0, 0}, {5, 5}, {10, 0}, {0, 0}}, 0, 3, 0.0f},
      {"inner range with coinciding ends",
       {{1, 1}, {0, 0}, {50, 50}, {-40, 9}, {0, 0}, {9, 9}},
       1,
       4,
       0.0f},
      {"points on the chord, negative threshold", {{0, 0}, {2, 2}, {1, 1}, {4, 4}}, 0, 3, -1.0f},
      {"NaN threshold", {{0, 0}, {5, 3}, {10, 0}}, 0, 2, kNaN},
      {"no point between", {{0, 0}, {5, 3}}, 0, 1, 0.0f},
      {"reversed range", {{0, 0}, {5, 3}, {10, 0}}, 2, 0, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<tagPOINT> pts = ToPoints(c.coords);
    // One guard flag on each side catches a write outside the range.
    std::vector<int> keep(pts.size() + 2, 0);
    SimplifyRange(c.threshold, pts.data(), keep.data() + 1, c.first, c.last);
    EXPECT_EQ(keep, std::vector<int>(pts.size() + 2, 0));
  }
}

TEST(SimplifyRange, MatchesRecursiveReference) {
  SeededRng rng(0x51D3);
  const std::int32_t spans[] = {2, 40, 30000, kMax};
  const float thresholds[] = {0.0f, 0.5f, 1.0f, 4.0f, 30.0f, 2000.0f, kNaN, -1.0f};
  for (int iter = 0; iter < 1500; ++iter) {
    const std::int32_t span = spans[rng.Int(0, 3)];
    const float threshold = thresholds[rng.Int(0, 7)];
    const int count = rng.Int(1, 80);
    std::vector<tagPOINT> pts;
    for (int i = 0; i < count; ++i) pts.push_back(Pt(rng.Int(-span, span), rng.Int(-span, span)));
    int first = rng.Int(0, count - 1);
    int last = rng.Int(0, count - 1);
    if (first > last && rng.Int(0, 3) != 0) std::swap(first, last);
    // Flags set before the call must neither be cleared nor steer the splits.
    std::vector<int> keep(pts.size(), 0);
    if (rng.Int(0, 2) == 0) {
      for (int& k : keep) k = rng.Int(0, 3) == 0 ? 1 : 0;
    }
    std::vector<int> expected = keep;
    int maxDepth = 0;
    ReferenceRange(threshold, pts.data(), expected.data(), first, last, 0, &maxDepth);
    SimplifyRange(threshold, pts.data(), keep.data(), first, last);
    SCOPED_TRACE(testing::Message() << "iter " << iter << " count " << count << " range " << first
                                    << ".." << last << " threshold " << threshold);
    ASSERT_EQ(keep, expected);
  }
}

TEST(SimplifyRange, SpiralSplitsOnTheLeftEveryTime) {
  // Checks the construction that the long-chain case below relies on.
  const std::vector<tagPOINT> pts = LeftSplittingSpiral(300);
  std::vector<int> keep(pts.size(), 0);
  int maxDepth = 0;
  ReferenceRange(0.0f, pts.data(), keep.data(), 0, 299, 0, &maxDepth);
  EXPECT_EQ(maxDepth, 298);
  std::vector<int> got(pts.size(), 0);
  SimplifyRange(0.0f, pts.data(), got.data(), 0, 299);
  EXPECT_EQ(got, keep);
}

TEST(PolySimplifyInt2D, EdgeCases) {
  struct Case {
    const char* name;
    Coords buffer;
    int count;
    float tolerance;
    Coords expected;
  };
  const Coords bump = {{0, 0}, {5, 3}, {10, 0}};
  const Coords bumpEnds = {{0, 0}, {10, 0}};
  const Coords nearChord = {{0, 0}, {1, 1}, {3, 1}};
  const Case cases[] = {
      {"count 0", {{7, 7}, {8, 8}}, 0, 0.0f, {}},
      {"count 1", {{7, 7}, {8, 8}}, 1, 0.0f, {{7, 7}}},
      {"negative count", {{7, 7}, {8, 8}}, -3, 0.0f, {}},
      {"count 2", {{0, 0}, {9, 9}}, 2, 1000.0f, {{0, 0}, {9, 9}}},
      {"deviation 9 above threshold 4", bump, 3, 16.0f, bump},
      {"deviation 9 equal to threshold 9", bump, 3, 81.0f, bumpEnds},
      {"deviation 9 above threshold of 80.9", bump, 3, 80.9f, bump},
      {"truncated foot, threshold 1", nearChord, 3, 1.0f, {{0, 0}, {3, 1}}},
      {"truncated foot, threshold under 1", nearChord, 3, 0.99f, nearChord},
      {"closed ring", {{0, 0}, {5, 5}, {10, 0}, {0, 0}}, 4, 0.0f, {{0, 0}, {0, 0}}},
      {"tolerance 0 drops points on the chord",
       {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {8, 0}},
       6,
       0.0f,
       {{0, 0}, {4, 4}, {8, 0}}},
      {"nested splits",
       {{0, 0}, {2, 1}, {4, 5}, {6, 1}, {8, 0}, {12, 0}},
       6,
       0.0f,
       {{0, 0}, {2, 1}, {4, 5}, {6, 1}, {12, 0}}},
      {"NaN tolerance keeps only the ends", bump, 3, kNaN, bumpEnds},
      {"negative tolerance keeps only the ends", bump, 3, -1.0f, bumpEnds},
      {"infinite tolerance", bump, 3, kInf, bumpEnds},
      {"largest tolerance", bump, 3, std::numeric_limits<float>::max(), bumpEnds},
      {"negative zero acts as zero", bump, 3, -0.0f, bump},
      // Chords of 100000 units: a 30-unit bump deviates by 900 or more.
      {"long chords keep a small bump",
       {{0, 0}, {25000, 0}, {50000, 30}, {75000, 0}, {100000, 0}},
       5,
       100.0f,
       {{0, 0}, {25000, 0}, {50000, 30}, {75000, 0}, {100000, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<tagPOINT> pts = ToPoints(c.buffer);
    int newCount = -99;
    PolySimplifyInt2D(c.tolerance, pts.data(), c.count, &newCount);
    EXPECT_EQ(newCount, c.count < 2 ? c.count : static_cast<int>(c.expected.size()));
    EXPECT_EQ(ToCoords(pts.data(), static_cast<int>(c.expected.size())), c.expected);
    if (c.count < 2) {
      EXPECT_EQ(ToCoords(pts.data(), static_cast<int>(pts.size())), c.buffer);
    }
  }
}

// Tracks spread over the whole 32-bit range: every dropped point lies within
// the tolerance's distance (tolerance^(1/4), as the threshold compares with
// squared deviations) of the thinned line, give or take sqrt(2) for the
// truncated foot and a relative 1e-9 for rounding in doubles.
TEST(PolySimplifyInt2D, DroppedPointsStayNearTheLineOnFullRangeTracks) {
  SeededRng rng(0xF011);
  const float tolerances[] = {1.0e4f, 1.0e12f, 1.0e24f, 1.0e34f};
  for (int iter = 0; iter < 200; ++iter) {
    const std::int32_t step = 1 << rng.Int(10, 30);
    std::int64_t x = rng.Int(kMin, kMax), y = rng.Int(kMin, kMax);
    std::vector<tagPOINT> track;
    for (int i = 0; i < 60; ++i) {
      // Turned back at the range's ends, not stopped there, so no point repeats.
      x += rng.Int(-step, step);
      y += rng.Int(-step, step);
      x = x > kMax ? 2 * std::int64_t{kMax} - x : (x < kMin ? 2 * std::int64_t{kMin} - x : x);
      y = y > kMax ? 2 * std::int64_t{kMax} - y : (y < kMin ? 2 * std::int64_t{kMin} - y : y);
      track.push_back(Pt(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)));
    }
    const float tolerance = tolerances[iter % 4];
    SCOPED_TRACE(testing::Message() << "track " << iter << ", tolerance " << tolerance);
    std::vector<tagPOINT> pts = track;
    int kept = 0;
    PolySimplifyInt2D(tolerance, pts.data(), static_cast<int>(pts.size()), &kept);
    const double allowed = std::sqrt(std::sqrt(static_cast<double>(tolerance))) + std::sqrt(2.0);
    // Walk the track along the kept points (a subsequence of it).
    const std::size_t keptCount = static_cast<std::size_t>(kept);
    std::size_t k = 0;
    for (std::size_t i = 0; i < track.size(); ++i) {
      const tagPOINT& p = track[i];
      // The last kept point is the track's last, whatever it repeats.
      const bool last = k + 1 == keptCount;
      if (k < keptCount && p.x == pts[k].x && p.y == pts[k].y && last == (i + 1 == track.size())) {
        ++k;
        continue;
      }
      ASSERT_GT(k, 0u);
      ASSERT_LT(k, keptCount);
      const double ax = pts[k - 1].x, ay = pts[k - 1].y, bx = pts[k].x, by = pts[k].y;
      const double dx = bx - ax, dy = by - ay;
      double t = ((p.x - ax) * dx + (p.y - ay) * dy) / (dx * dx + dy * dy);
      t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
      const double dist = std::hypot(p.x - (ax + t * dx), p.y - (ay + t * dy));
      ASSERT_LE(dist, allowed + 1e-9 * std::hypot(dx, dy)) << "dropped point " << i;
    }
    ASSERT_EQ(k, keptCount);
  }
}

TEST(PolySimplifyInt2D, AllocatesFlagsOnlyForTwoOrMorePoints) {
  const AllocatorSwap swap(CountingAlloc);
  const int counts[] = {-1, 0, 1, 2, 7};
  for (int count : counts) {
    SCOPED_TRACE(count);
    std::vector<tagPOINT> pts = LeftSplittingSpiral(8);
    allocCalls = 0;
    allocBytes = 0;
    int newCount = -99;
    PolySimplifyInt2D(0.0f, pts.data(), count, &newCount);
    EXPECT_EQ(allocCalls, count < 2 ? 0 : 1);
    if (count >= 2) {
      EXPECT_EQ(allocBytes, static_cast<std::size_t>(count) * sizeof(std::int32_t));
    }
  }
}

TEST(PolySimplifyInt2D, FailedAllocationLeavesPointsUntouched) {
  const AllocatorSwap swap(FailingAlloc);
  const Coords input = {{0, 0}, {1, 0}, {2, 0}, {3, 9}, {4, 0}};
  std::vector<tagPOINT> pts = ToPoints(input);
  allocCalls = 0;
  int newCount = -99;
  PolySimplifyInt2D(0.0f, pts.data(), 5, &newCount);
  EXPECT_EQ(allocCalls, 1);
  EXPECT_EQ(newCount, 5);
  EXPECT_EQ(ToCoords(pts.data(), 5), input);
}

TEST(PolySimplifyInt2D, HugeCountFailsWithoutWrappingTheSize) {
  // The allocation fails, so the points behind the first three are never read.
  const AllocatorSwap swap(FailingAlloc);
  const Coords input = {{0, 0}, {5, 3}, {10, 0}};
  std::vector<tagPOINT> pts = ToPoints(input);
  allocCalls = 0;
  allocBytes = 0;
  int newCount = -99;
  PolySimplifyInt2D(0.0f, pts.data(), kMax, &newCount);
  EXPECT_EQ(newCount, kMax);
  EXPECT_EQ(ToCoords(pts.data(), 3), input);
  const std::size_t maxCount = std::numeric_limits<std::size_t>::max() / sizeof(std::int32_t);
  if (static_cast<std::size_t>(kMax) <= maxCount) {
    EXPECT_EQ(allocCalls, 1);
    EXPECT_EQ(allocBytes, static_cast<std::size_t>(kMax) * sizeof(std::int32_t));
  } else {
    EXPECT_EQ(allocCalls, 0);
  }
}

TEST(PolySimplifyInt2D, RandomPolylinesMatchReference) {
  SeededRng rng(0x7A11);
  const std::int32_t spans[] = {3, 50, 16000};
  const float tolerances[] = {0.0f, 1.0f, 2.5f, 16.0f, 400.0f, 1e6f};
  for (int iter = 0; iter < 1000; ++iter) {
    const std::int32_t span = spans[rng.Int(0, 2)];
    const float tolerance = tolerances[rng.Int(0, 5)];
    const int count = rng.Int(0, 120);
    std::vector<tagPOINT> pts;
    for (int i = 0; i < count; ++i) pts.push_back(Pt(rng.Int(-span, span), rng.Int(-span, span)));
    const Coords input = ToCoords(pts.data(), count);
    const Coords expected = ReferenceInt2D(tolerance, pts);
    int newCount = -99;
    PolySimplifyInt2D(tolerance, pts.data(), count, &newCount);
    SCOPED_TRACE(testing::Message()
                 << "iter " << iter << " count " << count << " tolerance " << tolerance);
    ASSERT_EQ(newCount, static_cast<int>(expected.size()));
    const Coords got = ToCoords(pts.data(), newCount);
    ASSERT_EQ(got, expected);
    EXPECT_TRUE(IsSubsequence(got, input));
    if (count >= 2) {
      EXPECT_EQ(got.front(), input.front());
      EXPECT_EQ(got.back(), input.back());
    }
  }
}

TEST(PolySimplifyInt2D, KeepsEveryPointOfALongLeftSplittingChain) {
  // Every split nests one level deeper on the left, count - 2 levels in all;
  // the scans make this quadratic, so the size stays modest.
  constexpr int count = 2500;
  std::vector<tagPOINT> pts = LeftSplittingSpiral(count);
  const Coords input = ToCoords(pts.data(), count);
  int newCount = -99;
  PolySimplifyInt2D(0.0f, pts.data(), count, &newCount);
  EXPECT_EQ(newCount, count);
  EXPECT_EQ(ToCoords(pts.data(), count), input);
}

TEST(PolySimplify, EdgeCases) {
  struct Case {
    const char* name;
    Coords buffer;
    int count;
    std::int32_t tolerance;
    Coords expected;
  };
  const Case cases[] = {
      {"count 0", {{7, 7}, {8, 8}}, 0, 0, {}},
      {"count 1", {{7, 7}, {8, 8}}, 1, 0, {{7, 7}}},
      {"negative count", {{7, 7}, {8, 8}}, -3, 0, {}},
      {"count 2", {{0, 0}, {0, 0}}, 2, 1000, {{0, 0}, {0, 0}}},
      {"count 3 drops the middle", {{0, 0}, {100, 100}, {5, 5}}, 3, 0, {{0, 0}, {5, 5}}},
      {"distance equal to tolerance dropped",
       {{0, 0}, {3, 4}, {20, 0}, {30, 0}, {31, 0}},
       5,
       7,
       {{0, 0}, {20, 0}, {31, 0}}},
      {"distance above tolerance kept",
       {{0, 0}, {3, 4}, {20, 0}, {30, 0}, {31, 0}},
       5,
       6,
       {{0, 0}, {3, 4}, {20, 0}, {31, 0}}},
      {"dropped points leave the reference in place",
       {{0, 0}, {4, 0}, {8, 0}, {12, 0}, {0, 0}, {0, 0}},
       6,
       5,
       {{0, 0}, {8, 0}, {0, 0}}},
      {"point before the last never kept",
       {{0, 0}, {1, 0}, {1000, 1000}, {2, 0}},
       4,
       5,
       {{0, 0}, {2, 0}}},
      {"negative tolerance keeps all but the point before the last",
       {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
       5,
       -1,
       {{0, 0}, {0, 0}, {0, 0}, {0, 0}}},
      // Distances of 2^31 and 2^31 + 1: beyond 32 bits, never wrapped.
      {"distances beyond 32 bits",
       {{0, 0}, {kMin, 0}, {0, 1}, {0, 0}, {9, 9}},
       5,
       1000,
       {{0, 0}, {kMin, 0}, {0, 1}, {9, 9}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<tagPOINT> pts = ToPoints(c.buffer);
    int newCount = -99;
    PolySimplify(c.tolerance, pts.data(), c.count, &newCount);
    EXPECT_EQ(newCount, c.count < 2 ? c.count : static_cast<int>(c.expected.size()));
    EXPECT_EQ(ToCoords(pts.data(), static_cast<int>(c.expected.size())), c.expected);
    if (c.count < 2) {
      EXPECT_EQ(ToCoords(pts.data(), static_cast<int>(pts.size())), c.buffer);
    }
  }
}

TEST(PolySimplify, RandomPolylinesFollowTheRules) {
  SeededRng rng(0x9C0F);
  for (int iter = 0; iter < 1000; ++iter) {
    const std::size_t n = static_cast<std::size_t>(rng.Int(2, 60));
    const std::int32_t tolerance = rng.Int(-2, 40);
    // The x values are a shuffle of the indices, so each output point names
    // the input point it came from.
    std::vector<tagPOINT> input;
    for (std::size_t i = 0; i < n; ++i)
      input.push_back(Pt(static_cast<std::int32_t>(i), rng.Int(-15, 15)));
    for (std::size_t i = n - 1; i > 0; --i) {
      std::swap(input[i].x,
                input[static_cast<std::size_t>(rng.Int(0, static_cast<std::int32_t>(i)))].x);
    }
    std::vector<std::size_t> indexOfX(n);
    for (std::size_t i = 0; i < n; ++i) indexOfX[static_cast<std::size_t>(input[i].x)] = i;
    std::vector<tagPOINT> pts = input;
    int newCount = -99;
    PolySimplify(tolerance, pts.data(), static_cast<int>(n), &newCount);
    SCOPED_TRACE(testing::Message()
                 << "iter " << iter << " count " << n << " tolerance " << tolerance);
    ASSERT_GE(newCount, 2);
    ASSERT_LE(static_cast<std::size_t>(newCount), n);
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < static_cast<std::size_t>(newCount); ++i) {
      kept.push_back(indexOfX[static_cast<std::size_t>(pts[i].x)]);
      EXPECT_EQ(pts[i].y, input[kept.back()].y);
    }
    EXPECT_EQ(kept.front(), 0u);
    EXPECT_EQ(kept.back(), n - 1);
    // Walk the input: each point from 1 to n - 3 is kept exactly when it lies
    // farther than the tolerance from the last kept point; n - 2 never is.
    std::size_t next = 1;
    std::size_t ref = 0;
    for (std::size_t j = 1; j + 1 < n; ++j) {
      const std::int32_t dist = std::abs(static_cast<std::int32_t>(input[j].x - input[ref].x)) +
                                std::abs(static_cast<std::int32_t>(input[j].y - input[ref].y));
      const bool isKept = kept[next] == j;
      EXPECT_EQ(isKept, j + 2 < n && dist > tolerance) << "index " << j;
      if (isKept) {
        ref = j;
        ++next;
      }
    }
    EXPECT_EQ(next, kept.size() - 1);
  }
}

}  // namespace
