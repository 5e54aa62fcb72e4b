#include "dibformat/dib_format.h"

#include <cstddef>
#include <limits>

#include "util/exact.h"

namespace tarnutil {
namespace detail {

namespace {

constexpr std::int64_t int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();

bool FitsInt32(std::int64_t value) {
  return value >= int32Min && value <= int32Max;
}

// Masks (red, green, blue) that name the fixed layouts.
struct MaskLayout {
  std::uint32_t red, green, blue;
  std::int32_t format;
};
constexpr MaskLayout knownMasks[] = {
    {0x7C00u, 0x3E0u, 0x1Fu, dibFormat555},
    {0xF800u, 0x7E0u, 0x1Fu, dibFormat565},
    {0xFF0000u, 0xFF00u, 0xFFu, dibFormatBgrx},
};

// Format code by bit count and compression; dibFormatNone for a bit count
// outside the set.
std::int32_t FormatOf(std::int32_t bitCount, std::uint32_t compression) {
  switch (bitCount) {
    case 1:
      return dibFormat1Bit;
    case 2:
      return dibFormat2Bit;
    case 4:
      return compression == compressionRle4 ? dibFormatRle4 : dibFormat4Bit;
    case 8:
      return compression == compressionRle8 ? dibFormatRle8 : dibFormat8Bit;
    case 16:
      return compression == compressionBitFields ? dibFormat16Masks : dibFormat555;
    case 24:
      return dibFormatPackedBgr;
    case 32:
      return compression == compressionBitFields ? dibFormat32Masks : dibFormatBgrx;
    default:
      return dibFormatNone;
  }
}

}  // namespace

bool KnownHeaderBytes(std::uint32_t headerBytes) {
  switch (headerBytes) {
    case coreHeaderBytes:
    case infoHeaderBytes:
    case rgbMasksHeaderBytes:
    case alphaMaskHeaderBytes:
    case colorSpaceHeaderBytes:
    case profileHeaderBytes:
      return true;
    default:
      return false;
  }
}

std::uint32_t HeaderSpan(const unsigned char* header) {
  const std::uint32_t headerBytes = LoadLe32(header + headerSizeAt);
  if (!KnownHeaderBytes(headerBytes)) return 0;
  if (headerBytes == infoHeaderBytes &&
      LoadLe32(header + infoCompressionAt) == compressionBitFields) {
    return infoHeaderBytes + colorMaskBytes;
  }
  return headerBytes;
}

DibLayoutStatus ParseDibHeader(const unsigned char* header, DibLayout* layout) {
  DibLayout l{};
  l.headerBytes = LoadLe32(header + headerSizeAt);
  if (!KnownHeaderBytes(l.headerBytes)) return DibLayoutStatus::badHeaderSize;
  std::uint32_t colorsUsed = 0;
  std::uint32_t colorsImportant = 0;
  std::uint32_t tableOffset = 0;
  if (l.headerBytes == coreHeaderBytes) {
    l.width = LoadLe16(header + coreWidthAt);
    l.headerHeight = LoadLe16(header + coreHeightAt);
    l.planes = LoadLe16(header + corePlanesAt);
    l.bitCount = LoadLe16(header + coreBitCountAt);
    l.compression = compressionNone;
    tableOffset = coreHeaderBytes;
    if (l.bitCount <= 8) {
      colorsUsed = colorsImportant = 1u << l.bitCount;
      l.colorEntryBytes = coreColorBytes;
    }
  } else {
    l.width = FromBits32(LoadLe32(header + infoWidthAt));
    l.headerHeight = FromBits32(LoadLe32(header + infoHeightAt));
    l.planes = LoadLe16(header + infoPlanesAt);
    l.bitCount = LoadLe16(header + infoBitCountAt);
    l.compression = LoadLe32(header + infoCompressionAt);
    l.statedImageBytes = LoadLe32(header + infoImageSizeAt);
    l.imageSize = FromBits32(l.statedImageBytes);
    colorsUsed = LoadLe32(header + infoColorsUsedAt);
    colorsImportant = LoadLe32(header + infoColorsImportantAt);
    if (l.bitCount <= 8 && colorsUsed == 0) colorsUsed = 1u << l.bitCount;
    l.hasMasks = l.compression == compressionBitFields;
    // The masks of a longer header lie inside it; a 40-byte one is followed
    // by them.
    tableOffset = l.headerBytes == infoHeaderBytes && l.hasMasks
                      ? infoHeaderBytes + colorMaskBytes
                      : l.headerBytes;
    if (colorsUsed != 0) {
      if (colorsImportant == 0) colorsImportant = colorsUsed;
      l.colorEntryBytes = infoColorBytes;
    }
  }

  // A huge colors-used value would move the pixels past 2^31.
  const std::int64_t pixelOffset =
      static_cast<std::int64_t>(tableOffset) + std::int64_t{l.colorEntryBytes} * colorsUsed;
  if (pixelOffset > int32Max) return DibLayoutStatus::overflow;
  l.colorOffset = static_cast<std::int32_t>(tableOffset);
  l.pixelOffset = static_cast<std::int32_t>(pixelOffset);
  l.colorsUsed = static_cast<std::int32_t>(colorsUsed);
  l.colorsImportant = FromBits32(colorsImportant);

  const std::int64_t rowBits = std::int64_t{l.bitCount} * l.width;
  if (!FitsInt32(rowBits) || !FitsInt32(rowBits + 31)) return DibLayoutStatus::overflow;
  // Truncating division, as the 32-bit signed formula gives it.
  l.bps = static_cast<std::int32_t>(4 * ((rowBits + 31) / 32));
  const std::int64_t depth = std::int64_t{l.bitCount} * l.planes;
  if (!FitsInt32(depth)) return DibLayoutStatus::overflow;
  l.depth = static_cast<std::int32_t>(depth);

  if (l.headerHeight == 0) return DibLayoutStatus::zeroHeight;
  if (l.headerHeight == std::numeric_limits<std::int32_t>::min()) return DibLayoutStatus::overflow;
  if (l.headerHeight < 0) {
    l.height = -l.headerHeight;
    l.topRowOffset = 0;
    l.rowStep = l.bps;
  } else {
    l.height = l.headerHeight;
    l.rowStep = -l.bps;
    // (height - 1) * bps * planes, left to right; planes count here but
    // not in the row step.
    const std::int64_t rowsAbove = std::int64_t{l.height - 1} * l.bps;
    if (!FitsInt32(rowsAbove) || !FitsInt32(rowsAbove * l.planes)) {
      return DibLayoutStatus::overflow;
    }
    l.topRowOffset = static_cast<std::int32_t>(rowsAbove * l.planes);
  }
  // The row table holds one pointer per row.
  if (static_cast<std::uint64_t>(l.height) >
      std::numeric_limits<std::size_t>::max() / sizeof(unsigned char*)) {
    return DibLayoutStatus::overflow;
  }
  if (l.imageSize == 0) {
    const std::int64_t planeRow = std::int64_t{l.bps} * l.planes;
    if (!FitsInt32(planeRow) || !FitsInt32(planeRow * l.height)) return DibLayoutStatus::overflow;
    l.imageSize = static_cast<std::int32_t>(planeRow * l.height);
  }

  l.format = FormatOf(l.bitCount, l.compression);
  const bool runLength = l.format == dibFormatRle4 || l.format == dibFormatRle8;
  if (runLength) {
    l.pixelSpan = l.statedImageBytes;
  } else {
    const std::int64_t rowsAfterFirst = std::int64_t{l.height - 1} * l.bps;
    const std::int64_t highestRow = l.headerHeight > 0 ? l.topRowOffset : rowsAfterFirst;
    l.pixelSpan = highestRow - rowsAfterFirst < 0 ? -1 : highestRow + l.bps;
  }
  if (l.hasMasks) {
    l.masks[0] = LoadLe32(header + redMaskAt);
    l.masks[1] = LoadLe32(header + greenMaskAt);
    l.masks[2] = LoadLe32(header + blueMaskAt);
    if (l.format != dibFormatNone && !runLength) {
      for (const MaskLayout& known : knownMasks) {
        if (l.masks[0] == known.red && l.masks[1] == known.green && l.masks[2] == known.blue) {
          l.format = known.format;
        }
      }
    }
  }
  *layout = l;
  return DibLayoutStatus::ok;
}

DibLayout InfoPresentation(const DibLayout& layout) {
  if (layout.headerBytes <= infoHeaderBytes) return layout;
  DibLayout presented = layout;
  presented.headerBytes = infoHeaderBytes;
  const std::int32_t shift = static_cast<std::int32_t>(layout.headerBytes - infoHeaderBytes) -
                             (layout.hasMasks ? static_cast<std::int32_t>(colorMaskBytes) : 0);
  presented.colorOffset = layout.colorOffset - shift;
  presented.pixelOffset = layout.pixelOffset - shift;
  return presented;
}

}  // namespace detail
}  // namespace tarnutil
