#include "geometry/measures.h"

#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <climits>
#include <cmath>
#include <cstdint>

#include "testing/exact_reference.h"
#include "testing/testing.h"

namespace {

using tarnutil::detail::cosTable;
using tarnutil::detail::sinTable;

TEST(Distance, PythagoreanAndEqualPoints) {
  EXPECT_EQ(Distance(0, 0, 3, 4), 5.0);
  EXPECT_EQ(Distance(3, 4, 0, 0), 5.0);
  EXPECT_EQ(Distance(-1.5, 2.5, -1.5, 2.5), 0.0);
  EXPECT_EQ(Distance(1, 1, 2, 2), std::sqrt(2.0));
}

TEST(ComputeSegmentAngle, DirectionsFromOrigin) {
  struct AngleCase {
    tagPOINT to;
    std::int32_t expected;
  };
  // 316 and 226: -45 and -135 degrees plus 0.5 truncate toward zero.
  const AngleCase cases[] = {{{10, 0}, 0},     {{-10, 0}, 180},   {{0, 10}, 90},
                             {{0, -10}, 270},  {{10, 10}, 45},    {{-10, 10}, 135},
                             {{10, -10}, 316}, {{-10, -10}, 226}, {{1000, 9}, 1},
                             {{1000, 8}, 0},   {{1000, -26}, 0},  {{-1000, -1}, 181}};
  for (const AngleCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.to.x << "," << c.to.y);
    tagPOINT from{0, 0};
    tagPOINT to = c.to;
    std::int32_t angle = -1;
    EXPECT_EQ(ComputeSegmentAngle(&from, &to, &angle), 1);
    EXPECT_EQ(angle, c.expected);
  }
}

// Differences up to 2^32 - 1 keep their sign and size; in 32 bits
// INT32_MAX - INT32_MIN would read as -1.
TEST(ComputeSegmentAngle, DifferencesBeyond32Bits) {
  struct Case {
    tagPOINT from, to;
    std::int32_t expected;
  };
  const Case cases[] = {
      {{INT32_MIN, 0}, {INT32_MAX, 1}, 0},
      {{INT32_MAX, 0}, {INT32_MIN, 1}, 180},
      {{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}, 45},
      {{INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MIN}, 226},
      // -89.99999998 + 0.5 truncates toward zero to -89.
      {{0, INT32_MAX}, {1, INT32_MIN}, 271},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.from.x << "," << c.from.y << " to " << c.to.x << "," << c.to.y);
    tagPOINT from = c.from;
    tagPOINT to = c.to;
    std::int32_t angle = -1;
    EXPECT_EQ(ComputeSegmentAngle(&from, &to, &angle), 1);
    EXPECT_EQ(angle, c.expected);
  }
}

TEST(ComputeSegmentAngle, EqualPointsWriteZeroAndFail) {
  tagPOINT a{7, -3};
  tagPOINT b{7, -3};
  std::int32_t angle = -1;
  EXPECT_EQ(ComputeSegmentAngle(&a, &b, &angle), 0);
  EXPECT_EQ(angle, 0);
}

TEST(ComputeSegmentAngle, NullPointerWritesNothing) {
  tagPOINT a{0, 0};
  tagPOINT b{10, 10};
  std::int32_t angle = -1;
  EXPECT_EQ(ComputeSegmentAngle(nullptr, &b, &angle), 0);
  EXPECT_EQ(ComputeSegmentAngle(&a, nullptr, &angle), 0);
  EXPECT_EQ(angle, -1);
  EXPECT_EQ(ComputeSegmentAngle(&a, &b, nullptr), 0);
}

TEST(WherePtLiesSegment, SignTellsTheSide) {
  struct SideCase {
    tagPOINT p, a, b;
    int expected;
  };
  const SideCase cases[] = {
      {{5, 3}, {0, 0}, {10, 0}, -30},
      {{5, -3}, {0, 0}, {10, 0}, 30},
      {{20, 0}, {0, 0}, {10, 0}, 0},
      {{-7, 3}, {-7, 3}, {12, -40}, 0},
      {{12, -40}, {-7, 3}, {12, -40}, 0},
      // Products beyond 32 bits whose difference fits: exact.
      {{65536, 65536}, {0, 0}, {65537, 65536}, -65536},
      {{46341, 46340}, {0, 0}, {46340, 46339}, -1},
      // Beyond the int range: saturated, with the exact value's sign.
      {{65536, 0}, {0, 0}, {0, 65536}, INT_MAX},
      {{0, 65536}, {0, 0}, {65536, 0}, INT_MIN},
      {{INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {0, 0}, INT_MAX},
  };
  for (const SideCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.p.x << "," << c.p.y << " from " << c.a.x << "," << c.a.y);
    EXPECT_EQ(WherePtLiesSegment(&c.p, &c.a, &c.b), c.expected);
  }
}

