#include "im_mgr.h"

#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/kuvo_bindings.h"
#include "common/text_conversion.h"
#include "event_forwarders.h"
#include "msg_header.h"
#include "platform/code_page.h"
#include "platform/debug_output.h"
#include "platform/file_system.h"
#include "requests_in_flight.h"
#include "sdk_routines.h"
#include "tim/tim_c.h"
#include "time_event.h"

namespace kuvochat {

namespace {

constexpr uint32_t kDisconnectTimeoutMs = 30000;
constexpr int kKuvocoreTaskRunnerKind = 2;
constexpr int kSdkLogLevel = 3;
constexpr int kSdkMode = 1;

// The process's reference to its manager. Never destroyed: SDK threads may still report while
// the process exits or the library is unloaded, and must not find it half torn down.
struct Instance {
  std::mutex mutex;
  std::shared_ptr<CImMgr> manager;
};
Instance& TheInstance() {
  // Built in place: no allocation that could fail, and no destructor registered for exit.
  alignas(Instance) static unsigned char storage[sizeof(Instance)];
  static Instance* const instance = new (storage) Instance;
  return *instance;
}

const char* Flag(bool value) {
  return value ? "1" : "0";
}

}  // namespace

CImMgr::CImMgr() = default;
CImMgr::~CImMgr() = default;

std::shared_ptr<CImMgr> CImMgr::GetInstance() {
  Instance& instance = TheInstance();
  std::lock_guard<std::mutex> lock(instance.mutex);
  if (!instance.manager) instance.manager = std::make_shared<CImMgr>();
  return instance.manager;
}

std::shared_ptr<CImMgr> CImMgr::GetExisting() {
  Instance& instance = TheInstance();
  std::lock_guard<std::mutex> lock(instance.mutex);
  return instance.manager;
}

void CImMgr::DestroyInstance() {
  std::shared_ptr<CImMgr> dropped;
  {
    Instance& instance = TheInstance();
    std::lock_guard<std::mutex> lock(instance.mutex);
    dropped.swap(instance.manager);
  }
  // `dropped` goes here, outside the guard, unless a forwarder still holds it.
}

void CImMgr::WriteLog(const std::string& line) {
  platform::OutputDebugText(line.c_str());
}

bool CImMgr::Init(uint64_t app_id, uint32_t /*ignored*/, const wchar_t* data_path) {
  std::lock_guard<std::mutex> lifecycle(lifecycle_mutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (inited_) {
      WriteLog("[IM][CImMgr::Init]Repetitive initialization");
      return true;
    }
  }
  void* object = nullptr;
  kuvo::GetKuvocoreObject(kKuvocoreTaskRunnerKind, &object);
  auto* runner = static_cast<Base::ITaskRunner*>(object);
  if (runner == nullptr) {
    WriteLog("[IM][CImMgr::Init]Base com uninit");
    return false;
  }
  task_runner_.store(runner);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    app_id_ = app_id;
  }
  RegisterSdkRoutines();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!time_event_ && !closed_) time_event_ = std::make_unique<CTimeEvent>();
  }
  if (data_path != nullptr && !platform::PathExists(data_path)) {
    platform::CreateFolderTree(data_path);
  }
  // The ANSI code page, as the SDK expects (UTF-8 outside Windows).
  TIMSetPath(kuvo::WideToNarrow(data_path, platform::kCodePageAcp).c_str());
  TIMSetLogLevel(static_cast<TIMLogLevel>(kSdkLogLevel));
  TIMDisableAutoReport();
  TIMSetMode(kSdkMode);
  const int result = TIMInit();
  TIMDisableRecentContactNotify();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (result == 0) inited_ = true;
  }
  std::ostringstream line;
  line << "[IM][CImMgr::Init]Init result:" << result;
  WriteLog(line.str());
  return result == 0;
}

CImMgr::OwnSdkCall::OwnSdkCall(CImMgr& manager) : manager_(manager), entered_(false) {
  std::lock_guard<std::mutex> lock(manager_.gate_mutex_);
  if (manager_.closed_) return;
  ++manager_.own_sdk_calls_;
  entered_ = true;
}

