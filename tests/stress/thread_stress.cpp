// Runs the library's stateful calls on four threads at once for a bounded
// time, built with ThreadSanitizer: polygon clipping (which takes scratch
// blocks from the small allocator), small-block churn with frees on another
// thread, huge blocks, bitmap files and pixel reads on per-thread objects,
// transparent blits on per-thread device contexts, resource registration and
// lookup, and the last-error slot. Every round's result is compared with the
// same round run alone on one thread first; a mismatch, a damaged block or a
// sanitizer report fails the run.
//
// Usage: thread_stress [seconds]   (default 5)
#include <tarnutil/tarnutil.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int threadCount = 4;
// Rounds with a reference result per thread; later rounds repeat them.
constexpr int referenceRounds = 16;
// Small blocks each round hands to the next thread, which checks and frees
// them.
constexpr int handedBlocks = 64;

constexpr int bitmapWidth = 13;
constexpr int bitmapHeight = 7;
constexpr std::uint32_t transparentColor = 0xFF00FFu;

// Shared by every thread: already normalised (top above bottom), so
// clipGraph never writes it.
tagRECT sharedView{8000, 30000, 32000, 8000};

std::atomic<int> failures{0};

void Fail(const char* what, int thread, int round) {
  if (failures.fetch_add(1) < 20) std::fprintf(stderr, "%s: thread %d round %d\n", what, thread, round);
}

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15u + (h << 6) + (h >> 2);
  return h;
}

// A 24-bit bottom-up bitmap file whose pixels follow from their position.
std::vector<unsigned char> BitmapFile() {
  const int rowBytes = (bitmapWidth * 3 + 3) / 4 * 4;
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(rowBytes * bitmapHeight);
  std::vector<unsigned char> file(14 + 40 + pixelBytes, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, bitmapWidth);
  put32(22, bitmapHeight);
  file[26] = 1;
  file[28] = 24;
  put32(34, pixelBytes);
  for (int y = 0; y < bitmapHeight; ++y) {
    for (int x = 0; x < bitmapWidth; ++x) {
      unsigned char* p = &file[54 + static_cast<std::size_t>(y * rowBytes + x * 3)];
      p[0] = static_cast<unsigned char>(x * 19 + y);
      p[1] = static_cast<unsigned char>(y * 37 + x);
      p[2] = static_cast<unsigned char>(x * y + 5);
    }
  }
  return file;
}

std::wstring bitmapPath;
std::vector<unsigned char> packedBitmap;  // the file without its 14-byte header

HINSTANCE__* Module(int thread) {
  return reinterpret_cast<HINSTANCE__*>(static_cast<std::uintptr_t>(0x7700 + thread));
}

// Hand-off of small blocks to the next thread.
struct Mailbox {
  std::mutex lock;
  std::vector<unsigned char*> blocks;
};
Mailbox mailboxes[threadCount];

std::uint64_t ClipRound(int thread, int round) {
  // A polygon that depends on the thread and the round only.
  std::vector<tagPOINT> polygon;
  const int n = 40 + 7 * thread + round;
  for (int i = 0; i < n; ++i) {
    const std::int32_t r = (i % 2 == 0 ? 20000 : 6000) + 97 * round + 13 * thread;
    const double a = 6.283185307179586 * i / n;
    tagPOINT p;
    p.x = 20000 + static_cast<std::int32_t>(r * (i % 4 < 2 ? 1 : -1) * (a < 3.14159 ? 1.0 : 0.5));
    p.y = 20000 + static_cast<std::int32_t>(r * (i % 3 == 0 ? 1 : -1) * (a < 1.5 ? 0.7 : 1.0));
    polygon.push_back(p);
  }
  std::vector<tagPOINT> out(static_cast<std::size_t>(81 * n / 16 + 1));
  const std::int32_t written = clipGraph(&sharedView, polygon.data(), n, out.data(), 0);
  std::uint64_t h = static_cast<std::uint64_t>(written);
  for (std::int32_t i = 0; i < written; ++i) {
    h = Mix(h, static_cast<std::uint32_t>(out[static_cast<std::size_t>(i)].x));
    h = Mix(h, static_cast<std::uint32_t>(out[static_cast<std::size_t>(i)].y));
  }
  return h;
}

