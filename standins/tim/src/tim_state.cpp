#include "tim_state.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tim {

State& State::Get() {
  // Never destroyed: events may still run on the callback thread while the process exits.
  static State* state = new State();
  return *state;
}

namespace {
template <typename T>
T* Lookup(State& s, void* handle, HandleKind kind, const char* api) {
  auto it = s.handles.find(handle);
  if (handle == nullptr || it == s.handles.end() || it->second.kind != kind) {
    s.misuses.push_back(std::string(api) + (handle ? ": unknown handle" : ": null handle"));
    return nullptr;
  }
  return static_cast<T*>(handle);
}
}  // namespace

ConversationObject* State::Conversation(void* handle, const char* api) {
  return Lookup<ConversationObject>(*this, handle, HandleKind::kConversation, api);
}
MessageObject* State::Message(void* handle, const char* api) {
  return Lookup<MessageObject>(*this, handle, HandleKind::kMessage, api);
}
ElemObject* State::Elem(void* handle, const char* api) {
  return Lookup<ElemObject>(*this, handle, HandleKind::kElem, api);
}
OfflineObject* State::Offline(void* handle, const char* api) {
  return Lookup<OfflineObject>(*this, handle, HandleKind::kOffline, api);
}

void State::Forget(void* handle) {
  auto it = handles.find(handle);
  if (it == handles.end()) return;
  const HandleKind kind = it->second.kind;
  handles.erase(it);
  switch (kind) {
    case HandleKind::kConversation:
      delete static_cast<ConversationObject*>(handle);
      break;
    case HandleKind::kMessage: {
      auto* message = static_cast<MessageObject*>(handle);
      for (auto& view : message->elem_views) handles.erase(view.get());
      delete message;
      break;
    }
    case HandleKind::kElem:
      delete static_cast<ElemObject*>(handle);
      break;
    case HandleKind::kOffline:
      delete static_cast<OfflineObject*>(handle);
      break;
  }
}

TIMMessageHandle State::NewSdkMessage(MessageData data) {
  auto message = std::make_unique<MessageObject>();
  message->data = std::move(data);
  return Adopt(std::move(message), HandleKind::kMessage, false);
}

TIMConversationHandle State::NewSdkConversation(TIMConversationType type, const std::string& peer) {
  auto conversation = std::make_unique<ConversationObject>();
  conversation->type = type;
  conversation->peer = peer;
  conversation->filled = true;
  return Adopt(std::move(conversation), HandleKind::kConversation, false);
}

void State::Log(const std::string& name, std::vector<std::string> args) {
  if (!call_log_enabled) return;
  calls.push_back({name, std::move(args)});
  logged.notify_all();
}

StoredConversation* State::FindConversation(TIMConversationType type, const std::string& peer) {
  for (auto& c : conversations) {
    if (c.type == type && c.peer == peer) return &c;
  }
  return nullptr;
}

StoredConversation& State::TouchConversation(TIMConversationType type, const std::string& peer) {
  auto it =
      std::find_if(conversations.begin(), conversations.end(),
                   [&](const StoredConversation& c) { return c.type == type && c.peer == peer; });
  StoredConversation moved;
  if (it != conversations.end()) {
    moved = std::move(*it);
    conversations.erase(it);
  } else {
    moved.type = type;
    moved.peer = peer;
  }
  conversations.insert(conversations.begin(), std::move(moved));
  return conversations.front();
}

void State::StoreMessage(const MessageData& message) {
  StoredConversation& c = TouchConversation(message.conv_type, message.peer);
  c.messages.push_back(message);
  if (!message.is_self && !message.is_read) ++c.unread;
}

void State::ResetLocked() {
  calls.clear();
  call_log_enabled = true;
  misuses.clear();
  conversations.clear();
  initialized = false;
  logged_in_user.clear();
  pending_login_user.clear();
  init_result = 0;
  get_conversation_result = 0;
  conversation_count_lies = false;
  conversation_count_answer = 0;
  by_index_answer_set = false;
  by_index_answer = 0;
  login_script = {};
  logout_script = {};
  held_login_cb = nullptr;
  send_scripts.clear();
  held_sends.clear();
  history_scripts.clear();
  message_cb = nullptr;
  conn_cb = nullptr;
  kick_cb = nullptr;
  sig_cb = nullptr;
  refresh_listener = nullptr;
}

MessageData FromShape(const tim_control::MessageShape& shape) {
  MessageData m;
  m.conv_type = shape.conv_type;
  m.peer = shape.peer;
  m.sender = shape.sender;
  m.seq = shape.seq;
  m.rand = shape.rand;
  m.time = shape.time;
  m.status = shape.status;
  m.unique_id = shape.unique_id;
  m.is_read = shape.is_read;
  m.is_self = shape.is_self;
  for (const auto& e : shape.elems) m.elems.push_back({e.type, e.data, e.desc, e.ext});
  m.faults = shape.faults;
  m.conversation_from_msg_result = shape.conversation_from_msg_result;
  return m;
}

int AnswerText(const std::string& value, char* buf, uint32_t* len,
               const std::map<std::string, tim_control::QueryFault>* faults, const char* api) {
  if (len == nullptr) return -1;
  if (buf == nullptr || *len == 0) {
    // Most objects carry no faults; the look-up would build a key string for nothing.
    if (faults && !faults->empty()) {
      auto it = faults->find(api);
      if (it != faults->end()) {
        *len = static_cast<uint32_t>(it->second.length);
        return it->second.result;
      }
    }
    *len = static_cast<uint32_t>(value.size());
    return -2;
  }
  const size_t room = *len;
  const size_t copied = std::min(room, value.size());
  std::memcpy(buf, value.data(), copied);
  if (copied < room) buf[copied] = '\0';
  if (value.size() + 1 <= room) {
    *len = static_cast<uint32_t>(copied);
    return 0;
  }
  *len = static_cast<uint32_t>(value.size());
  return -2;
}

std::string PtrText(const void* p) {
  return p ? "ptr" : "null";
}
std::string Quote(const char* text) {
  return text ? std::string(text) : std::string("null");
}

}  // namespace tim
