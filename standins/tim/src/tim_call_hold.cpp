#include "tim_call_hold.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tim {

namespace {

struct Hold {
  std::mutex mutex;
  std::condition_variable changed;
  std::string armed;  // the call to catch next; empty when none
  bool holding = false;
};

Hold& TheHold() {
  static Hold* hold = new Hold;  // never destroyed: callers' threads may outlive main
  return *hold;
}

}  // namespace

void PauseIfHeld(const char* api) {
  Hold& h = TheHold();
  std::unique_lock<std::mutex> lock(h.mutex);
  if (h.armed.empty() || h.armed != api) return;
  h.armed.clear();
  h.holding = true;
  h.changed.notify_all();
  h.changed.wait(lock, [&] { return !h.holding; });
}

void HoldNextCallImpl(const std::string& api) {
  Hold& h = TheHold();
  std::lock_guard<std::mutex> lock(h.mutex);
  h.armed = api;
}

bool WaitCallHeldImpl(uint32_t timeout_ms) {
  Hold& h = TheHold();
  std::unique_lock<std::mutex> lock(h.mutex);
  return h.changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return h.holding; });
}

void ReleaseHeldCallImpl() {
  Hold& h = TheHold();
  {
    std::lock_guard<std::mutex> lock(h.mutex);
    h.armed.clear();
    h.holding = false;
  }
  h.changed.notify_all();
}

}  // namespace tim
