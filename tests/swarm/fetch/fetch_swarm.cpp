#include "fetch_swarm.h"

#include <chrono>
#include <sstream>
#include <thread>

#include "fetch_servers.h"
#include "testing/kuvo_fetch_testing.h"

namespace swarm {

namespace {

FetchSwarm* g_swarm = nullptr;  // the plain completion callback reaches the swarm through it

std::vector<int> Statuses(const std::string& list) {
  std::vector<int> out;
  std::istringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) out.push_back(std::atoi(item.c_str()));
  if (out.empty()) out.push_back(200);
  return out;
}

// What the request must end with, from what the server will do on each attempt.
void ExpectOutcome(const Step& step, const std::string& key, StartRecord* record) {
  const std::string kind = step.Get("kind");
  const auto attempts = static_cast<uint32_t>(step.Int("att", 1));
  record->finite = attempts > 0;
  if (kind == "badct" || kind == "badmethod" || kind == "badheader") {
    record->codes = {kSetupFailed};
  } else if (kind == "s") {
    const std::vector<int> script = Statuses(step.Get("st"));
    for (uint32_t n = 1; n <= attempts; ++n) {
      const int status = script[std::min<size_t>(n, script.size()) - 1];
      if (status == 404 || status == 200 || n == attempts) {
        record->codes = {status == 200 ? 0 : status};
        if (status == 200) record->body = "body " + key + " " + std::to_string(n);
        break;
      }
    }
  } else if (kind == "redir") {
    const bool lands = step.Int("n") <= 2;
    record->codes = {lands ? 0 : 302};  // the last 302 received wins over "too many redirects"
    if (lands) record->body = "landed";
  } else if (kind == "reset") {
    record->codes = {52, 56};  // got nothing, or a receive error
  } else if (kind == "short") {
    record->codes = {18};  // a 200 whose body was cut is no success
  } else if (kind == "refused") {
    record->codes = {7};
  }
}

fetch_test::RequestValues Values(const Step& step, const std::string& key) {
  fetch_test::RequestValues v;
  const std::string kind = step.Get("kind");
  const bool https = step.Get("scheme") == "https";
  const int delay = static_cast<int>(step.Int("delay"));
  auto url = [&](const std::string& path) {
    return https ? fetch_test::HttpsUrl(path) : fetch_test::HttpUrl(path);
  };
  v.attempts = static_cast<uint32_t>(step.Int("att", 1));
  v.retry_delay_ms = static_cast<uint32_t>(step.Int("retry"));
  v.method = static_cast<int32_t>(step.Int("m", kHttpMethodGet));
  v.content_type = static_cast<int32_t>(step.Int("ct", kHttpContentForm));
  if (kind == "s" || kind == "badct" || kind == "badmethod" || kind == "badheader") {
    v.url = url("/s/" + key + "/" + step.Get("st", "200"));
  } else if (kind == "redir") {
    v.url = url("/redir/" + key + "/" + step.Get("n", "1"));
  } else if (kind == "reset") {
    v.url = "http://127.0.0.1:" + std::to_string(fetch_test::GetServers().reset) + "/reset";
  } else if (kind == "short") {
    v.url = fetch_test::HttpUrl("/short/" + key);
  } else {
    v.url = "http://127.0.0.1:1/refused";
  }
  if (kind == "badmethod") v.method = 3;
  if (kind == "badheader") v.headers["X-Swarm"] = "a\r\nInjected: 1";
  if (step.Int("hdr")) v.headers["X-Swarm-" + key] = "yes";
  const std::string query = delay > 0 ? "delay=" + std::to_string(delay) : std::string();
  if (v.method == kHttpMethodGet) {
    v.data = query;
  } else {
    if (!query.empty()) v.url += "?" + query;
    v.data = std::string(static_cast<size_t>(step.Int("body")), '\0') + key;
  }
  return v;
}

const char* StateName(StartRecord::State s) {
  switch (s) {
    case StartRecord::kRefused:
      return "refused";
    case StartRecord::kPending:
      return "pending";
    case StartRecord::kStopped:
      return "stopped";
    case StartRecord::kTornDown:
      return "torn down";
    case StartRecord::kAnswered:
      return "answered";
  }
  return "?";
}

}  // namespace

