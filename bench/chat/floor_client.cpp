#include "floor_client.h"

#include <cstring>
#include <sstream>
#include <utility>

#include "base/runnable_function.h"
#include "base64_decode.h"
#include "base64_encode.h"
#include "floor_timmsgtype.pb.h"
#include "peer_id.h"
#include "platform/debug_output.h"

namespace kuvo_bench {

namespace {

constexpr uint32_t kPeerBufferSize = 256;

int64_t Key(const void* pointer) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(pointer));
}

// The SDK's length protocol: ask with no buffer (the answer must be -2), then fetch into a zeroed
// buffer one byte longer, here the string itself. Text stops at the first zero byte; bytes keep
// the reported length.
using Getter = int (*)(void*, char*, uint32_t*);
bool ReadText(Getter getter, void* handle, bool bytes, std::string* out, uint32_t* length) {
  uint32_t needed = 0;
  if (getter(handle, nullptr, &needed) != -2) return false;
  *length = needed;
  out->assign(static_cast<size_t>(needed) + 1, '\0');
  uint32_t in_out = needed + 1;
  getter(handle, &(*out)[0], &in_out);
  out->resize(bytes ? needed : std::strlen(out->c_str()));
  return true;
}

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

bool FillFromConversation(TIMConversationHandle conversation, TIMMessageHandle msg,
                          tagTimMsgInfo* record, bool is_received) {
  if (GetConversationFromMsg(conversation, msg) != 0) return false;
  const int conv_type = GetConversationType(conversation);
  if (conv_type == kuvochat::kConvTypeSystem || conv_type == kuvochat::kConvTypeNone) return false;
  const int status = GetMsgStatus(msg);
  if (status != kMsgStatusSuccess && (is_received || status != kMsgStatusFail)) return false;
  char peer_buffer[kPeerBufferSize] = {};
  uint32_t peer_length = kPeerBufferSize;
  GetConversationPeer(conversation, peer_buffer, &peer_length);
  std::string peer(peer_buffer, strnlen(peer_buffer, kPeerBufferSize));
  if (kuvochat::IsIgnoredPeer(peer)) return false;
  kuvochat::ParsePeer(peer, &record->peerKind, &record->peerId);
  record->msgId = GetMsgUniqueID(msg);
  record->locator.isRead = IsMsgRead(msg);
  record->locator.isSelf = IsMsgFromSelf(msg);
  record->locator.time = GetMsgTime(msg);
  record->locator.rand = GetMsgRand(msg);
  record->locator.seq = GetMsgSeq(msg);
  record->locator.status = status;
  record->locator.convType = conv_type;
  record->locator.peer = std::move(peer);
  uint32_t length = 0;
  return ReadText(&SenderGetter, msg, false, &record->locator.sender, &length);
}

bool ConvertMessage(TIMMessageHandle msg, tagTimMsgInfo* record, bool is_received) {
  TIMConversationHandle conversation = CreateConversation();
  const bool ok = FillFromConversation(conversation, msg, record, is_received);
  DestroyConversation(conversation);
  return ok;
}

bool ReadCustomElement(TIMMessageHandle msg, tagTimMsgInfo* record) {
  if (GetElemCount(msg) != 1) return false;
  TIMMsgElemHandle elem = GetElem(msg, 0);
  if (elem == nullptr || GetElemType(elem) != kElemCustom) return false;
  uint32_t length = 0;
  if (!ReadText(&DataGetter, elem, false, &record->content, &length)) return false;
  kuvochat::Base64DecodeInPlace(&record->content);
  // A blank record: desc and ext are still empty, so each is kept when its length is not 0.
  if (!ReadText(&DescGetter, elem, false, &record->desc, &length)) return false;
  return ReadText(&ExtGetter, elem, true, &record->ext, &length);
}

bool BuildMsgHeader(int32_t cmd, uint64_t seq, const std::string& payload, std::string* out) {
  if (!kuvo_floor::cmdType_IsValid(cmd)) return false;
  kuvo_floor::msgHeader header;
  header.set_cmd(static_cast<kuvo_floor::cmdType>(cmd));
  header.set_seq(seq);
  header.set_clientversion(11151);
  header.set_platform(kuvo_floor::em_PT_PC);
  header.set_lcid(0);
  header.set_buf(payload);
  return header.SerializeToString(out);
}

}  // namespace

