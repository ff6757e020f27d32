// A thread with a message loop: the host's UI thread. Code runs on it and its loop dispatches
// whatever the windows it owns receive.
//
// Run() posts the code to the thread and waits until it has run there (so the code is not
// inside a sent message); Post() only queues it. Stop() (or the destructor) ends the loop once
// what is queued before it has run, and joins the thread.
#pragma once

#include <functional>
#include <thread>

#include "platform/windowing.h"

namespace host {

class WindowThread {
 public:
  WindowThread();
  ~WindowThread();
  WindowThread(const WindowThread&) = delete;
  WindowThread& operator=(const WindowThread&) = delete;

  void Run(const std::function<void()>& code);
  void Post(std::function<void()> code);
  void Stop();
  std::thread::id id() const { return thread_.get_id(); }
  // The thread's own helper window (the target of Run and Post).
  platform::WindowHandle runner() const { return runner_; }

 private:
  void Loop();
  std::thread thread_;
  platform::WindowHandle runner_ = nullptr;
};

}  // namespace host
