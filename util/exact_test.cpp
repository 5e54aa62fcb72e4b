#include "util/exact.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

using tarnutil::detail::AbsWrap32;
using tarnutil::detail::AddWrap32;
using tarnutil::detail::DivTrunc32;
using tarnutil::detail::MulWrap32;
using tarnutil::detail::SubWrap32;
using tarnutil::detail::TruncToInt32;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(WrapArithmetic, WrapsLikeTwosComplement) {
  struct Case { std::int32_t a, b, sum, diff, prod; };
  const Case cases[] = {
      {1, 2, 3, -1, 2},
      {kMax, 1, kMin, kMax - 1, kMax},
      {kMin, -1, kMax, kMin + 1, kMin},
      {65536, 65536, 131072, 0, 0},
      {46341, 46341, 92682, 0, -2147479015},
      {-7, 3, -4, -10, -21},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << "," << c.b);
    EXPECT_EQ(AddWrap32(c.a, c.b), c.sum);
    EXPECT_EQ(SubWrap32(c.a, c.b), c.diff);
    EXPECT_EQ(MulWrap32(c.a, c.b), c.prod);
  }
  EXPECT_EQ(AbsWrap32(kMin), kMin);
  EXPECT_EQ(AbsWrap32(-5), 5);
}

TEST(WrapArithmetic, DivisionTruncatesAndStaysDefined) {
  EXPECT_EQ(DivTrunc32(7, 2), 3);
  EXPECT_EQ(DivTrunc32(-7, 2), -3);
  EXPECT_EQ(DivTrunc32(7, -2), -3);
  EXPECT_EQ(DivTrunc32(kMin, -1), kMin);
  EXPECT_EQ(DivTrunc32(5, 0), 0);
}

TEST(TruncToInt32, TowardZeroAndSaturating) {
  struct Case { double v; std::int32_t expected; };
  const Case cases[] = {
      {0.7, 0},
      {-0.7, 0},
      {-1.5, -1},
      {2147483647.9, kMax},
      {2147483648.0, kMax},
      {-2147483648.9, kMin},
      {-2147483649.0, kMin},
      {1e300, kMax},
      {-1e300, kMin},
      {std::numeric_limits<double>::infinity(), kMax},
      {-std::numeric_limits<double>::infinity(), kMin},
      {std::nan(""), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.v);
    EXPECT_EQ(TruncToInt32(c.v), c.expected);
  }
}

}  // namespace
