#include "fuzz/bitmap_resource.h"

namespace tarnutil {
namespace fuzz {

// Windows finds resources only in the module's resource section, which the
// replay programs do not have.
bool RegisterSampleBitmap(const wchar_t*, const void*, std::uint32_t) {
  return false;
}

void DropSampleBitmap(const wchar_t*) {}

}  // namespace fuzz
}  // namespace tarnutil
