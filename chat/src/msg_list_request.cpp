#include "msg_list_request.h"

#include <climits>
#include <new>
#include <utility>

#include "message_convert.h"
#include "peer_id.h"
#include "request_forwarders.h"
#include "requests_in_flight.h"

namespace kuvochat {

namespace {

// History codes that mean the user signature has expired.
constexpr int kHistorySigExpiredCodes[] = {20002, 6206};

// The SDK takes the page size as a signed int; larger requests are asked for as the most it can
// express (the reported count is still compared with what the host asked for).
int SdkCount(uint32_t count) {
  return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

}  // namespace

std::shared_ptr<CImMsgListRequest> CImMsgListRequest::Create(ManagerRef owner, uint64_t seq,
                                                             uint32_t peer_kind, uint64_t peer_id,
                                                             uint32_t count,
                                                             const tagTimMsgLocator* anchor) {
  std::shared_ptr<CImMsgListRequest> request(new (std::nothrow)
                                                 CImMsgListRequest(seq, peer_kind, peer_id, count));
  if (!request) return nullptr;
  request->owner_ = std::move(owner);
  request->self_ = request;
  if (anchor) request->anchor_ = *anchor;
  return request;
}

CImMsgListRequest::~CImMsgListRequest() {
  DestroyHandles();
}

void CImMsgListRequest::DestroyHandles() {
  if (anchor_message_) {
    DestroyTIMMessage(anchor_message_);
    anchor_message_ = nullptr;
  }
  if (conversation_) {
    DestroyConversation(conversation_);
    conversation_ = nullptr;
  }
}

bool CImMsgListRequest::Prepare(int32_t mode) {
  DestroyHandles();
  if (mode == 0) return false;
  const SdkPeer peer = MakePeer(peer_kind_, peer_id_);
  if (peer.peer.empty()) return false;
  conversation_ = CreateConversation();
  if (!conversation_) return false;
  if (TIMGetConversation(conversation_, static_cast<TIMConversationType>(peer.conv_type),
                         peer.peer.c_str()) != 0) {
    DestroyHandles();
    return false;
  }
  if (mode == 1) {
    anchor_ = tagTimMsgLocator();
  } else if (anchor_.convType != kConvTypeNone && anchor_.convType != kConvTypeSystem &&
             anchor_.seq != 0 && !anchor_.sender.empty()) {
    anchor_message_ = CreateTIMMessageHandleFromData(
        anchor_.peer.c_str(), anchor_.convType, static_cast<uint32_t>(anchor_.time), 0, 0,
        anchor_.rand, anchor_.seq, anchor_.status, anchor_.isRead, anchor_.isSelf,
        anchor_.sender.c_str(), "");
  }
  completion_ = {&CImMsgListRequest::OnPage, &CImMsgListRequest::OnPageError, this};
  mode_ = mode;
  return true;
}

void CImMsgListRequest::Issue() {
  RequestsInFlight<CImMsgListRequest>::Get().Hold(self_.lock());
  const int count = SdkCount(count_);
  if (mode_ == 1) {
    SyncC2CRambleMsgs(conversation_, count, nullptr, &completion_);
  } else if (!anchor_message_) {
    GetMsgs(conversation_, count, nullptr, &completion_);
  } else if (mode_ == 2) {
    GetMsgsForward(conversation_, count, anchor_message_, &completion_);
  } else {
    GetMsgs(conversation_, count, anchor_message_, &completion_);
  }
}

void CImMsgListRequest::OnPage(TIMMessageHandle* handles, int size, void* data) {
  // On the SDK's thread: nothing may be thrown back into it.
  try {
    std::shared_ptr<CImMsgListRequest> self = RequestsInFlight<CImMsgListRequest>::Get().Take(data);
    if (!self) return;
    // A negative size names no handles; it is still passed on as the SDK's count.
    TimMsgList page = ConvertMessages(handles, size > 0 ? static_cast<uint64_t>(size) : 0);
    ForwardMsgList(self->owner_, true, self->seq_, std::move(page), static_cast<uint32_t>(size));
  } catch (...) {
  }
}

void CImMsgListRequest::OnPageError(int code, const char*, void* data) {
  try {
    std::shared_ptr<CImMsgListRequest> self = RequestsInFlight<CImMsgListRequest>::Get().Take(data);
    if (!self) return;
    ForwardMsgList(self->owner_, false, self->seq_, TimMsgList(), 0);
    for (int expired : kHistorySigExpiredCodes) {
      if (code == expired) ForwardSigExpiredTo(self->owner_);
    }
  } catch (...) {
  }
}

}  // namespace kuvochat
