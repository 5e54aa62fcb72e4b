// Paging-file mapping, POSIX back end: a view is an anonymous private mmap,
// separately releasable read/write memory as a view of a paging-file mapping
// is. The handle is a small record standing in for the mapping object; it
// remembers its one view, because munmap needs the length.
#include <sys/mman.h>

#include <new>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {
namespace {

struct AnonymousMapping {
  std::uint32_t bytes;
  void* view;
  std::uint32_t viewBytes;
};

MappingHooks mappingHooks{};

}  // namespace

MappingHandle CreateMapping(std::uint32_t bytes) {
  if (mappingHooks.failCreate != 0) {
    --mappingHooks.failCreate;
    return nullptr;
  }
  AnonymousMapping* mapping = new (std::nothrow) AnonymousMapping{bytes, nullptr, 0};
  if (mapping == nullptr) return nullptr;
  ++mappingHooks.liveMappings;
  mappingHooks.lastCreateBytes = bytes;
  return mapping;
}

void* MapView(MappingHandle mapping, std::uint32_t bytes) {
  if (mappingHooks.failMap != 0) {
    --mappingHooks.failMap;
    return nullptr;
  }
  if (mapping == nullptr) return nullptr;
  AnonymousMapping* record = static_cast<AnonymousMapping*>(mapping);
  // A view lies within its mapping object, and this stand-in has one at most.
  if (bytes == 0 || bytes > record->bytes || record->view != nullptr) return nullptr;
  void* view = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (view == MAP_FAILED) return nullptr;
  record->view = view;
  record->viewBytes = bytes;
  ++mappingHooks.liveViews;
  mappingHooks.lastMapBytes = bytes;
  return view;
}

bool UnmapView(MappingHandle mapping, void* view) {
  if (mapping == nullptr) return false;
  AnonymousMapping* record = static_cast<AnonymousMapping*>(mapping);
  if (view == nullptr || view != record->view) return false;
  if (munmap(view, record->viewBytes) != 0) return false;
  record->view = nullptr;
  --mappingHooks.liveViews;
  return true;
}

bool CloseMapping(MappingHandle mapping) {
  if (mapping == nullptr) return false;
  delete static_cast<AnonymousMapping*>(mapping);
  --mappingHooks.liveMappings;
  return true;
}

MappingHooks* MappingTestHooks() {
  return &mappingHooks;
}

}  // namespace platform
}  // namespace tarnutil
