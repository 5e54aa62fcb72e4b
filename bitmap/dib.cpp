// CDIB: a packed device-independent bitmap with a row table, so that pixel
// (x, y) is found without a multiplication whichever way the rows run.
//
// The header block may be unaligned caller memory or a resource, so header
// fields are read byte by byte, little-endian as stored.
#include "bitmap/dib.h"

#include <cstring>
#include <limits>
#include <new>

#include "platform/platform.h"
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
    {0xFF0000u, 0xFF00u, 0xFFu, dibFormat888},
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
      return dibFormat24Bit;
    case 32:
      return compression == compressionBitFields ? dibFormat32Masks : dibFormat888;
    default:
      return dibFormatNone;
  }
}

bool IsRunLength(std::int32_t format) {
  return format == dibFormatRle4 || format == dibFormatRle8;
}

// Bits of one pixel as the pixel operations read it; 0 for formats they
// do not serve.
std::int32_t ServedPixelBits(std::int32_t format) {
  switch (format) {
    case dibFormat8Bit:
      return 8;
    case dibFormat555:
    case dibFormat565:
      return 16;
    case dibFormat24Bit:
      return 24;
    case dibFormat888:
    case dibFormat32Bit:
      return 32;
    default:
      return 0;
  }
}

}  // namespace

std::uint16_t LoadLe16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t LoadLe32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

DibLayoutStatus ComputeDibLayout(const unsigned char* header, DibLayout* layout) {
  DibLayout l{};
  l.headerBytes = LoadLe32(header);
  std::uint32_t colorsUsed = 0;
  std::uint32_t colorsImportant = 0;
  std::uint32_t tableOffset = 0;
  if (l.headerBytes == coreHeaderBytes) {
    l.width = LoadLe16(header + 4);
    l.headerHeight = LoadLe16(header + 6);
    l.planes = LoadLe16(header + 8);
    l.bitCount = LoadLe16(header + 10);
    l.compression = compressionNone;
    l.imageSize = 0;
    tableOffset = coreHeaderBytes;
    if (l.bitCount <= 8) {
      colorsUsed = colorsImportant = 1u << l.bitCount;
      l.colourEntryBytes = coreColourBytes;
    }
  } else if (l.headerBytes == infoHeaderBytes) {
    l.width = FromBits32(LoadLe32(header + 4));
    l.headerHeight = FromBits32(LoadLe32(header + 8));
    l.planes = LoadLe16(header + 12);
    l.bitCount = LoadLe16(header + 14);
    l.compression = LoadLe32(header + 16);
    l.imageSize = FromBits32(LoadLe32(header + 20));
    colorsUsed = LoadLe32(header + 32);
    colorsImportant = LoadLe32(header + 36);
    if (l.bitCount <= 8 && colorsUsed == 0) colorsUsed = 1u << l.bitCount;
    l.hasMasks = l.compression == compressionBitFields;
    tableOffset = infoHeaderBytes + (l.hasMasks ? colourMaskBytes : 0u);
    if (colorsUsed != 0) {
      if (colorsImportant == 0) colorsImportant = colorsUsed;
      l.colourEntryBytes = infoColourBytes;
    }
  } else {
    return DibLayoutStatus::badHeaderSize;
  }

  // A huge colours-used value would move the pixels past 2^31.
  const std::int64_t pixelOffset =
      static_cast<std::int64_t>(tableOffset) + std::int64_t{l.colourEntryBytes} * colorsUsed;
  if (pixelOffset > int32Max) return DibLayoutStatus::overflow;
  l.colourOffset = static_cast<std::int32_t>(tableOffset);
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
  if (l.format != dibFormatNone && !IsRunLength(l.format) &&
      l.compression == compressionBitFields) {
    const std::uint32_t red = LoadLe32(header + infoHeaderBytes);
    const std::uint32_t green = LoadLe32(header + infoHeaderBytes + 4);
    const std::uint32_t blue = LoadLe32(header + infoHeaderBytes + 8);
    for (const MaskLayout& known : knownMasks) {
      if (red == known.red && green == known.green && blue == known.blue) l.format = known.format;
    }
  }
  *layout = l;
  return DibLayoutStatus::ok;
}

