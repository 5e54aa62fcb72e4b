// dlopen and /proc/self/maps.
#include <dlfcn.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/unload/library_loader.h"

namespace tarnutil {
namespace unloadcheck {

void* LoadSharedLibrary(const char* path) {
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* FindExport(void* library, const char* name) {
  return dlsym(library, name);
}

bool UnloadSharedLibrary(void* library) {
  return dlclose(library) == 0;
}

bool IsLoaded(const char* path) {
  void* library = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (library == nullptr) return false;
  dlclose(library);
  return true;
}

bool IsMappedMemory(const void* address) {
  const std::uintptr_t target = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    std::istringstream fields(line);
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    char dash = 0;
    std::string permissions;
    fields >> std::hex >> start >> dash >> end >> permissions;
    if (target >= start && target < end) return permissions.compare(0, 2, "rw") == 0;
  }
  return false;
}

}  // namespace unloadcheck
}  // namespace tarnutil
