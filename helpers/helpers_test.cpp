#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

std::wstring Wide(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

TEST(StrHextoDeci, EveryCharacterHoldsItsPosition) {
  struct Case {
    std::string text;
    std::uint32_t value;
  };
  const Case cases[] = {
      {"", 0},
      {"0", 0},
      {"ff", 255},
      {"FF", 255},
      {"fF", 255},
      {"FFFFFFFF", 4294967295u},
      {"g1", 1},
      {"1A", 26},
      {"0x1A", 26},
      {"1 0", 256},
      {"80000000", 0x80000000u},
      {"7fffffff", 0x7FFFFFFFu},
      {"12345678", 0x12345678u},
      {"09AFaf", 0x09AFAFu},
      // The neighbours of each digit range count as zero digits.
      {"/1:1@1G1", 0x01010101u},
      {"`1g1", 0x0101u},
      // So do bytes from the top half, whatever the signedness of char.
      {"1\xB1", 16},
      {"\xFF"
       "1",
       1},
      {"a\xE9"
       "b",
       0xA0Bu},
      // Beyond eight characters each term is taken modulo 2^32: everything
      // left of the last eight characters drops out.
      {"123456789", 0x23456789u},
      {"100000000", 0},
      {"fffffffff", 0xFFFFFFFFu},
      {"ffffffff0", 0xFFFFFFF0u},
      {"FFFFFFFFFFFFFFFFFFFFFFFF", 0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(StrHextoDeci(c.text.c_str()), c.value);
  }
}

TEST(StrHextoDeci, VeryLongTextsKeepTheirLastEightDigits) {
  struct Case {
    std::string text;
    std::uint32_t value;
  };
  const std::string mega(1 << 20, 'f');
  const Case cases[] = {{mega, 0xFFFFFFFFu},
                        {mega + "0", 0xFFFFFFF0u},
                        {mega + "12345678", 0x12345678u},
                        {"9" + std::string(1 << 20, '0'), 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    EXPECT_EQ(StrHextoDeci(c.text.c_str()), c.value);
  }
}

TEST(StrHextoDeci, NullTextIsZero) {
  EXPECT_EQ(StrHextoDeci(nullptr), 0u);
}

TEST(AssicToUnicode, NullTextLeavesTheOutputAlone) {
  wchar_t marker = L'm';
  wchar_t* out = &marker;
  AssicToUnicode(nullptr, out);
  EXPECT_EQ(out, &marker);
}

TEST(AssicToUnicode, WidensIntoAFreshZeroEndedBuffer) {
  const std::string cases[] = {"", "a", "Hello, world", std::string(5000, 'z') + "."};
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.size());
    wchar_t* out = nullptr;
    AssicToUnicode(text.c_str(), out);
    ASSERT_NE(out, nullptr);
    // Reading up to the terminator stays inside the block only when it was
    // sized in wide characters of this platform.
    EXPECT_EQ(std::wstring(out), Wide(text));
    EXPECT_EQ(out[text.size()], L'\0');
    std::free(out);
  }
}

// A directory of maps of its own per test, beside the working directory:
// CTest runs the cases of one program in parallel processes.
class MapsDirectory {
 public:
  MapsDirectory()
      : dir_(std::string("helpers_") +
             ::testing::UnitTest::GetInstance()->current_test_info()->name()) {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    fs::create_directories(dir_ + "/maps");
    for (const char* name : {"maps/north.bmp", "maps/south.bmp", "maps/legend.txt"}) {
      std::ofstream(dir_ + "/" + name, std::ios::binary) << "12345";
    }
  }
  ~MapsDirectory() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  const std::string& Path() const { return dir_; }

 private:
  std::string dir_;
};

TEST(GetStatus, FindsWhatExistsAndDescribesIt) {
  const MapsDirectory scratch;
  const std::string& dir = scratch.Path();
  struct Case {
    std::string path;
    int found;
    const char* name;  // the entry described, when only one can match
    bool directory;
  };
  const Case cases[] = {
      {dir + "/maps/legend.txt", 1, "legend.txt", false},
      {dir + "/maps", 1, "maps", true},
      {dir + "/maps/n*.bmp", 1, "north.bmp", false},
      {dir + "/maps/?outh.bmp", 1, "south.bmp", false},
      {dir + "/maps/*.bmp", 1, nullptr, false},
      {dir + "/maps/east.bmp", 0, nullptr, false},
      {dir + "/maps/*.gif", 0, nullptr, false},
      {dir + "/roads/*.bmp", 0, nullptr, false},
      {"", 0, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::wstring path = Wide(c.path);
    _WIN32_FIND_DATAW data{};
    EXPECT_EQ(GetStatus(&path[0], data), c.found);
    if (c.found == 1) {
      EXPECT_EQ((data.dwFileAttributes & 0x10u) != 0, c.directory);
      // Every file holds five bytes; directories report no size.
      EXPECT_EQ(data.nFileSizeLow, c.directory ? 0u : 5u);
    }
    if (c.name != nullptr) {
      EXPECT_EQ(std::wstring(data.cFileName), Wide(c.name));
    }
  }
}

TEST(GetFileHandle, NullForNullAndOneHandlePerStream) {
  EXPECT_EQ(GetFileHandle(nullptr), nullptr);
  const std::string names[] = {"helpers_stream_a", "helpers_stream_b"};
  std::FILE* streams[2] = {};
  for (int i = 0; i < 2; ++i) {
    streams[i] = std::fopen(names[i].c_str(), "wb");
    ASSERT_NE(streams[i], nullptr);
  }
  void* const first = GetFileHandle(streams[0]);
  void* const second = GetFileHandle(streams[1]);
  EXPECT_NE(first, nullptr);
  EXPECT_NE(second, nullptr);
  EXPECT_NE(first, second);
  // The same stream gives the same handle, as the runtime reports it.
  EXPECT_EQ(GetFileHandle(streams[0]), first);
  EXPECT_EQ(first, tarnutil::platform::StreamOsHandle(streams[0]));
  for (int i = 0; i < 2; ++i) {
    std::fclose(streams[i]);
    std::remove(names[i].c_str());
  }
}

TEST(GpsLastError, StartsAtZeroAndKeepsTheLastWrite) {
  EXPECT_EQ(GPS_GetLastError(), 0u);
  const std::uint32_t codes[] = {1, 0xFFFFFFFFu, 0x80000000u, 0, 42};
  for (std::uint32_t code : codes) {
    SCOPED_TRACE(code);
    GPS_SetLastError(code);
    EXPECT_EQ(GPS_GetLastError(), code);
    // No other helper touches the slot, failures included.
    std::wstring missing = L"helpers_no_such_file";
    _WIN32_FIND_DATAW data{};
    EXPECT_EQ(GetStatus(&missing[0], data), 0);
    wchar_t* out = nullptr;
    AssicToUnicode("x", out);
    std::free(out);
    EXPECT_EQ(StrHextoDeci("zz"), 0u);
    EXPECT_EQ(GPS_GetLastError(), code);
  }
}

}  // namespace
