#include "kuvocore_link.h"

#include "platform/dynamic_library.h"

namespace kuvochat {
namespace kuvocore {

namespace {
constexpr wchar_t kLibraryName[] = L"Kuvocore.dll";

template <typename Function>
Function Find(const char* name) {
  platform::LibraryHandle library = platform::LoadLibraryByName(kLibraryName);
  return reinterpret_cast<Function>(platform::FindExport(library, name));
}
}  // namespace

Base::ITaskRunner* GetTaskRunner() {
  using Fn = bool (*)(int, void**);
  auto fn = Find<Fn>("GetKuvocoreObject");
  if (!fn) return nullptr;
  void* object = nullptr;
  fn(2, &object);
  return static_cast<Base::ITaskRunner*>(object);
}

uint32_t CreateTimerID() {
  using Fn = uint32_t (*)();
  auto fn = Find<Fn>("CreateTimerID");
  return fn ? fn() : 0;
}

bool StartTimerEx(uint32_t id, uint32_t interval_ms, Timer::ITimerEvent* sink) {
  using Fn = bool (*)(uint32_t, uint32_t, Timer::ITimerEvent*);
  auto fn = Find<Fn>("StartTimerEx");
  return fn ? fn(id, interval_ms, sink) : false;
}

bool StopTimerEx(uint32_t id) {
  using Fn = bool (*)(uint32_t);
  auto fn = Find<Fn>("StopTimerEx");
  return fn ? fn(id) : false;
}

void RemoveTimerCallBack(Timer::ITimerEvent* sink) {
  using Fn = void (*)(Timer::ITimerEvent*);
  if (auto fn = Find<Fn>("RemoveTimerCallBack")) fn(sink);
}

}  // namespace kuvocore
}  // namespace kuvochat
