// Loads the built shared library at run time, allocates from both
// allocators, unloads it and checks that the exit callbacks released what
// they recorded: the views leave the address space, and under the sanitizer
// build pooled chunks that were kept show up as leaks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/unload/library_loader.h"

namespace {

using tarnutil::unloadcheck::FindExport;
using tarnutil::unloadcheck::IsLoaded;
using tarnutil::unloadcheck::IsMappedMemory;

const char* const libraryPath = TARNUTIL_UNLOAD_LIBRARY;

// The exports by their linker names (the Itanium C++ ABI of both toolchains).
struct Library {
  Library() : handle(tarnutil::unloadcheck::LoadSharedLibrary(libraryPath)) {}

  template <typename F>
  F Get(const char* name) const {
    void* address = handle != nullptr ? FindExport(handle, name) : nullptr;
    F found = nullptr;
    std::memcpy(&found, &address, sizeof found);
    return found;
  }

  void* const handle;
  void* (*const hmalloc)(unsigned int) = Get<void* (*)(unsigned int)>("_Z7hmallocj");
  void (*const hfree)(void*) = Get<void (*)(void*)>("_Z5hfreePv");
  void* (*const smalloc)(unsigned int) = Get<void* (*)(unsigned int)>("_Z7smallocj");
  void (*const sfree)(void*) = Get<void (*)(void*)>("_Z5sfreePv");
  void** const hugeInstance = Get<void**>("_ZN20hugeobject_allocator9_instanceE");
  void** const smallInstance = Get<void**>("_ZN21smallobject_allocator9_instanceE");
  bool* const smallDestroyed = Get<bool*>("_ZN21smallobject_allocator20_singleton_destroyedE");

  bool Complete() const {
    return hmalloc != nullptr && hfree != nullptr && smalloc != nullptr && sfree != nullptr &&
           hugeInstance != nullptr && smallInstance != nullptr && smallDestroyed != nullptr;
  }
};

TEST(Unload, ExitCallbacksReleaseBothAllocators) {
  const Library lib;
  ASSERT_TRUE(lib.Complete()) << libraryPath;
  // Loading builds nothing.
  EXPECT_EQ(*lib.hugeInstance, nullptr);
  EXPECT_EQ(*lib.smallInstance, nullptr);
  std::vector<const unsigned char*> views;
  for (unsigned int size : {4096u, 5000u, 1u << 20}) {
    unsigned char* p = static_cast<unsigned char*>(lib.hmalloc(size));
    ASSERT_NE(p, nullptr);
    std::memset(p, 0x77, size);
    views.push_back(p - 4);
    EXPECT_TRUE(IsMappedMemory(views.back()));
  }
  // Pooled blocks of several classes stay for the exit callback to release
  // with their chunks; heap blocks are the caller's to free.
  for (unsigned int size : {0u, 8u, 8u, 12u, 100u, 128u}) std::memset(lib.smalloc(size), 1, size);
  lib.sfree(lib.smalloc(300));
  lib.hfree(lib.hmalloc(300));
  EXPECT_NE(*lib.hugeInstance, nullptr);
  EXPECT_NE(*lib.smallInstance, nullptr);

  ASSERT_TRUE(tarnutil::unloadcheck::UnloadSharedLibrary(lib.handle));
  ASSERT_FALSE(IsLoaded(libraryPath)) << "still loaded, so no exit callback ran";
  for (const unsigned char* view : views) EXPECT_FALSE(IsMappedMemory(view));
}

TEST(Unload, ReloadStartsFromScratch) {
  for (int load = 0; load < 2; ++load) {
    SCOPED_TRACE(load);
    const Library lib;
    ASSERT_TRUE(lib.Complete()) << libraryPath;
    EXPECT_EQ(*lib.smallInstance, nullptr);
    EXPECT_FALSE(*lib.smallDestroyed);
    lib.sfree(lib.smalloc(8));
    lib.hfree(lib.hmalloc(10000));
    EXPECT_NE(*lib.smallInstance, nullptr);
    ASSERT_TRUE(tarnutil::unloadcheck::UnloadSharedLibrary(lib.handle));
    ASSERT_FALSE(IsLoaded(libraryPath));
  }
}

}  // namespace
