// A registry of host callback interfaces, keyed by the pointer widened (with sign) to 64 bits.
//
// Registration exports run on host threads and fan-outs on the task runner (and, for the held
// messages and the recent list, on the host thread of the export). The map is guarded, and no
// guard is held while the host is called. A fan-out walks a copy taken when it starts, so an
// interface registered meanwhile hears of the next event only; but each interface is looked up
// again just before its call, so one removed (or a registry closed) meanwhile, even during this
// walk, is not called again.
//
// Remove and Close never wait: a call already running on another thread goes on. A host that
// removes on the task runner's thread may destroy the object at once (the only call that can be
// running there is its own); from another thread it destroys the object in a task posted to the
// runner, which runs after the call in progress.
//
// An exception thrown by the host is caught at the call: it does not reach the library's threads
// or the export, and the walk goes on with the next interface.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <new>

namespace kuvochat {

template <typename Interface>
class CallbackRegistry {
 public:
  using Map = std::map<int64_t, Interface*>;

  // Inserts, or overwrites the entry of the same pointer; null is stored too. Ignored once closed.
  void Add(Interface* callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!closed_) map_[Key(callback)] = callback;
  }
  // Erases the entry if present; no call into it begins after this returns.
  void Remove(Interface* callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    map_.erase(Key(callback));
  }
  // Forgets every interface for good: no call begins after this returns.
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    map_.clear();
  }
  Map Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return map_;
  }
  // Calls `call(interface)` for every non-null entry of the registry as it stands now, in
  // ascending key order, skipping those removed before their turn. Nothing is called when the
  // copy cannot be made.
  template <typename Call>
  void ForEach(Call&& call) {
    Map copy;
    try {
      copy = Snapshot();
    } catch (const std::bad_alloc&) {
      return;
    }
    for (const auto& entry : copy) {
      if (!entry.second || !StillRegistered(entry.first, entry.second)) continue;
      try {
        call(entry.second);
      } catch (...) {
        // The host's failure is its own; the other interfaces still hear of the event.
      }
    }
  }

 private:
  static int64_t Key(Interface* callback) {
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(callback));
  }
  bool StillRegistered(int64_t key, Interface* callback) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = map_.find(key);
    return !closed_ && it != map_.end() && it->second == callback;
  }

  mutable std::mutex mutex_;
  Map map_;
  bool closed_ = false;
};

}  // namespace kuvochat
