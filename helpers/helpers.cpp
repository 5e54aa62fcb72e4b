// Hexadecimal text, narrow-to-wide text, file existence, stream handles and
// the GPS layer's last-error slot, all through the platform seam.
#include <tarnutil/tarnutil.h>

#include <atomic>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace {

// Positions (from the last character) whose terms can be non-zero modulo
// 2^32: 16^8 is 2^32, so every term further left is a multiple of it.
constexpr std::size_t hexTermPositions = 8;

// 16^i for i from 0 to 7, each exact in a double: the terms digit * 16^i
// come out exactly as 16.0 raised to i gives them, without depending on
// how a maths library rounds pow.
constexpr double sixteenPowers[hexTermPositions] = {1.0,     16.0,      256.0,      4096.0,
                                                    65536.0, 1048576.0, 16777216.0, 268435456.0};

// The GPS layer's last error, 0 at load. Any thread may set or read it and
// the last writer wins: a relaxed atomic says exactly that, with the plain
// loads and stores of one word.
std::atomic<std::uint32_t> gpsLastError{0};

// Value of one hexadecimal digit; every other byte, 0x80 and above
// included, gives 0.
std::uint32_t HexDigitValue(unsigned char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<std::uint32_t>(c - 'a' + 10);
  return 0;
}

}  // namespace

std::uint32_t StrHextoDeci(const char* text) {
  if (text == nullptr) return 0;
  const std::size_t length = std::strlen(text);
  // Terms further left than hexTermPositions are 0 modulo 2^32, so only the
  // last characters count, however long the text.
  const std::size_t positions = length < hexTermPositions ? length : hexTermPositions;
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < positions; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[length - 1 - i]);
    const double term = static_cast<double>(HexDigitValue(c)) * sixteenPowers[i];
    // At most 15 * 16^7, below 2^32: the conversion is exact.
    sum += static_cast<std::uint32_t>(term);
  }
  return sum;
}

void AssicToUnicode(const char* text, wchar_t*& out) {
  if (text == nullptr) return;
  const int needed = tarnutil::platform::NarrowToWide(text, nullptr, 0);
  // A text the conversion refuses still gets room for one terminator, so
  // the caller always receives an empty text rather than an empty block.
  const std::size_t chars = needed > 0 ? static_cast<std::size_t>(needed) : 1;
  if (chars > SIZE_MAX / sizeof(wchar_t)) {
    out = nullptr;
    return;
  }
  const std::size_t bytes = chars * sizeof(wchar_t);
  // The runtime heap is the C runtime's malloc, so the caller's free() fits.
  out = static_cast<wchar_t*>(tarnutil::platform::HeapAllocate(bytes));
  if (out == nullptr) return;
  std::memset(out, 0, bytes);
  if (needed > 0) tarnutil::platform::NarrowToWide(text, out, needed);
}

int GetStatus(wchar_t* path, _WIN32_FIND_DATAW& data) {
  const tarnutil::platform::FindHandle search = tarnutil::platform::FindFirst(path, &data);
  if (search == tarnutil::platform::FindInvalid()) return 0;
  tarnutil::platform::FindEnd(search);
  return 1;
}

void* GetFileHandle(void* stream) {
  if (stream == nullptr) return nullptr;
  return tarnutil::platform::StreamOsHandle(stream);
}

void GPS_SetLastError(std::uint32_t code) {
  gpsLastError.store(code, std::memory_order_relaxed);
}

std::uint32_t GPS_GetLastError() {
  return gpsLastError.load(std::memory_order_relaxed);
}
