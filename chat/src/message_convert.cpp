#include "message_convert.h"

#include <cstring>
#include <string>
#include <utility>

#include "base64_decode.h"
#include "peer_id.h"
#include "sdk_text.h"

namespace kuvochat {

namespace {

constexpr uint32_t kPeerBufferSize = 256;

// Destroys the conversation handle on every path out of ConvertMessage.
class ConversationHolder {
 public:
  ConversationHolder() : handle_(CreateConversation()) {}
  ~ConversationHolder() {
    if (handle_) DestroyConversation(handle_);
  }
  ConversationHolder(const ConversationHolder&) = delete;
  ConversationHolder& operator=(const ConversationHolder&) = delete;
  TIMConversationHandle get() const { return handle_; }

 private:
  TIMConversationHandle handle_;
};

int SenderGetter(void* msg, char* buf, uint32_t* len) {
  return GetMsgSender(msg, buf, len);
}
int DataGetter(void* elem, char* buf, uint32_t* len) {
  return GetCustomElemData(elem, buf, len);
}
int DescGetter(void* elem, char* buf, uint32_t* len) {
  return GetCustomElemDesc(elem, buf, len);
}
int ExtGetter(void* elem, char* buf, uint32_t* len) {
  return GetCustomElemExt(elem, buf, len);
}

}  // namespace

bool ConvertMessage(TIMMessageHandle msg, tagTimMsgInfo* record, bool is_received) {
  if (msg == nullptr || record == nullptr) return false;
  ConversationHolder conversation;
  if (conversation.get() == nullptr) return false;
  if (GetConversationFromMsg(conversation.get(), msg) != 0) return false;
  const int conv_type = GetConversationType(conversation.get());
  if (conv_type == kConvTypeSystem || conv_type == kConvTypeNone) return false;

  const int status = GetMsgStatus(msg);
  if (status != kMsgStatusSuccess && (is_received || status != kMsgStatusFail)) return false;

  char peer_buffer[kPeerBufferSize] = {};
  uint32_t peer_length = kPeerBufferSize;
  GetConversationPeer(conversation.get(), peer_buffer, &peer_length);
  // The SDK may fill the whole buffer without a terminator; never read past it.
  std::string peer(peer_buffer, strnlen(peer_buffer, kPeerBufferSize));
  if (IsIgnoredPeer(peer)) return false;

  ParsePeer(peer, &record->peerKind, &record->peerId);
  record->msgId = GetMsgUniqueID(msg);
  record->locator.isRead = IsMsgRead(msg);
  record->locator.isSelf = IsMsgFromSelf(msg);
  record->locator.time = GetMsgTime(msg);
  record->locator.rand = GetMsgRand(msg);
  record->locator.seq = GetMsgSeq(msg);
  record->locator.status = status;
  record->locator.convType = conv_type;
  record->locator.peer = std::move(peer);

  return ReadSdkText(&SenderGetter, msg, SdkTextKind::kText, &record->locator.sender);
}

bool ReadCustomElement(TIMMessageHandle msg, tagTimMsgInfo* record) {
  if (msg == nullptr || record == nullptr) return false;
  if (GetElemCount(msg) != 1) return false;
  TIMMsgElemHandle elem = GetElem(msg, 0);
  if (elem == nullptr || GetElemType(elem) != kElemCustom) return false;

  // Read into the record and decoded where it lies: the text is not kept.
  if (!ReadSdkText(&DataGetter, elem, SdkTextKind::kText, &record->content)) return false;
  Base64DecodeInPlace(&record->content);

  std::string desc;
  uint32_t desc_length = 0;
  if (!ReadSdkText(&DescGetter, elem, SdkTextKind::kText, &desc, &desc_length)) return false;
  if (record->desc.empty() && desc_length != 0) record->desc = std::move(desc);

  std::string ext;
  uint32_t ext_length = 0;
  if (!ReadSdkText(&ExtGetter, elem, SdkTextKind::kBytes, &ext, &ext_length)) return false;
  if (record->ext.empty() && ext_length != 0) record->ext = std::move(ext);
  return true;
}

TimMsgList ConvertMessages(const TIMMessageHandle* handles, uint64_t count) {
  TimMsgList list;
  if (handles == nullptr) return list;
  for (uint64_t i = 0; i < count; ++i) {
    if (handles[i] == nullptr) continue;
    tagTimMsgInfo record;
    if (ConvertMessage(handles[i], &record, true) && ReadCustomElement(handles[i], &record)) {
      list.push_back(std::move(record));
    }
  }
  return list;
}

}  // namespace kuvochat
