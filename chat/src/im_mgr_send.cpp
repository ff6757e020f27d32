// CImMgr: outgoing messages and their outcomes.
#include <string>
#include <utility>

#include "im_mgr.h"
#include "message_convert.h"
#include "msg_header.h"
#include "peer_id.h"
#include "send_request.h"

namespace kuvochat {

bool CImMgr::SendMsg(const tagTimSendMsgInfo* info, bool online_only, bool wrap) {
  if (info == nullptr) return false;
  const SdkPeer peer = MakePeer(info->peerKind, info->peerId);
  if (peer.peer.empty()) return false;

  std::string payload;
  if (wrap) {
    if (!BuildMsgHeader(info->cmd, info->msgId, info->payload, &payload)) return false;
  } else {
    payload = info->payload;
  }

  std::shared_ptr<CImSendRequest> request = CImSendRequest::Create(weak_from_this(), info->msgId);
  if (!request) return false;
  if (!request->Prepare(peer, info->pushText, payload)) return false;

  // Stored before the SDK call: its outcome may be handled before SendMsg returns. An earlier
  // request under the same number leaves the table; it lives on until the SDK answers it.
  {
    std::lock_guard<std::mutex> lock(requests_mutex_);
    pending_sends_[info->msgId] = request;
  }
  request->Issue(online_only);
  return true;
}

void CImMgr::OnSendResult(uint32_t code, uint64_t seq, const CImSendRequest* completed) {
  std::shared_ptr<CImSendRequest> request;
  {
    std::lock_guard<std::mutex> lock(requests_mutex_);
    auto it = pending_sends_.find(seq);
    if (it == pending_sends_.end() || it->second.get() != completed) return;
    request = std::move(it->second);
    pending_sends_.erase(it);
  }
  tagTimMsgInfo record;
  const bool reportable = ConvertMessage(request->message(), &record, false) &&
                          ReadCustomElement(request->message(), &record);
  request.reset();
  if (!reportable) return;
  msg_callbacks_.ForEach(
      [&](IMsgCallBack* callback) { callback->OnSendResult(code == 0, seq, &record); });
}

}  // namespace kuvochat