FetchSwarm::FetchSwarm() {
  g_swarm = this;
}

FetchSwarm::~FetchSwarm() {
  g_swarm = nullptr;
}

Script FetchSwarm::Generate(Rng& rng, int steps) {
  Script script;
  script.push_back(Step("service").Set("stop", rng.Percent(50) ? "wait" : "forget"));
  script.push_back(Step("jump").Set("last", rng.Percent(30)
                                                ? static_cast<int64_t>(4294967295u - rng.Below(4))
                                                : rng.Below(1000)));
  script.push_back(Step("init"));
  bool bound = true;
  for (int i = 0; i < steps; ++i) {
    const uint32_t roll = rng.Below(100);
    if (!bound && rng.Percent(60)) {
      script.push_back(Step("init"));
      bound = true;
    } else if (roll < 50) {
      Step s("start");
      const uint32_t k = rng.Below(100);
      const char* kind = k < 55   ? "s"
                         : k < 67 ? "redir"
                         : k < 75 ? "reset"
                         : k < 82 ? "short"
                         : k < 88 ? "refused"
                         : k < 94 ? "badct"
                         : k < 97 ? "badmethod"
                                  : "badheader";
      s.Set("kind", kind);
      const std::string kd = kind;
      if (kd == "s" || kd == "redir") s.Set("scheme", rng.Percent(25) ? "https" : "http");
      if (kd == "s") {
        const std::vector<std::string> statuses = {"200", "200", "201", "204", "404", "500", "503"};
        std::string st = rng.Pick(statuses);
        for (uint32_t n = rng.Below(3); n > 0; --n) st += "," + rng.Pick(statuses);
        s.Set("st", st);
      }
      if (kd == "redir") s.Set("n", rng.Between(0, 3));
      s.Set("att", rng.Percent(5) ? 0 : rng.Between(1, 3));
      s.Set("retry", rng.Percent(50) ? 0 : rng.Between(1, 30));
      if (kd == "s" || kd == "redir") s.Set("delay", rng.Percent(50) ? 0 : rng.Between(1, 150));
      const bool post = kd != "badct" && rng.Percent(35);
      s.Set("m", post ? kHttpMethodPost : kHttpMethodGet);
      const uint32_t get_ct = kd == "badct" ? rng.Pick(std::vector<uint32_t>{1, 2, 4, 5})
                                            : static_cast<uint32_t>(kHttpContentForm);
      s.Set("ct", post ? rng.Between(1, 5) : get_ct);
      if (post) s.Set("body", rng.Below(3) * 7);
      if (rng.Percent(20)) s.Set("hdr", 1);
      s.Set("cb", rng.Percent(85) ? 1 : 0);
      if (rng.Percent(20)) s.Set("keep", 1);
      const uint32_t t = rng.Below(100);
      s.Set("then", t < 80 ? "none" : t < 88 ? "stop" : t < 96 ? "start" : "uninit");
      const uint32_t f = rng.Below(100);
      s.Set("fail", f < 90 ? "none" : f < 95 ? "clone" : "thread");
      script.push_back(s);
    } else if (roll < 63) {
      script.push_back(Step("stop").Set("ref", rng.Below(6)));
    } else if (roll < 72) {
      script.push_back(Step("settle"));
    } else if (roll < 82) {
      script.push_back(Step("pause").Set("ms", rng.Between(1, 80)));
    } else if (roll < 87) {
      script.push_back(Step("uninit"));
      bound = false;
    } else if (roll < 90) {
      script.push_back(Step("init"));
      bound = true;
    } else if (roll < 93) {
      script.push_back(Step("init_null").Set("which", rng.Percent(50) ? "service" : "runner"));
    } else if (roll < 96) {
      script.push_back(Step("jump").Set(
          "last",
          rng.Percent(60) ? static_cast<int64_t>(4294967295u - rng.Below(6)) : rng.Below(1000)));
    } else {
      script.push_back(Step("service").Set("stop", rng.Percent(50) ? "wait" : "forget"));
    }
  }
  script.push_back(Step("settle"));
  return script;
}

