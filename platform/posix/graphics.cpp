// Software graphics, POSIX back end: memory device contexts, bitmaps and
// pattern brushes under the Windows names and meanings, and the seam's
// graphics service over them. Block transfers are in graphics_blit.cpp.
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "dibformat/dib_format.h"
#include "platform/platform.h"
#include "platform/posix/graphics_internal.h"

namespace tarnutil {
namespace detail {
namespace {

// Default background and text colors of a new DC.
constexpr std::uint32_t white = 0xFFFFFFu;
constexpr std::uint32_t black = 0x000000u;
// What the color calls give for a bad DC or a pixel outside the bitmap.
constexpr std::uint32_t invalidColor = 0xFFFFFFFFu;
// Larger pixel blocks are refused rather than attempted, as GDI refuses them.
constexpr std::uint64_t maxPixelBytes = 0x7FFFFFFFu;

// The initial bitmap and brush of every DC; never written (see HBITMAP__).
unsigned char stockPixel = 0;
HBITMAP__ stockBitmap{{bitmapTag}, 1, 1, monoBits, &stockPixel, 1, false, true, nullptr};
HBRUSH__ stockBrush{{brushTag}, nullptr, 0, 0, 0, true};

int BytesPerPixel(int bitCount) {
  return bitCount == monoBits ? 1 : bitCount / 8;
}

// Byte offset of pixel (x, y) from the top row's first byte; the bitmap's
// checks at creation keep it within a pointer offset.
std::ptrdiff_t PixelOffset(const HBITMAP__& bitmap, int x, int y) {
  return static_cast<std::ptrdiff_t>(y) * bitmap.rowStep +
         static_cast<std::ptrdiff_t>(x) * BytesPerPixel(bitmap.bitCount);
}

// Bitmap owning zeroed (black) pixels; null for a size below 1 or when the
// pixels cannot be had.
HBITMAP__* NewOwnedBitmap(int width, int height, int bitCount) {
  if (width < 1 || height < 1) return nullptr;
  const std::uint64_t rowBytes =
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(BytesPerPixel(bitCount));
  const std::uint64_t totalBytes = rowBytes * static_cast<std::uint64_t>(height);
  if (totalBytes > maxPixelBytes) return nullptr;
  void* pixels = std::calloc(static_cast<std::size_t>(totalBytes), 1);
  if (pixels == nullptr) return nullptr;
  HBITMAP__* bitmap = new (std::nothrow) HBITMAP__{{bitmapTag},
                                                   width,
                                                   height,
                                                   bitCount,
                                                   static_cast<unsigned char*>(pixels),
                                                   static_cast<std::ptrdiff_t>(rowBytes),
                                                   true,
                                                   false,
                                                   nullptr};
  if (bitmap == nullptr) std::free(pixels);
  return bitmap;
}

}  // namespace

HDC__* AsDc(void* handle) {
  if (handle == nullptr || static_cast<GdiTag*>(handle)->value != dcTag) return nullptr;
  return static_cast<HDC__*>(handle);
}

HBITMAP__* AsBitmap(void* handle) {
  if (handle == nullptr || static_cast<GdiTag*>(handle)->value != bitmapTag) return nullptr;
  return static_cast<HBITMAP__*>(handle);
}

HBRUSH__* AsBrush(void* handle) {
  if (handle == nullptr || static_cast<GdiTag*>(handle)->value != brushTag) return nullptr;
  return static_cast<HBRUSH__*>(handle);
}

std::uint32_t ReadRaw(const HBITMAP__& bitmap, int x, int y) {
  const unsigned char* pixel = bitmap.topRow + PixelOffset(bitmap, x, y);
  switch (bitmap.bitCount) {
    case monoBits:
      return pixel[0];
    case 16:
      return LoadLe16(pixel);
    default:
      return LoadLe16(pixel) | static_cast<std::uint32_t>(pixel[2]) << 16;
  }
}

void WriteRaw(HBITMAP__& bitmap, int x, int y, std::uint32_t raw) {
  if (bitmap.stock) return;
  unsigned char* pixel = bitmap.topRow + PixelOffset(bitmap, x, y);
  pixel[0] = static_cast<unsigned char>(raw & 0xFFu);
  if (bitmap.bitCount == monoBits) return;
  pixel[1] = static_cast<unsigned char>(raw >> 8 & 0xFFu);
  if (bitmap.bitCount == 16) return;
  pixel[2] = static_cast<unsigned char>(raw >> 16 & 0xFFu);
}

std::uint32_t RawToRgb(int bitCount, std::uint32_t raw) {
  if (bitCount == monoBits) return raw != 0 ? white : black;
  if (bitCount != 16) return raw & 0xFFFFFFu;
  // 5 and 6 bits widen to 8 by repeating their top bits below them, so that
  // full intensity stays full: 0x1F gives 0xFF, 0x10 gives 0x84.
  const std::uint32_t red5 = raw >> 11 & 0x1Fu;
  const std::uint32_t green6 = raw >> 5 & 0x3Fu;
  const std::uint32_t blue5 = raw & 0x1Fu;
  const std::uint32_t red = red5 << 3 | red5 >> 2;
  const std::uint32_t green = green6 << 2 | green6 >> 4;
  const std::uint32_t blue = blue5 << 3 | blue5 >> 2;
  return red << 16 | green << 8 | blue;
}

std::uint32_t RgbToRaw(int bitCount, std::uint32_t rgb) {
  const std::uint32_t red = rgb >> 16 & 0xFFu;
  const std::uint32_t green = rgb >> 8 & 0xFFu;
  const std::uint32_t blue = rgb & 0xFFu;
  if (bitCount == monoBits) {
    const std::uint32_t toBlack = red * red + green * green + blue * blue;
    const std::uint32_t toWhite =
        (255 - red) * (255 - red) + (255 - green) * (255 - green) + (255 - blue) * (255 - blue);
    return toWhite < toBlack ? 1u : 0u;
  }
  if (bitCount == 16) return (red >> 3) << 11 | (green >> 2) << 5 | blue >> 3;
  return rgb & 0xFFFFFFu;
}

std::uint32_t ColorToRgb(std::uint32_t color) {
  return (color & 0xFFu) << 16 | (color & 0xFF00u) | (color >> 16 & 0xFFu);
}

std::uint32_t RgbToColor(std::uint32_t rgb) {
  return ColorToRgb(rgb);
}

std::uint32_t PackedDibBytes(const void* packedDib, unsigned int usage) {
  // Color-table usages: 4-byte colors (3-byte with the 12-byte header) or
  // 2-byte palette indices.
  constexpr unsigned int usageRgbColors = 0;
  constexpr unsigned int usagePaletteIndices = 1;
  constexpr std::uint64_t paletteIndexBytes = 2;

  if (packedDib == nullptr) return 0;
  if (usage != usageRgbColors && usage != usagePaletteIndices) return 0;
  const unsigned char* bytes = static_cast<const unsigned char*>(packedDib);
  DibLayout layout;
  if (ParseDibHeader(bytes, &layout) != DibLayoutStatus::ok) return 0;
  if (layout.width < 1 || layout.planes != 1 || layout.format == dibFormatNone) return 0;

  // A table longer than the bit count can index is read no further.
  std::uint64_t colors = static_cast<std::uint32_t>(layout.colorsUsed);
  if (layout.bitCount <= 8) {
    const std::uint64_t full = std::uint64_t{1} << layout.bitCount;
    if (colors == 0 || colors > full) colors = full;
  }
  const std::uint64_t entryBytes =
      usage == usagePaletteIndices ? paletteIndexBytes : layout.colorEntryBytes;

  // Run-length data has no size of its own but the one the header states.
  const std::uint32_t compression = layout.compression;
  const std::int32_t bitCount = layout.bitCount;
  const bool rows = compression == compressionNone ||
                    (compression == compressionBitFields && (bitCount == 16 || bitCount == 32));
  const bool runLength = (compression == compressionRle8 && bitCount == 8) ||
                         (compression == compressionRle4 && bitCount == 4);
  if ((!rows && !runLength) || layout.pixelSpan <= 0) return 0;
  const std::uint64_t pixelBytes = static_cast<std::uint64_t>(layout.pixelSpan);
  // Each part below 2^31 keeps the sum from wrapping.
  if (pixelBytes > maxPixelBytes) return 0;
  const std::uint64_t total = static_cast<std::uint64_t>(layout.colorOffset) +
                              colors * entryBytes + pixelBytes;
  if (total > maxPixelBytes) return 0;
  return static_cast<std::uint32_t>(total);
}

}  // namespace detail
}  // namespace tarnutil

