// The library's one door to the operating system.
//
// Every outside service is a plain function here. CMake compiles exactly one
// back end, platform/posix/ or platform/win32/, with one small file per
// service (heap.cpp, mapping.cpp, ...); no other file asks which system it is
// built for.
#ifndef TARNUTIL_PLATFORM_PLATFORM_H
#define TARNUTIL_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>

namespace tarnutil {
namespace platform {

// ---------------------------------------------------------------------------
// Runtime heap (heap.cpp)

// Block of bytes bytes, aligned for any object; null on failure.
void* HeapAllocate(std::size_t bytes);

// Gives back a block from HeapAllocate; null does nothing.
void HeapRelease(void* block);

// ---------------------------------------------------------------------------
// Paging-file mapping (mapping.cpp)

// Opaque handle of a mapping object; null is never a valid one.
using MappingHandle = void*;

// New read/write mapping object of bytes bytes backed by the paging file
// (no file, no name); null on failure.
MappingHandle CreateMapping(std::uint32_t bytes);

// Maps bytes bytes of mapping, from offset 0, for reading and writing; the
// view's address, or null on failure. One view per mapping at a time.
void* MapView(MappingHandle mapping, std::uint32_t bytes);

// Unmaps view, a view of mapping; call it before closing mapping. False on
// failure.
bool UnmapView(MappingHandle mapping, void* view);

// Closes a mapping handle whose views are unmapped. False on failure.
bool CloseMapping(MappingHandle mapping);

// ---------------------------------------------------------------------------
// Test hooks. Only the POSIX back end has them; the others return null.
// Tests set them while nothing else calls the service. Counting and failing
// happen only in the back end, so callers run their real failure paths.

struct HeapHooks {
  // While failNext is non-zero, the next passFirst allocations reach the
  // heap and the failNext after them return null.
  std::uint32_t passFirst;
  std::uint32_t failNext;
  // While counting is set, successful allocations and non-null releases are
  // counted.
  bool counting;
  std::uint32_t allocations;
  std::uint32_t releases;
};

// The heap hooks, or null on a back end without them.
HeapHooks* HeapTestHooks();

struct MappingHooks {
  // The next failCreate creations and failMap view mappings return null.
  std::uint32_t failCreate;
  std::uint32_t failMap;
  // Mapping objects not yet closed and views not yet unmapped.
  std::uint32_t liveMappings;
  std::uint32_t liveViews;
  // Sizes passed to the latest successful CreateMapping and MapView.
  std::uint32_t lastCreateBytes;
  std::uint32_t lastMapBytes;
};

// The mapping hooks, or null on a back end without them.
MappingHooks* MappingTestHooks();

}  // namespace platform
}  // namespace tarnutil

#endif  // TARNUTIL_PLATFORM_PLATFORM_H
