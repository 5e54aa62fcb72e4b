// What only the POSIX back end has or decides: the resource registry, both
// ways of the readability test, locale-dependent text, and the find data it
// builds from stat.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tarnutil/tarnutil.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "bitmap/dib.h"
#include "platform/platform.h"
#include "platform/posix/readable_memory.h"
#include "platform/posix/resource_registry.h"

namespace {

namespace fs = std::filesystem;
namespace platform = tarnutil::platform;
using tarnutil::platform::posix::ReadAnswer;

HINSTANCE__* Module(std::uintptr_t value) {
  return reinterpret_cast<HINSTANCE__*>(value);
}

const wchar_t* IdName(std::uintptr_t id) {
  return reinterpret_cast<const wchar_t*>(id);
}

const unsigned char* Load(HINSTANCE__* module, const wchar_t* name) {
  return static_cast<const unsigned char*>(
      platform::ResourceLoad(module, platform::ResourceFindBitmap(module, name)));
}

// Switches the whole C locale for one test and back.
class LocaleScope {
 public:
  explicit LocaleScope(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) {
    active_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleScope() { std::setlocale(LC_ALL, saved_.c_str()); }
  bool Active() const { return active_; }

 private:
  std::string saved_;
  bool active_ = false;
};

// A directory of its own per test, beside the working directory.
class Scratch {
 public:
  Scratch()
      : dir_(std::string("posix_services_") +
             ::testing::UnitTest::GetInstance()->current_test_info()->name()) {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    fs::create_directory(dir_);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }

