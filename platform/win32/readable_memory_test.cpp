// The Win32 readability test answers from the pages' state: no access, a
// guard page (which IsBadReadPtr would have consumed) and a reserved page
// are unreadable, and asking leaves the guard in place.
#include <windows.h>

#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace {

namespace platform = tarnutil::platform;

TEST(MemoryUnreadable, AnswersFromThePagesState) {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const std::size_t page = system.dwPageSize;
  // Committed, no access, guarded, committed, reserved only.
  unsigned char* base = static_cast<unsigned char*>(
      VirtualAlloc(nullptr, 5 * page, MEM_RESERVE, PAGE_NOACCESS));
  ASSERT_NE(base, nullptr);
  ASSERT_NE(VirtualAlloc(base, 4 * page, MEM_COMMIT, PAGE_READWRITE), nullptr);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(base + page, page, PAGE_NOACCESS, &old));
  ASSERT_TRUE(VirtualProtect(base + 2 * page, page, PAGE_READWRITE | PAGE_GUARD, &old));
  struct Case {
    const char* what;
    std::size_t offset;
    std::size_t bytes;
    bool unreadable;
  };
  const Case cases[] = {
      {"first page", 0, page, false},
      {"fourth page", 3 * page, page, false},
      {"into the no-access page", page - 4, 8, true},
      {"inside the guard page", 2 * page + 1, 1, true},
      {"across the end of the guard page", 3 * page - 1, 2, true},
      {"into the reserved page", 4 * page - 1, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(platform::MemoryUnreadable(base + c.offset, c.bytes), c.unreadable);
  }
  // The question did not consume the guard.
  MEMORY_BASIC_INFORMATION region{};
  ASSERT_NE(VirtualQuery(base + 2 * page, &region, sizeof region), 0u);
  EXPECT_NE(region.Protect & PAGE_GUARD, 0u);
  EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
}

// AttachDIB probes the whole header before reading it: a 40-byte header
// with only its first 12 bytes readable is refused, not read past.
TEST(MemoryUnreadable, PartlyReadableHeaderIsNotAttached) {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const std::size_t page = system.dwPageSize;
  unsigned char* base = static_cast<unsigned char*>(
      VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(base, nullptr);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(base + page, page, PAGE_NOACCESS, &old));
  unsigned char* header = base + page - 12;
  const std::uint32_t fields[] = {40, 1, 1};
  std::memcpy(header, fields, sizeof fields);
  CDIB dib;
  EXPECT_EQ(dib.AttachDIB(reinterpret_cast<tagBITMAPINFO*>(header), nullptr, 0), 0);
  EXPECT_EQ(dib.GetBMI(), nullptr);
  EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
}

}  // namespace
