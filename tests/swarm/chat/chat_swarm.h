// The KuvoChat swarm: two host threads and the task runner's thread calling random exports within
// the host contract, the IM stand-in raising random events and outcomes (synchronously at times),
// the Kuvocore clock moved at random, and host callbacks that at times hold the runner's thread
// until the host's next call has returned. Checked:
// - every accepted login ends in one of events 0 "tim login success" and -4 "tim login error"
//   unless a logout came first, and never in more; a login while quiet follows the state table;
// - every accepted send is reported at most once, and exactly once unless the manager was shut
//   down or its number used again; every history number is answered at most once; no report
//   reaches a newer manager;
// - released message records reach each message callback at most once and in arrival order, and
//   the observer all of them once released;
// - no interface is called after its removal (or Im_UnInit) returned on the runner's thread;
// - no export waits for a host callback that runs on another thread (the held callback would
//   wait in vain);
// - at the end of a round no SDK handle is alive and the stand-in saw no misuse.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "base/task_runner.h"
#include "chat_swarm_host.h"
#include "swarm_driver.h"

namespace swarm {

class ChatSwarm final : public Swarm, public CallbackSink {
 public:
  ChatSwarm();
  ~ChatSwarm() override;

  const char* Name() const override { return "swarm_chat"; }
  Script Generate(Rng& rng, int steps) override;
  void BeginRound(Checker* checker) override;
  void Execute(const Step& step) override;
  void EndRound() override;
  uint64_t StepsRun() const override { return steps_run_; }
  void SetHolds(bool on) { holds_ = on; }

  void OnConn(int name, int32_t code, const std::string& text) override;
  void OnNewMsgs(int name, const TimMsgList* msgs) override;
  void OnSend(int name, bool sent, uint64_t seq) override;
  void OnPage(int name, uint64_t seq) override;
  void OnSession(int name) override;
  void Entered(int name, int part) override;

  static constexpr int kNames = 3;  // 0: the observer, registered for a manager's whole life

 private:
  void HostCall(const Step& step);  // one export, on the thread the step names
  void Call(const Step& step);      // the export itself, on that thread
  // Forgets what the model expects of the manager that Im_UnInit closed (mutex_ held).
  void ForgetManagerLocked();
  void Settle(bool check);
  void ReleaseHeld();
  void LoggedOut();  // the model after anything that logs out

  Checker* checker_ = nullptr;
  bool holds_ = true;
  Base::ITaskRunner* runner_ = nullptr;  // Kuvocore's; callbacks are held only on its thread
  std::unique_ptr<HostThread> hosts_[2];
  std::unique_ptr<SwarmCallbacks> callbacks_[kNames];
  std::atomic<uint64_t> steps_run_{0};

  std::mutex mutex_;
  std::condition_variable changed_;
  bool inited_ = false;
  bool quiet_ = true;              // nothing in flight that may change the login flags
  bool login_state_ = false;       // the manager's "logging in" and "logged in" flags, as the
  bool connect_state_ = false;     // outcomes seen so far leave them
  bool uncertain_ = false;         // two logins' outcomes overlapped since the last logout
  int accepted_ = 0;               // accepted logins since the last settle
  int must_answer_ = 0;            // of those, the ones no logout followed
  int outcomes_ = 0;               // events 0 "tim login success" and -4 since the last settle
  std::map<uint64_t, int> sends_;  // number -> accepted sends not yet reported
  std::set<uint64_t> used_;
  std::set<uint64_t> reused_;
  uint64_t last_seq_ = 0;
  std::set<uint64_t> pages_;        // history numbers not yet answered
  std::set<uint64_t> early_pages_;  // answers that came before their export returned
  std::set<uint64_t> answered_pages_;
  uint64_t next_msg_ = 0;
  std::vector<uint64_t> raised_;  // message ids raised in this manager's life, in order
  size_t release_mark_ = 0;       // raised_ before the last Im_NotifyReleaseData
  bool release_intact_ = false;   // no logout since that call
  // An SDK event that may log the manager out (a connection notice, a kick, a signature expiry)
  // raised since the last settle: a release made before the runner handles it may be undone.
  bool logout_event_in_flight_ = false;
  std::array<std::set<uint64_t>, kNames> seen_;
  std::array<uint64_t, kNames> last_seen_{};
  // Per name and interface: removed on the runner's thread and not registered again.
  std::array<std::array<bool, 3>, kNames> removed_{};
  std::array<bool, kNames> msg_registered_{};
  int armed_ = -1;                // the callback that holds the runner's thread at its next call
  uint64_t host_calls_done_ = 0;  // a held callback waits for the host's next call to return
  bool holding_ = false;
  bool release_held_ = false;
  uint64_t steps_done_ = 0;
  std::string step_text_;
};

}  // namespace swarm
