// Reads typed values from a fuzzer's byte string. Bytes past the end read as
// zero, so every input, however short, decodes to one well-defined case.
#ifndef TARNUTIL_FUZZ_FUZZ_INPUT_H
#define TARNUTIL_FUZZ_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tarnutil {
namespace fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Empty() const { return pos_ >= size_; }
  std::size_t Remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
  const std::uint8_t* Rest() const { return data_ + pos_; }

  std::uint8_t U8() { return pos_ < size_ ? data_[pos_++] : std::uint8_t{0}; }

  std::uint16_t U16() {
    const std::uint32_t lo = U8();
    const std::uint32_t hi = U8();
    return static_cast<std::uint16_t>(lo | hi << 8);
  }

  std::uint32_t U32() {
    const std::uint32_t lo = U16();
    const std::uint32_t hi = U16();
    return lo | hi << 16;
  }

  std::int32_t I32() {
    const std::uint32_t u = U32();
    std::int32_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
  }

  // Small values most of the time so points meet the rectangle and each
  // other; full 32-bit values to reach the wrap-around paths.
  std::int32_t Coord() {
    const std::uint8_t tag = U8();
    if ((tag & 3) == 0) return I32();
    return static_cast<std::int32_t>(static_cast<std::int16_t>(U16())) >> (tag >> 5);
  }

  // A double from a table of hostile values or from raw bits.
  double Double() {
    const std::uint8_t tag = U8();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double table[] = {0.0,
                            -0.0,
                            std::numeric_limits<double>::quiet_NaN(),
                            inf,
                            -inf,
                            std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::min(),
                            90.0 * 86400.0,   // north pole in 1/86400 degree
                            -90.0 * 86400.0,  // south pole
                            180.0 * 86400.0,
                            -180.0 * 86400.0,
                            1e300,
                            -1e-300,
                            2147483648.0};
    constexpr std::size_t tableSize = sizeof table / sizeof table[0];
    if (tag < tableSize) return table[tag];
    if (tag < 128) {
      // Ordinary map positions and metres, where most of the arithmetic runs.
      return static_cast<double>(I32()) / static_cast<double>((tag & 15) + 1);
    }
    const std::uint32_t lo = U32();
    const std::uint32_t hi = U32();
    const std::uint64_t bits = static_cast<std::uint64_t>(hi) << 32 | lo;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Reports a broken invariant the sanitizers cannot see: abort, which the
// fuzzer and the replay test both count as a failure.
[[noreturn]] void Fail(const char* what);

#define TARNUTIL_FUZZ_CHECK(cond)                         \
  do {                                                    \
    if (!(cond)) ::tarnutil::fuzz::Fail(#cond);           \
  } while (false)

}  // namespace fuzz
}  // namespace tarnutil

#endif  // TARNUTIL_FUZZ_FUZZ_INPUT_H
