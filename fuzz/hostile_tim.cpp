#include "hostile_tim.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "tim/tim_c.h"

namespace hostile_tim {

namespace {

const uint8_t* g_data = nullptr;
size_t g_size = 0;
int g_live_conversations = 0;
// Conversation handles point into this block, so a stray dereference is caught by ASan only
// if the code reads past it, and handle values look real.
char g_handles[16];

uint32_t NextU32() {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | NextByte();
  return v;
}

uint64_t NextU64() {
  return (static_cast<uint64_t>(NextU32()) << 32) | NextU32();
}

// Mostly the expected answer, sometimes another.
int NextResult(int expected) {
  const uint8_t b = NextByte();
  if (b < 192) return expected;
  if (b < 224) return 0;
  return static_cast<int>(NextU32());
}

std::string NextText() {
  const size_t length = std::min<size_t>(NextByte() * 2u, g_size);
  std::string text(reinterpret_cast<const char*>(g_data), length);
  g_data += length;
  g_size -= length;
  return text;
}

// The length protocol of tim_c.h, answered by a liar: the size query may report any length and
// any code; a fetch copies at most *len bytes of a text that may be longer, shorter or without
// terminator.
int AnswerText(char* buf, uint32_t* len) {
  if (len == nullptr) return -1;
  const std::string text = NextText();
  if (buf == nullptr || *len == 0) {
    const uint8_t how = NextByte();
    if (how < 128) {
      *len = static_cast<uint32_t>(text.size());
    } else if (how < 192) {
      *len = NextU32();
    } else {
      *len = NextByte();
    }
    return NextResult(-2);
  }
  const uint32_t copied = std::min<uint32_t>(*len, static_cast<uint32_t>(text.size()));
  std::memcpy(buf, text.data(), copied);
  if (NextByte() < 128 && copied < *len) buf[copied] = '\0';
  *len = copied;
  return NextResult(0);
}

}  // namespace

void Begin(const uint8_t* data, size_t size) {
  g_data = data;
  g_size = size;
  g_live_conversations = 0;
}

int LiveConversations() {
  return g_live_conversations;
}

uint8_t NextByte() {
  if (g_size == 0) return 0;
  --g_size;
  return *g_data++;
}

}  // namespace hostile_tim

using hostile_tim::NextByte;

extern "C" {

TIMConversationHandle CreateConversation(void) {
  if (NextByte() == 255) return nullptr;
  ++hostile_tim::g_live_conversations;
  return &hostile_tim::g_handles[0];
}

void DestroyConversation(TIMConversationHandle handle) {
  if (handle != nullptr) --hostile_tim::g_live_conversations;
}

int GetConversationFromMsg(TIMConversationHandle, TIMMessageHandle) {
  return hostile_tim::NextResult(0);
}

TIMConversationType GetConversationType(TIMConversationHandle) {
  return static_cast<TIMConversationType>(NextByte() % 5);
}

int GetConversationPeer(TIMConversationHandle, char* buf, uint32_t* len) {
  return hostile_tim::AnswerText(buf, len);
}

int GetMsgStatus(TIMMessageHandle) {
  return NextByte() % 6;
}
uint64_t GetMsgUniqueID(TIMMessageHandle) {
  return hostile_tim::NextU64();
}
bool IsMsgRead(TIMMessageHandle) {
  return NextByte() & 1;
}
bool IsMsgFromSelf(TIMMessageHandle) {
  return NextByte() & 1;
}
uint32_t GetMsgTime(TIMMessageHandle) {
  return hostile_tim::NextU32();
}
uint64_t GetMsgRand(TIMMessageHandle) {
  return hostile_tim::NextU64();
}
uint64_t GetMsgSeq(TIMMessageHandle) {
  return hostile_tim::NextU64();
}

int GetMsgSender(TIMMessageHandle, char* buf, uint32_t* len) {
  return hostile_tim::AnswerText(buf, len);
}

int GetElemCount(TIMMessageHandle) {
  return hostile_tim::NextResult(1);
}

TIMMsgElemHandle GetElem(TIMMessageHandle, int) {
  return NextByte() == 255 ? nullptr : &hostile_tim::g_handles[8];
}

TIMElemType GetElemType(TIMMsgElemHandle) {
  return static_cast<TIMElemType>(hostile_tim::NextResult(kElemCustom));
}

int GetCustomElemData(TIMMsgCustomElemHandle, char* buf, uint32_t* len) {
  return hostile_tim::AnswerText(buf, len);
}

int GetCustomElemDesc(TIMMsgCustomElemHandle, char* buf, uint32_t* len) {
  return hostile_tim::AnswerText(buf, len);
}

int GetCustomElemExt(TIMMsgCustomElemHandle, char* buf, uint32_t* len) {
  return hostile_tim::AnswerText(buf, len);
}

}  // extern "C"