bool FileBlockIsSound(const unsigned char* block, std::uint32_t readBytes) {
  if (readBytes < 4) return false;
  const std::uint32_t headerBytes = LoadLe32(block);
  if (headerBytes != coreHeaderBytes && headerBytes != infoHeaderBytes) return false;
  if (readBytes < headerBytes) return false;
  if (headerBytes == infoHeaderBytes && LoadLe32(block + 16) == compressionBitFields &&
      readBytes < infoHeaderBytes + colourMaskBytes) {
    return false;
  }
  DibLayout l;
  if (ComputeDibLayout(block, &l) != DibLayoutStatus::ok) return false;
  if (l.width <= 0 || l.format == dibFormatNone) return false;
  if (ServedPixelBits(l.format) > l.bitCount) return false;
  // The pixels start after the colour table: a table running past the
  // data leaves no pixel byte, and no room for a row.
  const std::int64_t pixelBytes = std::int64_t{readBytes} - l.pixelOffset;
  // A run-length stream covers at most 64 rows per byte (a 4-byte delta
  // escape skips 255 rows), so a taller bitmap is not what the file holds and
  // would only make a tiny file demand a huge row table.
  // The image size a run-length header states is how much a pattern brush
  // copies, so it may not claim bytes the file does not hold.
  if (IsRunLength(l.format)) {
    return pixelBytes > 0 && std::int64_t{l.height} <= pixelBytes * 64 &&
           std::int64_t{LoadLe32(block + 20)} <= pixelBytes;
  }

  const std::int64_t rowsAfterFirst = std::int64_t{l.height - 1} * l.bps;
  std::int64_t lowestRow = 0;
  std::int64_t highestRow = rowsAfterFirst;
  if (l.headerHeight > 0) {
    highestRow = l.topRowOffset;
    lowestRow = highestRow - rowsAfterFirst;
  }
  return lowestRow >= 0 && highestRow + l.bps <= pixelBytes;
}

}  // namespace detail
}  // namespace tarnutil

using tarnutil::detail::coreColourBytes;
using tarnutil::detail::coreHeaderBytes;
using tarnutil::detail::dibFormat24Bit;
using tarnutil::detail::dibFormat32Bit;
using tarnutil::detail::dibFormat555;
using tarnutil::detail::dibFormat565;
using tarnutil::detail::dibFormat888;
using tarnutil::detail::dibFormat8Bit;
using tarnutil::detail::dibFormatNone;
using tarnutil::detail::dibFormatRle4;
using tarnutil::detail::dibFormatRle8;
using tarnutil::detail::DibLayout;
using tarnutil::detail::DibLayoutStatus;
using tarnutil::detail::infoColourBytes;
using tarnutil::detail::infoHeaderBytes;
using tarnutil::detail::LoadLe16;
using tarnutil::detail::LoadLe32;
using tarnutil::detail::Reduce565;

namespace {

// Ownership bits of m_flag.
constexpr std::int32_t ownsHeader = 1;
constexpr std::int32_t ownsBits = 4;
// Resources stay the module's: bits 2 and 8 set neither ownership bit.
constexpr std::int32_t resourceFlag = 10;
constexpr std::uint16_t bitmapFileSignature = 0x4D42;  // "BM" read little-endian
constexpr std::uint32_t pixelOutOfRange = 0xFFFFFFFFu;

std::uint32_t Load24(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16);
}

void Store16(unsigned char* p, std::uint32_t value) {
  p[0] = static_cast<unsigned char>(value);
  p[1] = static_cast<unsigned char>(value >> 8);
}

void Store24(unsigned char* p, std::uint32_t value) {
  Store16(p, value);
  p[2] = static_cast<unsigned char>(value >> 16);
}

void Store32(unsigned char* p, std::uint32_t value) {
  Store24(p, value);
  p[3] = static_cast<unsigned char>(value >> 24);
}

// Reads until bytes are in or the file ends; the count read.
std::uint32_t ReadUpTo(tarnutil::platform::FileHandle file, unsigned char* buffer,
                       std::uint32_t bytes) {
  std::uint32_t total = 0;
  while (total < bytes) {
    std::uint32_t got = 0;
    if (!tarnutil::platform::FileRead(file, buffer + total, bytes - total, &got) || got == 0) break;
    total += got;
  }
  return total;
}

}  // namespace

CDIB::CDIB()
    : m_format(0),
      m_flag(0),
      m_bmi(nullptr),
      m_bits(nullptr),
      m_coreColors(nullptr),
      m_colors(nullptr),
      m_colorsUsed(0),
      m_colorsImportant(0),
      m_masks(nullptr),
      m_width(0),
      m_height(0),
      m_planes(1),
      m_bitCount(1),
      m_depth(1),
      m_imageSize(0),
      m_bps(0),
      m_topRow(nullptr),
      m_rowStep(0),
      m_brush(nullptr),
      m_rows(nullptr) {}