using tarnutil::detail::AsBitmap;
using tarnutil::detail::AsBrush;
using tarnutil::detail::AsDc;

HDC__* CreateCompatibleDC(HDC__* dc) {
  if (dc != nullptr && AsDc(dc) == nullptr) return nullptr;
  return new (std::nothrow) HDC__{{tarnutil::detail::dcTag},
                                  &tarnutil::detail::stockBitmap,
                                  &tarnutil::detail::stockBrush,
                                  tarnutil::detail::white,
                                  tarnutil::detail::black};
}

HBITMAP__* CreateCompatibleBitmap(HDC__* dc, int width, int height) {
  // The screen is 32-bit color; a memory DC lends the format of its bitmap,
  // so one still holding its initial bitmap gives a monochrome one.
  int bitCount = 32;
  if (dc != nullptr) {
    const HDC__* owner = AsDc(dc);
    if (owner == nullptr) return nullptr;
    bitCount = owner->bitmap->bitCount;
  }
  return tarnutil::detail::NewOwnedBitmap(width, height, bitCount);
}

HBITMAP__* CreateBitmap(int width, int height, unsigned int planes, unsigned int bitCount,
                        const void* bits) {
  if (planes != 1 || (bitCount != 1 && bitCount != 32)) return nullptr;
  HBITMAP__* bitmap = tarnutil::detail::NewOwnedBitmap(width, height, static_cast<int>(bitCount));
  if (bitmap == nullptr || bits == nullptr) return bitmap;
  const unsigned char* row = static_cast<const unsigned char*>(bits);
  // Rows come padded to 16 bits (one bit per pixel, the leftmost in the top
  // bit, 1 white) or as 32-bit pixels blue, green, red, unused.
  const std::size_t rowBytes = bitCount == 1 ? (static_cast<std::size_t>(width) + 15) / 16 * 2
                                             : static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y, row += rowBytes) {
    for (int x = 0; x < width; ++x) {
      const std::size_t at = static_cast<std::size_t>(x);
      const std::uint32_t raw = bitCount == 1
                                    ? (row[at / 8] >> (7 - at % 8) & 1u)
                                    : tarnutil::detail::LoadLe16(row + 4 * at) |
                                          static_cast<std::uint32_t>(row[4 * at + 2]) << 16;
      tarnutil::detail::WriteRaw(*bitmap, x, y, raw);
    }
  }
  return bitmap;
}

