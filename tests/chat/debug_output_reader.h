// Reads the debugger-output lines that the components write, through the file named by
// KUVO_DEBUG_OUTPUT_FILE. The variable is set once, before any thread starts (Install); tests
// then empty the file between cases.
#pragma once

#include <string>
#include <vector>

namespace kuvo_test {

// A folder of this run's own under the system's temporary folder, made on first use and removed
// with its contents when the program ends, so that two runs on one machine never share a file.
const std::string& RunFolder();

class DebugOutputReader {
 public:
  // Points KUVO_DEBUG_OUTPUT_FILE at a fresh file named after `name` in the run's folder.
  static void Install(const std::string& name);
  static void Clear();
  static std::vector<std::string> Lines();
  // Lines that begin with `prefix`.
  static std::vector<std::string> LinesStartingWith(const std::string& prefix);
  static bool Contains(const std::string& line);
};

}  // namespace kuvo_test
