// The registry (RegOpenKeyExW and its family), in Windows' calling shape.
//
// Every call returns kErrorSuccess or the Win32 error code (platform/error_codes.h); none sets
// the last error. Keys are handles: the predefined roots from RootKey(), which need no closing,
// or handles from OpenRegistryKey / CreateRegistryKey, which the caller closes once with
// CloseRegistryKey. Sub-key paths are relative, with '\\' between names; names compare without
// regard to letter case.
//
// Sizes of data are in bytes. String data (kRegSz, kRegExpandSz, kRegMultiSz) is wide text as the
// platform's wchar_t holds it (2 bytes a unit on Windows, 4 elsewhere), with the terminators the
// writer stored: the registry neither adds nor checks them, so a reader must bound every string
// by the size it got back.
//
// On Windows these are the system's registry calls. Elsewhere the registry is an in-memory
// emulation shared by the whole process and safe to call from any thread. It starts empty, or
// with the scenario file that the environment variable KUVO_REGISTRY_SCENARIO names (read at the
// first call; a file that cannot be read or parsed ends the process there, with exit status 3
// and a message on stderr that names the file and the line); tests seed and read it through
// platform/testing/registry_emulation.h. The
// emulation keeps one view, so the WOW64 access flags change nothing there.
#pragma once

#include <cstdint>

#include "platform/error_codes.h"

namespace platform {

struct RegistryKeyHandle;
using RegistryKey = RegistryKeyHandle*;

enum class RegistryRoot : uint32_t {
  kClassesRoot = 0x80000000u,
  kCurrentUser = 0x80000001u,
  kLocalMachine = 0x80000002u,
  kUsers = 0x80000003u,
};

// HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, ...
RegistryKey RootKey(RegistryRoot root);

// Access rights (REGSAM).
constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyCreateSubKey = 0x0004;
constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr uint32_t kKeyNotify = 0x0010;
constexpr uint32_t kKeyWow64_64Key = 0x0100;
constexpr uint32_t kKeyWow64_32Key = 0x0200;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyAllAccess = 0xF003F;

// Value types.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kRegQword = 11;

// The longest key name (characters, without terminator) that the registry allows.
constexpr uint32_t kMaxKeyNameLength = 255;

// RegOpenKeyExW. A null or empty `sub_key` opens a new handle to `parent` itself.
// kErrorFileNotFound when the key does not exist, kErrorAccessDenied when the access is refused.
ErrorCode OpenRegistryKey(RegistryKey parent, const wchar_t* sub_key, uint32_t access,
                          RegistryKey* key);

// RegCreateKeyExW: opens the key, creating it and its missing parents first. `created` (may be
// null) tells whether it was new.
ErrorCode CreateRegistryKey(RegistryKey parent, const wchar_t* sub_key, uint32_t access,
                            RegistryKey* key, bool* created);

// RegQueryValueExW. A null or empty `name` is the key's default value. `type` may be null.
// `size` holds the room of `data` in bytes and receives the size of the value.
// With null `data`, only the size (and type) are returned. When `data` is too small the answer
// is kErrorMoreData with the needed size in `size`, and `data` is left as it was.
// kErrorFileNotFound when there is no such value.
ErrorCode QueryRegistryValue(RegistryKey key, const wchar_t* name, uint32_t* type, void* data,
                             uint32_t* size);

// RegEnumKeyExW: the name of the sub-key at `index` (in the registry's order).
// `name_length` holds the room of `name` in characters, terminator included, and receives the
// name's length without it. kErrorMoreData when the name does not fit; kErrorNoMoreItems past
// the last sub-key.
ErrorCode EnumRegistryKey(RegistryKey key, uint32_t index, wchar_t* name, uint32_t* name_length);

// RegEnumValueW: the value at `index` (Windows keeps the order of creation, wine sorts by name;
// the emulation keeps the order of creation): name as for EnumRegistryKey;
// `type`, `data` and `size` as for QueryRegistryValue (each may be null). kErrorMoreData when
// the name or the data does not fit (`size` then holds the needed size); kErrorNoMoreItems past
// the last value.
ErrorCode EnumRegistryValue(RegistryKey key, uint32_t index, wchar_t* name, uint32_t* name_length,
                            uint32_t* type, void* data, uint32_t* size);

// RegSetValueExW: stores `size` bytes of `data` as the value `name` of type `type`, replacing
// any value of that name. Strings are stored exactly as given: include the terminator(s).
ErrorCode SetRegistryValue(RegistryKey key, const wchar_t* name, uint32_t type, const void* data,
                           uint32_t size);

// RegDeleteValueW. kErrorFileNotFound when there is no such value.
ErrorCode DeleteRegistryValue(RegistryKey key, const wchar_t* name);

// RegDeleteTreeW on `parent`\`sub_key`, then the key itself (RegDeleteKeyW). Handles that are
// still open on a deleted key answer kErrorKeyDeleted afterwards. A key in the tree that may not
// be deleted (a read-only key) stops the delete with kErrorAccessDenied: keys below it and those
// before it in the order of the walk (depth first, sub-keys in the registry's order) are gone
// by then, it and the keys above it stay.
ErrorCode DeleteRegistryTree(RegistryKey parent, const wchar_t* sub_key);

// RegFlushKey.
ErrorCode FlushRegistryKey(RegistryKey key);

// RegCloseKey. Closing a predefined root changes nothing.
ErrorCode CloseRegistryKey(RegistryKey key);

}  // namespace platform