// The posted new-messages report: moves its list into the forwarder when run (a runner runs a
// task once), as KuvoChat's does.
class FloorClient::NewMessagesTask : public Base::CSmartRefImpl<Base::CRunnableTask> {
 public:
  NewMessagesTask(FloorClient* client, TimMsgList msgs) : client_(client), msgs_(std::move(msgs)) {}
  void Run() override { client_->ForwardNewMessages(std::move(msgs_)); }

 private:
  FloorClient* client_;
  TimMsgList msgs_;
};

struct FloorClient::Send {
  FloorClient* owner;
  uint64_t seq;
  TIMCommCB completion;
  TIMConversationHandle conversation;
  TIMMessageHandle message;
  TIMMsgCustomElemHandle element;
  TIMOfflineInfoHandle offline;
};

FloorClient::FloorClient(Base::ITaskRunner* runner)
    : runner_(runner),
      message_routine_{&FloorClient::OnNewMessage, this},
      conn_routine_{&FloorClient::OnConnected, &FloorClient::OnDisconnected, this} {}

void FloorClient::RegMsgCallBack(IMsgCallBack* callback) {
  msg_callbacks_[Key(callback)] = callback;
}
void FloorClient::RegConnCallBack(IConnCallBack* callback) {
  conn_callbacks_[Key(callback)] = callback;
}

void FloorClient::SetLoggedIn() {
  receive_connect_ = true;
  connect_state_ = true;
}

void FloorClient::NotifyReleaseData() {
  release_data_ = true;
  if (pending_msgs_.empty()) return;
  const auto callbacks = msg_callbacks_;
  for (const auto& entry : callbacks) {
    if (entry.second) entry.second->OnNewMsgs(&pending_msgs_);
  }
  pending_msgs_.clear();
}

// ---- inbound -----------------------------------------------------------------------------

void FloorClient::OnNewMessage(TIMMessageHandle* handles, uint32_t count, void* data) {
  TimMsgList list;
  for (uint32_t i = 0; i < count; ++i) {
    if (handles[i] == nullptr) continue;
    tagTimMsgInfo record;
    if (ConvertMessage(handles[i], &record, true) && ReadCustomElement(handles[i], &record)) {
      list.push_back(std::move(record));
    }
  }
  if (!list.empty()) static_cast<FloorClient*>(data)->ForwardNewMessages(std::move(list));
}

void FloorClient::ForwardNewMessages(TimMsgList msgs) {
  if (runner_->IsCurrentThread()) {
    OnImNewMessage(std::move(msgs));
  } else {
    runner_->PostTask(
        Base::CSmartPtr<Base::CRunnableTask>(new NewMessagesTask(this, std::move(msgs))));
  }
}

void FloorClient::OnImNewMessage(TimMsgList msgs) {
  if (release_data_) {
    platform::OutputDebugText(
        ("[IM][CImMgr::OnImNewMessage] count=" + std::to_string(msgs.size())).c_str());
    const auto callbacks = msg_callbacks_;
    for (const auto& entry : callbacks) {
      if (entry.second) entry.second->OnNewMsgs(&msgs);
    }
    return;
  }
  pending_msgs_.splice(pending_msgs_.end(), msgs);
  std::ostringstream line;
  line << "[IM][CImMgr::OnImNewMessage] count=" << pending_msgs_.size() << ",ReleaseData=0";
  platform::OutputDebugText(line.str().c_str());
}

// ---- connection ---------------------------------------------------------------------------

void FloorClient::OnConnected(void* data) {
  ConnectTo(static_cast<FloorClient*>(data), 0);
}

void FloorClient::OnDisconnected(int code, const char*, void* data) {
  ConnectTo(static_cast<FloorClient*>(data), code == 0 ? 1u : static_cast<uint32_t>(code));
}

void FloorClient::ConnectTo(FloorClient* self, uint32_t code) {
  if (self->runner_->IsCurrentThread()) {
    self->OnImConnect(code);
  } else {
    self->runner_->PostTask(Base::NewRunnableFunction(&FloorClient::ConnectTo, self, code));
  }
}

