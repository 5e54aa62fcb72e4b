#include "tools/bmp_writer.h"

#include <filesystem>
#include <fstream>

#include "dibformat/dib_format.h"

namespace tarnutil {
namespace cli {

namespace {

namespace format = tarnutil::detail;

constexpr std::uint16_t bitsPerPixel = 24;
constexpr std::uint32_t bytesPerPixel = 3;
// 2835 pixels per metre is 72 dots per inch, what viewers assume anyway.
constexpr std::int32_t pixelsPerMetre = 2835;

void Put16(std::vector<unsigned char>& out, std::uint16_t v) {
  unsigned char field[2];
  format::StoreLe16(field, v);
  out.insert(out.end(), field, field + sizeof field);
}

void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
  unsigned char field[4];
  format::StoreLe32(field, v);
  out.insert(out.end(), field, field + sizeof field);
}

// The 40-byte information header of an uncompressed 24-bit bitmap with
// bottom-up rows (positive height), its fields in the order of their
// offsets.
void PutInfoHeader(std::vector<unsigned char>& out, std::int32_t width, std::int32_t height) {
  const std::uint32_t imageBytes = RowBytes24(width) * static_cast<std::uint32_t>(height);
  Put32(out, infoHeaderBytes);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);  // planes
  Put16(out, bitsPerPixel);
  Put32(out, format::compressionNone);
  Put32(out, imageBytes);
  Put32(out, static_cast<std::uint32_t>(pixelsPerMetre));
  Put32(out, static_cast<std::uint32_t>(pixelsPerMetre));
  Put32(out, 0);  // no colour table
  Put32(out, 0);
}

}  // namespace

std::uint32_t RowBytes24(std::int32_t width) {
  return (static_cast<std::uint32_t>(width) * bytesPerPixel + 3u) / 4u * 4u;
}

std::vector<unsigned char> MakePackedDib24(std::int32_t width, std::int32_t height) {
  std::vector<unsigned char> block;
  PutInfoHeader(block, width, height);
  block.resize(infoHeaderBytes + RowBytes24(width) * static_cast<std::uint32_t>(height), 0);
  return block;
}

bool WriteBmp24(const CDIB& dib, const std::string& path) {
  const std::int32_t width = dib.GetWidth();
  const std::int32_t height = dib.GetHeight();
  const std::uint32_t rowBytes = RowBytes24(width);
  const std::uint32_t pixelOffset = fileHeaderBytes + infoHeaderBytes;
  const std::uint32_t fileBytes = pixelOffset + rowBytes * static_cast<std::uint32_t>(height);

  std::vector<unsigned char> bytes;
  bytes.reserve(fileBytes);
  Put16(bytes, format::fileSignature);
  Put32(bytes, fileBytes);
  Put32(bytes, 0);  // two reserved words
  Put32(bytes, pixelOffset);
  PutInfoHeader(bytes, width, height);
  for (std::int32_t y = height - 1; y >= 0; --y) {
    const std::size_t rowStart = bytes.size();
    for (std::int32_t x = 0; x < width; ++x) {
      // A 24-bit pixel reads back as its bytes: blue low, red high.
      const std::uint32_t c = dib.GetRGBValue(x, y);
      bytes.push_back(static_cast<unsigned char>(c & 0xFFu));
      bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFFu));
      bytes.push_back(static_cast<unsigned char>((c >> 16) & 0xFFu));
    }
    bytes.resize(rowStart + rowBytes, 0);
  }

  std::ofstream out(std::filesystem::u8path(path),
                    std::ios::out | std::ios::binary | std::ios::trunc);
  if (!out) {
    return false;
  }
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace cli
}  // namespace tarnutil
