// Conversations of the store: look-up, listing, unread counts, read marks and removal.
#include <algorithm>
#include <memory>
#include <string>

#include "tim/tim_c.h"
#include "tim_call_hold.h"
#include "tim_state.h"

using tim::State;

extern "C" {

TIMConversationHandle CreateConversation(void) {
  tim::PauseIfHeld("CreateConversation");
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("CreateConversation", {});
  return s.Adopt(std::make_unique<tim::ConversationObject>(), tim::HandleKind::kConversation, true);
}

void DestroyConversation(TIMConversationHandle handle) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("DestroyConversation", {tim::PtrText(handle)});
  if (s.Conversation(handle, "DestroyConversation")) s.Forget(handle);
}

uint64_t TIMGetConversationCount(void) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("TIMGetConversationCount", {});
  if (s.conversation_count_lies) return s.conversation_count_answer;
  return s.conversations.size();
}

int TIMGetConversation(TIMConversationHandle handle, TIMConversationType type, const char* peer) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("TIMGetConversation",
          {tim::PtrText(handle), std::to_string(static_cast<int>(type)), tim::Quote(peer)});
  tim::ConversationObject* c = s.Conversation(handle, "TIMGetConversation");
  if (!c) return -1;
  if (s.get_conversation_result != 0) return s.get_conversation_result;
  if (peer == nullptr || *peer == '\0' || type < kCnvC2C || type > kCnvSystem) return 1;
  c->type = type;
  c->peer = peer;
  c->filled = true;
  return 0;
}

int TIMGetConversationByIndex(TIMConversationHandle handle, uint64_t index) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("TIMGetConversationByIndex", {tim::PtrText(handle), std::to_string(index)});
  tim::ConversationObject* c = s.Conversation(handle, "TIMGetConversationByIndex");
  if (!c) return -1;
  if (index >= s.conversations.size()) return 1;
  const tim::StoredConversation& stored = s.conversations[static_cast<size_t>(index)];
  c->type = stored.type;
  c->peer = stored.peer;
  c->filled = true;
  return s.by_index_answer_set ? s.by_index_answer : 0;
}

static bool DeleteConversation(const char* api, TIMConversationType type, const char* peer) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log(api, {std::to_string(static_cast<int>(type)), tim::Quote(peer)});
  if (peer == nullptr) return false;
  auto it = std::find_if(
      s.conversations.begin(), s.conversations.end(),
      [&](const tim::StoredConversation& c) { return c.type == type && c.peer == peer; });
  if (it == s.conversations.end()) return false;
  s.conversations.erase(it);
  return true;
}

bool TIMDeleteConversation(TIMConversationType type, const char* peer) {
  return DeleteConversation("TIMDeleteConversation", type, peer);
}

bool TIMDeleteConversationAndMsgs(TIMConversationType type, const char* peer) {
  return DeleteConversation("TIMDeleteConversationAndMsgs", type, peer);
}

void SetReadMsg(TIMConversationHandle conv, TIMMessageHandle last_read) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("SetReadMsg", {tim::PtrText(conv), tim::PtrText(last_read)});
  tim::ConversationObject* c = s.Conversation(conv, "SetReadMsg");
  if (!c) return;
  if (tim::StoredConversation* stored = s.FindConversation(c->type, c->peer)) {
    stored->unread = 0;
    for (auto& m : stored->messages) m.is_read = true;
  }
}

uint64_t GetUnreadMessageNum(TIMConversationHandle conv) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("GetUnreadMessageNum", {tim::PtrText(conv)});
  tim::ConversationObject* c = s.Conversation(conv, "GetUnreadMessageNum");
  if (!c) return 0;
  tim::StoredConversation* stored = s.FindConversation(c->type, c->peer);
  return stored ? stored->unread : 0;
}

int GetConversationPeer(TIMConversationHandle conv, char* buf, uint32_t* len) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled)
    s.Log("GetConversationPeer",
          {tim::PtrText(conv), tim::PtrText(buf), len ? std::to_string(*len) : "null"});
  tim::ConversationObject* c = s.Conversation(conv, "GetConversationPeer");
  if (!c) return -1;
  return tim::AnswerText(c->peer, buf, len, &c->faults, "GetConversationPeer");
}

TIMConversationType GetConversationType(TIMConversationHandle conv) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("GetConversationType", {tim::PtrText(conv)});
  tim::ConversationObject* c = s.Conversation(conv, "GetConversationType");
  return c ? c->type : kCnvNone;
}

int GetConversationFromMsg(TIMConversationHandle conv, TIMMessageHandle msg) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.call_log_enabled) s.Log("GetConversationFromMsg", {tim::PtrText(conv), tim::PtrText(msg)});
  tim::ConversationObject* c = s.Conversation(conv, "GetConversationFromMsg");
  tim::MessageObject* m = s.Message(msg, "GetConversationFromMsg");
  if (!c || !m) return -1;
  if (m->data.conversation_from_msg_result != 0) return m->data.conversation_from_msg_result;
  if (m->data.peer.empty() && m->data.conv_type == kCnvNone) return 1;
  c->type = m->data.conv_type;
  c->peer = m->data.peer;
  c->faults = m->data.faults;
  c->filled = true;
  return 0;
}

}  // extern "C"
