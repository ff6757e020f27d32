// The control API: scripts, injected events and read-outs for tests and the demo.
#include "tim/tim_control.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "tim_call_hold.h"
#include "tim_dispatcher.h"
#include "tim_state.h"

namespace tim {
bool CompleteHeldLoginImpl(int outcome);
size_t CompleteHeldSendsImpl();
void RaiseConnectedFromControl();
}  // namespace tim

namespace tim_control {

using tim::Dispatcher;
using tim::State;

MessageShape CustomMessage(TIMConversationType conv_type, const std::string& peer,
                           const std::string& sender, const std::string& data_base64,
                           const std::string& desc, const std::string& ext) {
  MessageShape shape;
  shape.conv_type = conv_type;
  shape.peer = peer;
  shape.sender = sender;
  shape.elems.push_back({kElemCustom, data_base64, desc, ext});
  return shape;
}

void Reset() {
  {
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.ResetLocked();
  }
  tim::ReleaseHeldCallImpl();
  Dispatcher::Get().DropQueued();
  Dispatcher::Get().SetSynchronous(false);
}

void SetSynchronousCallbacks(bool on) {
  Dispatcher::Get().SetSynchronous(on);
}
void WaitIdle() {
  Dispatcher::Get().WaitIdle();
}

void SetInitResult(int result) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().init_result = result;
}

void SetLoginScript(const LoginScript& script) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().login_script = script;
}

bool CompleteHeldLogin(int outcome) {
  return tim::CompleteHeldLoginImpl(outcome);
}

void SetLogoutScript(const LogoutScript& script) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().logout_script = script;
}

void SetGetConversationResult(int result) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().get_conversation_result = result;
}

void PushSendScript(const SendScript& script) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().send_scripts.push_back(script);
}

size_t CompleteHeldSends() {
  return tim::CompleteHeldSendsImpl();
}

void PushHistoryScript(const HistoryScript& script) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().history_scripts.push_back(script);
}

void RaiseConnected() {
  Dispatcher::Get().Post([] { tim::RaiseConnectedFromControl(); });
}

void RaiseDisconnected(int code, const std::string& desc) {
  Dispatcher::Get().Post([code, desc] {
    TIMConnCB* cb = nullptr;
    {
      std::lock_guard<std::mutex> lock(State::Get().mutex);
      cb = State::Get().conn_cb;
    }
    if (cb && cb->OnDisconnected) cb->OnDisconnected(code, desc.c_str(), cb->data);
  });
}

void RaiseKickOffline() {
  Dispatcher::Get().Post([] {
    TIMForceOfflineCB* cb = nullptr;
    {
      std::lock_guard<std::mutex> lock(State::Get().mutex);
      cb = State::Get().kick_cb;
      State::Get().logged_in_user.clear();
    }
    if (cb && cb->OnForceOffline) cb->OnForceOffline(cb->data);
  });
}

void RaiseUserSigExpired() {
  Dispatcher::Get().Post([] {
    TIMUserSigExpiredCB* cb = nullptr;
    {
      std::lock_guard<std::mutex> lock(State::Get().mutex);
      cb = State::Get().sig_cb;
      State::Get().logged_in_user.clear();
    }
    if (cb && cb->OnUserSigExpired) cb->OnUserSigExpired(cb->data);
  });
}

void RaiseRefresh() {
  Dispatcher::Get().Post([] {
    TIMRefreshListener* cb = nullptr;
    {
      std::lock_guard<std::mutex> lock(State::Get().mutex);
      cb = State::Get().refresh_listener;
    }
    if (cb && cb->OnRefresh) cb->OnRefresh(cb->data);
  });
}

void RaiseConversationRefresh(
    const std::vector<std::pair<TIMConversationType, std::string>>& conversations) {
  Dispatcher::Get().Post([conversations] {
    TIMRefreshListener* cb = nullptr;
    std::vector<TIMConversationHandle> handles;
    State& s = State::Get();
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      cb = s.refresh_listener;
      for (const auto& [type, peer] : conversations) {
        handles.push_back(s.NewSdkConversation(type, peer));
      }
    }
    if (cb && cb->OnConversationRefresh) {
      cb->OnConversationRefresh(handles.empty() ? nullptr : handles.data(),
                                static_cast<uint32_t>(handles.size()), cb->data);
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    for (TIMConversationHandle h : handles) s.Forget(h);
  });
}

