// The task runner of the in-house base library (Kuvocore), typed: KuvoChat runs its callbacks
// there, and a host may lend the same runner to KuvoFetch. Header only: the host links Kuvocore
// (it starts it with Kuvocore_Startup anyway).
//
//   Kuvocore_Startup();
//   Base::ITaskRunner* runner = kuvo_host::KuvocoreTaskRunner();  // null while not started
#pragma once

#include "base/task_runner.h"

#if defined(_WIN32)
#define KUVO_HOST_KUVOCORE_IMPORT __declspec(dllimport)
#else
#define KUVO_HOST_KUVOCORE_IMPORT
#endif

// Kuvocore's accessor: kind 2 writes its Base::ITaskRunner* to *out.
extern "C" KUVO_HOST_KUVOCORE_IMPORT bool GetKuvocoreObject(int kind, void** out);

namespace kuvo_host {

// Kuvocore's runner while Kuvocore is started; null before Kuvocore_Startup and after
// Kuvocore_Shutdown. The runner belongs to Kuvocore: never delete it.
inline Base::ITaskRunner* KuvocoreTaskRunner() {
  constexpr int kTaskRunnerKind = 2;
  void* object = nullptr;
  if (!GetKuvocoreObject(kTaskRunnerKind, &object)) return nullptr;
  return static_cast<Base::ITaskRunner*>(object);
}

}  // namespace kuvo_host