void FetchSwarm::BeginRound(Checker* checker) {
  checker_ = checker;
  service_ = std::make_unique<SwarmThreadService>(checker);
  runner_ = std::make_unique<SwarmTaskRunner>(checker);
}

SwarmRequest* FetchSwarm::NewRequest(const fetch_test::RequestValues& values, StartRecord* record,
                                     bool clonable) {
  std::function<SwarmRequest*()> make_clone;
  if (clonable) {
    make_clone = [this, values, record]() {
      SwarmRequest* copy = NewRequest(values, record, true);
      copy->MarkClone();
      record->clone = copy;
      return copy;
    };
  }
  auto object = std::make_unique<SwarmRequest>(values, record, this, checker_, make_clone);
  SwarmRequest* raw = object.get();
  std::lock_guard<std::mutex> lock(mutex_);
  objects_.push_back(std::move(object));
  return raw;
}

uint32_t FetchSwarm::NextId() {
  uint32_t id = last_id_;
  do {
    ++id;
    if (id == 0) id = 1;
  } while (pending_.count(id) != 0);
  return id;
}

StartRecord* FetchSwarm::Start(const Step& step, bool from_script) {
  auto owned = std::make_unique<StartRecord>();
  StartRecord* record = owned.get();
  record->step = step.Text();
  record->callback = step.Int("cb", 1) != 0;
  record->keep = step.Int("keep") != 0;
  record->then = step.Get("then", "none");
  const std::string key = fetch_test::NewKey("swarm");
  ExpectOutcome(step, key, record);
  const std::string fail = step.Get("fail", "none");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(std::move(owned));
    if (from_script) script_starts_.push_back(record);
  }
  SwarmRequest* original = NewRequest(Values(step, key), record, fail != "clone");
  service_->FailNextStart(fail == "thread");

  uint32_t expected = 0;
  if (bound_ && fail != "clone") {
    const uint32_t next = NextId();
    if (fail == "thread") {
      last_id_ = next;  // a failed thread start still uses its id up
    } else {
      expected = next;
    }
  }
  const uint32_t id =
      HttpStartRequest(original, record->callback ? &FetchSwarm::OnCompletion : nullptr);
  service_->FailNextStart(false);
  original->Release();
  if (!checker_->Expect(id == expected, "HttpStartRequest returned " + std::to_string(id) +
                                            ", expected " + std::to_string(expected) + " (" +
                                            (bound_ ? "bound" : "unbound") + ", fail=" + fail +
                                            ")")) {
    return record;
  }
  if (id == 0) return record;
  std::lock_guard<std::mutex> lock(mutex_);
  checker_->Expect(pending_.count(id) == 0, "id " + std::to_string(id) + " reused while pending");
  last_id_ = id;
  record->id = id;
  record->state = StartRecord::kPending;
  pending_[id] = record;
  return record;
}

void FetchSwarm::Stop(uint32_t id) {
  HttpStopRequest(id);
  // An old id may belong to a newer request by now (after a teardown, or a wrap): that one stops.
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = pending_.find(id);
  if (it == pending_.end()) return;
  it->second->state = StartRecord::kStopped;
  pending_.erase(it);
  changed_.notify_all();
}

void FetchSwarm::UnInit() {
  HttpUnInit();
  runner_->SetBound(false);
  std::lock_guard<std::mutex> lock(mutex_);
  bound_ = false;
  for (auto& r : records_) {
    if (r->state == StartRecord::kPending) r->state = StartRecord::kTornDown;
  }
  pending_.clear();
  changed_.notify_all();
}