// Checks the blocks the previous thread handed over, frees them, and hands
// new ones of its own to the next thread.
void SmallChurn(int thread, int round, bool handOver) {
  if (handOver) {
    std::vector<unsigned char*> received;
    {
      Mailbox& mine = mailboxes[thread];
      const std::lock_guard<std::mutex> hold(mine.lock);
      received.swap(mine.blocks);
    }
    for (unsigned char* p : received) {
      const unsigned char tag = p[0];
      for (int i = 1; i < 24; ++i) {
        if (p[i] != tag) {
          Fail("handed block damaged", thread, round);
          break;
        }
      }
      sfree(p);
    }
  }
  std::vector<unsigned char*> blocks;
  for (int i = 0; i < handedBlocks; ++i) {
    const unsigned int size = static_cast<unsigned int>(24 + (i * 7 + round) % 105);
    unsigned char* p = static_cast<unsigned char*>(smalloc(size));
    if (p == nullptr) {
      Fail("smalloc gave null", thread, round);
      continue;
    }
    std::memset(p, static_cast<unsigned char>(thread * 16 + i), size);
    blocks.push_back(p);
  }
  // The newer half goes back at once, newest first; the rest to the next
  // thread.
  while (blocks.size() > handedBlocks / 2) {
    sfree(blocks.back());
    blocks.pop_back();
  }
  if (!handOver) {
    for (unsigned char* p : blocks) sfree(p);
    return;
  }
  Mailbox& next = mailboxes[(thread + 1) % threadCount];
  const std::lock_guard<std::mutex> hold(next.lock);
  next.blocks.insert(next.blocks.end(), blocks.begin(), blocks.end());
}

std::uint64_t HugeRound(int thread, int round) {
  std::uint64_t h = 0;
  for (unsigned int size : {100u + static_cast<unsigned int>(round), 5000u + static_cast<unsigned int>(thread)}) {
    unsigned char* p = static_cast<unsigned char*>(hmalloc(size));
    if (p == nullptr) {
      Fail("hmalloc gave null", thread, round);
      continue;
    }
    std::memset(p, thread + 1, size);
    h = Mix(h, p[size - 1]);
    hfree(p);
  }
  return h;
}

std::uint64_t PixelSum(const CDIB& dib) {
  std::uint64_t h = static_cast<std::uint64_t>(dib.GetWidth()) * 1000u + static_cast<std::uint64_t>(dib.GetHeight());
  for (int y = 0; y < dib.GetHeight(); ++y) {
    for (int x = 0; x < dib.GetWidth(); ++x) h = Mix(h, dib.GetRGBValue(x, y));
  }
  return h;
}

std::uint64_t BitmapRound(int thread, int round) {
  CDIB file;
  std::uint64_t h = file.LoadFile(bitmapPath.c_str()) == 1 ? PixelSum(file) : 1;
  // A registration of this thread's own, then lookups of it and of the one
  // made before the threads started.
  const std::wstring name = L"ROUND" + std::to_wstring(round);
  if (RegisterBitmapResource(Module(thread), name.c_str(), packedBitmap.data(),
                             static_cast<std::uint32_t>(packedBitmap.size())) != 1) {
    Fail("registration refused", thread, round);
  }
  CDIB own;
  h = Mix(h, own.LoadBitmapW(Module(thread), name.c_str()) == 1 ? PixelSum(own) : 2);
  CDIB shared;
  h = Mix(h, shared.LoadBitmapW(Module(threadCount), L"SHARED") == 1 ? PixelSum(shared) : 3);
  return h;
}

