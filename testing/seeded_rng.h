// The seeded generator of the tests, the benchmarks and the demonstration
// map. Golden data and the demo picture are drawn from it, so its sequence
// and every draw below must never change.
#ifndef TARNUTIL_TESTING_SEEDED_RNG_H
#define TARNUTIL_TESTING_SEEDED_RNG_H

#include <cstddef>
#include <cstdint>

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

  // The high half of the next value: its best-mixed bits.
  std::uint32_t Upper32() { return static_cast<std::uint32_t>(Next() >> 32); }

  // Uniform integer in [lo, hi], both inclusive.
  std::int32_t Int(std::int32_t lo, std::int32_t hi) {
    const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1u;
    return static_cast<std::int32_t>(lo + static_cast<std::int64_t>(Next() % span));
  }

  // Uniform double in [0, 1) from 53 random bits.
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

  // Uniform double in [lo, hi).
  double Real(double lo, double hi) { return lo + (hi - lo) * Unit(); }

  // Uniform in [0, n) for n >= 1, by remainder.
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }

  // True with probability 1/d.
  bool OneIn(std::uint64_t d) { return Next() % d == 0; }

 private:
  std::uint64_t state_;
};

}  // namespace testing
}  // namespace tarnutil

#endif  // TARNUTIL_TESTING_SEEDED_RNG_H
