#include "fuzz/bitmap_resource.h"

#include "platform/posix/resource_registry.h"

namespace tarnutil {
namespace fuzz {

bool RegisterSampleBitmap(const wchar_t* name, const void* packedDib, std::uint32_t bytes) {
  return ::RegisterBitmapResource(nullptr, name, packedDib, bytes) == 1;
}

void DropSampleBitmap(const wchar_t* name) {
  tarnutil::platform::posix::DropBitmapResource(nullptr, name);
}

}  // namespace fuzz
}  // namespace tarnutil
