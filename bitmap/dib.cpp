// CDIB: a packed device-independent bitmap with a row table, so that pixel
// (x, y) is found without a multiplication whichever way the rows run.
//
// The header block may be unaligned caller memory or a resource, so header
// fields are read byte by byte, little-endian as stored.
#include "bitmap/dib.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/platform.h"

namespace tarnutil {
namespace detail {

namespace {

// Ownership bits of m_flag.
constexpr int ownsHeader = 1;
// Resources stay the module's: bits 2 and 8 set neither ownership bit.
constexpr int resourceFlag = 10;

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
    case dibFormatPackedBgr:
      return 24;
    case dibFormatBgrx:
    case dibFormat32Bit:
      return 32;
    default:
      return 0;
  }
}

// Reads until bytes are in or the file ends; the count read.
std::uint32_t ReadUpTo(platform::FileHandle file, unsigned char* buffer, std::uint32_t bytes) {
  std::uint32_t total = 0;
  while (total < bytes) {
    std::uint32_t got = 0;
    if (!platform::FileRead(file, buffer + total, bytes - total, &got) || got == 0) break;
    total += got;
  }
  return total;
}

struct RefusalText {
  DibRefusal reason;
  const char* text;
};
constexpr RefusalText refusalTexts[] = {
    {tarnutilDibLoads, "loads"},
    {tarnutilDibUnreadable, "missing or unreadable"},
    {tarnutilDibNotBitmap, "not a bitmap"},
    {tarnutilDibHeaderSize, "header size not supported"},
    {tarnutilDibEmbeddedImage, "embedded JPEG or PNG image"},
    {tarnutilDibPixelOffset, "pixel offset outside the file"},
    {tarnutilDibShortData, "shorter than its headers, color table or rows"},
    {tarnutilDibRunLengthRows, "run-length bitmap taller than its row table may be"},
    {tarnutilDibTooLarge, "too large"},
    {tarnutilDibBadHeader, "header describes no bitmap that can be read"},
    {tarnutilDibNoRows, "height 0: no rows"},
};

}  // namespace

const char* DibRefusalText(int reason) {
  for (const RefusalText& entry : refusalTexts) {
    if (entry.reason == reason) return entry.text;
  }
  return "unknown";
}

DibRefusal CheckDibBlock(const unsigned char* block, std::uint32_t available,
                         std::int64_t pixelsAt, DibLayout* layout) {
  if (block == nullptr) return tarnutilDibUnreadable;
  if (available < 4) return tarnutilDibNotBitmap;
  const std::uint32_t headerBytes = LoadLe32(block + headerSizeAt);
  if (!KnownHeaderBytes(headerBytes)) return tarnutilDibHeaderSize;
  if (available < headerBytes || available < HeaderSpan(block)) return tarnutilDibShortData;
  DibLayout l;
  switch (ParseDibHeader(block, &l)) {
    case DibLayoutStatus::ok:
      break;
    case DibLayoutStatus::zeroHeight:
      return tarnutilDibNoRows;
    case DibLayoutStatus::overflow:
      return tarnutilDibTooLarge;
    default:
      return tarnutilDibHeaderSize;
  }
  if (l.compression == compressionJpeg || l.compression == compressionPng) {
    return tarnutilDibEmbeddedImage;
  }
  if (l.compression > compressionBitFields || l.width <= 0 || l.format == dibFormatNone ||
      ServedPixelBits(l.format) > l.bitCount) {
    return tarnutilDibBadHeader;
  }
  // The table must be there before the pixels can be looked for.
  if (l.pixelOffset > std::int64_t{available}) return tarnutilDibShortData;
  if (pixelsAt < 0) pixelsAt = l.pixelOffset;
  if (pixelsAt < l.pixelOffset || pixelsAt > std::int64_t{available}) {
    return tarnutilDibPixelOffset;
  }
  const std::int64_t pixelBytes = std::int64_t{available} - pixelsAt;
  if (IsRunLength(l.format)) {
    if (l.height > maxRunLengthRows ||
        static_cast<std::uint64_t>(l.height) * sizeof(unsigned char*) > maxRowTableBytes) {
      return tarnutilDibRunLengthRows;
    }
    if (pixelBytes <= 0 || l.pixelSpan > pixelBytes) {
      return tarnutilDibShortData;
    }
  } else {
    if (l.pixelSpan < 0) return tarnutilDibBadHeader;
    if (l.pixelSpan > pixelBytes) return tarnutilDibShortData;
  }
  *layout = l;
  return tarnutilDibLoads;
}

