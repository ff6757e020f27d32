// FloorClient: the least work any client of the IM SDK must do to give a host what KuvoChat gives
// it on its inbound, connection and send paths, written straight through: the same SDK calls in
// the same order, the same base64 and peer routines, the same records and lists, the same post
// to the same task runner, the same log lines and the same conversion of a send's outcome, but
// no manager lookup, no locks, no guarded registries and no safety nets. Its rate is the floor
// that chat_pipeline_bench holds KuvoChat against, and its latency a reference for
// chat_latency_bench.
//
// Threads: the SDK routines run on the SDK's thread and post to the runner; SendMsg,
// CreateNewSeq and every handler run on the runner's thread only (no lock guards the pending
// table or the counter). The host callbacks are registered before the first event and not
// changed while events flow.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "KuvoChat.h"
#include "base/task_runner.h"
#include "tim/tim_c.h"

namespace kuvo_bench {

class FloorClient {
 public:
  explicit FloorClient(Base::ITaskRunner* runner);
  FloorClient(const FloorClient&) = delete;
  FloorClient& operator=(const FloorClient&) = delete;

  // Host interfaces, as the registration exports store them (a map keyed by the pointer).
  void RegMsgCallBack(IMsgCallBack* callback);
  void RegConnCallBack(IConnCallBack* callback);
  // The host is ready for new messages (held ones are delivered at once). Runner thread.
  void NotifyReleaseData();
  // Logged in and connected, as after a successful login: connection events reach the host.
  void SetLoggedIn();

  // The SDK routine records to register (TIMSetMessageCallBack, TIMSetConnCallBack).
  TIMMessageCB* message_routine() { return &message_routine_; }
  TIMConnCB* conn_routine() { return &conn_routine_; }

  // Runner thread only.
  uint64_t CreateNewSeq() { return ++seq_; }
  bool SendMsg(const tagTimSendMsgInfo& info, bool online_only, bool wrap);
  // Sends issued and not yet answered.
  size_t pending_sends() const { return pending_sends_.size(); }

 private:
  struct Send;
  class NewMessagesTask;

  static void OnNewMessage(TIMMessageHandle* handles, uint32_t count, void* data);
  static void OnConnected(void* data);
  static void OnDisconnected(int code, const char* desc, void* data);
  static void OnSendSuccess(void* data);
  static void OnSendError(int code, const char* desc, void* data);

  // The forwarders: handle on the runner's thread, or post a task that enters them there.
  void ForwardNewMessages(TimMsgList msgs);
  static void ConnectTo(FloorClient* self, uint32_t code);
  static void SendResultTo(FloorClient* self, uint32_t code, uint64_t seq);

  void OnImNewMessage(TimMsgList msgs);
  void OnImConnect(uint32_t code);
  void OnSendResult(uint32_t code, uint64_t seq);

  Base::ITaskRunner* runner_;
  TIMMessageCB message_routine_;
  TIMConnCB conn_routine_;
  std::map<int64_t, IMsgCallBack*> msg_callbacks_;
  std::map<int64_t, IConnCallBack*> conn_callbacks_;
  bool release_data_ = false;
  bool receive_connect_ = false;
  bool connect_state_ = false;
  TimMsgList pending_msgs_;
  uint64_t seq_ = 0;
  std::map<uint64_t, Send*> pending_sends_;
};

}  // namespace kuvo_bench
