// A bitmap file through CDIB::LoadFile: the input is written to a temporary
// file; a loaded bitmap is swept pixel by pixel, then loaded over, by the
// file again and by a bitmap resource (never owned), and back. The input
// after its file header is also registered as a resource of its own
// (where the platform lets a program register one), loaded, swept and
// dropped again. Either load agrees with DIBRefusalReason.
#include <tarnutil/tarnutil.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "dibformat/dib_format.h"
#include "fuzz/bitmap_resource.h"
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

constexpr wchar_t sampleName[] = L"TARNUTIL_FUZZ_SAMPLE";
constexpr wchar_t inputName[] = L"TARNUTIL_FUZZ_INPUT";
constexpr int resourceFlag = 10;
constexpr int ownsHeader = 1;
constexpr std::size_t fileHeaderBytes = 14;
constexpr int tallRows = 1 << 16;

// A 2 x 2 bitmap of 8 bits with the 12-byte header and its 3-byte color
// entries: index i is grey level i.
std::array<unsigned char, 12 + 3 * 256 + 8> SampleBitmap() {
  std::array<unsigned char, 12 + 3 * 256 + 8> b{};
  b[0] = 12;  // header bytes
  b[4] = 2;   // width
  b[6] = 2;   // height
  b[8] = 1;   // planes
  b[10] = 8;  // bits per pixel
  for (std::size_t i = 0; i < 256; ++i) {
    for (std::size_t c = 0; c < 3; ++c) b[12 + 3 * i + c] = static_cast<unsigned char>(i);
  }
  const unsigned char pixels[8] = {0, 1, 0, 0, 254, 255, 0, 0};  // rows of 4 bytes
  for (std::size_t i = 0; i < 8; ++i) b[12 + 3 * 256 + i] = pixels[i];
  return b;
}

bool RegisterSample() {
  static const std::array<unsigned char, 12 + 3 * 256 + 8> sample = SampleBitmap();
  return tarnutil::fuzz::RegisterSampleBitmap(sampleName, sample.data(),
                                              static_cast<std::uint32_t>(sample.size()));
}

// The resource replaces whatever the object held and leaves it loaded from
// the resource; a missing name changes nothing.
void LoadResourceOver(CDIB& dib, bool registered) {
  tagBITMAPINFO* const before = dib.GetBMI();
  TARNUTIL_FUZZ_CHECK(dib.LoadBitmapW(nullptr, L"TARNUTIL_FUZZ_MISSING") == 0);
  TARNUTIL_FUZZ_CHECK(dib.GetBMI() == before);
  if (!registered) return;
  TARNUTIL_FUZZ_CHECK(dib.LoadBitmapW(nullptr, sampleName) == 1);
  TARNUTIL_FUZZ_CHECK(dib.GetFlag() == resourceFlag);
  // Bottom-up rows: the top row holds the second stored row.
  TARNUTIL_FUZZ_CHECK(dib.GetRGBValue(0, 0) == 0xFEFEFEu && dib.GetRGBValue(1, 1) == 0x010101u);
  tarnutil::fuzz::SweepPixels(dib, true);
}

// True when the header at header, of which headerRoom bytes exist, claims
// more than tallRows rows.
bool ClaimsTallRows(const unsigned char* header, std::size_t headerRoom) {
  namespace td = tarnutil::detail;
  if (headerRoom < 4) return false;
  const std::uint32_t sizeWord = td::LoadLe32(header);
  if (!td::KnownHeaderBytes(sizeWord) || headerRoom < sizeWord ||
      headerRoom < td::HeaderSpan(header)) {
    return false;
  }
  td::DibLayout layout{};
  return td::ParseDibHeader(header, &layout) == td::DibLayoutStatus::ok &&
         layout.height > tallRows;
}

// The input's block (after a file header, when it has one) as a resource:
// it loads exactly when the block passes the checks, never owned unless
// presented anew from a longer header.
void LoadInputAsResource(const std::uint8_t* data, std::size_t size) {
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    const std::size_t skip = size < fileHeaderBytes ? size : fileHeaderBytes;
    data += skip;
    size -= skip;
  }
  const std::uint32_t bytes = static_cast<std::uint32_t>(size);
  if (bytes == 0 || ClaimsTallRows(data, size) ||
      !tarnutil::fuzz::RegisterSampleBitmap(inputName, data, bytes)) return;
  const int reason = DIBRefusalReason(nullptr, data, bytes, nullptr);
  {
    CDIB dib;
    const int loaded = dib.LoadBitmapW(nullptr, inputName);
    TARNUTIL_FUZZ_CHECK(loaded == (reason == 0 ? 1 : 0));
    if (loaded == 1) {
      TARNUTIL_FUZZ_CHECK((dib.GetFlag() & ~ownsHeader) == resourceFlag);
      tarnutil::fuzz::SweepPixels(dib, true);
    }
  }
  tarnutil::fuzz::DropSampleBitmap(inputName);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ScratchFile scratch;
  {
    std::ofstream out(scratch.path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    TARNUTIL_FUZZ_CHECK(out.good());
  }
  static const bool registered = RegisterSample();
  static const std::wstring missing = scratch.wide + L".missing";
  // A run-length bitmap may claim millions of rows in a few bytes, and each
  // load builds their table: such a file is only examined, which builds
  // none (the unit tests load tall ones).
  if (size > fileHeaderBytes && ClaimsTallRows(data + fileHeaderBytes, size - fileHeaderBytes)) {
    const int reason = DIBRefusalReason(scratch.wide.c_str(), nullptr, 0, nullptr);
    TARNUTIL_FUZZ_CHECK(reason >= 0 && reason <= tarnutilDibNoRows);
    return 0;
  }
  CDIB dib;
  // Neither a null path nor a file that is not there loads anything.
  TARNUTIL_FUZZ_CHECK(dib.LoadFile(nullptr) == 0 && dib.LoadFile(missing.c_str()) == 0);
  const int loaded = dib.LoadFile(scratch.wide.c_str());
  TARNUTIL_FUZZ_CHECK(loaded == 0 || loaded == 1);
  TARNUTIL_FUZZ_CHECK(loaded == (DIBRefusalReason(scratch.wide.c_str(), nullptr, 0, nullptr) == 0));
  LoadInputAsResource(data, size);
  if (loaded == 0) {
    // A refused file leaves the object empty.
    TARNUTIL_FUZZ_CHECK(dib.GetBMI() == nullptr);
    TARNUTIL_FUZZ_CHECK(dib.GetPixelIndex(0, 0) == 0xFFFFFFFFu);
    TARNUTIL_FUZZ_CHECK(dib.GetDIBPatternBrush(0) == nullptr);
    LoadResourceOver(dib, registered);
    return 0;
  }
  TARNUTIL_FUZZ_CHECK(dib.GetWidth() > 0 && dib.GetHeight() > 0);
  tarnutil::fuzz::SweepPixels(dib, true);
  // A second load over a loaded bitmap releases the first block.
  TARNUTIL_FUZZ_CHECK(dib.LoadFile(scratch.wide.c_str()) == 1);
  tarnutil::fuzz::SweepPixels(dib, true);
  LoadResourceOver(dib, registered);
  // A file over the resource, which is left alone.
  TARNUTIL_FUZZ_CHECK(dib.LoadFile(scratch.wide.c_str()) == 1);
  return 0;
}
