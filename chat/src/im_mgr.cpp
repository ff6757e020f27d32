#include "im_mgr.h"

#include <new>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/kuvo_bindings.h"
#include "common/text_conversion.h"
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

void CImMgr::UnInit() {
  // First the host: nothing of it is called from now on, and what runs elsewhere has ended.
  closed_ = true;
  conn_callbacks_.Close();
  msg_callbacks_.Close();
  session_callbacks_.Close();

  std::lock_guard<std::mutex> lifecycle(lifecycle_mutex_);
  Loginout();
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
    // Waits for a running OnTimer, so the sink can go right after.
    kuvo::RemoveTimerCallBack(sink.get());
    sink.reset();
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
  if (delivering_) return;  // the thread delivering now picks up what is held
  delivering_ = true;
  // Cleared on every way out, so that delivery can never stay stuck.
  struct Done {
    std::unique_lock<std::mutex>* lock;
    bool* delivering;
    ~Done() {
      if (!lock->owns_lock()) lock->lock();
      *delivering = false;
    }
  } done{&lock, &delivering_};
  // A logout during the hand-over (from a callback or another thread) stops it: what is still
  // held waits for the next release.
  while (release_data_ && !pending_msgs_.empty()) {
    TimMsgList batch;
    batch.swap(pending_msgs_);
    lock.unlock();
    DeliverNewMsgs(batch);
    lock.lock();
  }
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
  bool host_logged_out = false;
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
        return;
      }
      StartDisconnectTimerLocked();
      return;
    }
    StopDisconnectTimerLocked();
    if (!receive_connect_) {
      host_logged_out = true;
      logout = EndSessionLocked(&logout_line);
    } else if (!connect_state_) {
      WriteLog(
          "[IM][CImMgr::OnImConnect]Connection success status, no need to repeat notification");
      return;
    }
  }
  if (host_logged_out) {
    if (logout) {
      WriteLog(logout_line);
      TIMLogout(LogoutCompletionRecord());
    }
    WriteLog(
        "[IM][CImMgr::OnImConnect]External call logout, which can respond to connection events");
    return;
  }
  NotifyConnEvent(0, "tim connect success");
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
  if (release_data_ && !delivering_) {
    lock.unlock();
    // Concatenated rather than streamed: this line is written for every delivered batch, and
    // a stream's set-up costs more than the rest of the handler.
    WriteLog("[IM][CImMgr::OnImNewMessage] count=" + std::to_string(msgs.size()));
    DeliverNewMsgs(msgs);
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
