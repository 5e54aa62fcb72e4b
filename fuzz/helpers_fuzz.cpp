// Text helpers on arbitrary bytes: StrHextoDeci against a digit-by-digit
// model, AssicToUnicode (the result must be a terminated wide text), and
// GetStatus on arbitrary wide paths under a temporary directory holding a
// few entries.
#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/fuzz_input.h"

namespace {

std::uint32_t HexModel(const char* text) {
  std::uint32_t value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    const char c = *p;
    std::uint32_t digit = 0;
    if (c >= '0' && c <= '9') digit = static_cast<std::uint32_t>(c - '0');
    if (c >= 'a' && c <= 'f') digit = static_cast<std::uint32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') digit = static_cast<std::uint32_t>(c - 'A' + 10);
    value = value * 16u + digit;
  }
  return value;
}

// Removes the directory when the program ends.
struct ScratchDir {
  std::filesystem::path path;
  ScratchDir() {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    // The address of this object tells concurrent runs apart.
    path = base / ("tarnutil_helpers_fuzz_" +
                   std::to_string(reinterpret_cast<std::uintptr_t>(this) & 0xFFFFFFu));
    std::filesystem::create_directories(path / "sub dir", ec);
    for (const char* name : {"a.txt", "b.bmp", "ab", "sub dir/c.txt"}) {
      std::ofstream(path / name) << name;
    }
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

// Path characters that mean something to a search, then ordinary letters.
constexpr wchar_t pathAlphabet[] = L"*?./\\ab c.txtbmp:~\u00e9\u4e2d";

std::wstring PathTail(tarnutil::fuzz::FuzzInput& in, std::size_t length) {
  std::wstring tail;
  constexpr std::size_t alphabetSize = sizeof pathAlphabet / sizeof pathAlphabet[0] - 1;
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t b = in.U8();
    if (b < 0xF0) {
      tail.push_back(pathAlphabet[b % alphabetSize]);
    } else {
      // Any 16-bit unit but the terminator, surrogates included.
      const std::uint16_t unit = in.U16();
      tail.push_back(static_cast<wchar_t>(unit == 0 ? 1 : unit));
    }
  }
  return tail;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ScratchDir scratch;
  tarnutil::fuzz::FuzzInput in(data, size);
  const std::uint8_t mode = in.U8();

  // The rest of the input as a terminated narrow text.
  std::vector<char> text(in.Rest(), in.Rest() + in.Remaining());
  text.push_back('\0');

  switch (mode % 3) {
    case 0:
      TARNUTIL_FUZZ_CHECK(StrHextoDeci(text.data()) == HexModel(text.data()));
      break;
    case 1: {
      wchar_t* wide = nullptr;
      AssicToUnicode(text.data(), wide);
      TARNUTIL_FUZZ_CHECK(wide != nullptr);
      TARNUTIL_FUZZ_CHECK(std::wcslen(wide) <= text.size());
      std::free(wide);
      wchar_t* untouched = nullptr;
      AssicToUnicode(nullptr, untouched);
      TARNUTIL_FUZZ_CHECK(untouched == nullptr);
      break;
    }
    default: {
      // Long tails reach past the 260-character name field.
      const std::size_t length = (mode & 0x80) != 0 ? in.U16() % 700u : in.U8() % 40u;
      std::wstring path = scratch.path.wstring();
      if ((mode & 0x40) == 0) path.push_back(L'/');
      path += PathTail(in, length);
      _WIN32_FIND_DATAW found;
      std::memset(&found, 0xA5, sizeof found);
      const int status = GetStatus(&path[0], found);
      TARNUTIL_FUZZ_CHECK(status == 0 || status == 1);
      if (status == 1) {
        const std::size_t nameCapacity = sizeof found.cFileName / sizeof found.cFileName[0];
        std::size_t n = 0;
        while (n < nameCapacity && found.cFileName[n] != L'\0') ++n;
        TARNUTIL_FUZZ_CHECK(n < nameCapacity);
      }
      break;
    }
  }
  return 0;
}
