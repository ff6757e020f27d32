// Every fallible system call on the paths of CheckEnableAdapter, CheckKaerAdapterCfg and
// ResetKaerAdapterCfg, failed alone in turn: nothing crashes or stays held, the failure's log
// text is written and the result is the one that failure calls for.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "machine_fixture.h"
#include "modify_adapter_info.h"

namespace assist_test {
namespace {

using Operation = std::function<bool(assist::CModifyAdapterInfo&)>;

struct FailedCall {
  std::string name;
  size_t occurrence = 0;  // 1-based among the calls of that name
};

class TortureTest : public MachineTest {
 protected:
  // The calls of a run without failure.
  std::vector<std::string> Count(const std::string& scenario, const Operation& operation) {
    Load(scenario);
    {
      assist::CModifyAdapterInfo modify(machine_.Services());
      EXPECT_TRUE(operation(modify) || true);
    }
    return machine_.faults().log();
  }

  // Runs `operation` once per fallible call with only that call failed.
  void Torture(const std::string& scenario, const Operation& operation,
               const std::function<void(const FailedCall&, bool result, const TraceLog&)>& check) {
    const std::vector<std::string> calls = Count(scenario, operation);
    ASSERT_FALSE(calls.empty());
    std::map<std::string, size_t> seen;
    for (size_t number = 1; number <= calls.size(); ++number) {
      FailedCall failed{calls[number - 1], ++seen[calls[number - 1]]};
      SCOPED_TRACE(testing::Message()
                   << "call " << number << ": " << failed.name << " #" << failed.occurrence);
      TraceLog log;
      Load(scenario);
      machine_.faults().FailCallNumber(number);
      bool result = false;
      {
        assist::CModifyAdapterInfo modify(machine_.Services());
        result = operation(modify);
        EXPECT_EQ(platform::OpenRegistryHandleCountForTesting(), 0u);
        EXPECT_EQ(machine_.live_device_lists(), 0u);
      }
      EXPECT_EQ(machine_.faults().failed_call(), failed.name);
      ExpectNothingHeld();
      check(failed, result, log);
    }
  }
};

bool Is(const FailedCall& call, const char* name, size_t occurrence = 0) {
  return call.name == name && (occurrence == 0 || call.occurrence == occurrence);
}

// The device walk of the shipped scenarios: USB hub, wired adapter, phone. Whether a failure
// keeps the walk from reaching the phone.
bool WalkMisses(const FailedCall& call) {
  return Is(call, "SetupDiGetClassDevsW") || Is(call, "SetupDiEnumDeviceInfo") ||
         Is(call, "SetupDiClassNameFromGuidW", 3) || Is(call, "SetupDiGetDeviceInstanceIdW", 2);
}

TEST_F(TortureTest, CheckEnableAdapter) {
  Torture(
      "phone-configured", [](assist::CModifyAdapterInfo& m) { return m.CheckEnableAdapter(); },
      [](const FailedCall& call, bool result, const TraceLog& log) {
        EXPECT_EQ(result, !WalkMisses(call));
        if (Is(call, "SetupDiGetClassDevsW")) {
          EXPECT_EQ(log.Lines(),
                    std::vector<std::string>{"ERROR [0] CModifyAdapterInfo::CheckEnableAdapter: "
                                             "Err:8"});
        } else {
          EXPECT_EQ(log.ErrorCount(), 0u) << log.Text();
        }
      });
}

TEST_F(TortureTest, CheckKaerAdapterCfg) {
  Torture(
      "phone-configured", [](assist::CModifyAdapterInfo& m) { return m.CheckKaerAdapterCfg(); },
      [](const FailedCall& call, bool result, const TraceLog& log) {
        EXPECT_EQ(call.name, "GetAdaptersInfo");  // the size query and the read
        EXPECT_FALSE(result);
        EXPECT_TRUE(log.Lines().empty()) << log.Text();
      });
}

// The first asks use the x86 record sizes: one IP_ADAPTER_INFO (648 bytes), one FIXED_INFO (584);
// the shipped scenario's two adapters, and its second DNS server (one more IP_ADDR_STRING of 40
// bytes), then take exactly one more ask of the reported size.
TEST_F(TortureTest, TheFirstAsksUseTheRecordSizes) {
  EXPECT_EQ(Count("phone-configured",
                  [](assist::CModifyAdapterInfo& m) { return m.CheckKaerAdapterCfg(); }),
            (std::vector<std::string>{"GetAdaptersInfo", "GetAdaptersInfo"}));
  EXPECT_EQ(machine_.adapters_info_sizes(), (std::vector<uint32_t>{648, 2 * 648}));
  Count("phone-configured", [](assist::CModifyAdapterInfo& m) {
    assist::AdapterInfo info;
    return m.GetAdapterInfoByInstanceID(&info, assist::kPhoneInstancePrefix,
                                        assist::kPhoneAdapterDescription);
  });
  EXPECT_EQ(machine_.network_params_sizes(), (std::vector<uint32_t>{584, 584 + 40}));
}

TEST_F(TortureTest, ResetKaerAdapterCfg) {
  Torture(
      "phone-misconfigured",
      // As the program runs it: the check hands the adapter's GUID to the WMI part.
      [](assist::CModifyAdapterInfo& m) {
        EXPECT_FALSE(m.CheckKaerAdapterCfg());
        return m.ResetKaerAdapterCfg();
      },
      [this](const FailedCall& call, bool result, const TraceLog& log) {
        EXPECT_EQ(result, !WalkMisses(call));
        const std::string reset = "ERROR [0] CModifyAdapterInfo::ResetKaerAdapterCfg: ";
        const std::string exec = "ERROR [0] CAdapterCfg::ExecMethod: ";
        std::vector<std::string> errors;
        const std::vector<std::string> wmi_calls = {"CoInitializeEx",
                                                    "CoInitializeSecurity",
                                                    "CoCreateInstance",
                                                    "ConnectServer",
                                                    "CoSetProxyBlanket",
                                                    "ExecQuery",
                                                    "Next",
                                                    "GetObject",
                                                    "GetMethod",
                                                    "SpawnInstance",
                                                    "SafeArrayCreateVector",
                                                    "SafeArrayPutElement",
                                                    "SysAllocString"};
        if (Is(call, "RegOpenKeyExW", 1)) {
          errors = {"ERROR [0] CModifyAdapterInfo::SetAdapterInfo: RegOpenKeyEx Failed, Err:5",
                    reset + "Err:5"};
        } else if (Is(call, "RegOpenKeyExW", 6)) {
          errors = {"ERROR [0] CModifyAdapterInfo::SetRegeditAdapterInfo: Open adapter key err5!"};
        } else if (Is(call, "RegOpenKeyExW", 7)) {
          errors = {
              "ERROR [0] CModifyAdapterInfo::SetRegeditAdapterInfo: CRegKey open failed："
              "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\"
              "{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}, Err:5"};
        } else if (Is(call, "GetAdaptersInfo") ||
                   std::find(wmi_calls.begin(), wmi_calls.end(), call.name) != wmi_calls.end()) {
          errors = {reset + "AdaperCfg SetIPConfig Failed!"};
        } else if (Is(call, "ExecMethod")) {
          errors = {exec + "ExecMethod failed: -2147217407",
                    reset + "AdaperCfg SetIPConfig Failed!"};
        } else if (Is(call, "Get", 2) || Is(call, "Get", 3)) {
          errors = {exec + "ExecMethod Get ReturnValue failed!",
                    reset + "AdaperCfg SetIPConfig Failed!"};
        } else if (Is(call, "Get", 1)) {
          errors = {reset + "AdaperCfg SetIPConfig Failed!"};  // __PATH: no connection
        } else if (Is(call, "Put", 1) || Is(call, "Put", 2) || Is(call, "Put", 3)) {
          // A refused argument leaves it unset: WMI answers invalid input.
          errors = {exec + "Failed, result:68", reset + "AdaperCfg SetIPConfig Failed!"};
        } else if (Is(call, "SetupDiGetClassDevsW")) {
          errors = {"ERROR [0] CModifyAdapterInfo::ResetAdapterState: Err:8"};
        }
        std::vector<std::string> logged;
        for (const std::string& line : log.Lines()) {
          if (line.rfind("ERROR", 0) == 0) logged.push_back(line);
        }
        EXPECT_EQ(logged, errors);
        // A registry or WMI failure never stops the restart.
        if (!WalkMisses(call)) {
          EXPECT_EQ(machine_.slept_milliseconds(), 1000u);
        }
      });
}

}  // namespace
}  // namespace assist_test
