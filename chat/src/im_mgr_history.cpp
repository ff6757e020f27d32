// CImMgr: history pages.
#include <utility>

#include "im_mgr.h"
#include "msg_list_request.h"

namespace kuvochat {

namespace {

constexpr int32_t kModeRamble = 1;
constexpr int32_t kModeRetry = 3;

}  // namespace

uint64_t CImMgr::GetMsgList(uint32_t peer_kind, uint64_t peer_id, uint32_t count, int32_t mode,
                            const tagTimMsgLocator* anchor) {
  // The number is drawn first, so a request that cannot be issued still uses one up.
  const uint64_t seq = CreateNewSeq();
  std::shared_ptr<CImMsgListRequest> request =
      CImMsgListRequest::Create(weak_from_this(), seq, peer_kind, peer_id, count, anchor);
  if (!request) return 0;
  if (!request->Prepare(anchor == nullptr ? kModeRamble : mode)) return 0;
  IssueMsgList(request);
  return seq;
}

void CImMgr::IssueMsgList(const std::shared_ptr<CImMsgListRequest>& request) {
  // Stored before the SDK call: the page may be handled before the call returns.
  {
    std::lock_guard<std::mutex> lock(requests_mutex_);
    pending_msg_lists_[request->seq()] = request;
  }
  request->Issue();
}

void CImMgr::OnMsgListResult(bool ok, uint64_t seq, TimMsgList msgs, uint32_t sdk_count) {
  std::shared_ptr<CImMsgListRequest> request;
  {
    std::lock_guard<std::mutex> lock(requests_mutex_);
    auto it = pending_msg_lists_.find(seq);
    if (it == pending_msg_lists_.end()) return;
    request = std::move(it->second);
    pending_msg_lists_.erase(it);
  }
  if (!ok) {
    request.reset();
    msg_callbacks_.ForEach(
        [&](IMsgCallBack* callback) { callback->OnMsgListResult(seq, nullptr, false); });
    return;
  }
  if (request->mode() == kModeRamble && sdk_count != request->count()) {
    // A short first page: fetch again backward from the newest message, in the SDK's order. A
    // retry that cannot be issued is dropped without a report, and none is issued once UnInit
    // has begun (it waits for one under way, so none follows TIMUninit).
    OwnSdkCall call(*this);
    if (!call.entered()) return;
    if (request->Prepare(kModeRetry) && !closed()) IssueMsgList(request);
    request.reset();  // a request not issued frees its SDK handles inside the call
    return;
  }
  if (request->mode() == kModeRamble) msgs.reverse();
  const bool reached_end = request->count() > sdk_count;
  request.reset();
  msg_callbacks_.ForEach(
      [&](IMsgCallBack* callback) { callback->OnMsgListResult(seq, &msgs, reached_end); });
}

}  // namespace kuvochat
