#include "memory/small_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "memory/size_header.h"
#include "platform/platform.h"
#include "testing/testing.h"

namespace {

using tarnutil::detail::ReadSizeHeader;
using tarnutil::detail::recordClass;
using tarnutil::platform::HeapHooks;
using Probe = tarnutil::detail::SmallObjectAllocatorProbe;

constexpr bool wide = sizeof(void*) == 8;
// smalloc sizes served by the record class (class 1 on 32-bit, 3 on 64-bit).
constexpr unsigned int recordClassRequest = wide ? 12 : 4;

const unsigned char* Bytes(const void* p) {
  return static_cast<const unsigned char*>(p);
}
const void* BlockOf(const void* p) {
  return Bytes(p) - 4;
}

// Every case starts from a fresh allocator and leaves the heap hooks idle.
class SmallObject : public ::testing::Test {
 protected:
  void SetUp() override { Probe::Restart(); }
  void TearDown() override {
    if (hooks_ != nullptr) *hooks_ = HeapHooks{};
    Probe::Restart();
  }
  // Null where the back end has no hooks.
  HeapHooks* const hooks_ = tarnutil::platform::HeapTestHooks();
};

TEST_F(SmallObject, ClassArithmeticAndChunkShape) {
  struct Case {
    unsigned int size, index;
    std::size_t blockBytes, chunkBlocks;
  };
  const Case cases[] = {
      {1, 0, wide ? 8u : 4u, 64},
      {4, 0, wide ? 8u : 4u, 64},
      {5, 1, 8, 64},
      {9, 2, 12, 64},
      {16, 3, 16, 64},
      {132, 32, 132, 64},
      {256, 63, 256, 64},
      {257, 64, 260, 63},
      {8192, 2047, 8192, 2},
      {8193, 2048, 8196, 1},
      {16384, 4095, 16384, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size);
    Probe::Restart();
    EXPECT_EQ(Probe::ChunkIndex(c.size), c.index);
    smallobject_allocator& allocator = smallobject_allocator::instance();
    const unsigned char* first = Bytes(allocator.allocate(c.size));
    // The class's chunk heads the chunk list; in the record class its first
    // block is the chunk's own record.
    const std::size_t taken = c.index == recordClass ? 1 : 0;
    EXPECT_EQ(first, Bytes(Probe::Chunks().front()) + taken * c.blockBytes);
    if (c.chunkBlocks == 1) {
      EXPECT_EQ(Probe::FreeCount(c.index), 0u);
      continue;
    }
    // A fresh chunk hands out its blocks in ascending address order.
    EXPECT_EQ(Bytes(allocator.allocate(c.size)) - first, static_cast<std::ptrdiff_t>(c.blockBytes));
    EXPECT_EQ(Probe::FreeCount(c.index), c.chunkBlocks - 2 - taken);
  }
  EXPECT_EQ(Probe::ChunkIndex(0), 0x3FFFFFFFu);
}

TEST_F(SmallObject, FirstRequestTakesChunkAndRecord) {
  struct Case {
    unsigned int request, index;
    std::size_t freeInClass, freeInRecordClass, chunks;
  };
  const Case narrowCases[] = {{0, 0, 63, 62, 2}, {1, 1, 62, 62, 1},  {4, 1, 62, 62, 1},
                              {8, 2, 63, 62, 2}, {12, 3, 63, 62, 2}, {128, 32, 63, 62, 2}};
  const Case wideCases[] = {{0, 0, 63, 62, 2}, {1, 1, 63, 62, 2},  {4, 1, 63, 62, 2},
                            {8, 2, 63, 62, 2}, {12, 3, 62, 62, 1}, {128, 32, 63, 62, 2}};
  for (const Case& c : wide ? wideCases : narrowCases) {
    SCOPED_TRACE(testing::Message() << "smalloc(" << c.request << ")");
    Probe::Restart();
    void* p = smalloc(c.request);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(ReadSizeHeader(BlockOf(p)), c.request + 4);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 4, 0u);
    EXPECT_EQ(Probe::FreeCount(c.index), c.freeInClass);
    EXPECT_EQ(Probe::FreeCount(recordClass), c.freeInRecordClass);
    EXPECT_EQ(Probe::Chunks().size(), c.chunks);
    sfree(p);
    EXPECT_EQ(Probe::FreeHead(c.index), BlockOf(p));
    EXPECT_EQ(Probe::FreeCount(c.index), c.freeInClass + 1);
  }
}

