// Where the user's documents, the product's data folder and its log folder are.
//
// Callable from any thread. No error is reported: a path may be empty when the system has no
// answer, and a folder that cannot be created is simply missing afterwards (a later file
// operation in it fails instead).
#pragma once

#include <string>

#include "platform/registry.h"

namespace kuvo {

// The documents folder of the user whose settings the process sees. A process that runs as the
// system account is given the system profile's folder by the shell; it takes the current user's
// "Personal" shell folder from the registry instead when that can be read.
std::wstring GetDocumentsFolder();

// The decision of GetDocumentsFolder for the shell's answer `shell_path`: kept unless it
// contains "systemprofile"; then replaced by the string value "Personal" of `shell_folders_key`
// under `root` (HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell
// Folders by default) when that value can be read, is a string and is not empty.
std::wstring ResolveDocumentsFolder(const std::wstring& shell_path,
                                    platform::RegistryKey root = nullptr,
                                    const wchar_t* shell_folders_key = nullptr);

// The product data folder "Kuvo 10.0" in the documents folder, created with any missing
// parents when it does not exist.
std::wstring GetDataFolder();
// Its "Log" folder, created likewise (with the data folder).
std::wstring GetLogFolder();

// The same for a given documents folder (the steps above after the look-up).
std::wstring DataFolderIn(const std::wstring& documents_folder);
std::wstring LogFolderIn(const std::wstring& documents_folder);

}  // namespace kuvo
