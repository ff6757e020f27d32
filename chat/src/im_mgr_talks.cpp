// CImMgr: the recent-conversation list, unread counts, read marks and removal. These run
// entirely on the calling thread.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "im_mgr.h"
#include "message_convert.h"
#include "peer_id.h"
#include "tim/tim_c.h"

namespace kuvochat {

namespace {

constexpr size_t kMaxRecentTalks = 100;
// The SDK's conversation count is only believed up to here, so that a count it cannot back with
// conversations cannot keep the walk going: far more conversations than any account keeps.
constexpr uint64_t kMaxConversationIndexes = 10000;

// Owns one SDK handle made by the caller and destroys it on every path.
class ConversationHolder {
 public:
  ConversationHolder() = default;
  ~ConversationHolder() {
    if (handle_) DestroyConversation(handle_);
  }
  ConversationHolder(const ConversationHolder&) = delete;
  ConversationHolder& operator=(const ConversationHolder&) = delete;
  // False when the SDK gives no handle.
  bool Create() {
    handle_ = CreateConversation();
    return handle_ != nullptr;
  }
  TIMConversationHandle get() const { return handle_; }

 private:
  TIMConversationHandle handle_ = nullptr;
};

class MessageHolder {
 public:
  MessageHolder() : handle_(CreateTIMMessage()) {}
  ~MessageHolder() {
    if (handle_) DestroyTIMMessage(handle_);
  }
  MessageHolder(const MessageHolder&) = delete;
  MessageHolder& operator=(const MessageHolder&) = delete;
  TIMMessageHandle get() const { return handle_; }
  TIMMessageHandle* address() { return &handle_; }

 private:
  TIMMessageHandle handle_;
};

// The SDK counts unread messages in 64 bits; the host reads 32 signed bits. Saturate rather
// than let a large count turn negative.
int32_t UnreadCount(TIMConversationHandle conversation) {
  const uint64_t unread = GetUnreadMessageNum(conversation);
  const auto most = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(unread > most ? most : unread);
}

// The conversation of (kind, id) into `holder`, when the kind is known and the SDK has it.
bool OpenConversation(uint32_t peer_kind, uint64_t peer_id, ConversationHolder* holder,
                      SdkPeer* peer) {
  *peer = MakePeer(peer_kind, peer_id);
  if (peer->peer.empty() || !holder->Create()) return false;
  return TIMGetConversation(holder->get(), static_cast<TIMConversationType>(peer->conv_type),
                            peer->peer.c_str()) == 0;
}

// The list entry of `conversation`, when it is one the host may see.
bool ReadTalk(TIMConversationHandle conversation, tagTimTalkInfo* talk) {
  const int type = GetConversationType(conversation);
  if (type == kConvTypeSystem || type == kConvTypeNone) return false;
  MessageHolder last;
  if (!last.get()) return false;
  int count = 1;
  if (GetMsgsFromCache(conversation, &count, nullptr, last.address()) != 0) return false;
  tagTimMsgInfo record;
  if (!ConvertMessage(last.get(), &record, true)) return false;
  uint32_t kind = 0;
  uint64_t id = 0;
  if (!ParsePeer(record.locator.peer, &kind, &id)) return false;
  if (!ReadCustomElement(last.get(), &record)) return false;
  talk->peerKind = record.peerKind;
  talk->peerId = record.peerId;
  talk->time = record.locator.time;
  talk->msgId = record.msgId;
  talk->unreadCount = UnreadCount(conversation);
  // strtoll rather than atoll: the same value for every sender text that fits, and no undefined
  // behaviour for one that does not.
  talk->senderId = std::strtoll(record.locator.sender.c_str(), nullptr, 10);
  talk->lastDesc = record.desc;
  return true;
}

}  // namespace

void CImMgr::GetRecentList() {
  TimTalkList talks;
  const uint64_t total = std::min(TIMGetConversationCount(), kMaxConversationIndexes);
  for (uint64_t index = 0; index < total && talks.size() < kMaxRecentTalks; ++index) {
    ConversationHolder conversation;
    if (!conversation.Create()) continue;
    // Its answer is not read: a handle the SDK could not fill has type 0 and is skipped below.
    TIMGetConversationByIndex(conversation.get(), index);
    tagTimTalkInfo talk;
    if (ReadTalk(conversation.get(), &talk)) talks.push_back(std::move(talk));
  }
  if (talks.empty()) return;
  session_callbacks_.ForEach([&](ISessionCallBack* callback) { callback->OnRecentList(&talks); });
}

int32_t CImMgr::GetTalkUnReadCnt(uint32_t peer_kind, uint64_t peer_id) {
  ConversationHolder conversation;
  SdkPeer peer;
  if (!OpenConversation(peer_kind, peer_id, &conversation, &peer)) return 0;
  return UnreadCount(conversation.get());
}

void CImMgr::SetReadMsg(uint32_t peer_kind, uint64_t peer_id) {
  ConversationHolder conversation;
  SdkPeer peer;
  if (!OpenConversation(peer_kind, peer_id, &conversation, &peer)) return;
  ::SetReadMsg(conversation.get(), nullptr);
}

uint8_t CImMgr::RemoveTalk(uint32_t peer_kind, uint64_t peer_id, bool with_messages) {
  ConversationHolder conversation;
  SdkPeer peer;
  if (!OpenConversation(peer_kind, peer_id, &conversation, &peer)) return 0;
  // Marked read first, so that no unread count outlives the conversation.
  ::SetReadMsg(conversation.get(), nullptr);
  const auto type = static_cast<TIMConversationType>(peer.conv_type);
  const bool removed = with_messages ? TIMDeleteConversationAndMsgs(type, peer.peer.c_str())
                                     : TIMDeleteConversation(type, peer.peer.c_str());
  return static_cast<uint8_t>(removed);
}

}  // namespace kuvochat
