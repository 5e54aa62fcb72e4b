// Runtime heap, Win32 back end: the C runtime's malloc and free.
#include <cstdlib>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {

void* HeapAllocate(std::size_t bytes) {
  return std::malloc(bytes);
}

void HeapRelease(void* block) {
  std::free(block);
}

HeapHooks* HeapTestHooks() {
  return nullptr;
}

}  // namespace platform
}  // namespace tarnutil
