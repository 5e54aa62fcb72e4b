// The POSIX resource registry's one call beyond the seam, for programs that
// register and drop bitmaps over and over (the load fuzzer). Not exported.
#ifndef TARNUTIL_PLATFORM_POSIX_RESOURCE_REGISTRY_H
#define TARNUTIL_PLATFORM_POSIX_RESOURCE_REGISTRY_H

#include "platform/platform_types.h"

namespace tarnutil {
namespace platform {
namespace posix {

// Removes the newest registration of name in module and releases its bytes:
// the registration an older one of the same name shadowed is found again.
// False when none is registered. No bitmap may still use the bytes.
bool DropBitmapResource(HINSTANCE__* module, const wchar_t* name);

}  // namespace posix
}  // namespace platform
}  // namespace tarnutil

#endif  // TARNUTIL_PLATFORM_POSIX_RESOURCE_REGISTRY_H
