// SlotLog: what a host declared from the slot tables saw, one line per call into its objects.
//
// A library that calls the wrong slot hands the callee arguments of another signature, so an
// operation reads its arguments only when it is the one the test expects next; any other call
// is logged by its slot and touches nothing.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace slot_host {

class SlotLog {
 public:
  // The operation (as passed to Enter) that the next calls are meant to reach.
  void Expect(const std::string& operation) {
    std::lock_guard<std::mutex> lock(mutex_);
    expected_ = operation;
  }
  // Logs a call at `operation`; true when it is the expected one.
  bool Enter(const std::string& operation) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (operation == expected_) return true;
    lines_.push_back("unexpected call at " + operation);
    return false;
  }
  void Add(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
  }
  // The lines so far, which are then forgotten.
  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    lines.swap(lines_);
    return lines;
  }

 private:
  std::mutex mutex_;
  std::string expected_;
  std::vector<std::string> lines_;
};

}  // namespace slot_host
