// Logging through Kuvotrace: TraceInfo writes at level 2, TraceError at level 4.
//
//   kuvo::TraceInfo(L"CModifyAdapterInfo::SetAdapterInfo", L"adapter %s", name.c_str());
//
// The format has Microsoft's wide-printf meaning on every system: %s takes a wide string, %S a
// narrow one. Silent when Kuvotrace is missing or not initialised.
#pragma once

namespace kuvo {

constexpr int kTraceLevelInfo = 2;
constexpr int kTraceLevelError = 4;

void TraceInfo(const wchar_t* function, const wchar_t* format, ...);
void TraceError(const wchar_t* function, const wchar_t* format, ...);

// For its scope, every thread's TraceInfo and TraceError write through the entry point looked up
// when the pin was made instead of loading Kuvotrace on each call. A library's unload runs under
// the system's loader lock and may wait for another thread (its window's): code on that thread
// must not load a library meanwhile. Kuvotrace is never unloaded, so the entry stays valid.
class ScopedTraceEntryPin {
 public:
  ScopedTraceEntryPin();
  ~ScopedTraceEntryPin();
  ScopedTraceEntryPin(const ScopedTraceEntryPin&) = delete;
  ScopedTraceEntryPin& operator=(const ScopedTraceEntryPin&) = delete;
};

}  // namespace kuvo
