#include "util/exact.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "testing/exact_reference.h"
#include "testing/testing.h"

namespace {

using tarnutil::detail::AbsWrap32;
using tarnutil::detail::AddWrap32;
using tarnutil::detail::DivTrunc32;
using tarnutil::detail::MulWrap32;
using tarnutil::detail::SubWrap32;
using tarnutil::detail::TruncToInt32;
using tarnutil::detail::TruncToInt64;
using tarnutil::detail::Wide128;
using tarnutil::testing::BigInt;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(WrapArithmetic, WrapsLikeTwosComplement) {
  struct Case {
    std::int32_t a, b, sum, diff, prod;
  };
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
  struct Case {
    double v;
    std::int32_t expected;
  };
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

// A Wide128 read back as an exact integer.
BigInt ToBig(Wide128 w) {
  const bool negative = tarnutil::detail::IsNegative128(w);
  const Wide128 m = negative ? tarnutil::detail::Neg128(w) : w;
  const BigInt word = BigInt(1) * BigInt(std::int64_t{1} << 32) * BigInt(std::int64_t{1} << 32);
  const BigInt half = BigInt(std::int64_t{1} << 32);
  const BigInt value = (BigInt(static_cast<std::int64_t>(m.hi >> 32)) * half +
                        static_cast<std::int64_t>(m.hi & 0xFFFFFFFFu)) *
                           word +
                       BigInt(static_cast<std::int64_t>(m.lo >> 32)) * half +
                       static_cast<std::int64_t>(m.lo & 0xFFFFFFFFu);
  return negative ? -value : value;
}

// Sums of products of full-range differences, their comparison, narrowing
// and rounding, against exact integers; differences near the ends of their
// range come up often, as there the carries and the sticky bit matter.
TEST(WideArithmetic, MatchesExactIntegers) {
  using namespace tarnutil::detail;
  tarnutil::testing::SeededRng rng(0x128);
  const auto coordinate = [&rng]() {
    const std::int32_t pick = rng.Int(0, 3);
    return pick == 0 ? kMin : pick == 1 ? kMax : rng.Int(kMin, kMax);
  };
  for (int i = 0; i < 5000; ++i) {
    const std::int32_t v[8] = {coordinate(), coordinate(), coordinate(), coordinate(),
                               coordinate(), coordinate(), coordinate(), rng.Int(-70000, 70000)};
    const std::int64_t a = Sub64(v[0], v[1]), b = Sub64(v[2], v[3]);
    const std::int64_t c = Sub64(v[4], v[5]), d = Sub64(v[6], v[7]);
    SCOPED_TRACE(testing::Message() << a << " " << b << " " << c << " " << d);
    const BigInt ab = BigInt(a) * b, cd = BigInt(c) * d;
    ASSERT_EQ(ToBig(MulDiff128(a, b)), ab);
    const Wide128 sum = Add128(MulDiff128(a, b), MulDiff128(c, d));
    const Wide128 diff = Sub128(MulDiff128(a, b), MulDiff128(c, d));
    ASSERT_EQ(ToBig(sum), ab + cd);
    ASSERT_EQ(ToBig(diff), ab - cd);
    ASSERT_EQ(Compare128(MulDiff128(a, b), MulDiff128(c, d)), (ab - cd).Sign());
    ASSERT_EQ(ToDouble128(sum), (ab + cd).ToDouble());
    ASSERT_EQ(ToDouble128(diff), (ab - cd).ToDouble());
    const std::int64_t narrowed = SatToInt32(diff);
    ASSERT_EQ(CrossSat32(a, b, c, d), narrowed);
    ASSERT_EQ(narrowed, (ab - cd) > BigInt(kMax)   ? kMax
                        : (ab - cd) < BigInt(kMin) ? kMin
                                                   : (ab - cd).ToInt64());
    // A quotient whose magnitude exceeds 2^32 is capped there.
    const BigInt q = c == 0 ? BigInt(0) : ab / c;
    const BigInt cap(std::int64_t{1} << 32);
    const BigInt capped = q > cap ? cap : (q < -cap ? -cap : q);
    ASSERT_EQ(BigInt(MulDivTrunc64(a, b, c)), capped);
    ASSERT_EQ(std::int64_t{AbsDiff32(v[0], v[1])}, a < 0 ? -a : a);
  }
}

TEST(WideArithmetic, EdgesOfTheRanges) {
  using namespace tarnutil::detail;
  constexpr std::int64_t span = 4294967295;  // kMax - kMin
  EXPECT_EQ(Sub64(kMax, kMin), span);
  EXPECT_EQ(Sub64(kMin, kMax), -span);
  EXPECT_EQ(AbsDiff32(kMin, kMax), 4294967295u);
  EXPECT_EQ(MulU64(4294967295u, 4294967295u), 18446744065119617025u);
  // 2^31 * (2^32 - 1) / 1 exceeds 2^32: capped with the quotient's sign.
  EXPECT_EQ(MulDivTrunc64(2147483648, span, -1), -(std::int64_t{1} << 32));
  EXPECT_EQ(MulDivTrunc64(-7, 3, 2), -10);
  EXPECT_EQ(MulDivTrunc64(5, 5, 0), 0);
  EXPECT_EQ(SatToInt32(std::int64_t{kMax} + 1), kMax);
  EXPECT_EQ(SatToInt32(std::int64_t{kMin} - 1), kMin);
  EXPECT_EQ(SatToInt32(Wide128{~std::uint64_t{0}, 0x80000000u}), kMin);
  // Differences within 32 bits take the 64-bit path, at its extremes too;
  // 2^31 takes the 128-bit one.
  EXPECT_EQ(CrossSat32(kMax, kMax, -std::int64_t{kMax}, kMax), kMax);
  EXPECT_EQ(CrossSat32(kMin, kMin, kMin, kMax), kMax);
  EXPECT_EQ(CrossSat32(kMin, kMax, kMin, kMin), kMin);
  EXPECT_EQ(CrossSat32(kMin, 1, kMin + 1, 1), -1);
  EXPECT_EQ(CrossSat32(2147483648, 1, 2147483647, 1), 1);
  // Half a unit (2048) above 2^64 is a tie, to even; one more, shifted out
  // as the sticky bit, rounds up.
  EXPECT_EQ(ToDouble128(Wide128{1, 0x801}), 18446744073709551616.0 + 4096.0);
  EXPECT_EQ(ToDouble128(Wide128{1, 0x800}), 18446744073709551616.0);
  EXPECT_EQ(TruncToInt64(-2.5), -2);
  EXPECT_EQ(TruncToInt64(1e300), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(TruncToInt64(-1e300), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(TruncToInt64(std::nan("")), 0);
}

}  // namespace
