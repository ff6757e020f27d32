// CImMgr: the one process-wide object behind every export. It sets the IM SDK up, logs the user
// in and out, keeps the login and connection state, decides which connection events reach the
// host, watches for a lasting loss of connection with a 30-second timer, hands out sequence
// numbers and holds new messages until the host is ready for them.
//
// Threads: the exports run on host threads; the handlers (On*) run on the task runner's thread;
// CTimeEvent posts timer notifications to the runner. The login state is guarded by one lock,
// the held messages by another and each registry by its own; none of them is held while the SDK
// or the host is called, so a report that the SDK raises inside one of its calls, and a host
// callback that waits for another thread calling an export, find no lock taken. The login-state
// lock is held across the Kuvocore timer calls: OnTimer's path never takes it. Init and UnInit
// are serialised by a lock of their own, which no report and no host call ever needs.
//
// Lifetime: GetInstance creates the manager on first use; DestroyInstance drops the process's
// reference. Every report is bound to the manager that was current when it was raised (a send or
// history outcome to the manager that issued the request) and is dropped unless that manager is
// still open when the report is handled, so nothing queued for one manager reaches a later one.
// UnInit closes the manager: from then on no report is handled and no host call begins. It never
// waits for a host call running on another thread. The SDK calls the manager makes on its own
// account (a history retry, a logout from a handler) begin only while it is open; UnInit waits
// for those running before it calls TIMUninit, and they hold no host call (reports raised inside
// them are posted), so that wait ends without the host.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "KuvoChat.h"
#include "base/task_runner.h"
#include "callback_registry.h"
#include "post_reports_here.h"

namespace kuvochat {

class CTimeEvent;
class CImSendRequest;
class CImMsgListRequest;

class CImMgr : public std::enable_shared_from_this<CImMgr> {
 public:
  CImMgr();
  ~CImMgr();
  CImMgr(const CImMgr&) = delete;
  CImMgr& operator=(const CImMgr&) = delete;

  // The manager, created if absent.
  static std::shared_ptr<CImMgr> GetInstance();
  // The manager if one exists; reports use this so that they never create one.
  static std::shared_ptr<CImMgr> GetExisting();
  // Forgets the process's manager (it goes when its last user lets go).
  static void DestroyInstance();

  bool Init(uint64_t app_id, uint32_t ignored, const wchar_t* data_path);
  void UnInit();
  bool Login(uint64_t user_id, const std::string& account_type, const std::string& user_sig);
  void Loginout();
  uint64_t CreateNewSeq();
  void NotifyReleaseData();

  void RegConnCallBack(IConnCallBack* callback) { conn_callbacks_.Add(callback); }
  void RegMsgCallBack(IMsgCallBack* callback) { msg_callbacks_.Add(callback); }
  void RegSessionCallBack(ISessionCallBack* callback) { session_callbacks_.Add(callback); }
  void RemoveConnCallBack(IConnCallBack* callback) { conn_callbacks_.Remove(callback); }
  void RemoveMsgCallBack(IMsgCallBack* callback) { msg_callbacks_.Remove(callback); }
  void RemoveSessionCallBack(ISessionCallBack* callback) { session_callbacks_.Remove(callback); }

  // Handlers, on the task runner's thread.
  void OnImLogin(uint32_t code);
  void OnImLoginout(uint32_t code);
  void OnImLoginRefresh();
  void OnImConnect(uint32_t code);
  void OnImForceOffline();
  void OnImUserSigExpired();
  void OnTimerEvent(uint32_t timer_id);
  // Takes the list: held records are moved into the queue, not copied.
  void OnImNewMessage(TimMsgList msgs);
  // Delivers, in arrival order, the batches that arrived while held records were being handed
  // over (posted by NotifyReleaseData when the hand-over ends).
  void DrainReleased();
  void OnImSessionChanged(const TimChangedPeers& changed);

  // Messages and conversations (im_mgr_send.cpp, im_mgr_history.cpp, im_mgr_talks.cpp). Any
  // thread may call these; outcomes are handled on the task runner's thread.
  bool SendMsg(const tagTimSendMsgInfo* info, bool online_only, bool wrap);
  void OnSendResult(uint32_t code, uint64_t seq, const CImSendRequest* completed);
  uint64_t GetMsgList(uint32_t peer_kind, uint64_t peer_id, uint32_t count, int32_t mode,
                      const tagTimMsgLocator* anchor);
  void OnMsgListResult(bool ok, uint64_t seq, TimMsgList msgs, uint32_t sdk_count);
  void GetRecentList();
  int32_t GetTalkUnReadCnt(uint32_t peer_kind, uint64_t peer_id);
  void SetReadMsg(uint32_t peer_kind, uint64_t peer_id);
  uint8_t RemoveTalk(uint32_t peer_kind, uint64_t peer_id, bool with_messages);