namespace {
tim::MessageData Numbered(State& s, const MessageShape& shape) {
  tim::MessageData m = tim::FromShape(shape);
  if (m.unique_id == 0) m.unique_id = ++s.next_unique_id;
  if (m.seq == 0) m.seq = s.next_seq++;
  return m;
}
}  // namespace

void DeliverNewMessages(const std::vector<MessageShape>& batch) {
  std::vector<std::pair<bool, tim::MessageData>> messages;  // (null entry, message)
  messages.reserve(batch.size());
  {
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (const auto& shape : batch) {
      tim::MessageData m = Numbered(s, shape);
      if (!shape.null_handle && shape.store) s.StoreMessage(m);
      messages.emplace_back(shape.null_handle, std::move(m));
    }
  }
  // The event runs once, so it hands its messages on to the handles instead of copying them.
  Dispatcher::Get().Post([messages = std::move(messages)]() mutable {
    TIMMessageCB* cb = nullptr;
    std::vector<TIMMessageHandle> handles;
    handles.reserve(messages.size());
    State& s = State::Get();
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      cb = s.message_cb;
      for (auto& [null_entry, m] : messages) {
        handles.push_back(null_entry ? nullptr : s.NewSdkMessage(std::move(m)));
      }
    }
    if (cb && cb->OnNewMessage) {
      cb->OnNewMessage(handles.empty() ? nullptr : handles.data(),
                       static_cast<uint32_t>(handles.size()), cb->data);
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    for (TIMMessageHandle h : handles) {
      if (h) s.Forget(h);
    }
  });
}

void StoreMessages(const std::vector<MessageShape>& messages) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  for (const auto& shape : messages) s.StoreMessage(Numbered(s, shape));
}

std::vector<CallRecord> CallLog() {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  return State::Get().calls;
}

std::vector<CallRecord> CallsNamed(const std::string& name) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  std::vector<CallRecord> out;
  for (const auto& c : State::Get().calls) {
    if (c.name == name) out.push_back(c);
  }
  return out;
}

size_t CountCalls(const std::string& name) {
  return CallsNamed(name).size();
}

bool WaitForCalls(const std::string& name, size_t count, uint32_t timeout_ms) {
  State& s = State::Get();
  std::unique_lock<std::mutex> lock(s.mutex);
  return s.logged.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    return static_cast<size_t>(
               std::count_if(s.calls.begin(), s.calls.end(),
                             [&](const CallRecord& c) { return c.name == name; })) >= count;
  });
}

void HoldNextCall(const std::string& name) {
  tim::HoldNextCallImpl(name);
}
bool WaitCallHeld(uint32_t timeout_ms) {
  return tim::WaitCallHeldImpl(timeout_ms);
}
void ReleaseHeldCall() {
  tim::ReleaseHeldCallImpl();
}

void ClearCallLog() {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().calls.clear();
}

size_t LiveHandleCount() {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  size_t n = 0;
  for (const auto& entry : State::Get().handles) n += entry.second.counted ? 1 : 0;
  return n;
}

std::vector<std::string> Misuses() {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  return State::Get().misuses;
}

TIMMessageCB* RegisteredMessageCallBack() {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  return State::Get().message_cb;
}

TIMConnCB* RegisteredConnCallBack() {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  return State::Get().conn_cb;
}

bool IsInitialized() {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  return State::Get().initialized;
}

std::string LoggedInUser() {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  return State::Get().logged_in_user;
}

uint64_t StoredUnreadCount(TIMConversationType type, const std::string& peer) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  const tim::StoredConversation* c = State::Get().FindConversation(type, peer);
  return c ? c->unread : 0;
}

size_t StoredConversationCount() {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  return State::Get().conversations.size();
}

}  // namespace tim_control
