// Host guide, KuvoChat: removing a callback object and destroying it, from any thread.
//
// After Im_Remove*CallBack returns, no new call of that interface begins, but removal does not
// wait for a call already running on Kuvocore's task-runner thread. On that thread (inside a
// callback too) the only call in progress is the caller's own, so the object may go at once.
// From any other thread, destroy it in a task posted to the runner: the runner runs one task at
// a time, so that task runs after the call in progress. (Im_NotifyReleaseData and
// Im_GetRecentList call back on their caller's own thread: do not destroy an object in the middle
// of either on another thread.)
#pragma once

#include <type_traits>

#include "KuvoChat.h"
#include "base/runnable_function.h"
#include "base/task_runner.h"

namespace guide {

template <typename Host>
void DestroyHost(Host* host) {
  delete host;
}

// `runner` is Kuvocore's task runner (GetKuvocoreObject, kind 2). Returns once no new call into
// `host` can begin; `host` is deleted now (on the runner's thread) or by a task posted there.
template <typename Host>
void RemoveAndDestroy(Host* host, Base::ITaskRunner* runner) {
  if constexpr (std::is_base_of_v<IConnCallBack, Host>) Im_RemoveConnCallBack(host);
  if constexpr (std::is_base_of_v<IMsgCallBack, Host>) Im_RemoveMsgCallBack(host);
  if constexpr (std::is_base_of_v<ISessionCallBack, Host>) Im_RemoveSessionCallBack(host);
  if (runner->IsCurrentThread()) {
    delete host;
    return;
  }
  runner->PostTask(Base::NewRunnableFunction(&DestroyHost<Host>, host));
}

}  // namespace guide
