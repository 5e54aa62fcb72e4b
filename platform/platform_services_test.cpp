// The file, resource, memory, search, stream and text services, through the
// seam only, so that the same expectations hold for every back end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/resources/test_bitmap.h"

namespace {

namespace fs = std::filesystem;
namespace platform = tarnutil::platform;

constexpr std::uintptr_t allBits = ~std::uintptr_t{0};

// Test names are ASCII, so widening each byte is their wide form.
std::wstring Wide(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text != L'\0'; ++text) out += static_cast<char>(*text);
  return out;
}

const wchar_t* IdName(std::uintptr_t id) {
  return reinterpret_cast<const wchar_t*>(id);
}

// A directory of its own per test, beside the working directory: CTest runs
// the cases of one program in parallel processes.
class ScratchDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::string("platform_services_") + info->test_suite_name() + "_" + info->name();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    ASSERT_TRUE(fs::create_directory(dir_));
  }
  void TearDown() override {
    std::error_code ignored;
    // Read-only files cannot be removed on Windows.
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(dir_, ignored);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(Path(name), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << name;
  }

  std::string dir_;
};

using FileRead = ScratchDirectory;
using FindFirst = ScratchDirectory;
using StreamHandle = ScratchDirectory;

TEST(InvalidHandles, HaveAllBitsSet) {
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(platform::FileInvalid()), allBits);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(platform::FindInvalid()), allBits);
}

TEST_F(FileRead, ReadsInFileOrderUntilTheEnd) {
  std::string bytes(1000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  Write("data.bin", bytes);
  const platform::FileHandle file = platform::FileOpenRead(Wide(Path("data.bin")).c_str());
  ASSERT_NE(file, platform::FileInvalid());
  EXPECT_EQ(platform::FileSize(file), 1000u);
  struct Step {
    std::uint32_t ask;
    std::uint32_t got;
  };
  // The last asks run past the end: the rest, then nothing.
  const Step steps[] = {{1, 1}, {9, 9}, {0, 0}, {90, 90}, {400, 400}, {600, 500}, {10, 0}};
  std::size_t offset = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "offset " << offset << " ask " << step.ask);
    std::vector<char> buffer(step.ask + 1, '\x55');
    std::uint32_t got = 12345;
    EXPECT_TRUE(platform::FileRead(file, buffer.data(), step.ask, &got));
    ASSERT_EQ(got, step.got);
    EXPECT_EQ(std::string(buffer.data(), got), bytes.substr(offset, got));
    // Nothing past the count read is written.
    EXPECT_EQ(buffer[got], '\x55');
    offset += got;
  }
  // The size does not depend on the position.
  EXPECT_EQ(platform::FileSize(file), 1000u);
  platform::FileClose(file);
}

TEST_F(FileRead, EmptyFileHasSizeZeroAndReadsNothing) {
  Write("empty", "");
  const platform::FileHandle file = platform::FileOpenRead(Wide(Path("empty")).c_str());
  ASSERT_NE(file, platform::FileInvalid());
  EXPECT_EQ(platform::FileSize(file), 0u);
  char buffer[16];
  std::uint32_t got = 99;
  EXPECT_TRUE(platform::FileRead(file, buffer, sizeof buffer, &got));
  EXPECT_EQ(got, 0u);
  platform::FileClose(file);
}

TEST_F(FileRead, CountReadMayBeOmitted) {
  Write("four", "abcd");
  const platform::FileHandle file = platform::FileOpenRead(Wide(Path("four")).c_str());
  ASSERT_NE(file, platform::FileInvalid());
  char buffer[4] = {};
  EXPECT_TRUE(platform::FileRead(file, buffer, 2, nullptr));
  EXPECT_EQ(std::string(buffer, 2), "ab");
  platform::FileClose(file);
}

