// Resources, POSIX back end. Modules here have no resource sections, so the
// application registers its bitmaps (RegisterBitmapResource) and lookups
// search those registrations. Names follow Windows' rules: an integer id
// from 1 to 65535 passed as the pointer, "#123" standing for the id 123, and
// string names compared without regard to ASCII case.
//
// Each registration is one heap block holding its record, its name and a
// copy of the bytes. A newer registration of the same module and name
// shadows the older one instead of freeing it, because a bitmap attached to
// the older bytes may still be in use; every block is released at exit (or
// unload), when nothing may use them any more.
//
// The list is guarded by a reader-writer lock, as lookups on Windows are
// safe from any thread: lookups share it, registrations and the release
// at exit take it alone. A found record stays valid after the lock is
// dropped, since no record is freed before exit, except by the dropping of
// a registration, which only a caller that knows nothing uses it may do.
// The lock is held across fork() and made anew in the child, so that a
// child never inherits it held.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <new>
#include <pthread.h>
#include <shared_mutex>

#include "platform/platform.h"
#include "platform/posix/resource_registry.h"

namespace tarnutil {
namespace platform {
namespace {

// Integer ids live in the low 16 bits of the name pointer.
constexpr std::uintptr_t idLimit = 0x10000u;
// A "#" name out of the id range; such a name finds nothing.
constexpr std::uintptr_t noId = idLimit + 1;
// Packed bitmaps are read in 32-bit fields, so their copy starts aligned.
constexpr std::size_t bytesAlignment = alignof(std::max_align_t);

struct ResourceRecord {
  ResourceRecord* older;
  HINSTANCE__* module;
  // The integer id, or idLimit for a string name.
  std::uintptr_t id;
  // Upper-cased string name inside the block; null for an id.
  const wchar_t* name;
  unsigned char* bytes;
  // The registered count: loads check the bitmap against it.
  std::uint32_t byteCount;
};

ResourceRecord* newestRecord = nullptr;
bool releaseAtExit = false;
std::shared_mutex registryLock;

void LockForFork() {
  registryLock.lock();
}

void UnlockAfterFork() {
  registryLock.unlock();
}

// The child has one thread, but the lock may still count readers and
// writers of the parent that wait in vain there: a fresh lock forgets them.
void RenewInChild() {
  ::new (static_cast<void*>(&registryLock)) std::shared_mutex();
}

// Registered while the library loads, before any thread can hold the lock:
// registered from inside a registration, a fork racing it would hand the
// child a lock held by no thread, and no handler to renew it.
[[maybe_unused]] const bool forkHandled = pthread_atfork(LockForFork, UnlockAfterFork, RenewInChild) == 0;

void ReleaseRecords() {
  const std::unique_lock<std::shared_mutex> exclusive(registryLock);
  while (newestRecord != nullptr) {
    ResourceRecord* older = newestRecord->older;
    HeapRelease(newestRecord);
    newestRecord = older;
  }
}

wchar_t UpperAscii(wchar_t c) {
  return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// A name as a lookup key: the id it stands for, idLimit for a string name,
// or noId for a "#" name whose number is no id. As on Windows, "#" starts
// an id whatever follows: its leading decimal digits, 0 when there are none.
std::uintptr_t IdOf(const wchar_t* name) {
  const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(name);
  if (value < idLimit) return value;
  if (name[0] != L'#') return idLimit;
  std::uintptr_t id = 0;
  for (const wchar_t* c = name + 1; *c >= L'0' && *c <= L'9'; ++c) {
    id = id * 10 + static_cast<std::uintptr_t>(*c - L'0');
    if (id >= idLimit) return noId;
  }
  return id;
}

bool SameName(const wchar_t* upper, const wchar_t* name) {
  for (; *upper != L'\0'; ++upper, ++name) {
    if (*upper != UpperAscii(*name)) return false;
  }
  return *name == L'\0';
}

ResourceRecord* Find(HINSTANCE__* module, const wchar_t* name) {
  const std::uintptr_t id = IdOf(name);
  if (id == 0 || id == noId) return nullptr;
  for (ResourceRecord* record = newestRecord; record != nullptr; record = record->older) {
    if (record->module != module || record->id != id) continue;
    if (id != idLimit || SameName(record->name, name)) return record;
  }
  return nullptr;
}

std::size_t RoundUp(std::size_t bytes, std::size_t alignment) {
  return (bytes + alignment - 1) / alignment * alignment;
}

// One registration; see RegisterBitmapResource.
int Register(HINSTANCE__* module, const wchar_t* name, const void* packedDib, std::uint32_t bytes) {
  if (name == nullptr || packedDib == nullptr || bytes == 0) return 0;
  const std::uintptr_t id = IdOf(name);
  // Ids that no lookup can find are refused.
  if (id == 0 || id == noId) return 0;
  const std::size_t nameChars = id == idLimit ? std::wcslen(name) + 1 : 0;
  // Record, then name, then the bytes on an aligned offset; on a 32-bit
  // target a huge name and byte count together could overflow the sum.
  const std::size_t nameOffset = RoundUp(sizeof(ResourceRecord), alignof(wchar_t));
  if (nameChars > (SIZE_MAX - nameOffset - bytesAlignment) / sizeof(wchar_t)) return 0;
  const std::size_t bytesOffset = RoundUp(nameOffset + nameChars * sizeof(wchar_t), bytesAlignment);
  if (bytes > SIZE_MAX - bytesOffset) return 0;
  unsigned char* block = static_cast<unsigned char*>(HeapAllocate(bytesOffset + bytes));
  if (block == nullptr) return 0;
  const std::unique_lock<std::shared_mutex> exclusive(registryLock);
  if (!releaseAtExit) {
    // Registered from inside the library: runs at exit, or when the library
    // is unloaded.
    if (std::atexit(ReleaseRecords) != 0) {
      HeapRelease(block);
      return 0;
    }
    releaseAtExit = true;
  }
  wchar_t* upper = nullptr;
  if (nameChars != 0) {
    upper = reinterpret_cast<wchar_t*>(block + nameOffset);
    for (std::size_t i = 0; i < nameChars; ++i) upper[i] = UpperAscii(name[i]);
  }
  std::memcpy(block + bytesOffset, packedDib, bytes);
  newestRecord = ::new (static_cast<void*>(block))
      ResourceRecord{newestRecord, module, id, upper, block + bytesOffset, bytes};
  return 1;
}

}  // namespace

ResourceHandle ResourceFindBitmap(HINSTANCE__* module, const wchar_t* name) {
  if (name == nullptr) return nullptr;
  const std::shared_lock<std::shared_mutex> shared(registryLock);
  return Find(module, name);
}

void* ResourceLoad(HINSTANCE__* module, ResourceHandle resource) {
  if (resource == nullptr) return nullptr;
  // Only a handle found in this module's registrations gives data.
  const std::shared_lock<std::shared_mutex> shared(registryLock);
  for (ResourceRecord* record = newestRecord; record != nullptr; record = record->older) {
    if (record == resource) return record->module == module ? record->bytes : nullptr;
  }
  return nullptr;
}

std::uint32_t ResourceBytes(HINSTANCE__* module, ResourceHandle resource) {
  if (resource == nullptr) return 0;
  const std::shared_lock<std::shared_mutex> shared(registryLock);
  for (ResourceRecord* record = newestRecord; record != nullptr; record = record->older) {
    if (record == resource) return record->module == module ? record->byteCount : 0;
  }
  return 0;
}

namespace posix {

bool DropBitmapResource(HINSTANCE__* module, const wchar_t* name) {
  if (name == nullptr) return false;
  const std::unique_lock<std::shared_mutex> exclusive(registryLock);
  ResourceRecord* const found = Find(module, name);
  if (found == nullptr) return false;
  ResourceRecord** link = &newestRecord;
  while (*link != found) link = &(*link)->older;
  *link = found->older;
  HeapRelease(found);
  return true;
}

}  // namespace posix
}  // namespace platform
}  // namespace tarnutil

int RegisterBitmapResource(HINSTANCE__* module, const wchar_t* name, const void* packedDib,
                           std::uint32_t bytes) {
  return tarnutil::platform::Register(module, name, packedDib, bytes);
}
