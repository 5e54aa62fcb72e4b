// LoadLibrary and VirtualQuery.
#include <windows.h>

#include <cstring>

#include "tests/unload/library_loader.h"

namespace tarnutil {
namespace unloadcheck {

void* LoadSharedLibrary(const char* path) {
  return LoadLibraryA(path);
}

void* FindExport(void* library, const char* name) {
  const FARPROC found = GetProcAddress(static_cast<HMODULE>(library), name);
  void* address = nullptr;
  std::memcpy(&address, &found, sizeof address);
  return address;
}

bool UnloadSharedLibrary(void* library) {
  return FreeLibrary(static_cast<HMODULE>(library)) != 0;
}

bool IsLoaded(const char* path) {
  return GetModuleHandleA(path) != nullptr;
}

bool IsMappedMemory(const void* address) {
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(address, &info, sizeof info) == 0) return false;
  return info.State == MEM_COMMIT && info.Type == MEM_MAPPED &&
         (info.Protect & PAGE_READWRITE) != 0;
}

}  // namespace unloadcheck
}  // namespace tarnutil
