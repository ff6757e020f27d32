// CImMsgListRequest: one history request, from Im_GetMsgList until its page has been reported
// (or a failed retry has dropped it).
//
// History modes: 1 SyncC2CRambleMsgs with no anchor; 2 GetMsgsForward from the anchor; any other
// non-zero value GetMsgs backward from the anchor (3 is the retry of a short mode-1 page);
// 0 cannot be issued.
//
// Threads: created and first issued on the caller's thread, re-issued and finished on the task
// runner's thread. The SDK's routines run on an SDK thread (or inside the SDK call): they convert
// the page there and forward it with the request's in-flight reference.
//
// Lifetime: shared, as CImSendRequest: the pending-history table holds one reference and
// RequestsInFlight another while the SDK holds the completion record.
#pragma once

#include <cstdint>
#include <memory>

#include "KuvoChat.h"
#include "handle_here_or_post.h"
#include "tim/tim_c.h"

namespace kuvochat {

class CImMsgListRequest {
 public:
  // Null when it cannot be allocated. `anchor` is copied when given. The page goes to `owner`
  // only.
  static std::shared_ptr<CImMsgListRequest> Create(ManagerRef owner, uint64_t seq,
                                                   uint32_t peer_kind, uint64_t peer_id,
                                                   uint32_t count, const tagTimMsgLocator* anchor);
  ~CImMsgListRequest();
  CImMsgListRequest(const CImMsgListRequest&) = delete;
  CImMsgListRequest& operator=(const CImMsgListRequest&) = delete;

  uint64_t seq() const { return seq_; }
  uint32_t count() const { return count_; }
  int32_t mode() const { return mode_; }

  // Gets everything ready for issuing in `mode`: drops the handles of an earlier issue, maps the
  // conversation, and rebuilds the anchor message when the anchor names one. False when the
  // request cannot be issued (mode 0, unknown kind, no conversation).
  bool Prepare(int32_t mode);

  // Makes the SDK call chosen by Prepare. The page may arrive before this returns.
  void Issue();

 private:
  CImMsgListRequest(uint64_t seq, uint32_t peer_kind, uint64_t peer_id, uint32_t count)
      : seq_(seq), peer_kind_(peer_kind), peer_id_(peer_id), count_(count) {}
  void DestroyHandles();
  static void OnPage(TIMMessageHandle* handles, int size, void* data);
  static void OnPageError(int code, const char* desc, void* data);

  const uint64_t seq_;
  const uint32_t peer_kind_;
  const uint64_t peer_id_;
  const uint32_t count_;
  int32_t mode_ = 0;
  tagTimMsgLocator anchor_;
  TIMConversationHandle conversation_ = nullptr;
  TIMMessageHandle anchor_message_ = nullptr;
  TIMGetMsgCB completion_ = {nullptr, nullptr, nullptr};
  std::weak_ptr<CImMsgListRequest> self_;
  ManagerRef owner_;
};

}  // namespace kuvochat
