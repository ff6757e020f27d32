// The remote-control SDK stand-in: what the components rely on it for.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "sl/sl_control.h"
#include "sl/slsdk.h"

namespace {

struct Seen {
  std::mutex mutex;
  std::condition_variable changed;
  std::thread::id thread;
  int event = -1;
  SLSESSION session = 0;
  bool release = false;
  bool entered = false;
};

void SLAPI OnRemote(SLREMOTE, SLSESSION session, int event, void* custom) {
  auto* seen = static_cast<Seen*>(custom);
  std::unique_lock<std::mutex> lock(seen->mutex);
  seen->thread = std::this_thread::get_id();
  seen->event = event;
  seen->session = session;
  seen->entered = true;
  seen->changed.notify_all();
  seen->changed.wait(lock, [seen] { return seen->release; });
}

class SlStandinTest : public ::testing::Test {
 protected:
  void SetUp() override { sl_control::Reset(); }
  void TearDown() override { sl_control::Reset(); }
};

TEST_F(SlStandinTest, HandlesNeedInitialisationAndFailuresAreScripted) {
  EXPECT_EQ(SLCreateRemote(), 0u);
  ASSERT_TRUE(SLInitialize());
  EXPECT_NE(SLCreateRemote(), 0u);
  sl_control::FailCall("SLCreateClient");
  EXPECT_EQ(SLCreateClient(), 0u);
  sl_control::FailCall("SLCreateClient", false);
  EXPECT_NE(SLCreateClient(), 0u);
  EXPECT_EQ(SLCreateRemoteEmptySession(0, 0), SLSESSION_INVALID);
  EXPECT_EQ(sl_control::CallsNamed("SLCreateClient").size(), 2u);
}

TEST_F(SlStandinTest, EventsRunOnTheirOwnThreadAndDestroyWaitsForTheRunningHandler) {
  ASSERT_TRUE(SLInitialize());
  Seen seen;
  const SLREMOTE remote = SLCreateRemote();
  ASSERT_TRUE(SLSetRemoteCallback(remote, &OnRemote, &seen));
  const SLSESSION session = SLCreateRemoteEmptySession(remote, 0);
  sl_control::RaiseRemoteEvent(session, 1);
  {
    std::unique_lock<std::mutex> lock(seen.mutex);
    seen.changed.wait(lock, [&] { return seen.entered; });
  }
  std::atomic<bool> destroyed{false};
  std::thread destroyer([&] { destroyed = SLDestroyRemoteSession(remote, session); });
  sl_control::WaitUntilCallWaitsForHandler();
  EXPECT_FALSE(destroyed.load());
  EXPECT_TRUE(sl_control::RemoteSessionExists(session));
  {
    std::lock_guard<std::mutex> lock(seen.mutex);
    seen.release = true;
    seen.changed.notify_all();
  }
  destroyer.join();
  EXPECT_TRUE(destroyed.load());
  EXPECT_NE(seen.thread, std::this_thread::get_id());
  EXPECT_EQ(seen.event, 1);
  EXPECT_EQ(seen.session, session);
}

TEST_F(SlStandinTest, ClientReportsItsAddressOnlyOnceLoggedIn) {
  ASSERT_TRUE(SLInitialize());
  const SLCLIENT client = SLCreateClient();
  sl_control::SetClientAddress("198.51.100.2:1");
  sl_control::SetSessionName("desk-A");
  ASSERT_TRUE(SLClientLoginWithOpenID(client, "openid", "key", "", true));
  EXPECT_STREQ(SLGetClientAddress(client), "");
  sl_control::RaiseClientEvent(SLCLIENT_EVENT_LOGINED);
  sl_control::WaitIdle();
  EXPECT_TRUE(SLClientIsOnLoginned(client));
  EXPECT_STREQ(SLGetClientAddress(client), "198.51.100.2:1");
  const SLSESSION session = SLCreateClientSession(client, 0);
  EXPECT_STREQ(SLGetClientSessionName(client, session), "desk-A");
  EXPECT_TRUE(SLClientLogout(client));
  EXPECT_FALSE(SLClientIsOnLoginned(client));
  const auto login = sl_control::CallsNamed("SLClientLoginWithOpenID");
  ASSERT_EQ(login.size(), 1u);
  EXPECT_EQ(login[0].args,
            (std::vector<std::string>{std::to_string(client), "openid", "key", "", "1"}));
}

struct ClientEvents {
  std::mutex mutex;
  std::vector<int> events;
};

void SLAPI OnClient(SLCLIENT, int event, void* custom) {
  auto* seen = static_cast<ClientEvents*>(custom);
  std::lock_guard<std::mutex> lock(seen->mutex);
  seen->events.push_back(event);
}

// A login as the controlled side makes it: the client, its login, its session named.
SLCLIENT LogInAndNameASession(ClientEvents* seen) {
  EXPECT_TRUE(SLInitialize());
  const SLCLIENT client = SLCreateClient();
  EXPECT_TRUE(SLSetClientCallback(client, &OnClient, seen));
  EXPECT_TRUE(SLClientLoginWithOpenID(client, "openid", "key", "", true));
  EXPECT_STREQ(SLGetClientSessionName(client, SLCreateClientSession(client, 0)), "desk-A");
  return client;
}

TEST_F(SlStandinTest, LoginCompletesByItselfOnceTheSessionIsNamedUnlessHeld) {
  const std::vector<int> logged_in = {SLCLIENT_EVENT_CONNECTED, SLCLIENT_EVENT_LOGINED};
  {
    ClientEvents seen;
    sl_control::SetSessionName("desk-A");
    const SLCLIENT client = LogInAndNameASession(&seen);
    sl_control::WaitIdle();
    EXPECT_EQ(seen.events, logged_in);
    EXPECT_TRUE(SLClientIsOnLoginned(client));
    EXPECT_STREQ(SLGetClientAddress(client), "203.0.113.7:4118");
    sl_control::WaitIdle();
    EXPECT_EQ(seen.events, logged_in);  // once only
  }
  {
    sl_control::Reset();
    sl_control::HoldLogins();
    ClientEvents seen;
    sl_control::SetSessionName("desk-A");
    const SLCLIENT client = LogInAndNameASession(&seen);
    sl_control::WaitIdle();
    EXPECT_TRUE(seen.events.empty());
    EXPECT_FALSE(SLClientIsOnLoginned(client));
  }
  {
    // Whenever the completion runs, a logout made after it was due wins.
    sl_control::Reset();
    ClientEvents seen;
    sl_control::SetSessionName("desk-A");
    const SLCLIENT client = LogInAndNameASession(&seen);
    EXPECT_TRUE(SLClientLogout(client));
    sl_control::WaitIdle();
    EXPECT_FALSE(SLClientIsOnLoginned(client));
  }
}

TEST_F(SlStandinTest, SessionCallbackOptionChecksItsSize) {
  ASSERT_TRUE(SLInitialize());
  const SLREMOTE remote = SLCreateRemote();
  const SLSESSION session = SLCreateRemoteEmptySession(remote, 0);
  SLSESSION_CALLBACK_PROP prop{nullptr, nullptr};
  EXPECT_FALSE(SLSetRemoteSessionOpt(remote, session, SLSESSION_OPT_CALLBACK, &prop, 3));
  EXPECT_TRUE(SLSetRemoteSessionOpt(remote, session, SLSESSION_OPT_CALLBACK, &prop, sizeof(prop)));
  EXPECT_FALSE(SLSetRemoteSessionOpt(remote, session, SLSESSION_OPT_WINDOW, nullptr, 4));
}

}  // namespace
