// Runs the KuvoAssist program as a process on an emulated machine in a fresh run folder, and
// reads back what it left: the machine, the launches it made, its full exit codes and its log.
// POSIX only.
#pragma once

#include <string>
#include <vector>

#include "temp_folder.h"

namespace assist_test {

struct Launch {
  int pid = 0;
  std::string verb;
  int show = 0;
  std::string parameters;
};

class ProgramRun {
 public:
  // `process` is the [process] section's body, `machine` the rest of the scenario.
  ProgramRun(const std::string& process, const std::string& machine);

  // Starts the program with `arguments` and waits for it; its exit status.
  int Run(const std::vector<std::string>& arguments, int show = 1);
  // Waits until every process that a launch started has ended.
  void WaitForLaunched();

  std::string Machine() const;
  std::vector<Launch> Launches() const;
  std::vector<long long> ExitCodes() const;  // in the order the processes ended
  std::string Log() const;
  std::string run_folder() const { return folder_.narrow(); }

 private:
  kuvo_test::TempFolder folder_;
  std::string scenario_;
};

// The lines of the [adapter] block with `guid` in a saved machine, or empty.
std::string AdapterBlock(const std::string& machine, const std::string& guid);
// How often `text` occurs in `in`.
size_t Count(const std::string& in, const std::string& text);

}  // namespace assist_test
