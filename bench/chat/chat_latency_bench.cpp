// chat_latency_bench: how long an SDK report takes to reach the host, the latency a user feels.
// Measured from the moment the IM SDK stand-in calls the routine registered with it (on its own
// callback thread) to the moment the host's OnNewMsgs or OnConnEvent is entered on the Kuvocore
// runner's thread, for one event at a time (the next is raised once the last has arrived), so
// that no event waits behind another.
//
// Three sides, measured alike and interleaved event by event (the order rotates):
//   runner    the routine only posts an empty task to the runner: its own post-to-run latency,
//             the least any client that hands its reports to the runner can achieve
//   floor     FloorClient (floor_client.h): the straight-line client doing the work the library's
//             job requires (for a message: convert it on the SDK's thread, base64 included)
//   KuvoChat  the library's own routine, through to the host's callback
// Messages carry a 1 KB payload; connection events are "connected" reports while logged in,
// which reach the host as event 0 "tim connect success".
//
// Each round gives p50 and p99 per side; the figures are KuvoChat's p99 (and p50) over the
// runner's, as the median over rounds with the range, and each side's percentiles as medians.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "KuvoChat.h"
#include "base/runnable_task.h"
#include "base/smart_ptr.h"
#include "base/task_runner.h"
#include "base64_encode.h"
#include "bench_args.h"
#include "floor_client.h"
#include "kuvo_host/kuvocore_runner.h"
#include "kuvocore.h"
#include "kuvocore_control.h"
#include "paired_ratio.h"
#include "temp_folder.h"
#include "tim/tim_c.h"
#include "tim/tim_control.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kUsage[] =
    "chat_latency_bench [events-per-side [rounds]]\n"
    "  events-per-side  100..10000000, default 10000 (per round, kind of event and side)\n"
    "  rounds           1..100, default 5\n"
    "Prints p50 and p99 of the time from the SDK's callback to OnNewMsgs and to OnConnEvent,\n"
    "for KuvoChat, the floor client and the runner's own post-to-run, and KuvoChat / runner as\n"
    "the median over rounds with its range; exits 1 on a wrong or missing delivery.\n";

enum Side { kRunner = 0, kFloor = 1, kKuvoChat = 2, kSides = 3 };
const char* const kSideNames[kSides] = {"runner", "floor", "KuvoChat"};

std::atomic<int> g_side{kRunner};
Clock::time_point g_raised;  // written on the SDK's thread before the report is passed on
std::atomic<bool> g_wrong{false};

// One event in flight: the arrival records its latency and wakes the main thread.
class Arrival {
 public:
  void Expect() {
    std::lock_guard<std::mutex> lock(mutex_);
    arrived_ = false;
  }
  void Arrive() {
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - g_raised).count();
    std::lock_guard<std::mutex> lock(mutex_);
    if (arrived_) g_wrong = true;  // one event, one arrival
    latency_us_ = us;
    arrived_ = true;
    cv_.notify_all();
  }
  double Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [&] { return arrived_; });
    return latency_us_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool arrived_ = true;
  double latency_us_ = 0;
};

Arrival g_arrival;

class BenchHost final : public IMsgCallBack, public IConnCallBack {
 public:
  void OnNewMsgs(const TimMsgList* msgs) override {
    g_arrival.Arrive();
    if (msgs->size() != 1 || msgs->front().content.size() != 1024) g_wrong = true;
  }
  void OnSendResult(bool, uint64_t, const tagTimMsgInfo*) override {}
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {}
  void OnConnEvent(int32_t code, std::string text) override {
    g_arrival.Arrive();
    if (code != 0 || text != "tim connect success") g_wrong = true;
  }
};

class ArrivalTask : public Base::CSmartRefImpl<Base::CRunnableTask> {
 public:
  void Run() override { g_arrival.Arrive(); }
};

Base::ITaskRunner* g_runner = nullptr;
TIMMessageCB* g_routines_msg[kSides] = {};
TIMConnCB* g_routines_conn[kSides] = {};

void PostArrival() {
  g_runner->PostTask(Base::CSmartPtr<Base::CRunnableTask>(new ArrivalTask));
}

// The routines registered with the SDK: note the time, then hand the report to the side under
// measurement.
void TimedNewMessage(TIMMessageHandle* handles, uint32_t count, void*) {
  g_raised = Clock::now();
  const int side = g_side.load();
  if (side == kRunner) return PostArrival();
  TIMMessageCB* routine = g_routines_msg[side];
  routine->OnNewMessage(handles, count, routine->data);
}

void TimedConnected(void*) {
  g_raised = Clock::now();
  const int side = g_side.load();
  if (side == kRunner) return PostArrival();
  TIMConnCB* routine = g_routines_conn[side];
  routine->OnConnected(routine->data);
}

void Disconnected(int, const char*, void*) {
  g_wrong = true;
}  // never raised here

TIMMessageCB g_timed_msg = {&TimedNewMessage, nullptr};
TIMConnCB g_timed_conn = {&TimedConnected, &Disconnected, nullptr};

struct Percentiles {
  double p50;
  double p99;
};

