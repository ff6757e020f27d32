#include "swarm_driver.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace swarm {

void Checker::Fail(const std::string& what) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failed_) return;
  failed_ = true;
  first_ = what;
}

bool Checker::Expect(bool ok, const std::string& what) {
  if (!ok) Fail(what);
  return ok;
}

bool Checker::failed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return failed_;
}

std::string Checker::first() {
  std::lock_guard<std::mutex> lock(mutex_);
  return first_;
}

void Checker::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  failed_ = false;
  first_.clear();
}

namespace {

// Ends the process when an armed step outlives its limit: a deadlocked library cannot be
// unwound, and the report is what matters.
class Watchdog {
 public:
  Watchdog() : thread_([this] { Loop(); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  void Arm(int seconds, std::string report) {
    std::lock_guard<std::mutex> lock(mutex_);
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    report_ = std::move(report);
    armed_ = true;
    wake_.notify_all();
  }
  void Disarm() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
      if (!armed_) {
        wake_.wait(lock);
        continue;
      }
      if (wake_.wait_until(lock, deadline_) == std::cv_status::timeout && armed_ &&
          std::chrono::steady_clock::now() >= deadline_) {
        std::fprintf(stderr, "%s", report_.c_str());
        std::fflush(stderr);
        std::_Exit(2);
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool armed_ = false;
  bool quit_ = false;
  std::chrono::steady_clock::time_point deadline_;
  std::string report_;
  std::thread thread_;
};

std::string FailureReport(const char* name, const std::string& what, const Script& script,
                          size_t steps_done, const std::string& replay) {
  std::ostringstream out;
  out << name << ": INVARIANT FAILED: " << what << "\n"
      << "steps up to the failure (" << steps_done << "):\n"
      << ScriptText(script, steps_done) << replay << "\n";
  return out.str();
}

// Runs the round; returns the failure text or "".
std::string RunRound(Swarm& swarm, const Script& script, int step_limit, Watchdog& dog,
                     const std::string& replay) {
  Checker checker;
  swarm.BeginRound(&checker);
  for (size_t i = 0; i < script.size(); ++i) {
    dog.Arm(step_limit,
            FailureReport(swarm.Name(),
                          "deadlock: step " + std::to_string(i) + " (" + script[i].Text() +
                              ") did not finish within " + std::to_string(step_limit) + " s",
                          script, i + 1, replay));
    swarm.Execute(script[i]);
    dog.Disarm();
    if (checker.failed()) {
      const std::string report =
          FailureReport(swarm.Name(), "at step " + std::to_string(i) + ": " + checker.first(),
                        script, i + 1, replay);
      dog.Arm(step_limit, report + "(and the teardown after it deadlocked)\n");
      swarm.EndRound();
      dog.Disarm();
      return report;
    }
  }
  dog.Arm(step_limit, FailureReport(swarm.Name(), "deadlock: the end of the round did not finish",
                                    script, script.size(), replay));
  swarm.EndRound();
  dog.Disarm();
  if (checker.failed()) {
    return FailureReport(swarm.Name(), "at the end of the round: " + checker.first(), script,
                         script.size(), replay);
  }
  return std::string();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string RunScript(Swarm& swarm, const Script& script, int step_limit_seconds) {
  Watchdog dog;
  return RunRound(swarm, script, step_limit_seconds, dog, "(a fixed script)");
}

int RunSwarmMain(Swarm& swarm, int argc, char** argv) {
  double seconds = 20;
  uint64_t seed = static_cast<uint64_t>(
      std::chrono::system_clock::now().time_since_epoch().count() % 1000000007);
  int64_t rounds = -1;
  int steps = 60;
  int step_limit = 60;
  bool print = false;
  std::string script_file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--print") {
      print = true;
      continue;
    }
    if (!value) {
      std::fprintf(stderr, "%s: %s needs a value\n", swarm.Name(), arg.c_str());
      return 64;
    }
    ++i;
    if (arg == "--seconds")
      seconds = std::atof(value);
    else if (arg == "--seed")
      seed = std::strtoull(value, nullptr, 10);
    else if (arg == "--rounds")
      rounds = std::atoll(value);
    else if (arg == "--steps")
      steps = std::atoi(value);
    else if (arg == "--step-limit")
      step_limit = std::atoi(value);
    else if (arg == "--script")
      script_file = value;
    else {
      std::fprintf(stderr, "%s: unknown option %s\n", swarm.Name(), arg.c_str());
      return 64;
    }
  }

  Watchdog dog;
  if (!script_file.empty()) {
    const Script script = ParseScript(ReadAll(script_file));
    const std::string failure =
        RunRound(swarm, script, step_limit, dog, "replay: --script " + script_file);
    std::printf("%s: script %s, %zu steps: %s\n", swarm.Name(), script_file.c_str(), script.size(),
                failure.empty() ? "passed" : "FAILED");
    if (!failure.empty()) std::fprintf(stderr, "%s", failure.c_str());
    return failure.empty() ? 0 : 1;
  }

  std::printf("%s: seed %llu (replay a round: %s --seed <round seed> --rounds 1)\n", swarm.Name(),
              static_cast<unsigned long long>(seed), swarm.Name());
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  const auto limit = std::chrono::duration<double>(seconds);
  int64_t round = 0;
  for (; rounds < 0 || round < rounds; ++round) {
    if (round > 0 && std::chrono::steady_clock::now() - start >= limit) break;
    const uint64_t round_seed = seed + static_cast<uint64_t>(round);
    Rng rng(round_seed);
    const Script script = swarm.Generate(rng, steps);
    if (print)
      std::printf("round seed %llu:\n%s", static_cast<unsigned long long>(round_seed),
                  ScriptText(script, script.size()).c_str());
    const std::string replay = "replay: " + std::string(swarm.Name()) + " --seed " +
                               std::to_string(round_seed) + " --rounds 1";
    const std::string failure = RunRound(swarm, script, step_limit, dog, replay);
    if (!failure.empty()) {
      std::fprintf(stderr, "%s: round seed %llu failed\n%s", swarm.Name(),
                   static_cast<unsigned long long>(round_seed), failure.c_str());
      return 1;
    }
  }
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %lld rounds, %llu steps in %.1f s, every invariant held (seeds %llu..%llu)\n",
              swarm.Name(), static_cast<long long>(round),
              static_cast<unsigned long long>(swarm.StepsRun()), took,
              static_cast<unsigned long long>(seed),
              static_cast<unsigned long long>(seed + static_cast<uint64_t>(round) - 1));
  return 0;
}

}  // namespace swarm
