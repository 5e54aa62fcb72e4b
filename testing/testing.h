// Shared helpers for the test programs: a seeded generator whose sequence is
// the same on every target, and last-place distances between doubles.
#ifndef TARNUTIL_TESTING_TESTING_H
#define TARNUTIL_TESTING_TESTING_H

#include <cstdint>
#include <cstring>

namespace tarnutil {
namespace testing {

// SplitMix64: fixed sequence per seed on every target and standard library
// (unlike the std:: distributions, whose output is implementation-defined).
class SeededRng {
 public:
  explicit SeededRng(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Uniform integer in [lo, hi], both inclusive.
  std::int32_t Int(std::int32_t lo, std::int32_t hi) {
    const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1u;
    return static_cast<std::int32_t>(lo + static_cast<std::int64_t>(Next() % span));
  }

  // Uniform double in [lo, hi) from 53 random bits.
  double Real(double lo, double hi) {
    const double unit = static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
    return lo + (hi - lo) * unit;
  }

 private:
  std::uint64_t state_;
};

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
