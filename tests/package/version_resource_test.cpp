// The version resource of each shipped binary as a Windows user and installer read it, through
// GetFileVersionInfoW and VerQueryValueW: file and product version of the project, the product
// name, the description and the original file name.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kuvo_version.h"

namespace {

struct Binary {
  const wchar_t* name;  // without extension
  const wchar_t* extension;
  const wchar_t* description;
  DWORD type;
};

const Binary kShipped[] = {
    {L"KuvoChat", L".dll", L"Kuvo instant messaging", VFT_DLL},
    {L"KuvoFetch", L".dll", L"Kuvo HTTP requests", VFT_DLL},
    {L"KuvoDesk", L".dll", L"Kuvo remote assistance", VFT_DLL},
    {L"KuvoAssist", L".exe", L"Kuvo USB phone adapter repair", VFT_APP},
};

std::wstring OwnFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  DWORD length = 0;
  while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
         path.size()) {
    path.resize(path.size() * 2);
  }
  const std::wstring self(path.data(), length);
  return self.substr(0, self.find_last_of(L"\\/"));
}

// A string of the U.S. English, Unicode block; "(none)" when missing.
std::wstring Value(std::vector<BYTE>& info, const std::wstring& name) {
  void* text = nullptr;
  UINT length = 0;
  const std::wstring key = L"\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueW(info.data(), key.c_str(), &text, &length) || text == nullptr) {
    return L"(none)";
  }
  std::wstring value(static_cast<const wchar_t*>(text), length);
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return value;
}

TEST(VersionResourceTest, EachShippedBinaryCarriesTheProjectVersionAndItsNames) {
  const DWORD version_ms = MAKELONG(KUVO_VERSION_MINOR, KUVO_VERSION_MAJOR);
  const DWORD version_ls = MAKELONG(0, KUVO_VERSION_PATCH);
  const std::wstring version_text = L"" KUVO_VERSION_TEXT;
  for (const Binary& binary : kShipped) {
    const std::wstring file = std::wstring(binary.name) + binary.extension;
    SCOPED_TRACE(std::string(file.begin(), file.end()));
    const std::wstring path = OwnFolder() + L"\\" + file;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << "GetFileVersionInfoSizeW: error " << GetLastError();
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, version_ms);
    EXPECT_EQ(fixed->dwFileVersionLS, version_ls);
    EXPECT_EQ(fixed->dwProductVersionMS, version_ms);
    EXPECT_EQ(fixed->dwProductVersionLS, version_ls);
    EXPECT_EQ(fixed->dwFileType, binary.type);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 2 * sizeof(WORD));
    EXPECT_EQ(translation[0], 0x409);  // U.S. English
    EXPECT_EQ(translation[1], 1200);   // Unicode

    EXPECT_EQ(Value(info, L"ProductName"), L"Kuvo");
    EXPECT_EQ(Value(info, L"FileDescription"), binary.description);
    EXPECT_EQ(Value(info, L"FileVersion"), version_text);
    EXPECT_EQ(Value(info, L"ProductVersion"), version_text);
    EXPECT_EQ(Value(info, L"InternalName"), binary.name);
    EXPECT_EQ(Value(info, L"OriginalFilename"), file);
  }
}

}  // namespace
