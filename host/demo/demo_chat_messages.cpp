// Demo section "chat-messages": KuvoChat's message side driven like a host against the IM SDK
// stand-in: a wrapped message is sent, comes back from the peer and its msgHeader is decoded;
// history is paged backward from the newest page; the recent conversations are listed, one is
// marked read and one removed.
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "KuvoChat.h"
#include "base64_encode.h"
#include "demo_chat_support.h"
#include "demo_section.h"
#include "kuvocore.h"
#include "kuvocore_control.h"
#include "tim/tim_control.h"

namespace {

constexpr char kSection[] = "chat-messages";

void Say(const std::string& text) {
  demo::Say(kSection, text);
}

// A host reads payloads with its own copy of the timmsgtype schema; the demo reads the six
// fields of a msgHeader straight from the wire to stay independent of any generated code.
bool DecodeHeader(const std::string& data, std::map<int, uint64_t>* numbers, std::string* buf) {
  size_t pos = 0;
  auto varint = [&](uint64_t* v) {
    *v = 0;
    for (int shift = 0; shift < 64 && pos < data.size(); shift += 7) {
      const auto b = static_cast<uint8_t>(data[pos++]);
      *v |= uint64_t{b & 0x7Fu} << shift;
      if ((b & 0x80) == 0) return true;
    }
    return false;
  };
  while (pos < data.size()) {
    uint64_t key = 0;
    if (!varint(&key)) return false;
    const int field = static_cast<int>(key >> 3);
    if ((key & 7) == 0) {
      uint64_t v = 0;
      if (!varint(&v)) return false;
      (*numbers)[field] = v;
    } else if ((key & 7) == 2 && field == 6) {
      uint64_t length = 0;
      if (!varint(&length) || length > data.size() - pos) return false;
      *buf = data.substr(pos, static_cast<size_t>(length));
      pos += static_cast<size_t>(length);
    } else {
      return false;
    }
  }
  return numbers->size() == 5;
}

// Payload text as it can be shown: binary payloads (a wrapped header) by their size.
std::string Shown(const std::string& content) {
  for (char c : content) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
      return "<" + std::to_string(content.size()) + " bytes>";
    }
  }
  return "\"" + content + "\"";
}

class DemoMsgs final : public IMsgCallBack {
 public:
  void OnNewMsgs(const TimMsgList* msgs) override {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.insert(received_.end(), msgs->begin(), msgs->end());
  }
  // May run before Im_SendMsg has returned: the line is printed once the send settled.
  void OnSendResult(bool sent, uint64_t seq, const tagTimMsgInfo* msg) override {
    std::lock_guard<std::mutex> lock(mutex_);
    send_result_ = "  OnSendResult sent=" + std::to_string(sent) + " seq=" + std::to_string(seq) +
                   " peer=" + msg->locator.peer + " status=" + std::to_string(msg->locator.status) +
                   " content=" + std::to_string(msg->content.size()) + " bytes";
    sent_content_ = msg->content;
  }
  void OnMsgListResult(uint64_t seq, const TimMsgList* msgs, bool reachedEnd) override {
    std::string line = "  OnMsgListResult seq=" + std::to_string(seq);
    if (msgs == nullptr) {
      Say(line + " failed");
      return;
    }
    line += " reachedEnd=" + std::to_string(reachedEnd) + ":";
    for (const auto& m : *msgs) line += " " + Shown(m.content);
    Say(line);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!msgs->empty()) oldest_ = msgs->front().locator;
  }
  std::vector<tagTimMsgInfo> received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  std::string sent_content() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_content_;
  }
  std::string send_result() {
    std::lock_guard<std::mutex> lock(mutex_);
    return send_result_;
  }
  tagTimMsgLocator oldest() {
    std::lock_guard<std::mutex> lock(mutex_);
    return oldest_;
  }

 private:
  std::mutex mutex_;
  std::vector<tagTimMsgInfo> received_;
  std::string sent_content_;
  std::string send_result_;
  tagTimMsgLocator oldest_;
};

class DemoSessions final : public ISessionCallBack {
 public:
  void OnRecentList(const TimTalkList* talks) override {
    Say("  OnRecentList, " + std::to_string(talks->size()) + " conversation(s):");
    for (const auto& t : *talks) {
      Say("    kind " + demo::PeerKindText(t.peerKind) + ", id " + std::to_string(t.peerId) +
          " unread " + std::to_string(t.unreadCount) + " last from " + std::to_string(t.senderId) +
          " \"" + t.lastDesc + "\"");
    }
  }
  void OnSessionChanged(const TimChangedPeers*) override {}
};

