#include "event_forwarders.h"

#include <memory>
#include <utility>

#include "base/runnable_function.h"
#include "im_mgr.h"

namespace kuvochat {

namespace {

// The manager when the report is to be handled here and now; otherwise posts the task built by
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

// The posted new-messages report. Unlike a CRunnableFunction, which hands its stored arguments
// on as copies, it moves its list into the forwarder when run (a runner runs a task once), so
// the records are not copied again on the runner's thread.
class NewMessagesTask : public Base::CSmartRefImpl<Base::CRunnableTask> {
 public:
  explicit NewMessagesTask(TimMsgList msgs) : msgs_(std::move(msgs)) {}
  void Run() override { ForwardNewMessages(std::move(msgs_)); }

 private:
  TimMsgList msgs_;
};

}  // namespace

void ForwardLogin(uint32_t code) {
  if (auto m = HandleHereOrPost([&] { return Base::NewRunnableFunction(&ForwardLogin, code); })) {
    m->OnImLogin(code);
  }
}

void ForwardLoginout(uint32_t code) {
  if (auto m =
          HandleHereOrPost([&] { return Base::NewRunnableFunction(&ForwardLoginout, code); })) {
    m->OnImLoginout(code);
  }
}

void ForwardRefresh() {
  if (auto m = HandleHereOrPost([&] { return Base::NewRunnableFunction(&ForwardRefresh); })) {
    m->OnImLoginRefresh();
  }
}

void ForwardSessionChanged(TimChangedPeers changed) {
  if (auto m = HandleHereOrPost(
          [&] { return Base::NewRunnableFunction(&ForwardSessionChanged, changed); })) {
    m->OnImSessionChanged(changed);
  }
}

void ForwardConnect(uint32_t code) {
  if (auto m = HandleHereOrPost([&] { return Base::NewRunnableFunction(&ForwardConnect, code); })) {
    m->OnImConnect(code);
  }
}

void ForwardForceOffline() {
  if (auto m = HandleHereOrPost([&] { return Base::NewRunnableFunction(&ForwardForceOffline); })) {
    m->OnImForceOffline();
  }
}

void ForwardSigExpired() {
  if (auto m = HandleHereOrPost([&] { return Base::NewRunnableFunction(&ForwardSigExpired); })) {
    m->OnImUserSigExpired();
  }
}

void ForwardNewMessages(TimMsgList msgs) {
  if (auto m = HandleHereOrPost([&] {
        // Only the posting path builds the task, and it uses the list no further.
        return Base::CSmartPtr<Base::CRunnableTask>(new NewMessagesTask(std::move(msgs)));
      })) {
    m->OnImNewMessage(std::move(msgs));
  }
}

void ForwardTimerEvent(uint32_t timer_id) {
  if (auto m = HandleHereOrPost(
          [&] { return Base::NewRunnableFunction(&ForwardTimerEvent, timer_id); })) {
    m->OnTimerEvent(timer_id);
  }
}

}  // namespace kuvochat
