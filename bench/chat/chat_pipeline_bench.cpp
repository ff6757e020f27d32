// chat_pipeline_bench: KuvoChat's message paths through the shared library, against the IM SDK
// and Kuvocore stand-ins, each with a baseline measured in the same run.
//
// Inbound: 1 KB custom payloads (base64 in the SDK) in batches of 1, 20 and 200. Every rate is
// messages per second of wall time from the moment the bench starts handing batches to the
// stand-in (tim_control::DeliverNewMessages, which numbers and copies the messages on the bench's
// thread and queues them for the SDK's callback thread) until the host has counted the last
// one. The stages overlap on separate threads, so a rate is set by the slowest stage, not by
// the sum of them. Columns:
//   pipeline     the real path: the stand-in builds its message handles on its callback thread
//                and calls KuvoChat's routine, which converts them (about twenty SDK queries per
//                message, base64 decoding) and posts the list to the Kuvocore runner; the host's
//                OnNewMsgs counts the messages on the runner's thread.
//   baseline     the same records, already converted (one copy of the batch per task, made on
//                the bench's thread), posted through the same runner to the same OnNewMsgs;
//                no SDK involved. The thread hop and the host call without conversion.
//   sdk only     measured before Im_Init: the stand-in delivers the same batches to a routine
//                that only counts them on its callback thread (what the SDK itself costs:
//                copying and numbering the messages, building and freeing its message objects).
//   base/pipe    baseline / pipeline: how many times the hop alone is faster than the path.
//   conv us/msg  1/pipeline - 1/sdk only - 1/baseline, in microseconds: an estimate of what a
//                message costs beyond both references. It assumes the stages add up; since they
//                overlap it understates KuvoChat's own work, and it goes negative or jumps
//                between runs when the machine is busy (compare medians of several runs, and
//                callgrind counts for KuvoChat's functions).
//
// Send: Im_SendMsg calls per second through to OnSendResult (1 KB payloads, wrapped), against
// the same SDK calls made directly with a completion posted to the same runner.
//
//   chat_pipeline_bench [messages-per-run]      (default 20000)
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

BenchMsgs* g_baseline_host = nullptr;
// By reference: the task keeps the list and the host reads it there, as on KuvoChat's path (a
// by-value parameter would copy every record once more on the runner's thread).
void BaselineDeliver(const TimMsgList& msgs) {
  g_baseline_host->OnNewMsgs(&msgs);
}

double DeliverThroughRunner(Base::ITaskRunner* runner, size_t total, size_t batch_size,
                            const tagTimMsgInfo& record) {
  const TimMsgList batch(batch_size, record);
  g_received.Reset();
  const auto start = Clock::now();
  const size_t whole = total / batch_size * batch_size;
  for (size_t sent = 0; sent < whole; sent += batch_size) {
    runner->PostTask(Base::NewRunnableFunction(&BaselineDeliver, batch));
  }
  g_received.WaitFor(whole);
  return PerSecond(whole, start);
}

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
  if (total < 200) return 2;
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
  g_baseline_host = &host;

  // SDK only: before Im_Init the stand-in's message routine is the counting one.
  TIMSetMessageCallBack(&g_count_only);
  double sdk_only[3];
  const size_t batches[3] = {1, 20, 200};
  for (int i = 0; i < 3; ++i) sdk_only[i] = DeliverThroughSdk(total, batches[i], data);

  Im_RegMsgCallBack(&host);
  if (!Im_Init(1400012345, 0, L"/tmp/kuvo_chat_bench")) return 4;
  if (!Im_Login(900100200300ull, "36862", "bench")) return 5;
  Settle();
  Im_NotifyReleaseData();

  tagTimMsgInfo record;
  record.peerKind = 9;
  record.peerId = 100;
  record.content = payload;
  record.desc = "desc";
  record.locator.peer = "100";
  record.locator.sender = "100";
  record.locator.status = 2;
  record.locator.convType = 1;

  std::printf("inbound, 1 KB payloads, %zu messages per run (messages/s)\n", total);
  std::printf("%-7s %12s %12s %12s %10s %14s\n", "batch", "pipeline", "baseline", "sdk only",
              "base/pipe", "conv us/msg");
  for (int i = 0; i < 3; ++i) {
    const double pipeline = DeliverThroughSdk(total, batches[i], data);
    const double baseline = DeliverThroughRunner(g_runner, total, batches[i], record);
    // Per message: pipeline time minus what the SDK alone and the plain hop take.
    const double conversion_us = (1e6 / pipeline) - (1e6 / sdk_only[i]) - (1e6 / baseline);
    std::printf("%-7zu %12.0f %12.0f %12.0f %10.2f %14.2f\n", batches[i], pipeline, baseline,
                sdk_only[i], baseline / pipeline, conversion_us);
  }

  const size_t sends = total / 4;
  const double direct = SendDirect(sends, data);
  const double kuvochat = SendThroughKuvoChat(sends, payload);
  std::printf("\nsend, 1 KB payloads, %zu sends (sends/s)\n", sends);
  std::printf("%-12s %12s %10s\n", "Im_SendMsg", "raw SDK", "raw/ours");
  std::printf("%-12.0f %12.0f %10.2f\n", kuvochat, direct, direct / kuvochat);

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