tim_control::MessageShape FromPeer(TIMConversationType type, const std::string& peer,
                                   const std::string& sender, const std::string& text) {
  return tim_control::CustomMessage(type, peer, sender, kuvochat::Base64Encode(text),
                                    "desc: " + text);
}

int RunChatMessages(const demo::DemoArgs&) {
  if (!Kuvocore_Startup()) return 1;
  KuvocoreTest_UseManualClock(true);
  tim_control::Reset();
  DemoMsgs msgs;
  DemoSessions sessions;
  Im_RegMsgCallBack(&msgs);
  Im_RegSessionCallBack(&sessions);
  if (!Im_Init(1400012345, 0, demo::ChatDataFolder("kuvo_demo_chat_messages").c_str())) return 2;
  if (!Im_Login(900100200300ull, "36862", "demo-signature")) return 3;
  demo::SettleChat();
  Im_NotifyReleaseData();

  // Earlier history with user 100, and other conversations for the recent list.
  std::vector<tim_control::MessageShape> history;
  for (int i = 1; i <= 5; ++i) {
    history.push_back(FromPeer(kCnvC2C, "100", "100", "history " + std::to_string(i)));
  }
  tim_control::StoreMessages(history);
  tim_control::StoreMessages({FromPeer(kCnvGroup, "G7", "101", "group note"),
                              FromPeer(kCnvGroup, "matter_discuss_9", "102", "task comment"),
                              FromPeer(kCnvC2C, "cscmd_3", "cscmd_3", "service command")});

  tagTimSendMsgInfo out;
  out.cmd = 1001;  // em_CT_GENERAL_MSG
  out.peerKind = 9;
  out.peerId = 100;
  out.msgId = Im_CreateNewSeq();
  out.pushText = "You have a new message";
  out.payload = "hello from the demo";
  Say("Im_SendMsg to user 100, wrapped, msgId " + std::to_string(out.msgId) + ": " +
      std::string(Im_SendMsg(&out, false, true) ? "started" : "refused"));
  demo::SettleChat();
  Say(msgs.send_result());

  Say("the peer sends the same payload back");
  tim_control::DeliverNewMessages({tim_control::CustomMessage(
      kCnvC2C, "100", "100", kuvochat::Base64Encode(msgs.sent_content()),
      "echo of the wrapped message")});
  demo::SettleChat();
  const auto received = msgs.received();
  if (received.size() != 1) return 4;
  std::map<int, uint64_t> header;
  std::string buf;
  if (!DecodeHeader(received[0].content, &header, &buf)) return 5;
  Say("  OnNewMsgs from " + received[0].locator.sender +
      ", msgHeader: cmd=" + std::to_string(header[1]) + " seq=" + std::to_string(header[2]) +
      " clientVersion=" + std::to_string(header[3]) + " platform=" + std::to_string(header[4]) +
      " lcid=" + std::to_string(header[5]) + " buf=\"" + buf + "\"");

  Say("Im_GetMsgList user 100, newest 3 (mode 1)");
  Im_GetMsgList(9, 100, 3, 1, nullptr);
  demo::SettleChat();
  const tagTimMsgLocator anchor = msgs.oldest();
  Say("Im_GetMsgList user 100, 3 older than the message of seq " + std::to_string(anchor.seq) +
      " (mode 3)");
  Im_GetMsgList(9, 100, 3, 3, &anchor);
  demo::SettleChat();

  Say("Im_GetRecentList (the service conversation cscmd_3 is not listed)");
  Im_GetRecentList();
  Say("Im_GetTalkUnReadCnt G7: " + std::to_string(Im_GetTalkUnReadCnt(1, 7)));
  Im_SetReadMsg(1, 7);
  Say("after Im_SetReadMsg G7: " + std::to_string(Im_GetTalkUnReadCnt(1, 7)));
  Say("Im_RemoveTalk matter_discuss_9 with messages: " +
      std::to_string(Im_RemoveTalk(50, 9, true)));
  Im_GetRecentList();

  Im_UnInit();
  demo::SettleChat();
  const size_t live = tim_control::LiveHandleCount();
  Kuvocore_Shutdown();
  Say("SDK handles left alive: " + std::to_string(live));
  return live == 0 && buf == out.payload ? 0 : 6;
}

const demo::DemoSection kChatMessagesSection(
    21, kSection,
    "KuvoChat's message side: a wrapped message sent and echoed back, history paged backward, "
    "the recent conversations listed, one marked read and one removed.",
    &RunChatMessages);

}  // namespace
