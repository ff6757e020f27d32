// Control calls that script the conversation list.
#include <mutex>
#include <string>

#include "tim/tim_control.h"
#include "tim_state.h"

namespace tim_control {

void SetConversationCountAnswer(uint64_t count) {
  tim::State& s = tim::State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.conversation_count_lies = true;
  s.conversation_count_answer = count;
}

void SetConversationByIndexAnswer(int result) {
  tim::State& s = tim::State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.by_index_answer_set = true;
  s.by_index_answer = result;
}

bool SetUnreadCount(TIMConversationType type, const std::string& peer, uint64_t count) {
  tim::State& s = tim::State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  tim::StoredConversation* c = s.FindConversation(type, peer);
  if (!c) return false;
  c->unread = count;
  return true;
}

}  // namespace tim_control
