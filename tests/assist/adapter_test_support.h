// Shared set-up of the adapter tests: a fresh Kuvotrace log in a temporary folder, read back
// line by line without the time stamp.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "common/kuvo_bindings.h"
#include "kuvotrace_control.h"
#include "temp_folder.h"

namespace assist_test {

class TraceLog {
 public:
  TraceLog() {
    KuvotraceTest_Reset();
    path_ = (folder_.path() / "assist.log").wstring();
    kuvo::Kuvotrace_Init(path_.c_str());
    kuvo::Kuvotrace_SetLevel(2);
  }
  ~TraceLog() { KuvotraceTest_Reset(); }

  // "INFO  [0] Function: text" / "ERROR [0] Function: text".
  std::vector<std::string> Lines() const {
    std::ifstream in(folder_.path() / "assist.log", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (line.size() > 24) lines.push_back(line.substr(24));
    }
    return lines;
  }
  bool Has(const std::string& line) const {
    const std::vector<std::string> lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  size_t ErrorCount() const {
    const std::vector<std::string> lines = Lines();
    return static_cast<size_t>(std::count_if(
        lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("ERROR", 0) == 0; }));
  }
  std::string Text() const {
    std::string text;
    for (const std::string& line : Lines()) text += line + "\n";
    return text;
  }
  const kuvo_test::TempFolder& folder() const { return folder_; }

 private:
  kuvo_test::TempFolder folder_;
  std::wstring path_;
};

}  // namespace assist_test
