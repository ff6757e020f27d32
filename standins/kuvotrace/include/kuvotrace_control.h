// Test control of the Kuvotrace stand-in: counters and a reset, for tests and the demo.
#pragma once

#include "kuvotrace.h"

extern "C" {

// Kuvotrace_Write calls since the last reset, whether or not they were written.
KUVOTRACE_API int KuvotraceTest_WriteCalls();
// Entries appended to a log file since the last reset.
KUVOTRACE_API int KuvotraceTest_LinesWritten();
// The current level and id.
KUVOTRACE_API int KuvotraceTest_Level();
KUVOTRACE_API int KuvotraceTest_Id();
// True while a log file is open.
KUVOTRACE_API bool KuvotraceTest_IsOpen();
// Closes the log, sets level and id back to 0 and clears the counters.
KUVOTRACE_API void KuvotraceTest_Reset();

}  // extern "C"