TEST_F(SmallObject, DryClassesTakeNewerChunks) {
  std::vector<void*> blocks;
  for (int i = 0; i < 64; ++i) blocks.push_back(smalloc(8));
  // The record class gave one block to its own record and one to class 2's.
  EXPECT_EQ(Probe::FreeCount(recordClass), 62u);
  blocks.push_back(smalloc(8));
  EXPECT_EQ(Probe::Chunks().size(), 3u);
  EXPECT_EQ(Probe::Chunks().front(), BlockOf(blocks.back()));
  EXPECT_EQ(Probe::FreeCount(recordClass), 61u);
  for (int i = 0; i < 61; ++i) blocks.push_back(smalloc(recordClassRequest));
  EXPECT_EQ(Probe::Chunks().size(), 3u);
  blocks.push_back(smalloc(recordClassRequest));
  ASSERT_EQ(Probe::Chunks().size(), 4u);
  // The new record-class chunk holds its own record first, then the block.
  EXPECT_EQ(Probe::Records().front(), Probe::Chunks().front());
  EXPECT_EQ(BlockOf(blocks.back()), Bytes(Probe::Chunks().front()) + (wide ? 16 : 8));
  for (void* p : blocks) sfree(p);
  EXPECT_EQ(Probe::FreeCount(2), 128u);
}

TEST_F(SmallObject, FreedBlocksComeBackLastInFirstOut) {
  void* a = smalloc(8);
  void* b = smalloc(7);
  void* c = smalloc(6);
  const void* untouched = Probe::FreeHead(2);
  sfree(a);
  // The link to the old head overwrites the freed block's header.
  EXPECT_EQ(tarnutil::detail::LoadLink(BlockOf(a)), untouched);
  sfree(c);
  EXPECT_EQ(smalloc(5), c);
  EXPECT_EQ(smalloc(8), a);
  EXPECT_EQ(Probe::FreeHead(2), untouched);
  smallobject_allocator::instance().deallocate(const_cast<void*>(BlockOf(b)), 12);
  EXPECT_EQ(smalloc(8), b);
  // A class with free blocks takes no chunk.
  const std::size_t chunks = Probe::Chunks().size();
  EXPECT_EQ(Probe::AllocChunk(2), Probe::FreeHead(2));
  EXPECT_EQ(Probe::Chunks().size(), chunks);
  for (void* p : {a, b, c}) sfree(p);
}

TEST_F(SmallObject, LargeAndOversizedRequests) {
  struct Case {
    unsigned int request;
    bool pooled;
  };
  const Case cases[] = {{128, true}, {129, false}, {100000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    Probe::Restart();
    void* p = smalloc(c.request);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0xA5, c.request);
    EXPECT_EQ(ReadSizeHeader(BlockOf(p)), c.request + 4);
    EXPECT_EQ(Probe::Chunks().empty(), !c.pooled);
    sfree(p);
    EXPECT_EQ(Probe::FreeHead(32) == BlockOf(p), c.pooled);
  }
  // Sizes whose header would wrap, and sizes no chunk can hold.
  for (unsigned int size : {0xFFFFFFFCu, 0xFFFFFFFFu}) EXPECT_EQ(smalloc(size), nullptr);
  EXPECT_EQ(smallobject_allocator::instance().allocate(0), nullptr);
  EXPECT_EQ(smallobject_allocator::instance().allocate(16385), nullptr);
  sfree(nullptr);
}