std::uint32_t PixelSpan(const DibLayout& layout, std::uint32_t available, std::int64_t pixelsAt) {
  if (!IsRunLength(layout.format) || layout.pixelSpan != 0) {
    return static_cast<std::uint32_t>(layout.pixelSpan);
  }
  return static_cast<std::uint32_t>(std::int64_t{available} - pixelsAt);
}

unsigned char* PresentDibBlock(const unsigned char* block, const DibLayout& layout,
                               std::int64_t pixelsAt, std::uint32_t pixelBytes,
                               DibLayout* presented) {
  const DibLayout p = InfoPresentation(layout);
  const std::size_t tableBytes = static_cast<std::size_t>(layout.pixelOffset - layout.colorOffset);
  const std::size_t total = static_cast<std::size_t>(p.pixelOffset) + pixelBytes;
  unsigned char* out = new (std::nothrow) unsigned char[total];
  if (out == nullptr) return nullptr;
  const std::size_t headerBytes = layout.headerBytes == coreHeaderBytes ? coreHeaderBytes
                                                                        : infoHeaderBytes;
  std::memcpy(out, block, headerBytes);
  StoreLe32(out + headerSizeAt, static_cast<std::uint32_t>(headerBytes));
  if (layout.hasMasks) std::memcpy(out + redMaskAt, block + redMaskAt, colorMaskBytes);
  std::memcpy(out + p.colorOffset, block + layout.colorOffset, tableBytes);
  std::memcpy(out + p.pixelOffset, block + pixelsAt, pixelBytes);
  *presented = p;
  return out;
}

DibRefusal ReadDibFile(const wchar_t* path, unsigned char** block, DibLayout* layout) {
  if (path == nullptr) return tarnutilDibUnreadable;
  const platform::FileHandle file = platform::FileOpenRead(path);
  if (file == platform::FileInvalid()) return tarnutilDibUnreadable;
  unsigned char fileHeader[fileHeaderBytes + 4];
  const std::uint32_t headRead = ReadUpTo(file, fileHeader, sizeof fileHeader);
  if (headRead < fileHeaderBytes || LoadLe16(fileHeader + fileSignatureAt) != fileSignature) {
    platform::FileClose(file);
    return tarnutilDibNotBitmap;
  }
  const std::uint32_t fileBytes = platform::FileSize(file);
  std::uint32_t declaredBytes = LoadLe32(fileHeader + fileSizeAt);
  if (declaredBytes > fileBytes) {
    platform::FileClose(file);
    return tarnutilDibShortData;
  }
  // A declared size of 0, or one that does not even cover the headers, is
  // taken as unstated (writers leave it so), and the file's own size
  // counts; any other is honoured, as in the block of that size below.
  const std::uint32_t headerBytes =
      headRead == sizeof fileHeader ? LoadLe32(fileHeader + fileHeaderBytes) : 0;
  if (std::uint64_t{declaredBytes} < std::uint64_t{fileHeaderBytes} + headerBytes) {
    declaredBytes = fileBytes;
  }
  unsigned char* data = new (std::nothrow) unsigned char[declaredBytes];
  if (data == nullptr) {
    platform::FileClose(file);
    return tarnutilDibTooLarge;
  }
  // The block holds what follows the file header, up to the declared count
  // (the read stops at the end of the file, leaving the tail zero).
  std::uint32_t readBytes = headRead - fileHeaderBytes;
  std::memcpy(data, fileHeader + fileHeaderBytes, std::min(readBytes, declaredBytes));
  readBytes = std::min(readBytes, declaredBytes);
  readBytes += ReadUpTo(file, data + readBytes, declaredBytes - readBytes);
  platform::FileClose(file);
  std::memset(data + readBytes, 0, declaredBytes - readBytes);

  // A pixel offset of 0 is unstated: the pixels follow the color table.
  const std::uint32_t fileOffset = LoadLe32(fileHeader + filePixelOffsetAt);
  const std::int64_t pixelsAt =
      fileOffset == 0 ? -1 : std::int64_t{fileOffset} - std::int64_t{fileHeaderBytes};
  DibLayout stored;
  const DibRefusal reason = CheckDibBlock(data, readBytes, pixelsAt, &stored);
  if (reason != tarnutilDibLoads) {
    delete[] data;
    return reason;
  }
  if (stored.headerBytes <= infoHeaderBytes &&
      (pixelsAt < 0 || pixelsAt == stored.pixelOffset)) {
    *block = data;
    *layout = stored;
    return tarnutilDibLoads;
  }
  const std::int64_t from = pixelsAt < 0 ? stored.pixelOffset : pixelsAt;
  *block = PresentDibBlock(data, stored, from, PixelSpan(stored, readBytes, from), layout);
  delete[] data;
  return *block == nullptr ? tarnutilDibTooLarge : tarnutilDibLoads;
}

