// Small blocks: up to 128 requested bytes from pools of equal-sized blocks
// carved out of heap chunks, larger ones straight from the heap.
#include "memory/small_object.h"

#include <atomic>
#include <cstdlib>
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

// The free-list table of the live object, null in every other state: what
// the fast paths of smalloc and sfree need, in one load. They cannot go
// through the exported members, which another module may interpose.
std::atomic<MemoryList**> liveFreeLists{nullptr};

void DestroySmallObjectsAtExit() {
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
  if (_instance == nullptr) create_instance();
  return *_instance;
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

void* smallobject_allocator::allocate(unsigned int size) {
  if (!PooledSize(size)) return nullptr;
  const unsigned int index = chunk_index(size);
  if (_free_lists[index] == nullptr) {
    memory_list* chunk = alloc_chunk(index);
    if (chunk == nullptr) return nullptr;
    void* recordBlock = nullptr;
    if (index == tarnutil::detail::recordClass) {
      recordBlock = _free_lists[index];
      _free_lists[index] = LoadLink(recordBlock);
    } else {
      recordBlock = allocate(static_cast<unsigned int>(sizeof(memory_list)));
    }
    if (recordBlock == nullptr) {
      // An unrecorded chunk would never be released: give it back now.
      _free_lists[index] = nullptr;
      tarnutil::platform::HeapRelease(chunk);
      return nullptr;
    }
    _chunk_list = ::new (recordBlock) memory_list{_chunk_list, chunk};
  }
  memory_list* block = _free_lists[index];
  _free_lists[index] = LoadLink(block);
  return block;
}

void smallobject_allocator::deallocate(void* p, unsigned int size) {
  if (p == nullptr || !PooledSize(size)) return;
  const unsigned int index = chunk_index(size);
  StoreLink(p, _free_lists[index]);
  _free_lists[index] = static_cast<memory_list*>(p);
}

namespace {

// The paths of smalloc and sfree that need calls, kept out of line so that
// the fast paths need no stack frame.
[[gnu::noinline]] void* SmallocOutOfLine(unsigned int size) {
  // A size whose header would wrap past 32 bits gets nothing, never a short
  // block.
  if (size > tarnutil::detail::largestHeaderedRequest) return nullptr;
  const unsigned int blockBytes = size + tarnutil::detail::sizeHeaderBytes;
  void* block = nullptr;
  if (size <= tarnutil::detail::largestPooledRequest && smallSingleton.State() != Lifecycle::destroyed) {
    block = smallobject_allocator::instance().allocate(blockBytes);
  } else {
    block = tarnutil::platform::HeapAllocate(blockBytes);
  }
  if (block == nullptr) return nullptr;
  tarnutil::detail::WriteSizeHeader(block, blockBytes);
  return tarnutil::detail::PastSizeHeader(block);
}

[[gnu::noinline]] void SfreeOutOfLine(void* block, std::uint32_t stored) {
  if (stored > tarnutil::detail::largestPooledRequest + tarnutil::detail::sizeHeaderBytes ||
      smallSingleton.State() == Lifecycle::destroyed) {
    tarnutil::platform::HeapRelease(block);
    return;
  }
  smallobject_allocator::instance().deallocate(block, stored);
}

}  // namespace

void* smalloc(unsigned int size) {
  // Fast path: a live allocator with a free block of the class. It does what
  // the path out of line does through instance() and allocate().
  MemoryList** const lists = liveFreeLists.load(std::memory_order_relaxed);
  if (size <= tarnutil::detail::largestPooledRequest && lists != nullptr) {
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
  // Fast path: a pooled size (1..132 stored bytes) to a live allocator, as
  // instance() and deallocate() would push it.
  MemoryList** const lists = liveFreeLists.load(std::memory_order_relaxed);
  if (stored - 1u < tarnutil::detail::largestPooledRequest + tarnutil::detail::sizeHeaderBytes &&
      lists != nullptr) {
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
