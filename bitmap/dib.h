// Internals of the DIB wrapper: the checks a block read from a file or a
// resource must pass, the loaders' presentation of a block in the layout
// AttachDIB reads, and the test probe. The format itself (fields, header
// sizes, the header parse) is dibformat/dib_format.h.
#ifndef TARNUTIL_BITMAP_DIB_H
#define TARNUTIL_BITMAP_DIB_H

#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>

#include "dibformat/dib_format.h"

namespace tarnutil {
namespace detail {

// Run-length pixels say nothing of how many rows they cover (the
// end-of-bitmap escape ends any number in two bytes), so only the row
// table bounds a run-length bitmap's height: at most 2^24 rows and a table
// of at most 64 MiB.
constexpr std::int64_t maxRunLengthRows = std::int64_t{1} << 24;
constexpr std::uint64_t maxRowTableBytes = std::uint64_t{64} << 20;

// The refusal codes of DIBRefusalReason, and their texts.
using DibRefusal = TarnUtilDibRefusal;
const char* DibRefusalText(int reason);

// Whether a block of which the first available bytes can be read may be
// attached: a known header that fits; width and height not 0; no negative
// width; a bit count of 1, 2, 4, 8, 16, 24 or 32; no embedded JPEG or PNG
// and no compression past bit fields; masks and color table inside what
// can be read; a format whose pixels are not wider than the bit count
// (bit-field masks on 1 to 8 or 24 bits can name a 16- or 32-bit layout);
// pixels at pixelsAt (from the header's start; negative: right after the
// color table) not inside the headers or the table nor past the data; and
// every row of the row table inside the pixel data. Run-length pixels are
// shorter than their rows, and no pixel operation reads them, so they only
// need to start inside the data, and the image size their header states
// (what a pattern brush copies) may not exceed it. Writes the layout as
// stored when the block is sound.
DibRefusal CheckDibBlock(const unsigned char* block, std::uint32_t available,
                         std::int64_t pixelsAt, DibLayout* layout);

// A sound block laid out as AttachDIB reads it, in a new array: a longer
// header becomes a 40-byte one with the masks behind it, and the pixelBytes
// at pixelsAt close up behind the table. Null when memory cannot be had.
unsigned char* PresentDibBlock(const unsigned char* block, const DibLayout& layout,
                               std::int64_t pixelsAt, std::uint32_t pixelBytes,
                               DibLayout* presented);

// Bytes the pixels of a sound layout span: every row, or the run-length
// data (its stated size, else all of the available bytes after pixelsAt).
std::uint32_t PixelSpan(const DibLayout& layout, std::uint32_t available, std::int64_t pixelsAt);

// Reads the bitmap file at path and checks it; on success block is a new
// array laid out as AttachDIB reads it, and layout describes it.
DibRefusal ReadDibFile(const wchar_t* path, unsigned char** block, DibLayout* layout);

// LoadBitmapW: the resource checked against its size, a longer header
// presented in an owned copy.
int LoadResource(CDIB& dib, HINSTANCE__* module, const wchar_t* name);

// The 5-6-5 reduction of a color with red in bits 16-23, green 8-15 and
// blue 0-7: the top five bits of each, bit 5 clear.
constexpr std::uint32_t Reduce565(std::uint32_t color) {
  return (((color >> 16 & 0xFFu) >> 3) << 11) | (((color >> 8 & 0xFFu) >> 3) << 6) |
         ((color & 0xFFu) >> 3);
}

// Attaches a block whose layout is known, without parsing it again.
struct DibLoader {
  static int Attach(CDIB& dib, unsigned char* block, unsigned char* bits, int flag,
                    const DibLayout& layout);
};

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
