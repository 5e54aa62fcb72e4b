// A packed block through CDIB::AttachDIB, with the pixels after the table or
// in a separate array, owned or not. Each part is copied into a heap buffer
// of exactly its size so that any read past it is caught. The pixel sweep
// runs only when the buffers hold every row the header describes, which is
// what a caller of AttachDIB promises.
#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bitmap/dib.h"
#include "fuzz/dib_sweep.h"
#include "fuzz/fuzz_input.h"

namespace {

namespace td = tarnutil::detail;

// Flag bits of AttachDIB.
constexpr int ownsHeader = 1;
constexpr int ownsBits = 4;
// The row table has one pointer per row; a header may claim 2^31 rows, so
// taller claims are not attached (the caller could not hold their pixels).
constexpr std::int64_t maxRows = 1 << 16;

// Bytes the header itself occupies, as the attach reads it from the block
// padded with zeros.
std::size_t HeaderBytes(const unsigned char* block, std::size_t size) {
  unsigned char head[td::infoHeaderBytes] = {};
  std::memcpy(head, block, size < sizeof head ? size : sizeof head);
  if (td::LoadLe32(head) != td::infoHeaderBytes) return td::coreHeaderBytes;
  if (td::LoadLe32(head + 16) == td::compressionBitFields) {
    return td::infoHeaderBytes + td::colorMaskBytes;
  }
  return td::infoHeaderBytes;
}

// Bytes of a row the pixel operations touch; 0 for layouts they do not
// serve.
std::int64_t RowBytesRead(const td::DibLayout& layout) {
  std::int64_t pixelBytes = 0;
  switch (layout.format) {
    case td::dibFormat8Bit:
      pixelBytes = 1;
      break;
    case td::dibFormat555:
    case td::dibFormat565:
    case td::dibFormat16Masks:
      pixelBytes = 2;
      break;
    case td::dibFormatPackedBgr:
      pixelBytes = 3;
      break;
    case td::dibFormatBgrx:
    case td::dibFormat32Bit:
    case td::dibFormat32Masks:
      pixelBytes = 4;
      break;
    default:
      break;
  }
  return pixelBytes * layout.width;
}

// True when every row of the row table lies inside the pixels and the
// color table inside the block: what a caller of AttachDIB promises.
bool RowsInside(const unsigned char* block, std::size_t blockBytes, const td::DibLayout& layout,
                bool separate, std::size_t bitsBytes) {
  if (!separate) {
    td::DibLayout checked;
    return td::CheckDibBlock(block, static_cast<std::uint32_t>(blockBytes), -1, &checked) ==
           tarnutilDibLoads;
  }
  if (layout.width <= 0 || layout.height <= 0) return false;
  if (static_cast<std::size_t>(layout.pixelOffset) > blockBytes) return false;
  const std::int64_t rowBytes = RowBytesRead(layout);
  const std::int64_t first = layout.topRowOffset;
  const std::int64_t last =
      first + static_cast<std::int64_t>(layout.rowStep) * (layout.height - 1);
  const std::int64_t lowest = first < last ? first : last;
  const std::int64_t highest = first < last ? last : first;
  return lowest >= 0 && highest + rowBytes <= static_cast<std::int64_t>(bitsBytes);
}

unsigned char* Copy(const std::uint8_t* from, std::size_t n, std::size_t room) {
  unsigned char* to = new unsigned char[room];
  std::memset(to, 0, room);
  std::memcpy(to, from, n);
  return to;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnutil::fuzz::FuzzInput in(data, size);
  const std::uint8_t mode = in.U8();
  const bool separate = (mode & 1) != 0;
  std::size_t blockInput = in.Remaining();
  if (separate) {
    const std::size_t split = in.U16();
    blockInput = split < in.Remaining() ? split : in.Remaining();
  }
  const std::uint8_t* blockData = in.Rest();
  const std::uint8_t* bitsData = blockData + blockInput;
  const std::size_t bitsInput = separate ? in.Remaining() - blockInput : 0;

  // A block shorter than its header is padded with zeros to the header's
  // end: the attach may read that much of any block.
  const std::size_t headerBytes = HeaderBytes(blockData, blockInput);
  const std::size_t blockBytes = blockInput > headerBytes ? blockInput : headerBytes;
  unsigned char* block = Copy(blockData, blockInput, blockBytes);
  unsigned char* bits = separate ? Copy(bitsData, bitsInput, bitsInput) : nullptr;
  td::DibLayout layout{};
  // AttachDIB reads only 12- and 40-byte headers; the block is padded for
  // no more.
  const std::uint32_t sizeWord = td::LoadLe32(block);
  const bool laidOut =
      (sizeWord == td::coreHeaderBytes || sizeWord == td::infoHeaderBytes) &&
      td::ParseDibHeader(block, &layout) == td::DibLayoutStatus::ok;
  if (laidOut && layout.height > maxRows) {
    delete[] block;
    delete[] bits;
    return 0;
  }
  const int flag = (mode & 2) != 0 ? ownsHeader | (separate ? ownsBits : 0) : 0;
  const bool sweep = laidOut && RowsInside(block, blockBytes, layout, separate, bitsInput);
  {
    CDIB dib;
    const int attached = dib.AttachDIB(reinterpret_cast<tagBITMAPINFO*>(block), bits, flag);
    TARNUTIL_FUZZ_CHECK(attached == 0 || attached == 1);
    if (attached == 1 && sweep) {
      tarnutil::fuzz::SweepPixels(dib, !separate);
    } else if (attached == 0) {
      TARNUTIL_FUZZ_CHECK(dib.GetPixelIndex(0, 0) == 0xFFFFFFFFu || dib.GetPixelIndex(0, 0) == 0);
    }
    if ((mode & 8) != 0) {
      // A refused header over this bitmap releases it (owned parts
      // included) and leaves no row to read, whatever geometry remains.
      unsigned char refused[td::infoHeaderBytes] = {};
      TARNUTIL_FUZZ_CHECK(dib.AttachDIB(reinterpret_cast<tagBITMAPINFO*>(refused), nullptr, 0) == 0);
      TARNUTIL_FUZZ_CHECK(dib.GetPixelIndex(0, 0) == 0xFFFFFFFFu);
      TARNUTIL_FUZZ_CHECK(dib.SetPixelIndex(0, 0, 0) == 0);
      TARNUTIL_FUZZ_CHECK(dib.GetRGBValue(0, 0) == 0xFFFFFFFFu);
    }
    if ((mode & 4) != 0) dib.ReleaseDIB();
  }
  if ((flag & ownsHeader) == 0) delete[] block;
  if ((flag & ownsBits) == 0) delete[] bits;
  return 0;
}
