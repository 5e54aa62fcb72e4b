#include "memory/huge_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "memory/size_header.h"
#include "platform/platform.h"

namespace {

using tarnutil::detail::ReadSizeHeader;
using tarnutil::platform::HeapHooks;
using Probe = tarnutil::detail::HugeObjectAllocatorProbe;
using Views = std::vector<const void*>;

const unsigned char* BlockOf(const void* p) {
  return static_cast<const unsigned char*>(p) - 4;
}

// Every case starts from a fresh allocator and leaves the hooks idle.
class HugeObject : public ::testing::Test {
 protected:
  void SetUp() override { Probe::Restart(); }
  void TearDown() override {
    if (heap_ != nullptr) *heap_ = HeapHooks{};
    if (mapping_ != nullptr) mapping_->failCreate = mapping_->failMap = 0;
    Probe::Restart();
  }
  std::uint32_t LiveViews() const { return mapping_ != nullptr ? mapping_->liveViews : 0; }
  // Null where the back end has no hooks.
  HeapHooks* const heap_ = tarnutil::platform::HeapTestHooks();
  tarnutil::platform::MappingHooks* const mapping_ = tarnutil::platform::MappingTestHooks();
};

TEST(MappingBytes, NextMultipleOfEightAboveWithinThirtyTwoBits) {
  const std::uint32_t cases[][2] = {
      {0, 8},           {7, 8},          {8, 16}, {4100, 4104}, {0xFFFFFFF7u, 0xFFFFFFF8u},
      {0xFFFFFFF8u, 0}, {0xFFFFFFFFu, 0}};
  for (const auto& c : cases) EXPECT_EQ(tarnutil::detail::MappingBytes(c[0]), c[1]) << c[0];
}

TEST_F(HugeObject, HeaderAndMappingPerSize) {
  struct Case {
    unsigned int size;
    std::uint32_t mappingBytes;  // 0: served from the heap
  };
  const Case cases[] = {{0, 0}, {4095, 0}, {4096, 4104}, {4100, 4112}, {100000, 100008}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::uint32_t liveViews = LiveViews();
    unsigned char* p = static_cast<unsigned char*>(hmalloc(c.size));
    ASSERT_NE(p, nullptr);
    std::memset(p, 0xC3, c.size);
    EXPECT_EQ(ReadSizeHeader(BlockOf(p)), c.size);
    EXPECT_EQ(Probe::Views(), c.mappingBytes == 0 ? Views{} : Views{BlockOf(p)});
    if (c.mappingBytes != 0) {
      // The whole mapping is writable, up to its last byte.
      p[c.mappingBytes - 5] = 1;
      if (mapping_ != nullptr) {
        EXPECT_EQ(mapping_->lastCreateBytes, c.mappingBytes);
        EXPECT_EQ(mapping_->lastMapBytes, c.mappingBytes);
        EXPECT_EQ(mapping_->liveViews, liveViews + 1);
      }
    }
    hfree(p);
    EXPECT_TRUE(Probe::Views().empty());
    EXPECT_EQ(LiveViews(), liveViews);
  }
}

TEST_F(HugeObject, FreesInEveryOrderKeepTheList) {
  std::size_t order[] = {0, 1, 2};
  do {
    SCOPED_TRACE(testing::Message() << order[0] << order[1] << order[2]);
    void* blocks[3] = {hmalloc(5000), hmalloc(5000), hmalloc(5000)};
    Views remaining = {BlockOf(blocks[0]), BlockOf(blocks[1]), BlockOf(blocks[2])};
    for (std::size_t i : order) {
      hfree(blocks[i]);
      remaining.erase(std::find(remaining.begin(), remaining.end(), BlockOf(blocks[i])));
      EXPECT_EQ(Probe::Views(), remaining);
      EXPECT_TRUE(Probe::TailIsLastNode());
    }
    EXPECT_EQ(Probe::HeadView(), nullptr);
    EXPECT_EQ(Probe::TailView(), nullptr);
    void* fourth = hmalloc(5000);
    EXPECT_EQ(Probe::Views(), Views{BlockOf(fourth)});
    EXPECT_EQ(Probe::TailView(), BlockOf(fourth));
    hfree(fourth);
  } while (std::next_permutation(order, order + 3));
}

TEST_F(HugeObject, NewBlockAfterFreeingNewestGoesLast) {
  void* a = hmalloc(8000);
  void* b = hmalloc(8000);
  hfree(hmalloc(8000));
  void* d = hmalloc(4096);
  EXPECT_EQ(Probe::Views(), (Views{BlockOf(a), BlockOf(b), BlockOf(d)}));
  EXPECT_EQ(Probe::TailView(), BlockOf(d));
  // Interior and foreign pointers change nothing.
  const std::uint32_t liveViews = LiveViews();
  const int here = 0;
  const void* others[] = {a, BlockOf(a) + 8, &here, nullptr};
  for (const void* other : others) {
    hugeobject_allocator::instance().deallocate(other);
    EXPECT_EQ(Probe::Views(), (Views{BlockOf(a), BlockOf(b), BlockOf(d)}));
  }
  EXPECT_EQ(LiveViews(), liveViews);
  for (void* p : {a, b, d}) hfree(p);
  hugeobject_allocator::instance().deallocate(nullptr);
}

TEST_F(HugeObject, FailuresGiveNullAndLeaveNothingOpen) {
  if (heap_ == nullptr || mapping_ == nullptr) GTEST_SKIP() << "no hooks on this back end";
  struct Case {
    const char* what;
    unsigned int size;
    std::uint32_t failCreate, failMap, failHeap;
  };
  const Case cases[] = {
      {"mapping object", 5000, 1, 0, 0},
      {"view", 5000, 0, 1, 0},
      {"node", 5000, 0, 0, 1},
      {"heap block", 100, 0, 0, 1},
      {"mapping past 32 bits", 0xFFFFFFF4u, 0, 0, 0},
      {"header past 32 bits", 0xFFFFFFFCu, 0, 0, 0},
  };
  void* survivor = hmalloc(6000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::uint32_t liveMappings = mapping_->liveMappings;
    const std::uint32_t liveViews = mapping_->liveViews;
    mapping_->failCreate = c.failCreate;
    mapping_->failMap = c.failMap;
    *heap_ = HeapHooks{0, c.failHeap, true, 0, 0};
    EXPECT_EQ(hmalloc(c.size), nullptr);
    EXPECT_EQ(mapping_->liveMappings, liveMappings);
    EXPECT_EQ(mapping_->liveViews, liveViews);
    EXPECT_EQ(heap_->allocations, heap_->releases);
    EXPECT_EQ(Probe::Views(), Views{BlockOf(survivor)});
    EXPECT_EQ(Probe::TailView(), BlockOf(survivor));
  }
  hfree(survivor);
}

TEST_F(HugeObject, ExitCallbackReleasesMappingsThenHeapServes) {
  ASSERT_NE(hmalloc(5000), nullptr);
  ASSERT_NE(hmalloc(70000), nullptr);
  void* small = hmalloc(50);
  const std::uint32_t liveViews = LiveViews();
  const std::uint32_t liveMappings = mapping_ != nullptr ? mapping_->liveMappings : 0;
  Probe::RunExitCallback();
  EXPECT_TRUE(Probe::Released());
  EXPECT_NE(hugeobject_allocator::_instance, nullptr);
  if (mapping_ != nullptr) {
    EXPECT_EQ(mapping_->liveViews, liveViews - 2);
    EXPECT_EQ(mapping_->liveMappings, liveMappings - 2);
  }
  hfree(small);
  // Late calls get heap blocks of every size and map nothing.
  if (heap_ != nullptr) heap_->counting = true;
  for (unsigned int size : {10u, 4096u, 200000u}) {
    SCOPED_TRACE(size);
    unsigned char* p = static_cast<unsigned char*>(hmalloc(size));
    ASSERT_NE(p, nullptr);
    std::memset(p, 0x3C, size);
    EXPECT_EQ(ReadSizeHeader(BlockOf(p)), size);
    hfree(p);
  }
  // So do the members, instead of appending to freed nodes.
  hugeobject_allocator& late = hugeobject_allocator::instance();
  for (unsigned int size : {0u, 5000u}) {
    SCOPED_TRACE(size);
    unsigned char* p = static_cast<unsigned char*>(late.allocate(size));
    ASSERT_NE(p, nullptr);
    std::memset(p, 0x3C, tarnutil::detail::MappingBytes(size));
    late.deallocate(p);
  }
  if (heap_ != nullptr && mapping_ != nullptr) {
    EXPECT_EQ(heap_->allocations, 5u);
    EXPECT_EQ(heap_->releases, 5u);
    EXPECT_EQ(mapping_->liveViews, liveViews - 2);
  }
  Probe::RunExitCallback();
}

TEST_F(HugeObject, ThreadsShareTheList) {
  // Each thread maps and releases its own blocks; a lost update of _head or
  // _tail would leave a node behind or cut one off.
  constexpr int threads = 4;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([t] {
      for (int round = 0; round < 50; ++round) {
        void* a = hmalloc(4096u + static_cast<unsigned int>(t));
        void* b = hmalloc(8192);
        if (a != nullptr) std::memset(a, t, 4096);
        hfree(a);
        hfree(b);
      }
    });
  }
  for (std::thread& w : workers) w.join();
  EXPECT_TRUE(Probe::Views().empty());
  EXPECT_TRUE(Probe::TailIsLastNode());
  EXPECT_EQ(LiveViews(), 0u);
}

}  // namespace
