// Block transfers of the software graphics layer. A transfer works in the
// destination's format: each source pixel is converted first (color to
// monochrome by the source DC's background color, monochrome to color by
// the destination DC's background and text colors), then stretched, then
// combined with the destination by the raster operation. Stretching samples
// as GDI's default stretch mode does on memory DCs, so that drawings match
// the Windows build pixel for pixel: enlarging repeats source pixels,
// shrinking ANDs together the source pixels that meet in one destination
// pixel (black wins on white).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/platform.h"
#include "platform/posix/graphics_internal.h"

namespace tarnutil {
namespace detail {

AxisRun StretchRun(std::int64_t srcLength, std::int64_t dstLength, std::int64_t index) {
  // Lengths below 2^31 keep every product below 2^63.
  const std::uint64_t src = static_cast<std::uint64_t>(srcLength);
  const std::uint64_t dst = static_cast<std::uint64_t>(dstLength);
  const std::uint64_t at = static_cast<std::uint64_t>(index);
  if (src <= dst) {
    // The source pixel holding the centre (at + 1/2) * src / dst; a centre on
    // a border belongs to the pixel before it.
    const std::int64_t source = static_cast<std::int64_t>(((2 * at + 1) * src - 1) / (2 * dst));
    return {source, source + 1};
  }
  // The source pixels whose centres fall in [at, at + 1) * dst / src scaled
  // back: the first centre past the border, up to the next border.
  return {static_cast<std::int64_t>((2 * src * at + dst) / (2 * dst)),
          static_cast<std::int64_t>((2 * src * (at + 1) + dst) / (2 * dst))};
}

namespace {

// Turns raw source pixels into raw destination pixels.
class PixelConverter {
 public:
  PixelConverter(const HDC__& src, const HDC__& dst)
      : srcBits_(src.bitmap->bitCount),
        dstBits_(dst.bitmap->bitCount),
        srcBackground_(RgbToRaw(srcBits_, ColorToRgb(src.bkColor))),
        dstBackground_(RgbToRaw(dstBits_, ColorToRgb(dst.bkColor))),
        dstText_(RgbToRaw(dstBits_, ColorToRgb(dst.textColor))) {}

  std::uint32_t operator()(std::uint32_t raw) const {
    if (srcBits_ == dstBits_) return raw;
    if (srcBits_ == monoBits) return raw != 0 ? dstBackground_ : dstText_;
    // Compared in the source's own format, so a 16-bit source matches the
    // background color reduced to 16 bits.
    if (dstBits_ == monoBits) return raw == srcBackground_ ? 1u : 0u;
    return RgbToRaw(dstBits_, RawToRgb(srcBits_, raw));
  }

