// The stateful calls on one and on two threads at once: clipGraph (whose
// scratch points come from the locked small allocator) against GEOS's
// GEOSClipByRect_r with a context per thread, and smalloc/sfree pairs and
// churn once the process has threads, so that every call takes the lock.
//
// Starts threads, so it runs in a program of its own: small_object_bench
// times the single-thread path. Each thread clips its own copy of the star
// with its own rectangle. Counters: cpu_ns_per_item, the CPU time one thread
// spends per item (averaged over the threads), and items_per_second over
// wall time (UseRealTime), whose ratio between two threads and one is the
// wall-clock speed-up.
#include <benchmark/benchmark.h>
#include <tarnutil/tarnutil.h>
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "bench_support.h"

#if defined(TARNUTIL_BENCH_HAVE_GEOS)
#include <geos_c.h>
#endif

namespace {

// A thread started and joined before any benchmark: from here on the
// process is multi-threaded, so the one-thread rows take the locks too.
[[maybe_unused]] const bool threaded = [] {
  std::thread([] {}).join();
  return true;
}();

constexpr std::size_t starVertices = 1000;
constexpr std::size_t allocBatch = 1000;

double ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// Runs body once per iteration and reports the per-thread CPU cost of
// itemsPerIteration items.
template <typename Body>
void Timed(benchmark::State& state, std::size_t itemsPerIteration, Body&& body) {
  const double start = ThreadCpuNs();
  for (auto _ : state) body();
  const double cpu = ThreadCpuNs() - start;
  const double items = static_cast<double>(state.iterations()) * static_cast<double>(itemsPerIteration);
  state.counters["cpu_ns_per_item"] =
      benchmark::Counter(items > 0 ? cpu / items : 0.0, benchmark::Counter::kAvgThreads);
  bench::SetItems(state, itemsPerIteration);
}

const std::vector<tagPOINT>& Star() {
  static const std::vector<tagPOINT> star = bench::StarPolygon(starVertices);
  return star;
}

void ClipThreadsTarnUtil(benchmark::State& state) {
  std::vector<tagPOINT> in(Star());
  std::vector<tagPOINT> out(81 * in.size() / 16 + 1);
  Timed(state, 1, [&] {
    tagRECT rect{bench::clipLeft, bench::clipTop, bench::clipRight, bench::clipBottom};
    benchmark::DoNotOptimize(
        clipGraph(&rect, in.data(), static_cast<std::int32_t>(in.size()), out.data(), 0));
    benchmark::ClobberMemory();
  });
}

BENCHMARK(ClipThreadsTarnUtil)->Name("ClipThreads/TarnUtil")->Threads(1)->Threads(2)->UseRealTime();

#if defined(TARNUTIL_BENCH_HAVE_GEOS)
void ClipThreadsGeos(benchmark::State& state) {
  GEOSContextHandle_t ctx = GEOS_init_r();
  std::vector<double> xy;
  for (const tagPOINT& p : Star()) {
    xy.push_back(p.x);
    xy.push_back(p.y);
  }
  xy.push_back(Star().front().x);
  xy.push_back(Star().front().y);
  GEOSCoordSequence* seq =
      GEOSCoordSeq_copyFromBuffer_r(ctx, xy.data(), static_cast<unsigned int>(xy.size() / 2), 0, 0);
  GEOSGeometry* polygon =
      GEOSGeom_createPolygon_r(ctx, GEOSGeom_createLinearRing_r(ctx, seq), nullptr, 0);
  Timed(state, 1, [&] {
    GEOSGeometry* clipped = GEOSClipByRect_r(ctx, polygon, bench::clipLeft, bench::clipBottom,
                                             bench::clipRight, bench::clipTop);
    benchmark::DoNotOptimize(GEOSGetNumCoordinates_r(ctx, clipped));
    GEOSGeom_destroy_r(ctx, clipped);
  });
  GEOSGeom_destroy_r(ctx, polygon);
  GEOS_finish_r(ctx);
}

BENCHMARK(ClipThreadsGeos)->Name("ClipThreads/GEOS")->Threads(1)->Threads(2)->UseRealTime();
#endif

// Every smalloc and sfree here takes the allocator's lock.
void AllocPairsThreads(benchmark::State& state) {
  std::uint64_t i = 0;
  Timed(state, allocBatch, [&] {
    for (std::size_t k = 0; k < allocBatch; ++k) {
      void* p = smalloc(8);
      ++i;
      std::memcpy(p, &i, sizeof i);
      benchmark::DoNotOptimize(p);
      sfree(p);
    }
  });
}

void AllocChurnThreads(benchmark::State& state) {
  std::vector<void*> live(allocBatch);
  for (void*& p : live) p = smalloc(8);
  bench::Rng rng(static_cast<std::uint64_t>(state.thread_index()) + 8u);
  std::vector<std::uint32_t> slots(1u << 12);
  for (std::uint32_t& s : slots) s = static_cast<std::uint32_t>(rng.Below(allocBatch));
  std::size_t next = 0;
  Timed(state, allocBatch, [&] {
    for (std::size_t k = 0; k < allocBatch; ++k) {
      void*& p = live[slots[next]];
      next = (next + 1) & (slots.size() - 1);
      sfree(p);
      p = smalloc(8);
      benchmark::DoNotOptimize(p);
    }
  });
  for (void* p : live) sfree(p);
}

BENCHMARK(AllocPairsThreads)->Name("AllocPairsLocked/TarnUtil")->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(AllocChurnThreads)->Name("AllocChurnLocked/TarnUtil")->Threads(1)->Threads(2)->UseRealTime();

}  // namespace