TEST_F(SmallObject, HeapFailuresGiveNullAndKeepState) {
  if (hooks_ == nullptr) GTEST_SKIP() << "no heap hooks on this back end";
  struct Case {
    const char* what;
    unsigned int request;
    std::uint32_t passFirst;
  };
  // A class-2 request on a fresh allocator takes its chunk, then a chunk of
  // the record class for the record.
  const Case cases[] = {{"chunk", 8, 0}, {"record chunk", 8, 1}, {"heap block", 500, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Probe::Restart();
    *hooks_ = HeapHooks{c.passFirst, 1, true, 0, 0};
    EXPECT_EQ(smalloc(c.request), nullptr);
    EXPECT_EQ(hooks_->allocations, hooks_->releases);
    EXPECT_TRUE(Probe::Chunks().empty());
    EXPECT_EQ(Probe::FreeHead(2), nullptr);
    void* p = smalloc(c.request);
    EXPECT_NE(p, nullptr);
    sfree(p);
  }
  // Without the destructor's array the chunks are kept, not read after release.
  void* p = smalloc(8);
  const std::vector<const void*> chunks = Probe::Chunks();
  *hooks_ = HeapHooks{0, 1, true, 0, 0};
  Probe::RunExitCallback();
  EXPECT_EQ(hooks_->releases, 0u);
  EXPECT_EQ(ReadSizeHeader(BlockOf(p)), 12u);
  for (const void* chunk : chunks) tarnutil::platform::HeapRelease(const_cast<void*>(chunk));
}

TEST_F(SmallObject, DestructionReleasesChunksThenHeapServes) {
  if (hooks_ != nullptr) hooks_->counting = true;
  for (int round = 0; round < 100; ++round) {
    for (unsigned int size : {0u, 1u, 8u, 12u, 60u, 128u, 8u}) {
      void* p = smalloc(size);
      if (round % 3 == 0) sfree(p);
    }
  }
  EXPECT_GT(Probe::Chunks().size(), 8u);
  Probe::RunExitCallback();
  EXPECT_EQ(smallobject_allocator::_instance, nullptr);
  EXPECT_TRUE(smallobject_allocator::_singleton_destroyed);
  if (hooks_ != nullptr) {
    EXPECT_EQ(hooks_->allocations, hooks_->releases);
  }
  // Late calls get heap blocks and never rebuild the pools.
  for (unsigned int size : {0u, 8u, 128u, 129u}) {
    SCOPED_TRACE(size);
    void* p = smalloc(size);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0x5A, size);
    EXPECT_EQ(ReadSizeHeader(BlockOf(p)), size + 4);
    sfree(p);
    EXPECT_EQ(smallobject_allocator::_instance, nullptr);
  }
  // So do the members, instead of popping lists that point into released
  // chunks.
  smallobject_allocator& late = smallobject_allocator::instance();
  for (unsigned int size : {1u, 12u, 16384u}) {
    SCOPED_TRACE(size);
    void* p = late.allocate(size);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0x5A, size);
    late.deallocate(p, size);
  }
  EXPECT_EQ(late.allocate(0), nullptr);
  if (hooks_ != nullptr) {
    EXPECT_EQ(hooks_->allocations, hooks_->releases);
  }
  Probe::RunExitCallback();
}

TEST_F(SmallObject, CrossThreadFreesLoseNoBlock) {
  // Four threads take class-2 blocks and each frees the blocks another took.
  constexpr int threads = 4;
  constexpr int blocksPerThread = 500;
  std::vector<std::vector<void*>> taken(threads, std::vector<void*>(blocksPerThread));
  auto run = [&](auto&& body) {
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) workers.emplace_back(body, t);
    for (std::thread& w : workers) w.join();
  };
  run([&](int t) {
    for (void*& p : taken[static_cast<std::size_t>(t)]) {
      p = smalloc(8);
      if (p != nullptr) std::memset(p, t, 8);
    }
  });
  std::vector<const void*> all;
  for (const std::vector<void*>& blocks : taken) all.insert(all.end(), blocks.begin(), blocks.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "a block handed out twice";
  EXPECT_NE(all.front(), nullptr);
  run([&](int t) {
    for (void* p : taken[static_cast<std::size_t>((t + 1) % threads)]) sfree(p);
  });
  // Every block of every chunk is free again but the records' own.
  const std::size_t chunks = Probe::Chunks().size();
  EXPECT_EQ(Probe::FreeCount(2) + Probe::FreeCount(recordClass), 64 * chunks - chunks);
}

TEST_F(SmallObject, RandomTrafficKeepsBlocksDisjoint) {
  // Each live block holds its own tag; overlapping blocks, or a block handed
  // out twice, would overwrite another block's tag.
  struct Live {
    unsigned char* p;
    unsigned int size;
    unsigned char tag;
  };
  tarnutil::testing::SeededRng rng(4);
  std::vector<Live> live;
  for (int step = 0; step < 20000; ++step) {
    if (live.empty() || rng.Int(0, 99) < 55) {
      const unsigned int size = static_cast<unsigned int>(rng.Int(0, 140));
      unsigned char* p = static_cast<unsigned char*>(smalloc(size));
      ASSERT_NE(p, nullptr);
      const unsigned char tag = static_cast<unsigned char>(step);
      std::memset(p, tag, size);
      live.push_back({p, size, tag});
      continue;
    }
    const std::size_t i =
        static_cast<std::size_t>(rng.Int(0, static_cast<std::int32_t>(live.size()) - 1));
    const Live block = live[i];
    ASSERT_TRUE(
        std::all_of(block.p, block.p + block.size, [&](unsigned char b) { return b == block.tag; }))
        << "step " << step;
    sfree(block.p);
    live[i] = live.back();
    live.pop_back();
  }
  for (const Live& block : live) sfree(block.p);
}

}  // namespace
