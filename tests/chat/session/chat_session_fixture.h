// Test fixture that drives KuvoChat through its exports like a host, against the IM SDK and
// Kuvocore stand-ins (Kuvocore on its manual clock), with recording callback interfaces.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "KuvoChat.h"
#include "debug_output_reader.h"
#include "tim/tim_control.h"

namespace kuvo_test {

constexpr uint64_t kAppId = 1400012345;
constexpr uint64_t kUserId = 900100200300;

class RecordingConn final : public IConnCallBack {
 public:
  void OnConnEvent(int32_t code, std::string text) override {
    std::function<void()> hook;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      events_.emplace_back(code, std::move(text));
      hook = on_event_;
    }
    if (hook) hook();
  }
  std::vector<std::pair<int32_t, std::string>> events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }
  // Runs inside every OnConnEvent (on the calling thread), after the event was recorded.
  void set_hook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    on_event_ = std::move(hook);
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<int32_t, std::string>> events_;
  std::function<void()> on_event_;
};

class RecordingMsg final : public IMsgCallBack {
 public:
  void OnNewMsgs(const TimMsgList* msgs) override {
    std::lock_guard<std::mutex> lock(mutex_);
    batches_.emplace_back(msgs->begin(), msgs->end());
  }
  void OnSendResult(bool, uint64_t, const tagTimMsgInfo*) override {}
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {}
  std::vector<std::vector<tagTimMsgInfo>> batches() {
    std::lock_guard<std::mutex> lock(mutex_);
    return batches_;
  }
  size_t total() {
    size_t n = 0;
    for (const auto& b : batches()) n += b.size();
    return n;
  }

 private:
  std::mutex mutex_;
  std::vector<std::vector<tagTimMsgInfo>> batches_;
};

class RecordingSession final : public ISessionCallBack {
 public:
  void OnRecentList(const TimTalkList*) override {}
  void OnSessionChanged(const TimChangedPeers* changed) override {
    std::lock_guard<std::mutex> lock(mutex_);
    changes_.push_back(*changed);
  }
  std::vector<TimChangedPeers> changes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return changes_;
  }

 private:
  std::mutex mutex_;
  std::vector<TimChangedPeers> changes_;
};

// Holds the task runner's thread inside a task until released, so that tests can line up
// reports behind it.
class RunnerBlocker {
 public:
  RunnerBlocker();
  ~RunnerBlocker();
  void Release();
  struct State;

 private:
  State* state_;
};

class ChatSessionTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Waits until the SDK's callback thread and the task runner have nothing left to do.
  void Settle();
  bool Init();
  // Init, login and the SDK's success outcome; the connection events are cleared afterwards.
  void LoginToLoggedIn();
  bool AdvanceClock(uint32_t ms);
  // A nested folder under the temp folder that Init creates.
  static std::wstring DataPath();

  RecordingConn conn_;
  RecordingMsg msg_;
};

// A message with one custom element, sent by user 42 in conversation `peer`.
tim_control::MessageShape Custom(const std::string& peer, const std::string& data_base64,
                                 TIMConversationType type = kCnvC2C);

}  // namespace kuvo_test