bool FetchSwarm::Init() {
  runner_->SetBound(true);
  const bool ok = HttpInit(service_.get(), runner_.get());
  checker_->Expect(ok, "HttpInit with both services returned false");
  std::lock_guard<std::mutex> lock(mutex_);
  bound_ = true;
  return ok;
}

std::string FetchSwarm::Describe(const StartRecord* r) {
  return "request id " + std::to_string(r->id) + " (" + StateName(r->state) + ", started by \"" +
         r->step + "\")";
}

void FetchSwarm::OnResultCode(StartRecord* record, int32_t code) {
  checker_->Expect(runner_->IsCurrentThread(), "SetResultCode off the runner's thread");
  if (!checker_->Expect(record != nullptr, "the host's own request object was filled")) return;
  std::lock_guard<std::mutex> lock(mutex_);
  checker_->Expect(
      record->state == StartRecord::kPending,
      Describe(record) + " filled with code " + std::to_string(code) + " after it had ended");
  checker_->Expect(record->finite, Describe(record) + " with 0 attempts was answered");
  ++record->code_calls;
  record->code = code;
  checker_->Expect(record->codes.count(code) != 0,
                   Describe(record) + " answered with code " + std::to_string(code) +
                       ", which the server's behaviour does not allow");
  if (record->state == StartRecord::kPending) {
    record->state = StartRecord::kAnswered;
    pending_.erase(record->id);
  }
}

void FetchSwarm::OnResponse(StartRecord* record, const std::string& response) {
  if (!checker_->Expect(record != nullptr, "the host's own request object was filled")) return;
  std::lock_guard<std::mutex> lock(mutex_);
  ++record->response_calls;
  checker_->Expect(record->code_calls == 1 && record->response_calls == 1,
                   Describe(record) + ": SetResultCode " + std::to_string(record->code_calls) +
                       "x before SetResponse " + std::to_string(record->response_calls) + "x");
  const std::string expected = record->code == 0 ? record->body : std::string();
  checker_->Expect(response == expected, Describe(record) + " with code " +
                                             std::to_string(record->code) + " got response \"" +
                                             response.substr(0, 60) + "\", expected \"" + expected +
                                             "\"");
  if (!record->callback) changed_.notify_all();
}

void FetchSwarm::OnCompletion(uint32_t id, IHttpRequest* request) {
  if (g_swarm) g_swarm->Completed(id, request);
}

void FetchSwarm::Completed(uint32_t id, IHttpRequest* request) {
  checker_->Expect(runner_->IsCurrentThread(), "a completion callback off the runner's thread");
  auto* object = static_cast<SwarmRequest*>(request);
  if (!checker_->Expect(object && object->is_clone(),
                        "callback for id " + std::to_string(id) + " without the cloned object")) {
    return;
  }
  StartRecord* record = object->record();
  std::string then;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++record->callbacks;
    checker_->Expect(record->id == id,
                     Describe(record) + " answered under id " + std::to_string(id));
    checker_->Expect(record->callback, Describe(record) + " had no callback but one was called");
    checker_->Expect(record->callbacks == 1, Describe(record) + " answered " +
                                                 std::to_string(record->callbacks) + " times");
    checker_->Expect(record->state == StartRecord::kAnswered && record->response_calls == 1,
                     Describe(record) + " called back without being filled first");
    then = record->then;
    changed_.notify_all();
  }
  if (record->keep) {
    object->AddRef();
    std::lock_guard<std::mutex> lock(mutex_);
    kept_.push_back(object);
  }
  // The callback may call the exports again.
  if (then != "none") ++steps_run_;
  if (then == "stop") {
    StartRecord* victim = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto it = script_starts_.rbegin(); it != script_starts_.rend() && !victim; ++it) {
        if ((*it)->state == StartRecord::kPending) victim = *it;
      }
    }
    if (victim) Stop(victim->id);
  } else if (then == "start") {
    Start(Step("start").Set("kind", "s").Set("st", "200").Set("att", 1).Set("then", "none"), false);
  } else if (then == "uninit") {
    UnInit();
    Init();
  }
}

