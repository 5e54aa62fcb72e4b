// The small-object allocator before it took a lock: see the .cpp.
#ifndef TARNUTIL_BENCH_SMALL_OBJECT_BASELINE_H
#define TARNUTIL_BENCH_SMALL_OBJECT_BASELINE_H

namespace baseline {

[[gnu::visibility("default")]] void* smalloc(unsigned int size);
[[gnu::visibility("default")]] void sfree(void* p);

}  // namespace baseline

#endif  // TARNUTIL_BENCH_SMALL_OBJECT_BASELINE_H
