// 8-byte blocks from smalloc/sfree against the allocator before it took a
// lock, glibc malloc, mimalloc, jemalloc and boost::pool, in three patterns:
// immediate alloc/free pairs, LIFO batches of 1000, and random churn over
// 10000 live blocks. One item is one allocation and its release. The program
// starts no thread, so smalloc runs its single-thread path.
//
// mimalloc and jemalloc are opened with dlopen (RTLD_LOCAL) and called
// through the handle, so the process allocator stays glibc's.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "small_object_baseline.h"

#if defined(TARNUTIL_BENCH_HAVE_BOOST)
#include <boost/pool/pool.hpp>
#endif

namespace {

constexpr unsigned int blockBytes = 8;
constexpr std::size_t batchBlocks = 1000;
constexpr std::size_t churnLive = 10000;
constexpr std::size_t churnSteps = 1000;

// Writes the whole block, so neither the allocation nor the release can be
// optimised away and a short block would show under a sanitizer.
void Touch(void* p, std::uint64_t value) {
  std::memcpy(p, &value, sizeof value);
  benchmark::DoNotOptimize(p);
}

struct TarnUtilBlocks {
  void* Alloc() { return smalloc(blockBytes); }
  void Free(void* p) { sfree(p); }
};

// The allocator as it was before it took a lock, in this same binary: the
// single-thread fast path must stay within 10% of it.
struct BaselineBlocks {
  void* Alloc() { return baseline::smalloc(blockBytes); }
  void Free(void* p) { baseline::sfree(p); }
};

struct GlibcBlocks {
  void* Alloc() { return std::malloc(blockBytes); }
  void Free(void* p) { std::free(p); }
};

// An allocator in a library opened beside the process allocator.
struct LoadedAllocator {
  using AllocFn = void* (*)(std::size_t);
  using FreeFn = void (*)(void*);
  AllocFn alloc = nullptr;
  FreeFn release = nullptr;
};

LoadedAllocator Load(const char* path, const char* allocName, const char* freeName) {
  LoadedAllocator a;
  if (path == nullptr) return a;
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return a;
  a.alloc = reinterpret_cast<LoadedAllocator::AllocFn>(dlsym(handle, allocName));
  a.release = reinterpret_cast<LoadedAllocator::FreeFn>(dlsym(handle, freeName));
  return a;
}

const LoadedAllocator& Mimalloc() {
#if defined(TARNUTIL_BENCH_MIMALLOC_PATH)
  static const LoadedAllocator a = Load(TARNUTIL_BENCH_MIMALLOC_PATH, "mi_malloc", "mi_free");
#else
  static const LoadedAllocator a = Load(nullptr, nullptr, nullptr);
#endif
  return a;
}

const LoadedAllocator& Jemalloc() {
#if defined(TARNUTIL_BENCH_JEMALLOC_PATH)
  // Debian builds jemalloc without a prefix: its malloc and free, taken
  // from the handle, not the process's.
  static const LoadedAllocator a = Load(TARNUTIL_BENCH_JEMALLOC_PATH, "malloc", "free");
#else
  static const LoadedAllocator a = Load(nullptr, nullptr, nullptr);
#endif
  return a;
}

struct MimallocBlocks {
  void* Alloc() { return Mimalloc().alloc(blockBytes); }
  void Free(void* p) { Mimalloc().release(p); }
  static bool Available() { return Mimalloc().alloc != nullptr && Mimalloc().release != nullptr; }
};

struct JemallocBlocks {
  void* Alloc() { return Jemalloc().alloc(blockBytes); }
  void Free(void* p) { Jemalloc().release(p); }
  static bool Available() { return Jemalloc().alloc != nullptr && Jemalloc().release != nullptr; }
};

#if defined(TARNUTIL_BENCH_HAVE_BOOST)
struct BoostPoolBlocks {
  boost::pool<> pool{blockBytes};
  void* Alloc() { return pool.malloc(); }
  void Free(void* p) { pool.free(p); }
};

// The same pool behind calls that the compiler may not inline, as smalloc
// and sfree are behind the library's interface: shows what the calls cost.
[[gnu::noinline]] void* PoolAlloc(boost::pool<>& pool) {
  return pool.malloc();
}
[[gnu::noinline]] void PoolFree(boost::pool<>& pool, void* p) {
  pool.free(p);
}

struct CalledBoostPoolBlocks {
  boost::pool<> pool{blockBytes};
  void* Alloc() { return PoolAlloc(pool); }
  void Free(void* p) { PoolFree(pool, p); }
};
#endif

template <typename Blocks>
void Pairs(benchmark::State& state) {
  Blocks blocks;
  std::uint64_t i = 0;
  for (auto _ : state) {
    for (std::size_t k = 0; k < batchBlocks; ++k) {
      void* p = blocks.Alloc();
      Touch(p, ++i);
      blocks.Free(p);
    }
  }
  bench::SetItems(state, batchBlocks);
}

template <typename Blocks>
void Lifo(benchmark::State& state) {
  Blocks blocks;
  std::vector<void*> held(batchBlocks);
  std::uint64_t i = 0;
  for (auto _ : state) {
    for (std::size_t k = 0; k < batchBlocks; ++k) {
      held[k] = blocks.Alloc();
      Touch(held[k], ++i);
    }
    for (std::size_t k = batchBlocks; k > 0; --k) blocks.Free(held[k - 1]);
  }
  bench::SetItems(state, batchBlocks);
}

template <typename Blocks>
void Churn(benchmark::State& state) {
  Blocks blocks;
  std::vector<void*> live(churnLive);
  std::uint64_t i = 0;
  for (void*& p : live) {
    p = blocks.Alloc();
    Touch(p, ++i);
  }
  bench::Rng rng(8u);
  std::vector<std::uint32_t> slots(1u << 16);
  for (std::uint32_t& s : slots) s = static_cast<std::uint32_t>(rng.Below(churnLive));
  std::size_t next = 0;
  for (auto _ : state) {
    for (std::size_t k = 0; k < churnSteps; ++k) {
      void*& p = live[slots[next]];
      next = (next + 1) & (slots.size() - 1);
      blocks.Free(p);
      p = blocks.Alloc();
      Touch(p, ++i);
    }
  }
  for (void* p : live) blocks.Free(p);
  bench::SetItems(state, churnSteps);
}

template <typename Blocks>
void IfAvailable(benchmark::State& state, void (*run)(benchmark::State&)) {
  if (!Blocks::Available()) {
    state.SkipWithError("allocator library could not be opened");
    return;
  }
  run(state);
}

template <typename Blocks>
void Register(const char* impl) {
  const std::string name(impl);
  benchmark::RegisterBenchmark(("AllocPairs/" + name).c_str(), Pairs<Blocks>);
  benchmark::RegisterBenchmark(("AllocLifo/" + name).c_str(), Lifo<Blocks>);
  benchmark::RegisterBenchmark(("AllocChurn/" + name).c_str(), Churn<Blocks>);
}

template <typename Blocks>
void RegisterLoaded(const char* impl) {
  const std::string name(impl);
  benchmark::RegisterBenchmark(("AllocPairs/" + name).c_str(), IfAvailable<Blocks>, Pairs<Blocks>);
  benchmark::RegisterBenchmark(("AllocLifo/" + name).c_str(), IfAvailable<Blocks>, Lifo<Blocks>);
  benchmark::RegisterBenchmark(("AllocChurn/" + name).c_str(), IfAvailable<Blocks>, Churn<Blocks>);
}

[[maybe_unused]] const bool registered = [] {
  Register<TarnUtilBlocks>("TarnUtil");
  Register<BaselineBlocks>("TarnUtil unlocked baseline");
  Register<GlibcBlocks>("glibc");
#if defined(TARNUTIL_BENCH_MIMALLOC_PATH)
  RegisterLoaded<MimallocBlocks>("mimalloc");
#endif
#if defined(TARNUTIL_BENCH_JEMALLOC_PATH)
  RegisterLoaded<JemallocBlocks>("jemalloc");
#endif
#if defined(TARNUTIL_BENCH_HAVE_BOOST)
  Register<BoostPoolBlocks>("boost::pool");
  Register<CalledBoostPoolBlocks>("boost::pool called");
#endif
  return true;
}();

}  // namespace
