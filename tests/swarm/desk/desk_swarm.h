// The KuvoDesk swarm: the host's UI thread (a window thread with a message loop) calling random
// exports of both sides, the SDK stand-in raising random events with random numbers and session
// ids, the user closing the session window (answering the question Yes or No), minimising and
// restoring it, host callbacks that call the exports from inside events, and random SDK call
// failures. The library is reloaded (and the SDK reset) between the sides, as a new process
// would be. Checked:
// - host events carry the user data given and the texts as documented; event 4 comes on the
//   window's thread, in pairs (close and destroy) once the threads are idle, and not at all for
//   a close the user answered No; event 3 "event=1" only after an event 2 that no event 3
//   followed;
// - every SDK call is made with a handle of its own side or, where the process was initialised
//   for the other side, with the null handle;
// - nothing deadlocks (the driver's step limit);
// - after each unload no session window, no other window of the library and no icon is left,
//   and a controlled side that was logged in is logged out.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "desk_swarm_host.h"
#include "host/window_thread.h"
#include "platform/testing/message_box_answers.h"
#include "swarm_driver.h"

namespace swarm {

class DeskSwarm final : public Swarm, public DeskSink {
 public:
  DeskSwarm();
  ~DeskSwarm() override;

  const char* Name() const override { return "swarm_desk"; }
  Script Generate(Rng& rng, int steps) override;
  void BeginRound(Checker* checker) override;
  void Execute(const Step& step) override;
  void EndRound() override;
  uint64_t StepsRun() const override { return steps_run_; }

  void OnDeskEvent(const DeskEvent& event) override;

 private:
  void Export(const std::string& op);  // on the calling thread
  void Settle();
  void CheckCalls();
  void Unload();  // the library's unload and load, then a fresh SDK
  void CloseWindow(bool yes);

  Checker* checker_ = nullptr;
  std::unique_ptr<host::WindowThread> window_thread_;
  std::unique_ptr<platform::ScopedMessageBoxAnswers> answers_;  // window thread only
  size_t baseline_windows_ = 0;
  size_t calls_checked_ = 0;
  bool remote_created_ = false;  // seen in the call log since the SDK's reset
  bool client_created_ = false;
  std::atomic<uint64_t> steps_run_{0};

  std::mutex mutex_;
  std::string armed_op_;  // the export the next event `armed_code_` runs (once)
  int armed_code_ = -1;
  int connected_ = 0;          // as the host's events show it: 0 no, 1 yes, -1 not known
  uint64_t event4_ = 0;        // event 4s seen
  bool event4_split_ = false;  // the callback went away this round: pairs may be split
  bool callback_set_ = false;
  bool controlling_ = false;  // the side the last session-opening export chose
};

}  // namespace swarm
