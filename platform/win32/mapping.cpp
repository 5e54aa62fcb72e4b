// Paging-file mapping, Win32 back end: a section backed by the paging file
// and one read/write view of it.
#include <windows.h>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {
namespace {

// Read and write access to a view: FILE_MAP_WRITE (2) plus FILE_MAP_READ (4).
constexpr DWORD viewReadWrite = FILE_MAP_WRITE | FILE_MAP_READ;
static_assert(viewReadWrite == 6, "view access is read plus write");
static_assert(PAGE_READWRITE == 4, "page protection is read/write");

}  // namespace

MappingHandle CreateMapping(std::uint32_t bytes) {
  // The invalid file handle asks for the paging file as backing store.
  return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                            static_cast<DWORD>(bytes), nullptr);
}

void* MapView(MappingHandle mapping, std::uint32_t bytes) {
  return MapViewOfFile(static_cast<HANDLE>(mapping), viewReadWrite, 0, 0,
                       static_cast<SIZE_T>(bytes));
}

bool UnmapView(MappingHandle /*mapping*/, void* view) {
  return UnmapViewOfFile(view) != 0;
}

bool CloseMapping(MappingHandle mapping) {
  return CloseHandle(static_cast<HANDLE>(mapping)) != 0;
}

MappingHooks* MappingTestHooks() {
  return nullptr;
}

}  // namespace platform
}  // namespace tarnutil