std::uint64_t BlitRound(int thread, int round) {
  HDC__* srcDc = CreateCompatibleDC(nullptr);
  HDC__* dstDc = CreateCompatibleDC(nullptr);
  HBITMAP__* srcBitmap = CreateCompatibleBitmap(nullptr, 6, 5);
  HBITMAP__* dstBitmap = CreateCompatibleBitmap(nullptr, 9, 8);
  void* oldSrc = SelectObject(srcDc, srcBitmap);
  void* oldDst = SelectObject(dstDc, dstBitmap);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const std::uint32_t c = (x + y + round) % 3 == 0 ? transparentColor
                                                         : static_cast<std::uint32_t>(x * 40 + y * 9000 + thread);
      SetPixel(srcDc, x, y, c);
    }
  }
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 9; ++x) SetPixel(dstDc, x, y, 0x123456u);
  }
  TransparentBlt2(dstDc, 1, 1, 8, 7, srcDc, 0, 0, 6, 5, transparentColor);
  std::uint64_t h = 0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 9; ++x) h = Mix(h, GetPixel(dstDc, x, y));
  }
  SelectObject(srcDc, oldSrc);
  SelectObject(dstDc, oldDst);
  DeleteObject(srcBitmap);
  DeleteObject(dstBitmap);
  DeleteDC(srcDc);
  DeleteDC(dstDc);
  return h;
}

void LastErrorRound(int thread, int round) {
  const std::uint32_t mine = static_cast<std::uint32_t>(thread * 1000 + round % referenceRounds);
  GPS_SetLastError(mine);
  // The last writer wins: whatever is read must be a value some thread wrote.
  const std::uint32_t seen = GPS_GetLastError();
  if (seen / 1000 >= static_cast<std::uint32_t>(threadCount) || seen % 1000 >= static_cast<std::uint32_t>(referenceRounds)) {
    Fail("last error never written", thread, round);
  }
}

// The round's results that do not depend on the other threads.
std::uint64_t Round(int thread, int round, bool handOver) {
  std::uint64_t h = ClipRound(thread, round);
  SmallChurn(thread, round, handOver);
  h = Mix(h, HugeRound(thread, round));
  h = Mix(h, BitmapRound(thread, round));
  h = Mix(h, BlitRound(thread, round));
  LastErrorRound(thread, round);
  return h;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  const std::vector<unsigned char> file = BitmapFile();
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tarnutil_stress_" + std::to_string(std::rand()) + ".bmp");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                              static_cast<std::streamsize>(file.size()));
  bitmapPath = path.wstring();
  packedBitmap.assign(file.begin() + 14, file.end());
  if (RegisterBitmapResource(Module(threadCount), L"SHARED", packedBitmap.data(),
                             static_cast<std::uint32_t>(packedBitmap.size())) != 1) {
    std::fprintf(stderr, "shared registration refused\n");
    return 1;
  }

  // The reference: every round of every thread, alone.
  std::uint64_t expected[threadCount][referenceRounds];
  for (int t = 0; t < threadCount; ++t) {
    for (int r = 0; r < referenceRounds; ++r) expected[t][r] = Round(t, r, false);
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::atomic<long> rounds{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < threadCount; ++t) {
    workers.emplace_back([&, t] {
      for (int r = 0; std::chrono::steady_clock::now() < deadline; ++r) {
        if (Round(t, r % referenceRounds, true) != expected[t][r % referenceRounds]) {
          Fail("result differs from the single-threaded run", t, r);
        }
        rounds.fetch_add(1);
      }
    });
  }
  for (std::thread& w : workers) w.join();
  for (Mailbox& m : mailboxes) {
    for (unsigned char* p : m.blocks) sfree(p);
  }
  std::filesystem::remove(path);
  std::printf("thread_stress: %ld rounds on %d threads, %d failures\n", rounds.load(), threadCount,
              failures.load());
  return failures.load() == 0 && rounds.load() >= threadCount ? 0 : 1;
}
