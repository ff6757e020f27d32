// A registry of host callback interfaces, keyed by the pointer widened (with sign) to 64 bits.
//
// Registration exports run on host threads and fan-outs on the task runner (and, for the held
// messages and the recent list, on the host thread of the export). The map is guarded, and no
// guard is held while the host is called. A fan-out walks a copy taken when it starts, so an
// interface registered meanwhile hears of the next event only; but each interface is looked up
// again just before its call, so one removed meanwhile (even during this walk) is not called.
//
// Remove and Close return only once no call into the removed interfaces is running on another
// thread, so the host may destroy them right away. A call on the caller's own thread (removal
// from inside a callback) is not waited for, so that this cannot deadlock.
//
// An exception thrown by the host is caught at the call: it does not reach the library's threads
// or the export, and the walk goes on with the next interface.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

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
  void Remove(Interface* callback) {
    const int64_t key = Key(callback);
    std::unique_lock<std::mutex> lock(mutex_);
    map_.erase(key);
    idle_.wait(lock, [&] { return !RunningElsewhereLocked(&key); });
  }
  // Forgets every interface for good: no call starts after this, and calls running on other
  // threads have ended when it returns.
  void Close() {
    std::unique_lock<std::mutex> lock(mutex_);
    closed_ = true;
    map_.clear();
    idle_.wait(lock, [&] { return !RunningElsewhereLocked(nullptr); });
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
      if (!entry.second || !BeginCall(entry.first, entry.second)) continue;
      try {
        call(entry.second);
      } catch (...) {
        // The host's failure is its own; the other interfaces still hear of the event.
      }
      EndCall(entry.first);
    }
  }

 private:
  struct Running {
    int64_t key;
    std::thread::id thread;
  };

  static int64_t Key(Interface* callback) {
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(callback));
  }
  bool BeginCall(int64_t key, Interface* callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = map_.find(key);
    if (closed_ || it == map_.end() || it->second != callback) return false;
    try {
      running_.push_back({key, std::this_thread::get_id()});
    } catch (const std::bad_alloc&) {
      return false;  // not called: a removal could not have waited for it
    }
    return true;
  }
  void EndCall(int64_t key) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const std::thread::id self = std::this_thread::get_id();
      // The innermost call of this thread: a callback may raise nested fan-outs.
      auto it = std::find_if(running_.rbegin(), running_.rend(),
                             [&](const Running& r) { return r.key == key && r.thread == self; });
      if (it != running_.rend()) running_.erase(std::next(it).base());
    }
    idle_.notify_all();
  }
  // A call (into `*key`, or into any interface when null) runs on a thread other than this one.
  bool RunningElsewhereLocked(const int64_t* key) const {
    const std::thread::id self = std::this_thread::get_id();
    return std::any_of(running_.begin(), running_.end(), [&](const Running& r) {
      return r.thread != self && (key == nullptr || r.key == *key);
    });
  }

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  Map map_;
  bool closed_ = false;
  std::vector<Running> running_;
};

}  // namespace kuvochat
