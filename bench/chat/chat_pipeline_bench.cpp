// chat_pipeline_bench: KuvoChat's message paths through the shared library, against the IM SDK
// and Kuvocore stand-ins, each against a baseline measured in the same run, interleaved with it
// run by run (baseline, subject, baseline, subject, ...), so that a busy machine slows both
// sides of a pair alike. Each figure is the median of the per-pair ratios, with the lowest and
// highest ratio beside it.
//
// Inbound: 1 KB custom payloads (base64 in the SDK) in batches of 1, 20 and 200. A run hands
// whole batches to the stand-in (tim_control::DeliverNewMessages, which numbers and copies the
// messages and queues them for the SDK's callback thread) and ends when the last message has
// been counted. Rates are messages per second of wall time.
//   stand-in only  the SDK's routine is a counter on its callback thread: what the SDK itself
//                  costs (numbering and copying the messages, building and freeing its message
//                  objects). No client of the SDK can be faster than this.
//   pipeline       KuvoChat's routine: converts the handles (about twenty SDK queries per
//                  message, base64 decoding), posts the list to the Kuvocore runner, and the
//                  host's OnNewMsgs counts the messages there.
//   ratio          pipeline / stand-in only: the share of the SDK's own rate that is left once
//                  KuvoChat does its work (1.00 = KuvoChat costs nothing).
// Both routines are registered with the same stand-in, switched between runs.
//
// Send: Im_SendMsg calls per second through to OnSendResult (1 KB payloads, wrapped), against
// the same SDK calls made directly with a completion posted to the same runner; ratio is
// Im_SendMsg / raw.
//
//   chat_pipeline_bench [messages-per-run] [pairs]      (defaults 20000 and 9)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "KuvoChat.h"
#include "base/runnable_function.h"
#include "base/task_runner.h"
#include "base64_encode.h"
#include "kuvocore.h"
#include "kuvocore_control.h"
#include "temp_folder.h"
#include "tim/tim_c.h"
#include "tim/tim_control.h"

