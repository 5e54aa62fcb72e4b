// Internals of the DIB wrapper: the layout of a packed bitmap worked out from
// its header, the checks a block read from a file must pass, and the test
// probe.
//
// Layout arithmetic is done in 64 bits and every value the object keeps in a
// 32-bit field must fit a signed 32-bit integer; a header whose row size,
// top-row offset, image size, depth or colour-table offset would not fit is
// refused instead of wrapping.
#ifndef TARNUTIL_BITMAP_DIB_H
#define TARNUTIL_BITMAP_DIB_H

#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>

namespace tarnutil {
namespace detail {

// Pixel-format codes of CDIB::m_format.
constexpr std::int32_t dibFormat1Bit = 0;
constexpr std::int32_t dibFormat2Bit = 1;
constexpr std::int32_t dibFormat4Bit = 2;
constexpr std::int32_t dibFormatRle4 = 3;
constexpr std::int32_t dibFormat8Bit = 4;
constexpr std::int32_t dibFormatRle8 = 5;
constexpr std::int32_t dibFormat555 = 6;
constexpr std::int32_t dibFormat565 = 7;
constexpr std::int32_t dibFormat24Bit = 8;
constexpr std::int32_t dibFormat888 = 9;
constexpr std::int32_t dibFormat32Bit = 10;
constexpr std::int32_t dibFormat16Masks = 11;
constexpr std::int32_t dibFormat32Masks = 12;
// After an attach that failed on its bit count: no pixel operation serves
// it, so the pixels of the new block are never read in an older layout.
constexpr std::int32_t dibFormatNone = -1;

// Byte counts fixed by the bitmap formats.
constexpr std::uint32_t bitmapFileHeaderBytes = 14;
constexpr std::uint32_t coreHeaderBytes = 12;
constexpr std::uint32_t infoHeaderBytes = 40;
// Red, green and blue masks after the 40-byte header under compression 3.
constexpr std::uint32_t colourMaskBytes = 12;
constexpr std::uint32_t coreColourBytes = 3;
constexpr std::uint32_t infoColourBytes = 4;

// Compression values of the 40-byte header.
constexpr std::uint32_t compressionNone = 0;
constexpr std::uint32_t compressionRle8 = 1;
constexpr std::uint32_t compressionRle4 = 2;
constexpr std::uint32_t compressionBitFields = 3;

// Why a header gives no layout.
enum class DibLayoutStatus {
  ok,
  badHeaderSize,  // neither 12 nor 40
  zeroHeight,     // no row exists
  overflow,       // a value would not fit its 32-bit field
};

// Where everything of a packed bitmap lies, as offsets from the header.
struct DibLayout {
  std::uint32_t headerBytes;
  std::int32_t width;
  std::int32_t headerHeight;  // as stored; negative for top-down rows
  std::int32_t height;        // number of rows
  std::int32_t planes;
  std::int32_t bitCount;
  std::int32_t depth;
  std::uint32_t compression;
  std::int32_t colorsUsed;
  std::int32_t colorsImportant;
  std::uint32_t colourEntryBytes;  // 3 or 4; 0 without a colour table
  std::int32_t colourOffset;       // valid when colourEntryBytes != 0
  bool hasMasks;                   // masks at infoHeaderBytes
  std::int32_t pixelOffset;        // where the pixels follow the table
  std::int32_t bps;
  std::int32_t rowStep;
  std::int32_t topRowOffset;  // from the first pixel byte
  std::int32_t imageSize;     // from the header, or computed when 0 there
  std::int32_t format;        // dibFormatNone for a bit count outside the set
};

// Reads a little-endian field of a block that may be unaligned.
std::uint16_t LoadLe16(const unsigned char* p);
std::uint32_t LoadLe32(const unsigned char* p);

// Works out the layout of the packed bitmap whose header starts at header.
// Reads the first 4 bytes, then 12 or 40 in all (52 with masks).
DibLayoutStatus ComputeDibLayout(const unsigned char* header, DibLayout* layout);

// True when a block of which the first readBytes bytes were read from a
// file can be attached safely: a 12- or 40-byte header that fits; width
// and height not 0; no negative width; a bit count of 1, 2, 4, 8, 16, 24 or
// 32; masks and colour table inside what was read; a format whose pixels
// are not wider than the bit count (bit-field masks on 1 to 8 or 24 bits
// can name a 16- or 32-bit layout); and every row of the row table inside
// the pixel data that was read. Run-length pixels are shorter than their
// rows, and no pixel operation reads them, so they only need to start
// inside what was read.
bool FileBlockIsSound(const unsigned char* block, std::uint32_t readBytes);

// The 5-6-5 reduction of a colour with red in bits 16-23, green 8-15 and
// blue 0-7: the top five bits of each, bit 5 clear.
constexpr std::uint32_t Reduce565(std::uint32_t colour) {
  return (((colour >> 16 & 0xFFu) >> 3) << 11) | (((colour >> 8 & 0xFFu) >> 3) << 6) |
         ((colour & 0xFFu) >> 3);
}

// Test access to the fields of a CDIB.
struct DibProbe {
  static std::int32_t Format(const CDIB& dib) { return dib.m_format; }
  static const unsigned char* CoreColors(const CDIB& dib) { return dib.m_coreColors; }
  static const tagRGBQUAD* Colors(const CDIB& dib) { return dib.m_colors; }
  static std::int32_t ColorsUsed(const CDIB& dib) { return dib.m_colorsUsed; }
  static std::int32_t ColorsImportant(const CDIB& dib) { return dib.m_colorsImportant; }
  static const std::uint32_t* Masks(const CDIB& dib) { return dib.m_masks; }
  static std::int32_t Planes(const CDIB& dib) { return dib.m_planes; }
  static std::int32_t BitCount(const CDIB& dib) { return dib.m_bitCount; }
  static std::int32_t ImageSize(const CDIB& dib) { return dib.m_imageSize; }
  static const unsigned char* TopRow(const CDIB& dib) { return dib.m_topRow; }
  static std::int32_t RowStep(const CDIB& dib) { return dib.m_rowStep; }
  static const HBRUSH__* Brush(const CDIB& dib) { return dib.m_brush; }
  static unsigned char* const* Rows(const CDIB& dib) { return dib.m_rows; }
};

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_BITMAP_DIB_H
