// The KuvoAssist program on Windows (run under wine): registration words against the real
// registry and type-library API, its resources and manifest, the relaunch marker's event.
#include <windows.h>
// After windows.h.
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "elevation.h"
#include "module_resources.h"
#include "platform/program_entry.h"
#include "start_up.h"
#include "temp_folder.h"

namespace {

const std::wstring kVersionKey = std::wstring(L"TypeLib\\") + assist::kModuleLibid + L"\\1.0";
const std::wstring kUserVersionKey = L"Software\\Classes\\" + kVersionKey;

std::wstring ProgramPath() {
  wchar_t own[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, own, MAX_PATH);
  std::wstring path(own);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"KuvoAssist.exe";
}

DWORD RunProgram(const std::wstring& arguments, const std::wstring& program = ProgramPath(),
                 const wchar_t* folder = nullptr) {
  std::wstring line = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder,
                        &startup, &info)) {
    ADD_FAILURE() << "CreateProcessW: " << ::GetLastError();
    return 0xFFFFFFFFu;
  }
  ::WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(info.hProcess, &code);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return code;
}

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

std::wstring DefaultText(HKEY root, const std::wstring& path) {
  wchar_t text[256] = {};
  DWORD size = sizeof(text) - sizeof(wchar_t);
  if (::RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &size) !=
      ERROR_SUCCESS) {
    return L"<none>";
  }
  return text;
}

bool RunningOnWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string Resource(HMODULE module, const wchar_t* type, WORD id) {
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (found == nullptr) return "<missing>";
  HGLOBAL loaded = ::LoadResource(module, found);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr) return "<missing>";
  return std::string(static_cast<const char*>(data), ::SizeofResource(module, found));
}

TEST(ProgramWin, WithoutWordsItEndsWithZero) {
  EXPECT_EQ(0u, RunProgram(L""));
  EXPECT_EQ(0u, RunProgram(L"RegServer /RegServerX"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kVersionKey));
}

TEST(ProgramWin, RegServerRegistersTheTypeLibraryAndUnregServerRemovesIt) {
  ASSERT_EQ(0u, RunProgram(L"/RegServer"));
  EXPECT_EQ(L"KuvoAssistLibW", DefaultText(HKEY_CLASSES_ROOT, kVersionKey));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kVersionKey + L"\\0\\win64") ||
              KeyExists(HKEY_CLASSES_ROOT, kVersionKey + L"\\0\\win32"));
  EXPECT_EQ(0u, RunProgram(L"-UNREGSERVER"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kVersionKey));
}

TEST(ProgramWin, PerUserWordsRegisterForTheUser) {
  ASSERT_EQ(0u, RunProgram(L"-regserverperuser"));
  if (RunningOnWine()) {
    // wine's RegisterTypeLibForUser registers for the whole machine.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUserVersionKey) ||
                KeyExists(HKEY_CLASSES_ROOT, kVersionKey));
  } else {
    EXPECT_EQ(L"KuvoAssistLibW", DefaultText(HKEY_CURRENT_USER, kUserVersionKey));
  }
  // The script's root per user.
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes"));
  EXPECT_EQ(0u, RunProgram(L"/UnregServerPerUser"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserVersionKey));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kVersionKey));
}

TEST(ProgramWin, ResourcesHaveTheirExactContents) {
  HMODULE module = ::LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(nullptr, module);
  EXPECT_EQ(std::string("HKCR\r\n{\r\n}\r\n"), Resource(module, L"REGISTRY", 101));
  EXPECT_NE("<missing>", Resource(module, L"TYPELIB", 1));
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(module, 100, reinterpret_cast<LPWSTR>(&text), 0);
  EXPECT_EQ(L"KuvoAssist", std::wstring(text != nullptr ? text : L"", length > 0 ? length : 0));
  const std::string manifest = Resource(module, MAKEINTRESOURCEW(24), 1);
  EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\"")) << manifest;
  EXPECT_NE(std::string::npos, manifest.find("uiAccess=\"false\"")) << manifest;
  ::FreeLibrary(module);
}

TEST(ProgramWin, TheTypeLibraryIsKuvoAssistLibWWithNothingInIt) {
  ITypeLib* library = nullptr;
  ASSERT_EQ(S_OK, ::LoadTypeLibEx(ProgramPath().c_str(), REGKIND_NONE, &library));
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
  wchar_t libid[64] = {};
  ::StringFromGUID2(attributes->guid, libid, 64);
  EXPECT_EQ(std::wstring(assist::kModuleLibid), libid);
  EXPECT_EQ(1, attributes->wMajorVerNum);
  EXPECT_EQ(0, attributes->wMinorVerNum);
  library->ReleaseTLibAttr(attributes);
  EXPECT_EQ(0u, library->GetTypeInfoCount());
  BSTR name = nullptr;
  ASSERT_EQ(S_OK, library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr));
  EXPECT_EQ(std::wstring(L"KuvoAssistLibW"), name);
  ::SysFreeString(name);
  library->Release();
}

uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The program runs with administrator rights: a Kuvotrace.dll in the working folder (or on PATH)
// is never loaded, only one beside the program or in the system folder.
TEST(ProgramWin, AKuvotraceInTheWorkingFolderIsNotLoaded) {
  const std::wstring bin = ProgramPath().substr(0, ProgramPath().find_last_of(L"\\/") + 1);
  kuvo_test::TempFolder program_folder;
  kuvo_test::TempFolder working;
  const std::wstring program = program_folder.path().wstring() + L"\\KuvoAssist.exe";
  ASSERT_TRUE(::CopyFileW(ProgramPath().c_str(), program.c_str(), FALSE));
  const std::wstring planted = working.path().wstring() + L"\\Kuvotrace.dll";
  ASSERT_TRUE(::CopyFileW((bin + L"Kuvotrace.dll").c_str(), planted.c_str(), FALSE));
  const std::wstring log = assist::LogFilePath();

  const uint64_t before = FileSize(log);
  EXPECT_EQ(0u, RunProgram(L"", program, working.path().wstring().c_str()));
  EXPECT_EQ(before, FileSize(log));  // logging stayed silent, the run went on

  // The same program with the library beside it logs.
  ASSERT_TRUE(::CopyFileW(planted.c_str(),
                          (program_folder.path().wstring() + L"\\Kuvotrace.dll").c_str(), FALSE));
  EXPECT_EQ(0u, RunProgram(L"", program, working.path().wstring().c_str()));
  EXPECT_LT(before, FileSize(log));
}

// Run by the next test in a process of its own: its parent is the process that the environment
// names.
TEST(ProgramWin, ParentIdOfAStartedProcess) {
  wchar_t expected[16] = {};
  if (::GetEnvironmentVariableW(L"KUVO_TEST_PARENT_ID", expected, 16) == 0) {
    GTEST_SKIP() << "started by the next test only";
  }
  EXPECT_EQ(std::to_wstring(platform::ProgramSystem().process->GetParentProcessId()), expected);
}

TEST(ProgramWin, TheRelaunchRecordServices) {
  platform::ProcessServices& process = *platform::ProgramSystem().process;
  EXPECT_EQ(::GetCurrentProcessId(), process.GetCurrentProcessId());
  wchar_t own[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, own, MAX_PATH);
  ::SetEnvironmentVariableW(L"KUVO_TEST_PARENT_ID",
                            std::to_wstring(::GetCurrentProcessId()).c_str());
  EXPECT_EQ(0u, RunProgram(L"--gtest_filter=ProgramWin.ParentIdOfAStartedProcess", own));
  ::SetEnvironmentVariableW(L"KUVO_TEST_PARENT_ID", nullptr);

  kuvo_test::TempFolder folder;
  const std::wstring record = folder.path().wstring() + L"\\KuvoAssist.relaunch";
  ASSERT_TRUE(process.WriteSmallFile(record, "12345"));
  ASSERT_TRUE(process.WriteSmallFile(record, "678"));  // replaced whole
  std::string bytes;
  ASSERT_TRUE(process.ReadSmallFile(record, 16, &bytes));
  EXPECT_EQ("678", bytes);
  ASSERT_TRUE(process.ReadSmallFile(record, 2, &bytes));
  EXPECT_EQ("67", bytes);
  EXPECT_FALSE(process.ReadSmallFile(record + L".missing", 16, &bytes));
  EXPECT_EQ(2u, process.LastErrorCode());
}

TEST(ProgramWin, TheTokenAnswersFourBytes) {
  platform::ProcessServices& process = *platform::ProgramSystem().process;
  platform::ProcessToken token = nullptr;
  ASSERT_TRUE(process.OpenProcessTokenForQuery(&token));
  uint32_t value = 0, returned = 0;
  EXPECT_TRUE(process.QueryTokenElevation(token, &value, sizeof(value), &returned));
  EXPECT_EQ(4u, returned);
  process.CloseToken(token);
  EXPECT_EQ(value != 0, assist::IsRunAsAdmin(process));
}

}  // namespace
