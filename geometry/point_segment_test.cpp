#include "geometry/point_segment.h"

#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <cstdint>

#include "testing/testing.h"

namespace {

// Segment (x1, y1)-(x2, y2), point (px, py), nearest point, distance, flag.
struct DoubleCase {
  double px, py, x1, y1, x2, y2;
  double fx, fy, distance;
  int flag;
};

TEST(DistOfP2L1, KnownProjections) {
  const DoubleCase cases[] = {
      {5, 3, 0, 0, 10, 0, 5, 0, 3, 1},
      {-2, 0, 0, 0, 10, 0, 0, 0, 2, 0},
      {3, 20, 0, 0, 0, 10, 0, 10, 10.44030650891055, 0},
      {1, 4, 0, 0, 10, 10, 2.5, 2.5, 2.1213203435596424, 1},
      {7, 0, 0, 0, 10, 5, 5.6, 2.8, 3.1304951684997055, 1},
      // Exact foot (-0.5, -0.5) is outside; the Manhattan sums tie at 21.
      {10, -11, 0, 0, 10, 10, 10, 10, 21, 0},
      // |dx| < 0.1 counts as vertical, |dy| < 0.1 as horizontal.
      {2, 5, 0, 0, 0.05, 10, 0, 5, 2, 1},
      {2, 5, 0, 0, 10, 0.05, 2, 0, 5, 1},
      // A difference of exactly 0.1 takes the general formula.
      {2, 5, 0, 0, 0.1, 10, 0.0501949805019498, 5.01949805019498, 1.9499025073118907, 1},
      {7.5, -3.25, -1.5, 2, 4, -6, 3.839522546419098, -5.766578249336869, 4.442100997637215, 1},
      {0, 0, 3, 4, 3, 4, 3, 4, 5, 0},
  };
  for (const DoubleCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "point " << c.px << "," << c.py << " segment " << c.x1 << ","
                                    << c.y1 << "-" << c.x2 << "," << c.y2);
    POINTD foot{-1, -1};
    int flag = -1;
    EXPECT_EQ(DistOfP2L_1(c.px, c.py, c.x1, c.y1, c.x2, c.y2, foot, &flag), c.distance);
    EXPECT_EQ(foot.x, c.fx);
    EXPECT_EQ(foot.y, c.fy);
    EXPECT_EQ(flag, c.flag);
  }
}

struct IntCase {
  std::int32_t px, py, x1, y1, x2, y2;
  std::int32_t fx, fy, distance;
  int flag;
};

void ExpectIntCase(const IntCase& c) {
  SCOPED_TRACE(testing::Message() << "point " << c.px << "," << c.py << " segment " << c.x1 << ","
                                  << c.y1 << "-" << c.x2 << "," << c.y2);
  tagPOINT foot{-1, -1};
  int flag = -1;
  EXPECT_EQ(DistOfP2L(c.px, c.py, c.x1, c.y1, c.x2, c.y2, foot, &flag), c.distance);
  EXPECT_EQ(static_cast<std::int32_t>(foot.x), c.fx);
  EXPECT_EQ(static_cast<std::int32_t>(foot.y), c.fy);
  EXPECT_EQ(flag, c.flag);
}

TEST(DistOfP2L, KnownProjections) {
  const IntCase cases[] = {
      {5, 3, 0, 0, 10, 0, 5, 0, 3, 1},
      {-2, 0, 0, 0, 10, 0, 0, 0, 2, 0},
      {3, 20, 0, 0, 0, 10, 0, 10, 10, 0},
      {1, 4, 0, 0, 10, 10, 2, 2, 2, 1},
      // Distance to the truncated foot (5, 2): sqrt(8) truncated.
      {7, 0, 0, 0, 10, 5, 5, 2, 2, 1},
      // The foot (-0.5, -0.5) truncates to (0, 0), back inside the box.
      {10, -11, 0, 0, 10, 10, 0, 0, 14, 1},
      {0, 0, 3, 4, 3, 4, 3, 4, 5, 0},
      // Foot (-3, 0) is outside; Manhattan sums 5 and 10: the first end.
      {-3, -2, 0, 0, 4, 1, 0, 0, 3, 0},
  };
  for (const IntCase& c : cases) ExpectIntCase(c);
}

