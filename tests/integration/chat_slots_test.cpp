// KuvoChat calls each host operation at the slot the published table gives it, for a host that
// declares its interfaces from that table alone (slot_host_interfaces.h).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kuvocore.h"
#include "kuvocore_control.h"
#include "slot_host_interfaces.h"
#include "slot_log.h"
#include "temp_folder.h"
#include "tim/tim_control.h"

namespace slot_host {
namespace {

constexpr uint32_t kKindUser = 9;  // a one-to-one peer whose text is its number
constexpr uint64_t kPeer = 5;

std::string Contents(const std::list<tagTimMsgInfo>& msgs) {
  std::string out;
  for (const auto& m : msgs) out += "[" + m.content + "]";
  return out;
}

class HostConn final : public IConnCallBack {
 public:
  explicit HostConn(SlotLog* log) : log_(log) {}
  void FirstSlot() override { log_->Enter("IConnCallBack slot 1"); }
  void OnConnEvent(int32_t code, std::string text) override {
    if (!log_->Enter("OnConnEvent")) return;
    log_->Add("OnConnEvent " + std::to_string(code) + " " + text);
  }
  virtual void Slot3() { log_->Enter("IConnCallBack slot 3"); }
  virtual void Slot4() { log_->Enter("IConnCallBack slot 4"); }

 private:
  SlotLog* log_;
};

class HostMsg final : public IMsgCallBack {
 public:
  explicit HostMsg(SlotLog* log) : log_(log) {}
  void FirstSlot() override { log_->Enter("IMsgCallBack slot 1"); }
  void OnNewMsgs(const std::list<tagTimMsgInfo>* msgs) override {
    if (!log_->Enter("OnNewMsgs")) return;
    log_->Add("OnNewMsgs " + Contents(*msgs));
  }
  void OnSendResult(bool sent, uint64_t seq, const tagTimMsgInfo* msg) override {
    if (!log_->Enter("OnSendResult")) return;
    log_->Add("OnSendResult " + std::to_string(sent) + " " + std::to_string(seq) + " " +
              msg->content + " " + msg->desc);
  }
  void OnMsgListResult(uint64_t seq, const std::list<tagTimMsgInfo>* msgs,
                       bool reachedEnd) override {
    if (!log_->Enter("OnMsgListResult")) return;
    log_->Add("OnMsgListResult " + std::to_string(seq) + " " + (msgs ? Contents(*msgs) : "null") +
              " " + std::to_string(reachedEnd));
  }
  virtual void Slot5() { log_->Enter("IMsgCallBack slot 5"); }
  virtual void Slot6() { log_->Enter("IMsgCallBack slot 6"); }

 private:
  SlotLog* log_;
};

class HostSession final : public ISessionCallBack {
 public:
  explicit HostSession(SlotLog* log) : log_(log) {}
  void FirstSlot() override { log_->Enter("ISessionCallBack slot 1"); }
  void OnRecentList(const std::list<tagTimTalkInfo>* talks) override {
    if (!log_->Enter("OnRecentList")) return;
    std::string line = "OnRecentList";
    for (const auto& t : *talks) {
      line += " " + std::to_string(t.peerKind) + ":" + std::to_string(t.peerId) + ":" + t.lastDesc;
    }
    log_->Add(line);
  }
  void OnSessionChanged(const std::map<uint64_t, uint32_t>* peers) override {
    if (!log_->Enter("OnSessionChanged")) return;
    std::string line = "OnSessionChanged";
    for (const auto& [id, kind] : *peers)
      line += " " + std::to_string(id) + ":" + std::to_string(kind);
    log_->Add(line);
  }
  virtual void Slot4() { log_->Enter("ISessionCallBack slot 4"); }
  virtual void Slot5() { log_->Enter("ISessionCallBack slot 5"); }

 private:
  SlotLog* log_;
};

using Lines = std::vector<std::string>;

class ChatSlotsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tim_control::Reset();
    ASSERT_TRUE(Kuvocore_Startup());
    Im_RegConnCallBack(&conn_);
    Im_RegMsgCallBack(&msg_);
    Im_RegSessionCallBack(&session_);
    log_.Expect("OnConnEvent");
    ASSERT_TRUE(Im_Init(1400012345, 0, folder_.wide().c_str()));
    ASSERT_TRUE(Im_Login(900100200300, "36862", "signature"));
    Settle();
    EXPECT_EQ(log_.Take(), Lines({"OnConnEvent 0 tim login success"}));
  }
  void TearDown() override {
    Im_UnInit();
    Settle();
    EXPECT_EQ(log_.Take(), Lines());
    Kuvocore_Shutdown();
    tim_control::Reset();
  }
  static void Settle() {
    for (int i = 0; i < 4; ++i) {
      tim_control::WaitIdle();
      KuvocoreTest_WaitRunnerIdle();
    }
  }

  kuvo_test::TempFolder folder_;
  SlotLog log_;
  HostConn conn_{&log_};
  HostMsg msg_{&log_};
  HostSession session_{&log_};
};

TEST_F(ChatSlotsTest, ConnectionEventArrivesAtSlot2) {
  log_.Expect("OnConnEvent");
  tim_control::RaiseRefresh();
  Settle();
  EXPECT_EQ(log_.Take(), Lines({"OnConnEvent 1 tim data refresh success"}));
}

TEST_F(ChatSlotsTest, MessageOperationsArriveAtSlots2To4) {
  log_.Expect("OnNewMsgs");
  Im_NotifyReleaseData();
  tim_control::DeliverNewMessages(
      {tim_control::CustomMessage(kCnvC2C, std::to_string(kPeer), "42", "YWJj", "d", "")});
  Settle();
  EXPECT_EQ(log_.Take(), Lines({"OnNewMsgs [abc]"}));

  log_.Expect("OnSendResult");
  tagTimSendMsgInfo send;
  send.peerKind = kKindUser;
  send.peerId = kPeer;
  send.msgId = Im_CreateNewSeq();
  send.pushText = "push";
  send.payload = "xyz";
  ASSERT_TRUE(Im_SendMsg(&send, false, false));
  Settle();
  EXPECT_EQ(log_.Take(), Lines({"OnSendResult 1 " + std::to_string(send.msgId) + " xyz push"}));

  log_.Expect("OnMsgListResult");
  const uint64_t seq = Im_GetMsgList(kKindUser, kPeer, 2, 1, nullptr);
  ASSERT_NE(seq, 0u);
  Settle();
  EXPECT_EQ(log_.Take(), Lines({"OnMsgListResult " + std::to_string(seq) + " [abc][xyz] 0"}));
}

TEST_F(ChatSlotsTest, SessionOperationsArriveAtSlots2And3) {
  tim_control::StoreMessages(
      {tim_control::CustomMessage(kCnvC2C, std::to_string(kPeer), "42", "YWJj", "last", "")});
  log_.Expect("OnRecentList");
  Im_GetRecentList();
  EXPECT_EQ(log_.Take(), Lines({"OnRecentList 9:5:last"}));

  log_.Expect("OnSessionChanged");
  tim_control::RaiseConversationRefresh({{kCnvC2C, std::to_string(kPeer)}});
  Settle();
  EXPECT_EQ(log_.Take(), Lines({"OnSessionChanged 5:9"}));
}

}  // namespace
}  // namespace slot_host
