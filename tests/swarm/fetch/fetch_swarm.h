// The KuvoFetch swarm: a host that starts, stops, tears down and binds again at random, against
// the loopback servers answering random statuses, bodies, delays, resets and redirects, with
// clones and thread starts that fail at random. Checked as the library calls back:
// - every accepted id is answered exactly once (fill, then callback) unless it was stopped or
//   torn down first, and never afterwards; a request with 0 attempts is never answered;
// - ids are never 0, follow the counter (a failed thread start uses one up, a failed clone does
//   not), and are never one still pending;
// - the result code and response follow what the server did;
// - callbacks and fills run on the runner's thread; no worker reaches the runner while unbound;
// - each thread key is stopped exactly once, with 0;
// and at the end of a round: every request object was released exactly to zero.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "fetch_swarm_host.h"
#include "swarm_driver.h"

namespace swarm {

struct StartRecord {
  enum State { kRefused, kPending, kStopped, kTornDown, kAnswered };
  std::string step;  // the step's text, for reports
  uint32_t id = 0;
  State state = kRefused;
  bool finite = true;  // attempts > 0
  bool callback = true;
  bool keep = false;        // the callback keeps a reference until the end of the round
  std::string then;         // what the callback does next
  std::set<int32_t> codes;  // the result codes the server's behaviour allows
  std::string body;         // expected with code 0
  SwarmRequest* clone = nullptr;
  int code_calls = 0;
  int response_calls = 0;
  int callbacks = 0;
  int32_t code = -1;
};

class FetchSwarm final : public Swarm, public FillSink {
 public:
  FetchSwarm();
  ~FetchSwarm() override;

  const char* Name() const override { return "swarm_fetch"; }
  Script Generate(Rng& rng, int steps) override;
  void BeginRound(Checker* checker) override;
  void Execute(const Step& step) override;
  void EndRound() override;
  uint64_t StepsRun() const override { return steps_run_; }

 private:
  static void OnCompletion(uint32_t id, IHttpRequest* request);
  void Completed(uint32_t id, IHttpRequest* request);
  void OnResultCode(StartRecord* record, int32_t code) override;
  void OnResponse(StartRecord* record, const std::string& response) override;

  // Runner's thread.
  StartRecord* Start(const Step& step, bool from_script);
  void Stop(uint32_t id);
  void UnInit();
  bool Init();
  uint32_t NextId();  // the id the library must hand out next
  void Settle();
  SwarmRequest* NewRequest(const fetch_test::RequestValues& values, StartRecord* record,
                           bool clonable);
  std::string Describe(const StartRecord* record);

  Checker* checker_ = nullptr;
  std::unique_ptr<SwarmThreadService> service_;
  std::unique_ptr<SwarmTaskRunner> runner_;
  std::atomic<uint64_t> steps_run_{0};

  std::mutex mutex_;  // guards the records against the driver's reads; never held across exports
  std::condition_variable changed_;
  std::vector<std::unique_ptr<StartRecord>> records_;
  std::vector<StartRecord*> script_starts_;  // starts made by the script, for "stop ref=k"
  std::vector<std::unique_ptr<SwarmRequest>> objects_;
  std::vector<SwarmRequest*> kept_;           // references the callbacks keep
  std::map<uint32_t, StartRecord*> pending_;  // by id, as the library's table should be
  uint32_t last_id_ = 0;
  uint32_t origin_ = 0;  // the counter at the round's first jump; ids go round from there
  bool have_origin_ = false;
  bool bound_ = false;
};

}  // namespace swarm