TEST_F(FileRead, SharedForReading) {
  Write("shared", "xyz");
  const std::wstring path = Wide(Path("shared"));
  const platform::FileHandle first = platform::FileOpenRead(path.c_str());
  const platform::FileHandle second = platform::FileOpenRead(path.c_str());
  ASSERT_NE(first, platform::FileInvalid());
  ASSERT_NE(second, platform::FileInvalid());
  EXPECT_NE(first, second);
  // Each handle has a position of its own.
  char a[3] = {};
  char b[3] = {};
  std::uint32_t got = 0;
  EXPECT_TRUE(platform::FileRead(first, a, 2, &got));
  EXPECT_TRUE(platform::FileRead(second, b, 3, &got));
  EXPECT_EQ(std::string(a, 2), "xy");
  EXPECT_EQ(std::string(b, 3), "xyz");
  platform::FileClose(first);
  platform::FileClose(second);
}

TEST_F(FileRead, OpenFailsForWhatIsNoReadableFile) {
  Write("present", "1");
  ASSERT_TRUE(fs::create_directory(Path("folder")));
  const std::string cases[] = {Path("absent"), Path("absent/present"), dir_ + "_absent/present",
                               Path("folder"), ""};
  for (const std::string& path : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(platform::FileOpenRead(Wide(path).c_str()), platform::FileInvalid());
  }
  EXPECT_EQ(platform::FileOpenRead(nullptr), platform::FileInvalid());
}

TEST(Resources, FindsTheTestBitmapByNameOrId) {
  ASSERT_TRUE(tarnutil::testing::InstallTestBitmapResource());
  using tarnutil::testing::testBitmapFile;
  using tarnutil::testing::testBitmapFileHeaderBytes;
  const std::size_t packedBytes =
      tarnutil::testing::testBitmapFileBytes - testBitmapFileHeaderBytes;
  // String names match without regard to case; "#101" is the id 101.
  const wchar_t* const names[] = {L"TESTBMP", L"testbmp",
                                  L"TestBmp", IdName(tarnutil::testing::testBitmapId),
                                  L"#101",    L"#0101"};
  for (const wchar_t* name : names) {
    SCOPED_TRACE(testing::Message() << "name " << static_cast<const void*>(name));
    const platform::ResourceHandle found = platform::ResourceFindBitmap(nullptr, name);
    ASSERT_NE(found, nullptr);
    const unsigned char* data =
        static_cast<const unsigned char*>(platform::ResourceLoad(nullptr, found));
    ASSERT_NE(data, nullptr);
    // The packed bitmap as the file holds it after its file header.
    EXPECT_EQ(std::memcmp(data, testBitmapFile + testBitmapFileHeaderBytes, packedBytes), 0);
  }
}

TEST(Resources, AbsentNamesFindNothing) {
  ASSERT_TRUE(tarnutil::testing::InstallTestBitmapResource());
  // 65637 is 101 + 65536: the id must not be cut to 16 bits.
  const wchar_t* const names[] = {L"NOSUCH", L"TESTBM", L"TESTBMP2", L"",    IdName(102),
                                  L"#102",   L"#",      L"#65637",   nullptr};
  for (const wchar_t* name : names) {
    SCOPED_TRACE(testing::Message() << "name " << static_cast<const void*>(name));
    EXPECT_EQ(platform::ResourceFindBitmap(nullptr, name), nullptr);
  }
  EXPECT_EQ(platform::ResourceLoad(nullptr, nullptr), nullptr);
}

