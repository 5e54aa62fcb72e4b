// The Windows bitmap (BMP/DIB) format itself: little-endian fields, the
// byte offsets and sizes of its headers, and one parse of a header into the
// layout of the packed bitmap behind it. The bitmap wrapper, the POSIX
// pattern brush and the tool's writer all read and write through here.
//
// Layout arithmetic is done in 64 bits and every value kept in a 32-bit
// field must fit a signed 32-bit integer; a header whose row size, top-row
// offset, image size, depth or color-table offset would not fit is refused
// instead of wrapping.
#ifndef TARNUTIL_DIBFORMAT_DIB_FORMAT_H
#define TARNUTIL_DIBFORMAT_DIB_FORMAT_H

#include <cstdint>

namespace tarnutil {
namespace detail {

// Fields are stored little-endian and may be unaligned.
inline std::uint16_t LoadLe16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t LoadLe32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void StoreLe16(unsigned char* p, std::uint32_t value) {
  p[0] = static_cast<unsigned char>(value & 0xFFu);
  p[1] = static_cast<unsigned char>(value >> 8 & 0xFFu);
}

inline void StoreLe32(unsigned char* p, std::uint32_t value) {
  StoreLe16(p, value);
  StoreLe16(p + 2, value >> 16);
}

// The 14-byte file header. 0x4D42 is "BM" read as a little-endian 16-bit
// value.
constexpr std::uint32_t fileHeaderBytes = 14;
constexpr std::uint16_t fileSignature = 0x4D42;
constexpr std::uint32_t fileSignatureAt = 0;
constexpr std::uint32_t fileSizeAt = 2;
constexpr std::uint32_t fileReservedAt = 6;  // two 16-bit words, 0
constexpr std::uint32_t filePixelOffsetAt = 10;

// Every header starts with its own size in 32 bits.
constexpr std::uint32_t headerSizeAt = 0;

// The 12-byte core header: 16-bit fields.
constexpr std::uint32_t coreHeaderBytes = 12;
constexpr std::uint32_t coreWidthAt = 4;
constexpr std::uint32_t coreHeightAt = 6;
constexpr std::uint32_t corePlanesAt = 8;
constexpr std::uint32_t coreBitCountAt = 10;

// The 40-byte information header.
constexpr std::uint32_t infoHeaderBytes = 40;
constexpr std::uint32_t infoWidthAt = 4;
constexpr std::uint32_t infoHeightAt = 8;  // negative for top-down rows
constexpr std::uint32_t infoPlanesAt = 12;
constexpr std::uint32_t infoBitCountAt = 14;
constexpr std::uint32_t infoCompressionAt = 16;
constexpr std::uint32_t infoImageSizeAt = 20;
constexpr std::uint32_t infoXPelsPerMeterAt = 24;
constexpr std::uint32_t infoYPelsPerMeterAt = 28;
constexpr std::uint32_t infoColorsUsedAt = 32;
constexpr std::uint32_t infoColorsImportantAt = 36;

// The later headers extend the 40-byte one: the red, green and blue masks
// (52 bytes), an alpha mask (56), color-space fields (108) and rendering
// intent and profile fields (124). The three masks sit at byte 40 in every
// layout: inside the longer headers, just after a 40-byte one.
constexpr std::uint32_t rgbMasksHeaderBytes = 52;
constexpr std::uint32_t alphaMaskHeaderBytes = 56;
constexpr std::uint32_t colorSpaceHeaderBytes = 108;
constexpr std::uint32_t profileHeaderBytes = 124;
constexpr std::uint32_t redMaskAt = 40;
constexpr std::uint32_t greenMaskAt = 44;
constexpr std::uint32_t blueMaskAt = 48;
constexpr std::uint32_t alphaMaskAt = 52;
constexpr std::uint32_t colorSpaceTypeAt = 56;
constexpr std::uint32_t profileDataAt = 112;  // from the header's start
constexpr std::uint32_t profileSizeAt = 116;
constexpr std::uint32_t colorMaskBytes = 12;

// Color-table entries: blue, green, red (and a reserved byte).
constexpr std::uint32_t coreColorBytes = 3;
constexpr std::uint32_t infoColorBytes = 4;

// Compression values.
constexpr std::uint32_t compressionNone = 0;
constexpr std::uint32_t compressionRle8 = 1;
constexpr std::uint32_t compressionRle4 = 2;
constexpr std::uint32_t compressionBitFields = 3;
constexpr std::uint32_t compressionJpeg = 4;
constexpr std::uint32_t compressionPng = 5;

// Pixel-format codes of CDIB::m_format, named by what the pixels are.
constexpr std::int32_t dibFormat1Bit = 0;
constexpr std::int32_t dibFormat2Bit = 1;
constexpr std::int32_t dibFormat4Bit = 2;
constexpr std::int32_t dibFormatRle4 = 3;
constexpr std::int32_t dibFormat8Bit = 4;
constexpr std::int32_t dibFormatRle8 = 5;
constexpr std::int32_t dibFormat555 = 6;
constexpr std::int32_t dibFormat565 = 7;
constexpr std::int32_t dibFormatPackedBgr = 8;  // 3 bytes a pixel
constexpr std::int32_t dibFormatBgrx = 9;       // 4 bytes a pixel, 8-8-8
constexpr std::int32_t dibFormat32Bit = 10;
constexpr std::int32_t dibFormat16Masks = 11;
constexpr std::int32_t dibFormat32Masks = 12;
// A bit count outside 1, 2, 4, 8, 16, 24 and 32.
constexpr std::int32_t dibFormatNone = -1;

// True for the header sizes the parse reads: 12, 40, 52, 56, 108 and 124.
// The 16- to 64-byte OS/2 2.x headers are not among them.
bool KnownHeaderBytes(std::uint32_t headerBytes);

// Why a header gives no layout.
enum class DibLayoutStatus {
  ok,
  badHeaderSize,  // not a known header size
  zeroHeight,     // no row exists
  overflow,       // a value would not fit its 32-bit field
};

// Where everything of a packed bitmap lies, as offsets from the header.
struct DibLayout {
  std::uint32_t headerBytes;  // as stored
  std::int32_t width;
  std::int32_t headerHeight;  // as stored; negative for top-down rows
  std::int32_t height;        // number of rows
  std::int32_t planes;
  std::int32_t bitCount;
  std::int32_t depth;
  std::uint32_t compression;
  std::uint32_t statedImageBytes;  // as stored; 0 for the core header
  std::int32_t colorsUsed;
  std::int32_t colorsImportant;
  std::uint32_t colorEntryBytes;  // 3 or 4; 0 without a color table
  std::int32_t colorOffset;       // where the table starts (or would)
  bool hasMasks;                  // bit fields: masks at redMaskAt
  std::uint32_t masks[3];         // red, green, blue when hasMasks
  std::int32_t pixelOffset;       // directly after the table
  std::int32_t bps;
  std::int32_t rowStep;
  std::int32_t topRowOffset;  // from the first pixel byte
  std::int32_t imageSize;     // from the header, or computed when 0 there
  std::int32_t format;        // dibFormatNone for a bit count outside the set
  // Bytes from the first pixel byte that the pixels span: from the lowest
  // stored row to the end of the highest (-1 when a row would lie before
  // the pixels, with no planes), or for run-length pixels the image size the
  // header states (0 when it states none).
  std::int64_t pixelSpan;
};

// Bytes the header at header needs read for the parse: its size word, then
// 12, or the header's size, and 12 more for the masks after a 40-byte
// header with bit fields. Needs the first 4 bytes, and for a 40-byte header
// the first 20; 0 for an unknown size.
std::uint32_t HeaderSpan(const unsigned char* header);

// Works out the layout of the packed bitmap whose header starts at header.
// Reads HeaderSpan(header) bytes.
DibLayoutStatus ParseDibHeader(const unsigned char* header, DibLayout* layout);

// The layout as a 40-byte header presents it: a longer header's masks move
// behind it (with bit fields), the table and the pixels close up behind
// them. A 12- or 40-byte layout comes back as it is.
DibLayout InfoPresentation(const DibLayout& layout);

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_DIBFORMAT_DIB_FORMAT_H