 private:
  int srcBits_;
  int dstBits_;
  std::uint32_t srcBackground_;
  std::uint32_t dstBackground_;
  std::uint32_t dstText_;
};

// A copy of a bitmap's pixels in a block of its own; empty (null topRow)
// when memory cannot be had.
struct BitmapCopy {
  HBITMAP__ bitmap;
  explicit BitmapCopy(const HBITMAP__& original) : bitmap(original) {
    const std::size_t bytesPerPixel =
        original.bitCount == monoBits ? 1 : static_cast<std::size_t>(original.bitCount / 8);
    const std::size_t rowBytes = static_cast<std::size_t>(original.width) * bytesPerPixel;
    bitmap.topRow = static_cast<unsigned char*>(
        std::malloc(rowBytes * static_cast<std::size_t>(original.height)));
    bitmap.rowStep = static_cast<std::ptrdiff_t>(rowBytes);
    if (bitmap.topRow == nullptr) return;
    for (int y = 0; y < original.height; ++y) {
      std::memcpy(bitmap.topRow + static_cast<std::ptrdiff_t>(y) * bitmap.rowStep,
                  original.topRow + static_cast<std::ptrdiff_t>(y) * original.rowStep, rowBytes);
    }
  }
  ~BitmapCopy() { std::free(bitmap.topRow); }
  BitmapCopy(const BitmapCopy&) = delete;
  BitmapCopy& operator=(const BitmapCopy&) = delete;
};

// Clips a run of source indices, offset by origin, to [0, limit).
AxisRun SourceRun(std::int64_t srcLength, std::int64_t dstLength, std::int64_t index,
                  std::int64_t origin, std::int64_t limit) {
  AxisRun run = StretchRun(srcLength, dstLength, index);
  run.first = std::max<std::int64_t>(run.first + origin, 0);
  run.last = std::min<std::int64_t>(run.last + origin, limit);
  return run;
}

int Transfer(HDC__* dstDc, int x, int y, int width, int height, HDC__* srcDc, int srcX, int srcY,
             int srcWidth, int srcHeight, std::uint32_t rop) {
  const HDC__* dst = AsDc(dstDc);
  const HDC__* src = AsDc(srcDc);
  if (dst == nullptr || src == nullptr) return 0;
  if (rop != platform::ropSourceCopy && rop != platform::ropSourceAnd &&
      rop != platform::ropSourcePaint) {
    return 0;
  }
  if (width < 1 || height < 1 || srcWidth < 1 || srcHeight < 1) return 0;
  // GDI leaves out the last source column (row) when it shrinks onto a
  // destination one pixel wide (high).
  if (width == 1 && srcWidth > 1) --srcWidth;
  if (height == 1 && srcHeight > 1) --srcHeight;

  HBITMAP__& target = *dst->bitmap;
  if (target.stock) return 1;
  // Within one bitmap, read a copy, so that no pixel is read after it was
  // written.
  const bool sameBitmap = src->bitmap == &target;
  BitmapCopy* copy = nullptr;
  if (sameBitmap) {
    copy = new (std::nothrow) BitmapCopy(target);
    if (copy == nullptr || copy->bitmap.topRow == nullptr) {
      delete copy;
      return 0;
    }
  }
  const HBITMAP__& source = sameBitmap ? copy->bitmap : *src->bitmap;
  const PixelConverter convert(*src, *dst);

  // In 64 bits: x + width may pass 2^31.
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + width, target.width);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + height, target.height);
  for (std::int64_t row = top; row < bottom; ++row) {
    const AxisRun rows = SourceRun(srcHeight, height, row - y, srcY, source.height);
    if (rows.first >= rows.last) continue;
    for (std::int64_t column = left; column < right; ++column) {
      const AxisRun columns = SourceRun(srcWidth, width, column - x, srcX, source.width);
      if (columns.first >= columns.last) continue;
      std::uint32_t value = 0xFFFFFFFFu;
      for (std::int64_t sy = rows.first; sy < rows.last; ++sy) {
        for (std::int64_t sx = columns.first; sx < columns.last; ++sx) {
          value &= convert(ReadRaw(source, static_cast<int>(sx), static_cast<int>(sy)));
        }
      }
      const int tx = static_cast<int>(column);
      const int ty = static_cast<int>(row);
      if (rop == platform::ropSourceAnd) {
        value &= ReadRaw(target, tx, ty);
      } else if (rop == platform::ropSourcePaint) {
        value |= ReadRaw(target, tx, ty);
      }
      WriteRaw(target, tx, ty, value);
    }
  }
  delete copy;
  return 1;
}

}  // namespace
}  // namespace detail
}  // namespace tarnutil

int BitBlt(HDC__* dst, int x, int y, int width, int height, HDC__* src, int srcX, int srcY,
           std::uint32_t rop) {
  return tarnutil::detail::Transfer(dst, x, y, width, height, src, srcX, srcY, width, height, rop);
}

int StretchBlt(HDC__* dst, int x, int y, int width, int height, HDC__* src, int srcX, int srcY,
               int srcWidth, int srcHeight, std::uint32_t rop) {
  return tarnutil::detail::Transfer(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight,
                                    rop);
}
