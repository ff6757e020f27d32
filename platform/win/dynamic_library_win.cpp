#include <windows.h>

#include "dynamic_library_internal.h"
#include "platform/dynamic_library.h"

namespace platform {

LibraryHandle LoadLibraryByName(const wchar_t* file_name) {
  internal::CountLibraryLoad();
  if (!file_name || !*file_name) return nullptr;
  return ::LoadLibraryW(file_name);
}

LibraryHandle LoadLibraryByNameFrom(const wchar_t* file_name, uint32_t search_flags) {
  internal::CountLibraryLoad();
  if (!file_name || !*file_name) return nullptr;
  return ::LoadLibraryExW(file_name, nullptr, search_flags);
}

void* FindExport(LibraryHandle library, const char* export_name) {
  if (!library || !export_name) return nullptr;
  FARPROC proc = ::GetProcAddress(static_cast<HMODULE>(library), export_name);
  return reinterpret_cast<void*>(proc);
}

LibraryHandle LoadedLibraryByName(const wchar_t* file_name) {
  if (!file_name || !*file_name) return nullptr;
  return ::GetModuleHandleW(file_name);
}

void* FindExportByOrdinal(LibraryHandle library, uint16_t ordinal) {
  if (!library || ordinal == 0) return nullptr;
  FARPROC proc = ::GetProcAddress(static_cast<HMODULE>(library), MAKEINTRESOURCEA(ordinal));
  return reinterpret_cast<void*>(proc);
}

}  // namespace platform