 private:
  std::string dir_;
};

std::uint64_t Ticks(const _FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

TEST(RegisterBitmapResource, RefusesWhatNoLookupCouldFind) {
  const unsigned char bytes[4] = {1, 2, 3, 4};
  struct Case {
    const char* what;
    const wchar_t* name;
    const void* packed;
    std::uint32_t size;
  };
  const Case cases[] = {
      {"null name", nullptr, bytes, 4}, {"null bytes", L"R", nullptr, 4},
      {"no bytes", L"R", bytes, 0},     {"# without digits", L"#", bytes, 4},
      {"# zero", L"#0", bytes, 4},      {"# beyond 16 bits", L"#65536", bytes, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RegisterBitmapResource(Module(0x9000), c.name, c.packed, c.size), 0);
  }
  for (const wchar_t* name : {L"R", L"#", L"#0", L"#65536"}) {
    EXPECT_EQ(platform::ResourceFindBitmap(Module(0x9000), name), nullptr);
  }
}

TEST(RegisterBitmapResource, FailsCleanlyWithoutMemory) {
  platform::HeapHooks* hooks = platform::HeapTestHooks();
  ASSERT_NE(hooks, nullptr);
  const unsigned char bytes[4] = {1, 2, 3, 4};
  *hooks = platform::HeapHooks{};
  hooks->failNext = 1;
  const int registered = RegisterBitmapResource(Module(0x9100), L"NOMEM", bytes, 4);
  *hooks = platform::HeapHooks{};
  EXPECT_EQ(registered, 0);
  EXPECT_EQ(platform::ResourceFindBitmap(Module(0x9100), L"NOMEM"), nullptr);
}

TEST(RegisterBitmapResource, KeepsModulesAndNamesApart) {
  HINSTANCE__* const first = Module(0x9200);
  HINSTANCE__* const second = Module(0x9300);
  const unsigned char a[] = {'a', 'a', 'a'};
  const unsigned char b[] = {'b', 'b'};
  const unsigned char c[] = {'c'};
  const unsigned char d[] = {'d', 'd'};
  ASSERT_EQ(RegisterBitmapResource(first, L"Shared", a, sizeof a), 1);
  ASSERT_EQ(RegisterBitmapResource(second, L"SHARED", b, sizeof b), 1);
  ASSERT_EQ(RegisterBitmapResource(first, IdName(7), c, sizeof c), 1);
  ASSERT_EQ(RegisterBitmapResource(first, L"#0008", d, sizeof d), 1);
  struct Case {
    HINSTANCE__* module;
    const wchar_t* name;
    const unsigned char* expected;  // null: not found
    std::size_t size;
  };
  const Case cases[] = {
      {first, L"shared", a, sizeof a},  {first, L"sHaReD", a, sizeof a},
      {second, L"Shared", b, sizeof b}, {first, L"#7", c, sizeof c},
      {first, IdName(7), c, sizeof c},  {first, IdName(8), d, sizeof d},
      {first, L"#8", d, sizeof d},      {second, IdName(7), nullptr, 0},
      {first, L"SHARED2", nullptr, 0},  {first, L"SHARE", nullptr, 0},
      {nullptr, L"SHARED", nullptr, 0}, {first, IdName(9), nullptr, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.module << " " << static_cast<const void*>(k.name));
    const unsigned char* data = Load(k.module, k.name);
    if (k.expected == nullptr) {
      EXPECT_EQ(platform::ResourceFindBitmap(k.module, k.name), nullptr);
      continue;
    }
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::memcmp(data, k.expected, k.size), 0);
    // Packed bitmaps are read in 32-bit fields.
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % alignof(std::max_align_t), 0u);
  }
  // A handle gives data only together with the module it was found in.
  const platform::ResourceHandle found = platform::ResourceFindBitmap(first, L"SHARED");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(platform::ResourceLoad(second, found), nullptr);
  int notAHandle = 0;
  EXPECT_EQ(platform::ResourceLoad(first, &notAHandle), nullptr);
}

TEST(RegisterBitmapResource, LaterRegistrationWinsAndEarlierBytesStay) {
  HINSTANCE__* const module = Module(0x9400);
  unsigned char bytes[] = {1, 1, 1, 1};
  ASSERT_EQ(RegisterBitmapResource(module, L"TWICE", bytes, sizeof bytes), 1);
  const unsigned char* earlier = Load(module, L"TWICE");
  ASSERT_NE(earlier, nullptr);
  // The registration copied the bytes.
  bytes[0] = 2;
  EXPECT_EQ(earlier[0], 1);
  ASSERT_EQ(RegisterBitmapResource(module, L"twice", bytes, sizeof bytes), 1);
  const unsigned char* later = Load(module, L"TWICE");
  ASSERT_NE(later, nullptr);
  EXPECT_NE(later, earlier);
  EXPECT_EQ(later[0], 2);
  // Still readable: a bitmap attached to it may be in use.
  EXPECT_EQ(earlier[0], 1);
}

TEST(ForkWhileLocked, ChildFindsEveryLockFree) {
  // A thread keeps taking the registry's and both allocators' locks while
  // the main thread forks: a lock inherited held would hang the child,
  // which the alarm then kills.
  HINSTANCE__* const module = Module(0x9500);
  const unsigned char bytes[] = {3, 3, 3, 3};
  ASSERT_EQ(RegisterBitmapResource(module, L"FORKED", bytes, sizeof bytes), 1);
  std::atomic<bool> stop{false};
  std::thread busy([&] {
    while (!stop.load()) {
      sfree(smalloc(8));
      hfree(hmalloc(5000));
      RegisterBitmapResource(module, L"BUSY", bytes, sizeof bytes);
      Load(module, L"FORKED");
    }
  });
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      alarm(10);
      sfree(smalloc(8));
      hfree(hmalloc(5000));
      const bool found = Load(module, L"FORKED") != nullptr;
      _exit(found && RegisterBitmapResource(module, L"CHILD", bytes, sizeof bytes) == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
  stop.store(true);
  busy.join();
}

TEST(RegisterBitmapResource, DroppingFindsTheOlderRegistrationAgain) {
  HINSTANCE__* const module = Module(0x9500);
  const unsigned char first[] = {1, 0, 0, 0};
  const unsigned char second[] = {2, 0, 0, 0};
  ASSERT_EQ(RegisterBitmapResource(module, L"DROP", first, sizeof first), 1);
  ASSERT_EQ(RegisterBitmapResource(module, L"DROP", second, sizeof second), 1);
  EXPECT_FALSE(platform::posix::DropBitmapResource(Module(0x9501), L"DROP"));
  ASSERT_TRUE(platform::posix::DropBitmapResource(module, L"drop"));
  ASSERT_NE(Load(module, L"DROP"), nullptr);
  EXPECT_EQ(Load(module, L"DROP")[0], 1);
  ASSERT_TRUE(platform::posix::DropBitmapResource(module, L"DROP"));
  EXPECT_EQ(Load(module, L"DROP"), nullptr);
  EXPECT_FALSE(platform::posix::DropBitmapResource(module, L"DROP"));
  EXPECT_FALSE(platform::posix::DropBitmapResource(module, nullptr));
}

// A registered resource is untrusted bytes: its header may claim more
// pixels than were registered, which must never be attached (writing a
// pixel, or a pattern brush, would reach past the copy).
TEST(RegisterBitmapResource, LoadChecksTheRegisteredSize) {
  HINSTANCE__* const module = Module(0x9600);
  unsigned char hostile[40 + 16] = {};
  const std::uint32_t header[] = {40, 64, 64};
  std::memcpy(hostile, header, sizeof header);
  hostile[12] = 1;   // planes
  hostile[14] = 24;  // bits per pixel
  ASSERT_EQ(RegisterBitmapResource(module, L"HOSTILE", hostile, sizeof hostile), 1);
  CDIB dib;
  EXPECT_EQ(dib.LoadBitmapW(module, L"HOSTILE"), 0);
  EXPECT_EQ(dib.GetBMI(), nullptr);
  EXPECT_EQ(DIBRefusalReason(nullptr, hostile, sizeof hostile, nullptr), tarnutilDibShortData);
  const platform::ResourceHandle found = platform::ResourceFindBitmap(module, L"HOSTILE");
  EXPECT_EQ(platform::ResourceBytes(module, found), sizeof hostile);
  EXPECT_EQ(platform::ResourceBytes(Module(0x9601), found), 0u);
  EXPECT_TRUE(platform::posix::DropBitmapResource(module, L"HOSTILE"));
}

// A 124-byte header is presented in the 40-byte layout, in a copy the
// object owns (flag 11: the resource bits and ownership of the header).
TEST(RegisterBitmapResource, LongerHeaderLoadsAsAnOwnedCopy) {
  HINSTANCE__* const module = Module(0x9700);
  unsigned char packed[124 + 8] = {};
  const std::uint32_t header[] = {124, 2, 1};
  std::memcpy(packed, header, sizeof header);
  packed[12] = 1;   // planes
  packed[14] = 32;  // bits per pixel
  packed[16] = 3;   // bit fields: masks inside the header
  const std::uint32_t masks[] = {0xFF0000, 0xFF00, 0xFF};
  std::memcpy(packed + 40, masks, sizeof masks);
  const unsigned char pixels[] = {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0};
  std::memcpy(packed + 124, pixels, sizeof pixels);
  ASSERT_EQ(RegisterBitmapResource(module, L"V5", packed, sizeof packed), 1);
  CDIB dib;
  ASSERT_EQ(dib.LoadBitmapW(module, L"V5"), 1);
  EXPECT_EQ(dib.GetFlag(), 11);
  const unsigned char* block = reinterpret_cast<const unsigned char*>(dib.GetBMI());
  EXPECT_EQ(block[0], 40);
  EXPECT_EQ(std::memcmp(block + 40, masks, sizeof masks), 0);
  EXPECT_EQ(dib.GetBits(), block + 52);
  EXPECT_EQ(dib.GetRGBValue(1, 0), tarnutil::detail::Reduce565(0x605040));
  dib.ReleaseDIB();
  EXPECT_TRUE(platform::posix::DropBitmapResource(module, L"V5"));
}

// Opening a FIFO for reading would wait for a writer; the file service
// refuses it, and every other file that is not a regular one, at once.
TEST(FileOpenRead, RefusesWhatIsNotARegularFile) {
  const fs::path dir = fs::temp_directory_path() / ("tarnutil_fifo_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path fifo = dir / "pipe.bmp";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const fs::path& path : {fifo, fs::path("/dev/null"), dir}) {
    SCOPED_TRACE(path.string());
    const std::wstring wide = path.wstring();
    EXPECT_EQ(platform::FileOpenRead(wide.c_str()), platform::FileInvalid());
    CDIB dib;
    EXPECT_EQ(dib.LoadFile(wide.c_str()), 0);
    EXPECT_EQ(DIBRefusalReason(wide.c_str(), nullptr, 0, nullptr), tarnutilDibUnreadable);
  }
  fs::remove_all(dir);
}

// AttachDIB probes the whole header before reading it: a 40-byte header
// with only its first 12 bytes readable is refused, not read past.
TEST(MemoryUnreadable, PartlyReadableHeaderIsNotAttached) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  unsigned char* base = static_cast<unsigned char*>(
      mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(base, MAP_FAILED);
  ASSERT_EQ(mprotect(base + page, page, PROT_NONE), 0);
  struct Case {
    const char* what;
    std::size_t readable;
    std::uint32_t compression;
  };
  const Case cases[] = {{"12 of 40 bytes", 12, 0}, {"40 bytes, masks past them", 40, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    unsigned char* header = base + page - c.readable;
    const std::uint32_t fields[] = {40, 1, 1, 0x00180001u, c.compression};
    std::memcpy(header, fields, c.readable < sizeof fields ? c.readable : sizeof fields);
    CDIB dib;
    EXPECT_EQ(dib.AttachDIB(reinterpret_cast<tagBITMAPINFO*>(header), nullptr, 0), 0);
    EXPECT_EQ(dib.GetBMI(), nullptr);
  }
  ASSERT_EQ(munmap(base, 2 * page), 0);
}

TEST(MemoryUnreadable, BothWaysFindTheProtectedPage) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  unsigned char* base = static_cast<unsigned char*>(
      mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(base, MAP_FAILED);
  std::memset(base, 5, 3 * page);
  ASSERT_EQ(mprotect(base + page, page, PROT_NONE), 0);
  struct Case {
    const char* what;
    std::size_t offset;
    std::size_t bytes;
    bool unreadable;
  };
  const Case cases[] = {
      {"first page", 0, page, false},
      {"third page", 2 * page, page, false},
      {"one byte into the protected page", 0, page + 1, true},
      {"across the start of the protected page", page - 10, 20, true},
      {"inside the protected page", page + 5, 1, true},
      {"across the end of the protected page", 2 * page - 1, 2, true},
      {"all three pages", 0, 3 * page, true},
  };
  int kernelUnsupported = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(base + c.offset);
    const ReadAnswer expected = c.unreadable ? ReadAnswer::unreadable : ReadAnswer::readable;
    EXPECT_EQ(platform::MemoryUnreadable(base + c.offset, c.bytes), c.unreadable);
    EXPECT_EQ(platform::posix::WriteThroughPipe(first, c.bytes), expected);
    const ReadAnswer kernel = platform::posix::ReadThroughKernel(first, c.bytes);
    if (kernel == ReadAnswer::unsupported) {
      ++kernelUnsupported;
    } else {
      EXPECT_EQ(kernel, expected);
    }
  }
  // Where the kernel way is refused (sandboxes, emulators), it is refused
  // every time; otherwise it answered every case above.
  EXPECT_TRUE(kernelUnsupported == 0 || kernelUnsupported == static_cast<int>(std::size(cases)));
  munmap(base, 3 * page);
}

TEST(NarrowToWide, FollowsAUtf8Locale) {
  const LocaleScope utf8("C.UTF-8");
  ASSERT_TRUE(utf8.Active()) << "C.UTF-8 locale missing";
  struct Case {
    const char* text;
    const wchar_t* wide;  // null: the conversion fails
  };
  const Case cases[] = {
      {"abc", L"abc"},
      {"\xC3\xA9t\xC3\xA9", L"\u00E9t\u00E9"},
      {"\xE2\x82\xACuro", L"\u20ACuro"},
      {"\xF0\x9F\x97\xBA", L"\U0001F5FA"},
      {"\xFF", nullptr},
      {"ab\xE2\x82", nullptr},
      {"\xC0\xAF", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const int chars = platform::NarrowToWide(c.text, nullptr, 0);
    wchar_t buffer[16] = {};
    const int converted = platform::NarrowToWide(c.text, buffer, 16);
    if (c.wide == nullptr) {
      EXPECT_EQ(chars, 0);
      EXPECT_EQ(converted, 0);
      continue;
    }
    EXPECT_EQ(chars, static_cast<int>(std::wcslen(c.wide)) + 1);
    EXPECT_EQ(converted, chars);
    EXPECT_EQ(std::wstring(buffer), std::wstring(c.wide));
  }
}

TEST(NarrowToWide, CLocaleTakesOnlyAscii) {
  const LocaleScope c("C");
  ASSERT_TRUE(c.Active());
  EXPECT_EQ(platform::NarrowToWide("plain", nullptr, 0), 6);
  EXPECT_EQ(platform::NarrowToWide("caf\xE9", nullptr, 0), 0);
}

TEST(AssicToUnicode, RefusedTextGivesAnEmptyText) {
  const LocaleScope utf8("C.UTF-8");
  ASSERT_TRUE(utf8.Active()) << "C.UTF-8 locale missing";
  wchar_t* out = nullptr;
  AssicToUnicode("bad \xFF byte", out);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out[0], L'\0');
  std::free(out);
  AssicToUnicode("\xC3\xA9t\xC3\xA9", out);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(std::wstring(out), L"\u00E9t\u00E9");
  std::free(out);
}

TEST(AssicToUnicode, AllocationFailureGivesNull) {
  platform::HeapHooks* hooks = platform::HeapTestHooks();
  ASSERT_NE(hooks, nullptr);
  wchar_t marker = L'm';
  wchar_t* out = &marker;
  *hooks = platform::HeapHooks{};
  hooks->failNext = 1;
  AssicToUnicode("abc", out);
  *hooks = platform::HeapHooks{};
  EXPECT_EQ(out, nullptr);
}

TEST(FindFirst, AttributesAndTimesFromStat) {
  const Scratch scratch;
  scratch.Write("plain", "abc");
  scratch.Write("locked", "abcd");
  fs::create_directory(scratch.Path("folder"));
  fs::create_directory(scratch.Path("sealed"));
  ASSERT_EQ(chmod(scratch.Path("locked").c_str(), 0444), 0);
  ASSERT_EQ(chmod(scratch.Path("sealed").c_str(), 0555), 0);
  // Access 2001-09-09 01:46:40.1234567, write 1966-10-31 14:13:20.
  const timespec times[2] = {{1000000000, 123456789}, {-100000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, scratch.Path("plain").c_str(), times, 0), 0);
  struct Case {
    const char* name;
    std::uint32_t attributes;
    std::uint32_t size;
  };
  const Case cases[] = {
      {"plain", 0x80, 3}, {"locked", 0x01, 4}, {"folder", 0x10, 0}, {"sealed", 0x11, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = scratch.Path(c.name);
    _WIN32_FIND_DATAW data{};
    const platform::FindHandle search =
        platform::FindFirst(std::wstring(path.begin(), path.end()).c_str(), &data);
    ASSERT_NE(search, platform::FindInvalid());
    platform::FindEnd(search);
    EXPECT_EQ(data.dwFileAttributes, c.attributes);
    EXPECT_EQ(data.nFileSizeLow, c.size);
    if (std::string(c.name) == "plain") {
      EXPECT_EQ(Ticks(data.ftLastAccessTime), 126444736001234567u);
      EXPECT_EQ(Ticks(data.ftLastWriteTime), 115444736000000000u);
    }
    EXPECT_NE(Ticks(data.ftCreationTime), 0u);
  }
  chmod(scratch.Path("sealed").c_str(), 0755);
}

TEST(FindFirst, NamesInAUtf8Locale) {
  const LocaleScope utf8("C.UTF-8");
  ASSERT_TRUE(utf8.Active()) << "C.UTF-8 locale missing";
  const Scratch scratch;
  scratch.Write("\xC3\xA9t\xC3\xA9.txt", "summer");
  struct Case {
    const wchar_t* pattern;
    const wchar_t* name;
  };
  // ? stands for one character, however many bytes encode it.
  const Case cases[] = {{L"\u00E9t\u00E9.txt", L"\u00E9t\u00E9.txt"},
                        {L"?t?.txt", L"\u00E9t\u00E9.txt"},
                        {L"\u00E9*", L"\u00E9t\u00E9.txt"},
                        {L"\u00E8*", nullptr}};
  const std::string dir = scratch.Path("");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<const void*>(c.pattern));
    const std::wstring path = std::wstring(dir.begin(), dir.end()) + c.pattern;
    _WIN32_FIND_DATAW data{};
    const platform::FindHandle search = platform::FindFirst(path.c_str(), &data);
    if (c.name == nullptr) {
      EXPECT_EQ(search, platform::FindInvalid());
      continue;
    }
    ASSERT_NE(search, platform::FindInvalid());
    platform::FindEnd(search);
    EXPECT_EQ(std::wstring(data.cFileName), std::wstring(c.name));
  }
  // The file opens by its wide name too.
  const platform::FileHandle file =
      platform::FileOpenRead((std::wstring(dir.begin(), dir.end()) + L"\u00E9t\u00E9.txt").c_str());
  ASSERT_NE(file, platform::FileInvalid());
  EXPECT_EQ(platform::FileSize(file), 6u);
  platform::FileClose(file);
}

TEST(FindFirst, UndecodableNamesAndUnencodablePaths) {
  const Scratch scratch;
  scratch.Write("\xFF.bin", "x");
  const std::string dir = scratch.Path("");
  const std::wstring wideDir(dir.begin(), dir.end());
  {
    const LocaleScope utf8("C.UTF-8");
    ASSERT_TRUE(utf8.Active()) << "C.UTF-8 locale missing";
    _WIN32_FIND_DATAW data{};
    const platform::FindHandle search = platform::FindFirst((wideDir + L"*.bin").c_str(), &data);
    ASSERT_NE(search, platform::FindInvalid());
    platform::FindEnd(search);
    // A byte the locale cannot decode shows as '?'.
    EXPECT_EQ(std::wstring(data.cFileName), L"?.bin");
  }
  const LocaleScope c("C");
  ASSERT_TRUE(c.Active());
  _WIN32_FIND_DATAW data{};
  const std::wstring unencodable = wideDir + L"\u00E9.bin";
  EXPECT_EQ(platform::FindFirst(unencodable.c_str(), &data), platform::FindInvalid());
  EXPECT_EQ(platform::FileOpenRead(unencodable.c_str()), platform::FileInvalid());
}

TEST(FindFirst, LinksRootAndWorkingDirectory) {
  const Scratch scratch;
  ASSERT_EQ(symlink("nowhere", scratch.Path("dangling").c_str()), 0);
  const std::string dir = scratch.Path("");
  const std::wstring wideDir(dir.begin(), dir.end());
  const std::string base = dir.substr(0, dir.size() - 1);
  struct Case {
    std::wstring path;
    std::wstring name;  // empty: no match
  };
  const Case cases[] = {
      // A link that leads nowhere is still an entry.
      {wideDir + L"dangling", L"dangling"},
      {wideDir + L"dang*", L"dangling"},
      // No slash: the working directory.
      {std::wstring(base.begin(), base.end()), std::wstring(base.begin(), base.end())},
      {std::wstring(base.begin(), base.end() - 1) + L"?", std::wstring(base.begin(), base.end())},
      {L"/", L""},
      {wideDir, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    _WIN32_FIND_DATAW data{};
    const platform::FindHandle search = platform::FindFirst(c.path.c_str(), &data);
    if (c.name.empty()) {
      EXPECT_EQ(search, platform::FindInvalid());
      continue;
    }
    ASSERT_NE(search, platform::FindInvalid());
    platform::FindEnd(search);
    EXPECT_EQ(std::wstring(data.cFileName), c.name);
  }
  // The root directory has entries of its own.
  _WIN32_FIND_DATAW data{};
  const platform::FindHandle root = platform::FindFirst(L"/*", &data);
  ASSERT_NE(root, platform::FindInvalid());
  platform::FindEnd(root);
}

TEST(StreamOsHandle, IsTheDescriptor) {
  std::FILE* stream = std::fopen("posix_services_stream", "wb");
  ASSERT_NE(stream, nullptr);
  for (std::FILE* s : {stream, stderr}) {
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(platform::StreamOsHandle(s)), fileno(s));
  }
  std::fclose(stream);
  std::remove("posix_services_stream");
}

}  // namespace
