// The module's registry script, run in registration or removal mode (the registrar's job).
//
// Script text: root keys (HKCR, HKCU, HKLM, HKU or their HKEY_ names), each followed by a
// braced block of keys. A key is a name (bare or in single quotes, '' for a quote), optionally
// preceded by NoRemove, ForceRemove or Delete, optionally followed by "= s 'text'" (its default
// value) and by a braced block of subkeys and values ("val Name = s 'text'" or "= d 123").
// "%NAME%" is replaced by the value given for NAME ("%%" is a '%').
//
// Registration creates the keys and sets the values (ForceRemove keys are deleted first, Delete
// keys are deleted); removal deletes every key that is not NoRemove, children first, and the
// values of NoRemove keys. Per user, HKCR is HKEY_CURRENT_USER\Software\Classes. The keys are
// those of platform::CurrentSystem().registry.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/com_types.h"

namespace assist {

using ScriptReplacements = std::vector<std::pair<std::wstring, std::wstring>>;

// S_OK, DISP_E_EXCEPTION for a script that cannot be parsed (nothing is changed then), or the
// registry's failure as an HRESULT.
platform::HResult RunRegistryScript(const std::wstring& script,
                                    const ScriptReplacements& replacements, bool do_register,
                                    bool per_user);

}  // namespace assist
