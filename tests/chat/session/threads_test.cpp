// Exports on several host threads racing the runner's fan-outs and the SDK's threads. Run under
// ThreadSanitizer; the assertions check that nothing is lost or reordered meanwhile.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "chat_session_fixture.h"

namespace kuvo_test {
namespace {

TEST_F(ChatSessionTest, RegistrationsRaceFanOutsSafely) {
  LoginToLoggedIn();
  constexpr int kRounds = 200;
  std::atomic<bool> stop{false};
  std::vector<std::thread> hosts;
  for (int t = 0; t < 3; ++t) {
    hosts.emplace_back([&stop] {
      RecordingConn local;
      while (!stop.load()) {
        Im_RegConnCallBack(&local);
        Im_RemoveConnCallBack(&local);
      }
    });
  }
  for (int i = 0; i < kRounds; ++i) tim_control::RaiseRefresh();
  Settle();
  stop = true;
  for (auto& h : hosts) h.join();
  // The callback registered throughout saw every event.
  EXPECT_EQ(conn_.events().size(), static_cast<size_t>(kRounds));
}

TEST_F(ChatSessionTest, ReleaseRacingArrivalsKeepsEveryMessageInOrder) {
  Im_RegMsgCallBack(&msg_);
  LoginToLoggedIn();
  constexpr int kMessages = 60;
  std::thread sdk([] {
    for (int i = 0; i < kMessages; ++i) {
      // Two base64 characters give one byte: sextet i, then 0, decode to i << 2.
      static const char* const kAlphabet =
          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
      std::string data = "AA";
      data[0] = kAlphabet[i];
      tim_control::DeliverNewMessages({Custom("100", data)});
    }
  });
  std::thread host([] {
    for (int i = 0; i < 20; ++i) Im_NotifyReleaseData();
  });
  sdk.join();
  host.join();
  Settle();
  Im_NotifyReleaseData();
  std::vector<int> order;
  for (const auto& batch : msg_.batches()) {
    for (const auto& m : batch) {
      ASSERT_EQ(m.content.size(), 1u);
      order.push_back(static_cast<unsigned char>(m.content[0]) >> 2);
    }
  }
  ASSERT_EQ(order.size(), static_cast<size_t>(kMessages));
  for (int i = 0; i < kMessages; ++i) EXPECT_EQ(order[i], i) << i;
}

TEST_F(ChatSessionTest, LoginAndLogoutFromSeveralThreadsLeaveAConsistentState) {
  ASSERT_TRUE(Init());
  std::vector<std::thread> hosts;
  for (int t = 0; t < 4; ++t) {
    hosts.emplace_back([] {
      for (int i = 0; i < 25; ++i) {
        Im_Login(kUserId, "36862", "sig");
        Im_Loginout();
      }
    });
  }
  for (auto& h : hosts) h.join();
  Settle();
  Im_Loginout();
  Settle();
  EXPECT_TRUE(Im_Login(kUserId, "36862", "sig"));
}

}  // namespace
}  // namespace kuvo_test