// Differences of up to 2^32 - 1 keep their sign: in 32 bits the slope of
// the third row would read as -1, and the Manhattan sums of the others
// would pick the wrong end.
TEST(DistOfP2L, DifferencesBeyond32Bits) {
  constexpr std::int32_t lo = INT32_MIN;
  constexpr std::int32_t hi = INT32_MAX;
  const IntCase cases[] = {
      // Horizontal: the foot (hi, lo) lies beyond the second end, which is
      // nearer; sqrt((2^32 - 11)^2 + (2^32 - 1)^2) saturates.
      {hi, hi, lo, lo, lo + 10, lo, lo + 10, lo, hi, 0},
      // Foot beyond B = (lo + 1000, 1000); the Manhattan sums tie at
      // 2^32 - 1, so the second end; its distance to P saturates too.
      {hi, 0, lo, 0, lo + 1000, 1000, lo + 1000, 1000, hi, 0},
      // The line through (lo + 1, -1) and (hi, 1) passes (0, 0); the foot of
      // (0, 5) lies within 1e-8 of it.
      {0, 5, lo + 1, -1, hi, 1, 0, 0, 5, 1},
      // A foot on a full-range segment at (1.9999999995, lo + 1.0000000011),
      // 2^32 - 2 from P: the distance saturates.
      {0, hi, lo, lo, hi, lo + 2, 1, lo + 1, hi, 1},
      // Vertical: the foot (lo, 0) lies below the segment; Manhattan sums
      // 2^32 - 1 + hi and 2^32 - 1 + hi - 10 (in 32 bits the first would
      // wrap negative and win).
      {hi, 0, lo, hi, lo, hi - 10, lo, hi - 10, hi, 0},
  };
  for (const IntCase& c : cases) ExpectIntCase(c);
}

TEST(DistOfP2L, NullFlagGivesTheSameResult) {
  POINTD footD{0, 0};
  EXPECT_EQ(DistOfP2L_1(7, 0, 0, 0, 10, 5, footD, nullptr), 3.1304951684997055);
  EXPECT_EQ(footD.x, 5.6);
  EXPECT_EQ(footD.y, 2.8);
  tagPOINT foot{0, 0};
  EXPECT_EQ(DistOfP2L(-2, 0, 0, 0, 10, 0, foot, nullptr), 2);
  EXPECT_EQ(static_cast<std::int32_t>(foot.x), 0);
  EXPECT_EQ(static_cast<std::int32_t>(foot.y), 0);
}

// Any 32-bit input stays defined (the sanitizer build checks this): the
// flag is 0 or 1, and with 0 the nearest point is one of the ends.
TEST(DistOfP2L, ExtremeCoordinatesStayDefined) {
  tarnutil::testing::SeededRng rng(20240611);
  for (int i = 0; i < 2000; ++i) {
    std::int32_t v[6];
    for (std::int32_t& x : v) x = rng.Int(INT32_MIN, INT32_MAX);
    SCOPED_TRACE(i);
    tagPOINT foot{0, 0};
    int flag = -1;
    const std::int32_t d = DistOfP2L(v[0], v[1], v[2], v[3], v[4], v[5], foot, &flag);
    EXPECT_GE(d, 0);
    ASSERT_TRUE(flag == 0 || flag == 1);
    if (flag == 0) {
      const bool first = foot.x == v[2] && foot.y == v[3];
      const bool second = foot.x == v[4] && foot.y == v[5];
      EXPECT_TRUE(first || second);
    }
  }
}

}  // namespace
