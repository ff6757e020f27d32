// The module's registry script runner on any text, in both modes, against the emulated registry:
// it must not crash or hang, and a script it refuses must leave the registry as it was.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/com_module_services.h"
#include "platform/com_types.h"
#include "platform/testing/registry_emulation.h"
#include "registry_script.h"

namespace {

const assist::ScriptReplacements kReplacements = {
    {L"MODULE", L"C:\\Program Files\\Kuvo\\KuvoAssist.exe"},
    {L"MODULE_RAW", L"C:\\Program Files\\Kuvo\\KuvoAssist.exe"},
    {L"APPID", L"{5B2C8E4A-1D3F-4A6B-9C7E-0F1A2B3C4D5E}"}};

void RunChecked(const std::wstring& script, bool do_register, bool per_user) {
  const std::string before = platform::DumpRegistryForTesting();
  const platform::HResult result =
      assist::RunRegistryScript(script, kReplacements, do_register, per_user);
  if (result == platform::kDispEException && platform::DumpRegistryForTesting() != before) {
    std::fprintf(stderr, "a refused script changed the registry\n");
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The script a byte a character; odd lengths run per user.
  const bool per_user = size % 2 == 1;
  const std::wstring script(data, data + size);
  platform::ResetRegistryForTesting();
  RunChecked(script, true, per_user);
  RunChecked(script, false, per_user);
  return 0;
}
