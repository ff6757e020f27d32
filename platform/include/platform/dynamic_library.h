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

// LoadLibraryExW search flags.
constexpr uint32_t kLoadLibrarySearchApplicationDir = 0x00000200;
constexpr uint32_t kLoadLibrarySearchSystem32 = 0x00000800;

// LoadLibraryExW(file_name, null, search_flags): only the folders that the flags name are
// searched, never the current folder or PATH. Elsewhere the application folder is the running
// program's (not the loading library's) and the system folder is the C library's; the library
// is opened there by its full path only, so neither LD_LIBRARY_PATH, the current folder nor the
// loader's own search is asked. A name with a folder in it must be absolute there. Null when the
// library cannot be loaded. Counted with LoadLibraryByName.
LibraryHandle LoadLibraryByNameFrom(const wchar_t* file_name, uint32_t search_flags);
// GetProcAddress. Null when `library` is null or has no such export.
void* FindExport(LibraryHandle library, const char* export_name);
// GetProcAddress by ordinal. Null when `library` is null or has no export at `ordinal`; always
// null on systems whose libraries have no ordinals.
void* FindExportByOrdinal(LibraryHandle library, uint16_t ordinal);

// GetModuleHandleW: a library that the process has loaded already (nothing is loaded here). Null
// when it has not.
LibraryHandle LoadedLibraryByName(const wchar_t* file_name);

// Number of LoadLibraryByName and LoadLibraryByNameFrom calls made so far through this module's copy of the seam, so that
// tests can see that callers load on every call instead of caching handles.
long LibraryLoadCallsForTesting();

}  // namespace platform
