// Counting replacements of the global operator new and delete, for test
// programs that must see what the library frees. ClearLineList frees links
// with plain delete and ST_LINK has no destructor to observe, so a derived
// counting type would be deleted through a base pointer (undefined); the
// language lets a program replace the allocation functions instead. These
// count live blocks, count frees of watched addresses and can fail one
// chosen allocation. Include this header in exactly one source file of a
// program: it defines the replacements.
#ifndef TARNUTIL_TESTING_COUNTING_ALLOCATOR_H
#define TARNUTIL_TESTING_COUNTING_ALLOCATOR_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

namespace tarnutil {
namespace testing {
namespace counting_heap {

// Allocation number to fail once armed (0: never), counted from arming.
inline std::int64_t failAt = 0;
inline std::int64_t allocsSinceArm = 0;
inline bool failed = false;
// Watched addresses (sorted): each free of one is counted in freeCounts and
// numbered in freeOrder (may be null); a second free is counted but not
// passed on, so a double delete fails a check instead of corrupting the heap.
inline const std::vector<const void*>* watched = nullptr;
inline std::vector<int>* freeCounts = nullptr;
inline std::vector<int>* freeOrder = nullptr;
inline int freesSeen = 0;

// Addresses this program's operator new handed out and not yet freed. A
// runtime in a separate DLL may free through our delete what its own new
// allocated (both use malloc), so only registered blocks count as live. Open
// addressing with linear probing and backward-shift erase; it never
// allocates. Off until a program turns it on, so that a host with many
// blocks of its own (a fuzzing engine) never fills it.
inline bool trackLive = false;
constexpr std::size_t slotCount = std::size_t{1} << 16;
inline std::uintptr_t slots[slotCount];  // 0: free
inline std::int64_t liveBlocks = 0;

inline std::size_t Home(std::uintptr_t p) {
  const std::uint64_t bits = static_cast<std::uint64_t>(p);
  return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> 48) & (slotCount - 1);
}

inline void Register(std::uintptr_t p) {
  if (liveBlocks + 1 >= static_cast<std::int64_t>(slotCount)) std::abort();
  std::size_t i = Home(p);
  while (slots[i] != 0) i = (i + 1) & (slotCount - 1);
  slots[i] = p;
  ++liveBlocks;
}

inline void Unregister(std::uintptr_t p) {
  std::size_t i = Home(p);
  while (slots[i] != p) {
    if (slots[i] == 0) return;
    i = (i + 1) & (slotCount - 1);
  }
  // Pull later entries of the probe run back so that none is cut off.
  for (std::size_t j = (i + 1) & (slotCount - 1); slots[j] != 0; j = (j + 1) & (slotCount - 1)) {
    const std::size_t home = Home(slots[j]);
    const bool homeOutside = i <= j ? (home <= i || home > j) : (home <= i && home > j);
    if (homeOutside) {
      slots[i] = slots[j];
      i = j;
    }
  }
  slots[i] = 0;
  --liveBlocks;
}

inline void* Allocate(std::size_t size) noexcept {
  if (failAt != 0 && ++allocsSinceArm == failAt) {
    failed = true;
    return nullptr;
  }
  void* const p = std::malloc(size == 0 ? 1 : size);
  if (p != nullptr && trackLive) Register(reinterpret_cast<std::uintptr_t>(p));
  return p;
}

inline void Release(void* p) noexcept {
  if (p == nullptr) return;
  if (watched != nullptr) {
    const auto it = std::lower_bound(watched->begin(), watched->end(), p);
    if (it != watched->end() && *it == p) {
      const std::size_t i = static_cast<std::size_t>(it - watched->begin());
      if (freeOrder != nullptr) (*freeOrder)[i] = ++freesSeen;
      if (++(*freeCounts)[i] > 1) return;
    }
  }
  Unregister(reinterpret_cast<std::uintptr_t>(p));
  std::free(p);
}

inline void* AllocateOrThrow(std::size_t size) {
  void* const p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace counting_heap
}  // namespace testing
}  // namespace tarnutil

void* operator new(std::size_t size) {
  return tarnutil::testing::counting_heap::AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
  return tarnutil::testing::counting_heap::AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return tarnutil::testing::counting_heap::Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return tarnutil::testing::counting_heap::Allocate(size);
}
void operator delete(void* p) noexcept {
  tarnutil::testing::counting_heap::Release(p);
}
void operator delete[](void* p) noexcept {
  tarnutil::testing::counting_heap::Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  tarnutil::testing::counting_heap::Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  tarnutil::testing::counting_heap::Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  tarnutil::testing::counting_heap::Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  tarnutil::testing::counting_heap::Release(p);
}

#endif  // TARNUTIL_TESTING_COUNTING_ALLOCATOR_H
