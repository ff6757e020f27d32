#include <dlfcn.h>
#include <gnu/libc-version.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "dynamic_library_internal.h"
#include "platform/dynamic_library.h"

namespace platform {

namespace {

// Library names are ASCII in practice; anything else is passed on as UTF-8.
std::string ToUtf8(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) {
    auto c = static_cast<unsigned long>(*text);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool EndsWithDll(const std::string& name) {
  if (name.size() < 4) return false;
  const std::string tail = name.substr(name.size() - 4);
  return tail[0] == '.' && (tail[1] | 0x20) == 'd' && (tail[2] | 0x20) == 'l' &&
         (tail[3] | 0x20) == 'l';
}

// "dir/X.dll" -> "dir/libX.so"; names without ".dll" are used as they are.
std::string SystemFileName(const std::string& name) {
  if (!EndsWithDll(name)) return name;
  const std::string::size_type slash = name.rfind('/');
  const std::string::size_type base = slash == std::string::npos ? 0 : slash + 1;
  return name.substr(0, base) + "lib" + name.substr(base, name.size() - 4 - base) + ".so";
}

// The folder of the module (library or program) that holds this code, with a trailing '/'.
std::string OwnModuleFolder() {
  Dl_info info{};
  static const int anchor = 0;
  std::string path;
  if (dladdr(&anchor, &info) && info.dli_fname && *info.dli_fname) path = info.dli_fname;
  if (!path.empty() && path[0] != '/') {
    // A program started by a relative name: make it absolute while the working folder still
    // matches, else ask the kernel for the program's path.
    char resolved[PATH_MAX];
    path = realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
  }
  if (path.empty()) {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0) return std::string();
    path.assign(self, static_cast<size_t>(n));
  }
  const std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FolderOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The running program's folder, with a trailing '/'.
std::string ProgramFolder() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  return n > 0 ? FolderOf(std::string(self, static_cast<size_t>(n))) : std::string();
}

// The folder of the C library, the system's own libraries, with a trailing '/'.
std::string SystemFolder() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&gnu_get_libc_version), &info) || !info.dli_fname ||
      info.dli_fname[0] != '/') {
    return std::string();
  }
  return FolderOf(info.dli_fname);
}

}  // namespace

LibraryHandle LoadLibraryByNameFrom(const wchar_t* file_name, uint32_t search_flags) {
  internal::CountLibraryLoad();
  if (!file_name || !*file_name) return nullptr;
  const std::string name = SystemFileName(ToUtf8(file_name));
  if (name.find('/') != std::string::npos) {
    return name[0] == '/' ? dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
  }
  std::string folders[2];
  if (search_flags & kLoadLibrarySearchApplicationDir) folders[0] = ProgramFolder();
  if (search_flags & kLoadLibrarySearchSystem32) folders[1] = SystemFolder();
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    if (void* handle = dlopen((folder + name).c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
  }
  return nullptr;
}

// dlopen of a Windows library name: from this module's folder first, then the loader's path.
void* OpenByName(const wchar_t* file_name, int mode) {
  if (!file_name || !*file_name) return nullptr;
  const std::string name = SystemFileName(ToUtf8(file_name));
  const std::string folder = name.find('/') == std::string::npos ? OwnModuleFolder() : "";
  if (!folder.empty()) {
    if (void* handle = dlopen((folder + name).c_str(), mode)) return handle;
  }
  return dlopen(name.c_str(), mode);
}

LibraryHandle LoadLibraryByName(const wchar_t* file_name) {
  internal::CountLibraryLoad();
  return OpenByName(file_name, RTLD_NOW | RTLD_LOCAL);
}

void* FindExport(LibraryHandle library, const char* export_name) {
  if (!library || !export_name) return nullptr;
  return dlsym(library, export_name);
}

LibraryHandle LoadedLibraryByName(const wchar_t* file_name) {
  return OpenByName(file_name, RTLD_NOW | RTLD_NOLOAD);
}

// ELF shared objects export by name only.
void* FindExportByOrdinal(LibraryHandle, uint16_t) {
  return nullptr;
}

}  // namespace platform
