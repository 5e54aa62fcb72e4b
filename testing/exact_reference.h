// Exact integers of any size, as an oracle for the library's wide
// arithmetic: sign and magnitude in 16-bit limbs, schoolbook operations.
// Slow and plain on purpose; it shares no code with util/exact.h.
#ifndef TARNUTIL_TESTING_EXACT_REFERENCE_H
#define TARNUTIL_TESTING_EXACT_REFERENCE_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnutil {
namespace testing {

class BigInt {
 public:
  BigInt(std::int64_t v = 0) : negative_(v < 0) {  // NOLINT: converts like an integer
    std::uint64_t m = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    for (; m != 0; m >>= 16) limbs_.push_back(static_cast<std::uint32_t>(m & 0xFFFFu));
  }

  int Sign() const { return limbs_.empty() ? 0 : (negative_ ? -1 : 1); }

  friend BigInt operator-(BigInt a) {
    a.negative_ = !a.negative_ && !a.limbs_.empty();
    return a;
  }
  friend BigInt operator+(const BigInt& a, const BigInt& b) {
    if (a.negative_ == b.negative_) return Make(a.negative_, AddMag(a.limbs_, b.limbs_));
    if (CompareMag(a.limbs_, b.limbs_) >= 0) return Make(a.negative_, SubMag(a.limbs_, b.limbs_));
    return Make(b.negative_, SubMag(b.limbs_, a.limbs_));
  }
  friend BigInt operator-(const BigInt& a, const BigInt& b) { return a + (-b); }
  friend BigInt operator*(const BigInt& a, const BigInt& b) {
    std::vector<std::uint64_t> acc(a.limbs_.size() + b.limbs_.size() + 1, 0);
    for (std::size_t i = 0; i < a.limbs_.size(); ++i) {
      for (std::size_t j = 0; j < b.limbs_.size(); ++j) {
        acc[i + j] += static_cast<std::uint64_t>(a.limbs_[i]) * b.limbs_[j];
        for (std::size_t k = i + j; acc[k] > 0xFFFFu; ++k) {
          acc[k + 1] += acc[k] >> 16;
          acc[k] &= 0xFFFFu;
        }
      }
    }
    std::vector<std::uint32_t> m(acc.begin(), acc.end());
    return Make(a.negative_ != b.negative_, m);
  }
  // Quotient truncated toward zero; |d| below 2^47 and not 0.
  friend BigInt operator/(const BigInt& a, std::int64_t d) {
    const std::uint64_t dm =
        d < 0 ? 0 - static_cast<std::uint64_t>(d) : static_cast<std::uint64_t>(d);
    std::vector<std::uint32_t> q(a.limbs_.size(), 0);
    std::uint64_t rem = 0;
    for (std::size_t i = a.limbs_.size(); i-- > 0;) {
      rem = (rem << 16) | a.limbs_[i];
      q[i] = static_cast<std::uint32_t>(rem / dm);
      rem %= dm;
    }
    return Make(a.negative_ != (d < 0), q);
  }
  friend bool operator<(const BigInt& a, const BigInt& b) { return (a - b).Sign() < 0; }
  friend bool operator>(const BigInt& a, const BigInt& b) { return (a - b).Sign() > 0; }
  friend bool operator==(const BigInt& a, const BigInt& b) { return (a - b).Sign() == 0; }

  // The value, which the caller knows to fit in 64 bits.
  std::int64_t ToInt64() const {
    std::uint64_t m = 0;
    for (std::size_t i = limbs_.size(); i-- > 0;) m = (m << 16) | limbs_[i];
    return negative_ ? static_cast<std::int64_t>(0 - m) : static_cast<std::int64_t>(m);
  }
  // The double nearest to the value (ties to even): its top 64 bits, with
  // any lower bit set folded into the lowest as a sticky bit, rounded once.
  double ToDouble() const {
    const std::size_t bits = limbs_.size() * 16;
    std::size_t length = bits;
    while (length > 0 && !Bit(length - 1)) --length;
    const std::size_t low = length > 64 ? length - 64 : 0;
    std::uint64_t top = 0;
    for (std::size_t i = length; i-- > low;) top = (top << 1) | (Bit(i) ? 1u : 0u);
    bool sticky = false;
    for (std::size_t i = 0; i < low; ++i) sticky = sticky || Bit(i);
    double d = static_cast<double>(top | (sticky ? 1u : 0u));
    for (std::size_t i = 0; i < low; ++i) d *= 2.0;
    return negative_ ? -d : d;
  }

 private:
  bool Bit(std::size_t i) const { return ((limbs_[i / 16] >> (i % 16)) & 1u) != 0; }

  static BigInt Make(bool negative, std::vector<std::uint32_t> m) {
    while (!m.empty() && m.back() == 0) m.pop_back();
    BigInt r;
    r.negative_ = negative && !m.empty();
    r.limbs_ = m;
    return r;
  }
  static int CompareMag(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = a.size(); i-- > 0;) {
      if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
  }
  static std::vector<std::uint32_t> AddMag(const std::vector<std::uint32_t>& a,
                                           const std::vector<std::uint32_t>& b) {
    std::vector<std::uint32_t> r(std::max(a.size(), b.size()) + 1, 0);
    std::uint32_t carry = 0;
    for (std::size_t i = 0; i + 1 < r.size(); ++i) {
      const std::uint32_t s = (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0) + carry;
      r[i] = s & 0xFFFFu;
      carry = s >> 16;
    }
    r.back() = carry;
    return r;
  }
  // a - b for |a| >= |b|.
  static std::vector<std::uint32_t> SubMag(const std::vector<std::uint32_t>& a,
                                           const std::vector<std::uint32_t>& b) {
    std::vector<std::uint32_t> r(a.size(), 0);
    std::uint32_t borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
      const std::uint32_t sub = (i < b.size() ? b[i] : 0) + borrow;
      borrow = a[i] < sub ? 1 : 0;
      r[i] = (a[i] + (borrow << 16) - sub) & 0xFFFFu;
    }
    return r;
  }

  bool negative_ = false;
  std::vector<std::uint32_t> limbs_;
};

}  // namespace testing
}  // namespace tarnutil

#endif  // TARNUTIL_TESTING_EXACT_REFERENCE_H
