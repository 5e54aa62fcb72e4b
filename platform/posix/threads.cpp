// Threads, POSIX back end: glibc's single-thread flag and pthread_atfork.
#include <pthread.h>

#include "platform/platform.h"

#if __has_include(<sys/single_threaded.h>)
#include <sys/single_threaded.h>
#define TARNUTIL_HAVE_LIBC_SINGLE_THREADED 1
#endif

namespace tarnutil {
namespace platform {
namespace {

#if !defined(TARNUTIL_HAVE_LIBC_SINGLE_THREADED)
// A C library that does not say whether threads were started: always
// assume they were.
const char neverSingleThreaded = 0;
#endif

}  // namespace

// glibc clears its flag when the first thread is created. An address
// constant, so it is in place before any static constructor could call the
// allocators.
#if defined(TARNUTIL_HAVE_LIBC_SINGLE_THREADED)
const char* const singleThreadedFlag = &__libc_single_threaded;
#else
const char* const singleThreadedFlag = &neverSingleThreaded;
#endif

bool AtFork(void (*prepare)(), void (*parent)(), void (*child)()) {
  return pthread_atfork(prepare, parent, child) == 0;
}

}  // namespace platform
}  // namespace tarnutil
