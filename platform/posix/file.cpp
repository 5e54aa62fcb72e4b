// File read, POSIX back end: open, read, fstat and close on a descriptor,
// which the handle carries as its value. Wide paths are converted to the
// multibyte form of the current locale, the file system's view of names.

// 64-bit offsets, inode numbers and sizes on 32-bit targets too: without
// them readdir and fstat fail with EOVERFLOW on large file systems.
#define _FILE_OFFSET_BITS 64

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/platform.h"
#include "platform/posix/text.h"

namespace tarnutil {
namespace platform {
namespace {

// Larger reads are split: read() moves at most SSIZE_MAX bytes at once, and
// Linux stops near 2 GiB anyway.
constexpr std::uint32_t largestRead = 0x40000000u;
// The size is reported in 32 bits, the low word of the 64-bit size.
constexpr std::uint64_t lowWord = 0xFFFFFFFFu;

int DescriptorOf(FileHandle file) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(file));
}

}  // namespace

FileHandle FileInvalid() {
  return reinterpret_cast<FileHandle>(~std::uintptr_t{0});
}

FileHandle FileOpenRead(const wchar_t* path) {
  const std::unique_ptr<char[]> name = posix::WideToMultibyte(path);
  if (name == nullptr) return FileInvalid();
  int descriptor = -1;
  do {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever.
    descriptor = open(name.get(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) return FileInvalid();
  // Only a regular file reads like a file on Windows: a directory, FIFO,
  // socket or device is refused before anything waits on it. Reads then
  // block as usual.
  struct stat status {};
  const int flags = fcntl(descriptor, F_GETFL);
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||
      fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(descriptor);
    return FileInvalid();
  }
  return reinterpret_cast<FileHandle>(static_cast<std::intptr_t>(descriptor));
}

bool FileRead(FileHandle file, void* buffer, std::uint32_t bytes, std::uint32_t* bytesRead) {
  std::uint32_t done = 0;
  if (bytesRead != nullptr) *bytesRead = 0;
  if (file == FileInvalid() || (buffer == nullptr && bytes != 0)) return false;
  unsigned char* to = static_cast<unsigned char*>(buffer);
  // Like a read of a disk file on Windows: the whole count unless the file
  // ends first.
  while (done < bytes) {
    const std::uint32_t ask = bytes - done < largestRead ? bytes - done : largestRead;
    const ssize_t got = read(DescriptorOf(file), to + done, ask);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    done += static_cast<std::uint32_t>(got);
    if (bytesRead != nullptr) *bytesRead = done;
  }
  return true;
}

std::uint32_t FileSize(FileHandle file) {
  struct stat status {};
  if (file == FileInvalid() || fstat(DescriptorOf(file), &status) != 0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(status.st_size) & lowWord);
}

void FileClose(FileHandle file) {
  if (file == FileInvalid()) return;
  close(DescriptorOf(file));
}

}  // namespace platform
}  // namespace tarnutil
