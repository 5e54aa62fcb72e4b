// A bitmap file through CDIB::LoadFile: the input is written to a temporary
// file; a loaded bitmap is swept pixel by pixel, then loaded over.
#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "fuzz/dib_sweep.h"
#include "fuzz/fuzz_input.h"

namespace {

// Removes the file when the program ends.
struct ScratchFile {
  std::filesystem::path path;
  std::wstring wide;
  ScratchFile() {
    std::error_code ec;
    // The address of this object tells concurrent runs apart.
    path = std::filesystem::temp_directory_path(ec) /
           ("tarnutil_dib_load_fuzz_" +
            std::to_string(reinterpret_cast<std::uintptr_t>(this) & 0xFFFFFFu) + ".bmp");
    wide = path.wstring();
  }
  ~ScratchFile() {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ScratchFile scratch;
  {
    std::ofstream out(scratch.path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    TARNUTIL_FUZZ_CHECK(out.good());
  }
  CDIB dib;
  const int loaded = dib.LoadFile(scratch.wide.c_str());
  TARNUTIL_FUZZ_CHECK(loaded == 0 || loaded == 1);
  if (loaded == 0) {
    // A refused file leaves the object empty.
    TARNUTIL_FUZZ_CHECK(dib.GetBMI() == nullptr);
    TARNUTIL_FUZZ_CHECK(dib.GetPixelIndex(0, 0) == 0xFFFFFFFFu);
    return 0;
  }
  TARNUTIL_FUZZ_CHECK(dib.GetWidth() > 0 && dib.GetHeight() > 0);
  tarnutil::fuzz::SweepPixels(dib);
  // A second load over a loaded bitmap releases the first block.
  TARNUTIL_FUZZ_CHECK(dib.LoadFile(scratch.wide.c_str()) == 1);
  tarnutil::fuzz::SweepPixels(dib);
  return 0;
}