int DibLoader::Attach(CDIB& dib, unsigned char* block, unsigned char* bits, int flag,
                      const DibLayout& layout) {
  dib.ReleaseDIB();
  dib.m_bmi = reinterpret_cast<tagBITMAPINFO*>(block);
  dib.m_flag = flag;
  // The separate pixels belong to the new flag even when the header is
  // refused below: owned ones are then released with the object, and a
  // pointer left from the previous bitmap is never released under it.
  dib.m_bits = bits;
  dib.m_coreColors = layout.colorEntryBytes == coreColorBytes ? block + layout.colorOffset : nullptr;
  dib.m_colors = layout.colorEntryBytes == infoColorBytes
                     ? reinterpret_cast<tagRGBQUAD*>(block + layout.colorOffset)
                     : nullptr;
  dib.m_colorsUsed = layout.colorsUsed;
  dib.m_colorsImportant = layout.colorsImportant;
  dib.m_masks = layout.hasMasks ? reinterpret_cast<std::uint32_t*>(block + redMaskAt) : nullptr;
  dib.m_width = layout.width;
  dib.m_height = layout.height;
  dib.m_planes = layout.planes;
  dib.m_bitCount = layout.bitCount;
  dib.m_depth = layout.depth;
  dib.m_bits = bits != nullptr ? bits : block + layout.pixelOffset;
  dib.m_bps = layout.bps;
  dib.m_rowStep = layout.rowStep;
  dib.m_topRow = dib.m_bits + layout.topRowOffset;
  dib.m_imageSize = layout.imageSize;

  dib.m_rows = static_cast<unsigned char**>(
      platform::HeapAllocate(sizeof(unsigned char*) * static_cast<std::size_t>(dib.m_height)));
  if (dib.m_rows == nullptr) return 0;
  dib.m_rows[0] = dib.m_topRow;
  for (std::int32_t i = 0; i + 1 < dib.m_height; ++i) {
    dib.m_rows[i + 1] = dib.m_rows[i] + dib.m_rowStep;
  }
  dib.m_format = layout.format;
  return dib.m_format == dibFormatNone ? 0 : 1;
}

int LoadResource(CDIB& dib, HINSTANCE__* module, const wchar_t* name) {
  const platform::ResourceHandle resource = platform::ResourceFindBitmap(module, name);
  if (resource == nullptr) return 0;
  unsigned char* data = static_cast<unsigned char*>(platform::ResourceLoad(module, resource));
  if (data == nullptr) return 0;
  const std::uint32_t bytes = platform::ResourceBytes(module, resource);
  DibLayout stored;
  if (CheckDibBlock(data, bytes, -1, &stored) != tarnutilDibLoads) return 0;
  if (stored.headerBytes <= infoHeaderBytes) {
    return DibLoader::Attach(dib, data, nullptr, resourceFlag, stored);
  }
  // Resource memory is read-only, so a longer header is presented in a copy
  // the object owns.
  DibLayout presented;
  unsigned char* copy = PresentDibBlock(data, stored, stored.pixelOffset,
                                        PixelSpan(stored, bytes, stored.pixelOffset), &presented);
  if (copy == nullptr) return 0;
  return DibLoader::Attach(dib, copy, nullptr, resourceFlag | ownsHeader, presented);
}

}  // namespace detail
}  // namespace tarnutil

