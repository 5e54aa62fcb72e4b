// Huge blocks: below 4096 requested bytes from the heap, otherwise each in a
// paging-file mapping of its own, recorded in allocation order.
#include "memory/huge_object.h"

#include <cstdlib>
#include <mutex>
#include <new>

#include "memory/exit_singleton.h"
#include "memory/size_header.h"
#include "platform/platform.h"

hugeobject_allocator* hugeobject_allocator::_instance = nullptr;

namespace {

using tarnutil::detail::hugeThresholdBytes;

using tarnutil::detail::Lifecycle;

tarnutil::detail::ExitSingleton<hugeobject_allocator> hugeSingleton;
// Fork handlers from the start; see HandleFork.
[[maybe_unused]] const bool hugeForkHandled = hugeSingleton.HandleFork();

void ReleaseHugeObjectsAtExit() {
  const std::unique_lock<std::mutex> guard = hugeSingleton.Guard();
  hugeSingleton.Destroy();
}

void ReleaseMapping(void* mapping, void* view) {
  tarnutil::platform::UnmapView(mapping, view);
  tarnutil::platform::CloseMapping(mapping);
}

}  // namespace

hugeobject_allocator::hugeobject_allocator() : _head(nullptr), _tail(nullptr) {}

// Releases in allocation order. _head, _tail and _instance keep their values.
hugeobject_allocator::~hugeobject_allocator() {
  mapping_node* node = _head;
  while (node != nullptr) {
    mapping_node* next = node->next;
    ReleaseMapping(node->mapping, node->view);
    tarnutil::platform::HeapRelease(node);
    node = next;
  }
}

hugeobject_allocator& hugeobject_allocator::instance() {
  const std::unique_lock<std::mutex> guard = hugeSingleton.Guard();
  if (_instance == nullptr) create_instance();
  return *_instance;
}

void hugeobject_allocator::create_instance() {
  if (_instance != nullptr) return;
  _instance = hugeSingleton.Build(
      [](void* storage) { return ::new (storage) hugeobject_allocator(); },
      ReleaseHugeObjectsAtExit);
}

// After the exit callback the members serve from the heap and never touch
// the list, whose nodes were freed with their mappings.
void* hugeobject_allocator::allocate(unsigned int size) {
  const std::uint32_t mappingBytes = tarnutil::detail::MappingBytes(size);
  if (mappingBytes == 0) return nullptr;
  const std::unique_lock<std::mutex> guard = hugeSingleton.Guard();
  if (hugeSingleton.State() == Lifecycle::destroyed) {
    return tarnutil::platform::HeapAllocate(mappingBytes);
  }
  void* mapping = tarnutil::platform::CreateMapping(mappingBytes);
  if (mapping == nullptr) return nullptr;
  void* view = tarnutil::platform::MapView(mapping, mappingBytes);
  if (view == nullptr) {
    tarnutil::platform::CloseMapping(mapping);
    return nullptr;
  }
  void* nodeMemory = tarnutil::platform::HeapAllocate(sizeof(mapping_node));
  if (nodeMemory == nullptr) {
    // Without a node nothing would ever release the mapping.
    ReleaseMapping(mapping, view);
    return nullptr;
  }
  mapping_node* node = ::new (nodeMemory) mapping_node{nullptr, mapping, view};
  if (_tail == nullptr) {
    _head = node;
  } else {
    _tail->next = node;
  }
  _tail = node;
  return view;
}

void hugeobject_allocator::deallocate(const void* p) {
  const std::unique_lock<std::mutex> guard = hugeSingleton.Guard();
  if (hugeSingleton.State() == Lifecycle::destroyed) {
    tarnutil::platform::HeapRelease(const_cast<void*>(p));
    return;
  }
  if (_head == nullptr) return;
  mapping_node* previous = nullptr;
  mapping_node* node = _head;
  while (node != nullptr && node->view != p) {
    previous = node;
    node = node->next;
  }
  if (node == nullptr) return;
  if (previous == nullptr) {
    _head = node->next;
  } else {
    previous->next = node->next;
  }
  if (_tail == node) _tail = previous;
  ReleaseMapping(node->mapping, node->view);
  tarnutil::platform::HeapRelease(node);
}

void* hmalloc(unsigned int size) {
  // A size whose header would wrap past 32 bits gets nothing, never a short
  // block.
  if (size > tarnutil::detail::largestHeaderedRequest) return nullptr;
  const unsigned int blockBytes = size + tarnutil::detail::sizeHeaderBytes;
  void* block = nullptr;
  if (size < hugeThresholdBytes || hugeSingleton.State() == Lifecycle::destroyed) {
    block = tarnutil::platform::HeapAllocate(blockBytes);
  } else {
    block = hugeobject_allocator::instance().allocate(blockBytes);
  }
  if (block == nullptr) return nullptr;
  tarnutil::detail::WriteSizeHeader(block, size);
  return tarnutil::detail::PastSizeHeader(block);
}

void hfree(void* p) {
  if (p == nullptr) return;
  void* block = tarnutil::detail::BlockOfCallerPointer(p);
  const std::uint32_t stored = tarnutil::detail::ReadSizeHeader(block);
  if (stored < hugeThresholdBytes || hugeSingleton.State() == Lifecycle::destroyed) {
    tarnutil::platform::HeapRelease(block);
    return;
  }
  hugeobject_allocator::instance().deallocate(block);
}

namespace tarnutil {
namespace detail {

void HugeObjectAllocatorProbe::Restart() {
  if (hugeSingleton.State() == Lifecycle::notBuilt) {
    hugeobject_allocator::create_instance();
    return;
  }
  hugeobject_allocator::_instance = hugeSingleton.Rebuild(
      [](void* storage) { return ::new (storage) hugeobject_allocator(); });
}

void HugeObjectAllocatorProbe::RunExitCallback() {
  ReleaseHugeObjectsAtExit();
}

bool HugeObjectAllocatorProbe::Released() {
  return hugeSingleton.State() == Lifecycle::destroyed;
}

}  // namespace detail
}  // namespace tarnutil
