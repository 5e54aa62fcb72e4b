// Huge-object allocator internals: the mapping-size rule and the test probe.
//
// Lifecycle (memory/exit_singleton.h): the one allocator object lives in
// static storage, is built on
// first use and registers one exit callback, which releases every recorded
// mapping when the library is unloaded (or the process exits). After that
// callback hmalloc serves every size from the runtime heap and hfree gives
// every block to the heap, so a late caller (another library's static
// destructor, say) neither crashes nor touches released mappings. So do the
// members: allocate then returns a heap block of the mapping size and
// deallocate gives its pointer to the heap. Blocks handed out before the
// callback were released with their mappings; giving them to hfree or
// deallocate afterwards is outside the contract.
//
// Threads: every member takes the allocator's lock once the process has
// started a second thread (memory/exit_singleton.h). A huge block costs a
// mapping, a system call far dearer than the lock, so nothing finer pays.
#ifndef TARNUTIL_MEMORY_HUGE_OBJECT_H
#define TARNUTIL_MEMORY_HUGE_OBJECT_H

#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <vector>

namespace tarnutil {
namespace detail {

// Requests of this many bytes or more get a mapping of their own.
constexpr unsigned int hugeThresholdBytes = 4096;

// Mapping granule: mappings are the multiple of 8 strictly above the size.
constexpr std::uint32_t mappingGranuleBytes = 8;

// (size / 8 + 1) * 8, or 0 when that does not fit in the 32-bit size of a
// mapping (sizes of 0xFFFFFFF8 and more).
constexpr std::uint32_t MappingBytes(std::uint32_t size) {
  const std::uint64_t bytes =
      (static_cast<std::uint64_t>(size) / mappingGranuleBytes + 1) * mappingGranuleBytes;
  return bytes > 0xFFFFFFFFu ? 0u : static_cast<std::uint32_t>(bytes);
}

// Test access to the one allocator object.
struct HugeObjectAllocatorProbe {
  // Releases the object if it is live and builds a fresh one in its place,
  // without registering another exit callback.
  static void Restart();
  // Does what the exit callback does at unload.
  static void RunExitCallback();
  // True once the exit callback has run (and no Restart since).
  static bool Released();

  // Views of the recorded mappings, from _head along next.
  static std::vector<const void*> Views() {
    std::vector<const void*> views;
    for (const hugeobject_allocator::mapping_node* node = hugeobject_allocator::_instance->_head;
         node != nullptr; node = node->next) {
      views.push_back(node->view);
    }
    return views;
  }

  static const void* HeadView() {
    const hugeobject_allocator* allocator = hugeobject_allocator::_instance;
    return allocator->_head == nullptr ? nullptr : allocator->_head->view;
  }

  static const void* TailView() {
    const hugeobject_allocator* allocator = hugeobject_allocator::_instance;
    return allocator->_tail == nullptr ? nullptr : allocator->_tail->view;
  }

  // True when _tail is the last node reached from _head (or both are null).
  static bool TailIsLastNode() {
    const hugeobject_allocator* allocator = hugeobject_allocator::_instance;
    const hugeobject_allocator::mapping_node* last = allocator->_head;
    while (last != nullptr && last->next != nullptr) last = last->next;
    return last == allocator->_tail;
  }
};

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_MEMORY_HUGE_OBJECT_H