// One round of one kind of event: `events` per side, interleaved; gives each side's percentiles.
template <typename Raise>
std::vector<Percentiles> Round(size_t events, Raise raise) {
  std::vector<std::vector<double>> samples(kSides);
  for (auto& s : samples) s.reserve(events);
  for (size_t i = 0; i < events; ++i) {
    for (int k = 0; k < kSides; ++k) {
      const int side = static_cast<int>((i + static_cast<size_t>(k)) % kSides);
      g_side = side;
      g_arrival.Expect();
      raise();
      samples[side].push_back(g_arrival.Wait());
    }
  }
  std::vector<Percentiles> out;
  for (const auto& s : samples) {
    out.push_back({kuvo_bench::Percentile(s, 0.50), kuvo_bench::Percentile(s, 0.99)});
  }
  return out;
}

void Report(const char* title, const std::vector<std::vector<Percentiles>>& rounds) {
  std::printf("\n%s\n%-10s %10s %10s\n", title, "side", "p50 us", "p99 us");
  for (int side = 0; side < kSides; ++side) {
    std::vector<double> p50, p99;
    for (const auto& r : rounds) {
      p50.push_back(r[side].p50);
      p99.push_back(r[side].p99);
    }
    std::printf("%-10s %10.1f %10.1f\n", kSideNames[side], kuvo_bench::Median(p50),
                kuvo_bench::Median(p99));
  }
  for (int side : {kKuvoChat, kFloor}) {
    std::vector<double> r50, r99;
    for (const auto& r : rounds) {
      r50.push_back(r[side].p50 / r[kRunner].p50);
      r99.push_back(r[side].p99 / r[kRunner].p99);
    }
    const kuvo_bench::Spread s50 = kuvo_bench::SpreadOf(r50), s99 = kuvo_bench::SpreadOf(r99);
    std::printf("%s / runner: p99 %.2f [%.2f-%.2f]  p50 %.2f [%.2f-%.2f]\n", kSideNames[side],
                s99.median, s99.low, s99.high, s50.median, s50.low, s50.high);
  }
}

}  // namespace

int main(int argc, char** argv) {
  kuvo_bench::BenchArgs args(argc, argv, kUsage);
  kuvo_bench::NumberArg events_arg{"events-per-side", 10000, 100, 10000000};
  kuvo_bench::NumberArg rounds_arg{"rounds", 5, 1, 100};
  args.Parse({&events_arg, &rounds_arg});
  const size_t events = events_arg.value;
  const int rounds = static_cast<int>(rounds_arg.value);

  if (!Kuvocore_Startup()) return 3;
  g_runner = kuvo_host::KuvocoreTaskRunner();
  tim_control::Reset();
  tim_control::SetCallLogging(false);

  std::mt19937 random(13);
  std::string payload(1024, '\0');
  for (char& c : payload) c = static_cast<char>(random() & 0xFF);
  tim_control::MessageShape shape = tim_control::CustomMessage(
      kCnvC2C, "100", "100", kuvochat::Base64Encode(payload), "desc", "");
  shape.store = false;
  const std::vector<tim_control::MessageShape> one_message = {shape};

  BenchHost host;
  const kuvo_test::TempFolder folder;
  Im_RegMsgCallBack(&host);
  if (!Im_Init(1400012345, 0, folder.wide().c_str())) return 4;
  if (!Im_Login(900100200300ull, "36862", "bench")) return 5;
  for (int i = 0; i < 3; ++i) {
    tim_control::WaitIdle();
    KuvocoreTest_WaitRunnerIdle();
  }
  Im_NotifyReleaseData();
  // Registered after the login, whose own events are not measured.
  Im_RegConnCallBack(&host);
  g_routines_msg[kKuvoChat] = tim_control::RegisteredMessageCallBack();
  g_routines_conn[kKuvoChat] = tim_control::RegisteredConnCallBack();
  if (!g_routines_msg[kKuvoChat] || !g_routines_conn[kKuvoChat]) return 7;

  kuvo_bench::FloorClient floor(g_runner);
  floor.RegMsgCallBack(&host);
  floor.RegConnCallBack(&host);
  floor.NotifyReleaseData();
  floor.SetLoggedIn();
  g_routines_msg[kFloor] = floor.message_routine();
  g_routines_conn[kFloor] = floor.conn_routine();

  TIMSetMessageCallBack(&g_timed_msg);
  TIMSetConnCallBack(&g_timed_conn);
  // Warm-up: one short round of each, not counted.
  Round(100, [&] { tim_control::DeliverNewMessages(one_message); });
  Round(100, [] { tim_control::RaiseConnected(); });

  std::vector<std::vector<Percentiles>> messages, connections;
  for (int r = 0; r < rounds; ++r) {
    messages.push_back(Round(events, [&] { tim_control::DeliverNewMessages(one_message); }));
    connections.push_back(Round(events, [] { tim_control::RaiseConnected(); }));
  }
  std::printf("SDK callback -> host callback, %zu events per side and kind in each of %d rounds",
              events, rounds);
  Report("OnNewMsgs (one 1 KB message)", messages);
  Report("OnConnEvent (connected while logged in)", connections);

  TIMSetMessageCallBack(g_routines_msg[kKuvoChat]);
  TIMSetConnCallBack(g_routines_conn[kKuvoChat]);
  Im_RemoveConnCallBack(&host);
  Im_UnInit();
  for (int i = 0; i < 3; ++i) {
    tim_control::WaitIdle();
    KuvocoreTest_WaitRunnerIdle();
  }
  Kuvocore_Shutdown();
  if (g_wrong) {
    std::fprintf(stderr, "a delivery was wrong, missing or doubled\n");
    return 1;
  }
  return 0;
}
