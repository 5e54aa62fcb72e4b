// The one object of an allocator class: built in static storage on first
// use, destroyed by one exit callback that the library registers itself.
//
// Static storage rather than a static object, so that no destructor the
// compiler registers competes with the exit callback, and rather than a heap
// block, so that building the allocator never asks the heap. The lifecycle
// outlives the object: once the callback has run, callers see "destroyed"
// and serve from the heap instead of touching released memory.
//
// The object's state is guarded by one lock, taken only once the process
// has started a second thread: a process that never does runs every call
// unlocked, exactly as before there were locks. The lock is held across
// fork(), then released in the parent and made anew in the child, where the
// threads that waited for it do not exist.
#ifndef TARNUTIL_MEMORY_EXIT_SINGLETON_H
#define TARNUTIL_MEMORY_EXIT_SINGLETON_H

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>

#include "platform/platform.h"

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

  // Registers the fork handlers of this, the one singleton of T. Called
  // while the library loads, before any thread can hold the lock: were they
  // registered from inside a locked call, a fork racing that registration
  // would hand the child a lock held by no thread, and no handler to renew
  // it. Returns whether the handlers are in place.
  bool HandleFork() {
    forkTarget = this;
    return platform::AtFork(LockForFork, UnlockAfterFork, RenewInChild);
  }

  // The lock, held until the guard goes, unless the process has only one
  // thread. Only a running thread starts another, so the answer cannot
  // change while the caller holds the guard.
  std::unique_lock<std::mutex> Guard() {
    if (platform::SingleThreaded()) return std::unique_lock<std::mutex>();
    return std::unique_lock<std::mutex>(mutex_);
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
  static void LockForFork() { forkTarget->mutex_.lock(); }
  static void UnlockAfterFork() { forkTarget->mutex_.unlock(); }
  // The child has one thread, but the lock's word may still count waiters
  // of the parent: a fresh lock forgets them.
  static void RenewInChild() { ::new (static_cast<void*>(&forkTarget->mutex_)) std::mutex(); }

  // The one singleton of T, for the fork handlers, which take no argument.
  static inline ExitSingleton* forkTarget = nullptr;

  T* object_ = nullptr;
  std::atomic<Lifecycle> lifecycle_{Lifecycle::notBuilt};
  std::mutex mutex_;
};

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_MEMORY_EXIT_SINGLETON_H
