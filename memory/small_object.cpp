// Small blocks: up to 128 requested bytes from pools of equal-sized blocks
// carved out of heap chunks, larger ones straight from the heap.
#include "memory/small_object.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>

#include "memory/exit_singleton.h"
#include "memory/size_header.h"
#include "platform/platform.h"

smallobject_allocator* smallobject_allocator::_instance = nullptr;
bool smallobject_allocator::_singleton_destroyed = false;
std::int32_t smallobject_allocator::_singleton_guard = 0;

namespace {

using tarnutil::detail::BlockBytes;
using tarnutil::detail::ChunkBlocks;
using tarnutil::detail::largestBlockRequest;
using tarnutil::detail::LoadLink;
using tarnutil::detail::MemoryList;
using tarnutil::detail::StoreLink;

using tarnutil::detail::Lifecycle;

tarnutil::detail::ExitSingleton<smallobject_allocator> smallSingleton;
// Fork handlers from the start; see HandleFork.
[[maybe_unused]] const bool smallForkHandled = smallSingleton.HandleFork();

// The free-list table of the live object, null in every other state: what
// the fast paths of smalloc and sfree need, in one load. They cannot go
// through the exported members, which another module may interpose.
std::atomic<MemoryList**> liveFreeLists{nullptr};

void DestroySmallObjectsAtExit() {
  const std::unique_lock<std::mutex> guard = smallSingleton.Guard();
  liveFreeLists.store(nullptr, std::memory_order_relaxed);
  smallSingleton.Destroy();
}

MemoryList* AsList(unsigned char* block) {
  return static_cast<MemoryList*>(static_cast<void*>(block));
}

// A block of more than 16384 bytes would leave a chunk without blocks, and
// size 0 wraps to a class far past the table.
bool PooledSize(unsigned int size) {
  return size != 0 && size <= largestBlockRequest;
}

}  // namespace

smallobject_allocator::smallobject_allocator() : _free_lists(), _chunk_list(nullptr) {}

smallobject_allocator::~smallobject_allocator() {
  std::size_t count = 0;
  for (const memory_list* record = _chunk_list; record != nullptr; record = record->next) ++count;
  if (count != 0) {
    void** chunks = static_cast<void**>(tarnutil::platform::HeapAllocate(count * sizeof(void*)));
    // Without the array the chunks stay allocated: leaking beats reading
    // records out of chunks already released.
    if (chunks != nullptr) {
      // Gather chunk addresses first: the records live inside the chunks.
      std::size_t i = 0;
      for (const memory_list* record = _chunk_list; record != nullptr; record = record->next) {
        chunks[i++] = record->chunk;
      }
      for (i = 0; i < count; ++i) tarnutil::platform::HeapRelease(chunks[i]);
      tarnutil::platform::HeapRelease(chunks);
    }
  }
  _singleton_destroyed = true;
  _instance = nullptr;
}

smallobject_allocator& smallobject_allocator::instance() {
  const std::unique_lock<std::mutex> guard = smallSingleton.Guard();
  return *tarnutil::detail::SmallObjectPool::Instance();
}

void smallobject_allocator::create_instance() {
  if (_instance != nullptr) return;
  if (smallSingleton.State() == Lifecycle::notBuilt) {
    smallobject_allocator* built = smallSingleton.Build(
        [](void* storage) { return ::new (storage) smallobject_allocator(); },
        DestroySmallObjectsAtExit);
    liveFreeLists.store(built->_free_lists, std::memory_order_relaxed);
  }
  _instance = smallSingleton.Object();
}

unsigned int smallobject_allocator::chunk_index(unsigned int size) {
  return tarnutil::detail::SmallClass(size);
}

smallobject_allocator::memory_list* smallobject_allocator::alloc_chunk(unsigned int index) {
  if (index >= tarnutil::detail::smallClassCount || ChunkBlocks(index) == 0) return nullptr;
  if (_free_lists[index] != nullptr) return _free_lists[index];
  const std::size_t blockBytes = BlockBytes(index);
  const std::size_t blocks = ChunkBlocks(index);
  unsigned char* chunk =
      static_cast<unsigned char*>(tarnutil::platform::HeapAllocate(blocks * blockBytes));
  if (chunk == nullptr) return nullptr;
  // Blocks linked in address order, so a fresh chunk hands them out
  // ascending.
  for (std::size_t i = 0; i + 1 < blocks; ++i) {
    StoreLink(chunk + i * blockBytes, AsList(chunk + (i + 1) * blockBytes));
  }
  StoreLink(chunk + (blocks - 1) * blockBytes, nullptr);
  _free_lists[index] = AsList(chunk);
  return _free_lists[index];
}

namespace tarnutil {
namespace detail {

smallobject_allocator* SmallObjectPool::Instance() {
  if (smallobject_allocator::_instance == nullptr) smallobject_allocator::create_instance();
  return smallobject_allocator::_instance;
}

void* SmallObjectPool::Allocate(smallobject_allocator& a, unsigned int size) {
  if (!PooledSize(size)) return nullptr;
  const unsigned int index = a.chunk_index(size);
  MemoryList** const lists = a._free_lists;
  if (lists[index] == nullptr) {
    MemoryList* chunk = a.alloc_chunk(index);
    if (chunk == nullptr) return nullptr;
    void* recordBlock = nullptr;
    if (index == recordClass) {
      recordBlock = lists[index];
      lists[index] = LoadLink(recordBlock);
    } else {
      recordBlock = Allocate(a, static_cast<unsigned int>(sizeof(MemoryList)));
    }
    if (recordBlock == nullptr) {
      // An unrecorded chunk would never be released: give it back now.
      lists[index] = nullptr;
      platform::HeapRelease(chunk);
      return nullptr;
    }
    a._chunk_list = ::new (recordBlock) MemoryList{a._chunk_list, chunk};
  }
  MemoryList* block = lists[index];
  lists[index] = LoadLink(block);
  return block;
}

void SmallObjectPool::Deallocate(smallobject_allocator& a, void* p, unsigned int size) {
  if (p == nullptr || !PooledSize(size)) return;
  const unsigned int index = a.chunk_index(size);
  StoreLink(p, a._free_lists[index]);
  a._free_lists[index] = static_cast<MemoryList*>(p);
}

}  // namespace detail
}  // namespace tarnutil

