// Exact 32-bit integer steps, wide steps that never wrap, and
// double-to-integer truncation.
//
// Every result of the library is fixed to the last bit, so all wrap-around
// arithmetic, every wide product and every truncation go through these
// helpers. The wrapping operations compute in unsigned arithmetic: they wrap
// like 32-bit two's complement on every target, without signed-overflow
// undefined behaviour.
//
// The wide operations serve formulas on coordinate differences, whatever
// the coordinates: a difference of two 32-bit values needs 33 bits, a
// product of two such differences 65, a sum of two products 66. They take
// one path on every target (no __int128, which 32-bit ARM lacks): a
// difference's magnitude fits 32 unsigned bits, so each product is one
// 32 x 32 -> 64-bit multiply, and sums carry into a second word.
#ifndef TARNUTIL_UTIL_EXACT_H
#define TARNUTIL_UTIL_EXACT_H

#include <cmath>
#include <cstdint>
#include <limits>

namespace tarnutil {
namespace detail {

// Reinterprets a 32-bit pattern as signed; well defined since C++17 compilers
// all use two's complement, and written so that no branch is needed.
constexpr std::int32_t FromBits32(std::uint32_t bits) {
  return bits <= 0x7FFFFFFFu ? static_cast<std::int32_t>(bits)
                             : static_cast<std::int32_t>(bits - 0x80000000u) - 0x7FFFFFFF - 1;
}

// Wraps like 32-bit two's complement; computed unsigned, so no UB.
constexpr std::int32_t AddWrap32(std::int32_t a, std::int32_t b) {
  return FromBits32(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

constexpr std::int32_t SubWrap32(std::int32_t a, std::int32_t b) {
  return FromBits32(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

constexpr std::int32_t MulWrap32(std::int32_t a, std::int32_t b) {
  return FromBits32(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

constexpr std::int32_t NegWrap32(std::int32_t a) {
  return SubWrap32(0, a);
}

// |a| with wrap-around: the magnitude of INT32_MIN stays INT32_MIN, as the
// 32-bit processor gives it.
constexpr std::int32_t AbsWrap32(std::int32_t a) {
  return a < 0 ? NegWrap32(a) : a;
}

// Division truncating toward zero. INT32_MIN / -1 wraps to INT32_MIN (the
// quotient 2^31 taken modulo 2^32); a zero divisor gives 0. Both would trap
// or be undefined in plain C++.
constexpr std::int32_t DivTrunc32(std::int32_t a, std::int32_t b) {
  if (b == 0) return 0;
  if (b == -1) return NegWrap32(a);
  return a / b;
}

// Truncates toward zero, so -0.7 becomes 0, not -1. Out-of-range input
// saturates (above INT32_MAX gives INT32_MAX, below INT32_MIN gives
// INT32_MIN) and NaN gives 0, as the ARM floating-point unit converts.
inline std::int32_t TruncToInt32(double v) {
  if (v != v) return 0;
  if (v >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
  if (v <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

// Exact a - b: 33 bits, held in 64.
constexpr std::int64_t Sub64(std::int32_t a, std::int32_t b) {
  return static_cast<std::int64_t>(a) - static_cast<std::int64_t>(b);
}

// Exact a - b as a double: both values and their 33-bit difference are
// exact in a double's 53 bits. No 64-bit integer step, which 32-bit ARM
// converts to double only through a library call.
constexpr double SubToDouble(std::int32_t a, std::int32_t b) {
  return static_cast<double>(a) - static_cast<double>(b);
}

// |d| of a difference of two 32-bit values (|d| <= 2^32 - 1), exactly.
constexpr std::uint32_t Magnitude32(std::int64_t d) {
  return static_cast<std::uint32_t>(d < 0 ? -d : d);
}

// |a - b| exactly; at most 2^32 - 1, so it fits 32 unsigned bits.
constexpr std::uint32_t AbsDiff32(std::int32_t a, std::int32_t b) {
  return Magnitude32(Sub64(a, b));
}

// Exact product of two 32-bit magnitudes: one multiply instruction on x86-64
// and 32-bit ARM alike.
constexpr std::uint64_t MulU64(std::uint32_t a, std::uint32_t b) {
  return static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b);
}

// a * b / c truncated toward zero, exactly, for differences of 32-bit values
// (|a|, |b|, |c| <= 2^32 - 1): the product's magnitude fits 64 unsigned
// bits. A zero c gives 0, as DivTrunc32 does. Where |a| <= |c| (a crossing
// point between two others) the quotient's magnitude is at most |b|; a
// quotient beyond 2^32 in magnitude gives +-2^32, which no 32-bit value
// added to it brings back into the 32-bit range, so a saturating narrowing
// of the sum is still right.
constexpr std::int64_t MulDivTrunc64(std::int64_t a, std::int64_t b, std::int64_t c) {
  if (c == 0) return 0;
  constexpr std::uint64_t cap = std::uint64_t{1} << 32;
  std::uint64_t q = MulU64(Magnitude32(a), Magnitude32(b)) / Magnitude32(c);
  q = q > cap ? cap : q;
  const bool negative = ((a < 0) != (b < 0)) != (c < 0);
  return negative ? -static_cast<std::int64_t>(q) : static_cast<std::int64_t>(q);
}

// Nearest 32-bit value: above INT32_MAX gives INT32_MAX, below INT32_MIN
// gives INT32_MIN, with the sign of the right value.
constexpr std::int32_t SatToInt32(std::int64_t v) {
  // Clamped from below, then from above: two selects, no branch.
  const std::int64_t atLeastMin =
      v < std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::min() : v;
  return static_cast<std::int32_t>(atLeastMin > std::numeric_limits<std::int32_t>::max()
                                       ? std::numeric_limits<std::int32_t>::max()
                                       : atLeastMin);
}

// A signed 128-bit integer in two's complement over two words, for sums of
// products of coordinate differences.
struct Wide128 {
  std::uint64_t hi;
  std::uint64_t lo;
};

constexpr Wide128 Add128(Wide128 a, Wide128 b) {
  const std::uint64_t lo = a.lo + b.lo;
  return Wide128{a.hi + b.hi + (lo < a.lo ? 1u : 0u), lo};
}

constexpr Wide128 Neg128(Wide128 a) {
  return Add128(Wide128{~a.hi, ~a.lo}, Wide128{0, 1});
}

constexpr Wide128 Sub128(Wide128 a, Wide128 b) {
  return Add128(a, Neg128(b));
}

constexpr bool IsNegative128(Wide128 a) {
  return (a.hi >> 63) != 0;
}

// -1, 0 or 1 as a is below, equal to or above b.
constexpr int Compare128(Wide128 a, Wide128 b) {
  // Flipping the sign bits orders two's complement words as unsigned ones.
  const std::uint64_t ah = a.hi ^ (std::uint64_t{1} << 63);
  const std::uint64_t bh = b.hi ^ (std::uint64_t{1} << 63);
  if (ah != bh) return ah < bh ? -1 : 1;
  if (a.lo != b.lo) return a.lo < b.lo ? -1 : 1;
  return 0;
}

// Exact a * b for differences of 32-bit values (|a|, |b| <= 2^32 - 1).
constexpr Wide128 MulDiff128(std::int64_t a, std::int64_t b) {
  const Wide128 m{0, MulU64(Magnitude32(a), Magnitude32(b))};
  return (a < 0) != (b < 0) ? Neg128(m) : m;
}

// Exact dx * dx + dy * dy for differences of 32-bit values: below 2^65.
constexpr Wide128 SquaredLength128(std::int64_t dx, std::int64_t dy) {
  return Add128(MulDiff128(dx, dx), MulDiff128(dy, dy));
}

// The double nearest to a (ties to even), as converting an integer rounds;
// |a| below 2^126.
inline double ToDouble128(Wide128 a) {
  const bool negative = IsNegative128(a);
  const Wide128 m = negative ? Neg128(a) : a;
  double d = 0.0;
  if (m.hi == 0) {
    d = static_cast<double>(m.lo);
  } else {
    // Shifted down to 63 bits; the bits shifted out survive as one sticky
    // bit below the rounding position, so the one rounding is the right one.
    int shift = 1;
    while ((m.hi >> shift) != 0) ++shift;
    ++shift;
    const std::uint64_t kept = (m.hi << (64 - shift)) | (m.lo >> shift);
    const std::uint64_t sticky = (m.lo & ((std::uint64_t{1} << shift) - 1)) != 0 ? 1u : 0u;
    d = std::ldexp(static_cast<double>(kept | sticky), shift);
  }
  return negative ? -d : d;
}

// Nearest 32-bit value, saturating as SatToInt32 does.
constexpr std::int32_t SatToInt32(Wide128 a) {
  constexpr std::uint64_t lowestFit = 0xFFFFFFFF80000000u;  // INT32_MIN in 64 bits
  if (IsNegative128(a)) {
    return a.hi == ~std::uint64_t{0} && a.lo >= lowestFit
               ? FromBits32(static_cast<std::uint32_t>(a.lo))
               : std::numeric_limits<std::int32_t>::min();
  }
  return a.hi == 0 && a.lo <= 0x7FFFFFFFu ? static_cast<std::int32_t>(a.lo)
                                          : std::numeric_limits<std::int32_t>::max();
}

// a * b - c * d for differences of 32-bit values, exactly, narrowed as
// SatToInt32 does. While every difference fits in 32 bits (as coordinates
// within half the 32-bit range give) each product is a single 32 x 32 ->
// 64-bit multiply, and their difference stays inside 64 bits: it is at most
// 2^62 + 2^31 (2^31 - 1) in magnitude, as no difference reaches +2^31. Only
// wider differences take the 128-bit path.
constexpr std::int32_t CrossSat32(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) {
  // Each biased value is below 2^32 exactly when its difference fits.
  constexpr std::uint64_t bias = std::uint64_t{1} << 31;
  const std::uint64_t biased =
      (static_cast<std::uint64_t>(a) + bias) | (static_cast<std::uint64_t>(b) + bias) |
      (static_cast<std::uint64_t>(c) + bias) | (static_cast<std::uint64_t>(d) + bias);
  if ((biased >> 32) == 0) {
    const std::int64_t ab =
        static_cast<std::int64_t>(static_cast<std::int32_t>(a)) * static_cast<std::int32_t>(b);
    const std::int64_t cd =
        static_cast<std::int64_t>(static_cast<std::int32_t>(c)) * static_cast<std::int32_t>(d);
    return SatToInt32(ab - cd);
  }
  return SatToInt32(Sub128(MulDiff128(a, b), MulDiff128(c, d)));
}

// Truncates toward zero like TruncToInt32, over the 64-bit range: beyond it
// saturates, NaN gives 0.
inline std::int64_t TruncToInt64(double v) {
  if (v != v) return 0;
  if (v >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
  if (v < -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(v);
}

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_UTIL_EXACT_H
