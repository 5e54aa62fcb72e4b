// File search, Win32 back end: FindFirstFileW and FindClose.
#include <windows.h>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {

FindHandle FindInvalid() {
  return INVALID_HANDLE_VALUE;
}

FindHandle FindFirst(const wchar_t* path, _WIN32_FIND_DATAW* data) {
  if (path == nullptr || data == nullptr) return FindInvalid();
  return FindFirstFileW(path, data);
}

void FindEnd(FindHandle search) {
  if (search == nullptr || search == FindInvalid()) return;
  FindClose(static_cast<HANDLE>(search));
}

}  // namespace platform
}  // namespace tarnutil
