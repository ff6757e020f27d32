// The host side of the KuvoDesk swarm: the host callback, which records every event with the
// thread it came on and may run one armed export from inside an event, as hosts do.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "KuvoDesk.h"

namespace swarm {

constexpr uint32_t kDeskUserData = 0xD35C;

struct DeskEvent {
  uint32_t user_data;
  int32_t code;
  std::wstring text;
  bool on_window_thread;
};

// What the host callback tells the swarm; called on the thread that raised the event.
class DeskSink {
 public:
  virtual void OnDeskEvent(const DeskEvent& event) = 0;

 protected:
  ~DeskSink() = default;
};

// Routes KuvoDesk's host callback (a plain function) to the sink set here. Any thread.
void SetDeskSink(DeskSink* sink, std::thread::id window_thread);
void OnDeskHostEvent(uint32_t user_data, int32_t code, std::wstring text);

// Narrow text of a host event's text (non-ASCII as '?').
std::string Narrow(const std::wstring& text);

}  // namespace swarm
