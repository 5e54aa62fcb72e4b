// bmp: what CDIB reads from a bitmap file.
#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "tools/cli_support.h"
#include "tools/commands.h"
#include "tools/tool_platform.h"

namespace tarnutil {
namespace cli {

namespace {

const char bmpFooter[] =
    "info   prints the width, height and depth (bits per pixel), the pixel format\n"
    "       and row order, and the compression of each Windows bitmap file ('-'\n"
    "       reads standard input), or why the library refuses it.\n"
    "pixel  prints the pixel at column X and row Y (row 0 at the top) as red,\n"
    "       green and blue from 0 to 255; with --raw, its index (the colour-table\n"
    "       index, or the value reduced to 5-6-5 for 16, 24 and 32 bits) and its\n"
    "       colour value, both in hexadecimal, as the library reads them.";

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
bool LoadPath(CDIB& dib, const std::string& path, const std::string& shown) {
  const std::wstring wide = WidePath(path);
  if (wide.empty()) {
    std::cerr << "tarnutil bmp: cannot read " << shown
              << " as a bitmap: its name is not valid text\n";
    return false;
  }
  const int loaded = dib.LoadFile(wide.c_str());
  if (loaded != 1) {
    const char* why = "";
    DIBRefusalReason(wide.c_str(), nullptr, 0, &why);
    std::cerr << "tarnutil bmp: cannot read " << shown << " as a bitmap: " << why << "\n";
  }
  return loaded == 1;
}

// Standard input goes through a scratch copy, as the library reads files by
// name only.
bool Load(CDIB& dib, const std::string& path) {
  if (path != "-") {
    return LoadPath(dib, path, path);
  }
  std::error_code ec;
  std::random_device seed;
  const std::filesystem::path scratch = std::filesystem::temp_directory_path(ec) /
                                        ("tarnutil-stdin-" + std::to_string(seed()) + ".bmp");
  const std::string name = scratch.u8string();
  std::FILE* copy = ec ? nullptr : OpenFileForWriting(name);
  if (copy == nullptr) {
    std::cerr << "tarnutil bmp: cannot keep standard input for reading\n";
    return false;
  }
  std::vector<char> buffer(1 << 16);
  bool ok = true;
  while (std::cin.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
         std::cin.gcount() > 0) {
    const std::size_t got = static_cast<std::size_t>(std::cin.gcount());
    ok = ok && std::fwrite(buffer.data(), 1, got, copy) == got;
  }
  ok = std::fclose(copy) == 0 && ok;
  const bool loaded = ok && LoadPath(dib, name, "standard input");
  if (!ok) {
    std::cerr << "tarnutil bmp: cannot keep standard input for reading\n";
  }
  std::filesystem::remove(scratch, ec);
  return loaded;
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
  Print("width: " + std::to_string(dib.GetWidth()) + "\n" + "height: " +
        std::to_string(dib.GetHeight()) + "\n" + "depth: " + std::to_string(dib.GetDepth()) + "\n" +
        "format: " + FormatName(dib, headerSize, compression, colorsUsed) + ", " +
        (topDown ? "top-down" : "bottom-up") + " rows\n" +
        "compression: " + CompressionName(compression) + "\n");
  return exitOk;
}

// One channel of a packed pixel value scaled to 0..255, rounded.
unsigned Channel(std::uint32_t value, std::uint32_t mask) {
  if (mask == 0) {
    return 0;
  }
  int shift = 0;
  while (((mask >> shift) & 1u) == 0) {
    ++shift;
  }
  const std::uint32_t top = mask >> shift;
  const std::uint32_t level = (value & mask) >> shift;
  return static_cast<unsigned>((level * 255u + top / 2) / top);
}

// The colour value GetRGBValue gives, as red, green and blue from 0 to 255:
// red in the low byte for colour tables, 0xRRGGBB for 24 bits, the 16-bit
// value under the file's masks (5-5-5 without), 5-6-5 for 32 bits.
std::string RedGreenBlue(const CDIB& dib, std::uint32_t value) {
  std::uint32_t masks[3] = {0xFFu, 0xFF00u, 0xFF0000u};
  const tagBITMAPINFOHEADER& header = dib.GetBMI()->bmiHeader;
  const int depth = dib.GetDepth();
  if (depth == 24) {
    masks[0] = 0xFF0000u;
    masks[2] = 0xFFu;
  } else if (depth == 32) {
    masks[0] = 0xF800u;
    masks[1] = 0x7E0u;
    masks[2] = 0x1Fu;
  } else if (depth == 16) {
    masks[0] = 0x7C00u;
    masks[1] = 0x3E0u;
    masks[2] = 0x1Fu;
    if (static_cast<std::uint32_t>(header.biSize) >= infoHeaderBytes &&
        static_cast<std::uint32_t>(header.biCompression) == compressionBitFields) {
      std::memcpy(masks, reinterpret_cast<const unsigned char*>(dib.GetBMI()) + infoHeaderBytes,
                  sizeof masks);
    }
  }
  return std::to_string(Channel(value, masks[0])) + " " + std::to_string(Channel(value, masks[1])) +
         " " + std::to_string(Channel(value, masks[2]));
}

int Pixel(const std::string& path, std::int32_t x, std::int32_t y, bool raw) {
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
  Print(raw ? "index " + Hex(index) + " rgb " + Hex(rgb) + "\n" : RedGreenBlue(dib, rgb) + "\n");
  return exitOk;
}

}  // namespace

struct BmpOptions {
  std::vector<std::string> files;
  std::string file;
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool raw = false;
};

Command DeclareBmp(CLI::App& sub) {
  auto options = std::make_shared<BmpOptions>();
  sub.footer(bmpFooter);
  sub.require_subcommand(1);
  CLI::App* info = sub.add_subcommand("info", "facts of bitmap files");
  info->set_help_flag("-h,--help", "print this help and exit");
  info->add_option("files", options->files, "bitmap files; '-' reads standard input")
      ->type_name("FILE")
      ->required();
  CLI::App* pixel = sub.add_subcommand("pixel", "one pixel of a bitmap file");
  pixel->set_help_flag("-h,--help", "print this help and exit");
  pixel->add_option("file", options->file, "the bitmap file")->type_name("FILE")->required();
  pixel->add_option("x", options->x, "column, 0 at the left")
      ->type_name("X")
      ->required()
      ->check(Int32Check());
  pixel->add_option("y", options->y, "row, 0 at the top")
      ->type_name("Y")
      ->required()
      ->check(Int32Check());
  pixel->add_flag("--raw", options->raw,
                  "print the library's index and colour value in hexadecimal instead");
  Command command;
  command.operands = &options->files;
  command.run = [options, info]() -> int {
    if (info->parsed()) {
      int status = exitOk;
      for (const std::string& file : options->files) {
        if (options->files.size() > 1) {
          Print(file + ":\n");
        }
        if (Info(file) != exitOk) {
          status = exitBadInput;
        }
      }
      return status;
    }
    return Pixel(options->file, options->x, options->y, options->raw);
  };
  return command;
}

}  // namespace cli
}  // namespace tarnutil
