// Operation sequences on hmalloc/hfree, smalloc/sfree and the huge-object
// allocator, checked against a shadow model: every live block keeps its own
// fill pattern and size header until it is freed, and sizes whose header
// would not fit 32 bits are refused.
#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_input.h"

namespace {

enum class Kind : std::uint8_t { hmallocBlock, smallocBlock, hugeView };

struct Block {
  unsigned char* p;
  unsigned int size;
  Kind kind;
  unsigned char fill;
};

constexpr std::size_t maxLive = 48;
// Blocks up to this size are filled and checked whole; larger ones at the
// first, middle and last byte only: each fresh page costs a fault, which
// dominates the run time (the sanitizer catches overruns of heap blocks byte
// by byte, and separate mappings cannot overlap).
constexpr unsigned int fullFillLimit = 1u << 13;
// Below this a request must succeed; above it the system may refuse.
constexpr unsigned int mustSucceedLimit = 1u << 20;
// Mapping and unmapping gigabytes (and their sanitizer shadow) takes
// milliseconds, so an input gets few of them.
constexpr int maxLargeRequests = 2;
// Each view is a mapping of its own (a system call and a TLB flush to
// release); the mapping list's orders need only a handful per input.
constexpr int maxHugeViews = 6;

unsigned int PickSize(tarnutil::fuzz::FuzzInput& in) {
  const std::uint8_t tag = in.U8();
  const unsigned int table[] = {0u,          1u,          3u,          4u,          127u,
                                128u,        129u,        4091u,       4092u,       4095u,
                                4096u,       4097u,       16384u,      16385u,      0xFFFFFFFFu,
                                0xFFFFFFFEu, 0xFFFFFFFDu, 0xFFFFFFFCu, 0xFFFFFFFBu, 0x80000000u};
  constexpr std::size_t tableSize = sizeof table / sizeof table[0];
  if (tag < tableSize) return table[tag];
  if (tag < 160) return in.U8();
  return in.U16() + (tag < 224 ? 0u : 0x10000u);
}

std::uint32_t Header(const unsigned char* p) {
  std::uint32_t h;
  std::memcpy(&h, p - 4, sizeof h);
  return h;
}

void Fill(const Block& b) {
  if (b.size == 0) return;
  if (b.size <= fullFillLimit) {
    std::memset(b.p, b.fill, b.size);
  } else {
    b.p[0] = b.fill;
    b.p[b.size / 2] = b.fill;
    b.p[b.size - 1] = b.fill;
  }
}

void Verify(const Block& b) {
  if (b.size == 0) return;
  if (b.size <= fullFillLimit) {
    // One memcmp against a pattern: a byte loop would be instrumented per byte.
    unsigned char pattern[fullFillLimit];
    std::memset(pattern, b.fill, b.size);
    TARNUTIL_FUZZ_CHECK(std::memcmp(b.p, pattern, b.size) == 0);
  } else {
    TARNUTIL_FUZZ_CHECK(b.p[0] == b.fill && b.p[b.size / 2] == b.fill &&
                        b.p[b.size - 1] == b.fill);
  }
  if (b.kind == Kind::hmallocBlock) TARNUTIL_FUZZ_CHECK(Header(b.p) == b.size);
  if (b.kind == Kind::smallocBlock) TARNUTIL_FUZZ_CHECK(Header(b.p) == b.size + 4);
}

void Release(const Block& b) {
  Verify(b);
  switch (b.kind) {
    case Kind::hmallocBlock:
      hfree(b.p);
      break;
    case Kind::smallocBlock:
      sfree(b.p);
      break;
    case Kind::hugeView:
      hugeobject_allocator::instance().deallocate(b.p);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnutil::fuzz::FuzzInput in(data, size);
  Block live[maxLive];
  std::size_t liveCount = 0;
  unsigned char nextFill = 1;
  int largeRequests = 0;
  int hugeViews = 0;
  while (!in.Empty()) {
    const std::uint8_t op = in.U8();
    if ((op & 1) != 0 && liveCount > 0) {
      const std::size_t victim = in.U8() % liveCount;
      Release(live[victim]);
      live[victim] = live[--liveCount];
      continue;
    }
    if ((op & 0x0E) == 0x0E) {
      // Null is accepted by every release.
      hfree(nullptr);
      sfree(nullptr);
      hugeobject_allocator::instance().deallocate(nullptr);
      continue;
    }
    if (liveCount == maxLive) continue;
    const unsigned int request = PickSize(in);
    if (request >= mustSucceedLimit && request <= 0xFFFFFFFFu - 4u) {
      if (largeRequests == maxLargeRequests) continue;
      ++largeRequests;
    }
    Block b{nullptr, request, Kind::hmallocBlock, nextFill++};
    const bool headerFits = request <= 0xFFFFFFFFu - 4u;
    switch (op >> 1 & 3) {
      case 0:
      case 1:
        b.kind = Kind::hmallocBlock;
        b.p = static_cast<unsigned char*>(hmalloc(request));
        break;
      case 2:
        // Above the pools smalloc takes the heap, where the sanitizer
        // shadows every byte: gigabyte blocks would cost gigabytes there.
        if (request >= mustSucceedLimit && headerFits) continue;
        b.kind = Kind::smallocBlock;
        b.p = static_cast<unsigned char*>(smalloc(request));
        break;
      default:
        if (hugeViews == maxHugeViews) continue;
        ++hugeViews;
        b.kind = Kind::hugeView;
        b.p = static_cast<unsigned char*>(hugeobject_allocator::instance().allocate(request));
        break;
    }
    if (b.kind != Kind::hugeView && !headerFits) TARNUTIL_FUZZ_CHECK(b.p == nullptr);
    if (request < mustSucceedLimit) TARNUTIL_FUZZ_CHECK(b.p != nullptr);
    if (b.p == nullptr) continue;
    Fill(b);
    Verify(b);
    live[liveCount++] = b;
  }
  for (std::size_t i = 0; i < liveCount; ++i) Release(live[i]);
  return 0;
}
