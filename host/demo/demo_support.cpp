// Demo section "support": the in-house libraries as the components reach them. Starts Kuvocore,
// logs through Kuvotrace into the product log folder and reads the line back, runs a task on
// Kuvocore's runner and a timer on its manual clock.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "base/runnable_function.h"
#include "base/task_runner.h"
#include "common/folders.h"
#include "common/kuvo_bindings.h"
#include "common/text_conversion.h"
#include "common/trace.h"
#include "demo_section.h"
#include "kuvocore_control.h"

namespace {

constexpr char kSection[] = "support";
constexpr uint32_t kUtf8 = 65001;

class DemoTimerSink final : public Timer::ITimerEvent {
 public:
  bool IsAlive() override { return true; }
  void OnTimer(uint32_t id) override {
    fired_id = id;
    on_other_thread = std::this_thread::get_id() != caller;
  }
  std::thread::id caller = std::this_thread::get_id();
  std::atomic<uint32_t> fired_id{0};
  std::atomic<bool> on_other_thread{false};
};

std::atomic<bool> g_task_ran_on_runner{false};
Base::ITaskRunner* g_runner = nullptr;

void RunnerTask() {
  g_task_ran_on_runner = g_runner && g_runner->IsCurrentThread();
}

std::string LastLine(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line, last;
  while (std::getline(in, line)) last = line;
  return last;
}

int ShowTrace() {
  const std::wstring folder = kuvo::GetLogFolder();
  demo::Say(kSection, "log folder: " + kuvo::WideToNarrow(folder.c_str(), kUtf8));
  if (folder.empty() || !std::filesystem::is_directory(folder)) return 1;
  const std::filesystem::path log = std::filesystem::path(folder) / L"KuvoDemo.log";
  if (!kuvo::Kuvotrace_Init(log.wstring().c_str())) {
    demo::Say(kSection, "Kuvotrace_Init failed");
    return 2;
  }
  kuvo::Kuvotrace_SetId(22521);
  kuvo::Kuvotrace_SetLevel(kuvo::kTraceLevelInfo);
  kuvo::TraceInfo(L"demo::ShowTrace", L"hello from %s, %d wide argument(s)", L"TraceInfo", 1);
  kuvo::Kuvotrace_UnInit();
  const std::string line = LastLine(log);
  demo::Say(kSection, "log line: " + line);
  return line.find("hello from TraceInfo, 1 wide argument(s)") == std::string::npos ? 3 : 0;
}

int ShowRunnerAndTimer() {
  void* object = nullptr;
  if (!kuvo::GetKuvocoreObject(2, &object) || !object) {
    demo::Say(kSection, "no task runner from Kuvocore");
    return 4;
  }
  g_runner = static_cast<Base::ITaskRunner*>(object);
  g_runner->PostTask(Base::NewRunnableFunction(&RunnerTask));
  KuvocoreTest_WaitRunnerIdle();
  demo::Say(kSection, std::string("task ran on the Kuvocore runner: ") +
                          (g_task_ran_on_runner ? "yes" : "no"));

  KuvocoreTest_UseManualClock(true);
  DemoTimerSink sink;
  const uint32_t id = kuvo::CreateTimerID();
  kuvo::StartTimerEx(id, 30000, &sink);
  KuvocoreTest_AdvanceClock(29999);
  demo::Say(kSection, "timer " + std::to_string(id) +
                          " after 29999 ms: " + (sink.fired_id ? "fired" : "waiting"));
  KuvocoreTest_AdvanceClock(1);
  demo::Say(kSection, "timer " + std::to_string(id) +
                          " after 30000 ms: " + (sink.fired_id == id ? "fired" : "waiting") +
                          (sink.on_other_thread ? " on the timer thread" : ""));
  kuvo::RemoveTimerCallBack(&sink);
  const bool ok = g_task_ran_on_runner && sink.fired_id == id && sink.on_other_thread;
  g_runner = nullptr;
  return ok ? 0 : 5;
}

int RunSupport(const demo::DemoArgs&) {
  if (!Kuvocore_Startup()) return 6;
  demo::Say(kSection, "Kuvocore started");
  int rc = ShowTrace();
  if (rc == 0) rc = ShowRunnerAndTimer();
  Kuvocore_Shutdown();
  demo::Say(kSection, "Kuvocore shut down");
  return rc;
}

const demo::DemoSection kSupport(
    10, kSection,
    "the in-house libraries as the components reach them: a log line through Kuvotrace, a task "
    "on Kuvocore's runner and a 30-second timer on its hand-driven clock.",
    &RunSupport);

}  // namespace
