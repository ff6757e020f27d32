#include "im_mgr.h"

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

std::mutex g_instance_mutex;
std::shared_ptr<CImMgr> g_instance;

const char* Flag(bool value) {
  return value ? "1" : "0";
}

}  // namespace

CImMgr::CImMgr() = default;
CImMgr::~CImMgr() = default;

std::shared_ptr<CImMgr> CImMgr::GetInstance() {
  std::lock_guard<std::mutex> lock(g_instance_mutex);
  if (!g_instance) g_instance = std::make_shared<CImMgr>();
  return g_instance;
}

std::shared_ptr<CImMgr> CImMgr::GetExisting() {
  std::lock_guard<std::mutex> lock(g_instance_mutex);
  return g_instance;
}

void CImMgr::DestroyInstance() {
  std::shared_ptr<CImMgr> dropped;
  {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    dropped.swap(g_instance);
  }
  // `dropped` goes here, outside the guard, unless a forwarder still holds it.
}

void CImMgr::WriteLog(const std::string& line) {
  platform::OutputDebugText(line.c_str());
}

bool CImMgr::Init(uint64_t app_id, uint32_t /*ignored*/, const wchar_t* data_path) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (inited_) {
    WriteLog("[IM][CImMgr::Init]Repetitive initialization");
    return true;
  }
  void* object = nullptr;
  kuvo::GetKuvocoreObject(kKuvocoreTaskRunnerKind, &object);
  auto* runner = static_cast<Base::ITaskRunner*>(object);
  if (runner == nullptr) {
    WriteLog("[IM][CImMgr::Init]Base com uninit");
    return false;
  }
  task_runner_.store(runner);
  app_id_ = app_id;
  RegisterSdkRoutines();
  if (!time_event_) time_event_ = std::make_unique<CTimeEvent>();
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
  if (result == 0) inited_ = true;
  std::ostringstream line;
  line << "[IM][CImMgr::Init]Init result:" << result;
  WriteLog(line.str());
  return inited_;
}

void CImMgr::UnInit() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  LoginoutLocked();
  if (time_event_) {
    // Waits for a running OnTimer, so the sink can go right after.
    kuvo::RemoveTimerCallBack(time_event_.get());
    time_event_.reset();
  }
  if (!inited_) return;
  TIMUninit();
  ForgetRequestsInFlight();
  inited_ = false;
  WriteLog("[IM][CImMgr::UnInit]");
}

bool CImMgr::Login(uint64_t user_id, const std::string& account_type, const std::string& user_sig) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
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
  TIMSetClientVersion(std::to_string(kMsgHeaderClientVersion).c_str());
  const std::string app_text = std::to_string(app_id_);
  const std::string user_text = std::to_string(user_id);
  TIMUserInfo user{
      account_type.c_str(), app_text.c_str(), user_text.c_str(), "0", nullptr, nullptr};
  const int code = TIMLogin(static_cast<int>(static_cast<uint32_t>(app_id_)), &user,
                            user_sig.c_str(), LoginCompletionRecord());
  std::ostringstream line;
  line << "[IM][CImMgr::Login]Start login,appid=" << app_id_ << ",user=" << user_text
       << ",code=" << code;
  WriteLog(line.str());
  if (code != 0) return false;
  login_state_ = true;
  return true;
}

void CImMgr::Loginout() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  LoginoutLocked();
}

void CImMgr::LoginoutLocked() {
  if (login_state_ || connect_state_) {
    std::ostringstream line;
    line << "[IM][CImMgr::Login]Loginout,login state:" << Flag(login_state_)
         << " state:" << Flag(connect_state_);
    WriteLog(line.str());
    TIMLogout(LogoutCompletionRecord());
  }
  StopDisconnectTimerLocked();
  login_state_ = false;
  receive_connect_ = false;
  connect_state_ = false;
  std::lock_guard<std::mutex> delivery(delivery_mutex_);
  release_data_ = false;
}

uint64_t CImMgr::CreateNewSeq() {
  return ++seq_;
}

void CImMgr::NotifyReleaseData() {
  std::unique_lock<std::mutex> lock(delivery_mutex_);
  release_data_ = true;
  if (delivering_) return;  // the thread delivering now picks up what is held
  delivering_ = true;
  while (!pending_msgs_.empty()) {
    TimMsgList batch;
    batch.swap(pending_msgs_);
    lock.unlock();
    DeliverNewMsgs(batch);
    lock.lock();
  }
  delivering_ = false;
}

void CImMgr::StartDisconnectTimerLocked() {
  StopDisconnectTimerLocked();
  timer_id_ = kuvo::CreateTimerID();
  kuvo::StartTimerEx(timer_id_, kDisconnectTimeoutMs, time_event_.get());
}

void CImMgr::StopDisconnectTimerLocked() {
  if (timer_id_ != 0) kuvo::StopTimerEx(timer_id_);
  timer_id_ = 0;
}

void CImMgr::OnImLogin(uint32_t code) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
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
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
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
      LoginoutLocked();
      WriteLog(
          "[IM][CImMgr::OnImConnect]External call logout, which can respond to connection "
          "events");
      return;
    }
    if (!connect_state_) {
      WriteLog(
          "[IM][CImMgr::OnImConnect]Connection success status, no need to repeat notification");
      return;
    }
  }
  NotifyConnEvent(0, "tim connect success");
}

void CImMgr::OnTimerEvent(uint32_t timer_id) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (timer_id == 0 || timer_id != timer_id_) return;
    StopDisconnectTimerLocked();
    WriteLog("[IM][CImMgr::OnTimerEvent][wisp]The connection was disconnected");
  }
  NotifyConnEvent(-3, "tim connection lost");
}

void CImMgr::OnImForceOffline() {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    WriteLog("[IM][CImMgr::OnImForceOffline]");
    LoginoutLocked();
  }
  NotifyConnEvent(-1, "tim force offline");
}

void CImMgr::OnImUserSigExpired() {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    WriteLog("[IM][CImMgr::OnImUserSigExpired]");
    LoginoutLocked();
  }
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
