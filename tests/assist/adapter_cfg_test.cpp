// CAdapterCfg on the emulated machine: the connection steps, the method runner and its
// ReturnValue rule, the argument shapes of each method.
#include "adapter_cfg.h"

#include <gtest/gtest.h>

#include "machine_fixture.h"

namespace assist_test {
namespace {

using platform::EmulatedPut;

class AdapterCfgTest : public MachineTest {
 protected:
  void SetUp() override { Load("phone-misconfigured"); }
  std::vector<EmulatedPut> PutsOf(const std::wstring& method) {
    std::vector<EmulatedPut> puts;
    for (const EmulatedPut& put : machine_.com_calls().puts) {
      if (put.method == method) puts.push_back(put);
    }
    return puts;
  }
  platform::IpAdapter Listed(const std::string& guid) {
    uint32_t size = 1 << 16;
    std::vector<platform::IpAdapter> adapters;
    EXPECT_EQ(machine_.Services().ip->GetAdaptersInfo(&size, &adapters), 0u);
    for (const platform::IpAdapter& adapter : adapters) {
      if (adapter.name == guid) return adapter;
    }
    ADD_FAILURE() << "adapter not listed";
    return {};
  }
};

TEST_F(AdapterCfgTest, ConnectRunsTheStepsInOrderWithTheirValues) {
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID(kPhoneGuid);
  ASSERT_TRUE(cfg.ConnectWmi());
  EXPECT_EQ(machine_.faults().log(),
            (std::vector<std::string>{"CoInitializeEx", "CoInitializeSecurity", "CoCreateInstance",
                                      "ConnectServer", "CoSetProxyBlanket", "ExecQuery", "Next",
                                      "Get", "GetObject"}));
  const platform::EmulatedComCalls& calls = machine_.com_calls();
  EXPECT_EQ(calls.init_models, std::vector<uint32_t>{0u});
  ASSERT_EQ(calls.security.size(), 1u);
  EXPECT_EQ(calls.security[0].authentication_services, -1);
  EXPECT_EQ(calls.security[0].authentication_level, 0u);
  EXPECT_EQ(calls.security[0].impersonation_level, 3u);
  EXPECT_EQ(calls.security[0].capabilities, 0u);
  EXPECT_EQ(calls.namespaces, std::vector<std::wstring>{L"ROOT\\CIMV2"});
  ASSERT_EQ(calls.blankets.size(), 1u);
  EXPECT_EQ(calls.blankets[0].authentication_service, 10u);
  EXPECT_EQ(calls.blankets[0].authorization_service, 0u);
  EXPECT_EQ(calls.blankets[0].authentication_level, 3u);
  EXPECT_EQ(calls.blankets[0].impersonation_level, 3u);
  EXPECT_EQ(calls.query_languages, std::vector<std::wstring>{L"WQL"});
  EXPECT_EQ(calls.queries,
            std::vector<std::wstring>{L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE "
                                      L"SettingID = \"{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}\""});
  EXPECT_EQ(calls.query_flags, std::vector<int32_t>{0x30});
  EXPECT_EQ(calls.next_timeouts, std::vector<int32_t>{-1});
  EXPECT_EQ(calls.get_object_paths,
            std::vector<std::wstring>{L"Win32_NetworkAdapterConfiguration"});
  EXPECT_TRUE(cfg.ConnectWmi());  // connected: no step runs again
  EXPECT_EQ(machine_.faults().calls(), 9u);
  cfg.Disconnect();
  EXPECT_EQ(machine_.com_calls().releases,
            (std::vector<std::string>{"class", "instance", "enumerator", "services", "locator",
                                      "CoUninitialize"}));
  ExpectNothingHeld();
}

TEST_F(AdapterCfgTest, UnknownSettingIdFailsSilentlyAndKeepsNothingAfterDisconnect) {
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID("{00000000-0000-0000-0000-000000000000}");
  EXPECT_FALSE(cfg.ConnectWmi());
  EXPECT_FALSE(cfg.EnableStatic("192.168.225.21", "255.255.255.0"));
  EXPECT_TRUE(log_.Lines().empty());
  // The failed attempts hold COM and their objects until the next disconnect, not more.
  EXPECT_EQ(machine_.com_init_depth(), 1);
  cfg.Disconnect();
  ExpectNothingHeld();
}

TEST_F(AdapterCfgTest, AQuoteInTheSettingIdStaysInsideTheQueryString) {
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID("x\" OR SettingID <> \"");
  EXPECT_FALSE(cfg.ConnectWmi());
  EXPECT_EQ(machine_.com_calls().queries.back(),
            L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE SettingID = "
            L"\"x\\\" OR SettingID <> \\\"\"");
}

TEST_F(AdapterCfgTest, TwoOperationsConnectOnceAndSetSettingIdReconnects) {
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID(kPhoneGuid);
  EXPECT_TRUE(cfg.EnableStatic("192.168.225.21", "255.255.255.0"));
  EXPECT_TRUE(cfg.SetGateways("0.0.0.0"));
  EXPECT_EQ(machine_.faults().CountOf("CoInitializeEx"), 1u);
  EXPECT_EQ(machine_.faults().CountOf("ExecQuery"), 1u);

  cfg.SetSettingID(kPhoneGuid);
  EXPECT_FALSE(cfg.connected());
  EXPECT_EQ(machine_.com_init_depth(), 0);
  ASSERT_TRUE(cfg.SetDNSServers("192.168.225.1", ""));
  EXPECT_EQ(machine_.faults().CountOf("CoInitializeEx"), 2u);
  EXPECT_EQ(machine_.faults().CountOf("CoInitializeSecurity"), 2u);
  EXPECT_EQ(machine_.faults().CountOf("ExecQuery"), 2u);
  EXPECT_EQ(machine_.faults().CountOf("GetObject"), 2u);
  EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(AdapterCfgTest, SecurityAlreadySetIsNotAFailedConnection) {
  assist::CAdapterCfg first(machine_.Services().wmi);
  first.SetSettingID(kPhoneGuid);
  ASSERT_TRUE(first.ConnectWmi());
  first.Disconnect();
  assist::CAdapterCfg second(machine_.Services().wmi);
  second.SetSettingID(kPhoneGuid);
  EXPECT_TRUE(second.ConnectWmi());
  // The emulation answers the second call as Windows does.
  platform::Wmi* wmi = machine_.Services().wmi;
  EXPECT_EQ(wmi->CoInitializeSecurity(platform::ComSecurity{}), platform::kRpcETooLate);
}

TEST_F(AdapterCfgTest, AnotherApartmentModelOnTheThreadFailsTheConnection) {
  platform::Wmi* wmi = machine_.Services().wmi;
  ASSERT_EQ(wmi->CoInitializeEx(platform::kCoinitApartmentThreaded), platform::kSOk);
  {
    assist::CAdapterCfg cfg(wmi);
    cfg.SetSettingID(kPhoneGuid);
    EXPECT_FALSE(cfg.ConnectWmi());
  }
  // The failed CoInitializeEx was not answered by a CoUninitialize of the object.
  EXPECT_EQ(machine_.com_init_depth(), 1);
  wmi->CoUninitialize();
  ExpectNothingHeld();
}

TEST_F(AdapterCfgTest, SetIPConfigAppliesBothAndTheAdapterListShowsThem) {
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID(kPhoneGuid);
  ASSERT_TRUE(cfg.SetIPConfig("192.168.225.21", "255.255.255.0", "0.0.0.0"));
  const platform::IpAdapter adapter = Listed(kPhoneGuid);
  ASSERT_EQ(adapter.addresses.size(), 1u);
  EXPECT_EQ(adapter.addresses[0].address, "192.168.225.21");
  EXPECT_EQ(adapter.addresses[0].mask, "255.255.255.0");
  EXPECT_EQ(adapter.gateway, "0.0.0.0");
  EXPECT_EQ(Dword(kPhoneGuid, L"EnableDHCP"), 0u);
  EXPECT_EQ(Multi(kPhoneGuid, L"IPAddress"), std::vector<std::wstring>{L"192.168.225.21"});
  // Both methods ran on the instance's own __PATH.
  ASSERT_EQ(machine_.com_calls().methods.size(), 2u);
  for (const platform::EmulatedMethodCall& call : machine_.com_calls().methods) {
    EXPECT_EQ(call.path, L"\\\\KUVO-PC\\root\\cimv2:Win32_NetworkAdapterConfiguration.Index=2");
  }

  const std::vector<EmulatedPut> static_puts = PutsOf(L"EnableStatic");
  ASSERT_EQ(static_puts.size(), 2u);
  EXPECT_EQ(static_puts[0].name, L"IPAddress");
  EXPECT_EQ(static_puts[0].type, platform::kVtArray | platform::kVtBstr);
  EXPECT_EQ(static_puts[0].texts, std::vector<std::wstring>{L"192.168.225.21"});
  EXPECT_EQ(static_puts[1].name, L"SubnetMask");
  EXPECT_EQ(static_puts[1].texts, std::vector<std::wstring>{L"255.255.255.0"});
  const std::vector<EmulatedPut> gateway_puts = PutsOf(L"SetGateways");
  ASSERT_EQ(gateway_puts.size(), 2u);
  EXPECT_EQ(gateway_puts[0].name, L"DefaultIPGateway");
  EXPECT_EQ(gateway_puts[0].texts, std::vector<std::wstring>{L"0.0.0.0"});
  EXPECT_EQ(gateway_puts[1].name, L"GatewayCostMetric");
  EXPECT_EQ(gateway_puts[1].type, platform::kVtUint);  // a single value, not an array
  EXPECT_EQ(gateway_puts[1].integer, 9999);
  for (const EmulatedPut& put : machine_.com_calls().puts) EXPECT_EQ(put.put_type, 0);
  cfg.Disconnect();
  ExpectNothingHeld();
}

TEST_F(AdapterCfgTest, SetIPConfigSkipsSetGatewaysAfterAFailedEnableStatic) {
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID(kPhoneGuid);
  EXPECT_FALSE(cfg.SetIPConfig("192.168.225.300", "255.255.255.0", "0.0.0.0"));
  ASSERT_EQ(machine_.com_calls().methods.size(), 1u);
  EXPECT_EQ(machine_.com_calls().methods[0].method, L"EnableStatic");
  EXPECT_TRUE(log_.Has("ERROR [0] CAdapterCfg::ExecMethod: Failed, result:70"));
  EXPECT_EQ(machine_.faults().CountOf("GetMethod"), 1u);
}

TEST_F(AdapterCfgTest, ReturnValueOneIsSuccessAndSixtyFourIsLogged) {
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID(kPhoneGuid);
  machine_.ScriptMethodResult(L"EnableStatic", 1);
  EXPECT_TRUE(cfg.EnableStatic("192.168.225.21", "255.255.255.0"));
  EXPECT_TRUE(log_.Lines().empty());
  // In DHCP mode SetGateways is not supported: 64.
  EXPECT_TRUE(cfg.EnableDHCP());
  EXPECT_FALSE(cfg.SetGateways("192.168.225.1"));
  EXPECT_EQ(log_.Lines(),
            std::vector<std::string>{"ERROR [0] CAdapterCfg::ExecMethod: Failed, result:64"});
}

TEST_F(AdapterCfgTest, ExecMethodFailuresHaveTheirTexts) {
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID(kPhoneGuid);
  ASSERT_TRUE(cfg.ConnectWmi());
  machine_.faults().FailNamedCall("ExecMethod");
  EXPECT_FALSE(cfg.EnableDHCP());
  EXPECT_TRUE(log_.Has("ERROR [0] CAdapterCfg::ExecMethod: ExecMethod failed: -2147217407"));
  machine_.faults().FailNamedCall("Get");
  EXPECT_FALSE(cfg.EnableDHCP());
  EXPECT_TRUE(log_.Has("ERROR [0] CAdapterCfg::ExecMethod: ExecMethod Get ReturnValue failed!"));
  EXPECT_EQ(log_.ErrorCount(), 2u);
  cfg.Disconnect();
  ExpectNothingHeld();
}

TEST_F(AdapterCfgTest, ExecMethodTakesOverItsInputAndRefusesWhenNotConnected) {
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  platform::Wmi* wmi = machine_.Services().wmi;
  ASSERT_EQ(wmi->CoInitializeEx(0), platform::kSOk);
  platform::ComObject locator = nullptr;
  ASSERT_EQ(wmi->CreateLocator(&locator), platform::kSOk);
  EXPECT_FALSE(cfg.ExecMethod(L"EnableDHCP", locator));
  EXPECT_EQ(machine_.live_com_objects(), 0u);
  wmi->CoUninitialize();
}

TEST_F(AdapterCfgTest, DnsArgumentsFollowTheClearFlagAndTheSecondServer) {
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID(kPhoneGuid);
  EXPECT_TRUE(cfg.SetDNSServers("192.168.225.1", "8.8.8.8"));
  EXPECT_TRUE(cfg.SetDNSServers("192.168.225.1", ""));
  EXPECT_TRUE(cfg.ResetDNSServers());
  EXPECT_TRUE(cfg.SetDNSServerSearchOrder(true, "1.1.1.1", "2.2.2.2"));
  const std::vector<EmulatedPut> puts = PutsOf(L"SetDNSServerSearchOrder");
  ASSERT_EQ(puts.size(), 4u);
  EXPECT_EQ(puts[0].texts, (std::vector<std::wstring>{L"192.168.225.1", L"8.8.8.8"}));
  EXPECT_EQ(puts[1].texts, std::vector<std::wstring>{L"192.168.225.1"});
  EXPECT_EQ(puts[2].type, platform::kVtNull);
  EXPECT_EQ(puts[3].type, platform::kVtNull);
  EXPECT_TRUE(puts[3].texts.empty());
  EXPECT_TRUE(machine_.FindAdapter(kPhoneGuid)->dns.empty());
}

TEST_F(AdapterCfgTest, MakeBstrArrayHoldsOneCountedArrayOfUtf16Texts) {
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  {
    assist::SafeArrayHolder holder = cfg.MakeBstrArray({"a", "\xe7\xbd\x91\xe5\x8d\xa1"});
    ASSERT_TRUE(holder);
    {
      const assist::SafeArrayHolder copy = holder;
      EXPECT_EQ(copy.get(), holder.get());
      EXPECT_EQ(holder.use_count(), 2);
    }
    EXPECT_EQ(machine_.live_safe_arrays(), 1u);
    EXPECT_EQ(machine_.live_bstrs(), 0u);  // each BSTR was freed once the array had its copy
    machine_.Services().wmi->Put(nullptr, L"x", platform::Variant::BstrArray(holder.get()), 0);
    EXPECT_EQ(machine_.com_calls().puts.back().texts,
              (std::vector<std::wstring>{L"a", L"\u7f51\u5361"}));
  }
  EXPECT_EQ(machine_.live_safe_arrays(), 0u);
  machine_.faults().FailNamedCall("SafeArrayPutElement", 2);
  EXPECT_FALSE(cfg.MakeBstrArray({"a", "b", "c"}));
  EXPECT_EQ(machine_.live_safe_arrays(), 0u);
  EXPECT_EQ(machine_.live_bstrs(), 0u);
}

}  // namespace
}  // namespace assist_test
