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
  ~ProgramRun();

  // Starts the program with `arguments` and waits for it (a minute at most, then it is killed:
  // -1002); its exit status.
  int Run(const std::vector<std::string>& arguments, int show = 1);
  // Starts the program without waiting; its process id (-1 on failure).
  int Start(const std::vector<std::string>& arguments, int show = 1);
  // Waits for a process that Start gave (as Run does).
  int Wait(int pid);
  // Waits until every process that a launch started has ended, following at most `limit`
  // launches (a chain that goes on is left running); false when there were more.
  bool WaitForLaunched(size_t limit = 4);

  // The elevation prompt of a "runas = ask" scenario: blocks until a process shows it (it holds
  // the relaunch marker then), and gives the answer afterwards.
  void AwaitPrompt();
  void AnswerPrompt(const std::string& answer);

  std::string Machine() const;
  std::vector<Launch> Launches() const;
  std::vector<long long> ExitCodes() const;  // in the order the processes ended
  // The log in the documents folder the program is given, or in `documents`.
  std::string Log() const { return Log(documents_); }
  std::string Log(const std::string& documents) const;
  // The documents folder the shell answers (XDG_DOCUMENTS_DIR); "<run folder>/Documents" unless
  // set.
  void set_documents(const std::string& folder) { documents_ = folder; }
  // The program file started (the build's KuvoAssist unless set), the working folder it starts
  // in (inherited unless set), and more "NAME=value" entries of its environment.
  void set_program(const std::string& path) { program_ = path; }
  void set_working_folder(const std::string& folder) { working_folder_ = folder; }
  void add_environment(const std::string& entry) { extra_environment_.push_back(entry); }
  std::string run_folder() const { return folder_.narrow(); }

 private:
  kuvo_test::TempFolder folder_;
  std::string scenario_;
  std::string documents_;
  std::string program_;
  std::string working_folder_;
  std::vector<std::string> extra_environment_;
  int prompt_ = -1;
};

// The lines of the [adapter] block with `guid` in a saved machine, or empty.
std::string AdapterBlock(const std::string& machine, const std::string& guid);
// How often `text` occurs in `in`.
size_t Count(const std::string& in, const std::string& text);

}  // namespace assist_test
