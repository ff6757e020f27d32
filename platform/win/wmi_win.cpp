#include <windows.h>

#include <oleauto.h>
#include <wbemidl.h>

#include "platform/adapter_services.h"

namespace platform {

namespace {

template <typename T>
T* As(ComObject object) {
  return reinterpret_cast<T*>(object);
}

ComObject Handle(IUnknown* object) {
  return reinterpret_cast<ComObject>(object);
}

SAFEARRAY* Native(SafeArray array) {
  return reinterpret_cast<SAFEARRAY*>(array);
}

// Wide text as a BSTR for a call's duration.
class ScopedBstr {
 public:
  explicit ScopedBstr(const wchar_t* text)
      : text_(text != nullptr ? ::SysAllocString(text) : nullptr) {}
  ~ScopedBstr() { ::SysFreeString(text_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  BSTR get() const { return text_; }

 private:
  BSTR text_;
};

class SystemWmi final : public Wmi {
 public:
  HResult CoInitializeEx(uint32_t model) override { return ::CoInitializeEx(nullptr, model); }
  void CoUninitialize() override { ::CoUninitialize(); }
  HResult CoInitializeSecurity(const ComSecurity& security) override {
    return ::CoInitializeSecurity(nullptr, security.authentication_services, nullptr, nullptr,
                                  security.authentication_level, security.impersonation_level,
                                  nullptr, security.capabilities, nullptr);
  }
  HResult CreateLocator(ComObject* locator) override {
    IWbemLocator* created = nullptr;
    const HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IWbemLocator, reinterpret_cast<void**>(&created));
    *locator = SUCCEEDED(hr) ? Handle(created) : nullptr;
    return hr;
  }
  HResult ConnectServer(ComObject locator, const wchar_t* name_space,
                        ComObject* services) override {
    const ScopedBstr path(name_space);
    IWbemServices* connected = nullptr;
    const HRESULT hr = As<IWbemLocator>(locator)->ConnectServer(
        path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &connected);
    *services = SUCCEEDED(hr) ? Handle(connected) : nullptr;
    return hr;
  }
  HResult SetProxyBlanket(ComObject services, const ProxyBlanket& blanket) override {
    return ::CoSetProxyBlanket(As<IUnknown>(services), blanket.authentication_service,
                               blanket.authorization_service, nullptr, blanket.authentication_level,
                               blanket.impersonation_level, nullptr, blanket.capabilities);
  }
  HResult ExecQuery(ComObject services, const wchar_t* language, const wchar_t* query,
                    int32_t flags, ComObject* enumerator) override {
    const ScopedBstr wql(language);
    const ScopedBstr text(query);
    IEnumWbemClassObject* found = nullptr;
    const HRESULT hr =
        As<IWbemServices>(services)->ExecQuery(wql.get(), text.get(), flags, nullptr, &found);
    *enumerator = SUCCEEDED(hr) ? Handle(found) : nullptr;
    return hr;
  }
  HResult Next(ComObject enumerator, int32_t timeout, ComObject* object,
               uint32_t* returned) override {
    IWbemClassObject* next = nullptr;
    ULONG count = 0;
    const HRESULT hr = As<IEnumWbemClassObject>(enumerator)->Next(timeout, 1, &next, &count);
    *object = count == 1 ? Handle(next) : nullptr;
    *returned = count;
    return hr;
  }
  HResult GetObject(ComObject services, const wchar_t* path, ComObject* object) override {
    const ScopedBstr name(path);
    IWbemClassObject* found = nullptr;
    const HRESULT hr =
        As<IWbemServices>(services)->GetObject(name.get(), 0, nullptr, &found, nullptr);
    *object = SUCCEEDED(hr) ? Handle(found) : nullptr;
    return hr;
  }
  HResult Get(ComObject object, const wchar_t* name, Variant* value) override {
    VARIANT native;
    ::VariantInit(&native);
    const HRESULT hr = As<IWbemClassObject>(object)->Get(name, 0, &native, nullptr, nullptr);
    *value = Variant();
    if (SUCCEEDED(hr)) {
      value->type = native.vt;
      switch (native.vt) {
        case VT_BSTR:
          if (native.bstrVal != nullptr) {
            value->text.assign(native.bstrVal, ::SysStringLen(native.bstrVal));
          }
          break;
        case VT_I2:
          value->integer = native.iVal;
          break;
        case VT_I4:
          value->integer = native.lVal;
          break;
        case VT_UI1:
          value->integer = native.bVal;
          break;
        case VT_UI2:
          value->integer = native.uiVal;
          break;
        case VT_UI4:
          value->integer = native.ulVal;
          break;
        case VT_INT:
          value->integer = native.intVal;
          break;
        case VT_UINT:
          value->integer = native.uintVal;
          break;
        case VT_BOOL:
          value->integer = native.boolVal;
          break;
        default:
          break;  // arrays and the rest: the type tells what it was
      }
    }
    ::VariantClear(&native);
    return hr;
  }
  HResult Put(ComObject object, const wchar_t* name, const Variant& value, int32_t type) override {
    VARIANT native;
    ::VariantInit(&native);
    native.vt = value.type;
    if (value.type == VT_BSTR) {
      native.bstrVal = ::SysAllocString(value.text.c_str());
      if (native.bstrVal == nullptr) return E_OUTOFMEMORY;
    } else if (value.type == (VT_ARRAY | VT_BSTR)) {
      native.parray = Native(value.array);  // lent, not owned: no VariantClear below
    } else if (value.type == VT_UINT) {
      native.uintVal = static_cast<UINT>(value.integer);
    } else if (value.type == VT_I4) {
      native.lVal = static_cast<LONG>(value.integer);
    } else if (value.type != VT_NULL && value.type != VT_EMPTY) {
      return E_INVALIDARG;
    }
    const HRESULT hr = As<IWbemClassObject>(object)->Put(name, 0, &native, type);
    if (value.type == VT_BSTR) ::VariantClear(&native);
    return hr;
  }
  HResult GetMethod(ComObject class_object, const wchar_t* method,
                    ComObject* in_signature) override {
    IWbemClassObject* signature = nullptr;
    const HRESULT hr =
        As<IWbemClassObject>(class_object)->GetMethod(method, 0, &signature, nullptr);
    *in_signature = SUCCEEDED(hr) ? Handle(signature) : nullptr;
    return hr;
  }
  HResult SpawnInstance(ComObject class_object, ComObject* instance) override {
    IWbemClassObject* spawned = nullptr;
    const HRESULT hr = As<IWbemClassObject>(class_object)->SpawnInstance(0, &spawned);
    *instance = SUCCEEDED(hr) ? Handle(spawned) : nullptr;
    return hr;
  }
  HResult ExecMethod(ComObject services, const wchar_t* object_path, const wchar_t* method,
                     ComObject in, ComObject* out) override {
    const ScopedBstr path(object_path);
    const ScopedBstr name(method);
    IWbemClassObject* result = nullptr;
    const HRESULT hr = As<IWbemServices>(services)->ExecMethod(
        path.get(), name.get(), 0, nullptr, As<IWbemClassObject>(in),
        out != nullptr ? &result : nullptr, nullptr);
    if (out != nullptr) *out = SUCCEEDED(hr) ? Handle(result) : nullptr;
    return hr;
  }
  uint32_t Release(ComObject object) override { return As<IUnknown>(object)->Release(); }
  SafeArray SafeArrayCreateBstrVector(uint32_t count) override {
    return reinterpret_cast<SafeArray>(::SafeArrayCreateVector(VT_BSTR, 0, count));
  }
  HResult SafeArrayPutElement(SafeArray array, int32_t index, Bstr text) override {
    LONG at = index;
    return ::SafeArrayPutElement(Native(array), &at, text);
  }
  HResult SafeArrayDestroy(SafeArray array) override { return ::SafeArrayDestroy(Native(array)); }
  Bstr SysAllocString(const wchar_t* text) override { return ::SysAllocString(text); }
  void SysFreeString(Bstr text) override { ::SysFreeString(text); }
};

}  // namespace

Wmi& SystemWmi() {
  static class SystemWmi wmi;
  return wmi;
}

}  // namespace platform
