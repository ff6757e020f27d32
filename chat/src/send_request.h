// CImSendRequest: one outgoing message, from Im_SendMsg until its outcome has been handled.
//
// Threads: prepared and issued on the caller's thread. The SDK's completion routine runs on an
// SDK thread (or inside the send call) and only takes the request's in-flight reference and
// forwards the outcome; everything else happens on the task runner's thread.
//
// Lifetime: shared. The manager's pending-send table holds one reference; while the SDK holds
// the completion record, RequestsInFlight holds another, which the completion routine hands on
// with the outcome to the manager's thread. A request pushed out of the table by a later send
// with the same number, or dropped with the manager, therefore stays valid until the SDK has
// answered (or TIMUninit has returned), and its SDK handles go with the last reference.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "handle_here_or_post.h"
#include "peer_id.h"
#include "tim/tim_c.h"

namespace kuvochat {

class CImSendRequest {
 public:
  // Null when it cannot be allocated. The outcome goes to `owner` only.
  static std::shared_ptr<CImSendRequest> Create(ManagerRef owner, uint64_t seq);
  ~CImSendRequest();
  CImSendRequest(const CImSendRequest&) = delete;
  CImSendRequest& operator=(const CImSendRequest&) = delete;

  uint64_t seq() const { return seq_; }
  const ManagerRef& owner() const { return owner_; }
  // The message as the SDK holds it; read for the outcome record.
  TIMMessageHandle message() const { return message_; }

  // Creates the SDK handles and fills the message: one custom element carrying `payload` in
  // base64 with `desc`, and offline-push information when `desc` is not empty. False, with no
  // SDK call made, for an empty peer text or payload; false when the conversation cannot be had
  // or a handle cannot be created. Handles made so far go with the request.
  bool Prepare(const SdkPeer& peer, const std::string& desc, const std::string& payload);

  // Hands the prepared message to the SDK (SendOnlineMsg or SendMsg). The outcome may arrive
  // before this returns.
  void Issue(bool online_only);

 private:
  explicit CImSendRequest(uint64_t seq) : seq_(seq) {}
  static void OnSendSuccess(void* data);
  static void OnSendError(int code, const char* desc, void* data);
  static void Complete(void* data, uint32_t code);

  const uint64_t seq_;
  TIMCommCB completion_ = {nullptr, nullptr, nullptr};
  TIMConversationHandle conversation_ = nullptr;
  TIMMessageHandle message_ = nullptr;
  TIMMsgCustomElemHandle element_ = nullptr;
  TIMOfflineInfoHandle offline_ = nullptr;
  std::weak_ptr<CImSendRequest> self_;
  ManagerRef owner_;
};

}  // namespace kuvochat
