#include "debug_output_reader.h"

#include <fstream>

#include "platform/environment.h"
#include "temp_folder.h"

namespace kuvo_test {

namespace {
std::string& Path() {
  static std::string path;
  return path;
}
}  // namespace

void DebugOutputReader::Install(const std::string& name) {
  // In the process's own temporary folder: two runs of a test program never share the file.
  Path() = (ProcessTempFolder().path() / (name + ".debug_output.txt")).string();
  platform::SetEnv("KUVO_DEBUG_OUTPUT_FILE", Path());
  Clear();
}

void DebugOutputReader::Clear() {
  std::ofstream(Path(), std::ios::trunc | std::ios::binary);
}

std::vector<std::string> DebugOutputReader::Lines() {
  std::vector<std::string> lines;
  std::ifstream in(Path(), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> DebugOutputReader::LinesStartingWith(const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& line : Lines()) {
    if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
  }
  return out;
}

bool DebugOutputReader::Contains(const std::string& line) {
  for (const auto& l : Lines()) {
    if (l == line) return true;
  }
  return false;
}

}  // namespace kuvo_test
