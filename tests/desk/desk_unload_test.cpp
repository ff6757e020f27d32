// Unloading KuvoDesk while its session window is open, as a host does (FreeLibrary, dlclose),
// from the window's thread and from another one: the close raises event 4 twice, a host that
// stops the session from it is served, no code of the library runs once it is gone, and a later
// load opens a session window again. The shipped library is loaded by name for these cases.
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>
#include <vector>

#include "desk_fixture.h"
#include "platform/dynamic_library.h"

namespace kuvo_test {
namespace {

using Events = std::vector<HostEvent>;

void Record(uint32_t user_data, int32_t code, std::wstring text) {
  if (g_host != nullptr) g_host->Add(user_data, code, std::move(text));
}

// The shipped library, loaded by name, with the exports these cases call.
class LoadedDesk {
 public:
  void Load() {
    library_ = platform::LoadLibraryByName(L"KuvoDesk.dll");
    ASSERT_NE(library_, nullptr);
    start_ = reinterpret_cast<decltype(start_)>(
        platform::FindExport(library_, "KuvoMasterStartSession"));
    stop_ =
        reinterpret_cast<decltype(stop_)>(platform::FindExport(library_, "KuvoMasterStopSession"));
    set_callback_ = reinterpret_cast<decltype(set_callback_)>(
        platform::FindExport(library_, "KuvoSetRemoteControlCallback"));
    ASSERT_TRUE(start_ != nullptr && stop_ != nullptr && set_callback_ != nullptr);
  }
  void Unload() {
    Release(library_);
    library_ = nullptr;
  }
  static void Release(platform::LibraryHandle library) {
#if defined(_WIN32)
    ::FreeLibrary(static_cast<HMODULE>(library));
#else
    ::dlclose(library);
#endif
  }
  void Start() const {
    start_("203.0.113.7:4118", "session-9", "");
  }
  void Stop() const {
    stop_();
  }
  void SetCallback() const {
    set_callback_(kUserData, &Record);
  }

 private:
  platform::LibraryHandle library_ = nullptr;
  decltype(&KuvoMasterStartSession) start_ = nullptr;
  decltype(&KuvoMasterStopSession) stop_ = nullptr;
  decltype(&KuvoSetRemoteControlCallback) set_callback_ = nullptr;
};

class UnloadTest : public DeskTest, public ::testing::WithParamInterface<bool> {
 protected:
  void TearDown() override {
    g_host->SetHook(nullptr);
    DeskTest::TearDown();
  }
  // The shipped library loaded, its window open on the window thread, a peer connected.
  void LoadAndConnect() {
    desk_.Load();
    desk_.SetCallback();
    window_thread_.Run([this] { desk_.Start(); });
    session_ = sl_control::LastRemoteSession();
    sl_control::RaiseRemoteEvent(session_, SLREMOTE_EVENT_CONNECTED);
    Settle();
    g_host->Clear();
  }
  // Unloads from the window's thread (parameter true) or from this one.
  void Unload(const std::string& what) {
    WithinOrDeadlock(what, [this] {
      if (GetParam()) {
        window_thread_.Run([this] { desk_.Unload(); });
      } else {
        desk_.Unload();
      }
    });
  }
  std::string From() const { return GetParam() ? "the window's thread" : "another thread"; }

  LoadedDesk desk_;
  SLSESSION session_ = SLSESSION_INVALID;
};

// Whichever thread unloads, the close is the window's (event 4 twice), the stop inside it is
// served, and the class goes with the library: the next load's window runs the next load's code.
TEST_P(UnloadTest, UnloadWhileTheHostStopsInEvent4ThenLoadAgain) {
  LoadAndConnect();
  bool stopped = false;  // window thread only
  g_host->SetHook([&](const HostEvent& event) {
    if (event.code != kRcMasterWindowClosed || stopped) return;
    stopped = true;
    desk_.Stop();
  });
  Unload("unload from " + From() + " while the host stops in event 4");
  g_host->SetHook(nullptr);
  EXPECT_EQ(g_host->events(), (Events{{kRcMasterWindowClosed, L""}, {kRcMasterWindowClosed, L""}}));
  EXPECT_FALSE(sl_control::RemoteSessionExists(session_));
  EXPECT_EQ(platform::LoadedLibraryByName(L"KuvoDesk.dll"), nullptr);
  EXPECT_EQ(windows_.RegisteredClassProcedure(L"KuvoRemote"), nullptr);

  g_host->Clear();
  LoadAndConnect();
  const auto window =
      reinterpret_cast<platform::WindowHandle>(sl_control::RemoteSessionWindow(session_));
  EXPECT_TRUE(windows_.IsLiveWindow(window));
  WithinOrDeadlock("a disconnect after loading again", [this] {
    sl_control::RaiseRemoteEvent(session_, SLREMOTE_EVENT_DISCONNECTED);
    Settle();
    window_thread_.Run([] {});
  });
  EXPECT_EQ(g_host->events(), (Events{{kRcMasterDisconnected, L"event=1"},
                                      {kRcMasterWindowClosed, L""},
                                      {kRcMasterWindowClosed, L""}}));
  EXPECT_FALSE(windows_.IsLiveWindow(window));
  Unload("unload again from " + From());
}

// A start from inside the tear-down's event 4 opens nothing: no window may outlive the library.
TEST_P(UnloadTest, StartFromTheTearDownsEvent4OpensNothing) {
  LoadAndConnect();
  const size_t created = sl_control::CallsNamed("SLCreateRemoteEmptySession").size();
  g_host->SetHook([&](const HostEvent& event) {
    if (event.code == kRcMasterWindowClosed) desk_.Start();
  });
  Unload("unload from " + From() + " while the host starts in event 4");
  g_host->SetHook(nullptr);
  EXPECT_EQ(g_host->events(), (Events{{kRcMasterWindowClosed, L""}, {kRcMasterWindowClosed, L""}}));
  EXPECT_EQ(sl_control::CallsNamed("SLCreateRemoteEmptySession").size(), created);
  EXPECT_EQ(windows_.RegisteredClassProcedure(L"KuvoRemote"), nullptr);
}

// The shipped library carries the five exports of KuvoDesk.h and nothing for tests.
TEST(DeskExportsTest, ShippedLibraryExportsTheFiveFunctionsOnly) {
  platform::LibraryHandle library = platform::LoadLibraryByName(L"KuvoDesk.dll");
  ASSERT_NE(library, nullptr);
  for (const char* name :
       {"KuvoMasterStartSession", "KuvoMasterStopSession", "KuvoSetRemoteControlCallback",
        "KuvoSlaveInitSession", "KuvoSlaveStopSession"}) {
    EXPECT_NE(platform::FindExport(library, name), nullptr) << name;
  }
  for (const char* name : {"KuvoDeskReloadForTesting", "KuvoDeskSessionWindowForTesting"}) {
    EXPECT_EQ(platform::FindExport(library, name), nullptr) << name;
  }
  LoadedDesk::Release(library);
}

INSTANTIATE_TEST_SUITE_P(FromEitherThread, UnloadTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? "WindowThread" : "OtherThread";
                         });

}  // namespace
}  // namespace kuvo_test
