#include "send_request.h"

#include <limits>
#include <new>
#include <utility>

#include "base64_encode.h"
#include "request_forwarders.h"
#include "requests_in_flight.h"

namespace kuvochat {

namespace {

constexpr uint32_t kTextLimit = std::numeric_limits<uint32_t>::max();

}  // namespace

std::shared_ptr<CImSendRequest> CImSendRequest::Create(ManagerRef owner, uint64_t seq) {
  std::shared_ptr<CImSendRequest> request(new (std::nothrow) CImSendRequest(seq));
  if (!request) return nullptr;
  request->self_ = request;
  request->owner_ = std::move(owner);
  return request;
}

CImSendRequest::~CImSendRequest() {
  if (conversation_) DestroyConversation(conversation_);
  if (message_) DestroyTIMMessage(message_);
  if (offline_) DestroyTIMTIMOfflineInfo(offline_);
  if (element_) DestroyElem(element_);
}

bool CImSendRequest::Prepare(const SdkPeer& peer, const std::string& desc,
                             const std::string& payload) {
  if (peer.peer.empty() || payload.empty()) return false;
  // Lengths cross the SDK as 32 bits; a text that does not fit cannot be sent whole.
  if (desc.size() > kTextLimit || payload.size() > (kTextLimit / 4) * 3) return false;

  if (!conversation_) {
    conversation_ = CreateConversation();
    if (!conversation_) return false;
    if (TIMGetConversation(conversation_, static_cast<TIMConversationType>(peer.conv_type),
                           peer.peer.c_str()) != 0) {
      return false;
    }
  }
  if (!message_ && !(message_ = CreateTIMMessage())) return false;
  if (!element_ && !(element_ = CreateCustomElemHandle())) return false;
  if (!offline_ && !(offline_ = CreateTIMTIMOfflineInfo())) return false;

  completion_ = {&CImSendRequest::OnSendSuccess, &CImSendRequest::OnSendError, this};

  const std::string text = Base64Encode(payload);
  const auto desc_length = static_cast<uint32_t>(desc.size());
  if (!desc.empty()) {
    SetFlag4TIMTIMOfflineInfo(offline_, kOfflinePushDefault);
    SetDesc4TIMTIMOfflineInfo(offline_, desc.c_str(), desc_length);
    SetExt4TIMTIMOfflineInfo(offline_, "", 0);
    SetNotifyMode4AndroidTIMTIMOfflineInfo(offline_, 0);
    SetMsgOfflinePushInfo(message_, offline_);
  }
  if (!text.empty()) {
    SetCustomElemData(element_, text.c_str(), static_cast<uint32_t>(text.size()));
    SetCustomElemDesc(element_, desc.c_str(), desc_length);
    SetCustomElemExt(element_, "", 0);
    AddElem(message_, element_);
  }
  return true;
}

void CImSendRequest::Issue(bool online_only) {
  RequestsInFlight<CImSendRequest>::Get().Hold(self_.lock());
  if (online_only) {
    SendOnlineMsg(conversation_, message_, &completion_);
  } else {
    SendMsg(conversation_, message_, &completion_);
  }
}

void CImSendRequest::OnSendSuccess(void* data) {
  Complete(data, 0);
}

void CImSendRequest::OnSendError(int code, const char*, void* data) {
  // A failure is never reported as 0.
  Complete(data, code == 0 ? 1u : static_cast<uint32_t>(code));
}

void CImSendRequest::Complete(void* data, uint32_t code) {
  // On the SDK's thread: nothing may be thrown back into it.
  try {
    // Found by address only: the request behind an unknown address may be gone.
    std::shared_ptr<CImSendRequest> self = RequestsInFlight<CImSendRequest>::Get().Take(data);
    if (!self) return;
    const uint64_t seq = self->seq_;
    ForwardSendResult(code, seq, std::move(self));
  } catch (...) {
  }
}

}  // namespace kuvochat
