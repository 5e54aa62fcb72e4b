// File read, Win32 back end: CreateFileW, ReadFile, GetFileSize and
// CloseHandle with the access values the bitmap loader asks for.
#include <windows.h>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {
namespace {

// Generic read access, shared for reading, open only an existing file,
// normal attributes.
constexpr DWORD accessRead = GENERIC_READ;
constexpr DWORD shareRead = FILE_SHARE_READ;
constexpr DWORD openExisting = OPEN_EXISTING;
constexpr DWORD attributesNormal = FILE_ATTRIBUTE_NORMAL;
static_assert(accessRead == 0x80000000u, "generic read");
static_assert(shareRead == 1 && openExisting == 3 && attributesNormal == 0x80,
              "share read, open existing, normal attributes");

}  // namespace

FileHandle FileInvalid() {
  return INVALID_HANDLE_VALUE;
}

FileHandle FileOpenRead(const wchar_t* path) {
  if (path == nullptr) return FileInvalid();
  HANDLE file =
      CreateFileW(path, accessRead, shareRead, nullptr, openExisting, attributesNormal, nullptr);
  // Only a disk file reads like one: a pipe or a console would wait for a
  // writer, as a FIFO would on POSIX.
  if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return FileInvalid();
  }
  return file;
}

bool FileRead(FileHandle file, void* buffer, std::uint32_t bytes, std::uint32_t* bytesRead) {
  // ReadFile wants a count-read word whenever there is no overlapped
  // structure, so callers without one get a local.
  DWORD done = 0;
  const BOOL ok =
      ReadFile(static_cast<HANDLE>(file), buffer, static_cast<DWORD>(bytes), &done, nullptr);
  if (bytesRead != nullptr) *bytesRead = static_cast<std::uint32_t>(done);
  return ok != 0;
}

std::uint32_t FileSize(FileHandle file) {
  return static_cast<std::uint32_t>(GetFileSize(static_cast<HANDLE>(file), nullptr));
}

void FileClose(FileHandle file) {
  CloseHandle(static_cast<HANDLE>(file));
}

}  // namespace platform
}  // namespace tarnutil
