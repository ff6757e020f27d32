// Test access to the in-memory registry of non-Windows builds (not available on Windows).
//
// The emulation is process-wide and thread-safe; these functions may run while other threads
// use the registry. Paths are relative to the root, with '\\' between names.
//
// Scenario text (UTF-8), as read from the file that KUVO_REGISTRY_SCENARIO names at the first
// registry call (a file that does not load ends the process, see platform/registry.h), or given to
// LoadRegistryScenario*ForTesting. One item a line; leading and trailing blanks are ignored:
//
//   # comment                          lines starting with '#' or ';', and blank lines, are skipped
//   [HKEY_LOCAL_MACHINE\SYSTEM\Path]   a key (created with its parents); values below belong to it.
//                                      Roots: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
//                                      HKEY_LOCAL_MACHINE, HKEY_USERS, or HKCR, HKCU, HKLM, HKU.
//                                      Blanks around names and stray '\' are ignored;
//                                      control characters are refused.
//   !deny-write                        opening this key with any write right answers
//                                      kErrorAccessDenied, and a tree delete stops at it (a
//                                      read-only key, as for a normal user)
//   "Name"=sz:"text"                   REG_SZ, stored with its terminator
//   @=sz:"text"                        the key's default value
//   "Name"=expand_sz:"%SystemRoot%"    REG_EXPAND_SZ
//   "Name"=multi_sz:"one","two"        REG_MULTI_SZ; "multi_sz:" alone is the empty list
//   "Name"=sz_unterminated:"text"      REG_SZ stored without a terminator (malformed data)
//   "Name"=dword:9999  or  dword:0x270f
//   "Name"=qword:1  or  qword:0x1
//   "Name"=hex:01,02,ff                REG_BINARY (no bytes after the colon: empty data)
//   "Name"=hex(7):41,00                raw bytes with the numbered type
//
// In quoted texts, '\' takes the next character literally ("C:\\Users", "say \"hi\""); texts are
// UTF-8 and stored as the platform's wide characters. Blanks around '=' and ',' are allowed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace platform {

// Empties the registry and forgets every open handle. The scenario variable is not read after a
// reset.
void ResetRegistryForTesting();

// Empties the registry and loads the file that KUVO_REGISTRY_SCENARIO names, as at the first
// registry call. False (with the reason) when the variable is set but the file cannot be loaded.
bool ReloadRegistryFromEnvironmentForTesting(std::string* error);

// Adds the keys and values of scenario text (or of a file) to the current contents, replacing
// values of the same names. On a parse error nothing is added: false, with the reason.
bool LoadRegistryScenarioForTesting(const std::string& text, std::string* error);
bool LoadRegistryScenarioFileForTesting(const std::string& file_path, std::string* error);

// Creates the key and its parents.
void SeedRegistryKeyForTesting(RegistryRoot root, const std::wstring& path);
// Creates the key if needed and sets the value (`data` as stored; see platform/registry_data.h).
void SeedRegistryValueForTesting(RegistryRoot root, const std::wstring& path,
                                 const std::wstring& name, uint32_t type,
                                 const std::vector<uint8_t>& data);
void SeedRegistryStringForTesting(RegistryRoot root, const std::wstring& path,
                                  const std::wstring& name, const std::wstring& text);
void SeedRegistryDwordForTesting(RegistryRoot root, const std::wstring& path,
                                 const std::wstring& name, uint32_t value);
void SeedRegistryMultiStringForTesting(RegistryRoot root, const std::wstring& path,
                                       const std::wstring& name,
                                       const std::vector<std::wstring>& texts);
// Makes opening the key with write access fail with kErrorAccessDenied (or allows it again).
void DenyRegistryWriteForTesting(RegistryRoot root, const std::wstring& path, bool deny);

bool RegistryKeyExistsForTesting(RegistryRoot root, const std::wstring& path);
// The stored type and bytes of a value; false when the key or value is missing.
bool ReadRegistryValueForTesting(RegistryRoot root, const std::wstring& path,
                                 const std::wstring& name, uint32_t* type,
                                 std::vector<uint8_t>* data);
// Typed reads: false when missing or of another type (REG_SZ and REG_EXPAND_SZ both read as
// strings).
bool ReadRegistryStringForTesting(RegistryRoot root, const std::wstring& path,
                                  const std::wstring& name, std::wstring* text);
bool ReadRegistryDwordForTesting(RegistryRoot root, const std::wstring& path,
                                 const std::wstring& name, uint32_t* value);
bool ReadRegistryMultiStringForTesting(RegistryRoot root, const std::wstring& path,
                                       const std::wstring& name, std::vector<std::wstring>* texts);

// How many handles from OpenRegistryKey / CreateRegistryKey are not closed yet.
size_t OpenRegistryHandleCountForTesting();
// How many FlushRegistryKey calls succeeded since the last reset.
size_t RegistryFlushCountForTesting();

// The whole registry as scenario text (keys in order, values in creation order), for the demo
// and for failure messages.
std::string DumpRegistryForTesting();

}  // namespace platform
