// The tool's own bitmap output: a packed 24-bit bitmap for CDIB to draw in,
// and a writer of Windows bitmap files.
#ifndef TARNUTIL_TOOLS_BMP_WRITER_H
#define TARNUTIL_TOOLS_BMP_WRITER_H

#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dibformat/dib_format.h"

namespace tarnutil {
namespace cli {

using tarnutil::detail::fileHeaderBytes;
using tarnutil::detail::infoHeaderBytes;

// Bytes in one 24-bit row of width pixels, padded to a multiple of 4.
std::uint32_t RowBytes24(std::int32_t width);

// A packed bitmap of width by height 24-bit pixels, all black: the 40-byte
// information header, then the rows bottom-up. CDIB::AttachDIB takes it as
// it is; the vector keeps ownership.
std::vector<unsigned char> MakePackedDib24(std::int32_t width, std::int32_t height);

// Writes the pixels of a 24-bit CDIB as a bitmap file: the 14-byte file
// header, the 40-byte information header and the rows bottom-up, each pixel
// read through GetRGBValue. False when the file cannot be written.
bool WriteBmp24(const CDIB& dib, const std::string& path);

}  // namespace cli
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_BMP_WRITER_H
