#include "chat_session_fixture.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "base/runnable_function.h"
#include "base/task_runner.h"
#include "kuvocore_control.h"

namespace kuvo_test {

namespace {
class DebugOutputEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { DebugOutputReader::Install("chat_session_test"); }
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new DebugOutputEnvironment());
}  // namespace

void ChatSessionTest::SetUp() {
  tim_control::Reset();
  ASSERT_TRUE(Kuvocore_Startup());
  ASSERT_TRUE(KuvocoreTest_UseManualClock(true));
  DebugOutputReader::Clear();
}

void ChatSessionTest::TearDown() {
  Im_UnInit();
  Settle();
  EXPECT_TRUE(tim_control::Misuses().empty()) << tim_control::Misuses().front();
  EXPECT_EQ(tim_control::LiveHandleCount(), 0u);
  Kuvocore_Shutdown();
  tim_control::Reset();
}

void ChatSessionTest::Settle() {
  // SDK reports become runner tasks, and runner tasks may call the SDK again: go round until
  // both are quiet twice in a row.
  for (int i = 0; i < 4; ++i) {
    tim_control::WaitIdle();
    KuvocoreTest_WaitRunnerIdle();
  }
}

bool ChatSessionTest::Init() {
  return Im_Init(kAppId, 7, DataPath().c_str());
}

std::wstring ChatSessionTest::DataPath() {
#if defined(_WIN32)
  const std::string path = RunFolder() + "\\kuvochat_session\\data";
#else
  const std::string path = RunFolder() + "/kuvochat_session/data";
#endif
  return std::wstring(path.begin(), path.end());
}

struct RunnerBlocker::State {
  std::mutex mutex;
  std::condition_variable cv;
  bool entered = false;
  bool released = false;
};

namespace {
void BlockRunner(RunnerBlocker::State* state) {
  std::unique_lock<std::mutex> lock(state->mutex);
  state->entered = true;
  state->cv.notify_all();
  state->cv.wait(lock, [state] { return state->released; });
}
}  // namespace

RunnerBlocker::RunnerBlocker() : state_(new State) {
  void* object = nullptr;
  GetKuvocoreObject(kKuvocoreTaskRunner, &object);
  auto* runner = static_cast<Base::ITaskRunner*>(object);
  runner->PostTask(Base::NewRunnableFunction(&BlockRunner, state_));
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->cv.wait(lock, [this] { return state_->entered; });
}

RunnerBlocker::~RunnerBlocker() {
  Release();
  KuvocoreTest_WaitRunnerIdle();
  delete state_;
}

void RunnerBlocker::Release() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->released = true;
  state_->cv.notify_all();
}

void ChatSessionTest::LoginToLoggedIn() {
  Im_RegConnCallBack(&conn_);
  ASSERT_TRUE(Init());
  ASSERT_TRUE(Im_Login(kUserId, "36862", "signature"));
  Settle();
  auto events = conn_.events();
  ASSERT_FALSE(events.empty());
  ASSERT_EQ(events.back(), std::make_pair(0, std::string("tim login success")));
  conn_.clear();
}

bool ChatSessionTest::AdvanceClock(uint32_t ms) {
  const bool ok = KuvocoreTest_AdvanceClock(ms);
  Settle();
  return ok;
}

tim_control::MessageShape Custom(const std::string& peer, const std::string& data_base64,
                                 TIMConversationType type) {
  return tim_control::CustomMessage(type, peer, "42", data_base64, "a desc", "ext");
}

}  // namespace kuvo_test
