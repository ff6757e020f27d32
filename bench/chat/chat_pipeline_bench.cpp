// chat_pipeline_bench: KuvoChat's message paths through the shared library, against the IM SDK
// and Kuvocore stand-ins, each held against the floor: FloorClient, a straight-line client
// written here that does exactly the work the library's job requires and nothing else (the same
// SDK calls in the same order, base64, records, lists, post to the same runner, log line and
// conversion of a send's outcome; no manager, locks, guarded registries or safety nets). So a
// ratio KuvoChat / floor measures only what the library's own structure costs.
//
// The two sides run alternately, run by run (floor, KuvoChat, floor, KuvoChat, ...), so that a
// busy machine slows both sides of a pair alike. Each figure is the median of the per-pair
// ratios, with the lowest and highest ratio beside it.
//
// Inbound: 1 KB custom payloads (base64 in the SDK) in batches of 1, 20 and 200. A run hands
// whole batches to the stand-in, which queues them for its callback thread; the SDK routine
// registered there (the floor's or KuvoChat's, switched between runs) converts them and posts the
// list to the Kuvocore runner, where the host's OnNewMsgs counts them. Rates are messages per
// second of wall time.
//
// Send: sends per second from Im_SendMsg (1 KB payloads, wrapped in a msgHeader, with a push
// text) through to OnSendResult, against the floor's send; both issue their sends on the runner's
// thread, where the library expects them.
//
// Then, for orientation, what the stand-in itself costs: its callback routine alone (a counter)
// against the floor, and the cost of one SDK query (each takes the stand-in's one global lock and
// looks the handle up); the floor makes 23 of them per new message.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
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
using kuvo_bench::PairedRates;
using kuvo_bench::RunClock;
using kuvo_bench::RunRates;

constexpr char kUsage[] =
    "chat_pipeline_bench [messages-per-run [pairs]]\n"
    "  messages-per-run  200..10000000, default 5000 (sends: a quarter of it)\n"
    "  pairs             1..1000, default 41 (floor and KuvoChat runs interleaved)\n"
    "Prints KuvoChat / floor for inbound batches of 1, 20 and 200 and for sends, each as the\n"
    "median of the per-pair ratios with its range; exits 1 on a wrong or missing delivery.\n";

// Counts what arrives and lets the main thread wait for a total, without sleeping.
class Counter {
 public:
  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    count_ = 0;
  }
  void Add(size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    count_ += n;
    cv_.notify_all();
  }
  void WaitFor(size_t total) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [&] { return count_ >= total; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  size_t count_ = 0;
};

Counter g_received;
Counter g_sent;
std::atomic<bool> g_wrong{false};

// The host: checks what it gets and counts it. Registered with KuvoChat and with the floor.
class BenchHost final : public IMsgCallBack {
 public:
  void OnNewMsgs(const TimMsgList* msgs) override {
    for (const auto& m : *msgs) {
      if (m.content.size() != 1024) g_wrong = true;
    }
    g_received.Add(msgs->size());
  }
  void OnSendResult(bool sent, uint64_t, const tagTimMsgInfo* msg) override {
    if (!sent || msg->content.empty()) g_wrong = true;
    g_sent.Add(1);
  }
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {}
};

// A task that runs a function on the runner.
class FunctionTask : public Base::CSmartRefImpl<Base::CRunnableTask> {
 public:
  explicit FunctionTask(std::function<void()> f) : f_(std::move(f)) {}
  void Run() override { f_(); }

 private:
  std::function<void()> f_;
};

Base::ITaskRunner* g_runner = nullptr;

void PostToRunner(std::function<void()> f) {
  g_runner->PostTask(Base::CSmartPtr<Base::CRunnableTask>(new FunctionTask(std::move(f))));
}

// --- inbound -----------------------------------------------------------------------------

std::vector<tim_control::MessageShape> Batch(size_t size, const std::string& data) {
  std::vector<tim_control::MessageShape> batch;
  for (size_t i = 0; i < size; ++i) {
    tim_control::MessageShape shape =
        tim_control::CustomMessage(kCnvC2C, "100", "100", data, "desc", "");
    shape.store = false;
    batch.push_back(shape);
  }
  return batch;
}

