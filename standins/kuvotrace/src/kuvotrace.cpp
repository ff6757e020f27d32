// The Kuvotrace exports: thin forwards to one process-wide TraceLog.
#include "kuvotrace.h"

#include "kuvotrace_control.h"
#include "trace_log.h"

namespace {

// Never destroyed: writers on other threads may still be logging while the process exits.
kuvotrace::TraceLog& Log() {
  static kuvotrace::TraceLog* log = new kuvotrace::TraceLog;
  return *log;
}

}  // namespace

extern "C" {

KUVOTRACE_API bool Kuvotrace_Init(const wchar_t* path) {
  return Log().Init(path);
}
KUVOTRACE_API void Kuvotrace_SetId(int id) {
  Log().SetId(id);
}
KUVOTRACE_API void Kuvotrace_SetLevel(int level) {
  Log().SetLevel(level);
}
KUVOTRACE_API void Kuvotrace_UnInit() {
  Log().UnInit();
}
KUVOTRACE_API void Kuvotrace_Write(int level, const wchar_t* function, const wchar_t* format,
                                   va_list args) {
  Log().Write(level, function, format, args);
}

KUVOTRACE_API int KuvotraceTest_WriteCalls() {
  return Log().write_calls();
}
KUVOTRACE_API int KuvotraceTest_LinesWritten() {
  return Log().lines_written();
}
KUVOTRACE_API int KuvotraceTest_Level() {
  return Log().level();
}
KUVOTRACE_API int KuvotraceTest_Id() {
  return Log().id();
}
KUVOTRACE_API bool KuvotraceTest_IsOpen() {
  return Log().IsOpen();
}
KUVOTRACE_API void KuvotraceTest_Reset() {
  Log().Reset();
}

}  // extern "C"
