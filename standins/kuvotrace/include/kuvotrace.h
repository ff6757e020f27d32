// Kuvotrace: the in-house logging library. Hosts and components load it by name
// ("Kuvotrace.dll", "libKuvotrace.so" elsewhere) and call these exports; any thread may call any
// of them at any time.
//
// The log file receives one UTF-8 line per written entry:
//   2026-12-08 05:31:26.123 INFO  [22521] CModifyAdapterInfo::SetAdapterInfo: text
// (local time, level name, id, function name, message; line breaks inside the message become
// spaces so that an entry is always one line).
#pragma once

#include <cstdarg>

#if defined(_WIN32)
#if defined(KUVOTRACE_BUILDING)
#define KUVOTRACE_API __declspec(dllexport)
#else
#define KUVOTRACE_API __declspec(dllimport)
#endif
#else
#define KUVOTRACE_API __attribute__((visibility("default")))
#endif

extern "C" {

// Opens (creating) the log file at `path` for appending; a log already open is closed first.
// False when the file cannot be opened; entries are then dropped until a later Init succeeds.
KUVOTRACE_API bool Kuvotrace_Init(const wchar_t* path);
// The id written into every line (0 until set).
KUVOTRACE_API void Kuvotrace_SetId(int id);
// Entries whose level is below `level` are dropped (0 until set: everything is written).
KUVOTRACE_API void Kuvotrace_SetLevel(int level);
// Closes the log file; later entries are dropped until the next Init.
KUVOTRACE_API void Kuvotrace_UnInit();
// Formats `format` with `args` (wide printf with Microsoft's meanings: %s wide, %S narrow) and
// appends the entry. Null texts and malformed formats are written as far as they are sound.
KUVOTRACE_API void Kuvotrace_Write(int level, const wchar_t* function, const wchar_t* format,
                                   va_list args);

}  // extern "C"
