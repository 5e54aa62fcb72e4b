// Stream handle, Win32 back end: the C runtime's handle for the stream's
// descriptor.
#include <io.h>
#include <stdio.h>

#include <cstdint>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {

void* StreamOsHandle(void* stream) {
  if (stream == nullptr) return nullptr;
  const intptr_t handle = _get_osfhandle(_fileno(static_cast<FILE*>(stream)));
  return reinterpret_cast<void*>(handle);
}

}  // namespace platform
}  // namespace tarnutil