CImMgr::OwnSdkCall::~OwnSdkCall() {
  if (!entered_) return;
  {
    std::lock_guard<std::mutex> lock(manager_.gate_mutex_);
    --manager_.own_sdk_calls_;
  }
  manager_.gate_idle_.notify_all();
}

void CImMgr::UnInit() {
  // First the host: no call into it begins from now on. Calls running on other threads are not
  // waited for: such a call may itself be waiting for this thread.
  {
    std::lock_guard<std::mutex> gate(gate_mutex_);
    closed_ = true;
  }
  conn_callbacks_.Close();
  msg_callbacks_.Close();
  session_callbacks_.Close();

  std::lock_guard<std::mutex> lifecycle(lifecycle_mutex_);
  EndSession(false);
  std::unique_ptr<CTimeEvent> sink;
  bool was_inited = false;
  {
    // Taken out under the lock, so that no timer is started with it once it is being removed.
    std::lock_guard<std::mutex> lock(mutex_);
    sink = std::move(time_event_);
    was_inited = inited_;
    inited_ = false;
  }
  if (sink) {
    // Waits for a running OnTimer, which only posts, so the sink can go right after.
    kuvo::RemoveTimerCallBack(sink.get());
    sink.reset();
  }
  {
    // The manager's own SDK calls that began before it closed end without the host.
    std::unique_lock<std::mutex> gate(gate_mutex_);
    gate_idle_.wait(gate, [this] { return own_sdk_calls_ == 0; });
  }
  if (!was_inited) return;
  TIMUninit();
  ForgetRequestsInFlight();
  WriteLog("[IM][CImMgr::UnInit]");
}

bool CImMgr::Login(uint64_t user_id, const std::string& account_type, const std::string& user_sig) {
  uint64_t attempt = 0;
  uint64_t app_id = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!inited_) {
      WriteLog("[IM][CImMgr::Login]Please init");
      return false;
    }
    if (login_state_ || connect_state_) {
      std::ostringstream line;
      line << "[IM][CImMgr::Login]Current login state:" << Flag(login_state_)
           << " connect state:" << Flag(connect_state_);
      WriteLog(line.str());
      return false;
    }
    receive_connect_ = true;
    connect_state_ = false;
    // Set before the SDK is called: the outcome may arrive before TIMLogin returns, even on this
    // thread from inside it, and must find the login pending.
    login_state_ = true;
    attempt = ++login_attempts_;
    app_id = app_id_;
  }
  TIMSetClientVersion(std::to_string(kMsgHeaderClientVersion).c_str());
  const std::string app_text = std::to_string(app_id);
  const std::string user_text = std::to_string(user_id);
  TIMUserInfo user{
      account_type.c_str(), app_text.c_str(), user_text.c_str(), "0", nullptr, nullptr};
  const int code = TIMLogin(static_cast<int>(static_cast<uint32_t>(app_id)), &user,
                            user_sig.c_str(), LoginCompletionRecord());
  std::ostringstream line;
  line << "[IM][CImMgr::Login]Start login,appid=" << app_id << ",user=" << user_text
       << ",code=" << code;
  WriteLog(line.str());
  if (code == 0) return true;
  // Refused: no outcome follows. receiveConnect stays set, so Login may be called again at once.
  std::lock_guard<std::mutex> lock(mutex_);
  if (login_attempts_ == attempt) login_state_ = false;
  return false;
}

void CImMgr::Loginout() {
  EndSession(true);
}

void CImMgr::EndSession(bool own_call) {
  // Once the manager is closed, UnInit's own logout ends the session.
  std::optional<OwnSdkCall> call;
  if (own_call) {
    call.emplace(*this);
    if (!call->entered()) return;
  }
  std::string line;
  bool logout = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    logout = EndSessionLocked(&line);
  }
  if (!logout) return;
  WriteLog(line);
  TIMLogout(LogoutCompletionRecord());
}