// Full-range points: the sign is always the exact cross product's, and the
// value is exact wherever it fits an int.
TEST(WherePtLiesSegment, MatchesExactCrossProduct) {
  using tarnutil::testing::BigInt;
  tarnutil::testing::SeededRng rng(0x51DE);
  for (int i = 0; i < 5000; ++i) {
    // Every fourth point lies near the line, where the sign is delicate.
    tagPOINT a{rng.Int(INT32_MIN, INT32_MAX), rng.Int(INT32_MIN, INT32_MAX)};
    tagPOINT b{rng.Int(INT32_MIN, INT32_MAX), rng.Int(INT32_MIN, INT32_MAX)};
    tagPOINT p{rng.Int(INT32_MIN, INT32_MAX), rng.Int(INT32_MIN, INT32_MAX)};
    if (i % 4 == 0) p = tagPOINT{a.x / 2 + b.x / 2, a.y / 2 + b.y / 2 + rng.Int(-2, 2)};
    const BigInt cross =
        (BigInt(p.x) - a.x) * (BigInt(b.y) - a.y) - (BigInt(p.y) - a.y) * (BigInt(b.x) - a.x);
    const std::int64_t expected = cross > BigInt(INT_MAX)   ? INT_MAX
                                  : cross < BigInt(INT_MIN) ? INT_MIN
                                                            : cross.ToInt64();
    ASSERT_EQ(WherePtLiesSegment(&p, &a, &b), expected)
        << p.x << "," << p.y << " from " << a.x << "," << a.y << " to " << b.x << "," << b.y;
  }
}

TEST(TrigTables, ListedRowsExactly) {
  struct Row {
    int degrees;
    float sine, cosine;
  };
  const Row rows[] = {
      {0, 0.000000f, 1.000000f},     {1, 0.017452f, 0.999848f},     {2, 0.034900f, 0.999391f},
      {30, 0.500000f, 0.866025f},    {45, 0.707107f, 0.707107f},    {60, 0.866026f, 0.500000f},
      {90, 1.000000f, -0.000001f},   {150, 0.499999f, -0.866026f},  {180, -0.000001f, -1.000000f},
      {210, -0.500001f, -0.866025f}, {240, -0.866026f, -0.499998f}, {270, -1.000000f, 0.000002f},
      {300, -0.866024f, 0.500002f},  {330, -0.499998f, 0.866027f},  {359, -0.017450f, 0.999848f},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.degrees);
    EXPECT_EQ(sinTable[r.degrees], r.sine);
    EXPECT_EQ(cosTable[r.degrees], r.cosine);
  }
}

TEST(TrigTables, EveryEntryIsASixDecimalNumberCloseToTheTrueValue) {
  constexpr double pi = 3.14159265358979323846;
  // The stored values stray from the true ones by up to 0.0000031.
  constexpr double tolerance = 0.0000032;
  for (int i = 0; i < tarnutil::detail::degreesPerTurn; ++i) {
    SCOPED_TRACE(i);
    const double rad = i * pi / 180.0;
    EXPECT_NEAR(sinTable[i], std::sin(rad), tolerance);
    EXPECT_NEAR(cosTable[i], std::cos(rad), tolerance);
    for (const float entry : {sinTable[i], cosTable[i]}) {
      const double micro = std::round(static_cast<double>(entry) * 1e6);
      EXPECT_EQ(entry, static_cast<float>(micro / 1e6));
    }
  }
}

TEST(TrigTableIndex, ReducesEveryAngle) {
  struct IndexCase {
    int degrees, index;
  };
  const IndexCase cases[] = {{0, 0},    {359, 359},  {360, 0},       {450, 90},
                             {-1, 359}, {-90, 270},  {-360, 0},      {-361, 359},
                             {-720, 0}, {-1000, 80}, {INT_MAX, 127}, {INT_MIN, 232}};
  for (const IndexCase& c : cases) {
    SCOPED_TRACE(c.degrees);
    EXPECT_EQ(tarnutil::detail::TrigTableIndex(c.degrees), c.index);
  }
}

TEST(SinCos, ReadTheirTables) {
  EXPECT_EQ(SIN(0), 0.0f);
  EXPECT_EQ(SIN(90), 1.0f);
  EXPECT_EQ(SIN(180), -0.000001f);
  EXPECT_EQ(SIN(450), SIN(90));
  EXPECT_EQ(SIN(-90), -1.0f);
  EXPECT_EQ(SIN(-360), SIN(0));
  EXPECT_EQ(SIN(-1000), sinTable[80]);
  EXPECT_EQ(COS(0), 1.0f);
  EXPECT_EQ(COS(90), -0.000001f);
  EXPECT_EQ(COS(-1), COS(359));
  EXPECT_EQ(COS(360), COS(0));
  EXPECT_EQ(COS(INT_MIN), cosTable[232]);
}

}  // namespace
