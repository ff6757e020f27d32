#include "request_forwarders.h"

#include <memory>
#include <utility>

#include "base/runnable_function.h"
#include "handle_here_or_post.h"
#include "im_mgr.h"
#include "send_request.h"

namespace kuvochat {

void ForwardSendResult(uint32_t code, uint64_t seq, std::shared_ptr<CImSendRequest> request) {
  if (auto m = HandleHereOrPost(
          [&] { return Base::NewRunnableFunction(&ForwardSendResult, code, seq, request); })) {
    m->OnSendResult(code, seq, request.get());
  }
}

void ForwardMsgList(bool ok, uint64_t seq, TimMsgList msgs, uint32_t sdk_count) {
  if (auto m = HandleHereOrPost(
          [&] { return Base::NewRunnableFunction(&ForwardMsgList, ok, seq, msgs, sdk_count); })) {
    m->OnMsgListResult(ok, seq, std::move(msgs), sdk_count);
  }
}

}  // namespace kuvochat
