// File search, POSIX back end: the find-first half of a Windows search.
// The path is split at its last '/' into a directory and a last component.
// A last component without * or ? names one entry, looked up directly; one
// with them is matched by fnmatch against the directory's entries in the
// order readdir gives them, "." and ".." included as on Windows, where
// "dir/*" finds "." in an empty directory. Only * and ? are wildcards:
// brackets and backslashes match themselves. Matching is as case-sensitive
// as the file system. The search object keeps the directory open for the
// handle's lifetime.

// 64-bit offsets, inode numbers and sizes on 32-bit targets too: without
// them readdir and fstat fail with EOVERFLOW on large file systems.
#define _FILE_OFFSET_BITS 64

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <new>

#include "platform/platform.h"
#include "platform/posix/text.h"

namespace tarnutil {
namespace platform {
namespace {

// Find-data attribute bits.
constexpr std::uint32_t attributeReadOnly = 0x1;
constexpr std::uint32_t attributeDirectory = 0x10;
// Set when no other bit is.
constexpr std::uint32_t attributeNormal = 0x80;
// File times count 100-ns ticks from 1601-01-01; the Unix epoch lies
// 11644473600 s later.
constexpr std::int64_t ticksPerSecond = 10000000;
constexpr std::int64_t ticksPerNanosecondStep = 100;
constexpr std::int64_t unixEpochTicks = 116444736000000000;
constexpr std::int64_t latestTicks = 0x7FFFFFFFFFFFFFFF;
// cFileName holds 259 characters and the terminator.
constexpr std::size_t nameChars = sizeof(_WIN32_FIND_DATAW::cFileName) / sizeof(wchar_t);

struct Search {
  DIR* directory;
};

_FILETIME FileTimeOf(const timespec& when) {
  // Before 1601 gives 0; too late for 63 bits of ticks gives the latest.
  std::int64_t ticks = 0;
  if (when.tv_sec >= (latestTicks - unixEpochTicks) / ticksPerSecond) {
    ticks = latestTicks;
  } else if (when.tv_sec >= -unixEpochTicks / ticksPerSecond) {
    ticks = static_cast<std::int64_t>(when.tv_sec) * ticksPerSecond + unixEpochTicks +
            static_cast<std::int64_t>(when.tv_nsec) / ticksPerNanosecondStep;
  }
  const std::uint64_t bits = static_cast<std::uint64_t>(ticks);
  return _FILETIME{static_cast<std::uint32_t>(bits & 0xFFFFFFFFu),
                   static_cast<std::uint32_t>(bits >> 32)};
}

void Describe(const char* name, const struct stat& status, _WIN32_FIND_DATAW* data) {
  std::memset(data, 0, sizeof *data);
  const bool directory = S_ISDIR(status.st_mode);
  std::uint32_t attributes = directory ? attributeDirectory : 0;
  // Windows' read-only flag is closest to the owner's missing write bit.
  if ((status.st_mode & S_IWUSR) == 0) attributes |= attributeReadOnly;
  data->dwFileAttributes = attributes != 0 ? attributes : attributeNormal;
  // No birth time in struct stat: the last status change stands in for it.
  data->ftCreationTime = FileTimeOf(status.st_ctim);
  data->ftLastAccessTime = FileTimeOf(status.st_atim);
  data->ftLastWriteTime = FileTimeOf(status.st_mtim);
  if (!directory) {
    const std::uint64_t size = static_cast<std::uint64_t>(status.st_size);
    data->nFileSizeHigh = static_cast<std::uint32_t>(size >> 32);
    data->nFileSizeLow = static_cast<std::uint32_t>(size & 0xFFFFFFFFu);
  }
  posix::MultibyteToWideLossy(name, data->cFileName, nameChars);
}

// The pattern with each '[' as the bracket expression "[[]", which matches
// a '[' and nothing else.
std::unique_ptr<char[]> LiteralBrackets(const char* pattern) {
  std::size_t length = 0;
  for (const char* c = pattern; *c != '\0'; ++c) length += *c == '[' ? 3 : 1;
  std::unique_ptr<char[]> out(new (std::nothrow) char[length + 1]);
  if (out == nullptr) return nullptr;
  char* to = out.get();
  for (const char* c = pattern; *c != '\0'; ++c) {
    if (*c == '[') {
      *to++ = '[';
      *to++ = '[';
      *to++ = ']';
    } else {
      *to++ = *c;
    }
  }
  *to = '\0';
  return out;
}

FindHandle StartSearch(DIR* directory) {
  Search* search = new (std::nothrow) Search{directory};
  if (search == nullptr) {
    if (directory != nullptr) closedir(directory);
    return FindInvalid();
  }
  return search;
}

FindHandle FindOne(const char* path, const char* name, _WIN32_FIND_DATAW* data) {
  struct stat status {};
  if (stat(path, &status) != 0 && lstat(path, &status) != 0) return FindInvalid();
  Describe(name, status, data);
  return StartSearch(nullptr);
}

FindHandle FindMatch(const char* directoryPath, const char* pattern, _WIN32_FIND_DATAW* data) {
  const std::unique_ptr<char[]> literal = LiteralBrackets(pattern);
  if (literal == nullptr) return FindInvalid();
  DIR* directory = opendir(directoryPath);
  if (directory == nullptr) return FindInvalid();
  for (const dirent* entry = readdir(directory); entry != nullptr; entry = readdir(directory)) {
    if (fnmatch(literal.get(), entry->d_name, FNM_NOESCAPE) != 0) continue;
    struct stat status {};
    // A dangling symbolic link is still an entry: describe the link.
    if (fstatat(dirfd(directory), entry->d_name, &status, 0) != 0 &&
        fstatat(dirfd(directory), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;
    }
    Describe(entry->d_name, status, data);
    return StartSearch(directory);
  }
  closedir(directory);
  return FindInvalid();
}

}  // namespace

FindHandle FindInvalid() {
  return reinterpret_cast<FindHandle>(~std::uintptr_t{0});
}

FindHandle FindFirst(const wchar_t* path, _WIN32_FIND_DATAW* data) {
  if (path == nullptr || data == nullptr) return FindInvalid();
  const std::unique_ptr<char[]> whole = posix::WideToMultibyte(path);
  if (whole == nullptr) return FindInvalid();
  char* slash = std::strrchr(whole.get(), '/');
  const char* last = slash != nullptr ? slash + 1 : whole.get();
  // An empty last component ("", "dir/") names nothing, as on Windows.
  if (*last == '\0') return FindInvalid();
  if (std::strpbrk(last, "*?") == nullptr) return FindOne(whole.get(), last, data);
  if (slash == nullptr) return FindMatch(".", last, data);
  // The root keeps its slash; elsewhere the slash ends the directory part.
  if (slash == whole.get()) return FindMatch("/", last, data);
  *slash = '\0';
  return FindMatch(whole.get(), last, data);
}

void FindEnd(FindHandle search) {
  if (search == nullptr || search == FindInvalid()) return;
  Search* record = static_cast<Search*>(search);
  if (record->directory != nullptr) closedir(record->directory);
  delete record;
}

}  // namespace platform
}  // namespace tarnutil
