#include "event_forwarders.h"

#include <memory>
#include <utility>

#include "base/runnable_function.h"
#include "im_mgr.h"

namespace kuvochat {

namespace {

// The posted new-messages report. Unlike a CRunnableFunction, which hands its stored arguments
// on as copies, it moves its list into the forwarder when run (a runner runs a task once), so
// the records are not copied again on the runner's thread.
void NewMessagesTo(ManagerRef target, TimMsgList msgs);

class NewMessagesTask : public Base::CSmartRefImpl<Base::CRunnableTask> {
 public:
  NewMessagesTask(ManagerRef target, TimMsgList msgs)
      : target_(std::move(target)), msgs_(std::move(msgs)) {}
  void Run() override { NewMessagesTo(target_, std::move(msgs_)); }

 private:
  ManagerRef target_;
  TimMsgList msgs_;
};

void LoginTo(ManagerRef target, uint32_t code) {
  RunHandler(
      HandleHereOrPost(target, [&] { return Base::NewRunnableFunction(&LoginTo, target, code); }),
      [&](CImMgr& m) { m.OnImLogin(code); });
}

void LoginoutTo(ManagerRef target, uint32_t code) {
  RunHandler(HandleHereOrPost(target,
                              [&] { return Base::NewRunnableFunction(&LoginoutTo, target, code); }),
             [&](CImMgr& m) { m.OnImLoginout(code); });
}

void RefreshTo(ManagerRef target) {
  RunHandler(
      HandleHereOrPost(target, [&] { return Base::NewRunnableFunction(&RefreshTo, target); }),
      [&](CImMgr& m) { m.OnImLoginRefresh(); });
}

void SessionChangedTo(ManagerRef target, TimChangedPeers changed) {
  RunHandler(
      HandleHereOrPost(
          target, [&] { return Base::NewRunnableFunction(&SessionChangedTo, target, changed); }),
      [&](CImMgr& m) { m.OnImSessionChanged(changed); });
}

void ConnectTo(ManagerRef target, uint32_t code) {
  RunHandler(
      HandleHereOrPost(target, [&] { return Base::NewRunnableFunction(&ConnectTo, target, code); }),
      [&](CImMgr& m) { m.OnImConnect(code); });
}

void ForceOfflineTo(ManagerRef target) {
  RunHandler(
      HandleHereOrPost(target, [&] { return Base::NewRunnableFunction(&ForceOfflineTo, target); }),
      [&](CImMgr& m) { m.OnImForceOffline(); });
}

void SigExpiredTo(ManagerRef target) {
  RunHandler(
      HandleHereOrPost(target, [&] { return Base::NewRunnableFunction(&SigExpiredTo, target); }),
      [&](CImMgr& m) { m.OnImUserSigExpired(); });
}

void NewMessagesTo(ManagerRef target, TimMsgList msgs) {
  RunHandler(HandleHereOrPost(target,
                              [&] {
                                // Only the posting path builds the task, and it uses the list
                                // no further.
                                return Base::CSmartPtr<Base::CRunnableTask>(
                                    new NewMessagesTask(target, std::move(msgs)));
                              }),
             [&](CImMgr& m) { m.OnImNewMessage(std::move(msgs)); });
}

void TimerEventTo(ManagerRef target, uint32_t timer_id) {
  RunHandler(
      HandleHereOrPost(target,
                       [&] { return Base::NewRunnableFunction(&TimerEventTo, target, timer_id); }),
      [&](CImMgr& m) { m.OnTimerEvent(timer_id); });
}

void DrainReleasedTo(ManagerRef target) {
  RunHandler(
      HandleHereOrPost(target, [&] { return Base::NewRunnableFunction(&DrainReleasedTo, target); }),
      [&](CImMgr& m) { m.DrainReleased(); });
}

}  // namespace

void ForwardLogin(uint32_t code) {
  LoginTo(CImMgr::GetExisting(), code);
}
void ForwardLoginout(uint32_t code) {
  LoginoutTo(CImMgr::GetExisting(), code);
}
void ForwardRefresh() {
  RefreshTo(CImMgr::GetExisting());
}
void ForwardSessionChanged(TimChangedPeers changed) {
  SessionChangedTo(CImMgr::GetExisting(), std::move(changed));
}
void ForwardConnect(uint32_t code) {
  ConnectTo(CImMgr::GetExisting(), code);
}
void ForwardForceOffline() {
  ForceOfflineTo(CImMgr::GetExisting());
}
void ForwardSigExpired() {
  SigExpiredTo(CImMgr::GetExisting());
}
void ForwardSigExpiredTo(ManagerRef target) {
  SigExpiredTo(std::move(target));
}
void ForwardNewMessages(TimMsgList msgs) {
  NewMessagesTo(CImMgr::GetExisting(), std::move(msgs));
}
void ForwardTimerEvent(uint32_t timer_id) {
  // Always posted, even when the timer service calls on the runner's thread: OnTimer then takes
  // no lock of the manager's and calls no host, so a timer service that waits for a running
  // OnTimer (in StopTimerEx or RemoveTimerCallBack) waits only for this post.
  const ManagerRef target = CImMgr::GetExisting();
  PostReport(target, [&] { return Base::NewRunnableFunction(&TimerEventTo, target, timer_id); });
}
bool PostDrainReleased(ManagerRef target) {
  return PostReport(target, [&] { return Base::NewRunnableFunction(&DrainReleasedTo, target); });
}

}  // namespace kuvochat
