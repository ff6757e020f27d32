// The COM module services over the Win32 API.
#include <windows.h>
// After windows.h.
#include <oleauto.h>

#include "platform/com_module_services.h"

namespace platform {

namespace {

using RegisterForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUser = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// The per-user registration functions exist from Windows Vista SP1 on; looked up by name.
template <typename Function>
Function OleautFunction(const char* name) {
  HMODULE oleaut = ::GetModuleHandleW(L"OLEAUT32.DLL");
  if (oleaut == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(oleaut, name)));
}

std::wstring FolderOf(const std::wstring& path) {
  const std::wstring::size_type slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

class Win32ComModuleServices final : public ComModuleServices {
 public:
  ~Win32ComModuleServices() override {
    if (lockMade_) ::DeleteCriticalSection(&lock_);
  }

  bool InitializeModuleLock() override {
    if (!lockMade_) lockMade_ = ::InitializeCriticalSectionEx(&lock_, 0, 0) != FALSE;
    return lockMade_;
  }

  HResult CoInitializeEx(uint32_t model) override { return ::CoInitializeEx(nullptr, model); }
  void CoUninitialize() override { ::CoUninitialize(); }

  bool LoadResource(const wchar_t* type, uint16_t id, std::string* bytes) override {
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return false;
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    const DWORD size = ::SizeofResource(nullptr, found);
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr) return false;
    bytes->assign(static_cast<const char*>(data), size);
    return true;
  }

  std::wstring LoadString(uint16_t id) override {
    const wchar_t* text = nullptr;
    const int length =
        ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text != nullptr ? std::wstring(text, static_cast<size_t>(length))
                                         : std::wstring();
  }

  HResult RegisterTypeLibrary(const std::wstring& module_path, bool per_user) override {
    ITypeLib* library = nullptr;
    HRESULT hr = ::LoadTypeLib(module_path.c_str(), &library);
    if (FAILED(hr)) return hr;
    std::wstring path = module_path;
    std::wstring folder = FolderOf(module_path);
    if (per_user) {
      const auto function = OleautFunction<RegisterForUser>("RegisterTypeLibForUser");
      hr = function != nullptr ? function(library, &path[0], &folder[0])
                               : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    } else {
      hr = ::RegisterTypeLib(library, &path[0], &folder[0]);
    }
    library->Release();
    return hr;
  }

  HResult UnregisterTypeLibrary(const std::wstring& module_path, bool per_user) override {
    ITypeLib* library = nullptr;
    HRESULT hr = ::LoadTypeLib(module_path.c_str(), &library);
    if (FAILED(hr)) return hr;
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (SUCCEEDED(hr)) {
      const TLIBATTR a = *attributes;
      library->ReleaseTLibAttr(attributes);
      if (per_user) {
        const auto function = OleautFunction<UnregisterForUser>("UnRegisterTypeLibForUser");
        hr = function != nullptr
                 ? function(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind)
                 : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
      } else {
        hr = ::UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
      }
    }
    library->Release();
    return hr;
  }

 private:
  CRITICAL_SECTION lock_{};
  bool lockMade_ = false;
};

}  // namespace

ComModuleServices& SystemComModuleServices() {
  static Win32ComModuleServices services;
  return services;
}

}  // namespace platform
