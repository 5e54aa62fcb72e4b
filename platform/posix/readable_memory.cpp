// Memory readability test, POSIX back end: asks the kernel to copy the range
// and watches for EFAULT, so no signal handler is involved. The first choice
// is process_vm_readv on our own process; where a sandbox or an emulator
// refuses that call, a write of the range into a pipe answers the same way.
#include "platform/posix/readable_memory.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {
namespace posix {
namespace {

// Bytes copied per call; at most a pipe's smallest capacity, so a write
// into the empty pipe never blocks.
constexpr std::size_t chunkBytes = 4096;

}  // namespace

ReadAnswer ReadThroughKernel(std::uintptr_t first, std::size_t bytes) {
  unsigned char scratch[chunkBytes];
  const pid_t self = getpid();
  while (bytes > 0) {
    const std::size_t ask = bytes < chunkBytes ? bytes : chunkBytes;
    iovec local{scratch, ask};
    iovec remote{reinterpret_cast<void*>(first), ask};
    const ssize_t got = process_vm_readv(self, &local, 1, &remote, 1, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EFAULT) return ReadAnswer::unreadable;
    if (got < 0) return ReadAnswer::unsupported;
    // A partial copy stops at an unreadable page, which the next call
    // reports; a copy of nothing would loop for ever.
    if (got == 0) return ReadAnswer::unreadable;
    first += static_cast<std::size_t>(got);
    bytes -= static_cast<std::size_t>(got);
  }
  return ReadAnswer::readable;
}

ReadAnswer WriteThroughPipe(std::uintptr_t first, std::size_t bytes) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return ReadAnswer::unsupported;
  unsigned char scratch[chunkBytes];
  ReadAnswer answer = ReadAnswer::readable;
  while (bytes > 0) {
    const std::size_t ask = bytes < chunkBytes ? bytes : chunkBytes;
    const ssize_t put = write(ends[1], reinterpret_cast<const void*>(first), ask);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) {
      answer = errno == EFAULT ? ReadAnswer::unreadable : ReadAnswer::unsupported;
      break;
    }
    if (put == 0) {
      answer = ReadAnswer::unreadable;
      break;
    }
    // Drain what went in, so that the pipe is empty for the next chunk.
    std::size_t left = static_cast<std::size_t>(put);
    while (left > 0) {
      const ssize_t got = read(ends[0], scratch, left);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      left -= static_cast<std::size_t>(got);
    }
    if (left > 0) {
      answer = ReadAnswer::unsupported;
      break;
    }
    first += static_cast<std::size_t>(put);
    bytes -= static_cast<std::size_t>(put);
  }
  close(ends[0]);
  close(ends[1]);
  return answer;
}

}  // namespace posix

bool MemoryUnreadable(const void* address, std::size_t bytes) {
  if (bytes == 0) return false;
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(address);
  // A range that wraps past the end of the address space has no readable end.
  if (bytes - 1 > UINTPTR_MAX - first) return true;
  posix::ReadAnswer answer = posix::ReadThroughKernel(first, bytes);
  if (answer == posix::ReadAnswer::unsupported) answer = posix::WriteThroughPipe(first, bytes);
  // With neither way open (no pipe to be had), answer as the read itself
  // would most likely go: memory a caller hands over is normally readable.
  return answer == posix::ReadAnswer::unreadable;
}

}  // namespace platform
}  // namespace tarnutil
