// bmp: what CDIB reads from a bitmap file.
#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/commands.h"

namespace tarnutil {
namespace cli {

namespace {

const char bmpHelp[] =
    "usage: tarnutil bmp info FILE\n"
    "       tarnutil bmp pixel FILE X Y\n"
    "\n"
    "info   prints the width, height and depth (bits per pixel), the pixel format\n"
    "       and row order, and the compression of a Windows bitmap file.\n"
    "pixel  prints the pixel at column X and row Y (row 0 at the top): its index\n"
    "       (the colour-table index, or the value reduced to 5-6-5 for 16, 24 and\n"
    "       32 bits) and its colour value, both in hexadecimal, as the library\n"
    "       reads them. For 24-bit pixels the colour value is 0xRRGGBB.\n";

// The information header's size; bit-field masks follow it.
constexpr std::size_t infoHeaderBytes = 40;
constexpr std::uint32_t compressionBitFields = 3;
// What the pixel readers give for a position outside the bitmap.
constexpr std::uint32_t pixelOutside = 0xFFFFFFFF;

const char* CompressionName(std::uint32_t compression) {
  switch (compression) {
    case 0:
      return "none";
    case 1:
      return "run-length 8-bit";
    case 2:
      return "run-length 4-bit";
    case compressionBitFields:
      return "bit fields";
    default:
      return "unknown";
  }
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
  return text;
}

// Pixel layout in words: colour count for indexed pixels, channel order or
// masks for the others.
std::string FormatName(const CDIB& dib, std::uint32_t headerSize, std::uint32_t compression,
                       std::uint32_t colorsUsed) {
  const int depth = dib.GetDepth();
  if (depth <= 8) {
    const std::uint32_t colors = colorsUsed != 0 ? colorsUsed : (1u << depth);
    return "indexed, " + std::to_string(colors) + " colours";
  }
  if (headerSize == infoHeaderBytes && compression == compressionBitFields) {
    std::uint32_t masks[3];
    std::memcpy(masks, reinterpret_cast<const unsigned char*>(dib.GetBMI()) + infoHeaderBytes,
                sizeof masks);
    return "masks red " + Hex(masks[0]) + " green " + Hex(masks[1]) + " blue " + Hex(masks[2]);
  }
  switch (depth) {
    case 16:
      return "5-5-5";
    case 24:
      return "blue, green, red";
    case 32:
      return "blue, green, red, unused";
    default:
      return "unknown";
  }
}

// Loads path through CDIB::LoadFile, which takes a wide path; on failure
// says why the library refuses the file.
bool Load(CDIB& dib, const std::string& path) {
  wchar_t* wide = nullptr;
  AssicToUnicode(path.c_str(), wide);
  if (wide == nullptr) {
    std::cerr << "tarnutil bmp: cannot read " << path << " as a bitmap\n";
    return false;
  }
  const int loaded = dib.LoadFile(wide);
  if (loaded != 1) {
    const char* why = "";
    DIBRefusalReason(wide, nullptr, 0, &why);
    std::cerr << "tarnutil bmp: cannot read " << path << " as a bitmap: " << why << "\n";
  }
  std::free(wide);
  return loaded == 1;
}

int Info(const std::string& path) {
  CDIB dib;
  if (!Load(dib, path)) {
    return exitBadInput;
  }
  const tagBITMAPINFOHEADER& header = dib.GetBMI()->bmiHeader;
  const std::uint32_t headerSize = static_cast<std::uint32_t>(header.biSize);
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  bool topDown = false;
  // A 12-byte core header has no such fields and always bottom-up rows.
  if (headerSize == infoHeaderBytes) {
    compression = static_cast<std::uint32_t>(header.biCompression);
    colorsUsed = static_cast<std::uint32_t>(header.biClrUsed);
    topDown = static_cast<std::int32_t>(header.biHeight) < 0;
  }
  Print("width: " + std::to_string(dib.GetWidth()) + "\n" +
        "height: " + std::to_string(dib.GetHeight()) + "\n" +
        "depth: " + std::to_string(dib.GetDepth()) + "\n" +
        "format: " + FormatName(dib, headerSize, compression, colorsUsed) + ", " +
        (topDown ? "top-down" : "bottom-up") + " rows\n" +
        "compression: " + CompressionName(compression) + "\n");
  return exitOk;
}

int Pixel(OptionReader& reader, const std::string& path, const std::string& xText,
          const std::string& yText) {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::string why;
  if (!ParseInt32(xText, x, why) || !ParseInt32(yText, y, why)) {
    return reader.Usage(why);
  }
  CDIB dib;
  if (!Load(dib, path)) {
    return exitBadInput;
  }
  const std::uint32_t index = dib.GetPixelIndex(x, y);
  const std::uint32_t rgb = dib.GetRGBValue(x, y);
  if (index == pixelOutside) {
    std::cerr << "tarnutil bmp: (" << x << ", " << y << ") lies outside the " << dib.GetWidth()
              << " by " << dib.GetHeight() << " bitmap\n";
    return exitBadInput;
  }
  Print("index " + Hex(index) + " rgb " + Hex(rgb) + "\n");
  return exitOk;
}

}  // namespace

int RunBmp(const std::vector<std::string>& args) {
  OptionReader reader("bmp", args);
  std::vector<std::string> operands;
  while (reader.Next()) {
    if (reader.Is("-h", "--help")) {
      std::fputs(bmpHelp, stdout);
      return exitOk;
    }
    if (reader.IsOperand()) {
      operands.push_back(reader.Current());
    } else {
      return reader.Unknown();
    }
  }
  if (operands.empty()) {
    return reader.Usage("name an action: info or pixel");
  }
  if (operands[0] == "info") {
    if (operands.size() != 2) {
      return reader.Usage("info takes one FILE");
    }
    return Info(operands[1]);
  }
  if (operands[0] == "pixel") {
    if (operands.size() != 4) {
      return reader.Usage("pixel takes FILE X Y");
    }
    return Pixel(reader, operands[1], operands[2], operands[3]);
  }
  return reader.Usage("unknown action '" + operands[0] + "' (info or pixel)");
}

}  // namespace cli
}  // namespace tarnutil
