#include "request_forwarders.h"

#include <memory>
#include <utility>

#include "base/runnable_function.h"
#include "im_mgr.h"
#include "send_request.h"

namespace kuvochat {

namespace {

// The posted history outcome; moves its page into the forwarder when run.
class MsgListTask : public Base::CSmartRefImpl<Base::CRunnableTask> {
 public:
  MsgListTask(ManagerRef owner, bool ok, uint64_t seq, TimMsgList msgs, uint32_t sdk_count)
      : owner_(std::move(owner)),
        ok_(ok),
        seq_(seq),
        msgs_(std::move(msgs)),
        sdk_count_(sdk_count) {}
  void Run() override { ForwardMsgList(owner_, ok_, seq_, std::move(msgs_), sdk_count_); }

 private:
  ManagerRef owner_;
  bool ok_;
  uint64_t seq_;
  TimMsgList msgs_;
  uint32_t sdk_count_;
};

}  // namespace

void ForwardSendResult(uint32_t code, uint64_t seq, std::shared_ptr<CImSendRequest> request) {
  if (!request) return;
  RunHandler(HandleHereOrPost(
                 request->owner(),
                 [&] { return Base::NewRunnableFunction(&ForwardSendResult, code, seq, request); }),
             [&](CImMgr& m) { m.OnSendResult(code, seq, request.get()); });
}

void ForwardMsgList(ManagerRef owner, bool ok, uint64_t seq, TimMsgList msgs, uint32_t sdk_count) {
  RunHandler(HandleHereOrPost(owner,
                              [&] {
                                return Base::CSmartPtr<Base::CRunnableTask>(
                                    new MsgListTask(owner, ok, seq, std::move(msgs), sdk_count));
                              }),
             [&](CImMgr& m) { m.OnMsgListResult(ok, seq, std::move(msgs), sdk_count); });
}

}  // namespace kuvochat
