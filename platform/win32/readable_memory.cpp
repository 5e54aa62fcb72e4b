// Memory readability test, Win32 back end: VirtualQuery over the range.
// IsBadReadPtr would touch the pages and swallow the guard-page exception
// that another thread's stack needs to grow; asking for the pages' state
// touches nothing.
#include <windows.h>

#include <cstdint>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {
namespace {

// Protections under which a committed page can be read.
constexpr DWORD readableProtections = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                      PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                                      PAGE_EXECUTE_WRITECOPY;

}  // namespace

bool MemoryUnreadable(const void* address, std::size_t bytes) {
  if (bytes == 0) return false;
  std::uintptr_t at = reinterpret_cast<std::uintptr_t>(address);
  // A range that wraps past the end of the address space has no readable end.
  if (bytes - 1 > UINTPTR_MAX - at) return true;
  const std::uintptr_t last = at + (bytes - 1);
  for (;;) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == 0) return true;
    if (region.State != MEM_COMMIT || (region.Protect & PAGE_GUARD) != 0 ||
        (region.Protect & readableProtections) == 0) {
      return true;
    }
    const std::uintptr_t regionEnd =
        reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
    // The region reaches the range's last byte, or the end of the space.
    if (regionEnd == 0 || regionEnd - 1 >= last) return false;
    at = regionEnd;
  }
}

}  // namespace platform
}  // namespace tarnutil
