// The one object of an allocator class: built in static storage on first
// use, destroyed by one exit callback that the library registers itself.
//
// Static storage rather than a static object, so that no destructor the
// compiler registers competes with the exit callback, and rather than a heap
// block, so that building the allocator never asks the heap. The lifecycle
// outlives the object: once the callback has run, callers see "destroyed"
// and serve from the heap instead of touching released memory.
#ifndef TARNUTIL_MEMORY_EXIT_SINGLETON_H
#define TARNUTIL_MEMORY_EXIT_SINGLETON_H

#include <atomic>
#include <cstdlib>

namespace tarnutil {
namespace detail {

enum class Lifecycle : unsigned char { notBuilt, live, destroyed };

template <class T>
class ExitSingleton {
 public:
  // Places a fresh T at the given storage; the caller's function, as only
  // the allocator class may call its private constructor.
  using Construct = T* (*)(void* storage);

  constexpr ExitSingleton() noexcept = default;

  // The object, built by construct on the first call, which also registers
  // atExit; the same (possibly destroyed) object on every later call.
  T* Build(Construct construct, void (*atExit)()) {
    if (State() == Lifecycle::notBuilt) {
      object_ = construct(storage_);
      lifecycle_.store(Lifecycle::live, std::memory_order_relaxed);
      // atexit from inside the library: runs at unload, before the
      // callbacks registered earlier.
      std::atexit(atExit);
    }
    return object_;
  }

  // Runs the destructor once, if the object is live; what the exit callback
  // does.
  void Destroy() {
    if (State() != Lifecycle::live) return;
    lifecycle_.store(Lifecycle::destroyed, std::memory_order_relaxed);
    object_->~T();
  }

  // Destroys a live object and builds a fresh one in its place without
  // registering another callback: how tests start from a clean allocator.
  T* Rebuild(Construct construct) {
    if (State() == Lifecycle::live) object_->~T();
    object_ = construct(storage_);
    lifecycle_.store(Lifecycle::live, std::memory_order_relaxed);
    return object_;
  }

  // Relaxed: the hot paths read it, and a call racing the exit callback is
  // outside every contract anyway.
  Lifecycle State() const { return lifecycle_.load(std::memory_order_relaxed); }

  T* Object() const { return object_; }

 private:
  alignas(T) unsigned char storage_[sizeof(T)] = {};
  T* object_ = nullptr;
  std::atomic<Lifecycle> lifecycle_{Lifecycle::notBuilt};
};

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_MEMORY_EXIT_SINGLETON_H