bool CImMgr::EndSessionLocked(std::string* line) {
  const bool active = login_state_ || connect_state_;
  if (active) {
    std::ostringstream text;
    text << "[IM][CImMgr::Login]Loginout,login state:" << Flag(login_state_)
         << " state:" << Flag(connect_state_);
    *line = text.str();
  }
  StopDisconnectTimerLocked();
  login_state_ = false;
  receive_connect_ = false;
  connect_state_ = false;
  std::lock_guard<std::mutex> delivery(delivery_mutex_);
  release_data_ = false;
  return active;
}

uint64_t CImMgr::CreateNewSeq() {
  return ++seq_;
}

void CImMgr::NotifyReleaseData() {
  std::unique_lock<std::mutex> lock(delivery_mutex_);
  release_data_ = true;
  if (pending_msgs_.empty()) {
    if (!handing_over_ && !draining_) PostDrainLocked(lock);  // batches a failed post left
    return;
  }
  Base::ITaskRunner* runner = task_runner();
  const bool on_runner = runner != nullptr && runner->IsCurrentThread();
  if (handing_over_ || !released_.empty() || (draining_ && !on_runner)) {
    // Records released earlier are still being delivered: these go after them, on the runner.
    released_.emplace_back();
    released_.back().swap(pending_msgs_);
    if (!handing_over_ && !draining_) PostDrainLocked(lock);
    return;
  }
  TimMsgList held;
  held.swap(pending_msgs_);
  handing_over_ = true;
  lock.unlock();
  // Exactly what was held: batches arriving meanwhile wait in released_, so this returns however
  // many arrive.
  DeliverNewMsgs(held);
  lock.lock();
  handing_over_ = false;
  if (!draining_) PostDrainLocked(lock);
}

void CImMgr::PostDrainLocked(std::unique_lock<std::mutex>& lock) {
  if (released_.empty() || drain_posted_) return;
  drain_posted_ = true;
  lock.unlock();
  const bool posted = PostDrainReleased(weak_from_this());
  lock.lock();
  // Not posted (closed, or out of memory): the next batch to arrive drains them.
  if (!posted) drain_posted_ = false;
}

void CImMgr::DrainReleased() {
  std::unique_lock<std::mutex> lock(delivery_mutex_);
  drain_posted_ = false;
  if (handing_over_ || draining_) return;  // the hand-over's end, or the running drain, sees to it
  DrainReleasedLocked(lock);
}

void CImMgr::DrainReleasedLocked(std::unique_lock<std::mutex>& lock) {
  draining_ = true;
  while (!released_.empty() && !handing_over_) {
    if (!release_data_) {
      // Logged out meanwhile: they are held again, before anything held since.
      while (!released_.empty()) {
        pending_msgs_.splice(pending_msgs_.begin(), released_.back());
        released_.pop_back();
      }
      break;
    }
    TimMsgList batch;
    batch.swap(released_.front());
    released_.pop_front();
    lock.unlock();
    // Concatenated rather than streamed: this line is written for every delivered batch, and
    // a stream's set-up costs more than the rest of the handler.
    WriteLog("[IM][CImMgr::OnImNewMessage] count=" + std::to_string(batch.size()));
    DeliverNewMsgs(batch);
    lock.lock();
  }
  draining_ = false;
}

void CImMgr::StartDisconnectTimerLocked() {
  StopDisconnectTimerLocked();
  if (!time_event_) return;  // UnInit has taken the sink away
  timer_id_ = kuvo::CreateTimerID();
  kuvo::StartTimerEx(timer_id_, kDisconnectTimeoutMs, time_event_.get());
}

void CImMgr::StopDisconnectTimerLocked() {
  if (timer_id_ != 0) kuvo::StopTimerEx(timer_id_);
  timer_id_ = 0;
}

void CImMgr::OnImLogin(uint32_t code) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::ostringstream line;
    line << "[IM][CImMgr::OnImLogin] errorcode:" << code;
    WriteLog(line.str());
    if (login_state_ && code == 0) connect_state_ = true;
    login_state_ = false;
  }
  if (code == 0) {
    NotifyConnEvent(0, "tim login success");
  } else {
    NotifyConnEvent(-4, "tim login error");
  }
}

