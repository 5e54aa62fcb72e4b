// Off Windows a program has no resource section: register the bitmap under
// the names that the Windows build compiles in.
#include <tarnutil/platform_types.h>

#include <cstdint>

#include "tests/resources/test_bitmap.h"

namespace tarnutil {
namespace testing {

bool InstallTestBitmapResource() {
  static bool installed = false;
  if (installed) return true;
  const unsigned char* packed = testBitmapFile + testBitmapFileHeaderBytes;
  const std::uint32_t bytes =
      static_cast<std::uint32_t>(testBitmapFileBytes - testBitmapFileHeaderBytes);
  const wchar_t* id = reinterpret_cast<const wchar_t*>(static_cast<std::uintptr_t>(testBitmapId));
  installed = RegisterBitmapResource(nullptr, L"TESTBMP", packed, bytes) == 1 &&
              RegisterBitmapResource(nullptr, id, packed, bytes) == 1;
  return installed;
}

}  // namespace testing
}  // namespace tarnutil