void FetchSwarm::Settle() {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto settled = [this] {
    for (const auto& r : records_) {
      if (r->finite && r->state == StartRecord::kPending) return false;
      if (r->state == StartRecord::kAnswered && r->callback && r->callbacks == 0) return false;
    }
    return true;
  };
  if (changed_.wait_for(lock, std::chrono::seconds(40), settled)) return;
  for (const auto& r : records_) {
    if (r->finite && r->state == StartRecord::kPending) {
      checker_->Fail(Describe(r.get()) + " not answered within 40 s");
      return;
    }
    if (r->state == StartRecord::kAnswered && r->callback && r->callbacks == 0) {
      checker_->Fail(Describe(r.get()) + " filled, but its callback not called within 40 s");
      return;
    }
  }
}

void FetchSwarm::Execute(const Step& step) {
  ++steps_run_;
  if (step.op == "start") {
    runner_->RunOn([&] { Start(step, true); });
  } else if (step.op == "stop") {
    StartRecord* record = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto ref = static_cast<size_t>(step.Int("ref"));
      if (ref < script_starts_.size()) record = script_starts_[script_starts_.size() - 1 - ref];
    }
    // Nothing started yet: an id no one was given is ignored.
    runner_->RunOn([&] { Stop(record ? record->id : last_id_ + 1000); });
  } else if (step.op == "settle") {
    Settle();
  } else if (step.op == "pause") {
    // Lets the workers and the servers run on against the host's next move; nothing waits on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(step.Int("ms")));
  } else if (step.op == "uninit") {
    runner_->RunOn([&] { UnInit(); });
  } else if (step.op == "init") {
    runner_->RunOn([&] { Init(); });
  } else if (step.op == "init_null") {
    runner_->RunOn([&] {
      const bool service = step.Get("which") == "service";
      const bool ok =
          HttpInit(service ? nullptr : service_.get(), service ? runner_.get() : nullptr);
      checker_->Expect(!ok, "HttpInit with a null service returned true");
    });
  } else if (step.op == "jump") {
    runner_->RunOn([&] {
      // The counter stands for ids handed out one after another: a jump that would bring back
      // an id of this round (whose worker may still run) stands for four billion requests
      // made while that worker ran, so it is left out.
      const auto target = static_cast<uint32_t>(step.Int("last"));
      if (have_origin_ &&
          (target - origin_ < last_id_ - origin_ || target - origin_ > 0xFFFF0000u)) {
        return;
      }
      if (!have_origin_) origin_ = target;
      have_origin_ = true;
      last_id_ = target;
      HttpSetLastRequestIdForTesting(last_id_);
    });
  } else if (step.op == "service") {
    service_->SetWaitOnStop(step.Get("stop") == "wait");
  } else {
    checker_->Fail("unknown step " + step.Text());
  }
}

void FetchSwarm::EndRound() {
  runner_->RunOn([&] { UnInit(); });
  service_->JoinAll();
  runner_->WaitIdle();
  runner_->Stop();
  for (SwarmRequest* object : kept_) object->Release();
  kept_.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& object : objects_) {
    if (object->refs() != 0) {
      checker_->Fail(std::string("a request object (") +
                     (object->is_clone() ? "clone" : "host's own") + ", " +
                     Describe(object->record()) + ") still holds " +
                     std::to_string(object->refs()) + " references at the end of the round");
      break;
    }
  }
  const std::string keys = service_->UnbalancedKeys();
  checker_->Expect(keys.empty(), "thread keys not stopped exactly once:" + keys);
  for (const auto& r : records_) {
    const bool answered = r->state == StartRecord::kAnswered;
    if (answered && r->callback && r->callbacks != 1) {
      checker_->Fail(Describe(r.get()) + " filled but called back " + std::to_string(r->callbacks) +
                     " times");
    }
  }
  runner_.reset();
  service_.reset();
  objects_.clear();
  records_.clear();
  script_starts_.clear();
  pending_.clear();
  bound_ = false;
  have_origin_ = false;
}

}  // namespace swarm
