// Control calls that script the conversation list.
#include <mutex>

#include "tim/tim_control.h"
#include "tim_state.h"

namespace tim_control {

void SetConversationCountAnswer(uint64_t count) {
  tim::State& s = tim::State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.conversation_count_lies = true;
  s.conversation_count_answer = count;
}

}  // namespace tim_control
