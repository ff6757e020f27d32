#include "event_forwarders.h"

#include <memory>
#include <utility>

#include "base/runnable_function.h"
#include "handle_here_or_post.h"
#include "im_mgr.h"

namespace kuvochat {

namespace {

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