// After the exit callback the members serve from the heap and never touch
// the destroyed object's lists, which point into released chunks.
void* smallobject_allocator::allocate(unsigned int size) {
  const std::unique_lock<std::mutex> guard = smallSingleton.Guard();
  if (smallSingleton.State() == Lifecycle::destroyed) {
    return PooledSize(size) ? tarnutil::platform::HeapAllocate(BlockBytes(chunk_index(size)))
                            : nullptr;
  }
  return tarnutil::detail::SmallObjectPool::Allocate(*this, size);
}

void smallobject_allocator::deallocate(void* p, unsigned int size) {
  const std::unique_lock<std::mutex> guard = smallSingleton.Guard();
  if (smallSingleton.State() == Lifecycle::destroyed) {
    if (PooledSize(size)) tarnutil::platform::HeapRelease(p);
    return;
  }
  tarnutil::detail::SmallObjectPool::Deallocate(*this, p, size);
}

namespace {

using tarnutil::detail::SmallObjectPool;

// The paths of smalloc and sfree that need calls or the lock, kept out of
// line so that the fast paths need no stack frame.
[[gnu::noinline]] void* SmallocOutOfLine(unsigned int size) {
  // A size whose header would wrap past 32 bits gets nothing, never a short
  // block.
  if (size > tarnutil::detail::largestHeaderedRequest) return nullptr;
  const unsigned int blockBytes = size + tarnutil::detail::sizeHeaderBytes;
  void* block = nullptr;
  if (size <= tarnutil::detail::largestPooledRequest) {
    const std::unique_lock<std::mutex> guard = smallSingleton.Guard();
    if (smallSingleton.State() != Lifecycle::destroyed) {
      block = SmallObjectPool::Allocate(*SmallObjectPool::Instance(), blockBytes);
    } else {
      block = tarnutil::platform::HeapAllocate(blockBytes);
    }
  } else {
    block = tarnutil::platform::HeapAllocate(blockBytes);
  }
  if (block == nullptr) return nullptr;
  tarnutil::detail::WriteSizeHeader(block, blockBytes);
  return tarnutil::detail::PastSizeHeader(block);
}

[[gnu::noinline]] void SfreeOutOfLine(void* block, std::uint32_t stored) {
  if (stored > tarnutil::detail::largestPooledRequest + tarnutil::detail::sizeHeaderBytes) {
    tarnutil::platform::HeapRelease(block);
    return;
  }
  const std::unique_lock<std::mutex> guard = smallSingleton.Guard();
  if (smallSingleton.State() == Lifecycle::destroyed) {
    tarnutil::platform::HeapRelease(block);
    return;
  }
  SmallObjectPool::Deallocate(*SmallObjectPool::Instance(), block, stored);
}

}  // namespace

void* smalloc(unsigned int size) {
  // Fast path: a live allocator with a free block of the class, in a
  // process with one thread. It does what the path out of line does.
  MemoryList** const lists = liveFreeLists.load(std::memory_order_relaxed);
  if (size <= tarnutil::detail::largestPooledRequest && lists != nullptr &&
      tarnutil::platform::SingleThreaded()) {
    const unsigned int stored = size + tarnutil::detail::sizeHeaderBytes;
    const unsigned int index = tarnutil::detail::SmallClass(stored);
    MemoryList* const block = lists[index];
    if (block != nullptr) {
      lists[index] = LoadLink(block);
      tarnutil::detail::WriteSizeHeader(block, stored);
      return tarnutil::detail::PastSizeHeader(block);
    }
  }
  return SmallocOutOfLine(size);
}

void sfree(void* p) {
  if (p == nullptr) return;
  void* block = tarnutil::detail::BlockOfCallerPointer(p);
  const std::uint32_t stored = tarnutil::detail::ReadSizeHeader(block);
  // Fast path: a pooled size (1..132 stored bytes) to a live allocator in a
  // process with one thread, pushed as the path out of line would.
  MemoryList** const lists = liveFreeLists.load(std::memory_order_relaxed);
  if (stored - 1u < tarnutil::detail::largestPooledRequest + tarnutil::detail::sizeHeaderBytes &&
      lists != nullptr && tarnutil::platform::SingleThreaded()) {
    const unsigned int index = tarnutil::detail::SmallClass(stored);
    StoreLink(block, lists[index]);
    lists[index] = static_cast<MemoryList*>(block);
    return;
  }
  SfreeOutOfLine(block, stored);
}

namespace tarnutil {
namespace detail {

void SmallObjectAllocatorProbe::Restart() {
  if (smallSingleton.State() == Lifecycle::notBuilt) {
    smallobject_allocator::create_instance();
    return;
  }
  smallobject_allocator* fresh = smallSingleton.Rebuild(
      [](void* storage) { return ::new (storage) smallobject_allocator(); });
  smallobject_allocator::_singleton_destroyed = false;
  smallobject_allocator::_instance = fresh;
  liveFreeLists.store(fresh->_free_lists, std::memory_order_relaxed);
}

void SmallObjectAllocatorProbe::RunExitCallback() {
  DestroySmallObjectsAtExit();
}

}  // namespace detail
}  // namespace tarnutil
