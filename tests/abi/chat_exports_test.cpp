// KuvoChat's exports as a 32-bit host calls them: found by their plain names, called with the
// caller-cleans convention, 64-bit numbers in two slots (low half first) and bools in a slot of
// which only the low byte counts. Each call is made with hand-laid slots (slot_call.h), so a
// callee that pops its arguments or reads a slot out of place fails here.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "KuvoChat.h"
#include "kuvocore_control.h"
#include "peer_id.h"
#include "slot_call.h"
#include "tim/tim_control.h"

namespace abi_test {
namespace {

// The exports' types as the host's table gives them, with the convention spelled out.
using CreateNewSeqFn = uint64_t(__cdecl*)();
using GetTalkUnReadCntFn = int32_t(__cdecl*)(uint32_t, uint64_t);
using ReqWithdrawMsgFn = bool(__cdecl*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
using UnInitFn = void(__cdecl*)();

constexpr uint32_t kGroup = em_PK_G;
// Both halves non-zero, so a lost or swapped half changes the peer text.
constexpr uint64_t kPeerId = 0x0000000200000003ull;
constexpr uint64_t kAppId = 0x00000003000004d2ull;
constexpr uint64_t kUserId = 900100200300ull;

class ConnEvents final : public IConnCallBack {
 public:
  void OnConnEvent(int32_t code, std::string text) override {
    events.emplace_back(code, std::move(text));
  }
  std::vector<std::pair<int32_t, std::string>> events;  // runner thread only, read after Settle
};

class NoMessages final : public IMsgCallBack {
 public:
  void OnNewMsgs(const TimMsgList*) override {}
  void OnSendResult(bool, uint64_t, const tagTimMsgInfo*) override {}
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {}
};

class NoSessions final : public ISessionCallBack {
 public:
  void OnRecentList(const TimTalkList*) override {}
  void OnSessionChanged(const TimChangedPeers*) override {}
};

class ChatExportsAbi : public ::testing::Test {
 protected:
  void SetUp() override {
    tim_control::Reset();
    ASSERT_TRUE(Kuvocore_Startup());
    ASSERT_TRUE(KuvocoreTest_UseManualClock(true));
    library_ = GetModuleHandleW(L"KuvoChat.dll");
    ASSERT_NE(library_, nullptr);
    data_path_ = TempPath(L"kuvo_abi_chat");
  }
  void TearDown() override {
    Im_UnInit();
    Settle();
    EXPECT_EQ(tim_control::LiveHandleCount(), 0u);
    Kuvocore_Shutdown();
    tim_control::Reset();
  }

  static std::wstring TempPath(const wchar_t* stem) {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    return std::wstring(base) + stem + L"_" + std::to_wstring(GetCurrentProcessId()) + L"\\data";
  }

  void Settle() {
    for (int i = 0; i < 4; ++i) {
      tim_control::WaitIdle();
      KuvocoreTest_WaitRunnerIdle();
    }
  }

  const void* Export(const char* name) {
    return reinterpret_cast<const void*>(GetProcAddress(library_, name));
  }

  static std::string Peer(uint32_t kind, uint64_t id) { return kuvochat::MakePeer(kind, id).peer; }

  static std::vector<std::string> Args(const char* api) {
    const auto calls = tim_control::CallsNamed(api);
    return calls.empty() ? std::vector<std::string>{} : calls.back().args;
  }

  HMODULE library_ = nullptr;
  std::wstring data_path_;
};

TEST_F(ChatExportsAbi, ExportsAreFoundByTheirPlainNamesAndCalledAsTyped) {
  auto create_seq = As<CreateNewSeqFn>(GetProcAddress(library_, "Im_CreateNewSeq"));
  auto withdraw = As<ReqWithdrawMsgFn>(GetProcAddress(library_, "Im_ReqWithdrawMsg"));
  auto unread = As<GetTalkUnReadCntFn>(GetProcAddress(library_, "Im_GetTalkUnReadCnt"));
  auto uninit = As<UnInitFn>(GetProcAddress(library_, "Im_UnInit"));
  ASSERT_TRUE(create_seq && withdraw && unread && uninit);
  EXPECT_EQ(create_seq(), 1u);
  EXPECT_EQ(create_seq(), 2u);
  EXPECT_FALSE(withdraw(1, 2, 3, 4, 5, 6));
  EXPECT_EQ(unread(kGroup, kPeerId), 0);  // not initialised: 0
  uninit();
  EXPECT_EQ(create_seq(), 1u) << "a fresh manager after Im_UnInit";
}

#if defined(__i386__)
TEST_F(ChatExportsAbi, EveryExportLeavesItsArgumentsToTheCaller) {
  // Arguments chosen so that no call has an effect the others depend on.
  ConnEvents conn;
  NoMessages msgs;
  NoSessions sessions;
  const tagTimSendMsgInfo message{};
  const struct {
    const char* name;
    std::vector<uint32_t> slots;
  } calls[] = {
      {"Im_CreateNewSeq", {}},
      {"Im_GetMsgList", {kGroup, Lo(kPeerId), Hi(kPeerId), 10, 1, 0}},
      {"Im_GetRecentList", {}},
      {"Im_GetTalkUnReadCnt", {kGroup, Lo(kPeerId), Hi(kPeerId)}},
      {"Im_Loginout", {}},
      {"Im_NotifyReleaseData", {}},
      {"Im_RegConnCallBack", {Ptr(&conn)}},
      {"Im_RemoveConnCallBack", {Ptr(&conn)}},
      {"Im_RegMsgCallBack", {Ptr(&msgs)}},
      {"Im_RemoveMsgCallBack", {Ptr(&msgs)}},
      {"Im_RegSessionCallBack", {Ptr(&sessions)}},
      {"Im_RemoveSessionCallBack", {Ptr(&sessions)}},
      {"Im_RemoveTalk", {kGroup, Lo(kPeerId), Hi(kPeerId), 1}},
      {"Im_ReqWithdrawMsg", {1, 2, 3, 4, 5, 6}},
      {"Im_SendMsg", {Ptr(&message), 0, 0}},
      {"Im_SetReadMsg", {kGroup, Lo(kPeerId), Hi(kPeerId)}},
      {"Im_UnInit", {}},
  };
  for (const auto& call : calls) {
    const void* fn = Export(call.name);
    ASSERT_NE(fn, nullptr) << call.name;
    const SlotResult r = CallWithSlots(fn, call.slots);
    EXPECT_EQ(r.popped, 0) << call.name << " popped its own arguments";
  }
  // Init and Login are popped-checked in the tests below, where their arguments are read.
}

TEST_F(ChatExportsAbi, InitAndLoginReadBothHalvesOfTheirNumbers) {
  ConnEvents conn;
  EXPECT_EQ(CallWithSlots(Export("Im_RegConnCallBack"), {Ptr(&conn)}).popped, 0);

  // appId, the ignored 32-bit value, the path: a lost half would shift the path into the wrong
  // slot.
  SlotResult init = CallWithSlots(Export("Im_Init"),
                                  {Lo(kAppId), Hi(kAppId), 0xdeadbeef, Ptr(data_path_.c_str())});
  EXPECT_EQ(init.popped, 0);
  ASSERT_EQ(init.low_byte(), 1) << "Im_Init";
  const std::string narrow_path(data_path_.begin(), data_path_.end());
  EXPECT_EQ(Args("TIMSetPath"), std::vector<std::string>{narrow_path});

  // The strings travel as the C++ runtime passes class objects by value: by address, the
  // caller's copies.
  std::string account_type = "36862";
  std::string user_sig = "signature";
  SlotResult login = CallWithSlots(Export("Im_Login"),
                                   {Lo(kUserId), Hi(kUserId), Ptr(&account_type), Ptr(&user_sig)});
  EXPECT_EQ(login.popped, 0);
  ASSERT_EQ(login.low_byte(), 1) << "Im_Login";
  Settle();
  const std::vector<std::string> args = Args("TIMLogin");
  ASSERT_GE(args.size(), 4u);
  EXPECT_EQ(args[0], std::to_string(static_cast<int>(static_cast<uint32_t>(kAppId))));
  EXPECT_EQ(args[1], "36862");
  EXPECT_EQ(args[2], std::to_string(kAppId)) << "app id text from all 64 bits";
  EXPECT_EQ(args[3], std::to_string(kUserId)) << "user id text from all 64 bits";
  ASSERT_FALSE(conn.events.empty());
  EXPECT_EQ(conn.events.back(), std::make_pair(0, std::string("tim login success")));
  Im_RemoveConnCallBack(&conn);
}

TEST_F(ChatExportsAbi, ConversationExportsReadPeerNumbersFromTwoSlots) {
  ASSERT_TRUE(Im_Init(kAppId, 0, data_path_.c_str()));
  ASSERT_TRUE(Im_Login(kUserId, "36862", "signature"));
  Settle();
  const std::string peer = Peer(kGroup, kPeerId);
  ASSERT_FALSE(peer.empty());
  std::vector<tim_control::MessageShape> unread;
  for (int i = 0; i < 3; ++i) {
    unread.push_back(tim_control::CustomMessage(kCnvGroup, peer, "42", "YWJj"));
  }
  tim_control::StoreMessages(unread);

  SlotResult count =
      CallWithSlots(Export("Im_GetTalkUnReadCnt"), {kGroup, Lo(kPeerId), Hi(kPeerId)});
  EXPECT_EQ(count.popped, 0);
  EXPECT_EQ(count.eax, 3u);

  // Count and mode follow the 64-bit number; the result is a 64-bit request number.
  const uint64_t next = Im_CreateNewSeq() + 1;
  SlotResult list =
      CallWithSlots(Export("Im_GetMsgList"), {kGroup, Lo(kPeerId), Hi(kPeerId), 7, 1, 0});
  EXPECT_EQ(list.popped, 0);
  EXPECT_EQ(list.u64(), next);
  Settle();
  const std::vector<std::string> get = Args("SyncC2CRambleMsgs");
  ASSERT_GE(get.size(), 2u);
  EXPECT_EQ(get[1], "7");

  tim_control::ClearCallLog();
  EXPECT_EQ(CallWithSlots(Export("Im_SetReadMsg"), {kGroup, Lo(kPeerId), Hi(kPeerId)}).popped, 0);
  const std::vector<std::string> conv = Args("TIMGetConversation");
  ASSERT_GE(conv.size(), 3u);
  EXPECT_EQ(conv[2], peer);
  EXPECT_EQ(tim_control::StoredUnreadCount(kCnvGroup, peer), 0u);
}

TEST_F(ChatExportsAbi, BoolArgumentsCountOnlyTheirLowByte) {
  ASSERT_TRUE(Im_Init(kAppId, 0, data_path_.c_str()));
  ASSERT_TRUE(Im_Login(kUserId, "36862", "signature"));
  Settle();
  const std::string peer = Peer(kGroup, kPeerId);
  tim_control::StoreMessages({tim_control::CustomMessage(kCnvGroup, peer, "42", "YWJj")});

  // 0x100: false, whatever the upper bytes hold.
  SlotResult removed =
      CallWithSlots(Export("Im_RemoveTalk"), {kGroup, Lo(kPeerId), Hi(kPeerId), 0x00000100});
  EXPECT_EQ(removed.popped, 0);
  EXPECT_EQ(removed.low_byte(), 1) << "the SDK's delete result";
  EXPECT_EQ(tim_control::CountCalls("TIMDeleteConversation"), 1u);
  EXPECT_EQ(tim_control::CountCalls("TIMDeleteConversationAndMsgs"), 0u);

  tim_control::StoreMessages({tim_control::CustomMessage(kCnvGroup, peer, "42", "YWJj")});
  CallWithSlots(Export("Im_RemoveTalk"), {kGroup, Lo(kPeerId), Hi(kPeerId), 0xffffff01});
  EXPECT_EQ(tim_control::CountCalls("TIMDeleteConversationAndMsgs"), 1u);

  // Im_SendMsg(msg, onlineOnly, wrap): online only (low byte 1), not wrapped (low byte 0).
  tagTimSendMsgInfo info;
  info.cmd = 1001;
  info.peerKind = 9;
  info.peerId = 77;
  info.msgId = Im_CreateNewSeq();
  info.pushText = "push";
  info.payload = "abc";
  SlotResult sent = CallWithSlots(Export("Im_SendMsg"), {Ptr(&info), 0x12345601, 0xabcdef00});
  EXPECT_EQ(sent.popped, 0);
  EXPECT_EQ(sent.low_byte(), 1) << "send started";
  Settle();
  EXPECT_EQ(tim_control::CountCalls("SendOnlineMsg"), 1u);
  EXPECT_EQ(tim_control::CountCalls("SendMsg"), 0u);
  const std::vector<std::string> data = Args("SetCustomElemData");
  ASSERT_GE(data.size(), 2u);
  EXPECT_EQ(data[1], "YWJj") << "the payload as it was, base64-encoded, without a header";
}
#endif

}  // namespace
}  // namespace abi_test