namespace {

using Clock = std::chrono::steady_clock;

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

class BenchMsgs final : public IMsgCallBack {
 public:
  void OnNewMsgs(const TimMsgList* msgs) override {
    size_t bytes = 0;
    for (const auto& m : *msgs) bytes += m.content.size();
    if (bytes == 0) std::abort();
    g_received.Add(msgs->size());
  }
  void OnSendResult(bool sent, uint64_t, const tagTimMsgInfo* msg) override {
    if (!sent || msg->content.empty()) std::abort();
    g_sent.Add(1);
  }
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {}
};

std::string Payload(std::mt19937* random) {
  std::string payload(1024, '\0');
  for (char& c : payload) c = static_cast<char>((*random)() & 0xFF);
  return payload;
}

double PerSecond(size_t n, Clock::time_point start) {
  return static_cast<double>(n) / std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs baseline and subject alternately, `pairs` times after one pair that is not counted, and
// returns the median of subject / baseline with the lowest and highest ratio.
struct Ratio {
  double median = 0;
  double low = 0;
  double high = 0;
  double baseline_rate = 0;  // medians of the rates, for orientation
  double subject_rate = 0;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Ratio Interleave(int pairs, const std::function<double()>& baseline,
                 const std::function<double()>& subject) {
  baseline();
  subject();
  std::vector<double> ratios, baselines, subjects;
  for (int i = 0; i < pairs; ++i) {
    baselines.push_back(baseline());
    subjects.push_back(subject());
    ratios.push_back(subjects.back() / baselines.back());
  }
  Ratio ratio;
  ratio.median = Median(ratios);
  ratio.low = *std::min_element(ratios.begin(), ratios.end());
  ratio.high = *std::max_element(ratios.begin(), ratios.end());
  ratio.baseline_rate = Median(baselines);
  ratio.subject_rate = Median(subjects);
  return ratio;
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

double DeliverThroughSdk(size_t total, size_t batch_size, const std::string& data) {
  const auto batch = Batch(batch_size, data);
  g_received.Reset();
  const auto start = Clock::now();
  // Whole batches only, exactly as many messages as are waited for: a partial last batch would
  // be delivered after the clock stops and counted into the next run.
  const size_t whole = total / batch_size * batch_size;
  for (size_t sent = 0; sent < whole; sent += batch_size) tim_control::DeliverNewMessages(batch);
  g_received.WaitFor(whole);
  return PerSecond(whole, start);
}

void CountOnly(TIMMessageHandle*, uint32_t n, void*) {
  g_received.Add(n);
}
TIMMessageCB g_count_only = {&CountOnly, nullptr};

// --- send ----------------------------------------------------------------------------------

// The baseline's request: the same SDK handles, freed on the runner once the outcome is there.
struct RawSend {
  TIMConversationHandle conversation = nullptr;
  TIMMessageHandle message = nullptr;
  TIMMsgCustomElemHandle element = nullptr;
  TIMCommCB completion = {nullptr, nullptr, nullptr};
};

Base::ITaskRunner* g_runner = nullptr;

void FinishRawSend(RawSend* send) {
  DestroyConversation(send->conversation);
  DestroyTIMMessage(send->message);
  DestroyElem(send->element);
  delete send;
  g_sent.Add(1);
}
void RawSendDone(void* data) {
  g_runner->PostTask(Base::NewRunnableFunction(&FinishRawSend, static_cast<RawSend*>(data)));
}
void RawSendFailed(int, const char*, void*) {
  std::abort();
}

double SendDirect(size_t total, const std::string& base64) {
  g_sent.Reset();
  const auto start = Clock::now();
  for (size_t i = 0; i < total; ++i) {
    auto* send = new RawSend;
    send->conversation = CreateConversation();
    TIMGetConversation(send->conversation, kCnvC2C, "100");
    send->message = CreateTIMMessage();
    send->element = CreateCustomElemHandle();
    SetCustomElemData(send->element, base64.data(), static_cast<uint32_t>(base64.size()));
    SetCustomElemDesc(send->element, "desc", 4);
    SetCustomElemExt(send->element, "", 0);
    AddElem(send->message, send->element);
    send->completion = {&RawSendDone, &RawSendFailed, send};
    SendMsg(send->conversation, send->message, &send->completion);
  }
  g_sent.WaitFor(total);
  return PerSecond(total, start);
}

double SendThroughKuvoChat(size_t total, const std::string& payload) {
  g_sent.Reset();
  tagTimSendMsgInfo info;
  info.cmd = 1001;
  info.peerKind = 9;
  info.peerId = 100;
  info.pushText = "desc";
  info.payload = payload;
  const auto start = Clock::now();
  for (size_t i = 0; i < total; ++i) {
    info.msgId = Im_CreateNewSeq();
    if (!Im_SendMsg(&info, false, true)) std::abort();
  }
  g_sent.WaitFor(total);
  return PerSecond(total, start);
}

void Settle() {
  for (int i = 0; i < 3; ++i) {
    tim_control::WaitIdle();
    KuvocoreTest_WaitRunnerIdle();
  }
}

}  // namespace

int main(int argc, char** argv) {
  const size_t total = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20000;
  const int pairs = argc > 2 ? std::atoi(argv[2]) : 9;
  if (total < 200 || pairs < 1) return 2;
  if (!Kuvocore_Startup()) return 3;
  void* object = nullptr;
  GetKuvocoreObject(kKuvocoreTaskRunner, &object);
  g_runner = static_cast<Base::ITaskRunner*>(object);
  tim_control::Reset();
  tim_control::SetCallLogging(false);

  std::mt19937 random(11);
  const std::string payload = Payload(&random);
  const std::string data = kuvochat::Base64Encode(payload);
  BenchMsgs host;

  // The SDK's data folder, this run's own.
  const kuvo_test::TempFolder folder;
  Im_RegMsgCallBack(&host);
  if (!Im_Init(1400012345, 0, folder.wide().c_str())) return 4;
  if (!Im_Login(900100200300ull, "36862", "bench")) return 5;
  Settle();
  Im_NotifyReleaseData();
  TIMMessageCB* const kuvochat_routine = tim_control::RegisteredMessageCallBack();
  if (kuvochat_routine == nullptr) return 7;

  std::printf("inbound, 1 KB payloads, %zu messages per run, %d pairs (messages/s)\n", total,
              pairs);
  std::printf("%-7s %14s %12s %8s %17s\n", "batch", "stand-in only", "pipeline", "ratio",
              "ratio low..high");
  for (size_t batch : {size_t{1}, size_t{20}, size_t{200}}) {
    const Ratio ratio = Interleave(
        pairs,
        [&] {
          TIMSetMessageCallBack(&g_count_only);
          return DeliverThroughSdk(total, batch, data);
        },
        [&] {
          TIMSetMessageCallBack(kuvochat_routine);
          return DeliverThroughSdk(total, batch, data);
        });
    std::printf("%-7zu %14.0f %12.0f %8.2f %8.2f..%-8.2f\n", batch, ratio.baseline_rate,
                ratio.subject_rate, ratio.median, ratio.low, ratio.high);
  }
  TIMSetMessageCallBack(kuvochat_routine);

  const size_t sends = total / 4;
  const Ratio send = Interleave(
      pairs, [&] { return SendDirect(sends, data); },
      [&] { return SendThroughKuvoChat(sends, payload); });
  std::printf("\nsend, 1 KB payloads, %zu sends per run, %d pairs (sends/s)\n", sends, pairs);
  std::printf("%-12s %12s %8s %17s\n", "raw SDK", "Im_SendMsg", "ratio", "ratio low..high");
  std::printf("%-12.0f %12.0f %8.2f %8.2f..%-8.2f\n", send.baseline_rate, send.subject_rate,
              send.median, send.low, send.high);

  Im_UnInit();
  Settle();
  const size_t live = tim_control::LiveHandleCount();
  Kuvocore_Shutdown();
  if (live != 0) {
    std::fprintf(stderr, "%zu SDK handles left alive\n", live);
    return 6;
  }
  return 0;
}