CDIB::~CDIB() {
  ReleaseDIB();
}

int CDIB::AttachDIB(tagBITMAPINFO* bmi, unsigned char* bits, int flag) {
  if (tarnutil::platform::MemoryUnreadable(bmi, coreHeaderBytes)) return 0;
  ReleaseDIB();
  m_bmi = bmi;
  m_flag = flag;
  // The separate pixels belong to the new flag even when the header is
  // refused below: owned ones are then released with the object, and a
  // pointer left from the previous bitmap is never released under it.
  m_bits = bits;
  unsigned char* const block = reinterpret_cast<unsigned char*>(bmi);
  DibLayout layout;
  if (tarnutil::detail::ComputeDibLayout(block, &layout) != DibLayoutStatus::ok) return 0;

  m_coreColors = layout.colourEntryBytes == coreColourBytes ? block + layout.colourOffset : nullptr;
  m_colors = layout.colourEntryBytes == infoColourBytes
                 ? reinterpret_cast<tagRGBQUAD*>(block + layout.colourOffset)
                 : nullptr;
  m_colorsUsed = layout.colorsUsed;
  m_colorsImportant = layout.colorsImportant;
  m_masks = layout.hasMasks ? reinterpret_cast<std::uint32_t*>(block + infoHeaderBytes) : nullptr;
  m_width = layout.width;
  m_height = layout.height;
  m_planes = layout.planes;
  m_bitCount = layout.bitCount;
  m_depth = layout.depth;
  m_bits = bits != nullptr ? bits : block + layout.pixelOffset;
  m_bps = layout.bps;
  m_rowStep = layout.rowStep;
  m_topRow = m_bits + layout.topRowOffset;
  m_imageSize = layout.imageSize;

  m_rows = static_cast<unsigned char**>(tarnutil::platform::HeapAllocate(
      sizeof(unsigned char*) * static_cast<std::size_t>(m_height)));
  if (m_rows == nullptr) return 0;
  m_rows[0] = m_topRow;
  for (std::int32_t i = 0; i + 1 < m_height; ++i) m_rows[i + 1] = m_rows[i] + m_rowStep;

  m_format = layout.format;
  return m_format == dibFormatNone ? 0 : 1;
}

int CDIB::LoadBitmapW(HINSTANCE__* module, const wchar_t* name) {
  const tarnutil::platform::ResourceHandle resource =
      tarnutil::platform::ResourceFindBitmap(module, name);
  if (resource == nullptr) return 0;
  void* data = tarnutil::platform::ResourceLoad(module, resource);
  if (data == nullptr) return 0;
  return AttachDIB(static_cast<tagBITMAPINFO*>(data), nullptr, resourceFlag);
}

// A file refused by its content leaves the object as it was, like one that
// cannot be opened; only a sound block is attached, and then owned.
int CDIB::LoadFile(const wchar_t* path) {
  if (path == nullptr) return 0;
  const tarnutil::platform::FileHandle file = tarnutil::platform::FileOpenRead(path);
  if (file == tarnutil::platform::FileInvalid()) return 0;
  constexpr std::uint32_t fileHeaderBytes = tarnutil::detail::bitmapFileHeaderBytes;
  unsigned char fileHeader[fileHeaderBytes];
  if (ReadUpTo(file, fileHeader, fileHeaderBytes) != fileHeaderBytes ||
      LoadLe16(fileHeader) != bitmapFileSignature) {
    tarnutil::platform::FileClose(file);
    return 0;
  }
  const std::uint32_t declaredBytes = LoadLe32(fileHeader + 2);
  if (declaredBytes > tarnutil::platform::FileSize(file)) {
    tarnutil::platform::FileClose(file);
    return 0;
  }
  unsigned char* block = new (std::nothrow) unsigned char[declaredBytes];
  if (block == nullptr) {
    tarnutil::platform::FileClose(file);
    return 0;
  }
  // The declared size counts the file header, so the read stops at the end
  // of the file with the block's tail unwritten.
  const std::uint32_t readBytes = ReadUpTo(file, block, declaredBytes);
  tarnutil::platform::FileClose(file);
  std::memset(block + readBytes, 0, declaredBytes - readBytes);
  if (!tarnutil::detail::FileBlockIsSound(block, readBytes)) {
    delete[] block;
    return 0;
  }
  return AttachDIB(reinterpret_cast<tagBITMAPINFO*>(block), nullptr, ownsHeader);
}