void CImMgr::OnImLoginout(uint32_t code) {
  std::ostringstream line;
  line << "[IM][CImMgr::OnImLoginout] errorcode:" << code;
  WriteLog(line.str());
}

void CImMgr::OnImLoginRefresh() {
  WriteLog("[IM][CImMgr::OnImLoginRefresh]Data loaded");
  NotifyConnEvent(1, "tim data refresh success");
}

void CImMgr::OnImConnect(uint32_t code) {
  if (!HandleConnect(code)) return;
  NotifyConnEvent(0, "tim connect success");
}

bool CImMgr::HandleConnect(uint32_t code) {
  // Covers the logout below: once closed, the manager makes no SDK call of its own.
  OwnSdkCall call(*this);
  if (!call.entered()) return false;
  bool logout = false;
  std::string logout_line;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::ostringstream line;
    line << "[IM][CImMgr::OnImConnect] errorcode:" << code
         << ",receiveconnect:" << Flag(receive_connect_) << ",tag:" << Flag(connect_state_);
    WriteLog(line.str());
    if (code != 0) {
      if (timer_id_ != 0) {
        WriteLog("[IM][CImMgr::OnImConnect]The disconnection event has been responded to");
        return false;
      }
      StartDisconnectTimerLocked();
      return false;
    }
    StopDisconnectTimerLocked();
    if (receive_connect_ && !connect_state_) {
      WriteLog(
          "[IM][CImMgr::OnImConnect]Connection success status, no need to repeat notification");
      return false;
    }
    if (receive_connect_) return true;
    logout = EndSessionLocked(&logout_line);
  }
  if (logout) {
    WriteLog(logout_line);
    TIMLogout(LogoutCompletionRecord());
  }
  WriteLog("[IM][CImMgr::OnImConnect]External call logout, which can respond to connection events");
  return false;
}

void CImMgr::OnTimerEvent(uint32_t timer_id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (timer_id == 0 || timer_id != timer_id_) return;
    StopDisconnectTimerLocked();
    WriteLog("[IM][CImMgr::OnTimerEvent][wisp]The connection was disconnected");
  }
  NotifyConnEvent(-3, "tim connection lost");
}

void CImMgr::OnImForceOffline() {
  WriteLog("[IM][CImMgr::OnImForceOffline]");
  Loginout();
  NotifyConnEvent(-1, "tim force offline");
}

void CImMgr::OnImUserSigExpired() {
  WriteLog("[IM][CImMgr::OnImUserSigExpired]");
  Loginout();
  NotifyConnEvent(-2, "tim sig expired");
}

void CImMgr::OnImNewMessage(TimMsgList msgs) {
  std::unique_lock<std::mutex> lock(delivery_mutex_);
  if (release_data_) {
    released_.emplace_back();
    released_.back().swap(msgs);
    // During a hand-over, or inside a delivery on this thread, the batch waits its turn.
    if (!handing_over_ && !draining_) DrainReleasedLocked(lock);
    return;
  }
  pending_msgs_.splice(pending_msgs_.end(), msgs);
  std::ostringstream line;
  line << "[IM][CImMgr::OnImNewMessage] count=" << pending_msgs_.size()
       << ",ReleaseData=" << Flag(release_data_);
  lock.unlock();
  WriteLog(line.str());
}

void CImMgr::DeliverNewMsgs(const TimMsgList& msgs) {
  msg_callbacks_.ForEach([&](IMsgCallBack* callback) { callback->OnNewMsgs(&msgs); });
}

void CImMgr::OnImSessionChanged(const TimChangedPeers& changed) {
  if (changed.empty()) return;
  session_callbacks_.ForEach(
      [&](ISessionCallBack* callback) { callback->OnSessionChanged(&changed); });
}

void CImMgr::NotifyConnEvent(int32_t code, std::string text) {
  conn_callbacks_.ForEach([&](IConnCallBack* callback) { callback->OnConnEvent(code, text); });
}

}  // namespace kuvochat