RunRates DeliverThroughSdk(TIMMessageCB* routine, size_t total, size_t batch_size,
                           const std::string& data) {
  TIMSetMessageCallBack(routine);
  const auto batch = Batch(batch_size, data);
  g_received.Reset();
  const RunClock clock;
  // Whole batches only, exactly as many messages as are waited for: a partial last batch would
  // be delivered after the clock stops and counted into the next run.
  const size_t whole = total / batch_size * batch_size;
  for (size_t sent = 0; sent < whole; sent += batch_size) tim_control::DeliverNewMessages(batch);
  g_received.WaitFor(whole);
  return clock.Rates(static_cast<double>(whole));
}

void CountOnly(TIMMessageHandle*, uint32_t n, void*) {
  g_received.Add(n);
}
TIMMessageCB g_count_only = {&CountOnly, nullptr};

// --- send ----------------------------------------------------------------------------------

tagTimSendMsgInfo SendInfo(const std::string& payload) {
  tagTimSendMsgInfo info;
  info.cmd = 1001;
  info.peerKind = 9;
  info.peerId = 100;
  info.pushText = "desc";
  info.payload = payload;
  return info;
}

RunRates SendThroughKuvoChat(size_t total, const std::string& payload) {
  g_sent.Reset();
  const RunClock clock;
  PostToRunner([total, &payload] {
    tagTimSendMsgInfo info = SendInfo(payload);
    for (size_t i = 0; i < total; ++i) {
      info.msgId = Im_CreateNewSeq();
      if (!Im_SendMsg(&info, false, true)) g_wrong = true;
    }
  });
  g_sent.WaitFor(total);
  return clock.Rates(static_cast<double>(total));
}

RunRates SendThroughFloor(kuvo_bench::FloorClient* floor, size_t total,
                          const std::string& payload) {
  g_sent.Reset();
  const RunClock clock;
  PostToRunner([floor, total, &payload] {
    tagTimSendMsgInfo info = SendInfo(payload);
    for (size_t i = 0; i < total; ++i) {
      info.msgId = floor->CreateNewSeq();
      if (!floor->SendMsg(info, false, true)) g_wrong = true;
    }
  });
  g_sent.WaitFor(total);
  return clock.Rates(static_cast<double>(total));
}

// --- the stand-in's own cost ---------------------------------------------------------------

// The SDK calls FloorClient makes for one new message: CreateConversation,
// GetConversationFromMsg, GetConversationType, GetMsgStatus, GetConversationPeer, GetMsgUniqueID,
// IsMsgRead, IsMsgFromSelf, GetMsgTime, GetMsgRand, GetMsgSeq, GetMsgSender twice,
// DestroyConversation, GetElemCount, GetElem, GetElemType, and the size query and fetch of the
// custom data, desc and ext.
constexpr int kFloorQueriesPerMessage = 23;

// Nanoseconds per SDK query on a live message handle, uncontended.
double NanosecondsPerQuery() {
  TIMMessageHandle msg = CreateTIMMessage();
  constexpr int kCalls = 1000000;
  const auto start = Clock::now();
  for (int i = 0; i < kCalls; ++i) GetMsgSeq(msg);
  const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
  DestroyTIMMessage(msg);
  return ns / kCalls;
}

void Settle() {
  for (int i = 0; i < 3; ++i) {
    tim_control::WaitIdle();
    KuvocoreTest_WaitRunnerIdle();
  }
}

void PrintHeader(const char* baseline, const char* subject) {
  std::printf("%-8s %12s %12s   %-20s %s\n", "", baseline, subject, "wall ratio [range]",
              "CPU ratio [range]");
}

void PrintRatio(const char* label, const PairedRates& r) {
  std::printf("%-8s %12.0f %12.0f   %.2f [%.2f-%.2f]     %.2f [%.2f-%.2f]\n", label,
              r.wall.baseline_rate, r.wall.subject_rate, r.wall.ratio.median, r.wall.ratio.low,
              r.wall.ratio.high, r.cpu.ratio.median, r.cpu.ratio.low, r.cpu.ratio.high);
}

}  // namespace

