#include "fuzz/dib_sweep.h"

#include <cstdint>

#include "fuzz/fuzz_input.h"

namespace tarnutil {
namespace fuzz {

namespace {

constexpr std::uint32_t outside = 0xFFFFFFFFu;
constexpr std::int64_t fullSweepPixels = 1 << 20;
// Rows or columns visited per side when the bitmap is too large to sweep.
constexpr std::int64_t sampledLines = 512;
// Run-length pixels are served by no pixel call, whatever the position, and
// a few bytes of them may claim billions of pixels: a small sample does.
constexpr std::int64_t compressedSweepPixels = 1 << 12;
constexpr std::int64_t compressedSampledLines = 16;

}  // namespace

void SweepPixels(CDIB& dib, bool packedWhole) {
  const int width = dib.GetWidth();
  const int height = dib.GetHeight();
  if (width <= 0 || height <= 0) return;
  const int compressed = dib.IsCompressed();
  TARNUTIL_FUZZ_CHECK(compressed == 0 || compressed == 1);
  if (packedWhole) {
    // Made once and kept: a second call hands out the same brush, and the
    // object deletes it on release.
    HBRUSH__* const brush = dib.GetDIBPatternBrush(0);
    TARNUTIL_FUZZ_CHECK(dib.GetDIBPatternBrush(0) == brush);
  }
  const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
  const std::int64_t full = compressed == 1 ? compressedSweepPixels : fullSweepPixels;
  const std::int64_t lines = compressed == 1 ? compressedSampledLines : sampledLines;
  const int xStep = pixels <= full || width <= lines ? 1 : static_cast<int>(width / lines);
  const int yStep = pixels <= full || height <= lines ? 1 : static_cast<int>(height / lines);
  for (int y = 0; y < height; y += yStep) {
    for (int x = 0; x < width; x += xStep) {
      const std::uint32_t index = dib.GetPixelIndex(x, y);
      const std::uint32_t rgb = dib.GetRGBValue(x, y);
      TARNUTIL_FUZZ_CHECK(index != outside && rgb != outside);
      const int written = dib.SetPixelIndex(x, y, index);
      TARNUTIL_FUZZ_CHECK(written == 0 || written == 1);
      // A layout no write serves is one no read serves either.
      if (written == 0) TARNUTIL_FUZZ_CHECK(index == 0 && rgb == 0);
    }
  }
  const int xs[] = {-1, 0, width - 1, width, -2147483647 - 1, 2147483647};
  const int ys[] = {-1, 0, height - 1, height, -2147483647 - 1, 2147483647};
  for (const int x : xs) {
    for (const int y : ys) {
      if (x >= 0 && x < width && y >= 0 && y < height) continue;
      TARNUTIL_FUZZ_CHECK(dib.GetPixelIndex(x, y) == outside);
      TARNUTIL_FUZZ_CHECK(dib.SetPixelIndex(x, y, 0) == 0);
      (void)dib.GetRGBValue(x, y);
    }
  }
}

}  // namespace fuzz
}  // namespace tarnutil