HBITMAP__* CreateBitmapOverPixels(int width, int height, int bitCount, void* topRow, int rowStep) {
  if (width < 1 || height < 1 || topRow == nullptr) return nullptr;
  if (bitCount != 16 && bitCount != 24 && bitCount != 32) return nullptr;
  // Rows may not overlap, and every pixel address must fit a pointer offset.
  const std::uint64_t rowBytes =
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitCount / 8);
  const std::uint64_t step =
      rowStep < 0 ? 0u - static_cast<std::uint64_t>(static_cast<std::int64_t>(rowStep))
                  : static_cast<std::uint64_t>(rowStep);
  if (step < rowBytes) return nullptr;
  const std::uint64_t span = step * static_cast<std::uint64_t>(height - 1) + rowBytes;
  if (span > static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
    return nullptr;
  }
  return new (std::nothrow) HBITMAP__{{tarnutil::detail::bitmapTag},
                                      width,
                                      height,
                                      bitCount,
                                      static_cast<unsigned char*>(topRow),
                                      rowStep,
                                      false,
                                      false,
                                      nullptr};
}

void* SelectObject(HDC__* dc, void* object) {
  HDC__* owner = AsDc(dc);
  if (owner == nullptr) return nullptr;
  if (HBITMAP__* bitmap = AsBitmap(object)) {
    // A bitmap serves one DC at a time; the stock one serves them all.
    if (!bitmap->stock && bitmap->selectedIn != nullptr && bitmap->selectedIn != owner) {
      return nullptr;
    }
    HBITMAP__* previous = owner->bitmap;
    if (!previous->stock) previous->selectedIn = nullptr;
    if (!bitmap->stock) bitmap->selectedIn = owner;
    owner->bitmap = bitmap;
    return previous;
  }
  if (HBRUSH__* brush = AsBrush(object)) {
    HBRUSH__* previous = owner->brush;
    if (!previous->stock) --previous->selections;
    if (!brush->stock) ++brush->selections;
    owner->brush = brush;
    return previous;
  }
  return nullptr;
}

std::uint32_t SetBkColor(HDC__* dc, std::uint32_t color) {
  HDC__* owner = AsDc(dc);
  if (owner == nullptr) return tarnutil::detail::invalidColor;
  const std::uint32_t previous = owner->bkColor;
  owner->bkColor = color;
  return previous;
}

std::uint32_t SetTextColor(HDC__* dc, std::uint32_t color) {
  HDC__* owner = AsDc(dc);
  if (owner == nullptr) return tarnutil::detail::invalidColor;
  const std::uint32_t previous = owner->textColor;
  owner->textColor = color;
  return previous;
}

std::uint32_t GetBkColor(HDC__* dc) {
  const HDC__* owner = AsDc(dc);
  return owner == nullptr ? tarnutil::detail::invalidColor : owner->bkColor;
}

std::uint32_t GetTextColor(HDC__* dc) {
  const HDC__* owner = AsDc(dc);
  return owner == nullptr ? tarnutil::detail::invalidColor : owner->textColor;
}

