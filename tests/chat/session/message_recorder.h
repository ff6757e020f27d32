// Recording host callbacks for the message and conversation tests, a minimal protobuf wire
// reader (the session tests see payloads as a peer would: bytes, not generated classes), and a
// way to run code on the task runner's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "KuvoChat.h"

namespace kuvo_test {

// An ordered log shared by several recorders, to check the order of callbacks across
// interfaces.
class Timeline {
 public:
  void Add(const std::string& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(entry);
  }
  std::vector<std::string> entries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> entries_;
};

struct SendOutcome {
  bool ok = false;
  uint64_t seq = 0;
  tagTimMsgInfo msg;
};

struct PageOutcome {
  uint64_t seq = 0;
  bool has_list = false;
  std::vector<tagTimMsgInfo> msgs;
  bool reached_end = false;
};

class MessageRecorder final : public IMsgCallBack {
 public:
  explicit MessageRecorder(Timeline* timeline = nullptr) : timeline_(timeline) {}
  void OnNewMsgs(const TimMsgList* msgs) override {
    std::lock_guard<std::mutex> lock(mutex_);
    new_msgs_.insert(new_msgs_.end(), msgs->begin(), msgs->end());
  }
  void OnSendResult(bool sent, uint64_t seq, const tagTimMsgInfo* msg) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sends_.push_back({sent, seq, msg ? *msg : tagTimMsgInfo()});
    }
    if (timeline_) timeline_->Add("send:" + std::to_string(seq));
  }
  void OnMsgListResult(uint64_t seq, const TimMsgList* msgs, bool reachedEnd) override {
    PageOutcome page;
    page.seq = seq;
    page.has_list = msgs != nullptr;
    if (msgs) page.msgs.assign(msgs->begin(), msgs->end());
    page.reached_end = reachedEnd;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pages_.push_back(std::move(page));
    }
    if (timeline_) timeline_->Add("page:" + std::to_string(seq));
  }
  std::vector<SendOutcome> sends() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sends_;
  }
  std::vector<PageOutcome> pages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return pages_;
  }
  std::vector<tagTimMsgInfo> new_msgs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return new_msgs_;
  }

 private:
  Timeline* timeline_;
  std::mutex mutex_;
  std::vector<SendOutcome> sends_;
  std::vector<PageOutcome> pages_;
  std::vector<tagTimMsgInfo> new_msgs_;
};

class SessionRecorder final : public ISessionCallBack {
 public:
  void OnRecentList(const TimTalkList* talks) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lists_.emplace_back(talks->begin(), talks->end());
    list_threads_.push_back(std::this_thread::get_id());
  }
  void OnSessionChanged(const TimChangedPeers* changed) override {
    std::lock_guard<std::mutex> lock(mutex_);
    changes_.push_back(*changed);
  }
  std::vector<std::vector<tagTimTalkInfo>> lists() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lists_;
  }
  std::vector<std::thread::id> list_threads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return list_threads_;
  }
  std::vector<TimChangedPeers> changes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return changes_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::vector<tagTimTalkInfo>> lists_;
  std::vector<std::thread::id> list_threads_;
  std::vector<TimChangedPeers> changes_;
};

// One field of a protobuf record as it is on the wire.
struct WireField {
  int wire_type = -1;
  uint64_t varint = 0;  // wire type 0
  std::string bytes;    // wire type 2
};

// Reads a record of varint and length-delimited fields. False on any malformed or other field,
// or a field number seen twice.
bool ParseWire(const std::string& data, std::map<int, WireField>* fields);

// Runs `work` on the task runner's thread and waits for it to finish.
void RunOnRunner(const std::function<void()>& work);

// Standard base64 with padding, written independently of the library under test.
std::string Base64ForTest(const std::string& bytes);

}  // namespace kuvo_test
