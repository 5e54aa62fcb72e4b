// Runtime heap, POSIX back end: the C runtime's malloc and free, with the
// test hooks in front.
#include <cstdlib>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {
namespace {

HeapHooks heapHooks{};

}  // namespace

void* HeapAllocate(std::size_t bytes) {
  if (heapHooks.failNext != 0) {
    if (heapHooks.passFirst != 0) {
      --heapHooks.passFirst;
    } else {
      --heapHooks.failNext;
      return nullptr;
    }
  }
  void* block = std::malloc(bytes);
  if (block != nullptr && heapHooks.counting) ++heapHooks.allocations;
  return block;
}

void HeapRelease(void* block) {
  if (block == nullptr) return;
  if (heapHooks.counting) ++heapHooks.releases;
  std::free(block);
}

HeapHooks* HeapTestHooks() {
  return &heapHooks;
}

}  // namespace platform
}  // namespace tarnutil
