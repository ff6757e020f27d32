// A registry of host callback interfaces, keyed by the pointer widened (with sign) to 64 bits.
//
// Registration exports run on host threads and fan-outs on the task runner; the map is guarded,
// and every fan-out walks a copy taken under the guard, so the host is never called with the
// guard held and a callback that registers or removes interfaces affects the next event only.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>

namespace kuvochat {

template <typename Interface>
class CallbackRegistry {
 public:
  using Map = std::map<int64_t, Interface*>;

  // Inserts, or overwrites the entry of the same pointer; null is stored too.
  void Add(Interface* callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    map_[Key(callback)] = callback;
  }
  void Remove(Interface* callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    map_.erase(Key(callback));
  }
  Map Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return map_;
  }
  // Calls `call(interface)` for every non-null entry of a copy, in ascending key order.
  template <typename Call>
  void ForEach(Call&& call) const {
    const Map copy = Snapshot();
    for (const auto& entry : copy) {
      if (entry.second) call(entry.second);
    }
  }

 private:
  static int64_t Key(Interface* callback) {
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(callback));
  }

  mutable std::mutex mutex_;
  Map map_;
};

}  // namespace kuvochat
