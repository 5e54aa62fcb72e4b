// Stream handle, POSIX back end: the descriptor behind the stream, carried
// as the handle's value (-1, all bits set, for a stream without one).
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {

void* StreamOsHandle(void* stream) {
  if (stream == nullptr) return nullptr;
  const int descriptor = fileno(static_cast<std::FILE*>(stream));
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(descriptor));
}

}  // namespace platform
}  // namespace tarnutil