TEST(MemoryUnreadable, AnswersForRangesOfEveryKind) {
  const std::vector<unsigned char> block(1 << 20, 7);
  const std::uintptr_t top = allBits;
  struct Case {
    const char* what;
    const void* address;
    std::size_t bytes;
    bool unreadable;
  };
  const Case cases[] = {
      {"a live block", block.data(), block.size(), false},
      {"its last byte", block.data() + block.size() - 1, 1, false},
      {"no bytes at all", block.data(), 0, false},
      {"no bytes at null", nullptr, 0, false},
      {"null", nullptr, 1, true},
      {"the last byte of the address space", reinterpret_cast<const void*>(top), 1, true},
      {"a range wrapping past the end", reinterpret_cast<const void*>(top - 2), 10, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(platform::MemoryUnreadable(c.address, c.bytes), c.unreadable);
  }
}

TEST(MemoryUnreadable, ViewIsReadableUntilUnmapped) {
  constexpr std::uint32_t viewBytes = 1 << 16;
  const platform::MappingHandle mapping = platform::CreateMapping(viewBytes);
  ASSERT_NE(mapping, nullptr);
  unsigned char* view = static_cast<unsigned char*>(platform::MapView(mapping, viewBytes));
  ASSERT_NE(view, nullptr);
  std::memset(view, 1, viewBytes);
  EXPECT_FALSE(platform::MemoryUnreadable(view, viewBytes));
  ASSERT_TRUE(platform::UnmapView(mapping, view));
  EXPECT_TRUE(platform::MemoryUnreadable(view, 1));
  EXPECT_TRUE(platform::MemoryUnreadable(view + viewBytes - 1, 1));
  EXPECT_TRUE(platform::MemoryUnreadable(view, viewBytes));
  EXPECT_TRUE(platform::CloseMapping(mapping));
}

TEST_F(FindFirst, MatchesWildcardsInTheLastComponent) {
  for (const char* name : {"a.bmp", "b.bmp", "abc.txt", "aXc.txt", "a[1].txt", "readme"}) {
    Write(name, std::string(std::strlen(name), 'x'));
  }
  ASSERT_TRUE(fs::create_directory(Path("sub")));
  Write("sub/inner.txt", "012345678");
  const std::set<std::string> all = {".",       "..",       "a.bmp",  "b.bmp", "abc.txt",
                                     "aXc.txt", "a[1].txt", "readme", "sub"};
  const std::set<std::string> directories = {".", "..", "sub", dir_};
  struct Case {
    std::string path;
    std::set<std::string> names;  // any of these may come first; none: no match
  };
  const Case cases[] = {
      {Path("*.bmp"), {"a.bmp", "b.bmp"}},
      {Path("a?c.txt"), {"abc.txt", "aXc.txt"}},
      {Path("abc.txt"), {"abc.txt"}},
      {Path("*me"), {"readme"}},
      // Brackets are no wildcards.
      {Path("a[1].txt"), {"a[1].txt"}},
      {Path("a[1]*"), {"a[1].txt"}},
      {Path("a[*"), {"a[1].txt"}},
      {Path("a[bX]c.txt"), {}},
      {Path("a[bX]c*"), {}},
      {Path("*.gif"), {}},
      {Path("absent.txt"), {}},
      {Path("sub"), {"sub"}},
      {Path("su?"), {"sub"}},
      {Path("sub/*.txt"), {"inner.txt"}},
      {Path("sub/inner.txt"), {"inner.txt"}},
      {dir_, {dir_}},
      {Path("*"), all},
      {Path("absent/*.txt"), {}},
      {Path("absent/abc.txt"), {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    _WIN32_FIND_DATAW data{};
    const platform::FindHandle search = platform::FindFirst(Wide(c.path).c_str(), &data);
    if (c.names.empty()) {
      EXPECT_EQ(search, platform::FindInvalid());
      continue;
    }
    ASSERT_NE(search, platform::FindInvalid());
    const std::string name = Narrow(data.cFileName);
    EXPECT_EQ(c.names.count(name), 1u) << name;
    const bool directory = directories.count(name) == 1;
    EXPECT_EQ((data.dwFileAttributes & 0x10u) != 0, directory) << name;
    // Each file holds as many bytes as its name has characters; directories
    // report no size.
    EXPECT_EQ(data.nFileSizeLow, directory ? 0u : name.size()) << name;
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    platform::FindEnd(search);
  }
}

TEST_F(FindFirst, ReportsReadOnlyFilesAndRecentWriteTimes) {
  Write("locked", "12");
  Write("open", "34");
  fs::permissions(Path("locked"),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  // File times count 100 ns ticks from 1601; the Unix epoch lies 11644473600 s later.
  const std::int64_t nowTicks = std::chrono::duration_cast<std::chrono::seconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                        .count() *
                                    10000000 +
                                116444736000000000;
  const std::int64_t dayTicks = 86400LL * 10000000;
  struct Case {
    const char* name;
    bool readOnly;
  };
  for (const Case& c : {Case{"locked", true}, Case{"open", false}}) {
    SCOPED_TRACE(c.name);
    _WIN32_FIND_DATAW data{};
    const platform::FindHandle search = platform::FindFirst(Wide(Path(c.name)).c_str(), &data);
    ASSERT_NE(search, platform::FindInvalid());
    platform::FindEnd(search);
    EXPECT_EQ((data.dwFileAttributes & 0x1u) != 0, c.readOnly);
    EXPECT_EQ(data.dwFileAttributes & 0x10u, 0u);
    const std::int64_t written = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime);
    EXPECT_LT(written > nowTicks ? written - nowTicks : nowTicks - written, dayTicks);
  }
}

TEST(FindFirstFailures, NullArgumentsFindNothing) {
  _WIN32_FIND_DATAW data{};
  EXPECT_EQ(platform::FindFirst(nullptr, &data), platform::FindInvalid());
  EXPECT_EQ(platform::FindFirst(L"*", nullptr), platform::FindInvalid());
}

TEST_F(StreamHandle, EachStreamHasItsOwnHandle) {
  Write("one", "1");
  Write("two", "2");
  std::FILE* one = std::fopen(Path("one").c_str(), "rb");
  std::FILE* two = std::fopen(Path("two").c_str(), "rb");
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  void* const oneHandle = platform::StreamOsHandle(one);
  void* const twoHandle = platform::StreamOsHandle(two);
  for (void* handle : {oneHandle, twoHandle}) {
    EXPECT_NE(handle, nullptr);
    EXPECT_NE(reinterpret_cast<std::uintptr_t>(handle), allBits);
  }
  EXPECT_NE(oneHandle, twoHandle);
  EXPECT_EQ(platform::StreamOsHandle(one), oneHandle);
  EXPECT_EQ(platform::StreamOsHandle(nullptr), nullptr);
  std::fclose(one);
  std::fclose(two);
}

TEST(NarrowToWide, CountsThenConvertsWithTheTerminator) {
  const std::string cases[] = {"", "a", "hello, world", std::string(300, 'q') + "!"};
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    const int chars = static_cast<int>(text.size()) + 1;
    EXPECT_EQ(platform::NarrowToWide(text.c_str(), nullptr, 0), chars);
    // Exactly enough room, and more than enough.
    for (int room : {chars, chars + 5}) {
      std::vector<wchar_t> buffer(static_cast<std::size_t>(room) + 1, L'#');
      EXPECT_EQ(platform::NarrowToWide(text.c_str(), buffer.data(), room), chars);
      EXPECT_EQ(std::wstring(buffer.data()), Wide(text));
    }
  }
}

TEST(NarrowToWide, FailsWithoutRoomOrText) {
  wchar_t buffer[8];
  EXPECT_EQ(platform::NarrowToWide("abcdefgh", buffer, 8), 0);
  EXPECT_EQ(platform::NarrowToWide("abc", buffer, 3), 0);
  EXPECT_EQ(platform::NarrowToWide("abc", buffer, -1), 0);
  EXPECT_EQ(platform::NarrowToWide(nullptr, buffer, 8), 0);
  EXPECT_EQ(platform::NarrowToWide(nullptr, nullptr, 0), 0);
}

}  // namespace