using tarnutil::detail::coreColorBytes;
using tarnutil::detail::coreHeaderBytes;
using tarnutil::detail::dibFormat32Bit;
using tarnutil::detail::dibFormat555;
using tarnutil::detail::dibFormat565;
using tarnutil::detail::dibFormat8Bit;
using tarnutil::detail::dibFormatBgrx;
using tarnutil::detail::dibFormatPackedBgr;
using tarnutil::detail::dibFormatRle4;
using tarnutil::detail::dibFormatRle8;
using tarnutil::detail::DibLayout;
using tarnutil::detail::DibLayoutStatus;
using tarnutil::detail::infoColorBytes;
using tarnutil::detail::infoCompressionAt;
using tarnutil::detail::infoHeaderBytes;
using tarnutil::detail::LoadLe16;
using tarnutil::detail::LoadLe32;
using tarnutil::detail::Reduce565;
using tarnutil::detail::StoreLe16;
using tarnutil::detail::StoreLe32;

namespace {

// Ownership bits of m_flag.
constexpr std::int32_t ownsHeader = 1;
constexpr std::int32_t ownsBits = 4;
constexpr std::uint32_t pixelOutOfRange = 0xFFFFFFFFu;

std::uint32_t Load24(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16);
}

void Store24(unsigned char* p, std::uint32_t value) {
  StoreLe16(p, value);
  p[2] = static_cast<unsigned char>(value >> 16 & 0xFFu);
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

// The whole header is probed before it is read: first the size word's 12
// bytes, then the 40-byte header and, with bit fields, its masks.
int CDIB::AttachDIB(tagBITMAPINFO* bmi, unsigned char* bits, int flag) {
  if (tarnutil::platform::MemoryUnreadable(bmi, coreHeaderBytes)) return 0;
  unsigned char* const block = reinterpret_cast<unsigned char*>(bmi);
  const std::uint32_t headerBytes = LoadLe32(block);
  if (headerBytes == infoHeaderBytes) {
    if (tarnutil::platform::MemoryUnreadable(bmi, infoHeaderBytes)) return 0;
    if (tarnutil::platform::MemoryUnreadable(bmi, tarnutil::detail::HeaderSpan(block))) return 0;
  }
  DibLayout layout;
  if ((headerBytes != coreHeaderBytes && headerBytes != infoHeaderBytes) ||
      tarnutil::detail::ParseDibHeader(block, &layout) != DibLayoutStatus::ok) {
    ReleaseDIB();
    m_bmi = bmi;
    m_flag = flag;
    m_bits = bits;
    return 0;
  }
  return tarnutil::detail::DibLoader::Attach(*this, block, bits, flag, layout);
}

int CDIB::LoadBitmapW(HINSTANCE__* module, const wchar_t* name) {
  return tarnutil::detail::LoadResource(*this, module, name);
}

// A file refused by its content leaves the object as it was, like one that
// cannot be opened; only a sound block is attached, and then owned.
int CDIB::LoadFile(const wchar_t* path) {
  unsigned char* block = nullptr;
  DibLayout layout;
  if (tarnutil::detail::ReadDibFile(path, &block, &layout) != tarnutilDibLoads) {
    return 0;
  }
  return tarnutil::detail::DibLoader::Attach(*this, block, nullptr, ownsHeader, layout);
}

int DIBRefusalReason(const wchar_t* path, const void* packedDib, std::uint32_t bytes,
                     const char** text) {
  int reason = tarnutilDibLoads;
  if (path != nullptr) {
    unsigned char* block = nullptr;
    DibLayout layout;
    reason = tarnutil::detail::ReadDibFile(path, &block, &layout);
    delete[] block;
  } else {
    DibLayout layout;
    reason = tarnutil::detail::CheckDibBlock(static_cast<const unsigned char*>(packedDib), bytes,
                                             -1, &layout);
  }
  if (text != nullptr) *text = tarnutil::detail::DibRefusalText(reason);
  return reason;
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
    case dibFormatPackedBgr:
      return Reduce565(Load24(row + 3 * column));
    case dibFormatBgrx:
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
      // Never past the table: an index beyond it has no color.
      const std::int32_t index = row[column];
      if (index >= m_colorsUsed) return 0;
      if (m_coreColors != nullptr) {
        const unsigned char* entry =
            m_coreColors + coreColorBytes * static_cast<std::size_t>(index);
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
    case dibFormatPackedBgr:
      return Load24(row + 3 * column);
    case dibFormatBgrx:
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
      StoreLe16(row + 2 * column, value);
      return 1;
    case dibFormatPackedBgr:
      Store24(row + 3 * column, value);
      return 1;
    case dibFormatBgrx:
    case dibFormat32Bit:
      StoreLe32(row + 4 * column, value);
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