int main(int argc, char** argv) {
  kuvo_bench::BenchArgs args(argc, argv, kUsage);
  kuvo_bench::NumberArg total_arg{"messages-per-run", 5000, 200, 10000000};
  kuvo_bench::NumberArg pairs_arg{"pairs", 41, 1, 1000};
  args.Parse({&total_arg, &pairs_arg});
  const size_t total = total_arg.value;
  const int pairs = static_cast<int>(pairs_arg.value);

  if (!Kuvocore_Startup()) return 3;
  g_runner = kuvo_host::KuvocoreTaskRunner();
  tim_control::Reset();
  tim_control::SetCallLogging(false);

  std::mt19937 random(11);
  std::string payload(1024, '\0');
  for (char& c : payload) c = static_cast<char>(random() & 0xFF);
  const std::string data = kuvochat::Base64Encode(payload);
  BenchHost host;

  // The SDK's data folder, this run's own.
  const kuvo_test::TempFolder folder;
  Im_RegMsgCallBack(&host);
  if (!Im_Init(1400012345, 0, folder.wide().c_str())) return 4;
  if (!Im_Login(900100200300ull, "36862", "bench")) return 5;
  Settle();
  Im_NotifyReleaseData();
  TIMMessageCB* const kuvochat_routine = tim_control::RegisteredMessageCallBack();
  if (kuvochat_routine == nullptr) return 7;

  kuvo_bench::FloorClient floor(g_runner);
  floor.RegMsgCallBack(&host);
  floor.NotifyReleaseData();

  std::printf("inbound, 1 KB payloads, %zu messages per run, %d pairs (messages/s)\n", total,
              pairs);
  std::printf("batch sizes 1, 20, 200; rates by wall clock; ratios KuvoChat / floor\n");
  PrintHeader("floor", "KuvoChat");
  for (size_t batch : {size_t{1}, size_t{20}, size_t{200}}) {
    const PairedRates r = kuvo_bench::InterleaveRuns(
        pairs, [&] { return DeliverThroughSdk(floor.message_routine(), total, batch, data); },
        [&] { return DeliverThroughSdk(kuvochat_routine, total, batch, data); });
    PrintRatio(std::to_string(batch).c_str(), r);
  }

  const size_t sends = total / 4;
  std::printf("\nsend, 1 KB payloads wrapped, %zu sends per run, %d pairs (sends/s)\n", sends,
              pairs);
  PrintHeader("floor", "Im_SendMsg");
  const PairedRates send = kuvo_bench::InterleaveRuns(
      pairs, [&] { return SendThroughFloor(&floor, sends, payload); },
      [&] { return SendThroughKuvoChat(sends, payload); });
  PrintRatio("send", send);
  Settle();

  std::printf("\nthe stand-in's own cost (inbound, batch 20)\n");
  const PairedRates sdk_only = kuvo_bench::InterleaveRuns(
      pairs, [&] { return DeliverThroughSdk(&g_count_only, total, 20, data); },
      [&] { return DeliverThroughSdk(floor.message_routine(), total, 20, data); });
  PrintHeader("SDK alone", "floor");
  PrintRatio("20", sdk_only);
  const double query_us = NanosecondsPerQuery() / 1000;
  const double floor_us = 1e6 / sdk_only.cpu.subject_rate;
  const double sdk_alone_us = 1e6 / sdk_only.cpu.baseline_rate;
  std::printf(
      "CPU time per message: floor %.2f us, the stand-in's delivery alone %.2f us;\n"
      "the floor's %d SDK queries at %.0f ns each (uncontended lock and handle lookup) = %.2f us, "
      "%.0f%% of the floor's time\n",
      floor_us, sdk_alone_us, kFloorQueriesPerMessage, query_us * 1000,
      query_us * kFloorQueriesPerMessage, 100 * query_us * kFloorQueriesPerMessage / floor_us);

  TIMSetMessageCallBack(kuvochat_routine);
  Im_UnInit();
  Settle();
  const size_t live = tim_control::LiveHandleCount();
  Kuvocore_Shutdown();
  if (live != 0) {
    std::fprintf(stderr, "%zu SDK handles left alive\n", live);
    return 6;
  }
  if (g_wrong || floor.pending_sends() != 0) {
    std::fprintf(stderr, "a delivery was wrong or missing\n");
    return 1;
  }
  return 0;
}
