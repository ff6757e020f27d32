// Message conversion fed hostile SDK answers: a batch of handles (some null) converted the way
// the new-message routine converts them, and one send outcome. Nothing may read or write out of
// bounds, and every conversation handle created must be destroyed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "hostile_tim.h"
#include "message_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  hostile_tim::Begin(data, size);
  static char messages[8];
  TIMMessageHandle handles[8] = {};
  const size_t count = hostile_tim::NextByte() % 9;
  for (size_t i = 0; i < count; ++i) {
    handles[i] = (hostile_tim::NextByte() & 3) == 0 ? nullptr : &messages[i];
  }
  const TimMsgList list = kuvochat::ConvertMessages(handles, count);
  if (list.size() > count) std::abort();
  for (const tagTimMsgInfo& record : list) {
    if (record.flag != 0) std::abort();
    if (record.locator.status != 2) std::abort();
    if (record.locator.convType == 0 || record.locator.convType == 3) std::abort();
  }

  tagTimMsgInfo outcome;
  if (kuvochat::ConvertMessage(&messages[0], &outcome, false)) {
    if (outcome.locator.status != 2 && outcome.locator.status != 3) std::abort();
    kuvochat::ReadCustomElement(&messages[0], &outcome);
  }
  if (hostile_tim::LiveConversations() != 0) std::abort();
  return 0;
}