  // Calls OnConnEvent on every registered connection callback, each with its own copy of text.
  void NotifyConnEvent(int32_t code, std::string text);

  // Set by Init; borrowed from the in-house base library, never released.
  Base::ITaskRunner* task_runner() const { return task_runner_.load(); }
  // Set by UnInit: reports for this manager are dropped from then on.
  bool closed() const { return closed_.load(); }

  // An SDK call the manager makes on its own account: entered() is false once the manager is
  // closed (make no call then); while one is entered, UnInit does not call TIMUninit. Reports
  // raised on this thread meanwhile are posted, never handled inside it.
  class OwnSdkCall {
   public:
    explicit OwnSdkCall(CImMgr& manager);
    ~OwnSdkCall();
    OwnSdkCall(const OwnSdkCall&) = delete;
    OwnSdkCall& operator=(const OwnSdkCall&) = delete;
    bool entered() const { return entered_; }

   private:
    CImMgr& manager_;
    bool entered_;
    PostReportsHere post_reports_;
  };

  // One debugger-output line, as it is.
  static void WriteLog(const std::string& line);

  // Registries, for the fan-outs of the message and conversation handlers.
  CallbackRegistry<IConnCallBack>& conn_callbacks() { return conn_callbacks_; }
  CallbackRegistry<IMsgCallBack>& msg_callbacks() { return msg_callbacks_; }
  CallbackRegistry<ISessionCallBack>& session_callbacks() { return session_callbacks_; }

 private:
  // The *Locked operations expect mutex_ held. EndSessionLocked does Loginout's state change and
  // tells whether the SDK is to be logged out (with `line` to log first); the caller does that
  // once the lock is released.
  bool EndSessionLocked(std::string* line);
  // Loginout's work; `own_call` is false for UnInit's own logout, which the closed gate must not
  // stop.
  void EndSession(bool own_call);
  // OnImConnect's state change; true when event 0 "tim connect success" is to be raised.
  bool HandleConnect(uint32_t code);
  // Posts DrainReleased when batches wait and none is posted. Expects delivery_mutex_ held
  // through `lock`; releases it around the post.
  void PostDrainLocked(std::unique_lock<std::mutex>& lock);
  void DrainReleasedLocked(std::unique_lock<std::mutex>& lock);
  void StartDisconnectTimerLocked();
  void StopDisconnectTimerLocked();
  void DeliverNewMsgs(const TimMsgList& msgs);

  std::mutex lifecycle_mutex_;  // Init and UnInit
  // closed_ is set, and own SDK calls counted, under gate_mutex_.
  std::mutex gate_mutex_;
  std::condition_variable gate_idle_;
  int own_sdk_calls_ = 0;
  std::atomic<bool> closed_{false};
  std::mutex mutex_;
  bool inited_ = false;
  bool login_state_ = false;
  bool connect_state_ = false;
  bool receive_connect_ = false;
  uint64_t login_attempts_ = 0;  // tells a refused login from a later one
  uint32_t timer_id_ = 0;
  uint64_t app_id_ = 0;
  std::unique_ptr<CTimeEvent> time_event_;

  std::atomic<uint64_t> seq_{0};

  // Requests in flight, by number. Filled on the exports' threads, emptied on the runner's.
  void IssueMsgList(const std::shared_ptr<CImMsgListRequest>& request);
  std::mutex requests_mutex_;
  std::map<uint64_t, std::shared_ptr<CImSendRequest>> pending_sends_;
  std::map<uint64_t, std::shared_ptr<CImMsgListRequest>> pending_msg_lists_;
  std::atomic<Base::ITaskRunner*> task_runner_{nullptr};

  CallbackRegistry<IConnCallBack> conn_callbacks_;
  CallbackRegistry<IMsgCallBack> msg_callbacks_;
  CallbackRegistry<ISessionCallBack> session_callbacks_;

  // Held messages. NotifyReleaseData hands over on its caller's thread exactly what is held when
  // it is called (`handing_over_` meanwhile); batches released meanwhile queue in `released_` and
  // the runner delivers them afterwards, in arrival order (`draining_` while it does).
  std::mutex delivery_mutex_;
  bool release_data_ = false;
  TimMsgList pending_msgs_;
  std::deque<TimMsgList> released_;
  bool handing_over_ = false;
  bool draining_ = false;
  bool drain_posted_ = false;
};

}  // namespace kuvochat