void CDIB::ReleaseDIB() {
  if ((m_flag & ownsHeader) != 0) {
    delete[] reinterpret_cast<unsigned char*>(m_bmi);
    m_bmi = nullptr;
    m_flag &= ~ownsHeader;
  }
  if ((m_flag & ownsBits) != 0) {
    delete[] m_bits;
    m_bits = nullptr;
    m_flag &= ~ownsBits;
  }
  if (m_brush != nullptr) {
    tarnutil::platform::GfxDeleteObject(m_brush);
    m_brush = nullptr;
  }
  if (m_rows != nullptr) {
    tarnutil::platform::HeapRelease(m_rows);
    m_rows = nullptr;
  }
}

int CDIB::IsCompressed() const {
  return m_format == dibFormatRle4 || m_format == dibFormatRle8 ? 1 : 0;
}

// Without a row table (released, or a failed attach) no pixel exists.
std::uint32_t CDIB::GetPixelIndex(int x, int y) const {
  if (x < 0 || x >= m_width || y < 0 || y >= m_height || m_rows == nullptr) {
    return pixelOutOfRange;
  }
  const unsigned char* row = m_rows[y];
  const std::size_t column = static_cast<std::size_t>(x);
  switch (m_format) {
    case dibFormat8Bit:
      return row[column];
    case dibFormat555: {
      const std::uint32_t v = LoadLe16(row + 2 * column);
      return (v & 0x1Fu) | ((v & 0x7FE0u) << 1);
    }
    case dibFormat565:
      return LoadLe16(row + 2 * column);
    case dibFormat24Bit:
      return Reduce565(Load24(row + 3 * column));
    case dibFormat888:
    case dibFormat32Bit:
      return Reduce565(LoadLe32(row + 4 * column));
    default:
      return 0;
  }
}

std::uint32_t CDIB::GetRGBValue(int x, int y) const {
  if (x < 0 || x >= m_width || y < 0 || y >= m_height || m_rows == nullptr) {
    return pixelOutOfRange;
  }
  const unsigned char* row = m_rows[y];
  const std::size_t column = static_cast<std::size_t>(x);
  switch (m_format) {
    case dibFormat8Bit: {
      // Never past the table: an index beyond it has no colour.
      const std::int32_t index = row[column];
      if (index >= m_colorsUsed) return 0;
      if (m_coreColors != nullptr) {
        const unsigned char* entry =
            m_coreColors + coreColourBytes * static_cast<std::size_t>(index);
        return static_cast<std::uint32_t>(entry[2]) | (static_cast<std::uint32_t>(entry[1]) << 8) |
               (static_cast<std::uint32_t>(entry[0]) << 16);
      }
      if (m_colors == nullptr) return 0;
      const tagRGBQUAD& entry = m_colors[index];
      return static_cast<std::uint32_t>(entry.rgbRed) |
             (static_cast<std::uint32_t>(entry.rgbGreen) << 8) |
             (static_cast<std::uint32_t>(entry.rgbBlue) << 16);
    }
    case dibFormat555:
    case dibFormat565:
      return LoadLe16(row + 2 * column);
    case dibFormat24Bit:
      return Load24(row + 3 * column);
    case dibFormat888:
    case dibFormat32Bit:
      return Reduce565(LoadLe32(row + 4 * column));
    default:
      return 0;
  }
}

int CDIB::SetPixelIndex(int x, int y, std::uint32_t value) {
  if (x < 0 || x >= m_width || y < 0 || y >= m_height || m_rows == nullptr) return 0;
  unsigned char* row = m_rows[y];
  const std::size_t column = static_cast<std::size_t>(x);
  switch (m_format) {
    case dibFormat8Bit:
      row[column] = static_cast<unsigned char>(value);
      return 1;
    case dibFormat555:
    case dibFormat565:
      Store16(row + 2 * column, value);
      return 1;
    case dibFormat24Bit:
      Store24(row + 3 * column, value);
      return 1;
    case dibFormat888:
    case dibFormat32Bit:
      Store32(row + 4 * column, value);
      return 1;
    default:
      return 0;
  }
}

HBRUSH__* CDIB::GetDIBPatternBrush(unsigned int usage) {
  if (m_brush == nullptr && m_bmi != nullptr) {
    m_brush = tarnutil::platform::GfxCreatePatternBrush(m_bmi, usage);
  }
  return m_brush;
}
