#include "common/kuvo_bindings.h"

#include <atomic>

#include "platform/dynamic_library.h"

namespace kuvo {

namespace {

constexpr const wchar_t* kTraceLibrary = L"Kuvotrace.dll";
constexpr const wchar_t* kCoreLibrary = L"Kuvocore.dll";

std::atomic<const wchar_t*> g_trace_library{nullptr};
std::atomic<const wchar_t*> g_core_library{nullptr};
std::atomic<uint32_t> g_search_flags{0};

const wchar_t* TraceLibrary() {
  const wchar_t* name = g_trace_library.load(std::memory_order_acquire);
  return name ? name : kTraceLibrary;
}

const wchar_t* CoreLibrary() {
  const wchar_t* name = g_core_library.load(std::memory_order_acquire);
  return name ? name : kCoreLibrary;
}

// Loads `library` and looks `name` up, on every call. Null when either is missing.
template <typename Function>
Function* Bind(const wchar_t* library, const char* name) {
  const uint32_t flags = g_search_flags.load(std::memory_order_acquire);
  const platform::LibraryHandle handle = flags != 0
                                             ? platform::LoadLibraryByNameFrom(library, flags)
                                             : platform::LoadLibraryByName(library);
  void* symbol = platform::FindExport(handle, name);
  return reinterpret_cast<Function*>(symbol);
}

}  // namespace

bool Kuvotrace_Init(const wchar_t* path) {
  auto* function = Bind<bool(const wchar_t*)>(TraceLibrary(), "Kuvotrace_Init");
  return function ? function(path) : false;
}

void Kuvotrace_SetId(int id) {
  if (auto* function = Bind<void(int)>(TraceLibrary(), "Kuvotrace_SetId")) function(id);
}

void Kuvotrace_SetLevel(int level) {
  if (auto* function = Bind<void(int)>(TraceLibrary(), "Kuvotrace_SetLevel")) function(level);
}

void Kuvotrace_UnInit() {
  if (auto* function = Bind<void()>(TraceLibrary(), "Kuvotrace_UnInit")) function();
}

void Kuvotrace_Write(int level, const wchar_t* function_name, const wchar_t* format, va_list args) {
  using Write = void(int, const wchar_t*, const wchar_t*, va_list);
  if (auto* function = Bind<Write>(TraceLibrary(), "Kuvotrace_Write")) {
    function(level, function_name, format, args);
  }
}

KuvotraceWriteEntry Kuvotrace_WriteEntry() {
  using Write = void(int, const wchar_t*, const wchar_t*, va_list);
  return Bind<Write>(TraceLibrary(), "Kuvotrace_Write");
}

bool GetKuvocoreObject(int kind, void** out) {
  if (out) *out = nullptr;
  auto* function = Bind<bool(int, void**)>(CoreLibrary(), "GetKuvocoreObject");
  return function ? function(kind, out) : false;
}

uint32_t CreateTimerID() {
  auto* function = Bind<uint32_t()>(CoreLibrary(), "CreateTimerID");
  return function ? function() : 0;
}

bool StartTimerEx(uint32_t id, uint32_t interval_ms, Timer::ITimerEvent* sink) {
  using Start = bool(uint32_t, uint32_t, Timer::ITimerEvent*);
  auto* function = Bind<Start>(CoreLibrary(), "StartTimerEx");
  return function ? function(id, interval_ms, sink) : false;
}

bool StopTimerEx(uint32_t id) {
  auto* function = Bind<bool(uint32_t)>(CoreLibrary(), "StopTimerEx");
  return function ? function(id) : false;
}

void RemoveTimerCallBack(Timer::ITimerEvent* sink) {
  using Remove = void(Timer::ITimerEvent*);
  if (auto* function = Bind<Remove>(CoreLibrary(), "RemoveTimerCallBack")) function(sink);
}

void SetLibrarySearchFlags(uint32_t flags) {
  g_search_flags.store(flags, std::memory_order_release);
}

void SetLibraryNamesForTesting(const wchar_t* trace_library, const wchar_t* core_library) {
  g_trace_library.store(trace_library, std::memory_order_release);
  g_core_library.store(core_library, std::memory_order_release);
}

}  // namespace kuvo
