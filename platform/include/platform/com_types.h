// Portable shapes of the COM values the WMI seam passes: HRESULTs, VARIANTs, BSTRs and
// SAFEARRAYs of BSTR.
//
// A Variant is a plain value: reading a property copies the text or number out of the system's
// VARIANT and clears that at once, so nothing in a Variant needs freeing. An array in a Variant
// is a SAFEARRAY made through Wmi::SafeArrayCreateBstrVector and owned by whoever made it; the
// Variant only refers to it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using HResult = int32_t;

constexpr bool Succeeded(HResult hr) {
  return hr >= 0;
}

constexpr HResult kSOk = 0;
constexpr HResult kSFalse = 1;
constexpr HResult kEPointer = static_cast<HResult>(0x80004003u);
constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
constexpr HResult kEOutOfMemory = static_cast<HResult>(0x8007000Eu);
constexpr HResult kEInvalidArg = static_cast<HResult>(0x80070057u);
constexpr HResult kRpcEChangedMode = static_cast<HResult>(0x80010106u);
constexpr HResult kRpcETooLate = static_cast<HResult>(0x80010119u);
constexpr HResult kCoENotInitialized = static_cast<HResult>(0x800401F0u);
constexpr HResult kDispEBadIndex = static_cast<HResult>(0x8002000Bu);
constexpr HResult kWbemSFalse = 1;
constexpr HResult kWbemEFailed = static_cast<HResult>(0x80041001u);
constexpr HResult kWbemENotFound = static_cast<HResult>(0x80041002u);
constexpr HResult kWbemEInvalidNamespace = static_cast<HResult>(0x8004100Eu);
constexpr HResult kWbemEInvalidQuery = static_cast<HResult>(0x80041017u);
constexpr HResult kWbemEInvalidMethod = static_cast<HResult>(0x8004102Eu);
constexpr HResult kWbemETypeMismatch = static_cast<HResult>(0x80041005u);

// VARTYPE values.
constexpr uint16_t kVtEmpty = 0;
constexpr uint16_t kVtNull = 1;
constexpr uint16_t kVtI2 = 2;
constexpr uint16_t kVtI4 = 3;
constexpr uint16_t kVtBstr = 8;
constexpr uint16_t kVtBool = 11;
constexpr uint16_t kVtUi1 = 17;
constexpr uint16_t kVtUi2 = 18;
constexpr uint16_t kVtUi4 = 19;
constexpr uint16_t kVtInt = 22;
constexpr uint16_t kVtUint = 23;
constexpr uint16_t kVtArray = 0x2000;

struct SafeArrayHandle;
using SafeArray = SafeArrayHandle*;

// A BSTR: wide text made by Wmi::SysAllocString, freed with Wmi::SysFreeString.
using Bstr = wchar_t*;

struct Variant {
  uint16_t type = kVtEmpty;
  int64_t integer = 0;        // the integer and boolean types
  std::wstring text;          // kVtBstr
  SafeArray array = nullptr;  // kVtArray | kVtBstr, not owned

  static Variant Null() {
    Variant value;
    value.type = kVtNull;
    return value;
  }
  static Variant Uint(uint32_t number) {
    Variant value;
    value.type = kVtUint;
    value.integer = number;
    return value;
  }
  static Variant Text(const std::wstring& text) {
    Variant value;
    value.type = kVtBstr;
    value.text = text;
    return value;
  }
  static Variant BstrArray(SafeArray array) {
    Variant value;
    value.type = kVtArray | kVtBstr;
    value.array = array;
    return value;
  }
  bool IsInteger() const {
    return type == kVtI2 || type == kVtI4 || type == kVtUi1 || type == kVtUi2 || type == kVtUi4 ||
           type == kVtInt || type == kVtUint || type == kVtBool;
  }
};

}  // namespace platform
