// Threads, Win32 back end. Windows does not say whether a process ever
// started a second thread (the loader itself starts some), so callers always
// take their locked paths; and there is no fork.
#include "platform/platform.h"

namespace tarnutil {
namespace platform {
namespace {

const char neverSingleThreaded = 0;

}  // namespace

const char* const singleThreadedFlag = &neverSingleThreaded;

bool AtFork(void (*)(), void (*)(), void (*)()) {
  return true;
}

}  // namespace platform
}  // namespace tarnutil
