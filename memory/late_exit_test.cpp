// Calls both allocators from an exit handler that runs after their exit
// callbacks, as another library's late static destructor would: every call
// must get usable heap memory and leave nothing behind (the sanitizer build
// reports a use of released chunks or mappings, and a leak).
#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <cstdlib>
#include <cstring>

namespace {

// Exits with this status when a late call fails, after the test passed.
constexpr int lateCallFailed = 3;

void Use(void* p, std::size_t bytes) {
  if (p == nullptr) std::_Exit(lateCallFailed);
  std::memset(p, 0x6B, bytes);
}

void LateCalls() {
  smallobject_allocator& small = smallobject_allocator::instance();
  void* s = small.allocate(12);
  Use(s, 12);
  small.deallocate(s, 12);
  hugeobject_allocator& huge = hugeobject_allocator::instance();
  void* h = huge.allocate(5000);
  Use(h, 5000);
  huge.deallocate(h);
  void* a = smalloc(8);
  Use(a, 8);
  sfree(a);
  void* b = hmalloc(5000);
  Use(b, 5000);
  hfree(b);
}

// Registered before main, so before the allocators register their own
// callbacks on first use: it runs after them.
const int lateRegistered = std::atexit(LateCalls);

TEST(LateExit, AllocatorsBuiltBeforeExit) {
  ASSERT_EQ(lateRegistered, 0);
  // Pooled blocks and a mapping left for the exit callbacks to release.
  Use(smalloc(8), 8);
  Use(smallobject_allocator::instance().allocate(40), 40);
  Use(hmalloc(5000), 5000);
  EXPECT_NE(smallobject_allocator::_instance, nullptr);
  EXPECT_NE(hugeobject_allocator::_instance, nullptr);
}

}  // namespace
