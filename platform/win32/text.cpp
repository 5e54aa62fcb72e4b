// Text conversion, Win32 back end: MultiByteToWideChar from the system code
// page (CP_ACP, code page 0) with no flags, the text's own terminator
// included.
#include <windows.h>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {

static_assert(CP_ACP == 0, "code page 0 is the system default");

int NarrowToWide(const char* text, wchar_t* buffer, int bufferChars) {
  if (text == nullptr) return 0;
  // A length of -1 converts up to and including the terminator.
  return MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, bufferChars);
}

}  // namespace platform
}  // namespace tarnutil
