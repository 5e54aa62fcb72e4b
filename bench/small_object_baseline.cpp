// The small-object allocator as it was before it took a lock, compiled into
// the benchmark with the library's flags so that the single-thread fast path
// can be compared with it in one binary. The same code under another
// namespace; only the test probe is gone (the fast paths read the table
// directly) and the class is visible as the exported one is.
#include "small_object_baseline.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "memory/size_header.h"
#include "memory/small_object.h"
#include "platform/platform.h"

namespace baseline {

using tarnutil::detail::recordClass;

class [[gnu::visibility("default")]] smallobject_allocator {
 public:
  struct memory_list {
    memory_list* next;
    void* chunk;
  };
  static smallobject_allocator& instance();
  void* allocate(unsigned int size);
  void deallocate(void* p, unsigned int size);
  ~smallobject_allocator();

  static smallobject_allocator* _instance;
  static bool _singleton_destroyed;
  static std::int32_t _singleton_guard;

  smallobject_allocator();
  static void create_instance();
  memory_list* alloc_chunk(unsigned int index);
  unsigned int chunk_index(unsigned int size);

  memory_list* _free_lists[8192];
  memory_list* _chunk_list;
};

smallobject_allocator* smallobject_allocator::_instance = nullptr;
bool smallobject_allocator::_singleton_destroyed = false;
std::int32_t smallobject_allocator::_singleton_guard = 0;

namespace {

using tarnutil::detail::BlockBytes;
using tarnutil::detail::ChunkBlocks;
using tarnutil::detail::largestBlockRequest;
using MemoryList = smallobject_allocator::memory_list;

MemoryList* LoadLink(const void* block) {
  MemoryList* next = nullptr;
  std::memcpy(&next, block, sizeof next);
  return next;
}

void StoreLink(void* block, MemoryList* next) {
  std::memcpy(block, &next, sizeof next);
}

enum class Lifecycle { notBuilt, live, destroyed };

Lifecycle smallLifecycle = Lifecycle::notBuilt;

// Static storage that the one object is built in on first use, so that no
// compiler-registered destructor competes with the exit callback.
alignas(smallobject_allocator) unsigned char smallStorage[sizeof(smallobject_allocator)];
smallobject_allocator* smallObject = nullptr;

void DestroySmallObjectsAtExit() {
  if (smallLifecycle != Lifecycle::live) return;
  smallLifecycle = Lifecycle::destroyed;
  smallObject->~smallobject_allocator();
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
  if (smallLifecycle == Lifecycle::notBuilt) {
    smallLifecycle = Lifecycle::live;
    smallObject = ::new (static_cast<void*>(smallStorage)) smallobject_allocator();
    // atexit from inside the library: runs at unload, before the callbacks
    // registered earlier.
    std::atexit(DestroySmallObjectsAtExit);
  }
  _instance = smallObject;
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
    if (index == recordClass) {
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
  if (size <= tarnutil::detail::largestPooledRequest && smallLifecycle != Lifecycle::destroyed) {
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
      smallLifecycle == Lifecycle::destroyed) {
    tarnutil::platform::HeapRelease(block);
    return;
  }
  smallobject_allocator::instance().deallocate(block, stored);
}

}  // namespace

void* smalloc(unsigned int size) {
  // Fast path: a live allocator with a free block of the class. It does what
  // the path out of line does through instance() and allocate().
  smallobject_allocator* const live = smallobject_allocator::_instance;
  if (size <= tarnutil::detail::largestPooledRequest && live != nullptr &&
      smallLifecycle == Lifecycle::live) {
    const unsigned int stored = size + tarnutil::detail::sizeHeaderBytes;
    MemoryList** const lists = live->_free_lists;
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
  smallobject_allocator* const live = smallobject_allocator::_instance;
  if (stored - 1u < tarnutil::detail::largestPooledRequest + tarnutil::detail::sizeHeaderBytes &&
      live != nullptr && smallLifecycle == Lifecycle::live) {
    MemoryList** const lists = live->_free_lists;
    const unsigned int index = tarnutil::detail::SmallClass(stored);
    StoreLink(block, lists[index]);
    lists[index] = static_cast<MemoryList*>(block);
    return;
  }
  SfreeOutOfLine(block, stored);
}

}  // namespace baseline
