// Memory readability test, Win32 back end: IsBadReadPtr.
#include <windows.h>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {

bool MemoryUnreadable(const void* address, std::size_t bytes) {
  return IsBadReadPtr(address, static_cast<UINT_PTR>(bytes)) != 0;
}

}  // namespace platform
}  // namespace tarnutil
