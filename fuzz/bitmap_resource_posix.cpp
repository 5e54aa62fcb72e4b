#include "fuzz/bitmap_resource.h"

namespace tarnutil {
namespace fuzz {

bool RegisterSampleBitmap(const wchar_t* name, const void* packedDib, std::uint32_t bytes) {
  return ::RegisterBitmapResource(nullptr, name, packedDib, bytes) == 1;
}

}  // namespace fuzz
}  // namespace tarnutil
