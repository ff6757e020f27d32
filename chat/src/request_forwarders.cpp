#include "request_forwarders.h"

#include <memory>
#include <utility>

#include "base/runnable_function.h"
#include "im_mgr.h"
#include "send_request.h"

namespace kuvochat {

namespace {

// The manager when the outcome is to be handled here and now; otherwise posts the task built by
// `make_task` (when there is a runner) and gives null.
template <typename MakeTask>
std::shared_ptr<CImMgr> HandleHereOrPost(MakeTask&& make_task) {
  std::shared_ptr<CImMgr> manager = CImMgr::GetExisting();
  if (!manager) return nullptr;
  Base::ITaskRunner* runner = manager->task_runner();
  if (runner == nullptr) return nullptr;
  if (runner->IsCurrentThread()) return manager;
  runner->PostTask(make_task());
  return nullptr;
}

}  // namespace

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