// Only what a connection report does while logged in: the benchmark raises no disconnection, so
// no timer is ever running.
void FloorClient::OnImConnect(uint32_t code) {
  std::ostringstream line;
  line << "[IM][CImMgr::OnImConnect] errorcode:" << code
       << ",receiveconnect:" << (receive_connect_ ? "1" : "0")
       << ",tag:" << (connect_state_ ? "1" : "0");
  platform::OutputDebugText(line.str().c_str());
  if (code != 0 || !receive_connect_ || !connect_state_) return;
  const std::string text = "tim connect success";
  const auto callbacks = conn_callbacks_;
  for (const auto& entry : callbacks) {
    if (entry.second) entry.second->OnConnEvent(0, text);
  }
}

// ---- send ---------------------------------------------------------------------------------

bool FloorClient::SendMsg(const tagTimSendMsgInfo& info, bool online_only, bool wrap) {
  const kuvochat::SdkPeer peer = kuvochat::MakePeer(info.peerKind, info.peerId);
  if (peer.peer.empty()) return false;
  std::string payload;
  if (wrap) {
    if (!BuildMsgHeader(info.cmd, info.msgId, info.payload, &payload)) return false;
  } else {
    payload = info.payload;
  }
  if (payload.empty()) return false;

  Send* send = new Send{this, info.msgId, {}, nullptr, nullptr, nullptr, nullptr};
  send->conversation = CreateConversation();
  TIMGetConversation(send->conversation, static_cast<TIMConversationType>(peer.conv_type),
                     peer.peer.c_str());
  send->message = CreateTIMMessage();
  send->element = CreateCustomElemHandle();
  send->offline = CreateTIMTIMOfflineInfo();
  send->completion = {&FloorClient::OnSendSuccess, &FloorClient::OnSendError, send};

  const std::string text = kuvochat::Base64Encode(payload);
  const auto desc_length = static_cast<uint32_t>(info.pushText.size());
  if (!info.pushText.empty()) {
    SetFlag4TIMTIMOfflineInfo(send->offline, kOfflinePushDefault);
    SetDesc4TIMTIMOfflineInfo(send->offline, info.pushText.c_str(), desc_length);
    SetExt4TIMTIMOfflineInfo(send->offline, "", 0);
    SetNotifyMode4AndroidTIMTIMOfflineInfo(send->offline, 0);
    SetMsgOfflinePushInfo(send->message, send->offline);
  }
  if (!text.empty()) {
    SetCustomElemData(send->element, text.c_str(), static_cast<uint32_t>(text.size()));
    SetCustomElemDesc(send->element, info.pushText.c_str(), desc_length);
    SetCustomElemExt(send->element, "", 0);
    AddElem(send->message, send->element);
  }
  // Stored before the call: the outcome may be handled before the SDK returns.
  pending_sends_[send->seq] = send;
  if (online_only) {
    SendOnlineMsg(send->conversation, send->message, &send->completion);
  } else {
    ::SendMsg(send->conversation, send->message, &send->completion);
  }
  return true;
}

void FloorClient::OnSendSuccess(void* data) {
  auto* send = static_cast<Send*>(data);
  SendResultTo(send->owner, 0, send->seq);
}

void FloorClient::OnSendError(int code, const char*, void* data) {
  auto* send = static_cast<Send*>(data);
  SendResultTo(send->owner, code == 0 ? 1u : static_cast<uint32_t>(code), send->seq);
}

void FloorClient::SendResultTo(FloorClient* self, uint32_t code, uint64_t seq) {
  if (self->runner_->IsCurrentThread()) {
    self->OnSendResult(code, seq);
  } else {
    self->runner_->PostTask(Base::NewRunnableFunction(&FloorClient::SendResultTo, self, code, seq));
  }
}

void FloorClient::OnSendResult(uint32_t code, uint64_t seq) {
  const auto it = pending_sends_.find(seq);
  if (it == pending_sends_.end()) return;
  Send* send = it->second;
  pending_sends_.erase(it);
  tagTimMsgInfo record;
  const bool reportable =
      ConvertMessage(send->message, &record, false) && ReadCustomElement(send->message, &record);
  DestroyConversation(send->conversation);
  DestroyTIMMessage(send->message);
  DestroyTIMTIMOfflineInfo(send->offline);
  DestroyElem(send->element);
  delete send;
  if (!reportable) return;
  const auto callbacks = msg_callbacks_;
  for (const auto& entry : callbacks) {
    if (entry.second) entry.second->OnSendResult(code == 0, seq, &record);
  }
}

}  // namespace kuvo_bench
