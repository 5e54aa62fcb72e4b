// Objects of the software graphics layer, shared by its source files and
// its tests. Nothing here is exported.
#ifndef TARNUTIL_PLATFORM_POSIX_GRAPHICS_INTERNAL_H
#define TARNUTIL_PLATFORM_POSIX_GRAPHICS_INTERNAL_H

#include <cstddef>
#include <cstdint>

#include "platform/platform_types.h"

namespace tarnutil {
namespace detail {

// First member of every object, so that an untyped handle can be asked what
// it is. A deleted object's tag is cleared.
struct GdiTag {
  std::uint32_t value;
};

// Arbitrary distinct values, unlikely to sit at the start of other memory.
constexpr std::uint32_t dcTag = 0x7A11DC01u;
constexpr std::uint32_t bitmapTag = 0x7A11B302u;
constexpr std::uint32_t brushTag = 0x7A11B403u;

// Stored pixel formats, named by bits per pixel. Monochrome pixels take one
// byte each (0 or 1); 16-bit pixels are 5-6-5 little-endian words; 24-bit
// pixels are the bytes blue, green, red; 32-bit pixels are blue, green, red
// and a fourth byte that is never read and never written.
constexpr int monoBits = 1;

}  // namespace detail
}  // namespace tarnutil

struct HBITMAP__ {
  tarnutil::detail::GdiTag tag;
  int width;
  int height;
  int bitCount;
  // First byte of the top row, and the signed byte distance to the row below.
  unsigned char* topRow;
  std::ptrdiff_t rowStep;
  bool ownsPixels;
  // The shared initial bitmap of every DC: one black pixel that ignores
  // writes, so that DCs on different threads never write shared memory.
  bool stock;
  HDC__* selectedIn;
};

struct HBRUSH__ {
  tarnutil::detail::GdiTag tag;
  // Copy of the packed bitmap; null for the stock brush.
  unsigned char* packedDib;
  std::uint32_t bytes;
  unsigned int usage;
  // Number of DCs that have the brush selected.
  std::uint32_t selections;
  bool stock;
};

struct HDC__ {
  tarnutil::detail::GdiTag tag;
  HBITMAP__* bitmap;
  HBRUSH__* brush;
  std::uint32_t bkColor;
  std::uint32_t textColor;
};

namespace tarnutil {
namespace detail {

// The object behind a handle when its tag says it is one, else null.
HDC__* AsDc(void* handle);
HBITMAP__* AsBitmap(void* handle);
HBRUSH__* AsBrush(void* handle);

// Raw pixel value in the bitmap's own format: 0 or 1 (monochrome), the
// 5-6-5 word (16 bits), or 0x00RRGGBB (24 and 32 bits). (x, y) must lie in
// the bitmap; writes to the stock bitmap are dropped.
std::uint32_t ReadRaw(const HBITMAP__& bitmap, int x, int y);
void WriteRaw(HBITMAP__& bitmap, int x, int y, std::uint32_t raw);

// 0x00RRGGBB of a raw value of the given format; monochrome 1 is white.
std::uint32_t RawToRgb(int bitCount, std::uint32_t raw);

// Raw value of 0x00RRGGBB in a format: 16 bits keep the top five, six and
// five bits of red, green and blue; monochrome takes the nearer of black and
// white (block transfers convert to monochrome by the background color
// instead).
std::uint32_t RgbToRaw(int bitCount, std::uint32_t rgb);

// 0x00RRGGBB of a color value (red + green * 256 + blue * 65536; the top
// byte is ignored), and back.
std::uint32_t ColorToRgb(std::uint32_t color);
std::uint32_t RgbToColor(std::uint32_t rgb);

// Range [first, last) along one axis of the source pixels that make
// destination pixel index of a stretch from srcLength to dstLength pixels
// (both at least 1). Each pixel of the longer side goes to the pixel of the
// shorter side that holds its centre, a centre on a border to the lower one.
struct AxisRun {
  std::int64_t first;
  std::int64_t last;
};
AxisRun StretchRun(std::int64_t srcLength, std::int64_t dstLength, std::int64_t index);

// Bytes of the packed bitmap at packedDib (header, masks, color table of
// the usage's entries, pixels), or 0 when its header is not one a pattern
// brush can be made from.
std::uint32_t PackedDibBytes(const void* packedDib, unsigned int usage);

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_PLATFORM_POSIX_GRAPHICS_INTERNAL_H
