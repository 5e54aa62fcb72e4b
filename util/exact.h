// Exact 32-bit integer steps and double-to-integer truncation.
//
// Every result of the library is fixed to the last bit, so all wrap-around
// arithmetic and every truncation go through these helpers. The wrapping
// operations compute in unsigned arithmetic: they wrap like 32-bit two's
// complement on every target, without signed-overflow undefined behaviour.
#ifndef TARNUTIL_UTIL_EXACT_H
#define TARNUTIL_UTIL_EXACT_H

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

constexpr std::int32_t NegWrap32(std::int32_t a) { return SubWrap32(0, a); }

// |a| with wrap-around: the magnitude of INT32_MIN stays INT32_MIN, as the
// 32-bit processor gives it.
constexpr std::int32_t AbsWrap32(std::int32_t a) { return a < 0 ? NegWrap32(a) : a; }

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

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_UTIL_EXACT_H
