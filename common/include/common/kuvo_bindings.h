// Run-time bindings to the in-house libraries Kuvotrace (logging) and Kuvocore (task runner,
// timers).
//
// Every call loads the library by file name and looks its export up again: nothing is cached
// and nothing is ever unloaded. When the library or the export is missing, the call is skipped
// and the binding returns false, 0 or nothing. Any thread may call; the libraries themselves
// decide what is safe to call concurrently.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "base/timer_event.h"

namespace kuvo {

// Kuvotrace.dll
bool Kuvotrace_Init(const wchar_t* path);
void Kuvotrace_SetId(int id);
void Kuvotrace_SetLevel(int level);
void Kuvotrace_UnInit();
void Kuvotrace_Write(int level, const wchar_t* function, const wchar_t* format, va_list args);
// The Kuvotrace_Write entry point, looked up now (null when missing), for a caller that must
// write later without loading anything (see ScopedTraceEntryPin in common/trace.h).
using KuvotraceWriteEntry = void (*)(int level, const wchar_t* function, const wchar_t* format,
                                     va_list args);
KuvotraceWriteEntry Kuvotrace_WriteEntry();

// Kuvocore.dll
// Kind 2 gives the library's Base::ITaskRunner*. `*out` is set to null first (when `out` is not
// null), so it stays null when the library, its export or its object is missing.
bool GetKuvocoreObject(int kind, void** out);
uint32_t CreateTimerID();
bool StartTimerEx(uint32_t id, uint32_t interval_ms, Timer::ITimerEvent* sink);
bool StopTimerEx(uint32_t id);
void RemoveTimerCallBack(Timer::ITimerEvent* sink);

// Where the libraries are searched, for every later call of this module's bindings. By default
// LoadLibraryW's search, which the process's owner sets (a host decides it for its process). A
// program that runs with administrator rights passes platform::kLoadLibrarySearchApplicationDir
// | platform::kLoadLibrarySearchSystem32 before its first call: the libraries are then loaded by
// the same names with LoadLibraryExW from its own folder and the system folder only, so a copy
// planted in the current folder or on PATH is never loaded. 0 restores the default.
void SetLibrarySearchFlags(uint32_t flags);

// The file names loaded, "Kuvotrace.dll" and "Kuvocore.dll" unless a test replaced them to
// point the bindings at a missing or different library. Null restores a default. The strings
// must outlive their use.
void SetLibraryNamesForTesting(const wchar_t* trace_library, const wchar_t* core_library);

}  // namespace kuvo
