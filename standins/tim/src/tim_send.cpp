// Sending: the message takes the conversation's peer, the account as sender and a place in the
// store; its outcome follows on the callback thread (or is held when a script says so).
#include <string>
#include <utility>

#include "tim/tim_c.h"
#include "tim_dispatcher.h"
#include "tim_state.h"

using tim::State;

namespace tim {

namespace {

void DeliverSendOutcome(const HeldSend& send) {
  {
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    // The caller may have destroyed its message meanwhile; then only the routine is told.
    if (MessageObject* m =
            s.handles.count(send.message) ? s.Message(send.message, "send") : nullptr) {
      m->data.status = send.script.status_after;
      if (send.script.code == 0 && !send.script.as_error) s.StoreMessage(m->data);
    }
  }
  if (send.cb == nullptr) return;
  if (send.script.code == 0 && !send.script.as_error) {
    if (send.cb->OnSuccess) send.cb->OnSuccess(send.cb->data);
  } else if (send.cb->OnError) {
    send.cb->OnError(send.script.code, send.script.desc.c_str(), send.cb->data);
  }
}

void Send(const char* api, TIMConversationHandle conv, TIMMessageHandle msg, TIMCommCB* cb) {
  HeldSend send{msg, cb, {}};
  {
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.Log(api, {PtrText(conv), PtrText(msg), PtrText(cb)});
    ConversationObject* c = s.Conversation(conv, api);
    MessageObject* m = s.Message(msg, api);
    if (!c || !m || !c->filled) {
      send.script.code = kTimErrNotLoggedIn;
      send.script.status_after = kMsgStatusFail;
      send.script.desc = "invalid conversation or message";
    } else {
      if (!s.send_scripts.empty()) {
        send.script = s.send_scripts.front();
        s.send_scripts.pop_front();
      }
      m->data.conv_type = c->type;
      m->data.peer = c->peer;
      m->data.sender = s.logged_in_user;
      m->data.is_self = true;
      m->data.is_read = true;
      m->data.status = kMsgStatusSending;
      m->data.unique_id = ++s.next_unique_id;
      m->data.seq = s.next_seq++;
      m->data.rand = m->data.seq * 7919u;
      m->data.time = static_cast<uint32_t>(1700000000u + m->data.seq);
      if (send.script.hold) {
        s.held_sends.push_back(send);
        return;
      }
    }
  }
  Dispatcher::Get().Post([send] { DeliverSendOutcome(send); });
}

}  // namespace

size_t CompleteHeldSendsImpl() {
  std::vector<HeldSend> held;
  {
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    held.swap(s.held_sends);
  }
  for (const HeldSend& send : held) Dispatcher::Get().Post([send] { DeliverSendOutcome(send); });
  return held.size();
}

}  // namespace tim

extern "C" {

void SendMsg(TIMConversationHandle conv, TIMMessageHandle msg, TIMCommCB* cb) {
  tim::Send("SendMsg", conv, msg, cb);
}

void SendOnlineMsg(TIMConversationHandle conv, TIMMessageHandle msg, TIMCommCB* cb) {
  tim::Send("SendOnlineMsg", conv, msg, cb);
}

}  // extern "C"
