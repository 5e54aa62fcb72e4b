// The two ways the POSIX back end asks the kernel whether memory can be
// read; MemoryUnreadable tries them in this order. Declared for tests.
#ifndef TARNUTIL_PLATFORM_POSIX_READABLE_MEMORY_H
#define TARNUTIL_PLATFORM_POSIX_READABLE_MEMORY_H

#include <cstddef>
#include <cstdint>

namespace tarnutil {
namespace platform {
namespace posix {

enum class ReadAnswer { readable, unreadable, unsupported };

// process_vm_readv from our own process into a scratch buffer; unsupported
// where a sandbox or an emulator refuses the call. bytes must not wrap.
ReadAnswer ReadThroughKernel(std::uintptr_t first, std::size_t bytes);

// A write of the range into a new pipe, drained as it goes; unsupported
// when no pipe can be had.
ReadAnswer WriteThroughPipe(std::uintptr_t first, std::size_t bytes);

}  // namespace posix
}  // namespace platform
}  // namespace tarnutil

#endif  // TARNUTIL_PLATFORM_POSIX_READABLE_MEMORY_H