std::uint32_t GetPixel(HDC__* dc, int x, int y) {
  const HDC__* owner = AsDc(dc);
  if (owner == nullptr) return tarnutil::detail::invalidColor;
  const HBITMAP__& bitmap = *owner->bitmap;
  if (x < 0 || y < 0 || x >= bitmap.width || y >= bitmap.height) {
    return tarnutil::detail::invalidColor;
  }
  const std::uint32_t raw = tarnutil::detail::ReadRaw(bitmap, x, y);
  return tarnutil::detail::RgbToColor(tarnutil::detail::RawToRgb(bitmap.bitCount, raw));
}

std::uint32_t SetPixel(HDC__* dc, int x, int y, std::uint32_t color) {
  HDC__* owner = AsDc(dc);
  if (owner == nullptr) return tarnutil::detail::invalidColor;
  HBITMAP__& bitmap = *owner->bitmap;
  if (bitmap.stock || x < 0 || y < 0 || x >= bitmap.width || y >= bitmap.height) {
    return tarnutil::detail::invalidColor;
  }
  const std::uint32_t rgb = tarnutil::detail::ColorToRgb(color);
  tarnutil::detail::WriteRaw(bitmap, x, y, tarnutil::detail::RgbToRaw(bitmap.bitCount, rgb));
  return GetPixel(dc, x, y);
}

int DeleteDC(HDC__* dc) {
  HDC__* owner = AsDc(dc);
  if (owner == nullptr) return 0;
  // The DC's bitmap and brush outlive it; they become free to delete.
  if (!owner->bitmap->stock) owner->bitmap->selectedIn = nullptr;
  if (!owner->brush->stock) --owner->brush->selections;
  owner->tag.value = 0;
  delete owner;
  return 1;
}

int DeleteObject(void* object) {
  if (HBITMAP__* bitmap = AsBitmap(object)) {
    if (bitmap->stock) return 1;
    if (bitmap->selectedIn != nullptr) return 0;
    if (bitmap->ownsPixels) std::free(bitmap->topRow);
    bitmap->tag.value = 0;
    delete bitmap;
    return 1;
  }
  if (HBRUSH__* brush = AsBrush(object)) {
    if (brush->stock) return 1;
    if (brush->selections != 0) return 0;
    std::free(brush->packedDib);
    brush->tag.value = 0;
    delete brush;
    return 1;
  }
  return 0;
}

HBRUSH__* CreateDIBPatternBrushPt(const void* packedDib, unsigned int usage) {
  const std::uint32_t bytes = tarnutil::detail::PackedDibBytes(packedDib, usage);
  if (bytes == 0) return nullptr;
  void* copy = std::malloc(bytes);
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, packedDib, bytes);
  HBRUSH__* brush = new (std::nothrow) HBRUSH__{
      {tarnutil::detail::brushTag}, static_cast<unsigned char*>(copy), bytes, usage, 0, false};
  if (brush == nullptr) std::free(copy);
  return brush;
}

namespace tarnutil {
namespace platform {

HBITMAP__* GfxCreateCompatibleBitmap(HDC__* dc, int width, int height) {
  return ::CreateCompatibleBitmap(dc, width, height);
}

HBITMAP__* GfxCreateBitmap(int width, int height, unsigned int planes, unsigned int bitCount,
                           const void* bits) {
  return ::CreateBitmap(width, height, planes, bitCount, bits);
}

HDC__* GfxCreateCompatibleDC(HDC__* dc) {
  return ::CreateCompatibleDC(dc);
}

void* GfxSelectObject(HDC__* dc, void* object) {
  return ::SelectObject(dc, object);
}

bool GfxBitBlt(HDC__* dst, int x, int y, int width, int height, HDC__* src, int srcX, int srcY,
               std::uint32_t rop) {
  return ::BitBlt(dst, x, y, width, height, src, srcX, srcY, rop) != 0;
}

bool GfxStretchBlt(HDC__* dst, int x, int y, int width, int height, HDC__* src, int srcX, int srcY,
                   int srcWidth, int srcHeight, std::uint32_t rop) {
  return ::StretchBlt(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop) != 0;
}

Color GfxSetBkColor(HDC__* dc, Color color) {
  return ::SetBkColor(dc, color);
}

Color GfxSetTextColor(HDC__* dc, Color color) {
  return ::SetTextColor(dc, color);
}

bool GfxDeleteDC(HDC__* dc) {
  return ::DeleteDC(dc) != 0;
}

bool GfxDeleteObject(void* object) {
  return ::DeleteObject(object) != 0;
}

HBRUSH__* GfxCreatePatternBrush(const void* packedDib, unsigned int usage) {
  return ::CreateDIBPatternBrushPt(packedDib, usage);
}

}  // namespace platform
}  // namespace tarnutil
