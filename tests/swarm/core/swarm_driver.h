// The swarm driver: rounds of seeded scripts run against one library, its invariants checked
// after every step, every step bounded in time.
//
// A round: the swarm generates a script from the round's seed, BeginRound, Execute for each step
// on the driver's thread, EndRound (teardown and the end-of-round invariants). Round r of a run
// with seed S uses seed S + r, so "--seed <round seed> --rounds 1" replays a failing round.
// Invariant failures may be reported from any thread (host callbacks, SDK threads) through the
// Checker; the driver stops at the end of the step during which the first one came, prints it,
// the round's seed and the steps up to it, and fails. A step (or EndRound) that does not finish
// within the step limit is reported as "deadlock" the same way and ends the process at once.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "swarm_rng.h"
#include "swarm_script.h"

namespace swarm {

// Keeps the first invariant failure. Any thread.
class Checker {
 public:
  void Fail(const std::string& what);
  // Fails with `what` unless `ok`; returns `ok`.
  bool Expect(bool ok, const std::string& what);
  bool failed();
  std::string first();
  void Reset();

 private:
  std::mutex mutex_;
  bool failed_ = false;
  std::string first_;
};

class Swarm {
 public:
  virtual ~Swarm() = default;
  virtual const char* Name() const = 0;
  // The round's script; a function of `rng` alone.
  virtual Script Generate(Rng& rng, int steps) = 0;
  virtual void BeginRound(Checker* checker) = 0;
  // One step on the driver's thread; may block (bounded by the step limit).
  virtual void Execute(const Step& step) = 0;
  // Tears the library down, waits for every thread of the round and checks what must hold at
  // the end; must leave the process ready for another round.
  virtual void EndRound() = 0;
  // Steps executed since the process started (host steps and nested callback actions).
  virtual uint64_t StepsRun() const = 0;
};

// Runs one script as a round; returns the failure text (empty when every invariant held).
// For ordinary tests that keep a shortened failing script.
std::string RunScript(Swarm& swarm, const Script& script, int step_limit_seconds = 60);

// The swarm program: --seconds S (default 20), --seed N (default from the clock), --rounds R,
// --steps N (per round, default 60), --script FILE (run that script once), --step-limit S
// (default 60), --print (print each round's script before running it). Returns the exit code.
int RunSwarmMain(Swarm& swarm, int argc, char** argv);

}  // namespace swarm
