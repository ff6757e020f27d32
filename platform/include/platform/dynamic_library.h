// Run-time loading of a shared library by file name, and export look-up.
//
// Names are given as on Windows ("Kuvotrace.dll"); on other systems the name is mapped to the
// platform's file name for the same library ("libKuvotrace.so"), searched next to the loading
// module first. Libraries are never unloaded by this seam.
//
// Any thread may call these functions.
#pragma once

#include <cstdint>

namespace platform {

using LibraryHandle = void*;

// LoadLibraryW. Null when the library cannot be loaded.
LibraryHandle LoadLibraryByName(const wchar_t* file_name);
// GetProcAddress. Null when `library` is null or has no such export.
void* FindExport(LibraryHandle library, const char* export_name);
// GetProcAddress by ordinal. Null when `library` is null or has no export at `ordinal`; always
// null on systems whose libraries have no ordinals.
void* FindExportByOrdinal(LibraryHandle library, uint16_t ordinal);

// GetModuleHandleW: a library that the process has loaded already (nothing is loaded here). Null
// when it has not.
LibraryHandle LoadedLibraryByName(const wchar_t* file_name);

// Number of LoadLibraryByName calls made so far through this module's copy of the seam, so that
// tests can see that callers load on every call instead of caching handles.
long LibraryLoadCallsForTesting();

}  // namespace platform
