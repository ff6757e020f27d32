// History pages: from a script when one is queued, otherwise from the conversation's stored
// messages (backward pages newest first, forward pages oldest first).
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tim/tim_c.h"
#include "tim_dispatcher.h"
#include "tim_state.h"

using tim::State;

namespace tim {

namespace {

enum class Direction { kBackward, kForward };

std::vector<MessageData> StoredPage(State& s, const ConversationObject& c, int count,
                                    const MessageObject* anchor, Direction direction) {
  std::vector<MessageData> page;
  const StoredConversation* stored = s.FindConversation(c.type, c.peer);
  if (!stored || count <= 0) return page;
  const auto& all = stored->messages;
  // Position of the anchor in the store; without one, the page starts at the newest end.
  size_t anchor_pos = all.size();
  bool found = false;
  if (anchor) {
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i].seq == anchor->data.seq && all[i].rand == anchor->data.rand) {
        anchor_pos = i;
        found = true;
        break;
      }
    }
  }
  if (direction == Direction::kBackward) {
    size_t end = found ? anchor_pos : all.size();
    while (end > 0 && page.size() < static_cast<size_t>(count)) page.push_back(all[--end]);
  } else {
    size_t begin = found ? anchor_pos + 1 : 0;
    while (begin < all.size() && page.size() < static_cast<size_t>(count)) {
      page.push_back(all[begin++]);
    }
  }
  return page;
}

void Fetch(const char* api, TIMConversationHandle conv, int count, TIMMessageHandle anchor,
           TIMGetMsgCB* cb, Direction direction) {
  tim_control::HistoryScript script;
  std::vector<MessageData> page;
  {
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.Log(api, {PtrText(conv), std::to_string(count), PtrText(anchor), PtrText(cb)});
    ConversationObject* c = s.Conversation(conv, api);
    const MessageObject* a = anchor ? s.Message(anchor, api) : nullptr;
    if (!c || (anchor && !a)) {
      script.code = kTimErrNotLoggedIn;
      script.desc = "invalid conversation or anchor";
    } else if (!s.history_scripts.empty()) {
      script = s.history_scripts.front();
      s.history_scripts.pop_front();
      if (script.from_store) {
        page = StoredPage(s, *c, count, a, direction);
      } else {
        for (const auto& shape : script.messages) page.push_back(FromShape(shape));
      }
    } else {
      page = StoredPage(s, *c, count, a, direction);
    }
  }
  Dispatcher::Get().Post([cb, script, page] {
    if (cb == nullptr) return;
    if (script.code != 0) {
      if (cb->OnError) cb->OnError(script.code, script.desc.c_str(), cb->data);
      return;
    }
    std::vector<TIMMessageHandle> handles;
    {
      State& s = State::Get();
      std::lock_guard<std::mutex> lock(s.mutex);
      for (const auto& m : page) handles.push_back(s.NewSdkMessage(m));
    }
    const int size =
        script.reported_size != -1 ? script.reported_size : static_cast<int>(handles.size());
    if (cb->OnSuccess) cb->OnSuccess(handles.empty() ? nullptr : handles.data(), size, cb->data);
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (TIMMessageHandle h : handles) s.Forget(h);
  });
}

}  // namespace

}  // namespace tim

extern "C" {

void GetMsgs(TIMConversationHandle conv, int count, TIMMessageHandle anchor, TIMGetMsgCB* cb) {
  tim::Fetch("GetMsgs", conv, count, anchor, cb, tim::Direction::kBackward);
}

void GetMsgsForward(TIMConversationHandle conv, int count, TIMMessageHandle anchor,
                    TIMGetMsgCB* cb) {
  tim::Fetch("GetMsgsForward", conv, count, anchor, cb, tim::Direction::kForward);
}

void SyncC2CRambleMsgs(TIMConversationHandle conv, int count, TIMMessageHandle anchor,
                       TIMGetMsgCB* cb) {
  tim::Fetch("SyncC2CRambleMsgs", conv, count, anchor, cb, tim::Direction::kBackward);
}

int GetMsgsFromCache(TIMConversationHandle conv, int* count, TIMMessageHandle anchor,
                     TIMMessageHandle* msgs) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.Log("GetMsgsFromCache", {tim::PtrText(conv), count ? std::to_string(*count) : "null",
                             tim::PtrText(anchor), tim::PtrText(msgs)});
  tim::ConversationObject* c = s.Conversation(conv, "GetMsgsFromCache");
  if (!c || !count || !msgs || *count <= 0) return -1;
  const tim::MessageObject* a = anchor ? s.Message(anchor, "GetMsgsFromCache") : nullptr;
  if (anchor && !a) return -1;
  std::vector<tim::MessageData> page = tim::StoredPage(s, *c, *count, a, tim::Direction::kBackward);
  if (page.empty()) {
    *count = 0;
    return 1;
  }
  // The caller lends its own message handles; each is filled with one message.
  int filled = 0;
  for (const auto& m : page) {
    tim::MessageObject* target = s.Message(msgs[filled], "GetMsgsFromCache");
    if (!target) break;
    target->data = m;
    for (auto& view : target->elem_views) s.handles.erase(view.get());
    target->elem_views.clear();
    ++filled;
  }
  *count = filled;
  return filled > 0 ? 0 : -1;
}

}  // extern "C"
