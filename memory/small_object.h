// Small-object allocator internals: class arithmetic, free-list links and
// the test probe.
//
// Layout. A request of size bytes to allocate() belongs to class
// (size - 1) / 4. On 32-bit targets class k holds blocks of 4k + 4 bytes, a
// free block keeps its 4-byte link in its first word, a chunk holds
// min(16384 / a, 64) blocks of a bytes, and the chunk records (two pointers,
// 8 bytes) are class-1 blocks. On 64-bit targets a link is 8 bytes and a
// record 16, so, keeping the classes, the header and the chunk arithmetic:
//  - a block is 4k + 4 bytes but at least one pointer: class 0 has 8-byte
//    blocks, 64 to a chunk; every other class is unchanged;
//  - records are blocks of the class that fits a record, class 3 (16 bytes);
//  - blocks of 12, 20, 28... bytes leave links unaligned, so links are read
//    and written bytewise. Records stay aligned: their class's block size is
//    a multiple of a pointer and chunks come aligned from the heap.
//
// Lifecycle (memory/exit_singleton.h): the one allocator object lives in
// static storage, is built on first use and registers one exit callback, which runs its destructor when
// the library is unloaded (or the process exits). After that callback
// smalloc serves every size from the runtime heap and sfree gives every block
// to the heap, so a late caller (another library's static destructor doing
// polygon clipping, say) neither crashes nor touches released chunks. The
// members do the same: allocate then returns a heap block of the class's
// size and deallocate gives its block to the heap. Pooled blocks handed out
// before the callback were released with their chunks; giving them to sfree
// or deallocate afterwards is outside the contract.
//
// Threads. A process that has never started a second thread takes today's
// paths unlocked: smalloc and sfree pop and push inline, and every field
// holds after each call exactly what a single thread leaves. Once a second
// thread exists, every call (the fast paths included) runs the same code
// under one lock (memory/exit_singleton.h). One lock rather than per-thread
// caches of free blocks, because:
//  - it keeps the one free-list order, chunk count and record layout in every
//    process, which the tests pin on every target; caches would park blocks
//    outside _free_lists, so the lists would no longer say what is free;
//  - Windows cannot tell a process that never started a thread, so there the
//    locked path is the only path, and it must keep the same state too;
//  - polygon clipping, the library's own user, takes four blocks per call,
//    next to work that grows with the polygon: the lock is lost in it;
//  - a block freed on another thread than the one that took it needs nothing
//    special: it goes back to the one list of its class.
// The price is contention for an application that calls smalloc in a tight
// loop on many threads; docs/performance.md gives the figures.
#ifndef TARNUTIL_MEMORY_SMALL_OBJECT_H
#define TARNUTIL_MEMORY_SMALL_OBJECT_H

#include <tarnutil/tarnutil.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace tarnutil {
namespace detail {

using MemoryList = smallobject_allocator::memory_list;

// Requests of smalloc up to this many bytes come from the pools.
constexpr unsigned int largestPooledRequest = 128;

// Free-list heads in the table, one per class.
constexpr unsigned int smallClassCount = 8192;

// Bytes a chunk may span, and the cap on its block count.
constexpr std::size_t chunkBudgetBytes = 16384;
constexpr std::size_t maxChunkBlocks = 64;

// Largest size allocate() serves: a chunk must hold at least one block.
constexpr unsigned int largestBlockRequest = 16384;

constexpr unsigned int SmallClass(unsigned int size) {
  return (size - 1u) >> 2;
}

// 4 * index + 4, but room for at least the free-list link.
constexpr std::size_t BlockBytes(unsigned int index) {
  const std::size_t bytes = 4u * static_cast<std::size_t>(index) + 4u;
  return bytes < sizeof(MemoryList*) ? sizeof(MemoryList*) : bytes;
}

constexpr std::size_t ChunkBlocks(unsigned int index) {
  const std::size_t fit = chunkBudgetBytes / BlockBytes(index);
  return fit < maxChunkBlocks ? fit : maxChunkBlocks;
}

// The class whose blocks hold chunk records: 1 on 32-bit, 3 on 64-bit.
constexpr unsigned int recordClass = SmallClass(static_cast<unsigned int>(sizeof(MemoryList)));

static_assert(BlockBytes(recordClass) >= sizeof(MemoryList), "a record fits its block");
static_assert(BlockBytes(recordClass) % alignof(MemoryList) == 0,
              "records inside a chunk stay aligned");

// The link in a free block's first bytes, read and written bytewise: blocks
// of 4k + 4 bytes place it at addresses unaligned for a pointer on 64-bit.
inline MemoryList* LoadLink(const void* block) {
  MemoryList* next = nullptr;
  std::memcpy(&next, block, sizeof next);
  return next;
}

inline void StoreLink(void* block, MemoryList* next) {
  std::memcpy(block, &next, sizeof next);
}

// The allocator's operations without the lock, for callers that hold it
// (or run in a process with one thread): the members and the paths of
// smalloc and sfree that need a call. Exactly what the members did before
// they took the lock.
struct SmallObjectPool {
  // The object, built on first call; _instance afterwards.
  static smallobject_allocator* Instance();
  static void* Allocate(smallobject_allocator& a, unsigned int size);
  static void Deallocate(smallobject_allocator& a, void* p, unsigned int size);
};

// Test access to the one allocator object's private state.
struct SmallObjectAllocatorProbe {
  // Destroys the object if it is live and builds a fresh one in its place,
  // without registering another exit callback; clears _singleton_destroyed.
  static void Restart();
  // Does what the exit callback does at unload.
  static void RunExitCallback();

  static unsigned int ChunkIndex(unsigned int size) {
    return smallobject_allocator::instance().chunk_index(size);
  }

  static void* AllocChunk(unsigned int index) {
    return smallobject_allocator::instance().alloc_chunk(index);
  }

  static const void* FreeHead(unsigned int index) {
    return smallobject_allocator::_instance->_free_lists[index];
  }

  // Blocks on the free list of class index, counted along the links.
  static std::size_t FreeCount(unsigned int index) {
    std::size_t count = 0;
    for (const void* block = FreeHead(index); block != nullptr; block = LoadLink(block)) ++count;
    return count;
  }

  // Chunk starts from _chunk_list, newest first.
  static std::vector<const void*> Chunks() {
    std::vector<const void*> chunks;
    for (const MemoryList* record = smallobject_allocator::_instance->_chunk_list;
         record != nullptr; record = record->next) {
      chunks.push_back(record->chunk);
    }
    return chunks;
  }

  // Records of _chunk_list, newest first.
  static std::vector<const void*> Records() {
    std::vector<const void*> records;
    for (const MemoryList* record = smallobject_allocator::_instance->_chunk_list;
         record != nullptr; record = record->next) {
      records.push_back(record);
    }
    return records;
  }
};

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_MEMORY_SMALL_OBJECT_H
