#include "desk_swarm_host.h"

#include <utility>

namespace swarm {

namespace {

std::mutex g_mutex;
DeskSink* g_sink = nullptr;
std::thread::id g_window_thread;

}  // namespace

void SetDeskSink(DeskSink* sink, std::thread::id window_thread) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_sink = sink;
  g_window_thread = window_thread;
}

void OnDeskHostEvent(uint32_t user_data, int32_t code, std::wstring text) {
  DeskSink* sink = nullptr;
  bool on_window_thread = false;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    sink = g_sink;
    on_window_thread = std::this_thread::get_id() == g_window_thread;
  }
  if (sink != nullptr) sink->OnDeskEvent({user_data, code, std::move(text), on_window_thread});
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace swarm
