// Shared helpers for the test programs: a seeded generator whose sequence is
// the same on every target, and last-place distances between doubles.
#ifndef TARNUTIL_TESTING_TESTING_H
#define TARNUTIL_TESTING_TESTING_H

#include <cstdint>
#include <cstring>

#include "testing/seeded_rng.h"

namespace tarnutil {
namespace testing {

// Number of representable doubles between a and b (0 when equal; NaNs equal
// each other). Large for values of different sign.
inline std::uint64_t UlpDistance(double a, double b) {
  if (a != a || b != b) return (a != a && b != b) ? 0u : ~0ull;
  std::int64_t ia = 0;
  std::int64_t ib = 0;
  std::memcpy(&ia, &a, sizeof a);
  std::memcpy(&ib, &b, sizeof b);
  // Map the sign-magnitude bit patterns onto one monotonic integer line.
  if (ia < 0) ia = static_cast<std::int64_t>(0x8000000000000000ull - static_cast<std::uint64_t>(ia));
  if (ib < 0) ib = static_cast<std::int64_t>(0x8000000000000000ull - static_cast<std::uint64_t>(ib));
  return ia > ib ? static_cast<std::uint64_t>(ia) - static_cast<std::uint64_t>(ib)
                 : static_cast<std::uint64_t>(ib) - static_cast<std::uint64_t>(ia);
}

}  // namespace testing
}  // namespace tarnutil

#endif  // TARNUTIL_TESTING_TESTING_H
